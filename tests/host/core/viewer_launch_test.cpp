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

// Paths are quoted, not escaped: a quote and non-ASCII in the file's path reach the player as given.
TEST(ViewerLaunch, PlayerGetsTheCommandLineByteForByteAndEachViewerItsOwnPipe) {
    ViewerHost pane;
    const HWND second = pane.AddViewer();
    const std::wstring n = Decimal(pane.viewer), file = L"D:\\Fr\u00e8re\\\u97f3 \"x\".mkv";
    for (const std::wstring params : {L"--force-window=yes --title=\"a b\"", L""}) {
        UsePlayer(PlayerPath(), params);
        pane.Clear();
        ASSERT_EQ(pane.Load(file.c_str()), 1);
        EXPECT_EQ(PlayerCommandLine(), L"\"" + PlayerPath() + L"\" --wid=" + n +
                                           L" --input-ipc-server=\\\\.\\pipe\\dopus_mpv_" + n +
                                           L" --keep-open=yes --no-border --osc=yes --script-opts=osc-visibility=always"
                                           L" --cursor-autohide=no --input-default-bindings=yes --window-dragging=no" +
                                           (params.empty() ? L"" : L" " + params) + L" \"" + file + L"\"");
    }
    ASSERT_EQ(pane.Load(L"C:\\v\\b.mp3", second), 1);
    EXPECT_EQ(pane.State()->pipeName, L"\\\\.\\pipe\\dopus_mpv_" + n);
    EXPECT_EQ(pane.State(second)->pipeName, L"\\\\.\\pipe\\dopus_mpv_" + Decimal(second));
}

// A missing player leaves only the pipe name set; a player that never shows its window is given
// up after about 5 s and runs on, unseen, until the next clear.
TEST(ViewerLaunch, FailedStartsShowNothing) {
    ViewerHost pane;
    UsePlayer(fakehost::ProgramFolder() + L"\\viewers\\mpv\\missing.exe");
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    ViewerWindowState& s = *pane.State();
    EXPECT_EQ(s.lastLaunch, LaunchOutcome::StartFailed);
    EXPECT_EQ(s.pipeName, PipeNameFor(pane.viewer));
    s.pipeName.clear();
    EXPECT_TRUE(IsEmpty(s));

    UsePlayer(PlayerPath());
    SetPlayerMode(L"nowindow");
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_TRUE(waited >= 4500 && waited < 10000) << waited;
    EXPECT_EQ(s.lastLaunch, LaunchOutcome::NoWindow);
    const DWORD pid = s.pid;
    EXPECT_TRUE(ProcessExists(pid));
    pane.Clear();
    EXPECT_FALSE(ProcessExists(pid));  // KillChild waits for the end
}

// Started suspended and put in its job first, the player runs not one instruction outside the job:
// the stand-in notes IsProcessInJob as the first thing it does. The start without the suspension
// loses that race too rarely to show here, so the flags are also checked where they are made. The
// job ends the player with its last handle, and at once when the player crashes.
TEST(ViewerLaunch, ThePlayerRunsOnlyInsideItsJob) {
    EXPECT_EQ(kPlayerCreationFlags, static_cast<DWORD>(CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT |
                                                       CREATE_SUSPENDED | CREATE_NO_WINDOW));
    // Wine keeps no job limits to read back (it reports none), so they too are checked here.
    EXPECT_EQ(kPlayerJobLimits,
              static_cast<DWORD>(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION));
    BOOL selfInJob = TRUE;
    ASSERT_TRUE(IsProcessInJob(GetCurrentProcess(), nullptr, &selfInJob));
    ASSERT_FALSE(selfInJob) << "the player would inherit a job of the test's own";
    ViewerHost pane;
    ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
    EXPECT_TRUE(ReadFileBytes(NotesFile()).starts_with("injob=1\n")) << ReadFileBytes(NotesFile());
}

// The search polls for up to 5 s: a player that makes its window 1.5 s after starting is waited
// for and embedded. A window of class "mpv" that another process put in the viewer is not the
// player's.
TEST(ViewerLaunch, ALateWindowIsWaitedForAndEmbedded) {
    ViewerHost pane;
    WNDCLASSW mpvClass = {};
    mpvClass.lpfnWndProc = DefWindowProcW;
    mpvClass.hInstance = GetModuleHandleW(nullptr);
    mpvClass.lpszClassName = L"mpv";
    RegisterClassW(&mpvClass);
    const HWND other = CreateWindowExW(0, L"mpv", L"", WS_CHILD, 0, 0, 1, 1, pane.viewer, nullptr, mpvClass.hInstance,
                                       nullptr);
    ASSERT_NE(other, nullptr);
    SetPlayerMode(L"latewindow");
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"1500");
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
    EXPECT_GE(GetTickCount64() - start, 1400u);
    const HWND child = pane.State()->childHwnd;
    EXPECT_NE(child, other);
    EXPECT_EQ(GetParent(child), pane.viewer);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(child) && Fills(pane.viewer, child); }, kPlayerWait));
}

// On an empty state KillChild only logs. A player outside its job (its assignment failed) must not
// outlive KillChild; without any job it gets its short wait and is then terminated.
TEST(ViewerLaunch, KillChildOnlyLogsWhenEmptyAndNeverLeavesAPlayerRunning) {
    ViewerWindowState empty;
    KillChild(empty);
    EXPECT_TRUE(IsEmpty(empty));
    EXPECT_EQ(CountLogLines(L"] ["), 2);
    EXPECT_EQ(CountLogLines(L"] [KillChild] KillChild enter\r\n"), 1);
    EXPECT_EQ(CountLogLines(L"] [KillChild] KillChild leave\r\n"), 1);

    ViewerHost pane;
    for (const bool withJob : {true, false}) {
        ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
        ViewerWindowState& s = *pane.State();
        const DWORD pid = s.pid;
        s.job.Release();  // the player stays in a job KillChild does not know
        if (withJob) s.job.Reset(CreateJobObjectW(nullptr, nullptr));
        KillChild(s);
        EXPECT_FALSE(ProcessExists(pid)) << withJob;
        EXPECT_TRUE(IsEmpty(s));
        WaitUntil([&] { return !FindWindowExW(pane.viewer, nullptr, L"mpv", nullptr); }, kPlayerWait);
    }
    EXPECT_EQ(CountLogLines(L"[KillChild]   process still running after the job wait, TerminateProcess\r\n"), 1);
}

}  // namespace
