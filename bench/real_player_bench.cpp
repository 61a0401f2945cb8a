// The viewer against the real mpv, 0.35.1 and 0.40.0 (build/third_party/mpv and mpv-0.40), each
// with its default video output and direct3d, and 0.40 with gpu-next too; each figure against its
// floor, the two measured in pairs that alternate (plug-in, bare, plug-in, ...)
// with loads a second apart as a person browses:
// - a reused load, to its reply and to mpv's first frame of the file ("playback-restart" on an
//   observer connection of the bench's own), against a bare client's loadfile of the same file to
//   the same running mpv (bare_client.h); and, apart, to mpv's "start-file": how late the command
//   reaches mpv, which the first frame's own spread of tens of milliseconds hides;
// - a restarted load to its first frame, against the bench starting the same command line
//   (BuildPlayerCommandLine) itself into a plain window of the viewer's size.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bare_client.h"
#include "bench_timing.h"
#include "core/viewer_host.h"
#include "viewer/player_protocol.h"

using namespace viewertest;

namespace {

// A reused load's first frame comes within tens of milliseconds and varies by as much from one
// load to the next: more of its pairs than of a restart's are needed for a steady median.
constexpr int kReusedPairs = 20;
constexpr int kRestartedPairs = 10;
constexpr DWORD kBrowsePauseMs = 1000;
constexpr DWORD kFrameWaitMs = 10000;
// Above these, the plug-in costs too much more than what it is built on.
constexpr double kReusedFrameTarget = 1.05;
constexpr double kRestartedFrameTarget = 1.10;

// Takes every message of this thread, as the file manager's window thread does between the
// messages it sends the viewer, until the handle is signalled or the time is up: mpv's window
// is a child of a window of this thread, and the viewer's follow timer runs on it.
void PumpUntil(HANDLE handle, DWORD timeoutMs) {
    const double until = NowMs() + timeoutMs;
    for (;;) {
        PumpMessages();
        const double left = until - NowMs();
        if (left <= 0) return;
        const DWORD count = handle ? 1 : 0;
        // WAIT_OBJECT_0 + count is a message, not the handle.
        if (MsgWaitForMultipleObjectsEx(count, &handle, static_cast<DWORD>(left) + 1, QS_ALLINPUT,
                                        MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 &&
            count == 1)
            return;
    }
}

// What the observer notes: mpv starting a file (the command has reached it), and the first frame.
enum class MpvEvent { StartFile, FirstFrame };

// Stays connected to one pipe name, connecting again whenever the player behind it changes, and
// notes when mpv reports "start-file" and "playback-restart" (the first frame of a file).
class FrameObserver {
public:
    explicit FrameObserver(const std::wstring& pipeName) : pipeName_(pipeName), thread_([this] { Run(); }) {}
    ~FrameObserver() {
        SetEvent(stop_.Get());
        thread_.join();
    }
    FrameObserver(const FrameObserver&) = delete;
    FrameObserver& operator=(const FrameObserver&) = delete;

    size_t Count(MpvEvent event) const {
        const std::lock_guard<std::mutex> guard(lock_);
        return Seen(event).size();
    }
    size_t Frames() const { return Count(MpvEvent::FirstFrame); }

    // When the event numbered index came, in ms after start, taking this thread's messages while
    // it waits; negative when it did not come within kFrameWaitMs.
    double Wait(MpvEvent event, size_t index, double start) {
        const double until = NowMs() + kFrameWaitMs;
        for (;;) {
            {
                const std::lock_guard<std::mutex> guard(lock_);
                if (Seen(event).size() > index) return Seen(event)[index] - start;
            }
            const double left = until - NowMs();
            if (left <= 0) return -1;
            PumpUntil(seen_.Get(), static_cast<DWORD>(left));
        }
    }
    double WaitFrame(size_t index, double start) { return Wait(MpvEvent::FirstFrame, index, start); }

private:
    // Blocks in its reads rather than polling them: the observer must cost the two sides nothing
    // while their player runs. Only while no player serves the name does it look every millisecond.
    void Run() {
        const UniqueHandle readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        while (WaitForSingleObject(stop_.Get(), 0) == WAIT_TIMEOUT) {
            const UniqueFile pipe(
                CreateFileW(pipeName_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
            if (!pipe) {
                WaitForSingleObject(stop_.Get(), 1);
                continue;
            }
            std::string pending;
            for (;;) {
                OVERLAPPED overlapped = {};
                overlapped.hEvent = readDone.Get();
                char piece[4096];
                DWORD got = 0;
                if (!ReadFile(pipe.Get(), piece, sizeof(piece), nullptr, &overlapped) &&
                    GetLastError() != ERROR_IO_PENDING)
                    break;
                const HANDLE waits[] = {readDone.Get(), stop_.Get()};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    CancelIoEx(pipe.Get(), &overlapped);
                    GetOverlappedResult(pipe.Get(), &overlapped, &got, TRUE);
                    return;
                }
                const double now = NowMs();
                if (!GetOverlappedResult(pipe.Get(), &overlapped, &got, FALSE) || got == 0) break;
                pending.append(piece, got);
                for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                    const std::string line = pending.substr(0, end);
                    const bool frame = line.find("\"event\":\"playback-restart\"") != std::string::npos;
                    if (!frame && line.find("\"event\":\"start-file\"") == std::string::npos) continue;
                    const std::lock_guard<std::mutex> guard(lock_);
                    Seen(frame ? MpvEvent::FirstFrame : MpvEvent::StartFile).push_back(now);
                    SetEvent(seen_.Get());
                }
            }
        }
    }

    std::vector<double>& Seen(MpvEvent event) { return event == MpvEvent::StartFile ? starts_ : frames_; }
    const std::vector<double>& Seen(MpvEvent event) const { return event == MpvEvent::StartFile ? starts_ : frames_; }

    std::wstring pipeName_;
    UniqueHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle seen_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    mutable std::mutex lock_;
    std::vector<double> starts_, frames_;
    std::thread thread_;  // last: it runs on the members above
};

// The floor of a restarted load: the same mpv with the command line the plug-in builds, started by
// the bench itself into a plain window of its own the viewer's size, in a hidden frame as the
// viewer's. Like the plug-in's restart, each start first stops the player started before it.
class BarePlayer {
public:
    BarePlayer(const wchar_t* frameClass, int width, int height) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TessoravinBenchBarePane";
        RegisterClassExW(&wc);
        frame_ = CreateWindowExW(0, frameClass, L"bare player", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, 640, 400,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0x56010000, 0, 0, width, height, frame_, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~BarePlayer() {
        Stop();
        DestroyWindow(frame_);
    }
    BarePlayer(const BarePlayer&) = delete;
    BarePlayer& operator=(const BarePlayer&) = delete;

    std::wstring PipeName() const { return PipeNameFor(window_); }

    bool Restart(const std::wstring& player, const std::wstring& params, const std::wstring& file) {
        Stop();
        std::wstring commandLine = BuildPlayerCommandLine(player, WindowNumber(window_), PipeName(), params, file);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION started = {};
        if (!CreateProcessW(player.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &started))
            return false;
        CloseHandle(started.hThread);
        process_.Reset(started.hProcess);
        return true;
    }

    void Stop() {
        if (!process_) return;
        TerminateProcess(process_.Get(), 0);
        WaitForSingleObject(process_.Get(), 5000);
        process_.Close();
    }

private:
    HWND frame_ = nullptr, window_ = nullptr;
    UniqueHandle process_;
};

// Medians of one kind of pair.
struct Pairs {
    std::vector<double> plugin, bare;
};

struct VideoOutputFigures {
    Pairs reply, reusedStart, reusedFrame, restartedFrame;
    int missedFrames = 0;     // pairs left out: an event the observer did not see
    int restartedReuses = 0;  // loads meant for reuse that restarted
};

// Keeps a pair only when the observer saw the event on both sides.
void AddPair(Pairs& pairs, double plugin, double bare, int& missed) {
    if (plugin < 0 || bare < 0) {
        ++missed;
        return;
    }
    pairs.plugin.push_back(plugin);
    pairs.bare.push_back(bare);
}

bool MeasureReused(ViewerHost& pane, FrameObserver& observer, const std::wstring& clip, VideoOutputFigures& out) {
    const std::wstring pipeName = PipeNameFor(pane.viewer);
    for (int i = 0; i < kReusedPairs; ++i) {
        const DWORD pid = pane.State()->pid;
        size_t starts = observer.Count(MpvEvent::StartFile), frames = observer.Frames();
        double start = NowMs();
        if (pane.Load(clip.c_str()) != 1) return false;
        const double pluginReply = NowMs() - start;
        if (pane.State()->pid != pid) ++out.restartedReuses;
        const double pluginFrame = observer.WaitFrame(frames, start);
        const double pluginStart = observer.Wait(MpvEvent::StartFile, starts, start);
        PumpUntil(nullptr, kBrowsePauseMs);

        starts = observer.Count(MpvEvent::StartFile), frames = observer.Frames();
        start = NowMs();
        if (!bench::BareLoadfile(pipeName, clip)) return false;
        const double bareReply = NowMs() - start;
        const double bareFrame = observer.WaitFrame(frames, start);
        const double bareStart = observer.Wait(MpvEvent::StartFile, starts, start);
        PumpUntil(nullptr, kBrowsePauseMs);

        out.reply.plugin.push_back(pluginReply);
        out.reply.bare.push_back(bareReply);
        AddPair(out.reusedStart, pluginStart, bareStart, out.missedFrames);
        AddPair(out.reusedFrame, pluginFrame, bareFrame, out.missedFrames);
    }
    return true;
}

// The player path changes (letter case only) before each of the plug-in's loads, so that each
// stops the running player and starts another; the bare start uses the same path.
bool MeasureRestarted(ViewerHost& pane, FrameObserver& observer, const std::wstring& mpv, const std::wstring& params,
                      const std::wstring& clip, VideoOutputFigures& out) {
    std::wstring otherCase = mpv;
    otherCase.replace(otherCase.size() - 7, 3, L"MPV");
    RECT client = {};
    GetClientRect(pane.viewer, &client);
    BarePlayer bare(L"TessoravinTestHostPane", client.right, client.bottom);
    FrameObserver bareObserver(bare.PipeName());
    if (!bare.Restart(mpv, params, clip) || bareObserver.WaitFrame(0, NowMs()) < 0) return false;
    PumpUntil(nullptr, kBrowsePauseMs);
    for (int i = 0; i < kRestartedPairs; ++i) {
        const std::wstring& player = i % 2 ? mpv : otherCase;
        UsePlayer(player, params);
        size_t index = observer.Frames();
        double start = NowMs();
        if (pane.Load(clip.c_str()) != 1) return false;
        const double pluginFrame = observer.WaitFrame(index, start);
        PumpUntil(nullptr, kBrowsePauseMs);

        index = bareObserver.Frames();
        start = NowMs();
        if (!bare.Restart(player, params, clip)) return false;
        const double bareFrame = bareObserver.WaitFrame(index, start);
        PumpUntil(nullptr, kBrowsePauseMs);

        AddPair(out.restartedFrame, pluginFrame, bareFrame, out.missedFrames);
    }
    return true;
}

bool MeasureVideoOutput(ViewerHost& pane, const std::wstring& mpv, const std::wstring& params,
                        VideoOutputFigures& out) {
    // Named as the pane's "video" group expects; mpv tells the format by the content.
    const std::wstring clip = PrivateTempFolder() + L"clip.mkv";
    WriteTestClip(clip);
    UsePlayer(mpv, params);
    pane.Clear();
    FrameObserver observer(PipeNameFor(pane.viewer));
    const double start = NowMs();
    bool ok = pane.Load(clip.c_str()) == 1 && observer.WaitFrame(0, start) >= 0;
    PumpUntil(nullptr, kBrowsePauseMs);
    ok = ok && MeasureReused(pane, observer, clip, out) && MeasureRestarted(pane, observer, mpv, params, clip, out);
    pane.Clear();
    return ok;
}

// A target of 0: the row is there to explain another, it has none of its own.
void PrintRow(const char* name, const std::vector<VideoOutputFigures>& figures, Pairs VideoOutputFigures::*pairs,
              double target) {
    std::printf("%-36s", name);
    for (const VideoOutputFigures& f : figures) {
        const Pairs& p = f.*pairs;
        std::printf(" %8.1f %8.1f %6.3f  ", Median(p.plugin), Median(p.bare), Median(p.plugin) / Median(p.bare));
    }
    if (target > 0) std::printf("%5.2f\n", target);
    else std::printf("%5s\n", "-");
}

// One version of mpv with the video outputs it is measured in.
struct Version {
    const char* name;
    const wchar_t* folder;  // below build/third_party
    std::vector<const wchar_t*> outputs;
};

int Run() {
    UsePrivateTempFolder();
    moduleInstance = GetModuleHandleW(nullptr);
    ViewerHost pane;
    // Wine's OpenGL is a software renderer, which gpu-next refuses without --gpu-sw.
    const Version versions[] = {
        {"mpv 0.35.1", L"mpv", {L"", L" --vo=direct3d"}},
        {"mpv 0.40.0", L"mpv-0.40", {L"", L" --vo=direct3d", L" --vo=gpu-next --gpu-sw --gpu-context=win"}},
    };
    std::printf("Real mpv against its floor, pairs alternating plug-in and bare, loads %lu ms apart:\n",
                kBrowsePauseMs);
    for (const Version& version : versions) {
        const std::wstring mpv = fakehost::ProgramFolder() + L"\\..\\..\\third_party\\" + version.folder + L"\\mpv.exe";
        if (!FileExists(mpv)) {
            std::printf("no real mpv at %ls: scripts/build-mpv.sh builds it\n", mpv.c_str());
            return 1;
        }
        std::vector<VideoOutputFigures> figures(version.outputs.size());
        for (size_t i = 0; i < figures.size(); ++i) {
            // --really-quiet: a file manager has no console, but this program's would be mpv's too.
            const std::wstring params = std::wstring(L"--force-window=yes --border=no --ao=null --really-quiet") +
                                        version.outputs[i];
            if (!MeasureVideoOutput(pane, mpv, params, figures[i])) {
                std::printf("a load failed; see %ls\n", (PrivateTempFolder() + L"Tessoravin.log").c_str());
                return 1;
            }
        }
        std::printf("%s%-*s", version.name, static_cast<int>(36 - std::strlen(version.name)), "");
        for (const wchar_t* output : version.outputs) std::printf(" %-26ls ", *output ? output + 1 : L"default output");
        std::printf(" ratio\n%-36s", "medians, ms");
        for (size_t i = 0; i < figures.size(); ++i) std::printf(" %8s %8s %6s  ", "plug-in", "bare", "ratio");
        std::printf("%s\n", "target");
        PrintRow("reused load, to its reply", figures, &VideoOutputFigures::reply, 0);
        PrintRow("reused load, to the first frame", figures, &VideoOutputFigures::reusedFrame, kReusedFrameTarget);
        PrintRow("  of which until mpv starts the file", figures, &VideoOutputFigures::reusedStart, 0);
        PrintRow("restarted load, to the first frame", figures, &VideoOutputFigures::restartedFrame,
                 kRestartedFrameTarget);
        std::printf("  pairs in each output: %d reused, %d restarted; left out for an event not seen:", kReusedPairs,
                    kRestartedPairs);
        for (const VideoOutputFigures& f : figures) std::printf(" %d", f.missedFrames);
        std::printf("; loads meant for reuse that restarted:");
        for (const VideoOutputFigures& f : figures) std::printf(" %d", f.restartedReuses);
        std::printf("\n");
    }
    std::printf(
        "bare reused: the same file to the same mpv over a connection of its own; bare restarted: the same\n"
        "command line started by the bench into a plain window of the viewer's size, after stopping its\n"
        "own previous mpv, as the plug-in's restart stops its previous one\n");
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
