// The file manager's window thread never waits on the player beyond a bound: not for a player
// that exits at once, nor one whose window thread is frozen or slow to start, and a viewer that
// the player closes from inside the viewer's own load is survived.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "common/gdi.h"

#include "viewer_host.h"

using namespace viewertest;
using namespace std::chrono_literals;

namespace {

// The tick count the stand-in noted under key, or 0 while it has not.
ULONGLONG Note(const std::string& key) {
    const std::string notes = ReadFileBytes(NotesFile());
    const size_t at = notes.find(key + "=");
    return at == std::string::npos ? 0 : std::stoull(notes.substr(at + key.size() + 1));
}

ULONGLONG MillisecondsOf(const std::function<void()>& action) {
    const ULONGLONG start = GetTickCount64();
    action();
    return GetTickCount64() - start;
}

// A host that waits on a frozen player would wait for ever; after this long the players are
// ended from outside, so such a wait shows as a broken bound instead of a hung test.
class PlayerKiller {
public:
    PlayerKiller()
        : thread_([this] {
              for (int i = 0; i < 200 && !stop_; ++i) Sleep(100);
              if (!stop_) TerminateChildProcesses(L"mpv.exe");
          }) {}
    ~PlayerKiller() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The file list beside the pane, as in a lister: where the frame keeps its focus. It takes no room,
// so that nothing of it stands in a read of the pane.
HWND FileList(const ViewerHost& p) {
    if (const HWND list = FindWindowExW(p.host, nullptr, L"LISTBOX", nullptr)) return list;
    return CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, p.host, nullptr, nullptr, nullptr);
}

// A click on the viewer, as Windows sends it before it activates the frame.
void ClickOnTheVideo(const ViewerHost& p) {
    p.Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(p.host), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
}

// Whether the screen shows one line of text in the viewer, wider than the placeholder, on the
// pane's colour.
bool ShowsALineWiderThanThePlaceholder(HWND viewer) {
    const RECT text = BoundsNotOfColour(viewer, kPaneColour, true);
    const ScopedWindowDC dc(viewer);
    const ScopedSelection font(dc.Get(), PlaceholderFont());
    SIZE placeholder = {};
    GetTextExtentPoint32W(dc.Get(), L"Loading...", 10, &placeholder);
    return text.right - text.left > placeholder.cx && text.bottom - text.top <= placeholder.cy;
}

TEST(ViewerBounds, APlayerThatExitsAtOnceEndsTheSearchAndTheNextOneShows) {
    ViewerHost pane;
    SetPlayerMode(L"exitatonce");
    LRESULT shown = -1;
    EXPECT_LT(MillisecondsOf([&] { shown = pane.Load(L"C:\\v\\a.mkv"); }), 1000u);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(pane.State()->lastLaunch, LaunchOutcome::PlayerExited);
    EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::NotShown);

    SetPlayerMode(L"");
    ASSERT_EQ(pane.Load(L"C:\\v\\b.mkv"), 1);
    EXPECT_EQ(WindowText(pane.State()->childHwnd), L"C:\\v\\b.mkv");
}

// Every message of a viewer whose player's window thread takes no messages (its pipe still
// answers) returns within its bound, and clear and destroy end the player: whether the thread is
// frozen from the start, or answers the first message and then stops, after a check that it
// answers and before the call that would follow that check.
TEST(ViewerBounds, AFrozenPlayerNeverHoldsTheHost) {
    for (const wchar_t* mode : {L"freeze", L"answeronce"}) {
        ViewerHost pane(true);  // shown: focus only moves within an active frame
        SetPlayerMode(mode);
        DeleteLog();
        const PlayerKiller safetyNet;
        DWORD pid = 0;
        int reusedLoads = 0;
        const auto loadFrozen = [&](const wchar_t* file) {
            ASSERT_EQ(pane.Load(file), 1);
            pid = pane.State()->pid;
            reusedLoads += pane.State()->lastLoad == LoadOutcome::Reused;
        };
        const struct {
            const char* step;
            ULONGLONG boundMs;
            std::function<void()> action;
        } steps[] = {
            {"first load", 4000, [&] { loadFrozen(L"C:\\v\\a.mkv"); }},
            {"0x8F08", 1500, [&] { pane.Send(kHostMsgResize, 0, MAKELPARAM(200, 100)); }},
            // Without a repaint: Wine may repaint the player's window, a child, on this thread, and
            // wait for it; the watchdog bounds that (AHungPlayerIsEnded...), not this test.
            {"WM_SIZE", 1500, [&] { MoveWindow(pane.viewer, 0, 0, 300, 200, FALSE); }},
            {"focus", 1500,
             [&] {
                 SetFocus(pane.viewer);
                 pane.Send(WM_MOUSEACTIVATE);
             }},
            {"second load", 4000, [&] { loadFrozen(L"C:\\v\\b.mkv"); }},
            {"clear", 2500,
             [&] {
                 pane.Clear();
                 EXPECT_FALSE(ProcessExists(pid));
             }},
            {"load after the clear", 4000, [&] { loadFrozen(L"C:\\v\\c.mkv"); }},
            {"destroy", 2500,
             [&] {
                 DestroyWindow(pane.viewer);
                 EXPECT_FALSE(ProcessExists(pid));
             }},
        };
        for (const auto& step : steps) EXPECT_LT(MillisecondsOf(step.action), step.boundMs) << step.step << mode;
        EXPECT_EQ(reusedLoads, 1) << mode;  // the second load, over the pipe
    }
}

// A player that works and then stops its window thread: the host's own calls on the viewer's
// window tree, which wait on that thread (a repaint with the children, a resize of the viewer
// with repaint), return once the watchdog has ended the player. The viewer says so in the
// player's place, and the next load starts a new player. So it goes for a player that makes its
// window only after the load gave up looking for it. A player that stops for a while is kept, and
// the focus the user moved away meanwhile, by a click or not, stays where the user put it; a click
// on the video of a frame that was not active still gives the player the focus. So is one whose window
// thread waits on the host while the host is busy for 12 s; Wine may keep such a thread off its
// hung list whatever the watchdog asks it, so that row guards against a regression rather than
// proving the probe right for Windows.
TEST(ViewerBounds, AHungPlayerIsEndedAndOnePausedOrWaitingOnTheHostIsKept) {
    const auto repaint = [](const ViewerHost& p) {
        RedrawWindow(p.host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    };
    const auto playerNeverFocused = [](const ViewerHost& p) {
        // Not "the focus is on the frame": a test program running beside may take the foreground
        // meanwhile, and with it the frame's focus (Windows and Wine 10 do; Wine 8 does not). What
        // counts is that the player never gets it.
        EXPECT_NE(GetFocus(), p.State()->childHwnd);
        EXPECT_EQ(Note("focused"), 0u);
    };
    const auto clickInAnInactiveFrame = [](const ViewerHost& p) {
        SetFocus(nullptr);  // an inactive frame's thread has no focus when the click arrives
        ClickOnTheVideo(p);
        SetFocus(FileList(p));
    };
    const struct {
        const char* row;
        const wchar_t* mode;
        const wchar_t* delayMs;  // until its window (latehang), or from its window to the pause
        const wchar_t* hangMs;   // null: for ever
        LRESULT shown;           // what the first load returns
        ULONGLONG boundMs;       // for the host's call
        std::function<void(const ViewerHost&)> hostCall;
        bool kept;
        std::function<void(const ViewerHost&)> check;  // after a kept player has gone on
    } rows[] = {
        {"hung, the pane repainted with its children", L"hangafter", L"300", nullptr, 1, 8000, repaint, false, nullptr},
        {"hung, the viewer moved with repaint", L"hangafter", L"300", nullptr, 1, 8000,
         [](const ViewerHost& p) { MoveWindow(p.viewer, 0, 0, 300, 200, TRUE); }, false, nullptr},
        {"its window made after the search, then hung", L"latehang", L"6500", nullptr, 0, 10000, repaint, false,
         nullptr},
        {"paused for 3 s", L"hangafter", L"300", L"3000", 1, 8000, repaint, true, nullptr},
        {"paused while the pane takes the focus, which the user moves on", L"hangafter", L"300", L"2500", 1, 8000,
         [](const ViewerHost& p) {
             SetFocus(p.viewer);
             WaitUntil([] { return false; }, 300ms);
             SetFocus(p.host);
         },
         true, playerNeverFocused},
        {"a click on the video while paused, then on the file list", L"hangafter", L"300", L"2500", 1, 8000,
         [](const ViewerHost& p) {
             SetFocus(FileList(p));
             ClickOnTheVideo(p);
             WaitUntil([] { return false; }, 300ms);  // the viewer has taken the focus, the player not yet
             SetFocus(FileList(p));
         },
         true, playerNeverFocused},
        {"a click on the video of an inactive frame, whose activation focuses the file list", L"", nullptr, nullptr, 1,
         8000, clickInAnInactiveFrame, true,
         [&](const ViewerHost& p) {
             // A test program beside may take the foreground, and with it this thread's focus, before
             // the player has answered (Windows and Wine 10 do): the pass then rightly gives up. The
             // click comes again then, twice at most; while the frame keeps the foreground, it must work.
             for (int click = 0; click < 3; ++click) {
                 if (WaitUntil([] { return Note("focused") != 0; }, kPlayerWait)) return;
                 if (GetForegroundWindow() == p.host) break;
                 SetForegroundWindow(p.host);
                 clickInAnInactiveFrame(p);
             }
             ADD_FAILURE() << "the player never got the focus";
         }},
        {"waiting on the host while it is busy for 12 s", L"pokeparent", nullptr, nullptr, 1, 14000,
         [](const ViewerHost&) { Sleep(12000); }, true, nullptr},
    };
    for (const auto& r : rows) {
        ViewerHost pane(true, kReadsTheScreen);  // shown: only a window on screen is repainted
        SetPlayerMode(r.mode);
        SetEnvironmentVariableW(L"STANDIN_DELAY_MS", r.delayMs);
        SetEnvironmentVariableW(L"STANDIN_HANG_MS", r.hangMs);
        DeleteFileW(NotesFile().c_str());
        DeleteLog();
        const PlayerKiller safetyNet;
        const bool pauses = r.delayMs != nullptr;
        ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), r.shown) << r.row;
        const DWORD pid = pane.State()->pid;
        if (pauses) {
            ASSERT_TRUE(WaitUntil([] { return Note("paused") != 0; }, kPlayerWait)) << r.row;
        }
        EXPECT_LT(MillisecondsOf([&] { r.hostCall(pane); }), r.boundMs) << r.row;
        if (r.kept) {
            if (r.hangMs) {
                ASSERT_TRUE(WaitUntil([] { return Note("resumed") != 0; }, kPlayerWait));
            }
            WaitUntil([] { return false; }, 1000ms);  // a verdict would come now at the latest
            EXPECT_TRUE(ProcessExists(pid)) << r.row;
            EXPECT_FALSE(ShowsALineWiderThanThePlaceholder(pane.viewer)) << r.row;
            if (r.check) r.check(pane);
            EXPECT_EQ(pane.Load(L"C:\\v\\b.mkv"), 1);
            EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Reused) << r.row;
            continue;
        }
        EXPECT_TRUE(WaitUntil([&] { return pane.State()->pid == 0; }, kPlayerWait)) << r.row;
        EXPECT_FALSE(ProcessExists(pid)) << r.row;
        EXPECT_EQ(CountLogLines(L"[PlayerWatch] player pid=" + std::to_wstring(pid) + L" did not answer for "), 1);
        EXPECT_TRUE(ShowsALineWiderThanThePlaceholder(pane.viewer)) << r.row;
        // Where the screen shows the player (Wine 9 or later), its last frame is gone too.
        EXPECT_EQ(ShareOfColour(ClientPixels(pane.viewer, true), MediaColour(L"a.mkv")), 0.0) << r.row;
        SetPlayerMode(L"");
        EXPECT_EQ(pane.Load(L"C:\\v\\b.mkv"), 1);
        EXPECT_NE(pane.State()->pid, pid);
        EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Restarted) << r.row;
    }
}

// A player that takes no messages for 800 ms after making its window: the load does not wait for
// it, and its window is shown, enabled and fitted once it takes messages.
TEST(ViewerBounds, ASlowPlayerIsEmbeddedWithoutWaitingForIt) {
    ViewerHost pane;
    SetPlayerMode(L"slowstart");
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"800");
    MoveWindow(pane.viewer, 0, 0, 500, 300, TRUE);
    ASSERT_EQ(pane.Load(L"C:\\v\\a.mkv"), 1);
    const ULONGLONG returned = GetTickCount64();
    EXPECT_TRUE(WaitUntil(
        [] {
            return CountLogLines(
                       L"[LaunchAndEmbed]   player not answering yet, its window is enabled when it does\r\n") == 1;
        },
        kPlayerWait));
    MoveWindow(pane.viewer, 0, 0, 400, 250, TRUE);  // also posted to the player, not waited for

    ASSERT_TRUE(WaitUntil([] { return Note("resumed") != 0; }, kPlayerWait));
    EXPECT_LT(returned, Note("resumed"));
    const HWND child = pane.State()->childHwnd;
    const auto shown = [child] {
        return (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
    };  // the host frame is hidden
    EXPECT_TRUE(WaitUntil([&] { return shown() && IsWindowEnabled(child) && Fills(pane.viewer, child); }, kPlayerWait));
}

// The player closes the viewer as it starts, which the viewer's thread handles while it looks for
// the player's window. The load then reports nothing shown, and the player went with the viewer.
TEST(ViewerBounds, AViewerClosedFromInsideItsOwnLoadEndsItCleanly) {
    ViewerHost pane;
    SetPlayerMode(L"closehost");
    EXPECT_EQ(pane.Load(L"C:\\v\\a.mkv"), 0);
    EXPECT_FALSE(IsWindow(pane.viewer));
    EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed]   viewer destroyed while embedding\r\n"), 1);  // the record is gone
    EXPECT_EQ(CountLogLines(L"[ViewerWndProc] DVPLUGINMSG_LOADW return 0\r\n"), 1);
    EXPECT_TRUE(WaitUntil([] { return RunningPlayers() == 0; }, kPlayerWait));
}

// A clear, or a load of another file, sent by another thread while a load looks for its player's
// window, is handled at once and stops that player. The waiting load then reports nothing shown
// and touches nothing of what the message left: no player, or the one the other load started.
TEST(ViewerBounds, AClearOrLoadArrivingWhileALoadWaitsLeavesItNothingToShow) {
    SetPlayerMode(L"latewindow");
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"1500");
    for (const UINT msg : {DVPLUGINMSG_CLEAR, DVPLUGINMSG_LOADW}) {
        ViewerHost pane;
        DeleteLog();
        LRESULT inner = -1;
        std::thread other([&] {
            Sleep(300);
            inner = SendMessageW(pane.viewer, msg, 0, reinterpret_cast<LPARAM>(L"C:\\v\\second.mkv"));
        });
        EXPECT_EQ(pane.Load(L"C:\\v\\first.mkv"), 0) << msg;
        other.join();
        EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed]   player stopped by another message while embedding\r\n"), 1);
        const ViewerWindowState& s = *pane.State();
        if (msg == DVPLUGINMSG_CLEAR) {
            EXPECT_EQ(s.pid, 0u);
            EXPECT_EQ(RunningPlayers(), 0);
            continue;
        }
        EXPECT_EQ(inner, 1);
        EXPECT_EQ(s.lastLoad, LoadOutcome::Restarted);  // the other load's outcome, not this one's
        DWORD owner = 0;
        GetWindowThreadProcessId(s.childHwnd, &owner);
        EXPECT_EQ(owner, s.pid);
        EXPECT_EQ(s.filePath, L"C:\\v\\second.mkv");
        EXPECT_EQ(RunningPlayers(), 1);
    }
}

}  // namespace
