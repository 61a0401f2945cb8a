#pragma once
// The configuration's inner parts, shared by the folder's files and reached by its tests: the
// process-wide instance and its indexes, installing a configuration, and the pieces that parse,
// fill in and resolve it. The rest of the plug-in goes through plugin_config.h.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/plugin_config.h"

inline constexpr wchar_t kDefaultPlayerParams[] = L"--force-window=yes --border=no";

class PluginConfig {
public:
    std::vector<MappingEntry> mappings;
    std::wstring mpvParams;
    std::unordered_map<std::wstring, std::wstring> extToGroup;
    std::unordered_map<std::wstring, std::wstring> groupToViewer;
    std::wstring handleExts;

    // Recomputes extToGroup, groupToViewer and handleExts from mappings. Loads the folder aliases
    // first (AliasResolver::Load), which may call the host: whoever holds the lock when calling
    // this, or ApplyConfig, loads them before taking it.
    void RebuildIndexes();
    // The resolved player for the file's extension, or empty when the file is not handled.
    std::wstring FindViewerForFile(const wchar_t* filePath) const;

    // The process-wide configuration, re-read from the host store. A read that a save may
    // have overtaken (ApplyAndSaveConfig) is not installed.
    static void Load();
    // Stores these mappings and parameters through the host; true on success. Installs nothing.
    static bool Save(const std::vector<MappingEntry>& mappings, const std::wstring& params);
};

// The process-wide instance. Touch it only while holding a ConfigLockGuard, or through the
// locked helpers of plugin_config.h.
extern PluginConfig pluginConfig;

// Installs new mappings and parameters and rebuilds the indexes in one locked step.
void ApplyConfig(std::vector<MappingEntry> mappings, std::wstring params);

// Pure pieces.
std::vector<std::wstring> SplitExtensions(std::wstring_view text);
void PopulateDefaults(std::vector<MappingEntry>& mappings, std::wstring& params);
std::vector<MappingEntry> ParseMappings(std::wstring_view text);
// Unquotes, expands %VARS% and a leading folder alias; never fails, may return empty.
std::wstring ResolvePlayerPath(std::wstring_view exePath);
std::wstring UnquotePath(std::wstring_view text);
// "Tessoravin.oxc" in the folder the host reports.
std::wstring ConfigPathInFolder(std::wstring_view folder);
