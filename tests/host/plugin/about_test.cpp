#include <gtest/gtest.h>

#include "fake_host.h"
#include "plugin_dll.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const std::wstring kAboutBody =
    L"Tessoravin\r\nDirectory Opus mpv 音视频预览插件\r\n\r\n"
    L"通过 mpv --wid 将 mpv 渲染面嵌入预览窗格，支持音视频文件的预览播放。\r\n\r\n配置文件: ";

// Shows the About box, reads it, presses OK; returns what the box said.
DialogWatch ShowAbout(const PluginDll& dll, BOOL* result) {
    return WatchForDialog(
        L"About Tessoravin", [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); },
        [&] { *result = dll.About(nullptr); });
}

TEST(About, CalledFirstEndsWithTheLabel) {
    const PluginDll dll = PluginDll::Load();
    ASSERT_NE(dll.About, nullptr);
    BOOL result = TRUE;
    const DialogWatch seen = ShowAbout(dll, &result);
    ASSERT_NE(seen.dialog, nullptr) << "no About box";
    EXPECT_EQ(seen.text, kAboutBody);
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(fakehost::CallCount(), 0u);  // About loads nothing
}

TEST(About, ShowsTheConfigurationPathOnceLocated) {
    fakehost::SetConfigFolder(L"C:\\Opus\\ConfigFiles");
    const PluginDll dll = PluginDll::Load();
    std::vector<unsigned char> record(160, 0);
    ASSERT_TRUE(dll.IdentifyW(record.data()));
    BOOL result = TRUE;
    const DialogWatch seen = ShowAbout(dll, &result);
    EXPECT_EQ(seen.text, kAboutBody + L"C:\\Opus\\ConfigFiles\\Tessoravin.oxc");
    EXPECT_EQ(result, FALSE);
}

}  // namespace
