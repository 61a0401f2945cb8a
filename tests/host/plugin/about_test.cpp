#include <gtest/gtest.h>

#include <optional>

#include "fake_host.h"
#include "plugin_dll.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const std::wstring kAboutBody =
    L"Tessoravin\r\nDirectory Opus mpv 音视频预览插件\r\n\r\n"
    L"通过 mpv --wid 将 mpv 渲染面嵌入预览窗格，支持音视频文件的预览播放。\r\n\r\n配置文件: ";

// Shows the About box, reads it, presses OK; returns what the box said (nullopt: no box).
std::optional<std::wstring> ShowAbout(const PluginDll& dll, BOOL* result) {
    std::optional<std::wstring> text;
    WithDialog(
        L"About Tessoravin", [&] { *result = dll.About(nullptr); },
        [&](HWND box) {
            text = MessageBoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
    return text;
}

TEST(About, CalledFirstEndsWithTheLabel) {
    const PluginDll dll = PluginDll::Load();
    ASSERT_NE(dll.About, nullptr);
    BOOL result = TRUE;
    const std::optional<std::wstring> seen = ShowAbout(dll, &result);
    ASSERT_TRUE(seen) << "no About box";
    EXPECT_EQ(*seen, kAboutBody);
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(fakehost::CallCount(), 0u);  // About loads nothing
}

TEST(About, ShowsTheConfigurationPathOnceLocated) {
    fakehost::SetConfigFolder(L"C:\\Opus\\ConfigFiles");
    const PluginDll dll = PluginDll::Load();
    std::vector<unsigned char> record(160, 0);
    ASSERT_TRUE(dll.IdentifyW(record.data()));
    BOOL result = TRUE;
    EXPECT_EQ(ShowAbout(dll, &result), kAboutBody + L"C:\\Opus\\ConfigFiles\\Tessoravin.oxc");
    EXPECT_EQ(result, FALSE);
}

}  // namespace
