#include <string>

#include "config/plugin_config.h"
#include "log/log.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer.h"

namespace {

// The player dies with the last handle to its job: with KillChild, or with the host itself.
UniqueHandle CreateKillOnCloseJob(HANDLE process) {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        LogPrintf(L"[LaunchAndEmbed] CreateJobObjectW FAILED, err=%lu", GetLastError());
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    AssignProcessToJobObject(job.Get(), process);
    return job;
}

HWND FindPlayerWindow(HWND viewer) {
    HWND child = nullptr;
    for (int attempt = 0; attempt < kChildSearchAttempts && !child; ++attempt) {
        child = FindWindowExW(viewer, nullptr, L"mpv", nullptr);
        if (!child) Sleep(kChildSearchPauseMs);
    }
    return child;
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
    if (!CreateProcessW(playerPath, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                        &startup, &started)) {
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

    state.childHwnd = FindPlayerWindow(viewer);
    if (!state.childHwnd) {
        // The process stays in its job; the next load, clear or destroy ends it.
        LogWrite(L"[LaunchAndEmbed] mpv: failed to find child window within 5s\r\n");
        return false;
    }
    LogPrintf(L"[LaunchAndEmbed] mpv: embedded child hwnd=0x%p", state.childHwnd);
    // The player creates its window disabled; enabled, it takes the mouse and keyboard.
    EnableWindow(state.childHwnd, TRUE);
    ShowWindow(state.childHwnd, SW_SHOW);
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
