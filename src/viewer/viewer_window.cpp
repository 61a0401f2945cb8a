#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/window_data.h"
#include "host/host.h"
#include "log/log.h"
#include "viewer/viewer.h"
#include "viewer/viewer_internal.h"
#include "viewer/viewer_test_hooks.h"  // declares what this file defines for tests

namespace {

constexpr wchar_t kWndProcTag[] = L"[ViewerWndProc] ";

// What the window's slot holds: the player's record, and how many of the window's message
// handlers are running. Handlers nest: one that waits for the player lets messages sent to this
// thread through, and one of those may destroy the window. The record then leaves the slot at
// WM_DESTROY, but it is freed only when the outermost handler returns, so that no handler below
// reads freed state.
struct ViewerWindow {
    ViewerWindowState state;
    int runningHandlers = 0;
    bool destroyed = false;
};

class HandlerScope {
public:
    explicit HandlerScope(ViewerWindow* window) : window_(window) {
        if (window_) ++window_->runningHandlers;
    }
    ~HandlerScope() {
        if (!window_ || --window_->runningHandlers > 0 || !window_->destroyed) return;
        const std::unique_ptr<ViewerWindow> last(window_);  // the last handler out frees the record
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    ViewerWindow* window_;
};

// Narrow paths come in the system ANSI code page; an unconvertible one ends as an empty path.
std::vector<wchar_t> WidenAnsiPath(const char* narrow) {
    if (!narrow) return {};
    const int units = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
    if (units <= 0) return {};
    std::vector<wchar_t> wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), units);
    return wide;
}

LRESULT OnLoadW(HWND hwnd, ViewerWindowState* state, const wchar_t* path) {
    LogPrintf(L"%sDVPLUGINMSG_LOADW received", kWndProcTag);
    const bool shown = state && Shown(LoadFile(hwnd, *state, path));
    LogPrintf(L"%sDVPLUGINMSG_LOADW return %d", kWndProcTag, shown ? 1 : 0);
    return shown ? 1 : 0;
}

LRESULT OnLoadA(HWND hwnd, ViewerWindowState* state, const char* narrowPath) {
    LogPrintf(L"%sDVPLUGINMSG_LOADA received", kWndProcTag);
    bool shown = false;
    if (state) {
        const std::vector<wchar_t> path = WidenAnsiPath(narrowPath);
        shown = Shown(LoadFile(hwnd, *state, path.empty() ? nullptr : path.data()));
    }
    LogPrintf(L"%sDVPLUGINMSG_LOADA return %d", kWndProcTag, shown ? 1 : 0);
    return shown ? 1 : 0;
}

// The viewer never paints, so the player's last picture would stay where its window was.
void OnClear(HWND hwnd, ViewerWindowState* state) {
    LogPrintf(L"%sDVPLUGINMSG_CLEAR received", kWndProcTag);
    if (!state) return;
    KillChild(*state);
    DrawNotice(hwnd, *state, L"");
}

void OnHostResize(HWND hwnd, ViewerWindowState* state, LPARAM lParam) {
    const auto packed = static_cast<std::uint32_t>(lParam);
    const int width = static_cast<int>(packed & 0xFFFF);
    const int height = static_cast<int>(packed >> 16);
    if (!state || width == 0 || height == 0) return;
    // Kept also while no window is held (the search has not found it yet, or no player runs): the
    // window embedded next takes this size, not the client area's.
    state->hostSize = SIZE{width, height};
    const HWND child = FollowPlayerWindow(hwnd, *state);
    if (!child || !IsWindow(child)) return;
    MovePlayerWindow(child, width, height);
}

void OnSize(HWND hwnd, ViewerWindowState* state) {
    if (!state) return;
    state->hostSize.reset();
    FollowPlayerWindow(hwnd, *state);
    ResizeChild(hwnd, *state);
}

void OnFocus(HWND hwnd, ViewerWindowState* state) {
    if (state) PassFocusToPlayer(FollowPlayerWindow(hwnd, *state));
}

// A click on the video gives the player the keyboard, also in a frame that was not active: the
// click comes before the frame's activation, which then puts the focus back where the frame keeps
// it (its file list, say). So the click only posts a message, and when that arrives the viewer
// takes the focus, a call on its own window; its focus handling passes it on to the player.
void OnFocusAfterClick(HWND hwnd, ViewerWindowState* state) {
    if (!state) return;
    const HWND child = FollowPlayerWindow(hwnd, *state);
    if (!child || !IsWindow(child)) return;
    const HWND focus = GetFocus();
    if (focus == child) return;
    if (focus == hwnd) {
        PassFocusToPlayer(child);  // no WM_SETFOCUS comes for a focus the viewer already holds
    } else {
        SetFocus(hwnd);
    }
}

// For a while after an embedding: a window the player replaced is taken up, and one it disabled
// again is enabled, without waiting for the host's next message.
void OnFollowTimer(HWND hwnd, ViewerWindowState* state) {
    if (!state || !state->embedded || GetTickCount64() >= state->followUntil) {
        KillTimer(hwnd, kFollowTimerId);
        return;
    }
    const HWND child = FollowPlayerWindow(hwnd, *state);
    if (child && !IsWindowEnabled(child)) EnablePlayerWindow(child);
}

// The player has gone: the watchdog ended it, or it ended by itself (mpv does at the end of a file
// with --keep-open=no, and after a file it cannot open when it runs as it does without a console).
// Its last picture may still stand where its window was, and the viewer never paints: it is
// cleared, with a line saying why when the watchdog ended the player. A player the viewer no
// longer holds (cleared, or replaced by the next load) changes nothing; nor does one that ended
// before its window was embedded: it left no picture, and stays in the record, as a failed start
// does, until the next load, clear or destroy.
void OnPlayerGone(HWND hwnd, ViewerWindowState* state, WPARAM launch, LPARAM outcome) {
    if (!state || state->launch == 0 || state->launch != launch) return;
    const bool hung = static_cast<WatchOutcome>(outcome) == WatchOutcome::Hung;
    if (!hung && !state->embedded) return;
    KillChild(*state);
    DrawNotice(hwnd, *state, hung ? kPlayerHungNotice : L"");
}

void OnSizeQuery(HWND hwnd, const ViewerWindowState* state, WPARAM wParam, LPARAM lParam) {
    if (!state) return;
    if (auto* size = reinterpret_cast<std::int32_t*>(lParam)) {
        RECT client = {};
        GetClientRect(hwnd, &client);
        size[0] = client.right;
        size[1] = client.bottom;
    }
    if (auto* value = reinterpret_cast<std::int32_t*>(wParam)) *value = kSizeQueryValue;
}

// The record leaves the window here, not at WM_NCDESTROY: after WM_DESTROY no message may find it.
// The player is stopped at once; the record itself goes with the outermost running handler.
void OnDestroy(HWND hwnd) {
    std::unique_ptr<ViewerWindow> window = DetachWindowData<ViewerWindow>(hwnd);
    if (!window) return;
    KillChild(window->state);
    window->destroyed = true;
    window.release();  // owned by the HandlerScope of this very message, or of a load below it
}

LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, ViewerWindowState* state) {
    switch (msg) {
        case DVPLUGINMSG_LOADA: return OnLoadA(hwnd, state, reinterpret_cast<const char*>(lParam));
        case DVPLUGINMSG_LOADW: return OnLoadW(hwnd, state, reinterpret_cast<const wchar_t*>(lParam));
        case kHostMsgUnused07: return 0;
        case kHostMsgResize: OnHostResize(hwnd, state, lParam); return 0;
        case kHostMsgSizeQuery: OnSizeQuery(hwnd, state, wParam, lParam); return 0;
        case kHostMsgUnused19: return 0;
        case DVPLUGINMSG_CLEAR: OnClear(hwnd, state); return 0;
        case WM_CREATE: AttachWindowData(hwnd, std::make_unique<ViewerWindow>()); return 0;
        case WM_DESTROY: OnDestroy(hwnd); return 0;
        case WM_SIZE: OnSize(hwnd, state); return 0;
        case WM_SETFOCUS: OnFocus(hwnd, state); return 0;
        case WM_TIMER:
            if (wParam != kFollowTimerId) break;
            OnFollowTimer(hwnd, state);
            return 0;
        case WM_PAINT: {
            // Validates only: painting anything would cover the "Loading..." placeholder.
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEACTIVATE:
            if (state) PostMessageW(hwnd, kMsgFocusAfterClick, 0, 0);
            return MA_ACTIVATE;
        case kMsgFocusAfterClick: OnFocusAfterClick(hwnd, state); return 0;
        case WM_PARENTNOTIFY: return 0;
        case kMsgPlayerGone: OnPlayerGone(hwnd, state, wParam, lParam); return 0;
        default: break;
    }
    if (msg >= kHostMsgFirst && msg <= kHostMsgLast) {
        LogPrintf(L"%sunhandled DVP msg=0x%04X wParam=0x%p lParam=0x%p", kWndProcTag, msg,
                  reinterpret_cast<void*>(wParam), reinterpret_cast<void*>(lParam));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The host's own window thread runs this: nothing may unwind into it.
    try {
        ViewerWindow* window = WindowData<ViewerWindow>(hwnd);
        const HandlerScope scope(window);
        return Dispatch(hwnd, msg, wParam, lParam, window ? &window->state : nullptr);
    } catch (...) {
        LogPrintf(L"%sunexpected failure handling msg=0x%04X", kWndProcTag, msg);
        return 0;
    }
}

ViewerWindowState* ViewerStateOf(HWND viewer) {
    ViewerWindow* window = WindowData<ViewerWindow>(viewer);
    return window ? &window->state : nullptr;
}

bool RegisterViewerClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = ViewerWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewerClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool UnregisterViewerClass(HINSTANCE instance) { return UnregisterClassW(kViewerClassName, instance) != FALSE; }
