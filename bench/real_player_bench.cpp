// The viewer against the real mpv (build/third_party/mpv/mpv.exe), in both video outputs: a load
// handed to the running player over its pipe against one that restarts it, loads spaced a
// second apart as a person browses, each timed to its return and to the first frame (mpv's
// "playback-restart" event on an observer connection); and how soon after the player's first
// window exists a restarted load returns, with the stand-in and with mpv.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_timing.h"
#include "core/viewer_host.h"
#include "viewer/player_protocol.h"

using namespace viewertest;

namespace {

constexpr int kLoads = 10;
constexpr auto kBrowsePause = std::chrono::milliseconds(1000);

// Stays connected to the viewer's pipe, connecting again whenever the player changes, and notes
// when mpv last reported "playback-restart": the first frame of a file.
class FrameObserver {
public:
    explicit FrameObserver(const std::wstring& pipeName) : pipeName_(pipeName), thread_([this] { Run(); }) {}
    ~FrameObserver() {
        stop_ = true;
        thread_.join();
    }
    FrameObserver(const FrameObserver&) = delete;
    FrameObserver& operator=(const FrameObserver&) = delete;

    // The first frame after the moment, in ms after it; negative when none came within 10 s.
    double FirstFrameAfter(double moment) const {
        for (int i = 0; i < 2000 && lastFrame_.load() <= moment; ++i) Sleep(5);
        return lastFrame_.load() > moment ? lastFrame_.load() - moment : -1;
    }

private:
    void Run() {
        while (!stop_) {
            HANDLE pipe = CreateFileW(pipeName_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (pipe == INVALID_HANDLE_VALUE) {
                Sleep(1);
                continue;
            }
            std::string pending;
            while (!stop_) {
                DWORD available = 0;
                if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
                if (available == 0) {
                    Sleep(1);
                    continue;
                }
                std::string piece(available, '\0');
                DWORD got = 0;
                if (!ReadFile(pipe, piece.data(), available, &got, nullptr)) break;
                pending.append(piece, 0, got);
                if (pending.find("\"event\":\"playback-restart\"") != std::string::npos) lastFrame_ = NowMs();
                pending.erase(0, pending.rfind('\n') == std::string::npos ? 0 : pending.rfind('\n') + 1);
            }
            CloseHandle(pipe);
        }
    }

    std::wstring pipeName_;
    std::atomic<bool> stop_{false};
    std::atomic<double> lastFrame_{0};
    std::thread thread_;
};

// Notes the moment a window of class "mpv" other than the given one first exists in the viewer.
class WindowWatch {
public:
    WindowWatch(HWND viewer, HWND old)
        : thread_([this, viewer, old] {
              const double until = NowMs() + 10000;
              while (NowMs() < until) {
                  const HWND now = FindWindowExW(viewer, nullptr, L"mpv", nullptr);
                  if (now && now != old) {
                      seen_ = NowMs();
                      return;
                  }
                  Sleep(1);
              }
          }) {}
    double Seen() {
        thread_.join();
        return seen_;
    }

private:
    double seen_ = 0;
    std::thread thread_;
};

struct LoadTimes {
    std::vector<double> returned, firstFrame, afterWindow;
};

// One load, timed to its return and, with an observer, to the first frame; for a restart also
// how long it returned after the new player's first window existed.
bool TimedLoad(ViewerHost& pane, const std::wstring& file, FrameObserver* observer, bool restart, LoadTimes& times) {
    const ViewerWindowState* state = pane.State();
    WindowWatch* watch = restart ? new WindowWatch(pane.viewer, state->childHwnd) : nullptr;
    const double start = NowMs();
    const bool shown = pane.Load(file.c_str()) == 1;
    const double returned = NowMs();
    times.returned.push_back(returned - start);
    if (watch) {
        const double seen = watch->Seen();
        delete watch;
        if (seen > 0) times.afterWindow.push_back(returned - seen);
    }
    if (observer) times.firstFrame.push_back(observer->FirstFrameAfter(start));
    WaitUntil([] { return false; }, kBrowsePause);
    return shown;
}

void Print(const char* row, const std::vector<double>& values) {
    std::printf("  %-44s median %8.1f ms  (n=%d)\n", row, Median(values), static_cast<int>(values.size()));
}

// Reused and restarted loads of one player; false when a load showed nothing.
bool MeasurePlayer(ViewerHost& pane, const std::wstring& player, const std::wstring& params, bool observe,
                   LoadTimes& reused, LoadTimes& restarted) {
    std::wstring otherCase = player;
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");  // the same file, but not the same player path
    // Named as the pane's "video" group expects; mpv tells the format by the content.
    const std::wstring clip = PrivateTempFolder() + L"clip.mkv";
    WriteTestClip(clip);
    UsePlayer(player, params);
    pane.Clear();
    FrameObserver* observer = observe ? new FrameObserver(PipeNameFor(pane.viewer)) : nullptr;
    LoadTimes warmUp;
    bool ok = TimedLoad(pane, clip, observer, true, warmUp);
    for (int i = 0; ok && i < kLoads; ++i) ok = TimedLoad(pane, clip, observer, false, reused);
    for (int i = 0; ok && i < kLoads; ++i) {
        UsePlayer(i % 2 ? player : otherCase, params);
        ok = TimedLoad(pane, clip, observer, true, restarted);
    }
    pane.Clear();
    delete observer;
    return ok;
}

int Run() {
    UsePrivateTempFolder();
    moduleInstance = GetModuleHandleW(nullptr);
    ViewerHost pane;
    const std::wstring mpv = fakehost::ProgramFolder() + L"\\..\\..\\third_party\\mpv\\mpv.exe";
    if (!FileExists(mpv)) {
        std::printf("no real mpv at %ls: scripts/build-mpv.sh builds it\n", mpv.c_str());
        return 1;
    }
    std::printf("Real mpv, loads %lld ms apart, %d of each kind:\n", static_cast<long long>(kBrowsePause.count()),
                kLoads);
    for (const wchar_t* vo : {L"", L" --vo=direct3d"}) {
        LoadTimes reused, restarted;
        // --really-quiet: a file manager has no console, but this program's would be mpv's too.
        const std::wstring params = std::wstring(L"--force-window=yes --border=no --ao=null --really-quiet") + vo;
        if (!MeasurePlayer(pane, mpv, params, true, reused, restarted)) {
            std::printf("a load failed; see %ls\n", (PrivateTempFolder() + L"Tessoravin.log").c_str());
            return 1;
        }
        std::printf("%s:\n", *vo ? "--vo=direct3d" : "default video output");
        Print("reused load, until it returns", reused.returned);
        Print("restarted load, until it returns", restarted.returned);
        Print("reused load, until the first frame", reused.firstFrame);
        Print("restarted load, until the first frame", restarted.firstFrame);
        Print("restarted load returns after the first window", restarted.afterWindow);
        std::printf("  reused / restarted: %.3f until the return, %.3f until the first frame\n",
                    Median(reused.returned) / Median(restarted.returned),
                    Median(reused.firstFrame) / Median(restarted.firstFrame));
    }
    LoadTimes reused, restarted;
    if (!MeasurePlayer(pane, PlayerPath(), L"", false, reused, restarted)) return 1;
    std::printf("stand-in player:\n");
    Print("restarted load returns after the first window", restarted.afterWindow);
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
