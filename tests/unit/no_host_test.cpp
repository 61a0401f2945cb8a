// The plug-in loaded by something other than Directory Opus: no dopus.exe in the process.
#include <gtest/gtest.h>

#include "aliases/alias_internal.h"
#include "aliases/alias_resolver.h"
#include "common/config_lock.h"
#include "config/config_internal.h"
#include "config/config_test_hooks.h"
#include "config/plugin_config.h"
#include "test_support.h"

using namespace testsupport;

namespace {

TEST(WithoutHost, LoadRunsOnDefaultsAndSaysWhy) {
    PluginConfig::Load();
    const std::wstring log = ReadLog();
    const wchar_t* expectedInOrder[] = {
        L"[PluginConfig::Load] PluginConfig::Load\r\n",
        L"[GetLoadOrSaveConfig] GetLoadOrSaveConfig: dopus.exe module not found\r\n",
        L"[PluginConfig::Load]   LoadOrSaveConfig API unavailable, using defaults\r\n",
        L"[PluginConfig::Load]   no mappings loaded, using defaults\r\n",
        L"[PopulateDefaults] PopulateDefaults: defaultExe=[/home\\viewers\\mpv\\mpv.exe]\r\n",
        L"[AliasResolver::Load] AliasResolver: dopus.exe module not found (not in DOpus process?)\r\n",
        L"[PluginConfig::Load]   total: 2 mappings, 30 exts, handleExts=[.mkv;.mp4;",
    };
    size_t pos = 0;
    for (const wchar_t* line : expectedInOrder) {
        const size_t found = log.find(line, pos);
        ASSERT_NE(found, std::wstring::npos) << WideToUtf8(line);
        pos = found;
    }
    ConfigLockGuard lock;
    EXPECT_EQ(pluginConfig.mappings.size(), 2u);
    EXPECT_EQ(pluginConfig.mpvParams, L"--force-window=yes --border=no");
    // Without the host there is no "home": the default player path stays as configured.
    EXPECT_EQ(pluginConfig.groupToViewer.at(L"video"), L"/home\\viewers\\mpv\\mpv.exe");
}

TEST(WithoutHost, SaveFailsAndSaysWhy) {
    EXPECT_FALSE(PluginConfig::Save({}, L""));
    EXPECT_TRUE(LogContains(L"[PluginConfig::Save] PluginConfig::Save\r\n"));
    EXPECT_TRUE(LogContains(L"[GetLoadOrSaveConfig] GetLoadOrSaveConfig: dopus.exe module not found\r\n"));
    EXPECT_TRUE(LogContains(L"[PluginConfig::Save]   LoadOrSaveConfig API unavailable, cannot save\r\n"));
}

TEST(WithoutHost, ConfigPathFallsBackToTheLiteralPlaceholder) {
    LocateConfigPath();
    EXPECT_EQ(configPath, L"<OPUSPATH_CONFIG>\\Tessoravin.oxc");
    EXPECT_TRUE(
        LogContains(L"[LocateConfigPath] LocateConfigPath (fallback): [<OPUSPATH_CONFIG>\\Tessoravin.oxc]\r\n"));
}

TEST(WithoutHost, AliasesLoadOnceAndOnlyHomeIsUnknown) {
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_EQ(AliasResolver::Load(), 0u);
    EXPECT_EQ(
        CountLogLines(L"[AliasResolver::Load] AliasResolver: dopus.exe module not found (not in DOpus process?)\r\n"),
        1);
    EXPECT_EQ(AliasResolver::HomeFolder(L"home"), L"");
    EXPECT_EQ(AliasResolver::ExpandPath(L"/home\\mpv.exe"), L"/home\\mpv.exe");
}

}  // namespace
