// Loading and saving the configuration through the fake host's store.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "common/config_lock.h"
#include "config/config_internal.h"
#include "config/config_test_hooks.h"
#include "config/plugin_config.h"
#include "fake_host.h"
#include "printers.h"
#include "test_support.h"

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

const std::wstring kDefaultParams = L"--force-window=yes --border=no";

ConfigSnapshot Loaded() {
    PluginConfig::Load();
    return CurrentConfigSnapshot();
}

bool IsDefault(const ConfigSnapshot& config) {
    std::vector<MappingEntry> defaults;
    std::wstring params;
    PopulateDefaults(defaults, params);
    return config.mappings == defaults && config.mpvParams == params;
}

TEST(Persistence, LoadAsksTheHostForBothValuesWithZeroedBuffers) {
    Loaded();
    const auto calls = fakehost::Calls();
    ASSERT_EQ(calls.size(), 1u);
    const fakehost::SeenCall& call = calls[0];
    EXPECT_EQ(call.mode, 0);
    EXPECT_EQ(call.requestSize, 32u);
    EXPECT_EQ(call.pluginName, L"Tessoravin");
    EXPECT_EQ(call.zero, 0u);
    ASSERT_EQ(call.itemCount, 2u);
    ASSERT_EQ(call.items.size(), 2u);
    EXPECT_EQ(call.items[0].key, L"mappings");
    EXPECT_EQ(call.items[0].type, 4u);
    EXPECT_EQ(call.items[0].size, 16384u);
    EXPECT_TRUE(call.items[0].bufferWasZeroed);
    EXPECT_EQ(call.items[1].key, L"mpvParams");
    EXPECT_EQ(call.items[1].type, 4u);
    EXPECT_EQ(call.items[1].size, 2048u);
    EXPECT_TRUE(call.items[1].bufferWasZeroed);
}

TEST(Persistence, SaveHandsTheHostTheGivenTextAndParametersNotTheInstalledOnes) {
    ApplyConfig({{L"installed", L"avi", L"C:\\i.exe"}}, L"--installed");
    EXPECT_TRUE(
        PluginConfig::Save({{L"video", L"mkv", L"C:\\a.exe"}, {L"audio", L"mp3", L"C:\\b.exe"}}, L"--mute=yes"));
    const auto calls = fakehost::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].mode, 1);
    EXPECT_EQ(calls[0].requestSize, 32u);
    EXPECT_EQ(calls[0].pluginName, L"Tessoravin");
    ASSERT_EQ(calls[0].items.size(), 2u);
    EXPECT_EQ(calls[0].items[0].key, L"mappings");
    EXPECT_EQ(calls[0].items[0].type, 4u);
    EXPECT_EQ(calls[0].items[0].size, 0u);
    EXPECT_EQ(calls[0].items[0].value, L"video\tmkv\tC:\\a.exe\naudio\tmp3\tC:\\b.exe");
    EXPECT_EQ(calls[0].items[1].key, L"mpvParams");
    EXPECT_EQ(calls[0].items[1].size, 0u);
    EXPECT_EQ(calls[0].items[1].value, L"--mute=yes");
    EXPECT_TRUE(LogContains(L"[PluginConfig::Save]   LoadOrSaveConfig(SAVE) return 1\r\n"));
}

TEST(Persistence, FailedSaveReportsFalse) {
    fakehost::SetSaveResult(0);
    EXPECT_FALSE(PluginConfig::Save({}, L""));
    EXPECT_TRUE(LogContains(L"[PluginConfig::Save]   LoadOrSaveConfig(SAVE) return 0\r\n"));
}

TEST(Persistence, DefaultsApplyWhenNothingUsableIsStored) {
    struct Case {
        const char* name;
        std::optional<std::wstring> mappings;
        std::optional<std::wstring> params;
        int loadResult;
    } cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, 1},
        {"host fails", L"video\tmkv\tC:\\a.exe", L"--stored", 0},
        {"no usable line", L"only\tone tab\n\t\t\nnotabs", L"--stored", 1},
        {"empty mappings", L"", L"--stored", 1},
    };
    for (const Case& c : cases) {
        fakehost::Reset();
        if (c.mappings) fakehost::SetValue(L"mappings", *c.mappings);
        if (c.params) fakehost::SetValue(L"mpvParams", *c.params);
        fakehost::SetLoadResult(c.loadResult);
        const ConfigSnapshot config = Loaded();
        EXPECT_TRUE(IsDefault(config)) << c.name;
        EXPECT_EQ(config.mpvParams, kDefaultParams) << c.name;  // stored parameters replaced too
    }
    EXPECT_TRUE(LogContains(L"[PluginConfig::Load]   no mappings loaded, using defaults\r\n"));
    EXPECT_TRUE(
        LogContains(L"[PluginConfig::Load]   LoadOrSaveConfig(LOAD) return 0, mapBuf=[video\tmkv\tC:\\a.exe]\r\n"));
    EXPECT_TRUE(LogContains(L"[PluginConfig::Load]   LoadOrSaveConfig(LOAD) return 1, mapBuf=[(empty)]\r\n"));
}

TEST(Persistence, StoredMappingsLoadWithTheirParameters) {
    fakehost::SetValue(L"mappings",
                       L"video\tmkv;MP4\t\"C:\\Program Files\\mpv\\mpv.exe\"\r\n"
                       L"short\tline\n"
                       L"audio\tmp3\tC:\\x\tkept\r\n");
    fakehost::SetValue(L"mpvParams", L"  --volume=50  ");
    const ConfigSnapshot config = Loaded();
    ASSERT_EQ(config.mappings.size(), 2u);
    EXPECT_EQ(config.mappings[0], (MappingEntry{L"video", L"mkv;MP4", L"\"C:\\Program Files\\mpv\\mpv.exe\""}));
    EXPECT_EQ(config.mappings[1], (MappingEntry{L"audio", L"mp3", L"C:\\x\tkept"}));
    EXPECT_EQ(config.mpvParams, L"  --volume=50  ");  // untrimmed
    ConfigLockGuard lock;
    EXPECT_EQ(pluginConfig.handleExts, L".mkv;.mp4;.mp3");
    EXPECT_EQ(pluginConfig.groupToViewer.at(L"video"), L"C:\\Program Files\\mpv\\mpv.exe");
    EXPECT_TRUE(LogContains(L"[PluginConfig::Load]   total: 2 mappings, 3 exts, handleExts=[.mkv;.mp4;.mp3]\r\n"));
}

TEST(Persistence, EmptyParametersStayEmptyBesideGoodMappings) {
    fakehost::SetValue(L"mappings", L"video\tmkv\tC:\\a.exe");
    EXPECT_EQ(Loaded().mpvParams, L"");
}

TEST(Persistence, SaveThenLoadGivesTheSameConfiguration) {
    const std::vector<MappingEntry> mappings = {
        {L"Video", L".MKV ; mp4", L"%ProgramFiles%\\mpv\\mpv.exe"},
        {L"audio", L"flac", L"/home\\viewers\\mpv\\mpv.exe"},
        {L"video", L"avi", L"\"D:\\other player\\mpv.exe\""},
    };
    ASSERT_TRUE(PluginConfig::Save(mappings, L"--loop --title=\"x y\""));
    ApplyConfig({}, L"");
    const ConfigSnapshot config = Loaded();
    EXPECT_EQ(config.mappings, mappings);
    EXPECT_EQ(config.mpvParams, L"--loop --title=\"x y\"");
}

TEST(Persistence, SavedEmptyListLoadsAsDefaults) {
    ASSERT_TRUE(PluginConfig::Save({}, L"--kept"));
    EXPECT_EQ(fakehost::Value(L"mappings"), L"");
    EXPECT_TRUE(IsDefault(Loaded()));
}

TEST(Persistence, ValuesLongerThanTheBuffersAreReadOnlyUpToThem) {
    // A host that fills the whole buffer without a terminator must not be read past.
    fakehost::SetUnterminatedOverflow(true);
    fakehost::SetValue(L"mappings", L"video\tmkv\tC:\\a.exe");
    fakehost::SetValue(L"mpvParams", std::wstring(5000, L'p'));
    EXPECT_EQ(Loaded().mpvParams, std::wstring(1024, L'p'));
}

// The dialog's OK and a reload on another thread, overlapping in the two ways they can: the
// reload runs while the host stores, or the OK runs while the reload reads the store. Either
// way what the user confirmed is installed and stored, and neither thread waits for the
// other's call into the host.
TEST(Persistence, ReloadOverlappingAnOkNeitherUndoesItNorWaitsForIt) {
    const std::function<void()> reload = [] { LoadConfigAtEntry(); };
    const std::function<void()> ok = [] { EXPECT_TRUE(ApplyAndSaveConfig({{L"new", L"mkv", L"C:\\new.exe"}}, L"-n")); };
    const auto overlap = [](int hookedMode, const std::function<void()>& outer, const std::function<void()>& inner) {
        fakehost::Reset();
        fakehost::SetValue(L"mappings", L"old\tavi\tC:\\old.exe");
        fakehost::SetValue(L"mpvParams", L"-o");
        LoadConfigAtEntry();
        std::atomic<bool> innerDone{false};
        std::thread other;
        fakehost::SetCallHook(hookedMode, [&] {
            other = std::thread([&] {
                inner();
                innerDone = true;
            });
            // Going on only once the other thread is through makes the overlap certain; a lock
            // held across this call into the host would leave it waiting.
            EXPECT_TRUE(WaitUntil([&] { return innerDone.load(); }, 10s));
        });
        outer();
        ASSERT_TRUE(other.joinable());
        other.join();
        EXPECT_EQ(CurrentViewerForFile(L"x.mkv"), L"C:\\new.exe");  // installed, indexes included
        EXPECT_EQ(CurrentPlayerParams(), L"-n");
        EXPECT_EQ(fakehost::Value(L"mappings"), L"new\tmkv\tC:\\new.exe");
        EXPECT_EQ(fakehost::Value(L"mpvParams"), L"-n");
    };
    overlap(1, ok, reload);
    overlap(0, reload, ok);
    EXPECT_EQ(CountLogLines(L"[PluginConfig::Load]   a save overlapped this read, keeping the saved configuration"), 2);
    fakehost::SetValue(L"mpvParams", L"--later");  // with no save about, a reload installs the store again
    LoadConfigAtEntry();
    EXPECT_EQ(CurrentPlayerParams(), L"--later");
}

// A host thread that holds the host's own lock may call an entry point while we are inside a call
// into the host, which then waits for that thread. The hook holds the given GetConfigPathW call
// until another thread has been through an entry point.
void EnterDuringConfigPathCall(int call, const std::function<void()>& caller) {
    std::atomic<bool> entered{false};
    std::thread other;
    fakehost::SetConfigPathHook(call, [&] {
        other = std::thread([&] { LoadConfigAtEntry(), entered = true; });
        EXPECT_TRUE(WaitUntil([&] { return entered.load(); }, 10s));
    });
    caller();
    ASSERT_TRUE(other.joinable());
    other.join();
    EXPECT_EQ(CountLogLines(L"[LocateConfigPath] LocateConfigPath: [Tessoravin.oxc]"), 1);  // whoever asked first
}

// The first entry's calls: the configuration path's, then the alias file's. The OK's first call
// is the alias file's.
TEST(Persistence, NoEntryWaitsOnTheConfigPathCall) { EnterDuringConfigPathCall(1, LoadConfigAtEntry); }
TEST(Persistence, NoEntryWaitsOnTheAliasFileCallOfAReload) { EnterDuringConfigPathCall(2, LoadConfigAtEntry); }
TEST(Persistence, NoEntryWaitsOnTheAliasFileCallOfAnOk) {
    EnterDuringConfigPathCall(1, [] { EXPECT_TRUE(ApplyAndSaveConfig({{L"v", L"mkv", L"C:\\v.exe"}}, L"")); });
}

TEST(Persistence, ConfigPathFromTheHostFolder) {
    struct Case {
        const wchar_t* folder;
        int result;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Users\\me\\AppData\\Roaming\\GPSoftware\\Directory Opus\\ConfigFiles", 1,
         L"C:\\Users\\me\\AppData\\Roaming\\GPSoftware\\Directory Opus\\ConfigFiles\\Tessoravin.oxc"},
        {L"C:\\cfg\\", 1, L"C:\\cfg\\Tessoravin.oxc"},
        {L"C:/cfg/", 1, L"C:/cfg/Tessoravin.oxc"},
        {L"", 1, L"Tessoravin.oxc"},
        {L"C:\\cfg", 0, L"<OPUSPATH_CONFIG>\\Tessoravin.oxc"},
    };
    for (const Case& c : cases) {
        fakehost::SetConfigFolder(c.folder);
        fakehost::SetConfigPathResult(c.result);
        LocateConfigPath();
        EXPECT_EQ(configPath, c.expected);
    }
    EXPECT_TRUE(LogContains(L"[LocateConfigPath] LocateConfigPath: [C:\\cfg\\Tessoravin.oxc]\r\n"));
    EXPECT_TRUE(
        LogContains(L"[LocateConfigPath] LocateConfigPath (fallback): [<OPUSPATH_CONFIG>\\Tessoravin.oxc]\r\n"));
}

TEST(Persistence, ConfigPathIsLocatedOnceAtEntry) {
    fakehost::SetConfigFolder(L"C:\\first");
    LoadConfigAtEntry();
    fakehost::SetConfigFolder(L"C:\\second");
    LoadConfigAtEntry();
    EXPECT_EQ(configPath, L"C:\\first\\Tessoravin.oxc");
    EXPECT_EQ(fakehost::CallCount(), 2u);  // but the store is read at every entry
}

}  // namespace

namespace {
TEST(Persistence, BlanksAroundFieldsAreDroppedByTheNextLoad) {
    const std::vector<MappingEntry> typed = {{L" video ", L" mkv ", L" C:\\a.exe "}};
    ApplyConfig(typed, L" p ");
    {
        ConfigLockGuard lock;
        EXPECT_EQ(pluginConfig.groupToViewer.count(L" video "), 1u);  // until then, keyed with blanks
    }
    ASSERT_TRUE(PluginConfig::Save(typed, L" p "));
    const ConfigSnapshot config = Loaded();
    EXPECT_EQ(config.mappings, (std::vector<MappingEntry>{{L"video", L"mkv", L"C:\\a.exe"}}));
    EXPECT_EQ(config.mpvParams, L" p ");
}
}  // namespace
