#include <atomic>
#include <cstdint>
#include <string>

#include "config/plugin_config.h"
#include "log/log.h"
#include "viewer/outcomes.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer_internal.h"

namespace {

// Numbers every start, so that a load can tell whether the player it started is still the one
// its viewer holds after it let messages through.
// Viewers on several of the host's threads start players, hence atomic.
std::atomic<uint64_t> launchCount{0};

constexpr wchar_t kKillTag[] = L"[KillChild] ";

// The player dies with the last handle to its job: with KillChild, or with the host itself; and
// at once when it crashes. The process is still suspended here, so it never runs a single
// instruction outside the job.
UniqueHandle CreateKillOnCloseJob(HANDLE process) {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        LogPrintf(L"%sCreateJobObjectW FAILED, err=%lu", kLaunchTag, GetLastError());
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = kPlayerJobLimits;
    // Neither result is looked at: KillChild also ends a process that is not in the job, so a
    // failed assignment is survivable.
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    AssignProcessToJobObject(job.Get(), process);
    return job;
}

// Waits one pause, letting through the messages other threads send to this one: the host's other
// threads and the player itself may send to the viewer while its window is searched for, and must
// not wait seconds for it. A message cuts the wait short; the pause then goes on for the rest of
// its time, so that the search keeps its cadence. Only the player's end ends the pause early, or a
// message that stopped this player: one that cleared the viewer, loaded another file into it or
// destroyed it. KillChild has then closed the process handle, and the host may already hold its
// value again for a mutex or an event of its own, whose signal a further wait would take.
void PauseLettingSentMessagesThrough(const ViewerWindowState& state, uint64_t launch, HANDLE process) {
    const DWORD count = process ? 1 : 0;
    const ULONGLONG end = GetTickCount64() + kChildSearchPauseMs;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(count, &process, static_cast<DWORD>(end - now), QS_SENDMESSAGE,
                                                       0);
        if (woke != WAIT_OBJECT_0 + count) return;  // the player ended, the time is up, or the wait failed
        MSG ignored;
        PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // dispatches what was sent
        if (state.launch != launch) return;
    }
}

enum class WindowSearch { Found, PlayerEnded, TimedOut, ViewerDestroyed, PlayerStopped };

// Looks for the player's window kChildSearches times at most, with a pause after each look that
// finds none; a player that has ended cannot make one any more, so its end stops the search at
// once.
WindowSearch SearchPlayerWindow(HWND viewer, const ViewerWindowState& state, uint64_t launch, HWND& found) {
    for (int searches = 0;; ++searches) {
        if (!IsWindow(viewer)) return WindowSearch::ViewerDestroyed;
        // Cleared, or another load started another player, while this thread took a message.
        if (state.launch != launch) return WindowSearch::PlayerStopped;
        if (searches == kChildSearches) return WindowSearch::TimedOut;
        if ((found = FindPlayerWindow(viewer, state)) != nullptr) return WindowSearch::Found;
        if (PlayerEnded(state.process.Get(), state.job.Get())) return WindowSearch::PlayerEnded;
        // A launcher that has exited leaves no handle to wait on: the job tells when the player ends.
        const bool exited = WaitForSingleObject(state.process.Get(), 0) == WAIT_OBJECT_0;
        PauseLettingSentMessagesThrough(state, launch, exited ? nullptr : state.process.Get());
    }
}

// Once TerminateJobObject has returned, a launcher's child may still be ending; its window and
// its pipe would then meet the player started next in this viewer.
void WaitUntilJobIsEmpty(HANDLE job) {
    const ULONGLONG deadline = GetTickCount64() + kJobEmptyWaitMs;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                       nullptr) ||
            accounting.ActiveProcesses == 0)
            return;
        if (GetTickCount64() >= deadline) {
            LogPrintf(L"%s  %lu processes still in the job after %lu ms", kKillTag, accounting.ActiveProcesses,
                      kJobEmptyWaitMs);
            return;
        }
        Sleep(1);
    }
}

}  // namespace

bool PlayerEnded(HANDLE process, HANDLE job) {
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return false;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    return !(
        job &&
        QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting), nullptr) &&
        accounting.ActiveProcesses > 0);
}

namespace {

LaunchReport Launch(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath, const wchar_t* filePath) {
    LogPrintf(L"%sexePath=[%s] filePath=[%s]", kLaunchTag, playerPath, filePath);
    const std::wstring windowNumber = WindowNumber(viewer);
    // Set before the start, so that even a failed start leaves the name it would have used.
    state.pipeName = PipeNameFor(viewer);
    std::wstring commandLine = BuildPlayerCommandLine(playerPath, windowNumber, state.pipeName, CurrentPlayerParams(),
                                                      filePath);
    LogPrintf(L"%smpv using --wid=%s --input-ipc-server=%s", kLaunchTag, windowNumber.c_str(), state.pipeName.c_str());

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    // The application name is given so that the executable is never searched for on the path.
    if (!CreateProcessW(playerPath, commandLine.data(), nullptr, nullptr, FALSE, kPlayerCreationFlags, nullptr, nullptr,
                        &startup, &started))
        return {LaunchOutcome::StartFailed, GetLastError()};
    LogPrintf(L"%sCreateProcessW OK, pid=%lu", kLaunchTag, started.dwProcessId);
    state.process.Reset(started.hProcess);
    state.thread.Reset(started.hThread);
    state.pid = started.dwProcessId;
    state.exePath = playerPath;
    state.filePath = filePath;
    state.job = CreateKillOnCloseJob(state.process.Get());
    const uint64_t launch = state.launch = ++launchCount;
    // The suspended process stays in the state for KillChild.
    if (ResumeThread(state.thread.Get()) == static_cast<DWORD>(-1))
        return {LaunchOutcome::ResumeFailed, GetLastError()};
    // Watched from now on, not from the embedding: a player slower to start than the search (mpv
    // scanned on its first run, or on a network share) still makes its window later, as the
    // viewer's child that shares the host's input.
    StartPlayerWatch(viewer, state);

    HWND child = nullptr;
    switch (SearchPlayerWindow(viewer, state, launch, child)) {
        case WindowSearch::Found: break;
        case WindowSearch::PlayerEnded: {
            // The process stays in its job; the next load, clear or destroy ends it.
            DWORD code = 0;
            GetExitCodeProcess(state.process.Get(), &code);
            return {LaunchOutcome::PlayerExited, code};
        }
        case WindowSearch::TimedOut: return {LaunchOutcome::NoWindow};
        case WindowSearch::ViewerDestroyed: return {LaunchOutcome::ViewerDestroyed};
        // The state now belongs to whatever stopped this player: nothing of it is touched.
        case WindowSearch::PlayerStopped: return {LaunchOutcome::PlayerStopped};
    }
    state.childHwnd = child;
    state.embedded = true;
    return {LaunchOutcome::Embedded, 0, child};
}

}  // namespace

LaunchOutcome LaunchAndEmbed(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath,
                             const wchar_t* filePath) {
    const LaunchReport report = Launch(viewer, state, playerPath, filePath);
    LogEntries(LaunchOutcomeEntries(report));
    if (report.outcome != LaunchOutcome::Embedded) return report.outcome;
    EmbedPlayerWindow(viewer, state, true);
    // The player may still replace its window (mpv does while it settles on a video output) or
    // disable it again; for a while the viewer looks on its own, not only at the next message.
    state.followUntil = GetTickCount64() + kFollowPlayerWindowMs;
    SetTimer(viewer, kFollowTimerId, kFollowTimerMs, nullptr);
    return report.outcome;
}

void KillChild(ViewerWindowState& state) {
    LogPrintf(L"%sKillChild enter", kKillTag);
    // First: a verdict on a player that is being ended anyway would only be a second kill.
    StopPlayerWatch(state);
    // Not destroyed or messaged: the window goes away with its process.
    state.childHwnd = nullptr;
    if (state.job) {
        TerminateJobObject(state.job.Get(), 0);
        if (state.process) {
            // A process that never made it into the job outlives TerminateJobObject; it must not
            // outlive its last handle here.
            if (WaitForSingleObject(state.process.Get(), kKillWaitWithJobMs) != WAIT_OBJECT_0) {
                LogPrintf(L"%s  process still running after the job wait, TerminateProcess", kKillTag);
                TerminateProcess(state.process.Get(), 0);
            }
            state.process.Close();
        }
        WaitUntilJobIsEmpty(state.job.Get());
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
    state.launch = 0;
    state.embedded = false;
    state.followUntil = 0;
    LogPrintf(L"%sKillChild leave", kKillTag);
}
