#include <atomic>
#include <string>

#include "common/gdi.h"
#include "config/plugin_config.h"
#include "log/log.h"
#include "viewer/viewer_internal.h"

namespace {

std::atomic<HFONT> placeholderFont{nullptr};

// Drawn straight onto the window, outside any paint cycle: the viewer never erases its
// background, so the text stays until the new player's window covers it.
void DrawPlaceholder(HWND viewer) {
    const ScopedWindowDC dc(viewer);
    if (!dc) return;
    RECT client = {};
    GetClientRect(viewer, &client);
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(128, 128, 128));
    const ScopedSelection font(dc.Get(), PlaceholderFont());
    DrawTextW(dc.Get(), L"Loading...", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The running player can take the file only if its window is still there, it was started from
// exactly this executable (letter case included, no normalisation) and it has a pipe.
bool CanReusePlayer(const ViewerWindowState& state, const std::wstring& playerPath) {
    return state.childHwnd && IsWindow(state.childHwnd) && state.exePath == playerPath &&
           !state.pipeName.empty();
}

}  // namespace

HFONT PlaceholderFont() {
    HFONT font = placeholderFont.load(std::memory_order_acquire);
    if (font) return font;
    HFONT created = CreateFontW(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0, L"Segoe UI");
    if (!created) return nullptr;
    // Two windows on two threads may get here together: one font wins, the other is dropped.
    if (placeholderFont.compare_exchange_strong(font, created, std::memory_order_acq_rel)) return created;
    DeleteObject(created);
    return font;
}

bool LoadFile(HWND viewer, ViewerWindowState& state, const wchar_t* filePath) {
    LogPrintf(L"[LoadFile] filePath=[%s]", filePath ? filePath : L"(null)");
    if (!filePath || !*filePath) {
        KillChild(state);
        LogWrite(L"[LoadFile] empty path, abort\r\n");
        return false;
    }

    const std::wstring playerPath = CurrentViewerForFile(filePath);
    if (playerPath.empty()) {
        LogWrite(L"[LoadFile] no viewer configured for this extension\r\n");
        KillChild(state);
        return false;
    }
    LogPrintf(L"[LoadFile] viewer=[%s]", playerPath.c_str());

    // The player may have replaced its window since the last message: its current one counts.
    FollowPlayerWindow(viewer, state);
    if (CanReusePlayer(state, playerPath)) {
        LogWrite(L"[LoadFile] Same mpv instance, trying IPC loadfile\r\n");
        if (SendMPVCommand(state, filePath)) {
            state.filePath = filePath;
            LogWrite(L"[LoadFile] LoadFile (mpv IPC) return 1\r\n");
            return true;
        }
        LogWrite(L"[LoadFile] mpv IPC failed, fallback to restart\r\n");
    }

    KillChild(state);
    InvalidateRect(viewer, nullptr, TRUE);
    DrawPlaceholder(viewer);
    const bool shown = LaunchAndEmbed(viewer, state, playerPath.c_str(), filePath);
    LogPrintf(L"[LoadFile] LoadFile return %d", shown ? 1 : 0);
    return shown;
}
