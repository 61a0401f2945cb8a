#pragma once
// Pieces both configuration dialogs share.
#include <windows.h>

#include <string>

inline constexpr wchar_t kMessageCaption[] = L"Tessoravin";

// Gives the dialog the plug-in's icon, small (16 x 16) and big (32 x 32).
void SetDialogIcons(HWND dialog);
// Takes the icons back from a dialog being destroyed and frees them: they were loaded
// unshared, so each opening would otherwise leak two icon handles into the host.
void ReleaseDialogIcons(HWND dialog);

// The control's whole text, untrimmed; empty for an empty or missing control.
std::wstring GetDlgItemString(HWND dialog, int controlId);
