#include <windows.h>

#include <cstdint>
#include <vector>

#include "aliases/alias_resolver.h"
#include "common/config_lock.h"
#include "common/text.h"
#include "config/config_internal.h"
#include "config/config_test_hooks.h"  // declares what this file defines for tests
#include "config/plugin_config.h"
#include "host/host.h"
#include "log/log.h"

std::wstring configPath;

namespace {
constexpr wchar_t kConfigLoadTag[] = L"[PluginConfig::Load] ";
constexpr wchar_t kConfigSaveTag[] = L"[PluginConfig::Save] ";

constexpr wchar_t kLocateTag[] = L"[LocateConfigPath] ";
constexpr wchar_t kMappingsKey[] = L"mappings";
constexpr wchar_t kParamsKey[] = L"mpvParams";
constexpr wchar_t kFallbackConfigPath[] = L"<OPUSPATH_CONFIG>\\Tessoravin.oxc";

HostConfigRequest MakeRequest(HostConfigItem (&items)[2]) {
    return HostConfigRequest{sizeof(HostConfigRequest), kPluginName, 0, 2, items};
}

// The dialog's saves, as the reloads see them; guarded by the configuration lock. A reload reads
// the store without the lock, so its read may predate a save whose configuration is already
// installed; installing that read would put back what the user has just replaced. It installs
// only when no save was in progress as it began and none has begun since. Nobody ever waits for
// a save: a reload that finds one keeps the installed configuration, which is the one saved.
struct StoreSaves {
    uint64_t begun = 0;
    int inProgress = 0;
};
StoreSaves storeSaves;

struct ReloadTicket {
    uint64_t savesBegun = 0;
    bool quiet = false;
};

// Call with the lock held.
ReloadTicket TakeReloadTicket() { return {storeSaves.begun, storeSaves.inProgress == 0}; }
bool ReadStillCurrent(const ReloadTicket& ticket) { return ticket.quiet && ticket.savesBegun == storeSaves.begun; }

// One save from its install to the host's answer, on every path out (an exception included).
class SaveInProgress {
public:
    SaveInProgress(const std::vector<MappingEntry>& mappings, const std::wstring& params) {
        AliasResolver::Load();  // before the lock: it may call the host (see LoadConfigAtEntry)
        ConfigLockGuard lock;
        ApplyConfig(mappings, params);
        // Counted last, under the same lock: an install that throws leaves no save behind.
        ++storeSaves.begun;
        ++storeSaves.inProgress;
    }
    ~SaveInProgress() {
        ConfigLockGuard lock;
        --storeSaves.inProgress;
    }
    SaveInProgress(const SaveInProgress&) = delete;
    SaveInProgress& operator=(const SaveInProgress&) = delete;
};
}  // namespace

void PluginConfig::Load() {
    LogPrintf(L"%sPluginConfig::Load", kConfigLoadTag);
    std::vector<MappingEntry> mappings;
    std::wstring params;
    ReloadTicket ticket;
    {
        ConfigLockGuard lock;
        ticket = TakeReloadTicket();
    }

    if (LoadOrSaveConfigWFn loadOrSave = GetLoadOrSaveConfig()) {
        std::vector<wchar_t> mapBuf(kMappingsBufferChars, L'\0');
        std::vector<wchar_t> paramBuf(kParamsBufferChars, L'\0');
        HostConfigItem items[2] = {
            {kMappingsKey, kHostStringType, mapBuf.data(), kMappingsBufferChars * sizeof(wchar_t)},
            {kParamsKey, kHostStringType, paramBuf.data(), kParamsBufferChars * sizeof(wchar_t)},
        };
        HostConfigRequest request = MakeRequest(items);
        const int result = loadOrSave(kHostConfigLoad, &request);
        const std::wstring mapText = FromFixedBuffer(mapBuf.data(), mapBuf.size());
        const std::wstring paramText = FromFixedBuffer(paramBuf.data(), paramBuf.size());
        LogPrintf(L"%s  LoadOrSaveConfig(LOAD) return %d, mapBuf=[%s]", kConfigLoadTag, result ? 1 : 0,
                  mapText.empty() ? L"(empty)" : mapText.c_str());
        if (result) {
            if (!mapText.empty()) mappings = ParseMappings(mapText);
            if (!paramText.empty()) params = paramText;
        }
    } else {
        LogPrintf(L"%s  LoadOrSaveConfig API unavailable, using defaults", kConfigLoadTag);
    }

    if (mappings.empty()) {
        LogPrintf(L"%s  no mappings loaded, using defaults", kConfigLoadTag);
        PopulateDefaults(mappings, params);
    }

    AliasResolver::Load();  // before the lock, as the host's other calls
    ConfigLockGuard lock;
    if (ReadStillCurrent(ticket)) {
        ApplyConfig(std::move(mappings), std::move(params));  // the lock is re-entrant
    } else {
        LogPrintf(L"%s  a save overlapped this read, keeping the saved configuration", kConfigLoadTag);
    }
    LogPrintf(L"%s  total: %llu mappings, %llu exts, handleExts=[%s]", kConfigLoadTag,
              static_cast<unsigned long long>(pluginConfig.mappings.size()),
              static_cast<unsigned long long>(pluginConfig.extToGroup.size()), pluginConfig.handleExts.c_str());
}

bool PluginConfig::Save(const std::vector<MappingEntry>& mappings, const std::wstring& params) {
    LogPrintf(L"%sPluginConfig::Save", kConfigSaveTag);
    LoadOrSaveConfigWFn loadOrSave = GetLoadOrSaveConfig();
    if (!loadOrSave) {
        LogPrintf(L"%s  LoadOrSaveConfig API unavailable, cannot save", kConfigSaveTag);
        return false;
    }
    std::wstring mapText = SerializeMappings(mappings);
    std::wstring paramText = params;  // the host's record holds writable pointers
    HostConfigItem items[2] = {
        {kMappingsKey, kHostStringType, mapText.data(), 0},
        {kParamsKey, kHostStringType, paramText.data(), 0},
    };
    HostConfigRequest request = MakeRequest(items);
    const int result = loadOrSave(kHostConfigSave, &request);
    LogPrintf(L"%s  LoadOrSaveConfig(SAVE) return %d", kConfigSaveTag, result ? 1 : 0);
    return result != 0;
}

bool ApplyAndSaveConfig(const std::vector<MappingEntry>& mappings, const std::wstring& params) {
    SaveInProgress saving(mappings, params);
    // Without the lock: the host may take a lock of its own here, and one of its threads that
    // holds it may be calling an entry point that needs ours.
    return PluginConfig::Save(mappings, params);
}

namespace {
// Asks the host without the lock, then installs its answer (or the fallback) under it. With
// keepInstalled, a path another thread installed meanwhile stays, and nothing is logged.
void LocateConfigPathOutsideTheLock(bool keepInstalled) {
    std::wstring located;
    if (GetConfigPathWFn getConfigPath = GetHostConfigPathFn()) {
        wchar_t folder[kHostPathChars] = {};
        if (getConfigPath(0, folder, kHostPathChars))
            located = ConfigPathInFolder(FromFixedBuffer(folder, kHostPathChars));  // never empty
    }
    ConfigLockGuard lock;
    if (keepInstalled && !configPath.empty()) return;
    if (located.empty()) {
        configPath = kFallbackConfigPath;
        LogPrintf(L"%sLocateConfigPath (fallback): [%s]", kLocateTag, configPath.c_str());
    } else {
        configPath = std::move(located);
        LogPrintf(L"%sLocateConfigPath: [%s]", kLocateTag, configPath.c_str());
    }
}
}  // namespace

void LocateConfigPath() { LocateConfigPathOutsideTheLock(false); }

std::wstring CurrentConfigPath() {
    ConfigLockGuard lock;
    return configPath;
}

// No call into the host is made with the lock held: a host thread that holds the host's own lock
// may be calling an entry point that needs ours while we wait on the host. Two first entries may
// therefore both ask the host for the path; the first answer installed is the one kept.
void LoadConfigAtEntry() {
    if (CurrentConfigPath().empty()) LocateConfigPathOutsideTheLock(true);
    PluginConfig::Load();
}
