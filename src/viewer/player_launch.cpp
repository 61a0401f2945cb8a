#include <string>

#include "config/plugin_config.h"
#include "log/log.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer.h"

namespace {

// The player dies with the last handle to its job: with KillChild, or with the host itself.
// The process is still suspended here, so it never runs a single instruction outside the job.
UniqueHandle CreateKillOnCloseJob(HANDLE process) {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        LogPrintf(L"[LaunchAndEmbed] CreateJobObjectW FAILED, err=%lu", GetLastError());
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    // KillChild also ends a process that is not in the job, so a failed assignment is survivable.
    if (!AssignProcessToJobObject(job.Get(), process))
        LogPrintf(L"[LaunchAndEmbed]   AssignProcessToJobObject FAILED, err=%lu", GetLastError());
    return job;
}

// Waits one search pause for the player to end. It has ended when the started process has exited
// and, for a player path that is a launcher, nothing it started is left in the job.
bool PlayerEndedDuringPause(const ViewerWindowState& state) {
    if (WaitForSingleObject(state.process.Get(), kChildSearchPauseMs) != WAIT_OBJECT_0) return false;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (state.job && QueryInformationJobObject(state.job.Get(), JobObjectBasicAccountingInformation, &accounting,
                                               sizeof(accounting), nullptr) &&
        accounting.ActiveProcesses > 0) {
        Sleep(kChildSearchPauseMs);
        return false;
    }
    return true;
}

// Polls for the player's window, kChildSearchAttempts times kChildSearchPauseMs at most; a player
// that has ended cannot make one any more, so its end stops the search at once.
HWND FindPlayerWindow(HWND viewer, const ViewerWindowState& state) {
    for (int attempt = 0; attempt < kChildSearchAttempts; ++attempt) {
        if (HWND child = FindWindowExW(viewer, nullptr, L"mpv", nullptr)) return child;
        if (PlayerEndedDuringPause(state)) {
            DWORD code = 0;
            GetExitCodeProcess(state.process.Get(), &code);
            LogPrintf(L"[LaunchAndEmbed] mpv: player exited with code %lu (0x%08X) before its window appeared", code,
                      code);
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

bool LaunchAndEmbed(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath,
                    const wchar_t* filePath) {
    LogPrintf(L"[LaunchAndEmbed] exePath=[%s] filePath=[%s]", playerPath, filePath);
    const std::wstring windowNumber = WindowNumber(viewer);
    // Set before the start, so that even a failed start leaves the name it would have used.
    state.pipeName = PipeNameFor(viewer);
    std::wstring commandLine = BuildPlayerCommandLine(playerPath, windowNumber, state.pipeName,
                                                      CurrentPlayerParams(), filePath);
    LogPrintf(L"[LaunchAndEmbed] mpv using --wid=%s --input-ipc-server=%s", windowNumber.c_str(),
              state.pipeName.c_str());

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    // The application name is given so that the executable is never searched for on the path.
    if (!CreateProcessW(playerPath, commandLine.data(), nullptr, nullptr, FALSE, kPlayerCreationFlags, nullptr,
                        nullptr, &startup, &started)) {
        const DWORD err = GetLastError();
        LogPrintf(L"[LaunchAndEmbed] CreateProcessW FAILED, err=%lu (0x%08X)", err, err);
        return false;
    }
    LogPrintf(L"[LaunchAndEmbed] CreateProcessW OK, pid=%lu", started.dwProcessId);
    state.process.Reset(started.hProcess);
    state.thread.Reset(started.hThread);
    state.pid = started.dwProcessId;
    state.exePath = playerPath;
    state.filePath = filePath;
    state.job = CreateKillOnCloseJob(state.process.Get());
    if (ResumeThread(state.thread.Get()) == static_cast<DWORD>(-1)) {
        LogPrintf(L"[LaunchAndEmbed]   ResumeThread FAILED, err=%lu", GetLastError());
        return false;  // the suspended process stays in the state for KillChild
    }

    state.childHwnd = FindPlayerWindow(viewer, state);
    if (!state.childHwnd) {
        // The process stays in its job; the next load, clear or destroy ends it.
        LogWrite(L"[LaunchAndEmbed] mpv: failed to find child window within 5s\r\n");
        return false;
    }
    LogPrintf(L"[LaunchAndEmbed] mpv: embedded child hwnd=0x%p", state.childHwnd);
    // The player creates its window disabled; enabled, it takes the mouse and keyboard.
    if (!EnablePlayerWindow(state.childHwnd))
        LogWrite(L"[LaunchAndEmbed]   player not answering yet, its window is enabled when it does\r\n");
    // Messages sent to this thread are dispatched while it waits for the player, and one of them
    // may have destroyed the viewer, which stopped the player; the record outlives this load.
    if (!IsWindow(viewer)) {
        LogWrite(L"[LaunchAndEmbed]   viewer destroyed while embedding\r\n");
        return false;
    }
    ShowWindowAsync(state.childHwnd, SW_SHOW);
    ResizeChild(viewer, state);
    return true;
}

void KillChild(ViewerWindowState& state) {
    LogWrite(L"[KillChild] KillChild enter\r\n");
    // Not destroyed or messaged: the window goes away with its process.
    state.childHwnd = nullptr;
    if (state.job) {
        TerminateJobObject(state.job.Get(), 0);
        if (state.process) {
            // A process that never made it into the job outlives TerminateJobObject; it must not
            // outlive its last handle here.
            if (WaitForSingleObject(state.process.Get(), kKillWaitWithJobMs) != WAIT_OBJECT_0) {
                LogWrite(L"[KillChild]   process still running after the job wait, TerminateProcess\r\n");
                TerminateProcess(state.process.Get(), 0);
            }
            state.process.Close();
        }
        state.job.Close();
    } else if (state.process) {
        if (WaitForSingleObject(state.process.Get(), kKillWaitWithoutJobMs) != WAIT_OBJECT_0)
            TerminateProcess(state.process.Get(), 0);
        state.process.Close();
    }
    state.thread.Close();
    state.pid = 0;
    state.pipeName.clear();
    state.exePath.clear();
    state.filePath.clear();
    LogWrite(L"[KillChild] KillChild leave\r\n");
}
