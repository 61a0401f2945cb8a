// Every call from the host's window thread into the player's window. That window belongs to
// another process's thread, and most window calls on it wait until that thread takes the
// message; a player whose thread stalls (a GPU driver, a debugger, a slow start-up) must never
// freeze the file manager, not even between a check that it answers and the call after it.
// Moves and shows are therefore posted, and what has no posted form (enabling, the focus) runs
// on a short-lived worker thread that nobody waits for.
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "log/log.h"
#include "viewer/viewer_internal.h"

namespace {

enum class PlayerCall { Enable, EnableNoticingDelay, Focus };

// The calls a worker is making now, at most one of each kind per window: a player that never
// answers must not collect a worker for every timer tick or click.
class CallsInFlight {
public:
    bool Begin(HWND child, PlayerCall call) {
        AcquireSRWLockExclusive(&lock_);
        const bool fresh = std::find(calls_.begin(), calls_.end(), Key(child, call)) == calls_.end();
        if (fresh) calls_.push_back(Key(child, call));
        ReleaseSRWLockExclusive(&lock_);
        return fresh;
    }
    void End(HWND child, PlayerCall call) {
        AcquireSRWLockExclusive(&lock_);
        std::erase(calls_, Key(child, call));
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    static std::pair<HWND, PlayerCall> Key(HWND child, PlayerCall call) {
        return {child, call == PlayerCall::Focus ? PlayerCall::Focus : PlayerCall::Enable};
    }
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::pair<HWND, PlayerCall>> calls_;
};
CallsInFlight callsInFlight;

struct WorkerRequest {
    HWND child;
    PlayerCall call;
    HMODULE module;  // a reference that keeps this code mapped until the worker is done
};

// SetFocus works across threads only while their input is attached; AttachThreadInput needs a
// message queue on both sides, which a bare worker gets with its first PeekMessage. A player
// that is busy gets the focus when it answers; one that never does holds only this worker.
// The viewer's own focus change may still be settling when this runs (its frame just being
// activated) and take the focus back to the viewer: while the viewer still holds it, the focus
// is passed again a moment later. Focus the user moved elsewhere meanwhile is left there.
void FocusFromWorker(HWND child) {
    constexpr int kFocusAttempts = 5;
    constexpr DWORD kFocusRetryPauseMs = 50;
    MSG ignored;
    PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = GetWindowThreadProcessId(child, nullptr);
    if (!owner) return;
    const HWND viewer = GetAncestor(child, GA_PARENT);
    for (int attempt = 0; attempt < kFocusAttempts; ++attempt) {
        if (attempt > 0) Sleep(kFocusRetryPauseMs);
        if (!AttachThreadInput(self, owner, TRUE)) return;
        SetFocus(child);
        const HWND focused = GetFocus();
        AttachThreadInput(self, owner, FALSE);
        if (focused != viewer) return;
    }
}

// True when the player's window thread takes a message within kPlayerAnswerTimeoutMs.
bool PlayerAnswers(HWND child) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(child, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kPlayerAnswerTimeoutMs, &ignored) != 0;
}

DWORD WINAPI RunPlayerCall(void* param) {
    const WorkerRequest request = *static_cast<WorkerRequest*>(param);
    delete static_cast<WorkerRequest*>(param);
    switch (request.call) {
        case PlayerCall::EnableNoticingDelay:
            if (!PlayerAnswers(request.child))
                LogPrintf(L"%s  player not answering yet, its window is enabled when it does", kLaunchTag);
            [[fallthrough]];
        case PlayerCall::Enable:
            // Returns when the player's thread has taken the message, or when the player is gone.
            EnableWindow(request.child, TRUE);
            break;
        case PlayerCall::Focus: FocusFromWorker(request.child); break;
    }
    callsInFlight.End(request.child, request.call);
    FreeLibraryAndExitThread(request.module, 0);
}

void RunOnWorker(HWND child, PlayerCall call) {
    if (!callsInFlight.Begin(child, call)) return;
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
    callsInFlight.End(child, call);
}

bool IsViewersChild(HWND viewer, HWND child) {
    return child && IsWindow(child) && GetAncestor(child, GA_PARENT) == viewer;
}

}  // namespace

void MovePlayerWindow(HWND child, int width, int height) {
    SetWindowPos(child, nullptr, 0, 0, width, height, SWP_ASYNCWINDOWPOS | SWP_NOZORDER | SWP_NOACTIVATE);
}

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

bool IsPlayerProcess(DWORD pid, const ViewerWindowState& state) {
    if (pid == 0) return false;
    if (pid == state.pid && state.process) return true;
    if (!state.job) return false;
    // The limited right is enough for Windows, Wine wants the full one.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process) process.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    BOOL inJob = FALSE;
    return process && IsProcessInJob(process.Get(), state.job.Get(), &inJob) && inJob;
}

HWND FindPlayerWindow(HWND viewer, const ViewerWindowState& state) {
    for (HWND child = FindWindowExW(viewer, nullptr, L"mpv", nullptr); child;
         child = FindWindowExW(viewer, child, L"mpv", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(child, &pid);
        if (IsPlayerProcess(pid, state)) return child;
    }
    return nullptr;
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
    RECT client = {};
    GetClientRect(viewer, &client);
    MovePlayerWindow(state.childHwnd, client.right, client.bottom);
}
