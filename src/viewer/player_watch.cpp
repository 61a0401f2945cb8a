// The watchdog over a running player. The player's window is a child of the viewer in another
// process, so the two threads share one input queue: once the player's window thread stops, the
// host's own calls on its window tree (a repaint with the children, a resize, a focus change)
// wait on it, and those calls are out of the plug-in's reach. The player itself is not: it runs
// in the viewer's job. So a thread of its own asks the player's window a harmless question now
// and then, and ends the player once the window has left its questions unanswered long enough
// (HangVerdict). mpv's window thread is not its decoding thread: a busy player still answers.
#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "log/log.h"
#include "viewer/outcomes.h"
#include "viewer/viewer_internal.h"

namespace {

// What the watch's thread owns: handles of its own, so that KillChild closing the record's
// handles never pulls them from under it.
struct Watch {
    HWND viewer;
    DWORD pid;
    uint64_t launch;
    UniqueHandle process, job, stop;
    HMODULE module;  // a reference that keeps this code mapped until the thread is done
};

UniqueHandle Duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    if (!handle ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return UniqueHandle();
    return UniqueHandle(copy);
}

WatchReport Run(const Watch& watch) {
    HangVerdict verdict(GetTickCount64());
    DWORD pause = kWatchIntervalMs;
    while (WaitForSingleObject(watch.stop.Get(), pause) == WAIT_TIMEOUT) {
        if (PlayerEnded(watch.process.Get(), watch.job.Get())) return {WatchOutcome::PlayerEnded};
        const ULONGLONG asked = GetTickCount64();
        // The player's current window: mpv may have replaced the one the viewer embedded. A window
        // that is gone, or not made yet, holds nobody, and counts as answering.
        const HWND window = FindPlayerWindow(watch.viewer, watch.pid, watch.job.Get());
        const bool answered = !window || PlayerAnswers(window, kWatchProbeTimeoutMs) || !IsWindow(window);
        const ULONGLONG now = GetTickCount64();
        // The next question comes kWatchIntervalMs after this one was asked, however long it took.
        pause = static_cast<DWORD>(kWatchIntervalMs - std::min<ULONGLONG>(now - asked, kWatchIntervalMs));
        if (!verdict.Take(answered, now)) continue;
        // Told to stop while the last question was out: KillChild ends the player anyway.
        if (WaitForSingleObject(watch.stop.Get(), 0) == WAIT_OBJECT_0) break;
        if (watch.job) TerminateJobObject(watch.job.Get(), ERROR_TIMEOUT);
        TerminateProcess(watch.process.Get(), ERROR_TIMEOUT);  // one outside its job, too
        return {WatchOutcome::Hung, watch.pid, verdict.UnansweredMs()};
    }
    return {WatchOutcome::Stopped};
}

DWORD WINAPI RunWatch(void* param) {
    std::unique_ptr<Watch> watch(static_cast<Watch*>(param));
    const HMODULE module = watch->module;
    WatchReport report{WatchOutcome::Stopped};
    // Nothing may unwind out of this thread: it runs inside the file manager's process.
    try {
        report = Run(*watch);
        LogEntries(WatchOutcomeEntries(report));
    } catch (...) {
        LogPrintf(L"%s  unexpected failure watching player pid=%lu", kWatchTag, watch->pid);
    }
    // The viewer may hold another player by now: the launch tells it whether this one is still its.
    if (report.outcome != WatchOutcome::Stopped)
        PostMessageW(watch->viewer, kMsgPlayerGone, static_cast<WPARAM>(watch->launch),
                     static_cast<LPARAM>(report.outcome));
    watch.reset();
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

void StartPlayerWatch(HWND viewer, ViewerWindowState& state) {
    StopPlayerWatch(state);
    UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto watch = std::unique_ptr<Watch>(new (std::nothrow)
                                            Watch{viewer, state.pid, state.launch, Duplicate(state.process.Get()),
                                                  Duplicate(state.job.Get()), Duplicate(stop.Get()), nullptr});
    const bool ready = stop && watch && watch->process && watch->stop &&
                       GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                          reinterpret_cast<const wchar_t*>(&RunWatch), &watch->module);
    const HANDLE thread = ready ? CreateThread(nullptr, 0, RunWatch, watch.get(), 0, nullptr) : nullptr;
    if (!thread) {
        LogPrintf(L"%s  no watch over player pid=%lu, err=%lu", kWatchTag, state.pid, GetLastError());
        if (watch && watch->module) FreeLibrary(watch->module);
        return;
    }
    watch.release();  // the thread's now
    CloseHandle(thread);
    state.watch = std::move(stop);
}

void StopPlayerWatch(ViewerWindowState& state) {
    if (state.watch) SetEvent(state.watch.Get());
    state.watch.Close();
}
