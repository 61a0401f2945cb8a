// How much the pipe reuse saves: the time of a load handed to the running player over its pipe
// against a load that stops the player, starts a new one and waits for its window. Both are
// measured in one run against the stand-in player next to this program (viewers\mpv\mpv.exe).
// Also where a reused load's time goes: its log I/O, the pipe's open and check, the exchange.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "fake_host.h"
#include "host/host.h"
#include "log/log.h"
#include "test_support.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer.h"
#include "viewer/viewer_test_hooks.h"

namespace {

constexpr int kRounds = 30;

void UsePlayer(const std::wstring& player) { ApplyConfig({{L"video", L"mkv;mp4", player}}, L""); }

// Times one LOADW; a result other than 1 spoils the run.
bool TimedLoad(HWND viewer, const wchar_t* file, std::vector<double>& times) {
    const double start = NowMs();
    const LRESULT shown = SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(file));
    times.push_back(NowMs() - start);
    return shown == 1;
}

void SetPlayerMode(const wchar_t* mode) { SetEnvironmentVariableW(L"STANDIN_MODE", mode); }

double Max(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

double TimedMessage(HWND viewer, UINT msg, WPARAM wParam, LPARAM lParam) {
    const double start = NowMs();
    SendMessageW(viewer, msg, wParam, lParam);
    return NowMs() - start;
}

// How long one message holds the host's window thread, for each kind of player: the median and
// the maximum of kHoldRuns runs. A frozen or slow player must cost no more than the bounded wait
// for its thread; one that exits at once, no more than its start.
constexpr int kHoldRuns = 10;
struct HoldRow {
    const char* player;
    const wchar_t* mode;
    bool reuse;  // time a load handed to an already running player instead of a fresh start
};

bool MeasureHoldTimes(HWND viewer) {
    const HoldRow rows[] = {
        {"working, started fresh", L"", false},   {"working, reused", L"", true},
        {"exits at once", L"exitatonce", false},  {"frozen window thread", L"freeze", false},
        {"pipe never answers", L"noreply", true}, {"slow start (800 ms)", L"slowstart", false},
    };
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"800");
    std::printf("\nHost thread held by one DVPLUGINMSG_LOADW, %d runs each:\n", kHoldRuns);
    std::printf("%-28s %10s %10s\n", "player", "median ms", "max ms");
    for (const HoldRow& row : rows) {
        SetPlayerMode(row.mode);
        std::vector<double> times;
        for (int i = 0; i < kHoldRuns; ++i) {
            SendMessageW(viewer, DVPLUGINMSG_CLEAR, 0, 0);
            if (row.reuse)
                SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(L"C:\\bench\\first.mkv"));
            times.push_back(
                TimedMessage(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(L"C:\\bench\\hold.mkv")));
        }
        std::printf("%-28s %10.1f %10.1f\n", row.player, Median(times), Max(times));
    }

    // The other messages a frozen player's viewer gets.
    SetPlayerMode(L"freeze");
    SendMessageW(viewer, DVPLUGINMSG_CLEAR, 0, 0);
    if (SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(L"C:\\bench\\frozen.mkv")) != 1)
        return false;
    const struct {
        const char* name;
        UINT msg;
        LPARAM lParam;
    } messages[] = {{"frozen: 0x8F08", kHostMsgResize, MAKELPARAM(320, 200)},
                    {"frozen: WM_SIZE", WM_SIZE, MAKELPARAM(300, 180)},
                    {"frozen: WM_SETFOCUS", WM_SETFOCUS, 0},
                    {"frozen: WM_MOUSEACTIVATE", WM_MOUSEACTIVATE, 0}};
    for (const auto& m : messages) {
        std::vector<double> times;
        for (int i = 0; i < kHoldRuns; ++i) times.push_back(TimedMessage(viewer, m.msg, 0, m.lParam));
        std::printf("%-28s %10.1f %10.1f\n", m.name, Median(times), Max(times));
    }
    SendMessageW(viewer, DVPLUGINMSG_CLEAR, 0, 0);
    SetPlayerMode(L"");
    return true;
}

void Report(const char* name, const std::vector<double>& times) {
    std::printf("%-34s median %8.2f ms   min %8.2f   max %8.2f   (n=%d)\n", name, Median(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
                static_cast<int>(times.size()));
}

// A run of reused loads and one of restarted loads, and how many loads meant for reuse restarted.
struct ReuseRun {
    std::vector<double> reused, restarted;
    int restartedReuses = 0;
};

DWORD PlayerPid(HWND viewer) {
    const ViewerWindowState* state = ViewerStateOf(viewer);
    return state ? state->pid : 0;
}

// mpv writes pending event lines to a connection before its reply. The same measurement with the
// stand-in writing three of them, each its own write, before every reply: back to back as mpv
// does, or with the pause the tests use to make each its own piece.
bool MeasureWithEventsBeforeReply(HWND viewer, const std::wstring& player, const std::wstring& otherCase,
                                  const wchar_t* pauseMs, ReuseRun& run) {
    SetPlayerMode(L"events");
    SetEnvironmentVariableW(L"STANDIN_EVENT_PAUSE_MS", pauseMs);
    std::vector<double> warmUp;
    SendMessageW(viewer, DVPLUGINMSG_CLEAR, 0, 0);  // the next player starts in this mode
    UsePlayer(otherCase);
    bool ok = TimedLoad(viewer, L"C:\\bench\\events-warm-up.mkv", warmUp);
    for (int i = 0; ok && i < kRounds; ++i) {
        const DWORD before = PlayerPid(viewer);
        ok = TimedLoad(viewer, i % 2 ? L"C:\\bench\\odd.mkv" : L"C:\\bench\\even.mp4", run.reused);
        if (PlayerPid(viewer) != before) ++run.restartedReuses;
    }
    for (int i = 0; ok && i < kRounds; ++i) {
        UsePlayer(i % 2 ? otherCase : player);
        ok = TimedLoad(viewer, L"C:\\bench\\restart.mkv", run.restarted);
    }
    SetPlayerMode(nullptr);
    return ok;
}

// A reused load should cost at most a fiftieth of a restart, events or not.
void ReportReuseRatio(const char* name, const ReuseRun& run) {
    std::printf("%s, %d rounds each:\n", name, kRounds);
    Report("reused load (pipe loadfile)", run.reused);
    Report("restarted load (stop, start, find)", run.restarted);
    std::printf("reused / restarted (medians): %.3f   (loads meant for reuse that restarted: %d of %d)\n",
                Median(run.reused) / Median(run.restarted), run.restartedReuses, kRounds);
}

// The log entries one reused load writes, as they stand in the log.
std::vector<std::wstring> EntriesOfOneReusedLoad(HWND viewer) {
    SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(L"C:\\bench\\started.mkv"));
    testsupport::DeleteLog();
    SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(L"C:\\bench\\reused.mkv"));
    const std::wstring log = testsupport::ReadLog();
    const std::wregex prefix(LR"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] )");
    std::vector<size_t> starts, ends;
    for (auto it = std::wsregex_iterator(log.begin(), log.end(), prefix); it != std::wsregex_iterator(); ++it) {
        starts.push_back(static_cast<size_t>(it->position()));
        ends.push_back(static_cast<size_t>(it->position() + it->length()));
    }
    std::vector<std::wstring> entries;
    for (size_t i = 0; i < starts.size(); ++i)
        entries.push_back(log.substr(ends[i], (i + 1 < starts.size() ? starts[i + 1] : log.size()) - ends[i]));
    return entries;
}

// Where a reused load's time goes, in the same rounds: its log entries written again as it writes
// them (all under the one hold of the window procedure's load), and what remains: the check that
// the kept connection is quiet, the write, the player's reply and the lookups. The pipe's open
// with the server check is timed on connections of its own, after those rounds: a reused load no
// longer pays it, only the first command to each player does (with the exchange that switches
// events off).
bool MeasureReuseSplit(HWND viewer) {
    const std::vector<std::wstring> entries = EntriesOfOneReusedLoad(viewer);
    const ViewerWindowState* state = ViewerStateOf(viewer);
    if (entries.size() < 3 || !state) return false;
    std::vector<double> loads, logs, opens;
    for (int i = 0; i < kRounds; ++i) {
        if (!TimedLoad(viewer, i % 2 ? L"C:\\bench\\odd.mkv" : L"C:\\bench\\even.mp4", loads)) return false;
        double start = NowMs();
        for (const std::wstring& entry : entries) LogWrite(entry.c_str());
        logs.push_back(NowMs() - start);
    }
    // Apart from the loads: a connection of the bench's own would cost the player a client thread
    // in the middle of them, which the kept connection no longer does.
    for (int i = 0; i < kRounds; ++i) {
        // The player makes the next instance of its pipe after each connection: wait until it has.
        WaitNamedPipeW(state->pipeName.c_str(), 1000);
        const double start = NowMs();
        UniqueFile pipe(CreateFileW(state->pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    kPipeOpenFlags, nullptr));
        ULONG server = 0;
        if (!pipe || !GetNamedPipeServerProcessId(pipe.Get(), &server) || server != state->pid) return false;
        pipe.Close();
        opens.push_back(NowMs() - start);
        Sleep(5);  // the player's side of that connection ends before the next one
    }
    const double load = Median(loads), log = Median(logs), open = Median(opens);
    std::printf("Reused load, where the time goes (medians of %d rounds):\n", kRounds);
    std::printf("  whole load                              %8.2f ms\n", load);
    std::printf("  log I/O (its %2zu entries, as it writes them) %5.2f ms\n", entries.size(), log);
    std::printf("  exchange and the rest (the difference)  %8.2f ms\n", load - log);
    std::printf("  pipe open and server check, once per connection, not in the above: %.2f ms\n", open);
    return true;
}

int Run() {
    testsupport::UsePrivateTempFolder();
    moduleInstance = GetModuleHandleW(nullptr);
    if (!RegisterViewerClass(moduleInstance)) return 2;
    // Never shown: a frame that was on screen costs seconds to destroy under Wine.
    HWND host = CreateWindowExW(0, L"STATIC", L"bench host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640, 400,
                                nullptr, nullptr, moduleInstance, nullptr);
    HWND viewer = CreateWindowExW(0, kViewerClassName, L"", 0x56010000, 0, 0, 624, 361, host, nullptr, moduleInstance,
                                  nullptr);
    if (!viewer) return 2;

    const std::wstring player = fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe";
    std::wstring otherCase = player;
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");  // the same file, but not the same player path

    std::vector<double> reused, restarted;
    bool ok = true;
    UsePlayer(player);
    ok = ok && TimedLoad(viewer, L"C:\\bench\\warm-up.mkv", restarted);
    restarted.clear();

    // Reuse: every load after the first goes over the pipe to the same player.
    for (int i = 0; ok && i < kRounds; ++i)
        ok = TimedLoad(viewer, i % 2 ? L"C:\\bench\\odd.mkv" : L"C:\\bench\\even.mp4", reused);

    // Restart: the player path changes (letter case only) before each load, so each one stops
    // the running player, starts another and waits for its window.
    for (int i = 0; ok && i < kRounds; ++i) {
        UsePlayer(i % 2 ? player : otherCase);
        ok = TimedLoad(viewer, L"C:\\bench\\restart.mkv", restarted);
    }
    ReuseRun withEvents, withPacedEvents;
    ok = ok && MeasureWithEventsBeforeReply(viewer, player, otherCase, L"0", withEvents);
    ok = ok && MeasureWithEventsBeforeReply(viewer, player, otherCase, L"2", withPacedEvents);
    if (ok) {
        std::printf("Viewer load, stand-in player under this system, %d rounds each:\n", kRounds);
        Report("reused load (pipe loadfile)", reused);
        Report("restarted load (stop, start, find)", restarted);
        std::printf("restart / reuse (medians): %.1fx\n", Median(restarted) / Median(reused));
        std::printf("reused / restarted (medians), plain: %.3f\n", Median(reused) / Median(restarted));
        ReportReuseRatio("Three event lines before every reply, back to back", withEvents);
        ReportReuseRatio("Three event lines before every reply, 2 ms apart", withPacedEvents);
        UsePlayer(player);
        ok = MeasureReuseSplit(viewer) && MeasureHoldTimes(viewer);
    }
    DestroyWindow(host);
    if (!ok) {
        std::printf("a load failed; see %ls\n", (testsupport::PrivateTempFolder() + L"Tessoravin.log").c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main() {
    try {
        return Run();
    } catch (...) {
        std::printf("unexpected failure\n");
        return 3;
    }
}
