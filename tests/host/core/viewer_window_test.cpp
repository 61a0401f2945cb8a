// The viewer window as the host drives it: its messages, the player's window inside it, the
// end of the player with clear and destroy, and many load/clear cycles without leaks.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "common/handle.h"
#include "viewer_host.h"

using namespace viewertest;

namespace {

TEST(ViewerWindow, PlayerWindowIsShownEnabledAndKeptFillingTheViewer) {
    ViewerHost pane(true);
    ASSERT_EQ(pane.Load(L"C:\\Videos\\Big Buck Bunny.mkv"), 1);
    const HWND child = pane.State()->childHwnd;
    EXPECT_EQ(GetParent(child), pane.viewer);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(child) != FALSE; }, kPlayerWait));  // created disabled
    EXPECT_TRUE(WaitUntil([&] { return Fills(pane.viewer, child); }, kPlayerWait));

    // Focusing the viewer gives the player's own thread the focus on the player's window.
    SetFocus(pane.viewer);
    EXPECT_TRUE(
        WaitUntil([&] { return GuiInfo(GetWindowThreadProcessId(child, nullptr)).hwndFocus == child; }, kPlayerWait));

    // Moves of the player's window are made by a worker: they land when the player takes them.
    MoveWindow(pane.viewer, 10, 20, 320, 180, TRUE);  // WM_SIZE
    EXPECT_TRUE(WaitUntil([&] { return Fills(pane.viewer, child); }, kPlayerWait));

    // 0x8F08: width in bits 0-15, height in bits 16-31, nothing else counts; a zero size is ignored.
    const std::pair<std::uint64_t, RECT> resizes[] = {{0x00C80000, {0, 0, 320, 180}},
                                                      {0x0000012C, {0, 0, 320, 180}},
                                                      {0xABCD00000000, {0, 0, 320, 180}},
                                                      {0xFFFFFFFF002D007B, {0, 0, 123, 45}}};
    for (const auto& [lParam, expected] : resizes) {
        EXPECT_EQ(pane.Send(kHostMsgResize, 0, static_cast<LPARAM>(lParam)), 0);
        SettlePlayer(child);  // a move wrongly made for an ignored size would have landed by now
        EXPECT_TRUE(WaitUntil([&] { return RectIs(ChildRect(pane.viewer, child), expected); }, kPlayerWait))
            << std::hex << lParam;
    }
}

// What the user sees, read from the screen: the stand-in fills its window with its file's colour.
// Its picture covers the pane after the first load, a resize and a reused load, with nothing of
// the placeholder left, and after a clear nothing of it is left.
TEST(ViewerPicture, ThePlayersPictureCoversThePaneUntilItIsCleared) {
    if (const std::string why = PictureUnreadable(); !why.empty()) GTEST_SKIP() << why;
    ViewerHost pane(true, kReadsTheScreen);
    const auto share = [&](const wchar_t* file) {
        return ShareOfColour(ClientPixels(pane.viewer, true), MediaColour(file));
    };
    ASSERT_NE(MediaColour(L"a.mkv"), MediaColour(L"b.mkv"));
    ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
    EXPECT_TRUE(WaitUntil([&] { return share(L"a.mkv") == 1.0; }, kPlayerWait)) << share(L"a.mkv");
    MoveWindow(pane.viewer, 0, 0, 400, 250, TRUE);
    EXPECT_TRUE(WaitUntil([&] { return share(L"a.mkv") == 1.0; }, kPlayerWait)) << share(L"a.mkv");
    ASSERT_EQ(pane.Load(L"C:\\v\\b.mkv"), 1);
    EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Reused);
    EXPECT_TRUE(WaitUntil([&] { return share(L"b.mkv") == 1.0; }, kPlayerWait))
        << share(L"b.mkv") << " " << share(L"a.mkv");
    pane.Clear();
    const auto cleared = [&] { return ShareOfColour(ClientPixels(pane.viewer, true), kPaneColour); };
    EXPECT_TRUE(WaitUntil([&] { return cleared() == 1.0; }, kPlayerWait)) << cleared() << " " << share(L"b.mkv");
}

// A player that replaces its window (as mpv does while it falls back from one video output to the
// next) or disables it again after the viewer enabled it: the viewer takes up its current window
// by itself, enabled, shown and fitted, and the next file still goes over the pipe.
TEST(ViewerWindow, TheViewerFollowsThePlayersCurrentWindow) {
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"300");
    for (const wchar_t* mode : {L"replacewindow", L"redisable"}) {
        ViewerHost pane;
        SetPlayerMode(mode);
        DeleteLog();
        ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
        const HWND first = pane.State()->childHwnd;
        const bool replaces = mode == std::wstring(L"replacewindow");
        const auto settled = [&] {
            const HWND held = pane.State()->childHwnd;
            return held == FindWindowExW(pane.viewer, nullptr, L"mpv", nullptr) && (held != first) == replaces &&
                   IsWindowEnabled(held) && (GetWindowLongPtrW(held, GWL_STYLE) & WS_VISIBLE) &&
                   Fills(pane.viewer, held);
        };
        WaitUntil([] { return false; }, std::chrono::milliseconds(800));  // past the player's change
        EXPECT_TRUE(WaitUntil(settled, kPlayerWait)) << mode;
        EXPECT_EQ(CountLogLines(L"[FollowPlayerWindow] player replaced its window"), replaces ? 1 : 0);
        EXPECT_EQ(pane.Load(L"C:\\v\\b.mkv"), 1);
        EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Reused) << mode;
        EXPECT_EQ(WindowText(pane.State()->childHwnd), L"C:\\v\\b.mkv");
    }
}

// 0x8F14 fills whichever of its pointers are given; only host messages without a meaning are
// logged, 0x8F07 and 0x8F19 not among them. Without its record (dropped by WM_DESTROY) the
// window answers nothing, starts nothing and logs only that the messages came.
TEST(ViewerWindow, HostMessagesWithAndWithoutTheRecord) {
    ViewerHost pane;
    for (const UINT msg : {kHostMsgFirst - 1, kHostMsgFirst, 0x8F03u, kHostMsgUnused07, kHostMsgUnused19, kHostMsgLast,
                           kHostMsgLast + 1}) {
        DeleteLog();
        const LRESULT result = pane.Send(msg, 0x12, 0x34);
        const bool logged = msg >= kHostMsgFirst && msg <= kHostMsgLast && msg != kHostMsgUnused07 &&
                            msg != kHostMsgUnused19;
        wchar_t line[128];
        swprintf(line, 128,
                 L"[ViewerWndProc] unhandled DVP msg=0x%04X wParam=0x0000000000000012 lParam=0x0000000000000034\r\n",
                 msg);
        EXPECT_EQ(CountLogLines(line), logged ? 1 : 0) << std::hex << msg;
        EXPECT_EQ(CountLogLines(L"] ["), logged ? 1 : 0) << std::hex << msg;
        EXPECT_TRUE(result == 0 || (msg != kHostMsgUnused07 && msg != kHostMsgUnused19)) << std::hex << msg;
    }
    MoveWindow(pane.viewer, 0, 0, 432, 234, TRUE);
    for (const bool record : {true, false}) {
        if (!record) ViewerWndProc(pane.viewer, WM_DESTROY, 0, 0);  // drops the record, keeps the window
        for (const int given : {0, 1, 2, 3}) {
            std::int32_t value = -1, size[2] = {-1, -1};
            EXPECT_EQ(pane.Send(kHostMsgSizeQuery, given & 1 ? reinterpret_cast<WPARAM>(&value) : 0,
                                given & 2 ? reinterpret_cast<LPARAM>(size) : 0),
                      0);
            EXPECT_EQ(value, record && (given & 1) ? 32 : -1);
            EXPECT_EQ(size[0], record && (given & 2) ? 432 : -1);
            EXPECT_EQ(size[1], record && (given & 2) ? 234 : -1);
        }
    }
    ASSERT_EQ(pane.State(), nullptr);
    DeleteLog();
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    EXPECT_EQ(pane.Send(DVPLUGINMSG_LOADA, 0, reinterpret_cast<LPARAM>("C:\\v\\a.mkv")), 0);
    EXPECT_EQ(pane.Clear(), 0);
    EXPECT_EQ(pane.Send(WM_MOUSEACTIVATE), MA_ACTIVATE);
    EXPECT_EQ(pane.Send(WM_ERASEBKGND), 1);
    for (const wchar_t* line : {L"DVPLUGINMSG_LOADW received\r\n", L"DVPLUGINMSG_LOADW return 0\r\n",
                                L"DVPLUGINMSG_LOADA return 0\r\n", L"DVPLUGINMSG_CLEAR received\r\n"})
        EXPECT_EQ(CountLogLines(std::wstring(L"[ViewerWndProc] ") + line), 1) << line;
    EXPECT_EQ(CountLogLines(L"] ["), 5);  // and nothing from the load sequence or KillChild
    EXPECT_EQ(RunningPlayers(), 0);
}

TEST(ViewerWindow, ClassAndPlaceholderFontAreMadeOnce) {
    const HINSTANCE self = GetModuleHandleW(nullptr);
    ASSERT_TRUE(RegisterViewerClass(self));
    EXPECT_TRUE(RegisterViewerClass(self));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(self, kViewerClassName, &wc));
    EXPECT_EQ(wc.lpfnWndProc, &ViewerWndProc);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_ARROW));

    std::vector<HFONT> seen(8);
    std::vector<std::thread> threads;
    for (HFONT& slot : seen) threads.emplace_back([&slot] { slot = PlaceholderFont(); });
    for (std::thread& t : threads) t.join();
    for (HFONT font : seen) EXPECT_EQ(font, PlaceholderFont());
    LOGFONTW font = {};
    ASSERT_EQ(GetObjectW(seen[0], sizeof(font), &font), static_cast<int>(sizeof(font)));
    EXPECT_EQ(font.lfHeight, 20);
    EXPECT_STREQ(font.lfFaceName, L"Segoe UI");
}

// Clear and WM_DESTROY end the player (its process is gone afterwards), and 200 load/clear
// cycles, each with a resize and a focus change, leave the handle, thread and GDI object counts
// and the number of running players where they started.
TEST(ViewerWindow, ClearAndDestroyEndThePlayerAndCyclesLeakNothing) {
    constexpr int kCycles = 200;
    ViewerHost pane(true);                           // shown: focus only moves within an active frame
    ASSERT_EQ(pane.Load(L"C:\\v\\warm-up.mkv"), 1);  // what the system makes once is made now
    const DWORD cleared = pane.State()->pid;
    EXPECT_EQ(pane.Clear(), 0);
    EXPECT_FALSE(ProcessExists(cleared));
    const ThreadsAndHandles before;
    {
        // Each count sees one object come and go.
        const UniqueHandle probe(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_EQ(OpenHandleCount(), before.handles + 1);
        const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        ASSERT_EQ(GdiObjectCount(), before.gdi + 1);
        DeleteObject(brush);
        HostThread([&] { EXPECT_EQ(ThreadCount(), before.threads + 1); }).Join();
    }
    int shown = 0;
    for (int i = 0; i < kCycles; ++i) {
        shown += static_cast<int>(pane.Load(L"C:\\v\\cycle.mkv"));
        MoveWindow(pane.viewer, 0, 0, 300 + i % 7, 200, TRUE);
        SetFocus(pane.viewer);
        SetFocus(pane.host);
        pane.Clear();
    }
    EXPECT_EQ(shown, kCycles);
    ExpectBackTo(before);
    EXPECT_EQ(RunningPlayers(), 0);

    ASSERT_EQ(pane.Load(L"C:\\v\\last.mkv"), 1);
    const DWORD destroyed = pane.State()->pid;
    DestroyWindow(pane.viewer);
    EXPECT_FALSE(ProcessExists(destroyed));
}

}  // namespace
