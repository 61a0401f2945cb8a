// The real Tessoravin.dll against the real mpv, 0.35.1 and 0.40.0 (build/third_party/mpv and
// mpv-0.40, built by scripts/build-mpv.sh), configured as a new user would, plus --ao=null
// because Wine here has no audio device. Every case runs for each row of kVariants: 0.35.1 with
// its default video output (under Wine it replaces its window while it falls back to direct3d)
// and with --vo=direct3d (one window); 0.40 with its default output, which is what users run
// (gpu on Direct3D 11, first in mpv's choice on Windows), with direct3d, with gpu and gpu-next
// named on Direct3D 11, with gpu-next on OpenGL, and with Direct3D 11 made to fail so that mpv,
// left to choose its GPU API, goes on to OpenGL. Each row that names an output checks in mpv's own log
// (--log-file, in the test's folder) that mpv took it, so that a silent fallback cannot pass for
// it. Where the world puts DXVK first (the Wine 10 world: scripts/wine-env.sh), Direct3D 11 is DXVK's
// on Vulkan, as a Windows machine's GPU gives it to mpv, except in the rows about Wine's own
// (tests/CMakeLists.txt gives them Wine's DLLs back).
// mpv is started as the file manager starts it: with no standard handles, so that it runs in its
// "pseudo-gui" mode (idle=once, no terminal), as on Windows.
// The cases check windows, sizes, processes and what mpv itself reports on a pipe connection of
// the test's own. Where the screen shows another process's child window (Wine 9 or later), the
// picture entries run the cases that change what the pane shows once more, and read the pane from
// the screen: each clip is one flat colour (MediaColour), which mpv, with --keepaspect=no, spreads
// over its whole window.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <d3dcompiler.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "host/host.h"
#include "media_colour.h"
#include "plugin_dll.h"
#include "test_support.h"
#include "viewer/viewer.h"

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

constexpr auto kSettle = 1500ms;  // mpv has settled on its video output well within this
constexpr auto kWait = 10s;
// A pane showing a clip: at least this share of it in the clip's colour, each channel within the
// tolerance (mpv's outputs convert the colour; its on-screen controller covers a strip).
constexpr double kCovered = 0.9;
// Where the screen shows mpv's frames crossed by lines (Variant::garbledWithoutXRandR), most of the
// pane: still neither the last clip, nor the placeholder, nor black.
constexpr double kMostlyCovered = 0.5;
constexpr int kColourTolerance = 24;

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? full : path;
}
// One version of mpv with one video output; each runs as a ctest entry of its own, side by side.
struct Variant {
    const wchar_t* folder;  // below build/third_party
    const wchar_t* params;
    // The output mpv's log must show it took, as TakenOutput gives it ("gpu/d3d11"), or nullptr.
    const char* takes;
    // A GPU context its log must show it tried first, and left.
    const char* leaves = nullptr;
    // An environment variable (NAME=value) the player inherits for this row.
    const wchar_t* environment = nullptr;
    // On Wine's own Direct3D 11, why mpv shows no frame of the clip although it runs and presents:
    // the row then checks what holds (embedding, reuse, resize, clear), not the picture nor playing
    // a file to its end, and prints this.
    const char* framelessUnderWine = nullptr;
    // Where Wine leaves XRandR out (the Wine 10 world, for DXVK: scripts/wine-env.sh), why the
    // screen does not show mpv's frames whole: the picture entry then asks the clip to cover most
    // of the pane (kMostlyCovered), not all of it, and prints this.
    const char* garbledWithoutXRandR = nullptr;
};
constexpr Variant kVariants[] = {
    {L"mpv", L"", nullptr},
    {L"mpv", L" --vo=direct3d", "direct3d"},
    {L"mpv-0.40", L"", "gpu/d3d11"},
    {L"mpv-0.40", L" --vo=direct3d", "direct3d"},
    // Wine's OpenGL is a software renderer, which gpu and gpu-next refuse without --gpu-sw.
    {L"mpv-0.40", L" --vo=gpu-next --gpu-sw --gpu-context=win", "gpu-next/win"},
    {L"mpv-0.40", L" --vo=gpu --gpu-api=d3d11", "gpu/d3d11"},
    {L"mpv-0.40", L" --vo=gpu-next --gpu-api=d3d11", "gpu-next/d3d11", nullptr, nullptr,
     "libplacebo uploads no frame on Wine's own Direct3D 11, whose formats lack typed storage (mpv's log: \"Validation "
     "failed: !params->storable || (fmt->caps & PL_FMT_CAP_TEXEL_STORAGE)\", \"Failed uploading frame!\"); the "
     "pane shows one colour, (128,0,255), and mpv may end after the clip's end. gpu on Direct3D 11 shows the clip "
     "in the same child window"},
    // Direct3D 11 made to fail: Wine's adapter without 3D (no3d) gives mpv no device, and mpv,
    // choosing the GPU API itself, goes on to OpenGL: also the row of gpu on OpenGL.
    {L"mpv-0.40", L" --vo=gpu --gpu-sw", "gpu/win", "d3d11", L"WINE_D3D_CONFIG=renderer=no3d", nullptr,
     "with XRandR left out, the screen shows gpu's OpenGL frames crossed by sheared black lines in about one run of "
     "four (a share of 0.69 to 0.90 of the pane; none in six runs with XRandR); gpu-next on OpenGL shows them whole"},
};

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Whether Wine leaves XRandR out here: it then reports a refresh rate, where Xvfb's XRandR gives 0 Hz.
bool XRandROff() {
    wchar_t value[8] = {};
    DWORD size = sizeof value;
    return UnderWine() &&
           RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"UseXRandR", RRF_RT_REG_SZ, nullptr, value,
                        &size) == ERROR_SUCCESS &&
           (value[0] == L'N' || value[0] == L'n');
}

// Whether Direct3D 11 is DXVK's here, not Wine's own: the world then names DXVK's d3d11 and dxgi
// first in WINEDLLOVERRIDES, in the environment the test programs start with, which mpv inherits.
bool Direct3D11IsDxvk() {
    wchar_t overrides[512] = {};
    const DWORD n = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
    return UnderWine() && n > 0 && n < 512 && std::wstring(overrides).find(L"d3d11,dxgi=n") != std::wstring::npos;
}

// Why mpv's Direct3D 11 cannot start here, or empty. mpv hands its shaders, as HLSL, to D3DCompile
// (d3dcompiler_47.dll) before it makes its window; where that fails (Debian's Wine 8: mpv's log says
// "Failed to compile clear() pixel shader") it leaves Direct3D 11. Tried here on that same shader,
// as mpv compiles it for feature level 11.
std::string Direct3D11Unusable() {
    const HMODULE compiler = LoadLibraryW(L"d3dcompiler_47.dll");
    if (!compiler) return "there is no d3dcompiler_47.dll";
    const auto compile = reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(GetProcAddress(compiler, "D3DCompile")));
    static constexpr char kClear[] =
        "cbuffer ps_cbuf : register(b0) { float4 color : packoffset(c0); }\n"
        "float4 main(float4 pos : SV_Position) : SV_Target { return color; }\n";
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    const HRESULT hr = compile ? compile(kClear, sizeof kClear, nullptr, nullptr, nullptr, "main", "ps_5_0",
                                         D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors)
                               : E_NOINTERFACE;
    if (code) code->Release();
    if (errors) errors->Release();
    FreeLibrary(compiler);
    if (SUCCEEDED(hr)) return "";
    char why[160];
    snprintf(why, sizeof why, "D3DCompile here fails on mpv's first shader, its clear() (0x%08lX)",
             static_cast<unsigned long>(hr));
    return why;
}

std::wstring RealMpv(const Variant& variant) {
    return FullPath(fakehost::ProgramFolder() + L"\\..\\..\\..\\third_party\\" + variant.folder + L"\\mpv.exe");
}
std::wstring Launcher() { return fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe"; }

// A JSON string as mpv writes it, decoded (mpv escapes only quotes, backslashes and control bytes).
std::string JsonStringAt(const std::string& line, size_t open) {
    std::string text;
    for (size_t i = open + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        text += line[i];
    }
    return text;
}

// What mpv's log (--log-file) says it took: the video output that showed the file, and for gpu
// and gpu-next the GPU context it kept, as "gpu/d3d11" or "direct3d"; empty before the output
// showed anything. Each context's start is logged under the output's tag ("[vo/gpu/d3d11]
// Initializing GPU context 'd3d11'") and mpv tries the next only when one fails, so the last
// such line of that output before "VO: [gpu]" names the one it kept.
std::string TakenOutput(const std::string& log) {
    const size_t shown = log.find("VO: [");
    if (shown == std::string::npos) return "";
    const std::string output = log.substr(shown + 5, log.find(']', shown) - shown - 5);
    const std::string tag = "[vo/" + output + "/", start = "Initializing GPU context '";
    std::string context;
    for (size_t line = 0; line < shown;) {
        const size_t end = std::min(log.find('\n', line), shown);
        const std::string text = log.substr(line, end - line);
        const size_t name = text.find(start);
        if (text.find(tag) != std::string::npos && name != std::string::npos)
            context = text.substr(name + start.size(), text.find('\'', name + start.size()) - name - start.size());
        line = end + 1;
    }
    return context.empty() ? output : output + "/" + context;
}
// The rest of the first line of mpv's log that holds the text, or empty.
std::string LogText(const std::string& log, const std::string& text) {
    const size_t at = log.find(text);
    return at == std::string::npos ? "" : log.substr(at + text.size(), log.find('\n', at) - at - text.size());
}
// The lines of mpv's log that say why a GPU context was left: each context it started, and its
// outputs' warnings and errors; the first eight.
std::string WhyLeft(const std::string& log) {
    std::string why;
    for (size_t line = 0, shown = 0; line < log.size() && shown < 8;) {
        const size_t end = std::min(log.find('\n', line), log.size());
        const std::string text = log.substr(line, end - line);
        if ((text.find("[e][vo/") != std::string::npos || text.find("[f][vo/") != std::string::npos ||
             text.find("[w][vo/") != std::string::npos || text.find("GPU context '") != std::string::npos)) {
            why += "\n    " + text;
            ++shown;
        }
        line = end + 1;
    }
    return why;
}

// Asks mpv for a property on a connection of the test's own, as a second client beside the
// plug-in's; empty when mpv has no value for it (an error reply) or does not answer within kWait.
std::wstring MpvProperty(HWND viewer, const char* name) {
    const std::wstring pipeName = L"\\\\.\\pipe\\dopus_mpv_" + std::to_wstring(reinterpret_cast<uintptr_t>(viewer));
    HANDLE pipe = CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeW(pipeName.c_str(), 5000))
        pipe = CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return L"";
    const std::string command = std::string("{\"command\":[\"get_property\",\"") + name + "\"],\"request_id\":77}\n";
    DWORD done = 0;
    WriteFile(pipe, command.data(), static_cast<DWORD>(command.size()), &done, nullptr);
    std::string received, value;
    bool answered = false;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!answered && GetTickCount64() < deadline) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) {
            // mpv's window, a child of the pane, may be waiting on this thread meanwhile.
            PumpMessages();
            Sleep(5);
            continue;
        }
        std::string piece(available, '\0');
        if (!ReadFile(pipe, piece.data(), available, &done, nullptr)) break;
        received.append(piece, 0, done);
        for (size_t end; !answered && (end = received.find('\n')) != std::string::npos; received.erase(0, end + 1)) {
            const std::string line = received.substr(0, end);
            const size_t data = line.find("\"data\":");
            if (line.find("\"request_id\":77") == std::string::npos) continue;
            answered = true;
            if (data == std::string::npos) continue;
            value = line[data + 7] == '"' ? JsonStringAt(line, data + 7)
                                          : line.substr(data + 7, line.find_first_of(",}", data + 7) - data - 7);
        }
    }
    CloseHandle(pipe);
    return Utf8ToWide(value);
}

// What the test sees of the embedded player: its one window of class "mpv" and its process.
struct Seen {
    HWND window = nullptr;
    DWORD pid = 0;
};
Seen PlayerIn(HWND viewer) {
    Seen seen;
    seen.window = FindWindowExW(viewer, nullptr, L"mpv", nullptr);
    if (seen.window) GetWindowThreadProcessId(seen.window, &seen.pid);
    return seen;
}
bool Fits(HWND viewer, HWND child, int width, int height) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, viewer, reinterpret_cast<POINT*>(&rect), 2);
    const RECT expected = {0, 0, width, height};
    return EqualRect(&rect, &expected) != FALSE;
}
// Embedded as a user needs it: the only "mpv" child, enabled (input reaches mpv), visible, at the
// origin with the viewer's size.
bool Embedded(HWND viewer) {
    const Seen seen = PlayerIn(viewer);
    RECT client = {};
    GetClientRect(viewer, &client);
    return seen.window && !FindWindowExW(viewer, seen.window, L"mpv", nullptr) && IsWindowEnabled(seen.window) &&
           IsWindowVisible(seen.window) && Fits(viewer, seen.window, client.right, client.bottom);
}

// The row's output, as mpv's log tells it. Where Direct3D 11 cannot start (noDirect3D11 says why),
// a row whose output is mpv's own choice checks instead that mpv tried it and left it.
void ExpectOutput(const Variant& variant, const std::string& log, const std::string& noDirect3D11) {
    const bool onDirect3D11 = variant.takes && std::string(variant.takes).ends_with("/d3d11");
    if (onDirect3D11 && !noDirect3D11.empty()) {
        std::cout << "[   NOTE   ] mpv left Direct3D 11 and ended on " << TakenOutput(log) << ", as " << noDirect3D11
                  << ":" << WhyLeft(log) << std::endl;
        EXPECT_NE(log.find("Initializing GPU context 'd3d11'"), std::string::npos) << WhyLeft(log);
        EXPECT_FALSE(TakenOutput(log).ends_with("/d3d11")) << WhyLeft(log);
        return;
    }
    if (variant.takes) {
        EXPECT_EQ(TakenOutput(log), variant.takes) << WhyLeft(log);
    }
    if (onDirect3D11)
        std::cout << "[   NOTE   ] Direct3D 11 " << (Direct3D11IsDxvk() ? "(DXVK)" : "(Wine's own)") << ": "
                  << LogText(log, "Using Direct3D 11 feature level ") << ", " << LogText(log, "Device Name: ")
                  << std::endl;
    if (variant.leaves) {
        const std::string tried = std::string("Initializing GPU context '") + variant.leaves + "'";
        EXPECT_NE(log.find(tried), std::string::npos) << WhyLeft(log);
    }
}

// The clip scripts/viewer-screenshot.sh has the picture taken of, or empty.
std::wstring ScreenshotClip() {
    wchar_t clip[MAX_PATH] = {};
    return GetEnvironmentVariableW(L"TESSORAVIN_SCREENSHOT_CLIP", clip, MAX_PATH) ? clip : L"";
}

// A plain file list in the left part of the window, as a lister shows one beside its viewer pane.
constexpr int kFileListWidth = 300;
HWND AddFileList(HWND window, int width, int height) {
    const HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0,
                                      0, width, height, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const std::pair<const wchar_t*, int> columns[] = {{L"Name", 170}, {L"Size", 60}, {L"Type", 66}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = columns[i].second;
        column.pszText = const_cast<wchar_t*>(columns[i].first);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    const wchar_t* const files[][3] = {
        {L"Concert.flac", L"28.4 MB", L"FLAC"}, {L"Holiday 2026.mkv", L"1.2 GB", L"MKV"},
        {L"Interview.mp4", L"312 MB", L"MP4"},  {L"Test pattern.avi", L"9.6 MB", L"AVI"},
        {L"Voice memo.m4a", L"2.1 MB", L"M4A"}, {L"Notes.txt", L"4 KB", L"Text"},
    };
    for (int row = 0; row < static_cast<int>(std::size(files)); ++row) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        for (int column = 0; column < 3; ++column) {
            item.iSubItem = column;
            item.pszText = const_cast<wchar_t*>(files[row][column]);
            SendMessageW(list, column ? LVM_SETITEMTEXTW : LVM_INSERTITEMW, column ? row : 0,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    LVITEMW selected = {};
    selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&selected));
    return list;
}

class PlayerPane {
public:
    PlayerPane(const std::wstring& extraParams, const std::wstring& player, bool readPictures = false)
        : pictures(readPictures), folder_(MakeTestFolder(L"media")) {
        fakehost::SetValue(L"mappings", L"video\tavi\t" + player + L"\naudio\twav\t" + player);
        fakehost::SetValue(L"mpvParams", L"--force-window=yes --border=no --ao=null --log-file=\"" + MpvLog() + L"\"" +
                                             extraParams + (pictures ? L" --keepaspect=no" : L""));
        dll_ = PluginDll::Load();
        // For scripts/viewer-screenshot.sh the pane stands beside a file list, as in a lister.
        const int list = pictures && !ScreenshotClip().empty() ? kFileListWidth : 0;
        pane_ = CreatePane(list + 640, 360, pictures);
        if (list) {
            // The viewer stays where the picture entries read the screen; the list goes left of it.
            SetWindowPos(pane_, nullptr, kScreenReadingOrigin.x - list, kScreenReadingOrigin.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            fileList_ = AddFileList(pane_, list, 360);
        }
        const RECT area = {list, 0, list + 640, 360};
        viewer = dll_.CreateViewer ? dll_.CreateViewer(pane_, &area, 0) : nullptr;
    }
    ~PlayerPane() {
        if (IsWindow(pane_)) DestroyWindow(pane_);
    }
    PlayerPane(const PlayerPane&) = delete;
    PlayerPane& operator=(const PlayerPane&) = delete;

    std::wstring Clip(const std::wstring& name) {
        const std::wstring path = folder_ + name;
        if (!FileExists(path)) name.ends_with(L".wav") ? WriteTestTone(path) : WriteTestClip(path);
        return path;
    }
    // A file with a media name that no demuxer takes.
    std::wstring Unplayable(const std::wstring& name) {
        const std::wstring path = folder_ + name;
        WriteFileBytes(path, std::string(4096, 'x'));
        return path;
    }
    LRESULT Load(const std::wstring& path) const {
        return SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(path.c_str()));
    }
    // Loads, gives mpv time to settle and checks that it is embedded and playing the file; in the
    // picture entries also that the pane shows it within the time.
    void LoadAndCheck(const std::wstring& path, const char* step, std::chrono::milliseconds within = kWait) const {
        ASSERT_EQ(Load(path), 1) << step;
        EXPECT_TRUE(Shows(path, within)) << step << ": " << ShareOf(path);
        // mpv has settled once it plays the file on an output it has configured: a probe that failed,
        // and the window it made, came before. A file without video may take the whole kSettle.
        // Asked every 100 ms, no more: each question is a connection of its own, where the plug-in
        // makes one per file, and mpv 0.40 has been seen to crash with connections coming and going.
        for (const auto end = std::chrono::steady_clock::now() + kSettle; std::chrono::steady_clock::now() < end;
             WaitUntil([] { return false; }, 100ms)) {
            if (MpvProperty(viewer, "path") == path && MpvProperty(viewer, "vo-configured") == L"true") break;
        }
        EXPECT_TRUE(WaitUntil([&] { return Embedded(viewer); }, kWait)) << step;
        EXPECT_EQ(MpvProperty(viewer, "path"), path) << step;
    }
    bool Ended(DWORD pid) const { return !ProcessExists(pid) && !FindWindowExW(viewer, nullptr, L"mpv", nullptr); }
    // The share of the pane the screen shows in the clip's colour; 0 outside the picture entries.
    double ShareOf(const std::wstring& clip) const {
        return pictures ? ShareOfColour(ClientPixels(viewer, true), MediaColour(clip), kColourTolerance) : 0;
    }
    // In the picture entries: whether the clip covers the pane, or none of it is left, within the
    // time. Elsewhere true.
    bool Shows(const std::wstring& clip, std::chrono::milliseconds within = kWait) const {
        return !pictures || !judgeShown || WaitUntil([&] { return ShareOf(clip) >= covered; }, within);
    }
    bool Gone(const std::wstring& clip) const {
        return !pictures || WaitUntil([&] { return ShareOf(clip) == 0; }, kWait);
    }
    // mpv's own log of this pane's player (each new player starts it anew).
    std::wstring MpvLog() const { return folder_ + L"\\mpv.log"; }
    // For scripts/viewer-screenshot.sh: plays the clip it is given (a moving test pattern) until mpv
    // is a few seconds into it, so that the pattern's counter has moved, by mpv's own clock: its
    // first frame may take seconds under Wine. Asked every 100 ms, as the settle asks. The file list
    // then has the focus, so that its selection shows as a lister's does beside its viewer.
    void HoldForScreenshot() const {
        if (!pictures || ScreenshotClip().empty()) return;
        EXPECT_EQ(Load(ScreenshotClip()), 1);
        for (const auto end = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < end;
             WaitUntil([] { return false; }, 100ms)) {
            if (std::wcstod(MpvProperty(viewer, "time-pos").c_str(), nullptr) >= 3) break;
        }
        SetFocus(fileList_);
        HoldForScreenshotIfAsked(pane_);
    }

    const bool pictures;
    bool judgeShown = true;     // whether Shows judges the picture (Variant::framelessUnderWine)
    double covered = kCovered;  // the share Shows asks of the clip (Variant::garbledWithoutXRandR)
    HWND viewer = nullptr;

private:
    std::wstring folder_;
    PluginDll dll_;
    HWND pane_ = nullptr;
    HWND fileList_ = nullptr;  // only for scripts/viewer-screenshot.sh
};

// Sets an environment variable (NAME=value) for as long as it lives.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const wchar_t* assignment) {
        if (!assignment) return;
        const std::wstring text = assignment;
        name_ = text.substr(0, text.find(L'='));
        SetEnvironmentVariableW(name_.c_str(), text.substr(name_.size() + 1).c_str());
    }
    ~ScopedEnvironment() {
        if (!name_.empty()) SetEnvironmentVariableW(name_.c_str(), nullptr);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
};

void RunRealPlayerCases(const Variant& variant, bool pictures = false) {
    if (const std::string why = PictureUnreadable(); pictures && !why.empty()) GTEST_SKIP() << why;
    const std::wstring mpv = RealMpv(variant), vo = variant.params;
    ASSERT_TRUE(FileExists(mpv)) << "no real mpv: scripts/build-mpv.sh builds it (make test runs it)";
    // A row that names Direct3D 11 cannot run where it cannot start: mpv then ends at once.
    const std::string noDirect3D11 = Direct3D11Unusable();
    if (vo.find(L"--gpu-api=d3d11") != std::wstring::npos && !noDirect3D11.empty())
        GTEST_SKIP() << "mpv cannot start Direct3D 11 here: " << noDirect3D11;
    const bool framesShown = !(variant.framelessUnderWine && UnderWine() && !Direct3D11IsDxvk());
    if (!framesShown) std::cout << "[   NOTE   ] no frames to judge: " << variant.framelessUnderWine << std::endl;
    const bool garbled = pictures && variant.garbledWithoutXRandR && XRandROff();
    if (framesShown && garbled)
        std::cout << "[   NOTE   ] the clip need cover only most of the pane: " << variant.garbledWithoutXRandR
                  << std::endl;
    if (variant.environment && !UnderWine()) GTEST_SKIP() << "the adapter without 3D is Wine's";
    const ScopedEnvironment environment(variant.environment);
    // Directory Opus, a GUI program, has no standard handles, nor then has mpv; the test's console
    // handles would keep mpv out of the mode it runs in for users. The C runtime keeps its own.
    for (const DWORD handle : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) SetStdHandle(handle, nullptr);
    const struct {
        const char* name;
        bool picture;  // changes what the pane shows: run again in the picture entries
        std::function<void(PlayerPane&)> run;
        bool framesNeeded = false;  // plays a clip through to its end
    } cases[] = {
        {"first load embeds, next files go over the pipe", true,
         [](PlayerPane& p) {
             p.LoadAndCheck(p.Clip(L"one.avi"), "first");
             p.HoldForScreenshot();
             EXPECT_EQ(MpvProperty(p.viewer, "options/player-operation-mode"), L"pseudo-gui");
             const DWORD pid = PlayerIn(p.viewer).pid;
             p.LoadAndCheck(p.Clip(L"two.avi"), "second", 1s);
             p.LoadAndCheck(p.Clip(L"three.avi"), "third", 1s);
             EXPECT_EQ(PlayerIn(p.viewer).pid, pid);
             EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW OK"), 1);
         }},
        {"a resize and the host's resize message fit mpv's window", true,
         [](PlayerPane& p) {
             const std::wstring clip = p.Clip(L"one.avi");
             p.LoadAndCheck(clip, "load");
             MoveWindow(p.viewer, 0, 0, 400, 300, TRUE);
             EXPECT_TRUE(WaitUntil([&] { return Fits(p.viewer, PlayerIn(p.viewer).window, 400, 300); }, kWait));
             EXPECT_TRUE(p.Shows(clip)) << p.ShareOf(clip);
             SendMessageW(p.viewer, kHostMsgResize, 0, MAKELPARAM(320, 200));
             EXPECT_TRUE(WaitUntil([&] { return Fits(p.viewer, PlayerIn(p.viewer).window, 320, 200); }, kWait));
         }},
        {"non-ASCII paths reach mpv exactly, by start and by pipe", false,
         [](PlayerPane& p) {
             p.LoadAndCheck(p.Clip(L"Fr\u00e8re \u97f3 'a'.avi"), "start");
             p.LoadAndCheck(p.Clip(L"\u00fcber \u6620\u50cf.avi"), "pipe");
             EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW OK"), 1);
         }},
        {"an audio-only file shows mpv's window", false,
         [](PlayerPane& p) { p.LoadAndCheck(p.Clip(L"tone.wav"), "audio"); }},
        {"clear and destroy end mpv and leave no mpv window, nor its picture", true,
         [](PlayerPane& p) {
             const std::wstring clip = p.Clip(L"one.avi");
             p.LoadAndCheck(clip, "load");
             DWORD pid = PlayerIn(p.viewer).pid;
             SendMessageW(p.viewer, DVPLUGINMSG_CLEAR, 0, 0);
             EXPECT_TRUE(p.Ended(pid));
             EXPECT_TRUE(p.Gone(clip)) << p.ShareOf(clip);
             p.LoadAndCheck(p.Clip(L"two.avi"), "after the clear");
             pid = PlayerIn(p.viewer).pid;
             DestroyWindow(p.viewer);
             EXPECT_FALSE(ProcessExists(pid));
         }},
        {"a file played to its end is kept open and the next goes over the pipe", false,
         [](PlayerPane& p) {
             p.LoadAndCheck(p.Clip(L"one.avi"), "load");
             EXPECT_TRUE(WaitUntil([&] { return MpvProperty(p.viewer, "eof-reached") == L"true"; }, kWait));
             p.LoadAndCheck(p.Clip(L"two.avi"), "next");
             EXPECT_EQ(CountLogLines(L"[LaunchAndEmbed] CreateProcessW OK"), 1);
         },
         true},
        {"a file mpv cannot open leaves no last picture, and the next file shows", true,
         [](PlayerPane& p) {
             const std::wstring clip = p.Clip(L"one.avi");
             p.LoadAndCheck(clip, "first");
             const DWORD pid = PlayerIn(p.viewer).pid;
             EXPECT_EQ(p.Load(p.Unplayable(L"broken.avi")), 1);  // mpv takes it on: it fails later
             // With idle=once mpv ends once its playlist is empty; it may also stay, idle.
             EXPECT_TRUE(WaitUntil(
                 [&] { return !ProcessExists(pid) || MpvProperty(p.viewer, "idle-active") == L"true"; }, kWait));
             if (!ProcessExists(pid)) {
                 // Where its window was, nothing: not its last picture, nor the old placeholder.
                 EXPECT_TRUE(p.Gone(clip)) << p.ShareOf(clip);
                 EXPECT_TRUE(WaitUntil(
                     [&] {
                         const RECT shown = BoundsNotOfColour(p.viewer, kPaneColour);
                         return IsRectEmpty(&shown) != FALSE;
                     },
                     kWait));
             }
             p.LoadAndCheck(p.Clip(L"two.avi"), "next");
         }},
        {"focusing the viewer puts the focus on mpv's window", false,
         [](PlayerPane& p) {
             p.LoadAndCheck(p.Clip(L"one.avi"), "load");
             SetFocus(p.viewer);
             const HWND window = PlayerIn(p.viewer).window;
             EXPECT_TRUE(WaitUntil(
                 [&] { return GuiInfo(GetWindowThreadProcessId(window, nullptr)).hwndFocus == window; }, kWait));
         }},
    };
    for (const auto& c : cases) {
        if ((pictures && !c.picture) || (c.framesNeeded && !framesShown)) continue;
        SCOPED_TRACE(c.name);
        DeleteLog();
        PlayerPane player(vo, mpv, pictures);
        ASSERT_NE(player.viewer, nullptr);
        player.judgeShown = framesShown;
        player.covered = garbled ? kMostlyCovered : kCovered;
        c.run(player);
        if (&c != &cases[0]) continue;
        ExpectOutput(variant, ReadFileBytes(player.MpvLog()), noDirect3D11);
        if (pictures)
            std::cout << "[   NOTE   ] share of the pane in the clip's colour: "
                      << player.ShareOf(player.Clip(L"three.avi")) << std::endl;
    }
    if (pictures) return;

    SCOPED_TRACE("with --keep-open=no mpv exits at the end, and the next load embeds a new one");
    // Where mpv uploads no frame, when it reaches the clip's end, if it does, is not its to say.
    if (framesShown) {
        PlayerPane player(vo + L" --keep-open=no", mpv);
        // The clip lasts a second: it ends, and mpv with it, well within kWait of the load.
        ASSERT_EQ(player.Load(player.Clip(L"one.avi")), 1);
        ASSERT_TRUE(WaitUntil([&] { return Embedded(player.viewer); }, kWait));
        const DWORD pid = PlayerIn(player.viewer).pid;
        EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(pid); }, kWait));
        ASSERT_EQ(player.Load(player.Clip(L"two.avi")), 1);
        EXPECT_TRUE(WaitUntil([&] { return Embedded(player.viewer) && PlayerIn(player.viewer).pid != pid; }, kWait));
    }

    SCOPED_TRACE("the player path is a launcher that starts mpv as its child");
    SetEnvironmentVariableW(L"STANDIN_MODE", L"launcher");
    SetEnvironmentVariableW(L"STANDIN_LAUNCH", mpv.c_str());
    {
        DeleteLog();
        PlayerPane player(vo, Launcher());
        player.LoadAndCheck(player.Clip(L"one.avi"), "first");
        const Seen mpv = PlayerIn(player.viewer);
        const std::vector<DWORD> launchers = ChildProcesses(L"mpv.exe");
        ASSERT_EQ(launchers.size(), 1u);
        EXPECT_NE(launchers[0], mpv.pid);  // mpv is the launcher's child
        player.LoadAndCheck(player.Clip(L"two.avi"), "over the pipe");
        EXPECT_EQ(PlayerIn(player.viewer).pid, mpv.pid);
        SendMessageW(player.viewer, DVPLUGINMSG_CLEAR, 0, 0);
        EXPECT_TRUE(player.Ended(mpv.pid));
    }
    SetEnvironmentVariableW(L"STANDIN_MODE", nullptr);
}

TEST(RealPlayer, Mpv035WithItsDefaultVideoOutput) { RunRealPlayerCases(kVariants[0]); }
TEST(RealPlayer, Mpv035WithDirect3D) { RunRealPlayerCases(kVariants[1]); }
TEST(RealPlayer, Mpv040WithItsDefaultVideoOutput) { RunRealPlayerCases(kVariants[2]); }
TEST(RealPlayer, Mpv040WithDirect3D) { RunRealPlayerCases(kVariants[3]); }
TEST(RealPlayer, Mpv040WithGpuNext) { RunRealPlayerCases(kVariants[4]); }
TEST(RealPlayer, Mpv040WithGpuOnD3D11) { RunRealPlayerCases(kVariants[5]); }
TEST(RealPlayer, Mpv040WithGpuNextOnD3D11) { RunRealPlayerCases(kVariants[6]); }
TEST(RealPlayer, Mpv040FallingBackFromD3D11) { RunRealPlayerCases(kVariants[7]); }
TEST(RealPlayerPicture, Mpv035WithItsDefaultVideoOutput) { RunRealPlayerCases(kVariants[0], true); }
TEST(RealPlayerPicture, Mpv035WithDirect3D) { RunRealPlayerCases(kVariants[1], true); }
TEST(RealPlayerPicture, Mpv040WithItsDefaultVideoOutput) { RunRealPlayerCases(kVariants[2], true); }
TEST(RealPlayerPicture, Mpv040WithDirect3D) { RunRealPlayerCases(kVariants[3], true); }
TEST(RealPlayerPicture, Mpv040WithGpuNext) { RunRealPlayerCases(kVariants[4], true); }
TEST(RealPlayerPicture, Mpv040WithGpuOnD3D11) { RunRealPlayerCases(kVariants[5], true); }
TEST(RealPlayerPicture, Mpv040WithGpuNextOnD3D11) { RunRealPlayerCases(kVariants[6], true); }
TEST(RealPlayerPicture, Mpv040FallingBackFromD3D11) { RunRealPlayerCases(kVariants[7], true); }

}  // namespace
