#include <gtest/gtest.h>

#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "printers.h"
#include "test_support.h"

using namespace testsupport;

namespace {

using Exts = std::vector<std::wstring>;

TEST(SplitExtensions, TrimsDropsOneDotLowercasesAndKeepsOrder) {
    struct Case {
        const wchar_t* text;
        Exts expected;
    } cases[] = {
        {L" .MKV ;  mp4 ;;", {L"mkv", L"mp4"}},
        {L"", {}},
        {L";", {}},
        {L".", {}},
        {L" . ; ;\t.;\r\n", {}},
        {L"..x", {L".x"}},  // only one leading dot goes
        {L"mkv", {L"mkv"}},
        {L"MKV;mkv;Mp4", {L"mkv", L"mkv", L"mp4"}},  // duplicates stay; the rebuild skips them
        {L";avi;", {L"avi"}},
        {L"m k v", {L"m k v"}},  // inner blanks are not trimmed
    };
    for (const Case& c : cases) EXPECT_EQ(SplitExtensions(c.text), c.expected) << WideToUtf8(c.text);
}

PluginConfig Rebuilt(std::vector<MappingEntry> mappings) {
    PluginConfig config;
    config.mappings = std::move(mappings);
    config.RebuildIndexes();
    return config;
}

TEST(PluginConfig, DefaultsReplaceEverythingAndGiveThirtyExtensionsInListedOrder) {
    PluginConfig config;
    config.mappings = {{L"x", L"y", L"z"}, {L"a", L"b", L"c"}, {L"d", L"e", L"f"}};
    config.mpvParams = L"--old";
    PopulateDefaults(config.mappings, config.mpvParams);
    config.RebuildIndexes();
    ASSERT_EQ(config.mappings.size(), 2u);
    EXPECT_EQ(config.mappings[0].group, L"video");
    EXPECT_EQ(config.mappings[1].group, L"audio");
    EXPECT_EQ(config.mappings[1].exePath, L"/home\\viewers\\mpv\\mpv.exe");
    EXPECT_EQ(config.mpvParams, L"--force-window=yes --border=no");
    EXPECT_EQ(config.extToGroup.size(), 30u);
    EXPECT_EQ(config.handleExts,
              L".mkv;.mp4;.avi;.mov;.wmv;.flv;.webm;.m4v;.mpg;.mpeg;.m2ts;.ts;.vob;.ogv;.3gp;.rm;.rmvb;"
              L".mp3;.flac;.wav;.aac;.m4a;.ogg;.opus;.wma;.ape;.alac;.aiff;.mid;.midi");
    EXPECT_EQ(config.groupToViewer.size(), 2u);
    EXPECT_EQ(config.extToGroup.at(L"rmvb"), L"video");
    EXPECT_EQ(config.extToGroup.at(L"midi"), L"audio");
    EXPECT_TRUE(LogContains(L"[PopulateDefaults] PopulateDefaults: defaultExe=[/home\\viewers\\mpv\\mpv.exe]\r\n"));
}

TEST(PluginConfig, FirstMappingWinsForRepeatedGroupsAndExtensions) {
    const PluginConfig config = Rebuilt({
        {L"Video", L"mkv;mp4", L"C:\\first.exe"},
        {L"VIDEO", L"avi;MKV", L"C:\\second.exe"},
        {L"audio", L"mp3;mp4;..x", L"C:\\audio.exe"},
    });
    EXPECT_EQ(config.groupToViewer.size(), 2u);
    EXPECT_EQ(config.groupToViewer.at(L"video"), L"C:\\first.exe");
    EXPECT_EQ(config.extToGroup.at(L"avi"), L"video");  // later mapping of the group adds extensions
    EXPECT_EQ(config.extToGroup.at(L"mp4"), L"video");  // first claim wins
    EXPECT_EQ(config.extToGroup.at(L".x"), L"audio");
    EXPECT_EQ(config.handleExts, L".mkv;.mp4;.avi;.mp3;..x");
    // Every group an extension points to has a player entry.
    for (const auto& [ext, group] : config.extToGroup)
        EXPECT_EQ(config.groupToViewer.count(group), 1u) << WideToUtf8(ext);
}

TEST(PluginConfig, EmptyListsGiveEmptyIndexes) {
    PluginConfig config = Rebuilt({{L"video", L"mkv", L"C:\\p.exe"}});
    config.mappings.clear();
    config.RebuildIndexes();
    EXPECT_TRUE(config.extToGroup.empty());
    EXPECT_TRUE(config.groupToViewer.empty());
    EXPECT_TRUE(config.handleExts.empty());
    // A mapping whose list yields nothing still names its group's player.
    config = Rebuilt({{L"empty", L" ; . ;", L"C:\\p.exe"}});
    EXPECT_TRUE(config.extToGroup.empty());
    EXPECT_EQ(config.groupToViewer.at(L"empty"), L"C:\\p.exe");
    EXPECT_EQ(config.handleExts, L"");
}

TEST(FindViewerForFile, LooksUpTheTextAfterTheLastDotWithoutCase) {
    const PluginConfig config = Rebuilt({
        {L"video", L"mkv;clips\\noext;old\\trailer", L"C:\\mpv\\mpv.exe"},
        {L"none", L"xyz", L"\"\""},  // resolves to the empty path
    });
    struct Case {
        const wchar_t* path;
        const wchar_t* viewer;
        const wchar_t* logLine;  // nullptr: no lookup line at all
    } cases[] = {
        {L"C:\\films\\A.MKV", L"C:\\mpv\\mpv.exe", L"ext [mkv] -> group [video] -> viewer [C:\\mpv\\mpv.exe]"},
        {L"C:\\films\\noext", L"", nullptr},
        {L"C:\\my.clips\\noext", L"C:\\mpv\\mpv.exe", L"ext [clips\\noext] -> group [video]"},
        {L"D:\\movies.old\\trailer", L"C:\\mpv\\mpv.exe", L"ext [old\\trailer] -> group [video]"},
        {L"C:\\films\\a.", L"", L"ext [] not in any group"},
        {L"C:\\films\\a.avi", L"", L"ext [avi] not in any group"},
        {L"C:\\a.xyz", L"", L"ext [xyz] -> group [none] -> viewer []"},
        {L"", L"", nullptr},
    };
    for (const Case& c : cases) {
        DeleteLog();
        EXPECT_EQ(config.FindViewerForFile(c.path), c.viewer) << WideToUtf8(c.path);
        if (c.logLine) {
            EXPECT_EQ(CountLogLines(std::wstring(L"[PluginConfig::FindViewerForFile]   ") + c.logLine), 1)
                << WideToUtf8(c.path);
        } else {
            EXPECT_EQ(CountLogLines(L"[PluginConfig::FindViewerForFile]"), 0) << WideToUtf8(c.path);
        }
    }
    DeleteLog();
    EXPECT_EQ(config.FindViewerForFile(nullptr), L"");
    EXPECT_EQ(CountLogLines(L"[PluginConfig::FindViewerForFile]"), 0);
}

TEST(FindViewerForFile, EmptyOrInconsistentIndexesFindNothing) {
    PluginConfig config;
    EXPECT_EQ(config.FindViewerForFile(L"C:\\a.mkv"), L"");
    EXPECT_TRUE(LogContains(L"[PluginConfig::FindViewerForFile]   ext [mkv] not in any group\r\n"));
    config.extToGroup[L"mkv"] = L"orphan";  // cannot come out of a rebuild, but must not crash
    EXPECT_EQ(config.FindViewerForFile(L"x.mkv"), L"");
    EXPECT_TRUE(LogContains(L"[PluginConfig::FindViewerForFile]   group [orphan] has no viewer mapping\r\n"));
}

}  // namespace
