#include <gtest/gtest.h>

#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "printers.h"
#include "test_support.h"

using namespace testsupport;

namespace {

using Mappings = std::vector<MappingEntry>;

TEST(MappingsText, ParseTrimsFieldsAndDropsUnusableLines) {
    struct Case {
        const wchar_t* text;
        Mappings expected;
    } cases[] = {
        {L"video\tmkv;mp4\tC:\\mpv.exe", {{L"video", L"mkv;mp4", L"C:\\mpv.exe"}}},
        {L"video\tmkv\tC:\\a.exe\r\naudio\tmp3\tC:\\b.exe\r\n",
         {{L"video", L"mkv", L"C:\\a.exe"}, {L"audio", L"mp3", L"C:\\b.exe"}}},
        {L" video \t mkv \t C:\\a b\\c.exe \n", {{L"video", L"mkv", L"C:\\a b\\c.exe"}}},
        {L"g\te\tC:\\x\ty\t", {{L"g", L"e", L"C:\\x\ty"}}},  // a third tab stays inside the path
        {L"g\t\tC:\\x", {}},                                 // empty middle field
        {L"g\te", {}},                                       // one tab only
        {L"novalue", {}},
        {L" \t \t ", {}},
        {L"", {}},
        {L"\n\n", {}},
        {L"bad\nvideo\tmkv\tC:\\a.exe\n\tmp3\tC:\\b.exe", {{L"video", L"mkv", L"C:\\a.exe"}}},
        {L"a\tb\tc\na\tb\tc", {{L"a", L"b", L"c"}, {L"a", L"b", L"c"}}},  // duplicates stay
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMappings(c.text), c.expected) << WideToUtf8(c.text);
}

TEST(MappingsText, SerializeWritesFieldsVerbatimWithoutTrailingLineFeed) {
    EXPECT_EQ(SerializeMappings({}), L"");
    EXPECT_EQ(SerializeMappings({{L" v ", L"MKV; mp4", L"\"C:\\a b\\mpv.exe\""}}),
              L" v \tMKV; mp4\t\"C:\\a b\\mpv.exe\"");
    Mappings defaults;
    std::wstring params;
    PopulateDefaults(defaults, params);
    EXPECT_EQ(
        SerializeMappings(defaults),
        L"video\tmkv;mp4;avi;mov;wmv;flv;webm;m4v;mpg;mpeg;m2ts;ts;vob;ogv;3gp;rm;rmvb\t/home\\viewers\\mpv\\mpv.exe\n"
        L"audio\tmp3;flac;wav;aac;m4a;ogg;opus;wma;ape;alac;aiff;mid;midi\t/home\\viewers\\mpv\\mpv.exe");
    EXPECT_EQ(ParseMappings(SerializeMappings(defaults)), defaults);
}

TEST(MappingsText, TabInsideAGroupComesBackSplit) {
    // The stored format cannot carry tabs; the editor refuses them for this reason.
    const Mappings stored = ParseMappings(SerializeMappings({{L"a\tb", L"mkv", L"C:\\p.exe"}}));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].group, L"a");
    EXPECT_EQ(stored[0].exts, L"b");
    EXPECT_EQ(stored[0].exePath, L"mkv\tC:\\p.exe");
}

TEST(MappingsText, ConfigPathInFolder) {
    EXPECT_EQ(ConfigPathInFolder(L"C:\\Opus\\cfg"), L"C:\\Opus\\cfg\\Tessoravin.oxc");
    EXPECT_EQ(ConfigPathInFolder(L"C:\\Opus\\cfg\\"), L"C:\\Opus\\cfg\\Tessoravin.oxc");
    EXPECT_EQ(ConfigPathInFolder(L"C:/Opus/cfg/"), L"C:/Opus/cfg/Tessoravin.oxc");
    EXPECT_EQ(ConfigPathInFolder(L""), L"Tessoravin.oxc");
}

}  // namespace
