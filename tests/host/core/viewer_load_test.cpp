// The load sequence: when the running player is reused over its pipe, when it is restarted,
// and when nothing is shown at all; and the pipe client's refusals.
#include <gtest/gtest.h>

#include <tuple>

#include "viewer_host.h"

using namespace viewertest;

namespace {

bool PaintPending(HWND hwnd) { return GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; }

TEST(ViewerLoad, SameGroupGoesToTheRunningPlayerOverItsPipe) {
    ViewerHost pane(true);  // shown: a hidden window never has anything to paint
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    ViewerWindowState& s = *pane.State();
    MoveWindow(s.childHwnd, 0, 0, 8, 8, TRUE);  // uncovers the viewer: an invalidation would show
    PumpMessages();
    const auto identity = [&s] { return std::tuple(s.process.Get(), s.thread.Get(), s.job.Get(), s.pid, s.childHwnd, s.pipeName, s.exePath); };
    const auto before = identity();
    ASSERT_FALSE(PaintPending(pane.viewer));

    const std::wstring next = L"C:\\v\\caf\u00e9 \"\u97f3\"/second.mp3";
    EXPECT_EQ(pane.Load(next.c_str()), 1);
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(s.filePath, next);
    EXPECT_FALSE(PaintPending(pane.viewer));  // no placeholder, nothing invalidated
    EXPECT_EQ(RunningPlayers(), 1);
    EXPECT_EQ(ReadFileBytes(PipeLogFile()),
              "{\"command\":[\"loadfile\",\"C:\\\\v\\\\caf\xC3\xA9 \\\"\xE9\x9F\xB3\\\"/second.mp3\",\"replace\"]}\n");
}

TEST(ViewerLoad, RestartsWhenThePlayerCannotTakeTheFile) {
    std::wstring otherCase = PlayerPath();
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");  // the same file, another player path
    const std::tuple<const wchar_t*, const wchar_t*, int> cases[] = {
        {L"", L"[LoadFile] Same mpv instance", 0},  // the player path in other letter case
        {L"", L"[LoadFile] Same mpv instance", 0},  // the player's window closed
        {L"errorreply", L"[LoadFile] mpv IPC failed, fallback to restart\r\n", 1},
        {L"noreply", L"[SendMPVCommand] SendMPVCommand: no reply within 2000 ms\r\n", 1},
        {L"exitafterwindow", L"[LoadFile] Same mpv instance", 0},  // the player ended by itself
    };
    for (int i = 0; i < 5; ++i) {
        const auto& [mode, logged, times] = cases[i];
        ViewerHost pane;
        SetPlayerMode(mode);
        DeleteLog();
        ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
        const DWORD first = pane.State()->pid;
        const HWND child = pane.State()->childHwnd;
        if (i == 0) UsePlayer(otherCase);
        if (i == 1) SendMessageW(child, WM_CLOSE, 0, 0);
        if (i == 1 || i == 4) WaitUntil([child] { return !IsWindow(child); }, kPlayerWait);
        EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1) << i;
        EXPECT_FALSE(ProcessExists(first)) << i;
        EXPECT_EQ(CountLogLines(logged), times) << i;
        EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW OK"), 2) << i;
    }
}

// An ANSI path is read in the system code page, a null one is an empty path. An empty path or an
// unconfigured extension stops the running player; with none running, nothing happens at all.
TEST(ViewerLoad, AnsiPathIsConvertedAndEmptyOrUnconfiguredPathsStopThePlayer) {
    ViewerHost pane(true);  // shown: a hidden window never has anything to paint
    WaitUntil([] { return false; }, std::chrono::milliseconds(300));  // the frame is painted
    ASSERT_FALSE(PaintPending(pane.viewer));
    EXPECT_EQ(pane.Load(L"C:\\docs\\notes.txt"), 0);
    EXPECT_FALSE(PaintPending(pane.viewer));

    const char ansi[] = "C:\\v\\Caf\xE9 clip.mkv";
    wchar_t wide[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 64), 0);
    const std::tuple<UINT, const void*, const wchar_t*> cases[] = {
        {DVPLUGINMSG_LOADW, L"", L"[LoadFile] empty path, abort\r\n"},
        {DVPLUGINMSG_LOADA, nullptr, L"[LoadFile] filePath=[(null)]\r\n"},
        {DVPLUGINMSG_LOADW, L"C:\\docs\\notes.txt", L"[LoadFile] no viewer configured for this extension\r\n"},
    };
    for (const auto& [msg, path, logged] : cases) {
        DeleteLog();
        ASSERT_EQ(pane.Send(DVPLUGINMSG_LOADA, 0, reinterpret_cast<LPARAM>(ansi)), 1);
        EXPECT_EQ(pane.State()->filePath, wide);
        const DWORD pid = pane.State()->pid;
        EXPECT_EQ(pane.Send(msg, 0, reinterpret_cast<LPARAM>(path)), 0);
        EXPECT_FALSE(ProcessExists(pid));
        EXPECT_EQ(CountLogLines(logged), 1) << logged;
        EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] exePath="), 1);
    }
}

// 2047 bytes fit the buffer with its terminator, 2048 do not; backslashes count escaped.
TEST(ViewerIpc, NothingToSendToOrTooLongToSend) {
    EXPECT_FALSE(SendMPVCommand(L"", L"C:\\v\\a.mkv"));  // no pipe: not even a log line
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand]"), 0);
    const std::wstring pipe = L"\\\\.\\pipe\\tessoravin-nobody", slashes(1004, L'\\');
    EXPECT_FALSE(SendMPVCommand(pipe, (L"xx" + slashes).c_str()));  // 38 + 2 + 2008 bytes
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: command longer than 2047 bytes, not sent\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand]"), 1);  // refused before the pipe was tried
    EXPECT_FALSE(SendMPVCommand(pipe, (L"x" + slashes).c_str()));
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: {\"command\":[\"loadfile\",\"x\\\\\\\\"), 1);
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: CreateFileW failed, err=2\r\n"), 1);
}

}  // namespace
