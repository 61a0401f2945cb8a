#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/window_data.h"
#include "log/log.h"
#include "viewer/viewer.h"

namespace {

// The player's window belongs to another process and so to another thread; SetFocus works
// across threads only while their input is attached.
void PassFocusToPlayer(const ViewerWindowState& state) {
    if (!state.childHwnd || !IsWindow(state.childHwnd)) return;
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = GetWindowThreadProcessId(state.childHwnd, nullptr);
    if (owner != self) {
        AttachThreadInput(self, owner, TRUE);
        SetFocus(state.childHwnd);
        AttachThreadInput(self, owner, FALSE);
    } else {
        SetFocus(state.childHwnd);
    }
}

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
    LogWrite(L"[ViewerWndProc] DVPLUGINMSG_LOADW received\r\n");
    const bool shown = state && LoadFile(hwnd, *state, path);
    LogPrintf(L"[ViewerWndProc] DVPLUGINMSG_LOADW return %d", shown ? 1 : 0);
    return shown ? 1 : 0;
}

LRESULT OnLoadA(HWND hwnd, ViewerWindowState* state, const char* narrowPath) {
    LogWrite(L"[ViewerWndProc] DVPLUGINMSG_LOADA received\r\n");
    bool shown = false;
    if (state) {
        const std::vector<wchar_t> path = WidenAnsiPath(narrowPath);
        shown = LoadFile(hwnd, *state, path.empty() ? nullptr : path.data());
    }
    LogPrintf(L"[ViewerWndProc] DVPLUGINMSG_LOADA return %d", shown ? 1 : 0);
    return shown ? 1 : 0;
}

void OnClear(ViewerWindowState* state) {
    LogWrite(L"[ViewerWndProc] DVPLUGINMSG_CLEAR received\r\n");
    if (state) KillChild(*state);
}

void OnHostResize(const ViewerWindowState* state, LPARAM lParam) {
    const auto packed = static_cast<std::uint32_t>(lParam);
    const int width = static_cast<int>(packed & 0xFFFF);
    const int height = static_cast<int>(packed >> 16);
    if (!state || width == 0 || height == 0) return;
    if (!state->childHwnd || !IsWindow(state->childHwnd)) return;
    MoveWindow(state->childHwnd, 0, 0, width, height, TRUE);
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
void OnDestroy(HWND hwnd) {
    if (const std::unique_ptr<ViewerWindowState> state = DetachWindowData<ViewerWindowState>(hwnd))
        KillChild(*state);
}

LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ViewerWindowState* state = WindowData<ViewerWindowState>(hwnd);
    switch (msg) {
        case DVPLUGINMSG_LOADA: return OnLoadA(hwnd, state, reinterpret_cast<const char*>(lParam));
        case DVPLUGINMSG_LOADW: return OnLoadW(hwnd, state, reinterpret_cast<const wchar_t*>(lParam));
        case kHostMsgUnused07: return 0;
        case kHostMsgResize: OnHostResize(state, lParam); return 0;
        case kHostMsgSizeQuery: OnSizeQuery(hwnd, state, wParam, lParam); return 0;
        case kHostMsgUnused19: return 0;
        case DVPLUGINMSG_CLEAR: OnClear(state); return 0;
        case WM_CREATE: AttachWindowData(hwnd, std::make_unique<ViewerWindowState>()); return 0;
        case WM_DESTROY: OnDestroy(hwnd); return 0;
        case WM_SIZE:
            if (state) ResizeChild(hwnd, *state);
            return 0;
        case WM_SETFOCUS:
            if (state) PassFocusToPlayer(*state);
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
            if (state) PassFocusToPlayer(*state);
            return MA_ACTIVATE;
        case WM_PARENTNOTIFY: return 0;
        default: break;
    }
    if (msg >= kHostMsgFirst && msg <= kHostMsgLast) {
        LogPrintf(L"[ViewerWndProc] unhandled DVP msg=0x%04X wParam=0x%p lParam=0x%p", msg,
                  reinterpret_cast<void*>(wParam), reinterpret_cast<void*>(lParam));
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The host's own window thread runs this: nothing may unwind into it.
    try {
        return Dispatch(hwnd, msg, wParam, lParam);
    } catch (...) {
        LogPrintf(L"[ViewerWndProc] unexpected failure handling msg=0x%04X", msg);
        return 0;
    }
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
