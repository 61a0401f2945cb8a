#include <atomic>
#include <string>
#include <utility>

#include "common/gdi.h"
#include "config/plugin_config.h"
#include "log/log.h"
#include "viewer/outcomes.h"
#include "viewer/viewer.h"
#include "viewer/viewer_internal.h"
#include "viewer/viewer_test_hooks.h"  // declares PlaceholderFont, defined here

namespace {

std::atomic<HFONT> placeholderFont{nullptr};

// Straight onto the window, outside any paint cycle: the viewer never erases its background, so
// the text stays until a player's window covers it. With clear, over the pane's colour instead of
// whatever the viewer showed. The grey reads on black and on white alike.
void DrawCentredText(HWND viewer, const wchar_t* text, bool clear) {
    const ScopedWindowDC dc(viewer);
    if (!dc) return;
    RECT client = {};
    GetClientRect(viewer, &client);
    if (clear) {
        SetDCBrushColor(dc.Get(), kPaneColour);
        FillRect(dc.Get(), &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(128, 128, 128));
    const ScopedSelection font(dc.Get(), PlaceholderFont());
    DrawTextW(dc.Get(), text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The running player can take the file only if its window is still there, it was started from
// exactly this executable (letter case included, no normalisation) and it has a pipe.
bool CanReusePlayer(const ViewerWindowState& state, const std::wstring& playerPath) {
    return state.childHwnd && IsWindow(state.childHwnd) && state.exePath == playerPath && !state.pipeName.empty();
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

void DrawNotice(HWND viewer, ViewerWindowState& state, const wchar_t* text) {
    DrawCentredText(viewer, text, true);
    state.noticeShown = true;
}

namespace {

LoadOutcome Load(HWND viewer, ViewerWindowState& state, const wchar_t* filePath) {
    if (!filePath || !*filePath) {
        KillChild(state);
        return LoadOutcome::EmptyPath;
    }

    const std::wstring playerPath = CurrentViewerForFile(filePath);
    if (playerPath.empty()) return LoadOutcome::NoPlayerConfigured;  // the player stops once that is logged
    LogPrintf(L"%sviewer=[%s]", kLoadTag, playerPath.c_str());

    // The player may have replaced its window since the last message: its current one counts.
    FollowPlayerWindow(viewer, state);
    if (CanReusePlayer(state, playerPath)) {
        LogPrintf(L"%sSame mpv instance, trying IPC loadfile", kLoadTag);
        state.lastSend = SendMPVCommand(state, filePath);
        if (state.lastSend == SendOutcome::Sent) {
            state.filePath = filePath;
            return LoadOutcome::Reused;
        }
        LogPrintf(L"%smpv IPC failed, fallback to restart", kLoadTag);
    }

    KillChild(state);
    InvalidateRect(viewer, nullptr, TRUE);
    // Over whatever the viewer shows, unless that is a notice: the two texts would run into each other.
    DrawCentredText(viewer, L"Loading...", std::exchange(state.noticeShown, false));
    const LaunchOutcome launched = LaunchAndEmbed(viewer, state, playerPath.c_str(), filePath);
    // The record then belongs to the message that stopped this player, and says what it did.
    if (launched == LaunchOutcome::PlayerStopped) return LoadOutcome::Superseded;
    state.lastLaunch = launched;
    return launched == LaunchOutcome::Embedded ? LoadOutcome::Restarted : LoadOutcome::NotShown;
}

}  // namespace

LoadOutcome LoadFile(HWND viewer, ViewerWindowState& state, const wchar_t* filePath) {
    LogPrintf(L"%sfilePath=[%s]", kLoadTag, filePath ? filePath : L"(null)");
    const LoadOutcome outcome = Load(viewer, state, filePath);
    LogEntries(LoadOutcomeEntries(outcome));
    // After its entry, not before: the log says why the player stops ahead of KillChild's lines.
    if (outcome == LoadOutcome::NoPlayerConfigured) KillChild(state);
    if (outcome != LoadOutcome::Superseded) state.lastLoad = outcome;
    return outcome;
}
