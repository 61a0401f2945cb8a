#include "config/plugin_config.h"

#include <windows.h>

#include "aliases/alias_resolver.h"
#include "common/config_lock.h"
#include "common/text.h"
#include "config/config_internal.h"
#include "log/log.h"

PluginConfig pluginConfig;

namespace {
constexpr wchar_t kFindViewerTag[] = L"[PluginConfig::FindViewerForFile]   ";

constexpr DWORD kEnvExpandChars = 32768;

std::wstring ExpandEnvVars(std::wstring text) {
    if (text.empty() || text.find(L'%') == std::wstring::npos) return text;
    std::wstring buffer(kEnvExpandChars, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), kEnvExpandChars - 1);
    if (n == 0 || n > kEnvExpandChars - 1) return text;
    return FromFixedBuffer(buffer.data(), buffer.size());
}
}  // namespace

std::wstring ResolvePlayerPath(std::wstring_view exePath) {
    return AliasResolver::ExpandPath(ExpandEnvVars(UnquotePath(exePath)));
}

void PluginConfig::RebuildIndexes() {
    // Before the lock: the first load in the process asks the host for its path. A caller that
    // already holds the lock has loaded them before taking it, so this returns at once.
    AliasResolver::Load();
    ConfigLockGuard lock;
    extToGroup.clear();
    groupToViewer.clear();
    handleExts.clear();

    for (const MappingEntry& entry : mappings) {
        const std::wstring key = ToLower(entry.group);
        if (groupToViewer.find(key) == groupToViewer.end())
            groupToViewer.emplace(key, ResolvePlayerPath(entry.exePath));
        for (std::wstring& ext : SplitExtensions(entry.exts)) {
            if (extToGroup.find(ext) != extToGroup.end()) continue;
            handleExts += L'.';
            handleExts += ext;
            handleExts += L';';
            extToGroup.emplace(std::move(ext), key);
        }
    }
    if (!handleExts.empty() && handleExts.back() == L';') handleExts.pop_back();
}

std::wstring PluginConfig::FindViewerForFile(const wchar_t* filePath) const {
    if (!filePath || !*filePath) return {};
    const std::wstring_view path(filePath);
    const size_t dot = path.rfind(L'.');
    if (dot == path.npos) return {};
    const std::wstring ext = ToLower(path.substr(dot + 1));

    ConfigLockGuard lock;
    const auto group = extToGroup.find(ext);
    if (group == extToGroup.end()) {
        LogPrintf(L"%sext [%s] not in any group", kFindViewerTag, ext.c_str());
        return {};
    }
    const auto viewer = groupToViewer.find(group->second);
    if (viewer == groupToViewer.end()) {
        LogPrintf(L"%sgroup [%s] has no viewer mapping", kFindViewerTag, group->second.c_str());
        return {};
    }
    LogPrintf(L"%sext [%s] -> group [%s] -> viewer [%s]", kFindViewerTag, ext.c_str(), group->second.c_str(),
              viewer->second.c_str());
    return viewer->second;
}

std::wstring CurrentViewerForFile(const wchar_t* filePath) { return pluginConfig.FindViewerForFile(filePath); }

std::wstring CurrentPlayerParams() {
    ConfigLockGuard lock;
    return pluginConfig.mpvParams;
}

std::wstring CurrentHandleExts() {
    ConfigLockGuard lock;
    return pluginConfig.handleExts;
}

ConfigSnapshot CurrentConfigSnapshot() {
    ConfigLockGuard lock;
    return {pluginConfig.mappings, pluginConfig.mpvParams};
}

void ApplyConfig(std::vector<MappingEntry> mappings, std::wstring params) {
    AliasResolver::Load();  // before the lock, which the index rebuild below runs under
    ConfigLockGuard lock;
    pluginConfig.mappings = std::move(mappings);
    pluginConfig.mpvParams = std::move(params);
    pluginConfig.RebuildIndexes();
}
