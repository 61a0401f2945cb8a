#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <string>
#include <thread>

#include "fake_host.h"
#include "host/host.h"
#include "plugin_dll.h"
#include "test_support.h"

using namespace testsupport;

namespace {

RECT ClientRectIn(HWND window, HWND parent) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(CreateViewer, NullRectangleFillsTheParentsClientArea) {
    const PluginDll dll = PluginDll::Load();
    ASSERT_NE(dll.CreateViewer, nullptr);
    HWND pane = CreatePane(640, 360);
    HWND viewer = dll.CreateViewer(pane, nullptr, 0x1234);
    ASSERT_NE(viewer, nullptr);
    const RECT placed = ClientRectIn(viewer, pane);
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
    EXPECT_EQ(placed.right, 640);
    EXPECT_EQ(placed.bottom, 360);
    EXPECT_EQ(GetParent(viewer), pane);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(viewer, GWL_STYLE)), 0x56010000u);
    EXPECT_EQ(GetWindowLongPtrW(viewer, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    EXPECT_EQ(WindowText(viewer), L"");
    EXPECT_EQ(fakehost::CallCount(), 1u);  // the configuration was loaded
    EXPECT_TRUE(LogContains(L"[DVP_CreateViewer] DVP_CreateViewer ENTER, parent=0x"));
    EXPECT_TRUE(LogContains(L", flags=0x00001234\r\n"));
    DestroyWindow(pane);
}

TEST(CreateViewer, GivenRectangleIsUsedAndTheClassIsRegisteredOnce) {
    const PluginDll dll = PluginDll::Load();
    HWND pane = CreatePane(800, 600);
    const RECT first = {10, 20, 310, 220};
    const RECT second = {0, 0, 100, 50};
    HWND a = dll.CreateViewer(pane, &first, 0);
    HWND b = dll.CreateViewer(pane, &second, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    const RECT placed = ClientRectIn(a, pane);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right, 310);
    EXPECT_EQ(placed.bottom, 220);
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(dll.module, L"DopusTessoravinViewerClass", &info));
    EXPECT_EQ(info.style, CS_VREDRAW | CS_HREDRAW);
    EXPECT_EQ(info.hInstance, dll.module);
    // A third registration attempt would fail with "class already exists"; none is made.
    EXPECT_EQ(CountLogLines(L"DVP_CreateViewer created hwnd=0x"), 2);
    DestroyWindow(pane);
}

// FreeLibrary takes the class with the module, so that a build loaded later at the same address
// never meets a window procedure that points into this one; the next load registers it again.
TEST(CreateViewer, TheClassGoesWithTheModuleAndComesBackWithIt) {
    for (int load = 0; load < 2; ++load) {
        const PluginDll dll = PluginDll::Load();
        HWND pane = CreatePane(320, 200);
        HWND viewer = dll.CreateViewer ? dll.CreateViewer(pane, nullptr, 0) : nullptr;
        ASSERT_NE(viewer, nullptr) << load;  // its window procedure has run (WM_CREATE)
        DestroyWindow(pane);
        ASSERT_TRUE(FreeLibrary(dll.module));
        ASSERT_EQ(GetModuleHandleW(L"Tessoravin.dll"), nullptr);
        WNDCLASSEXW info = {};
        info.cbSize = sizeof(info);
        EXPECT_FALSE(GetClassInfoExW(dll.module, L"DopusTessoravinViewerClass", &info)) << load;
    }
}

TEST(CreateViewer, LoadEmbedsThePlayerConfiguredThroughTheStore) {
    const std::wstring cmdline = PrivateTempFolder() + L"cmdline.bin";
    SetEnvironmentVariableW(L"STANDIN_CMDLINE_FILE", cmdline.c_str());
    fakehost::SetValue(L"mappings", L"clips\tclip\t/home\\viewers\\mpv\\mpv.exe");
    fakehost::SetValue(L"mpvParams", L"--mute=yes");
    const PluginDll dll = PluginDll::Load();
    HWND pane = CreatePane(640, 360);
    HWND viewer = dll.CreateViewer(pane, nullptr, 0);
    ASSERT_NE(viewer, nullptr);

    const wchar_t* file = L"C:\\media\\holiday.clip";
    EXPECT_EQ(SendMessageW(viewer, DVPLUGINMSG_LOADW, 0, reinterpret_cast<LPARAM>(file)), 1);
    HWND player = FindWindowExW(viewer, nullptr, L"mpv", nullptr);
    ASSERT_NE(player, nullptr);
    // The player may still be inside the CreateWindowExW that shows it, and the show the viewer
    // posts is taken when the player takes messages.
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(player) && IsWindowEnabled(player); }, std::chrono::seconds(5)));
    EXPECT_EQ(WindowText(player), file);
    RECT client = {};
    GetClientRect(player, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 360);

    const std::string bytes = ReadFileBytes(cmdline);
    std::wstring recorded(bytes.size() / 2, L'\0');
    memcpy(recorded.data(), bytes.data(), recorded.size() * 2);
    const std::wstring exe = fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe";
    EXPECT_EQ(recorded.rfind(L"\"" + exe + L"\" --wid=", 0), 0u) << WideToUtf8(recorded);
    EXPECT_NE(recorded.find(L" --mute=yes \"C:\\media\\holiday.clip\""), std::wstring::npos) << WideToUtf8(recorded);

    DWORD pid = 0;
    GetWindowThreadProcessId(player, &pid);
    EXPECT_EQ(SendMessageW(viewer, DVPLUGINMSG_CLEAR, 0, 0), 0);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(pid); }, std::chrono::seconds(5)));
    DestroyWindow(pane);
}

// Two threads, each with its own pane as each lister has, make the process's first viewers at
// the same moment; the number of viewers that exist afterwards goes to the result file.
void RaceFirstViewers(const std::wstring& resultFile) {
    fakehost::SetValue(L"mappings", L"v\tmkv\tC:\\x.exe");  // a short reload keeps the threads close together
    const PluginDll dll = PluginDll::Load();
    std::atomic<int> ready{0}, created{0};
    std::atomic<bool> go{false};
    const auto lister = [&] {
        HWND pane = CreatePane(320, 200);
        ++ready;
        while (!go) YieldProcessor();
        HWND viewer = dll.CreateViewer ? dll.CreateViewer(pane, nullptr, 0) : nullptr;
        if (viewer && IsWindow(viewer) && GetParent(viewer) == pane) ++created;
        DestroyWindow(pane);
    };
    std::thread first(lister), second(lister);
    while (ready < 2) Sleep(0);
    go = true;
    first.join();
    second.join();
    WriteFileBytes(resultFile, std::to_string(created.load()));
}

// Each ctest entry is one process, and the class is registered once per process: so this test
// runs itself again as fresh processes, which only race (the variable tells them where to report).
TEST(CreateViewer, FirstViewersOnTwoThreadsBothExist) {
    wchar_t resultFile[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TESSORAVIN_FIRST_VIEWERS", resultFile, MAX_PATH)) {
        RaceFirstViewers(resultFile);
        return;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring quotedSelf = L"\"" + std::wstring(self) + L"\"";
    for (int i = 0; i < 20; ++i) {
        const std::wstring result = PrivateTempFolder() + L"first-viewers-" + std::to_wstring(i) + L".txt";
        SetEnvironmentVariableW(L"TESSORAVIN_FIRST_VIEWERS", result.c_str());
        EXPECT_EQ(_wspawnl(_P_WAIT, self, quotedSelf.c_str(),
                           L"--gtest_filter=CreateViewer.FirstViewersOnTwoThreadsBothExist", nullptr),
                  0)
            << "fresh process " << i;
        EXPECT_EQ(ReadFileBytes(result), "2") << "viewers that exist in fresh process " << i;
    }
}

}  // namespace
