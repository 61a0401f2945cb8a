// The load sequence: when the running player is reused over its pipe, when it is restarted,
// and when nothing is shown at all; and the pipe client's refusals.
#include <gtest/gtest.h>

#include <functional>

#include "viewer_host.h"

using namespace viewertest;

namespace {

bool PaintPending(HWND hwnd) { return GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; }

TEST(ViewerLoad, SameGroupGoesToTheRunningPlayerOverItsPipe) {
    ViewerHost pane;
    UsePlayer(PlayerPath());
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    PumpMessages();
    ViewerWindowState& s = *pane.State();
    const auto identity = [&s] { return std::tuple(s.process.Get(), s.thread.Get(), s.job.Get(), s.pid, s.childHwnd, s.pipeName, s.exePath); };
    const auto before = identity();
    ASSERT_FALSE(PaintPending(pane.viewer));

    const std::wstring next = L"C:\\v\\caf\u00e9 \"\u97f3\"/second.mp3";
    EXPECT_EQ(pane.Load(next.c_str()), 1);
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(s.filePath, next);
    EXPECT_FALSE(PaintPending(pane.viewer));  // no placeholder, nothing invalidated
    EXPECT_EQ(ReadFileBytes(PipeLogFile()),
              "{\"command\":[\"loadfile\",\"C:\\\\v\\\\caf\xC3\xA9 \\\"\xE9\x9F\xB3\\\"/second.mp3\",\"replace\"]}\n");
    EXPECT_EQ(WindowText(s.childHwnd), next);  // the player decoded what it got
    EXPECT_EQ(CountLogLines(L"[LoadFile] LoadFile (mpv IPC) return 1\r\n"), 1);
    EXPECT_EQ(RunningPlayers(), 1);
}

TEST(ViewerLoad, RestartsWhenThePlayerCannotTakeTheFile) {
    struct Case {
        const wchar_t* mode;
        std::function<void(const ViewerHost&)> between;
        const wchar_t* logged;
        int times;
    };
    std::wstring otherCase = PlayerPath();
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");  // the same file, another player path
    const auto closeWindow = [](const ViewerHost& p) {
        const HWND child = p.State()->childHwnd;
        SendMessageW(child, WM_CLOSE, 0, 0);
        WaitUntil([child] { return !IsWindow(child); }, kPlayerWait);
    };
    const Case cases[] = {
        {L"", [&](const ViewerHost&) { UsePlayer(otherCase); }, L"[LoadFile] Same mpv instance", 0},
        {L"", closeWindow, L"[LoadFile] Same mpv instance", 0},
        {L"errorreply", nullptr, L"[LoadFile] mpv IPC failed, fallback to restart\r\n", 1},
        {L"noreply", nullptr, L"[SendMPVCommand] SendMPVCommand: no reply within 2000 ms\r\n", 1},
    };
    for (const Case& c : cases) {
        ViewerHost pane;
        UsePlayer(PlayerPath());
        SetPlayerMode(c.mode);
        DeleteLog();
        ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
        const DWORD first = pane.State()->pid;
        if (c.between) c.between(pane);
        EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1) << c.logged;
        EXPECT_NE(pane.State()->pid, first);
        EXPECT_FALSE(ProcessExists(first));
        EXPECT_EQ(pane.State()->filePath, L"C:\\v\\second.mkv");
        EXPECT_EQ(CountLogLines(c.logged), c.times) << c.logged;
        EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW OK"), 2);
    }
}

TEST(ViewerLoad, EmptyPathOrUnconfiguredExtensionStopsThePlayer) {
    ViewerHost pane;
    UsePlayer(PlayerPath());
    PumpMessages();
    EXPECT_EQ(pane.Load(L"C:\\docs\\notes.txt"), 0);  // with nothing to stop, nothing happens at all
    EXPECT_FALSE(PaintPending(pane.viewer));

    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"", L"[LoadFile] empty path, abort\r\n"},
        {nullptr, L"[LoadFile] filePath=[(null)]\r\n"},
        {L"C:\\docs\\notes.txt", L"[LoadFile] no viewer configured for this extension\r\n"},
    };
    for (const auto& [path, logged] : cases) {
        DeleteLog();
        ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
        const DWORD pid = pane.State()->pid;
        EXPECT_EQ(pane.Load(path), 0);
        EXPECT_FALSE(ProcessExists(pid));
        EXPECT_TRUE(pane.State()->pipeName.empty());
        EXPECT_EQ(CountLogLines(logged), 1);
        EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] exePath="), 1);
    }
}

TEST(ViewerLoad, AnsiPathIsConvertedFromTheSystemCodePage) {
    ViewerHost pane;
    UsePlayer(PlayerPath());
    const char narrow[] = "C:\\v\\Caf\xE9 clip.mkv";
    wchar_t wide[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, 64), 0);
    EXPECT_EQ(SendMessageW(pane.viewer, DVPLUGINMSG_LOADA, 0, reinterpret_cast<LPARAM>(narrow)), 1);
    EXPECT_EQ(WindowText(pane.State()->childHwnd), wide);
    const DWORD pid = pane.State()->pid;
    EXPECT_EQ(SendMessageW(pane.viewer, DVPLUGINMSG_LOADA, 0, 0), 0);  // null: an empty path
    EXPECT_FALSE(ProcessExists(pid));
    EXPECT_EQ(CountLogLines(L"[ViewerWndProc] DVPLUGINMSG_LOADA received\r\n"), 2);
    EXPECT_EQ(CountLogLines(L"[ViewerWndProc] DVPLUGINMSG_LOADA return 1\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"[LoadFile] filePath=[(null)]\r\n"), 1);
}

TEST(ViewerIpc, NothingToSendToOrTooLongToSend) {
    EXPECT_FALSE(SendMPVCommand(L"", L"C:\\v\\a.mkv"));  // no pipe: not even a log line
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand]"), 0);
    const std::wstring pipe = L"\\\\.\\pipe\\tessoravin-nobody";
    EXPECT_FALSE(SendMPVCommand(pipe, (L"C:\\" + std::wstring(2006, L'x')).c_str()));  // 2048 bytes
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: command longer than 2047 bytes, not sent\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand]"), 1);  // refused before the pipe was tried
    EXPECT_FALSE(SendMPVCommand(pipe, (L"C:\\" + std::wstring(2005, L'x')).c_str()));
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: {\"command\":[\"loadfile\",\"C:\\\\xxx"), 1);
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand] SendMPVCommand: CreateFileW failed, err=2\r\n"), 1);
}

}  // namespace
