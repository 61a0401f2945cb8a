#pragma once
// The modeless configuration dialog that the host opens through DVP_Configure. It edits a
// copy of the mappings and parameters; OK installs, saves and tells the host.
#include <windows.h>

// Creates and shows the dialog owned by parent; null on failure. The dialog lives on the
// calling thread's message loop and posts a quit message to that thread when destroyed.
HWND CreateConfigDialog(HWND parent, HWND notifyWnd, DWORD notifyData);
