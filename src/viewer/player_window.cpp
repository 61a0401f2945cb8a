// Every call from the host's window thread into the player's window. That window belongs to
// another process's thread, and most window calls on it wait until that thread takes the
// message; a player whose thread stalls (a GPU driver, a debugger, a slow start-up) must never
// freeze the file manager. Moves and shows are therefore posted. What has no posted form is made
// only once the player's thread has answered within a bound, or else left to a worker thread.
#include <new>

#include "viewer/viewer.h"

namespace {

struct EnableRequest {
    HWND child;
    HMODULE module;  // a reference that keeps this code mapped until the worker is done
};

DWORD WINAPI EnableWhenPlayerAnswers(void* param) {
    const EnableRequest request = *static_cast<EnableRequest*>(param);
    delete static_cast<EnableRequest*>(param);
    // Returns when the player's thread has taken the message, or when the player is gone.
    EnableWindow(request.child, TRUE);
    FreeLibraryAndExitThread(request.module, 0);
}

// Hands EnableWindow to a short-lived thread of its own, which nobody waits for.
void EnableOnWorker(HWND child) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<const wchar_t*>(&EnableWhenPlayerAnswers), &module))
        return;
    auto* request = new (std::nothrow) EnableRequest{child, module};
    const HANDLE worker = request ? CreateThread(nullptr, 0, EnableWhenPlayerAnswers, request, 0, nullptr) : nullptr;
    if (worker) {
        CloseHandle(worker);
        return;
    }
    delete request;
    FreeLibrary(module);
}

}  // namespace

bool PlayerAnswers(HWND child) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(child, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kPlayerAnswerTimeoutMs, &ignored) != 0;
}

void MovePlayerWindow(HWND child, int width, int height) {
    SetWindowPos(child, nullptr, 0, 0, width, height, SWP_ASYNCWINDOWPOS | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool EnablePlayerWindow(HWND child) {
    if (PlayerAnswers(child)) {
        EnableWindow(child, TRUE);
        return true;
    }
    EnableOnWorker(child);
    return false;
}

void PassFocusToPlayer(HWND child) {
    if (!child || !IsWindow(child)) return;
    const DWORD self = GetCurrentThreadId();
    const DWORD owner = GetWindowThreadProcessId(child, nullptr);
    if (owner == self) {
        SetFocus(child);
        return;
    }
    // SetFocus waits for the player's thread. A player that does not answer cannot take the
    // keyboard anyway, so the focus stays with the viewer until the next activation.
    if (!PlayerAnswers(child) || !IsWindow(child)) return;
    // SetFocus works across threads only while their input is attached.
    AttachThreadInput(self, owner, TRUE);
    SetFocus(child);
    AttachThreadInput(self, owner, FALSE);
}

void ResizeChild(HWND viewer, const ViewerWindowState& state) {
    if (!state.childHwnd || !IsWindow(state.childHwnd)) return;
    RECT client = {};
    GetClientRect(viewer, &client);
    MovePlayerWindow(state.childHwnd, client.right, client.bottom);
}
