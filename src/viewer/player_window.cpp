// Every call from the host's window thread into the player's window. That window belongs to
// another process's thread, and most window calls on it wait until that thread takes the
// message; a player whose thread stalls (a GPU driver, a debugger, a slow start-up) must never
// freeze the file manager, not even between a check that it answers and the call after it.
// Shows are therefore posted, and everything else (moving, enabling, the focus) runs on a
// short-lived worker thread that nobody waits for.
//
// A move is not posted with SWP_ASYNCWINDOWPOS: Windows posts that only between threads with
// different input queues, and the player's window, a child of the viewer, shares the host's
// queue, so on Windows the move would run on the host's thread and wait for the player's. Wine
// posts it always, which is why a test under Wine cannot tell.
#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "common/exclusive_lock.h"
#include "log/log.h"
#include "viewer/viewer_internal.h"
#include "viewer/viewer_test_hooks.h"  // declares PlayerWindowCallsPending, defined here

namespace {

enum class PlayerCall { Enable, EnableNoticingDelay, Focus, Move };

// One call to make on the player's window: what, and for a move, the size.
struct CallRequest {
    PlayerCall call;
    SIZE size;
};

// The calls a worker is making now, at most one of each kind per window: a player that never
// answers must not collect a worker for every timer tick, click or resize. A call asked for while
// one of its kind is under way is made again by that worker once it is done, and of several asked
// for meanwhile only the latest: a move to the latest size, a focus pass that a click asked for as
// the last pass was ending.
class CallsInFlight {
public:
    // True when a worker is to make the call; false when one for it is already under way.
    // The lock is always a scoped one: a failed allocation in push_back must not leave it held, or
    // every later resize, focus pass and worker's Next would wait for it for ever. An SRW lock, not
    // std::mutex: winpthreads' mutex leaves a thread and a handle behind under Wine 10.
    bool Begin(HWND child, PlayerCall call, SIZE size = {}) {
        const ExclusiveLock guard(lock_);
        if (Call* current = Find(child, call)) {
            current->next = {call, size};
            current->pending = true;
            return false;
        }
        calls_.push_back({child, Kind(call), {call, size}, true});
        return true;
    }
    // The call the worker makes next; nothing once none is pending, and the record has ended,
    // under the lock, so that no call asked for is lost.
    std::optional<CallRequest> Next(HWND child, PlayerCall call) {
        const ExclusiveLock guard(lock_);
        Call* current = Find(child, call);
        if (current && current->pending) {
            current->pending = false;
            return current->next;
        }
        End(child, call);
        return std::nullopt;
    }
    // Drops the record, with whatever was asked for meanwhile: for a worker that could not start
    // or failed.
    void Drop(HWND child, PlayerCall call) {
        const ExclusiveLock guard(lock_);
        End(child, call);
    }
    // Whether any call on the window is under way or still to be made.
    bool Any(HWND child) {
        const ExclusiveLock guard(lock_);
        return std::any_of(calls_.begin(), calls_.end(), [&](const Call& c) { return c.child == child; });
    }

private:
    struct Call {
        HWND child;
        PlayerCall kind;
        CallRequest next;  // the latest call asked for
        bool pending;      // and not made yet
    };
    static PlayerCall Kind(PlayerCall call) {
        return call == PlayerCall::EnableNoticingDelay ? PlayerCall::Enable : call;
    }
    Call* Find(HWND child, PlayerCall call) {
        const auto it = std::find_if(calls_.begin(), calls_.end(),
                                     [&](const Call& c) { return c.child == child && c.kind == Kind(call); });
        return it == calls_.end() ? nullptr : &*it;
    }
    void End(HWND child, PlayerCall call) {
        std::erase_if(calls_, [&](const Call& c) { return c.child == child && c.kind == Kind(call); });
    }
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<Call> calls_;
};
CallsInFlight callsInFlight;

struct WorkerRequest {
    HWND child;
    PlayerCall call;
    HMODULE module;  // a reference that keeps this code mapped until the worker is done
};

// SetFocus works across threads only while their input is attached; AttachThreadInput needs a
// message queue on both sides, which a bare worker gets with its first PeekMessage. Attached,
// this worker shares the input of the player's thread, which itself shares the host's (the
// player's window is the viewer's child): a player that stalls inside SetFocus would hold the
// host's input too. So each attempt goes only to a player that has just answered; a busy one is
// asked again until it answers, for as long as the watchdog would let it live unanswered.
// Focus the user moved elsewhere meanwhile stays there: each attempt is made only while the focus
// is still on the viewer or on the player (a click on the video first gives the viewer the focus,
// on the host's thread). The viewer's own focus change may still be settling when this runs (its
// frame just being activated) and take the focus back to the viewer: while the viewer still holds
// it, the focus is passed again a moment later.
void FocusFromWorker(HWND child) {
    constexpr int kFocusAttempts = 5;
    constexpr DWORD kFocusRetryPauseMs = 50;
    MSG ignored;
    PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = GetWindowThreadProcessId(child, nullptr);
    if (!owner) return;
    const HWND viewer = GetAncestor(child, GA_PARENT);
    const ULONGLONG giveUp = GetTickCount64() + kHungVerdictMs;
    for (int attempts = 0; attempts < kFocusAttempts && GetTickCount64() < giveUp; Sleep(kFocusRetryPauseMs)) {
        if (!PlayerAnswers(child, kPlayerAnswerTimeoutMs)) {
            if (!IsWindow(child)) return;
            continue;
        }
        ++attempts;
        if (!AttachThreadInput(self, owner, TRUE)) return;
        const HWND before = GetFocus();
        const bool ours = before == viewer || before == child;
        if (ours) SetFocus(child);
        const HWND focused = GetFocus();
        AttachThreadInput(self, owner, FALSE);
        if (!ours || focused != viewer) return;
    }
}

// Each call returns when the player's thread has taken it, or when the player is gone.
void MakeCall(HWND child, const CallRequest& request) {
    switch (request.call) {
        case PlayerCall::EnableNoticingDelay:
            if (!PlayerAnswers(child, kPlayerAnswerTimeoutMs))
                LogPrintf(L"%s  player not answering yet, its window is enabled when it does", kLaunchTag);
            [[fallthrough]];
        case PlayerCall::Enable: EnableWindow(child, TRUE); break;
        case PlayerCall::Focus: FocusFromWorker(child); break;
        case PlayerCall::Move:
            SetWindowPos(child, nullptr, 0, 0, request.size.cx, request.size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
            break;
    }
}

DWORD WINAPI RunPlayerCall(void* param) {
    const WorkerRequest request = *static_cast<WorkerRequest*>(param);
    delete static_cast<WorkerRequest*>(param);
    // Nothing may unwind out of this thread: it runs inside the file manager's process.
    try {
        while (const std::optional<CallRequest> next = callsInFlight.Next(request.child, request.call))
            MakeCall(request.child, *next);
    } catch (...) {
        LogPrintf(L"[RunPlayerCall] unexpected failure in a call on window 0x%p", request.child);
        callsInFlight.Drop(request.child, request.call);
    }
    FreeLibraryAndExitThread(request.module, 0);
}

void RunOnWorker(HWND child, PlayerCall call, SIZE size = {}) {
    if (!callsInFlight.Begin(child, call, size)) return;
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<const wchar_t*>(&RunPlayerCall),
                           &module)) {
        auto* request = new (std::nothrow) WorkerRequest{child, call, module};
        const HANDLE worker = request ? CreateThread(nullptr, 0, RunPlayerCall, request, 0, nullptr) : nullptr;
        if (worker) {
            CloseHandle(worker);
            return;
        }
        delete request;
        FreeLibrary(module);
    }
    callsInFlight.Drop(child, call);
}

bool IsViewersChild(HWND viewer, HWND child) {
    return child && IsWindow(child) && GetAncestor(child, GA_PARENT) == viewer;
}

}  // namespace

void MovePlayerWindow(HWND child, int width, int height) { RunOnWorker(child, PlayerCall::Move, SIZE{width, height}); }

void EnablePlayerWindow(HWND child, bool noticeDelay) {
    RunOnWorker(child, noticeDelay ? PlayerCall::EnableNoticingDelay : PlayerCall::Enable);
}

void PassFocusToPlayer(HWND child) {
    if (!child || !IsWindow(child)) return;
    if (GetWindowThreadProcessId(child, nullptr) == GetCurrentThreadId()) {
        SetFocus(child);
        return;
    }
    RunOnWorker(child, PlayerCall::Focus);
}

bool PlayerWindowCallsPending(HWND child) { return callsInFlight.Any(child); }

// Not SMTO_ABORTIFHUNG: Windows counts a thread as hung once it has neither read its queue nor
// waited for input for 5 s, and mpv's window thread is exactly that while it waits inside a
// SendMessage to a busy host (DefWindowProc sends the viewer every WM_SETCURSOR of a mouse move
// over the video). Such a thread still takes sent messages, so it answers this; a truly hung one
// does not, whatever the flags.
bool PlayerAnswers(HWND child, UINT timeoutMs) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(child, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ERRORONEXIT, timeoutMs, &ignored) != 0;
}

bool IsPlayerProcess(DWORD pid, DWORD playerPid, HANDLE job) {
    if (pid == 0) return false;
    if (pid == playerPid) return true;
    if (!job) return false;
    // The limited right is enough for Windows, Wine wants the full one.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process) process.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    BOOL inJob = FALSE;
    return process && IsProcessInJob(process.Get(), job, &inJob) && inJob;
}

bool IsPlayerProcess(DWORD pid, const ViewerWindowState& state) {
    return IsPlayerProcess(pid, state.process ? state.pid : 0, state.job.Get());
}

HWND FindPlayerWindow(HWND viewer, DWORD playerPid, HANDLE job) {
    for (HWND child = FindWindowExW(viewer, nullptr, L"mpv", nullptr); child;
         child = FindWindowExW(viewer, child, L"mpv", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(child, &pid);
        if (IsPlayerProcess(pid, playerPid, job)) return child;
    }
    return nullptr;
}

HWND FindPlayerWindow(HWND viewer, const ViewerWindowState& state) {
    return FindPlayerWindow(viewer, state.process ? state.pid : 0, state.job.Get());
}

HWND FollowPlayerWindow(HWND viewer, ViewerWindowState& state) {
    if (!state.embedded || IsViewersChild(viewer, state.childHwnd)) return state.childHwnd;
    const HWND previous = std::exchange(state.childHwnd, FindPlayerWindow(viewer, state));
    if (!state.childHwnd) return nullptr;
    LogPrintf(L"[FollowPlayerWindow] player replaced its window 0x%p with 0x%p", previous, state.childHwnd);
    EmbedPlayerWindow(viewer, state, false);
    return state.childHwnd;
}

void EmbedPlayerWindow(HWND viewer, const ViewerWindowState& state, bool noticeDelay) {
    // The player creates its window disabled; enabled, it takes the mouse and keyboard.
    EnablePlayerWindow(state.childHwnd, noticeDelay);
    ShowWindowAsync(state.childHwnd, SW_SHOW);
    ResizeChild(viewer, state);
}

void ResizeChild(HWND viewer, const ViewerWindowState& state) {
    if (!state.childHwnd || !IsWindow(state.childHwnd)) return;
    if (state.hostSize) {
        MovePlayerWindow(state.childHwnd, state.hostSize->cx, state.hostSize->cy);
        return;
    }
    RECT client = {};
    GetClientRect(viewer, &client);
    MovePlayerWindow(state.childHwnd, client.right, client.bottom);
}
