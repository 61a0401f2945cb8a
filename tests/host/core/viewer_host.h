#pragma once
// A host pane with a viewer window in it, made as Directory Opus makes them, and the stand-in
// player (viewers\mpv\mpv.exe next to this dopus.exe) configured for "video" (mkv, mp4) and
// "audio" (mp3). The player records its command line and what it reads from its pipe.
#include <windows.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "common/handle.h"
#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "fake_host.h"
#include "host/host.h"
#include "media_colour.h"
#include "printers.h"
#include "test_support.h"
#include "viewer/viewer.h"
#include "viewer/viewer_internal.h"
#include "viewer/viewer_test_hooks.h"

namespace viewertest {
using namespace testsupport;

inline constexpr std::chrono::milliseconds kPlayerWait{10000};

inline std::wstring PlayerPath() { return fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe"; }
inline void UsePlayer(const std::wstring& player, const std::wstring& params = L"") {
    ApplyConfig({{L"video", L"mkv;mp4", player}, {L"audio", L"mp3", player}}, params);
}
inline void SetPlayerMode(const wchar_t* mode) { SetEnvironmentVariableW(L"STANDIN_MODE", mode); }
inline std::wstring CommandLineFile() { return PrivateTempFolder() + L"standin-cmdline.bin"; }
inline std::wstring PipeLogFile() { return PrivateTempFolder() + L"standin-pipe.log"; }
inline std::wstring NotesFile() { return PrivateTempFolder() + L"standin-notes.txt"; }
inline int RunningPlayers() { return CountChildProcesses(L"mpv.exe"); }
// The command line the last player started was given.
inline std::wstring PlayerCommandLine() {
    const std::string bytes = ReadFileBytes(CommandLineFile());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

// The player's window in the viewer's client coordinates, and whether that is the client area.
inline RECT ChildRect(HWND viewer, HWND child) {
    RECT rc = {};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, viewer, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}
inline bool RectIs(const RECT& rc, const RECT& expected) { return EqualRect(&rc, &expected) != FALSE; }
inline bool Fills(HWND viewer, HWND child) {
    RECT client = {};
    GetClientRect(viewer, &client);
    return RectIs(ChildRect(viewer, child), client);
}
// Returns once the plug-in's workers have made their calls on the player's window and the
// player's window thread has taken what was sent to it before (a show is posted).
inline void SettlePlayer(HWND child) {
    WaitUntil([child] { return !PlayerWindowCallsPending(child); }, kPlayerWait);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(child, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

// A count once it has held still for 100 ms, this thread's messages pumped meanwhile: the
// plug-in's workers and watches may still be ending with their own handles and threads, and a
// thread's end may wait for a message this one sends.
inline DWORD Settled(DWORD (*count)()) {
    DWORD now = count();
    for (int i = 0; i < 50; ++i) {
        WaitUntil([] { return false; }, std::chrono::milliseconds(100));
        if (const DWORD again = std::exchange(now, count()); again == now) break;
    }
    return now;
}

// A second host thread for a test, made with CreateThread rather than std::thread: winpthreads
// takes one process-wide mutex as each of its threads starts and ends, and makes that mutex's wait
// event the first time two threads meet there, for good, which a count of handles would take for
// a leak of the plug-in's. Joined at the latest when it goes.
class HostThread {
public:
    explicit HostThread(std::function<void()> body)
        : body_(std::move(body)), thread_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
    ~HostThread() { Join(); }
    HostThread(const HostThread&) = delete;
    HostThread& operator=(const HostThread&) = delete;
    void Join() {
        if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Close();
    }

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<HostThread*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    UniqueHandle thread_;
};

// The handles, threads and GDI objects the test can count, taken once what the system makes once
// has been made: after a first player, and after a thread of the test's own has come and gone.
struct ThreadsAndHandles {
    ThreadsAndHandles() {
        HostThread([] {}).Join();
        handles = Settled(OpenHandleCount);
        threads = Settled(ThreadCount);
        gdi = Settled(GdiObjectCount);
        starts = ThreadStarts();
        types = HandleTypes();
    }
    DWORD handles = 0, threads = 0, gdi = 0;
    std::map<DWORD, std::string> starts;
    std::map<HANDLE, std::string> types;
};

// The counts are back where they were; a leftover thread is named by where it started, a leftover
// handle by its type. Threads first: GoogleTest starts a thread of its own at a test's first
// failure.
inline void ExpectBackTo(const ThreadsAndHandles& before) {
    const DWORD threads = Settled(ThreadCount), handles = Settled(OpenHandleCount);
    std::ostringstream started, opened;
    for (const auto& [id, start] : ThreadStarts())
        if (!before.starts.contains(id)) started << " " << id << " at " << start;
    for (const auto& [handle, type] : HandleTypes())
        if (!before.types.contains(handle)) opened << " " << handle << " " << type;
    EXPECT_EQ(threads, before.threads) << "threads started since:" << started.str();
    EXPECT_EQ(handles, before.handles) << "handles opened since:" << opened.str();
    EXPECT_EQ(Settled(GdiObjectCount), before.gdi);
}

// The frame stays hidden unless asked: under Wine without a window manager, destroying a frame
// that was ever on screen waits two seconds for the X server. It has no border or caption: Wine
// 10 draws a Direct3D or OpenGL child of another process shifted by its top level's frame. A case
// that reads the screen asks for its frame on top, where no other test's window is.
inline constexpr bool kReadsTheScreen = true;
struct ViewerHost {
    explicit ViewerHost(bool shown = false, bool readsTheScreen = false) {
        SetEnvironmentVariableW(L"STANDIN_CMDLINE_FILE", CommandLineFile().c_str());
        SetEnvironmentVariableW(L"STANDIN_PIPE_LOG", PipeLogFile().c_str());
        SetEnvironmentVariableW(L"STANDIN_NOTES_FILE", NotesFile().c_str());
        UsePlayer(PlayerPath());
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"TessoravinTestHostPane";
        RegisterClassExW(&wc);
        if (RegisterViewerClass(wc.hInstance))
            host = CreateWindowExW(
                readsTheScreen ? WS_EX_TOPMOST : 0, wc.lpszClassName, L"Tessoravin test host",
                WS_POPUP | WS_CLIPCHILDREN | (shown ? WS_VISIBLE : 0), readsTheScreen ? kScreenReadingOrigin.x : 40,
                readsTheScreen ? kScreenReadingOrigin.y : 40, 640, 400, nullptr, nullptr, wc.hInstance, nullptr);
        viewer = AddViewer();
    }
    ~ViewerHost() { DestroyWindow(host); }
    ViewerHost(const ViewerHost&) = delete;
    ViewerHost& operator=(const ViewerHost&) = delete;

    HWND AddViewer() const {
        RECT rc = {};
        GetClientRect(host, &rc);
        return CreateWindowExW(0, kViewerClassName, L"", 0x56010000, 0, 0, rc.right, rc.bottom, host, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    ViewerWindowState* State(HWND v = nullptr) const { return ViewerStateOf(v ? v : viewer); }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND v = nullptr) const {
        return SendMessageW(v ? v : viewer, msg, wParam, lParam);
    }
    LRESULT Load(const wchar_t* path, HWND v = nullptr) const {
        return Send(DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(path), v);
    }
    LRESULT Clear() const { return Send(DVPLUGINMSG_CLEAR); }

    HWND host = nullptr, viewer = nullptr;
};

}  // namespace viewertest
