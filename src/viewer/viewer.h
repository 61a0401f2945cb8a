#pragma once
// The viewer window the host embeds in its viewer pane: its class and window procedure, and the
// class's registration, which goes with the module that registered it.
#include <windows.h>

inline constexpr wchar_t kViewerClassName[] = L"DopusTessoravinViewerClass";

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registers the viewer window class; true also when it is already registered.
bool RegisterViewerClass(HINSTANCE instance);
// Takes the class away with the module that registered it; fails while a viewer window exists.
bool UnregisterViewerClass(HINSTANCE instance);
