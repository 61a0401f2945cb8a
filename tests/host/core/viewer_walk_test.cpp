// A seeded walk through the viewer's states. Each step is one thing the file manager does (a load
// in a player mode chosen at random, a clear, a resize, a focus change, a click, the viewer's
// destruction), or a load during whose window search a second host thread sends one of those.
// After each step the walk checks what the viewer promises: every call returns within its bound,
// at most one player runs and none after a clear, an embedded window is the viewer's child and
// has the latest size given, the player was given the file the last load named, and a click on
// the video of an answering player gives it the keys. At the end nothing is left running and the
// threads and handles are back where they started.
// A failed check prints the seed, the step and the steps before it. TESSORAVIN_WALK_SEED and
// TESSORAVIN_WALK_STEPS replay a run, or make a long one.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <random>
#include <sstream>
#include <string>

#include "common/handle.h"
#include "viewer/player_protocol.h"
#include "viewer_host.h"

using namespace viewertest;
using namespace std::chrono_literals;

namespace {

unsigned EnvNumber(const wchar_t* name, unsigned fallback) {
    wchar_t text[32] = {};
    const DWORD n = GetEnvironmentVariableW(name, text, 32);
    return n > 0 && n < 32 ? static_cast<unsigned>(std::wcstoul(text, nullptr, 10)) : fallback;
}

// Bounds on the host's thread, generous for a loaded machine: a start stops the old player (1.5 s
// at most) and looks for the new one's window (5 s); a reuse is one pipe exchange (2 s).
constexpr ULONGLONG kStartBoundMs = 10000, kReuseBoundMs = 3500, kOtherBoundMs = 3000;

enum class Action { Load, LoadOther, LoadUnmapped, Clear, HostResize, Resize, Focus, Click, Destroy, MidLoad };
constexpr Action kWeighted[] = {Action::Load,      Action::Load,         Action::Load,    Action::LoadOther,
                                Action::LoadOther, Action::LoadUnmapped, Action::Clear,   Action::HostResize,
                                Action::Resize,    Action::Focus,        Action::Click,   Action::Click,
                                Action::Destroy,   Action::MidLoad,      Action::MidLoad, Action::MidLoad};
// What a second host thread sends during a load's window search.
enum class Sent { Clear, HostResize, Resize, Load, Close, Click };

class Walk {
public:
    Walk(unsigned seed, ViewerHost& pane) : random_(seed), pane_(pane) {
        ApplyConfig({{L"video", L"mkv", PlayerPath()},
                     {L"audio", L"mp3", fakehost::ProgramFolder() + L"\\viewers\\mpv-console\\mpv.exe"}},
                    L"");
        list_ = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, pane.host, nullptr, nullptr,
                                nullptr);
        NewViewerSize();
    }

    // One step, then its checks; false (after a failure naming the step) when one did not hold.
    bool Step(int number) {
        number_ = number;
        failed_.clear();
        noPlayer_ = wantsFocus_ = false;
        Do(kWeighted[Pick(std::size(kWeighted))]);
        WaitUntil([] { return false; }, 30ms);  // posted messages: the click's focus, a player's end
        if (failed_.empty()) Check();
        if (failed_.empty()) return true;
        std::ostringstream trace;
        for (const std::string& s : history_) trace << "\n  " << s;
        ADD_FAILURE() << "step " << number << ": " << failed_ << "\nthe steps up to it:" << trace.str();
        return false;
    }

private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    void Note(const std::string& what) {
        history_.push_back(std::to_string(number_) + " " + what);
        if (history_.size() > 12) history_.pop_front();
    }
    void Fail(const std::string& why) {
        if (failed_.empty()) failed_ = why;
    }
    // How long the call held the host's thread; over the bound, a failure.
    ULONGLONG Bounded(ULONGLONG boundMs, const char* what, const std::function<void()>& call) {
        const ULONGLONG start = GetTickCount64();
        call();
        const ULONGLONG took = GetTickCount64() - start;
        if (took > boundMs)
            Fail(std::string(what) + " took " + std::to_string(took) + " ms, bound " + std::to_string(boundMs));
        return took;
    }
    ViewerWindowState& State() const { return *pane_.State(); }
    void NewViewerSize() {
        RECT client = {};
        GetClientRect(pane_.viewer, &client);
        size_ = {client.right, client.bottom};
    }

    // The stand-in's mode for the next start, with its timings; modes that make no window or
    // leave a frozen one for the watchdog are not among them (rows of their own cover those).
    std::string ChooseMode() {
        static const wchar_t* const modes[] = {L"",          L"latewindow", L"exitatonce", L"exitafterwindow",
                                               L"hangafter", L"nopipe",     L"errorreply", L"events",
                                               L"slowstart", L"launcher"};
        const wchar_t* mode = modes[Pick(std::size(modes))];
        SetPlayerMode(mode);
        const int delay = Between(100, 900), hang = Between(300, 1500);
        SetEnvironmentVariableW(L"STANDIN_DELAY_MS", std::to_wstring(delay).c_str());
        SetEnvironmentVariableW(L"STANDIN_HANG_MS", std::to_wstring(hang).c_str());
        return WideToUtf8(*mode ? mode : L"normal") + " delay " + std::to_string(delay) + " hang " +
               std::to_string(hang);
    }
    std::wstring NextFile(const wchar_t* ext) { return L"C:\\v\\walk" + std::to_wstring(number_) + ext; }

    // A load by the host's own thread; the file it names is what the player shows if it is shown.
    void Load(const std::wstring& file) {
        LRESULT shown = 0;
        const ULONGLONG took = Bounded(kStartBoundMs, "the load", [&] { shown = pane_.Load(file.c_str()); });
        if (shown && State().lastLoad == LoadOutcome::Reused && took > kReuseBoundMs)
            Fail("the reused load took " + std::to_string(took) + " ms");
        shownFile_ = shown ? file : L"";
        noPlayer_ = !shown && file.ends_with(L".txt");
    }

    void Do(Action action) {
        switch (action) {
            case Action::Load: Note("load video, " + ChooseMode()); return Load(NextFile(L".mkv"));
            case Action::LoadOther: Note("load audio, " + ChooseMode()); return Load(NextFile(L".mp3"));
            case Action::LoadUnmapped: Note("load unmapped"); return Load(NextFile(L".txt"));
            case Action::Clear:
                Note("clear");
                Bounded(kOtherBoundMs, "the clear", [&] { pane_.Clear(); });
                shownFile_.clear();
                noPlayer_ = true;
                return;
            case Action::HostResize:
            case Action::Resize: {
                const bool host = action == Action::HostResize;
                const SIZE size = NewSize(host);
                Bounded(kOtherBoundMs, "the resize", [&] { Resize(pane_.viewer, host, size); });
                return;
            }
            case Action::Focus:
                Note("focus");
                // The viewer gets no WM_SETFOCUS for a focus it holds already, and so passes none.
                wantsFocus_ = GetFocus() != pane_.viewer;
                Bounded(kOtherBoundMs, "the focus", [&] { SetFocus(pane_.viewer); });
                return;
            case Action::Click: return Click();
            case Action::Destroy:
                Note("destroy, new viewer");
                Bounded(kOtherBoundMs, "the destroy", [&] { DestroyWindow(pane_.viewer); });
                if (RunningPlayers() != 0) Fail("a player outlived its viewer");
                NewViewer();
                return;
            case Action::MidLoad: return MidLoad();
        }
    }

    void NewViewer() {
        pane_.viewer = pane_.AddViewer();
        NewViewerSize();
        shownFile_.clear();
    }

    // The size the next resize gives, which becomes the size the player's window must have: 0x8F08
    // gives it to the player's window, WM_SIZE (the viewer resized) makes it the client area's.
    SIZE NewSize(bool host) {
        SIZE size = {Between(120, 620), Between(100, 390)};
        if (size.cx == size_.cx && size.cy == size_.cy) ++size.cx;  // a size that changes nothing sends no WM_SIZE
        Note((host ? "0x8F08 " : "WM_SIZE ") + std::to_string(size.cx) + "x" + std::to_string(size.cy));
        return size_ = size;
    }
    // From any thread: the viewer's own handles the message on its thread.
    static void Resize(HWND viewer, bool host, SIZE size) {
        if (host) SendMessageW(viewer, kHostMsgResize, 0, MAKELPARAM(size.cx, size.cy));
        else SetWindowPos(viewer, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The user focuses the viewer, clicks a file and then the video again, a moment apart: the
    // click may come as the focus pass of the first focus is ending. The player must get the keys.
    void Click() {
        const int gap = Between(0, 3000);
        Note("focus, file list, click on the video " + std::to_string(gap) + " us later");
        Bounded(kOtherBoundMs, "the click", [&] {
            SetFocus(pane_.viewer);
            SetFocus(list_);
            // Finer than Sleep: the pass that the focus started may be just ending.
            LARGE_INTEGER now, frequency;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&now);
            const LONGLONG until = now.QuadPart + frequency.QuadPart * gap / 1000000;
            while (QueryPerformanceCounter(&now) && now.QuadPart < until) YieldProcessor();
            pane_.Send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(pane_.host), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        });
        wantsFocus_ = true;
    }

    // A load whose player makes its window late; while its window is searched for, a second host
    // thread sends a message. The load goes to the player that is not running, so that it starts
    // one and searches. A clear or a close ends that player and frees the value of its process
    // handle: events the host makes right after must keep their signals.
    void MidLoad() {
        const bool video = State().exePath != PlayerPath();
        SetPlayerMode(L"latewindow");
        const int delay = Between(600, 1200), after = Between(0, delay / 2);
        SetEnvironmentVariableW(L"STANDIN_DELAY_MS", std::to_wstring(delay).c_str());
        const Sent sent = static_cast<Sent>(Pick(6));
        static const char* const names[] = {"clear", "0x8F08", "WM_SIZE", "load", "close", "click"};
        const std::wstring file = NextFile(video ? L".mkv" : L".mp3"), second = NextFile(L"b.mkv");
        Note(std::string("load ") + (video ? "video" : "audio") + ", latewindow " + std::to_string(delay) + "; " +
             std::to_string(after) + " ms later from a second thread: " + names[static_cast<int>(sent)]);
        const bool resize = sent == Sent::HostResize || sent == Sent::Resize;
        const SIZE size = resize ? NewSize(sent == Sent::HostResize) : SIZE{};
        const HWND viewer = pane_.viewer;
        LRESULT inner = 0;
        bool signalKept = true;
        HostThread other([&] {
            Sleep(static_cast<DWORD>(after));
            switch (sent) {
                case Sent::HostResize:
                case Sent::Resize: Resize(viewer, sent == Sent::HostResize, size); return;
                case Sent::Load:
                    SetPlayerMode(L"");
                    inner = SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(second.c_str()));
                    return;
                case Sent::Click:
                    SendMessageW(viewer, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
                    return;
                case Sent::Clear:
                case Sent::Close: {
                    SendMessageW(viewer, sent == Sent::Clear ? DVPLUGINMSG_CLEAR : WM_CLOSE, 0, 0);
                    // Enough of them that one takes the value the player's process handle had:
                    // the log's own file handle may take the lowest one freed.
                    UniqueHandle events[8];
                    for (UniqueHandle& event : events) {
                        event.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
                        SetEvent(event.Get());
                    }
                    Sleep(2 * kChildSearchPauseMs);
                    for (const UniqueHandle& event : events)
                        signalKept = signalKept && WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
                    return;
                }
            }
        });
        LRESULT outer = 0;
        Bounded(2 * kStartBoundMs, "the load and the message inside it", [&] { outer = pane_.Load(file.c_str()); });
        other.Join();
        if (!signalKept)
            Fail(std::string("an event made right after the ") + names[static_cast<int>(sent)] +
                 " lost its signal: the load waited on the handle the message had closed");
        if ((sent == Sent::Clear || sent == Sent::Close || sent == Sent::Load) && outer != 0)
            Fail("the load showed its file after its player was stopped");
        if (sent == Sent::Close) {
            if (IsWindow(viewer)) Fail("the viewer outlived WM_CLOSE");
            return NewViewer();
        }
        noPlayer_ = sent == Sent::Clear;
        shownFile_ = sent == Sent::Load ? (inner ? second : L"") : (outer ? file : L"");
        wantsFocus_ = sent == Sent::Click;
    }

    // What the player was given: its command line for a start, the last line on its pipe for a reuse.
    bool PlayerWasGiven(const std::wstring& file) const {
        if (State().lastLoad == LoadOutcome::Restarted) return PlayerCommandLine().ends_with(L" \"" + file + L"\"");
        const std::string pipe = ReadFileBytes(PipeLogFile());
        const std::optional<std::string> path = PathToUtf8(file);
        const std::optional<std::string> command = BuildLoadfileCommand(path.value_or(""));
        return command && pipe.ends_with(*command);
    }

    void Check() {
        const ViewerWindowState& s = State();
        const HWND child = s.childHwnd;
        const int players = RunningPlayers();
        if (players > 1) Fail(std::to_string(players) + " players run in one viewer");
        if (noPlayer_ && (players != 0 || s.pid != 0)) Fail("a player runs after a clear or an unmapped file");
        if (!child || !IsWindow(child)) return;
        if (GetAncestor(child, GA_PARENT) != pane_.viewer) Fail("the player's window is not the viewer's child");
        // A paused player takes its moves when it answers again; a frozen one is the watchdog's.
        const bool answers = WaitUntil([&] { return !PlayerWindowCallsPending(child); }, 8000ms);
        if (answers && IsWindow(child) && !RectIs(ChildRect(pane_.viewer, child), {0, 0, size_.cx, size_.cy})) {
            const RECT r = ChildRect(pane_.viewer, child);
            Fail("the player's window is " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                 ", the size last given " + std::to_string(size_.cx) + "x" + std::to_string(size_.cy));
        }
        if (!shownFile_.empty() && s.pid != 0 && (s.filePath != shownFile_ || !PlayerWasGiven(shownFile_)))
            Fail("the player was not given " + WideToUtf8(shownFile_));
        // Only where focus can move at all: in the foreground frame, to a player that answers.
        if (std::exchange(wantsFocus_, false) && answers && GetForegroundWindow() == pane_.host &&
            IsWindowEnabled(child) && PlayerAnswers(child, 200) &&
            !WaitUntil([&] { return GetFocus() == child; }, 3000ms))
            Fail("a click on the video left the keys with " +
                 std::string(GetFocus() == pane_.viewer ? "the viewer" : "another window"));
    }

    std::mt19937 random_;
    ViewerHost& pane_;
    HWND list_ = nullptr;
    int number_ = 0;
    std::deque<std::string> history_;
    std::string failed_;
    std::wstring shownFile_;  // the file the last load that showed one named; empty after a clear
    SIZE size_ = {};          // the player's window's size last given
    bool noPlayer_ = false;   // the step ended every player
    bool wantsFocus_ = false;
};

TEST(ViewerWalk, EverySequenceOfTheHostsMessagesKeepsTheViewersPromises) {
    const unsigned seed = EnvNumber(L"TESSORAVIN_WALK_SEED", 38), steps = EnvNumber(L"TESSORAVIN_WALK_STEPS", 150);
    ViewerHost pane(true);  // shown: focus moves only within an active frame
    SetForegroundWindow(pane.host);
    {
        Walk walk(seed, pane);
        ASSERT_EQ(pane.Load(L"C:\\v\\warm-up.mkv"), 1);  // what the system makes once is made now
        pane.Clear();
        const ThreadsAndHandles before;
        const ULONGLONG start = GetTickCount64();
        unsigned done = 0;
        while (done < steps && walk.Step(static_cast<int>(done))) ++done;
        const ULONGLONG took = GetTickCount64() - start;
        std::printf("seed %u: %u of %u steps in %llu ms, %.0f a minute\n", seed, done, steps, took,
                    done * 60000.0 / static_cast<double>(took ? took : 1));
        EXPECT_EQ(done, steps) << "replay with TESSORAVIN_WALK_SEED=" << seed << " TESSORAVIN_WALK_STEPS=" << done + 1;
        DestroyWindow(pane.viewer);
        EXPECT_EQ(RunningPlayers(), 0);
        // A failure has started a thread of GoogleTest's own.
        if (!HasFailure()) ExpectBackTo(before);
    }
}

}  // namespace
