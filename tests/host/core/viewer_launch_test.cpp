// Starting and stopping the player: what it is told on its command line, what a failed start
// leaves behind, and that KillChild never leaves a player running.
#include <gtest/gtest.h>

#include "viewer/player_protocol.h"
#include "viewer_host.h"

using namespace viewertest;

namespace {

std::wstring Decimal(HWND hwnd) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(hwnd)); }

bool IsEmpty(const ViewerWindowState& s) {
    return !s.process && !s.thread && !s.job && !s.pid && !s.childHwnd && s.pipeName.empty() && s.exePath.empty() &&
           s.filePath.empty();
}

TEST(ViewerLaunch, PlayerGetsTheCommandLineByteForByteAndEachViewerItsOwnPipe) {
    ViewerHost pane;
    const HWND second = pane.AddViewer();
    ASSERT_NE(second, nullptr);
    const std::wstring n = Decimal(pane.viewer), file = L"D:\\Media\\clip one.mkv";
    for (const std::wstring params : {L"--force-window=yes --border=no", L""}) {
        UsePlayer(PlayerPath(), params);
        pane.Clear();
        ASSERT_EQ(pane.Load(file.c_str()), 1);
        const std::string bytes = ReadFileBytes(CommandLineFile());
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
                  L"\"" + PlayerPath() + L"\" --wid=" + n + L" --input-ipc-server=\\\\.\\pipe\\dopus_mpv_" + n +
                      L" --keep-open=yes --no-border --osc=yes --script-opts=osc-visibility=always"
                      L" --cursor-autohide=no --input-default-bindings=yes --window-dragging=no" +
                      (params.empty() ? L"" : L" " + params) + L" \"" + file + L"\"");
    }
    ASSERT_EQ(pane.Load(L"C:\\v\\b.mp3", second), 1);
    EXPECT_EQ(pane.State()->pipeName, L"\\\\.\\pipe\\dopus_mpv_" + n);
    EXPECT_EQ(pane.State(second)->pipeName, L"\\\\.\\pipe\\dopus_mpv_" + Decimal(second));
    EXPECT_EQ(GetParent(pane.State(second)->childHwnd), second);
    EXPECT_EQ(RunningPlayers(), 2);
}

TEST(ViewerLaunch, MissingPlayerLeavesOnlyThePipeName) {
    ViewerHost pane;
    UsePlayer(fakehost::ProgramFolder() + L"\\viewers\\mpv\\missing.exe");
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW FAILED, err=2 (0x00000002)\r\n"), 1);
    ViewerWindowState& s = *pane.State();
    EXPECT_EQ(s.pipeName, PipeNameFor(pane.viewer));
    s.pipeName.clear();
    EXPECT_TRUE(IsEmpty(s));
}

TEST(ViewerLaunch, PlayerWithoutWindowRunsUnseenUntilTheNextClear) {
    ViewerHost pane;
    UsePlayer(PlayerPath());
    SetPlayerMode(L"nowindow");
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] mpv: failed to find child window within 5s\r\n"), 1);
    const ViewerWindowState& s = *pane.State();
    const DWORD pid = s.pid;
    EXPECT_TRUE(s.process && s.thread && s.job && !s.childHwnd && s.filePath == L"C:\\v\\a.mkv");
    EXPECT_TRUE(ProcessExists(pid));
    pane.Clear();
    EXPECT_FALSE(ProcessExists(pid));  // KillChild waits for the end
    EXPECT_TRUE(IsEmpty(s));
}

TEST(ViewerLaunch, KillChildOnAnEmptyStateOnlyLogs) {
    ViewerWindowState s;
    KillChild(s);
    EXPECT_TRUE(IsEmpty(s));
    EXPECT_EQ(CountLogLines(L"] ["), 2);
    EXPECT_EQ(CountLogLines(L"] [KillChild] KillChild enter\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"] [KillChild] KillChild leave\r\n"), 1);
}

// A job that does not hold the player (its assignment failed) must not let it outlive KillChild;
// without any job the player gets its short wait and is then terminated.
TEST(ViewerLaunch, KillChildEndsAPlayerOutsideItsJob) {
    ViewerHost pane;
    for (const bool withJob : {true, false}) {
        std::wstring line = BuildPlayerCommandLine(PlayerPath(), WindowNumber(pane.viewer), PipeNameFor(pane.viewer),
                                                   L"", L"C:\\v\\a.mkv");
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started = {};
        ASSERT_TRUE(CreateProcessW(PlayerPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &started));
        ViewerWindowState s;
        s.process.Reset(started.hProcess);
        s.thread.Reset(started.hThread);
        if (withJob) s.job.Reset(CreateJobObjectW(nullptr, nullptr));
        ASSERT_TRUE(WaitUntil([&] { return FindWindowExW(pane.viewer, nullptr, L"mpv", nullptr); }, kPlayerWait));
        KillChild(s);
        EXPECT_FALSE(ProcessExists(started.dwProcessId)) << withJob;
        EXPECT_TRUE(IsEmpty(s));
        WaitUntil([&] { return !FindWindowExW(pane.viewer, nullptr, L"mpv", nullptr); }, kPlayerWait);
    }
    EXPECT_EQ(CountLogLines(L"[KillChild]   process still running after the job wait, TerminateProcess\r\n"), 1);
}

}  // namespace
