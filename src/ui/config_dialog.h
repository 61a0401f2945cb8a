#pragma once
// The modeless configuration dialog that the host opens through DVP_Configure. It edits a
// copy of the mappings and parameters; OK installs, saves and tells the host.
#include <windows.h>

#include <string>
#include <vector>

#include "config/plugin_config.h"
#include "ui/dialog_rules.h"

struct ConfigDialogState {
    std::vector<MappingEntry> editMappings;
    std::wstring editParams;
    HWND notifyWnd = nullptr;
    DWORD notifyData = 0;
    // Client size right after initialisation; 0 until then, and no layout happens before.
    int initWidth = 0;
    int initHeight = 0;
    // Where the template placed the controls of kLayoutControls, in client coordinates.
    RECT ctrlRects[kLayoutControlCount] = {};
};

// Creates and shows the dialog owned by parent; null on failure. The dialog lives on the
// calling thread's message loop and posts a quit message to that thread when destroyed.
HWND CreateConfigDialog(HWND parent, HWND notifyWnd, DWORD notifyData);

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
