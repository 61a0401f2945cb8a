// The load sequence: when the running player is reused over its pipe, when it is restarted,
// and when nothing is shown at all; and the pipe client's refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>

#include "viewer/player_protocol.h"
#include "viewer_host.h"

using namespace viewertest;

namespace {

bool PaintPending(HWND hwnd) { return GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; }

std::string LoadfileLine(const std::string& escapedPath) {
    return "{\"command\":[\"loadfile\",\"" + escapedPath + "\",\"replace\"]}\n";
}

// Another program that took the viewer's pipe name first and serves it as a player would: it
// answers "success" at once and keeps whatever its clients write.
class PipeSquatter {
public:
    explicit PipeSquatter(const std::wstring& name)
        : name_(name),
          pipe_(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                 nullptr)),
          thread_([this] { Serve(); }) {}
    ~PipeSquatter() { Stop(); }
    PipeSquatter(const PipeSquatter&) = delete;
    PipeSquatter& operator=(const PipeSquatter&) = delete;

    // Everything its clients wrote. A client of its own wakes it, as often as its one instance is
    // still busy with another.
    std::string Stop() {
        stop_ = true;
        while (thread_.joinable() && !done_) {
            UniqueFile wake(CreateFileW(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            Sleep(10);
        }
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    void Serve() {
        while (pipe_ && !stop_) {
            if (ConnectNamedPipe(pipe_.Get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
                DWORD done = 0;
                WriteFile(pipe_.Get(), "{\"error\":\"success\"}\n", 20, &done, nullptr);
                char buffer[4096];
                while (!stop_ && ReadFile(pipe_.Get(), buffer, sizeof(buffer), &done, nullptr) && done > 0)
                    received_.append(buffer, done);
            }
            DisconnectNamedPipe(pipe_.Get());
        }
        done_ = true;
    }

    std::wstring name_;
    UniqueFile pipe_;
    std::atomic<bool> stop_{false}, done_{false};
    std::string received_;
    std::thread thread_;
};

TEST(ViewerLoad, SameGroupGoesToTheRunningPlayerOverItsPipe) {
    ViewerHost pane(true);  // shown: a hidden window never has anything to paint
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    ViewerWindowState& s = *pane.State();
    MoveWindow(s.childHwnd, 0, 0, 8, 8, TRUE);  // uncovers the viewer: an invalidation would show
    PumpMessages();
    const auto identity = [&s] {
        return std::tuple(s.process.Get(), s.thread.Get(), s.job.Get(), s.pid, s.childHwnd, s.pipeName, s.exePath);
    };
    const auto before = identity();
    ASSERT_FALSE(PaintPending(pane.viewer));

    const std::wstring next = L"C:\\v\\caf\u00e9 \"\u97f3\"/second.mp3";
    EXPECT_EQ(pane.Load(next.c_str()), 1);
    EXPECT_EQ(identity(), before);
    EXPECT_EQ(s.filePath, next);
    EXPECT_FALSE(PaintPending(pane.viewer));  // no placeholder, nothing invalidated
    EXPECT_EQ(RunningPlayers(), 1);
    EXPECT_EQ(s.lastLoad, LoadOutcome::Reused);
    EXPECT_EQ(ReadFileBytes(PipeLogFile()),
              "{\"command\":[\"loadfile\",\"C:\\\\v\\\\caf\xC3\xA9 \\\"\xE9\x9F\xB3\\\"/second.mp3\",\"replace\"]}\n");
    EXPECT_EQ(
        CountLogLines(L"SendMPVCommand: {\"command\":[\"loadfile\",\"C:\\\\v\\\\caf\u00e9 \\\"\u97f3\\\"/second.mp3\""),
        1);
}

TEST(ViewerLoad, RestartsWhenThePlayerCannotTakeTheFile) {
    std::wstring otherCase = PlayerPath();
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");  // the same file, another player path
    // What the second load's command over the pipe ended in; NoPipe where none was tried.
    const std::pair<const wchar_t*, SendOutcome> cases[] = {
        {L"", SendOutcome::NoPipe},  // the player path in other letter case
        {L"", SendOutcome::NoPipe},  // the player's window closed
        {L"errorreply", SendOutcome::Refused},
        {L"noreply", SendOutcome::NoReplyInTime},
        {L"exitafterwindow", SendOutcome::NoPipe},  // the player ended by itself
        // Event lines, one with "success" in quotes, and never a reply.
        {L"eventsonly", SendOutcome::ReplyTooLong},
    };
    SetEnvironmentVariableW(L"STANDIN_EVENT_PAUSE_MS", L"0");  // the limit, well before the deadline
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const auto& [mode, sent] = cases[i];
        ViewerHost pane;
        SetPlayerMode(mode);
        ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
        const DWORD first = pane.State()->pid;
        const HWND child = pane.State()->childHwnd;
        if (i == 0) UsePlayer(otherCase);
        if (i == 1) SendMessageW(child, WM_CLOSE, 0, 0);
        if (i == 1 || i == 4) WaitUntil([child] { return !IsWindow(child); }, kPlayerWait);
        EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1) << i;
        EXPECT_FALSE(ProcessExists(first)) << i;
        EXPECT_EQ(pane.State()->lastSend, sent) << i;
        EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Restarted) << i;
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
    // Whether the outcome's entry comes before KillChild's lines or after them.
    const std::tuple<UINT, const void*, LoadOutcome, bool> cases[] = {
        {DVPLUGINMSG_LOADW, L"", LoadOutcome::EmptyPath, false},
        {DVPLUGINMSG_LOADA, nullptr, LoadOutcome::EmptyPath, false},
        {DVPLUGINMSG_LOADW, L"C:\\docs\\notes.txt", LoadOutcome::NoPlayerConfigured, true},
    };
    for (const auto& [msg, path, outcome, entryFirst] : cases) {
        DeleteLog();
        ASSERT_EQ(pane.Send(DVPLUGINMSG_LOADA, 0, reinterpret_cast<LPARAM>(ansi)), 1);
        EXPECT_EQ(pane.State()->filePath, wide);
        const DWORD pid = pane.State()->pid;
        EXPECT_EQ(pane.Send(msg, 0, reinterpret_cast<LPARAM>(path)), 0);
        EXPECT_FALSE(ProcessExists(pid));
        EXPECT_EQ(pane.State()->lastLoad, outcome) << msg;
        EXPECT_EQ(pane.State()->pid, 0u);  // and no other player started
        const std::wstring log = ReadLog();
        const size_t load = log.rfind(L"[LoadFile] filePath=");
        EXPECT_EQ(log.find(LoadOutcomeEntries(outcome)[0], load) < log.find(L"[KillChild] KillChild enter", load),
                  entryFirst)
            << msg;
        if (!path) {
            EXPECT_EQ(CountLogLines(L"[LoadFile] filePath=[(null)]\r\n"), 1);
        }
    }
}

// 2047 bytes fit the buffer with its terminator, 2048 do not; backslashes count escaped.
TEST(ViewerIpc, NothingToSendToOrTooLongToSend) {
    ViewerWindowState nobody;
    EXPECT_EQ(SendMPVCommand(nobody, L"C:\\v\\a.mkv"), SendOutcome::NoPipe);
    EXPECT_EQ(CountLogLines(L"[SendMPVCommand]"), 0);  // not even a log line
    nobody.pipeName = L"\\\\.\\pipe\\tessoravin-nobody";
    const std::wstring slashes(1004, L'\\');
    EXPECT_EQ(SendMPVCommand(nobody, (L"xx" + slashes).c_str()), SendOutcome::CommandTooLong);  // 38 + 2 + 2008 bytes
    EXPECT_EQ(SendMPVCommand(nobody, (L"x" + slashes).c_str()), SendOutcome::OpenFailed);
}

// The pipe as a player that disconnects as soon as its reply is read, served by a thread of this
// process: each connection gets its reply, a flush that returns once the client has read it, then
// at once the disconnect and the close. (The stand-in, in a process of its own, never showed the
// missed completion below in 6000 exchanges; this server did, 5 times in 3000.)
class ReplyThenDisconnect {
public:
    explicit ReplyThenDisconnect(std::wstring name) : name_(std::move(name)), thread_([this] { Serve(); }) {}
    ~ReplyThenDisconnect() {
        stop_ = true;
        UniqueFile(CreateFileW(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));  // wakes it
        thread_.join();
    }
    ReplyThenDisconnect(const ReplyThenDisconnect&) = delete;
    ReplyThenDisconnect& operator=(const ReplyThenDisconnect&) = delete;

private:
    UniqueFile Instance() const {
        return UniqueFile(CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
    }
    void Serve() {
        constexpr std::string_view kReply = "{\"data\":null,\"request_id\":0,\"error\":\"success\"}\n";
        UniqueFile next = Instance();  // made before a client is served, so that none finds the name gone
        while (!stop_ && next) {
            const UniqueFile current = std::move(next);
            const bool connected = ConnectNamedPipe(current.Get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
            next = Instance();
            if (!connected) continue;
            char command[4096];
            DWORD done = 0;
            ReadFile(current.Get(), command, sizeof(command), &done, nullptr);
            WriteFile(current.Get(), kReply.data(), static_cast<DWORD>(kReply.size()), &done, nullptr);
            FlushFileBuffers(current.Get());
            DisconnectNamedPipe(current.Get());
        }
    }

    std::wstring name_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Every exchange with such a player takes its reply; none waits out the deadline, as one in a few
// hundred did while a read was awaited on the pipe's handle instead of on an event of its own.
TEST(ViewerIpc, AReplyFollowedAtOnceByTheDisconnectIsNeverMissed) {
    constexpr int kExchanges = 3000;
    ViewerWindowState player;
    player.pipeName = L"\\\\.\\pipe\\tessoravin-reply-then-disconnect";
    player.pid = GetCurrentProcessId();  // the pipe is served by the player, as far as the client can tell
    player.process.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, player.pid));
    const ReplyThenDisconnect server(player.pipeName);
    std::vector<SendOutcome> notSent;
    int connected = 0;
    for (int tries = 0; connected < kExchanges && tries < 2 * kExchanges; ++tries) {
        const SendOutcome outcome = SendMPVCommand(player, L"C:\\v\\next.mkv");
        if (outcome == SendOutcome::OpenFailed) continue;  // Wine rarely finds no instance of this server's
        ++connected;
        if (outcome != SendOutcome::Sent) notSent.push_back(outcome);
    }
    EXPECT_EQ(connected, kExchanges);
    EXPECT_EQ(notSent, std::vector<SendOutcome>{});
}

// mpv writes its pending events to a connection before the reply: here three, in separate
// writes, longer together than one 255-byte read. The running player still takes every file,
// each over a connection of its own that carried the loadfile line and nothing else.
TEST(ViewerLoad, EventLinesBeforeTheReplyKeepTheRunningPlayer) {
    ViewerHost pane;
    SetPlayerMode(L"events");
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    const DWORD pid = pane.State()->pid;
    EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1);
    EXPECT_EQ(pane.Load(L"C:\\v\\third.mp3"), 1);
    EXPECT_EQ(pane.State()->pid, pid);
    EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Reused);
    EXPECT_EQ(WindowText(pane.State()->childHwnd), L"C:\\v\\third.mp3");
    const std::string second = LoadfileLine("C:\\\\v\\\\second.mkv"), third = LoadfileLine("C:\\\\v\\\\third.mp3");
    EXPECT_EQ(ReadFileBytes(PipeLogFile()), second + third);
    // The stand-in notes each connection, with the bytes it carried, once its client has closed it.
    const auto connections = [] {
        const std::string notes = ReadFileBytes(NotesFile());
        return notes.substr(std::min(notes.find("connection="), notes.size()));
    };
    const std::string a = "connection=" + std::to_string(second.size()) + "\n",
                      b = "connection=" + std::to_string(third.size()) + "\n";
    EXPECT_TRUE(WaitUntil([&] { return connections() == a + b || connections() == b + a; }, kPlayerWait))
        << connections();
}

// Control bytes go out escaped, as one line of JSON that the player (which refuses anything
// else) decodes to the exact path. A lone surrogate cannot go out without becoming another path:
// nothing is sent, and the restarted player has the exact path on its command line.
TEST(ViewerIpc, ControlBytesAreEscapedAndALoneSurrogateIsNeverSent) {
    ViewerHost pane;
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    const DWORD first = pane.State()->pid;
    const std::wstring controls =
        L"C:\\v\\a\x01"
        L"b\tc\x1f.mkv";
    EXPECT_EQ(pane.Load(controls.c_str()), 1);
    EXPECT_EQ(pane.State()->pid, first);
    EXPECT_EQ(WindowText(pane.State()->childHwnd), controls);
    const std::string sent = ReadFileBytes(PipeLogFile());
    EXPECT_EQ(sent, LoadfileLine("C:\\\\v\\\\a\\u0001b\\tc\\u001f.mkv"));

    const std::wstring lone = L"C:\\v\\lone\xD800.mkv";
    EXPECT_EQ(pane.Load(lone.c_str()), 1);
    EXPECT_FALSE(ProcessExists(first));
    EXPECT_EQ(pane.State()->lastSend, SendOutcome::PathNotUtf16);
    EXPECT_EQ(ReadFileBytes(PipeLogFile()), sent);  // no U+FFFD, nothing at all
    EXPECT_TRUE(PlayerCommandLine().ends_with(L" \"" + lone + L"\""));
}

// Another program serving the viewer's pipe name before the player (which then makes no pipe, as
// mpv does when the name is taken) is sent nothing; the file goes to a restarted player.
TEST(ViewerIpc, APipeServedByAnotherProcessIsSentNothing) {
    ViewerHost pane;
    PipeSquatter squatter(PipeNameFor(pane.viewer));
    SetPlayerMode(L"nopipe");
    ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1);
    const DWORD first = pane.State()->pid;
    EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1);
    EXPECT_FALSE(ProcessExists(first));
    EXPECT_EQ(pane.State()->lastSend, SendOutcome::NotThePlayer);
    EXPECT_TRUE(PlayerCommandLine().ends_with(L" \"C:\\v\\second.mkv\""));
    EXPECT_EQ(squatter.Stop(), "");
}

// A player path that is a launcher: the real player is its child, in the same job, and serves the
// pipe. It is accepted, and it ends with the launcher's job. A launcher that exits once it has
// started the player does not end the window search: the player is still in the job. A launcher
// that is a console program gets a console of its own (one without a window), never the host's.
TEST(ViewerIpc, ALaunchersChildInThePlayersJobServesThePipe) {
    const std::wstring console = fakehost::ProgramFolder() + L"\\viewers\\mpv-console\\mpv.exe";
    const std::pair<const wchar_t*, std::wstring> launchers[] = {
        {L"launcher", PlayerPath()}, {L"launcherexits", PlayerPath()}, {L"launcher", console}};
    for (const auto& [mode, path] : launchers) {
        ViewerHost pane;
        UsePlayer(path);
        SetPlayerMode(mode);
        SetEnvironmentVariableW(L"STANDIN_LAUNCH", PlayerPath().c_str());  // the real player: a GUI program
        DeleteLog();
        DeleteFileW(PipeLogFile().c_str());
        DeleteFileW(NotesFile().c_str());
        ASSERT_EQ(pane.Load(L"C:\\v\\first.mkv"), 1) << mode;
        EXPECT_EQ(ReadFileBytes(NotesFile()).starts_with("injob=1\nconsoleprocesses=1\n"), path == console);
        const DWORD launcher = pane.State()->pid;
        DWORD real = 0;
        GetWindowThreadProcessId(pane.State()->childHwnd, &real);
        ASSERT_NE(real, launcher);
        EXPECT_EQ(pane.Load(L"C:\\v\\second.mkv"), 1) << mode;
        EXPECT_EQ(pane.State()->pid, launcher);
        EXPECT_EQ(pane.State()->lastLoad, LoadOutcome::Reused);
        EXPECT_EQ(ReadFileBytes(PipeLogFile()), LoadfileLine("C:\\\\v\\\\second.mkv"));
        pane.Clear();  // waits until the launcher's child, too, has ended
        EXPECT_FALSE(ProcessExists(real));
    }
}

}  // namespace
