#include <windows.h>

#include <vector>

#include "common/config_lock.h"
#include "common/text.h"
#include "config/plugin_config.h"
#include "log/log.h"
#include "host/host_api.h"

std::wstring configPath;

namespace {
constexpr wchar_t kMappingsKey[] = L"mappings";
constexpr wchar_t kParamsKey[] = L"mpvParams";
constexpr wchar_t kFallbackConfigPath[] = L"<OPUSPATH_CONFIG>\\Tessoravin.oxc";

HostConfigRequest MakeRequest(HostConfigItem (&items)[2]) {
    return HostConfigRequest{sizeof(HostConfigRequest), kPluginName, 0, 2, items};
}
}  // namespace

void PluginConfig::Load() {
    LogWrite(L"[PluginConfig::Load] PluginConfig::Load\r\n");
    std::vector<MappingEntry> mappings;
    std::wstring params;

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
        LogPrintf(L"[PluginConfig::Load]   LoadOrSaveConfig(LOAD) return %d, mapBuf=[%s]", result ? 1 : 0,
                  mapText.empty() ? L"(empty)" : mapText.c_str());
        if (result) {
            if (!mapText.empty()) mappings = ParseMappings(mapText);
            if (!paramText.empty()) params = paramText;
        }
    } else {
        LogWrite(L"[PluginConfig::Load]   LoadOrSaveConfig API unavailable, using defaults\r\n");
    }

    if (mappings.empty()) {
        LogWrite(L"[PluginConfig::Load]   no mappings loaded, using defaults\r\n");
        PopulateDefaults(mappings, params);
    }

    ConfigLockGuard lock;
    pluginConfig.mappings = std::move(mappings);
    pluginConfig.mpvParams = std::move(params);
    pluginConfig.RebuildIndexes();
    LogPrintf(L"[PluginConfig::Load]   total: %llu mappings, %llu exts, handleExts=[%s]",
              static_cast<unsigned long long>(pluginConfig.mappings.size()),
              static_cast<unsigned long long>(pluginConfig.extToGroup.size()),
              pluginConfig.handleExts.c_str());
}

bool PluginConfig::Save() {
    LogWrite(L"[PluginConfig::Save] PluginConfig::Save\r\n");
    LoadOrSaveConfigWFn loadOrSave = GetLoadOrSaveConfig();
    if (!loadOrSave) {
        LogWrite(L"[PluginConfig::Save]   LoadOrSaveConfig API unavailable, cannot save\r\n");
        return false;
    }
    std::wstring mapText;
    std::wstring params;
    {
        ConfigLockGuard lock;
        mapText = SerializeMappings(pluginConfig.mappings);
        params = pluginConfig.mpvParams;
    }
    HostConfigItem items[2] = {
        {kMappingsKey, kHostStringType, mapText.data(), 0},
        {kParamsKey, kHostStringType, params.data(), 0},
    };
    HostConfigRequest request = MakeRequest(items);
    const int result = loadOrSave(kHostConfigSave, &request);
    LogPrintf(L"[PluginConfig::Save]   LoadOrSaveConfig(SAVE) return %d", result ? 1 : 0);
    return result != 0;
}

void LocateConfigPath() {
    ConfigLockGuard lock;
    if (GetConfigPathWFn getConfigPath = GetHostConfigPathFn()) {
        wchar_t folder[kHostPathChars] = {};
        if (getConfigPath(0, folder, kHostPathChars)) {
            configPath = ConfigPathInFolder(FromFixedBuffer(folder, kHostPathChars));
            LogPrintf(L"[LocateConfigPath] LocateConfigPath: [%s]", configPath.c_str());
            return;
        }
    }
    configPath = kFallbackConfigPath;
    LogPrintf(L"[LocateConfigPath] LocateConfigPath (fallback): [%s]", configPath.c_str());
}

std::wstring CurrentConfigPath() {
    ConfigLockGuard lock;
    return configPath;
}

void LoadConfigAtEntry() {
    {
        ConfigLockGuard lock;
        if (configPath.empty()) LocateConfigPath();
    }
    PluginConfig::Load();
}
