#pragma once
// The record one viewer window keeps about the player running inside it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/handle.h"
#include "viewer/outcomes.h"

struct ViewerWindowState {
    UniqueHandle process;  // the player process
    UniqueHandle thread;   // its primary thread
    UniqueHandle job;      // kill-on-close job holding the process
    UniqueHandle watch;    // set to stop the watchdog over this player; null when none runs
    DWORD pid = 0;
    HWND childHwnd = nullptr;   // the player's window; owned by the player, may vanish any time
    std::wstring pipeName;      // the player's JSON command pipe
    std::wstring exePath;       // the player executable, exactly as the load sequence passed it
    std::wstring filePath;      // the file the player was last told to show
    uint64_t launch = 0;        // which start this player came from; 0 when there is none
    bool embedded = false;      // its window was found once: a window it replaces it with is followed
    ULONGLONG followUntil = 0;  // the follow timer looks for a replaced window until this tick
    bool noticeShown = false;   // a notice stands where the player was, until the next placeholder
    // The size the host last gave the player's window (0x8F08), until the viewer's own next WM_SIZE.
    // It is the viewer's, not the player's: a window embedded later takes it, and KillChild keeps it.
    std::optional<SIZE> hostSize;
    // How the viewer's last operations ended, for whoever reads the record; KillChild keeps them.
    LoadOutcome lastLoad = LoadOutcome::EmptyPath;
    LaunchOutcome lastLaunch = LaunchOutcome::NoWindow;
    SendOutcome lastSend = SendOutcome::NoPipe;
};
