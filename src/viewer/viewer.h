#pragma once
// The viewer window the host embeds in its viewer pane: its class and window procedure, and the
// class's registration, which goes with the module that registered it.
#include <windows.h>

inline constexpr wchar_t kViewerClassName[] = L"DopusTessoravinViewerClass";

// What the pane shows where no player does, after a clear or a player's end: mpv's own black
// behind its picture, so that a pane that played, was cleared and plays again keeps one colour,
// in a light theme and in a dark one (the system colours follow neither).
inline constexpr COLORREF kPaneColour = RGB(0, 0, 0);

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registers the viewer window class; true also when it is already registered.
bool RegisterViewerClass(HINSTANCE instance);
// Takes the class away with the module that registered it; fails while a viewer window exists.
bool UnregisterViewerClass(HINSTANCE instance);
