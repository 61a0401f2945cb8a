#include <gtest/gtest.h>

#include "common/config_lock.h"
#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "fake_host.h"
#include "test_support.h"

using namespace testsupport;

namespace {

TEST(ResolvePlayerPath, UnquotesExpandsVariablesThenAliases) {
    SetEnvironmentVariableW(L"TSV_PLAYER_DIR", L"C:\\Program Files\\mpv");
    SetEnvironmentVariableW(L"TSV_ALIAS", L"/home");
    const std::wstring home = fakehost::ProgramFolder();
    struct Case {
        const wchar_t* configured;
        std::wstring expected;
    } cases[] = {
        {L"\"C:\\Program Files\\mpv\\mpv.exe\"", L"C:\\Program Files\\mpv\\mpv.exe"},
        {L"\"\"", L""},
        {L"\"", L"\""},
        {L"\"C:\\mpv\\mpv.exe", L"\"C:\\mpv\\mpv.exe"},
        {L"C:\\mpv\\mpv.exe\"", L"C:\\mpv\\mpv.exe\""},
        {L"\"\"C:\\x\"\"", L"\"C:\\x\""},  // only one pair goes
        {L" \"C:\\x\" ", L" \"C:\\x\" "},  // nothing is trimmed, so these quotes stay
        {L"%TSV_PLAYER_DIR%\\mpv.exe", L"C:\\Program Files\\mpv\\mpv.exe"},
        {L"%TSV_NOT_DEFINED_ANYWHERE%\\mpv.exe", L"%TSV_NOT_DEFINED_ANYWHERE%\\mpv.exe"},
        {L"\"%TSV_PLAYER_DIR%\\mpv.exe\"", L"C:\\Program Files\\mpv\\mpv.exe"},
        {L"\"/home\\viewers\\mpv\\mpv.exe\"", home + L"\\viewers\\mpv\\mpv.exe"},
        {L"/home/viewers/mpv/mpv.exe", home + L"\\viewers\\mpv\\mpv.exe"},
        {L"%TSV_ALIAS%\\mpv.exe", home + L"\\mpv.exe"},  // a variable may expand to an alias
        {L"relative/mpv.exe", L"relative/mpv.exe"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolvePlayerPath(c.configured), c.expected) << WideToUtf8(c.configured);
}

TEST(ResolvePlayerPath, OversizedExpansionLeavesTheTextAsItWas) {
    SetEnvironmentVariableW(L"TSV_HUGE", std::wstring(20000, L'x').c_str());
    const std::wstring path = L"%TSV_HUGE%%TSV_HUGE%\\mpv.exe";  // 40000 units do not fit
    EXPECT_EQ(ResolvePlayerPath(path), path);
}

TEST(ResolvePlayerPath, DefaultsResolveBelowTheHostProgramFolder) {
    PluginConfig config;
    PopulateDefaults(config.mappings, config.mpvParams);
    config.RebuildIndexes();
    const std::wstring expected = fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe";
    EXPECT_EQ(config.groupToViewer.at(L"video"), expected);
    EXPECT_EQ(config.groupToViewer.at(L"audio"), expected);
    EXPECT_EQ(config.FindViewerForFile(L"C:\\x\\song.FLAC"), expected);
    // The mapping list itself keeps the text as entered.
    EXPECT_EQ(config.mappings[0].exePath, L"/home\\viewers\\mpv\\mpv.exe");
}

}  // namespace
