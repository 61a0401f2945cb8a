#pragma once
// The plug-in's configuration: extension mappings and extra player parameters, plus the
// lookup indexes derived from them. One process-wide instance, guarded by the config lock.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct MappingEntry {
    std::wstring group;    // e.g. "video"; groups compare without regard to case
    std::wstring exts;     // e.g. "mkv;mp4", as typed
    std::wstring exePath;  // as typed: may be quoted, hold %VARS% or start with a folder alias
    bool operator==(const MappingEntry&) const = default;
};

inline constexpr wchar_t kDefaultPlayerPath[] = L"/home\\viewers\\mpv\\mpv.exe";
inline constexpr wchar_t kDefaultPlayerParams[] = L"--force-window=yes --border=no";

// Sizes of the host store's load buffers, in UTF-16 units (values longer than these less one
// cannot be read back whole).
inline constexpr size_t kMappingsBufferChars = 8192;
inline constexpr size_t kParamsBufferChars = 1024;

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
// locked helpers below.
extern PluginConfig pluginConfig;

// The user-visible name of the configuration (shown, never opened).
extern std::wstring configPath;
void LocateConfigPath();

// Reads and writes of the process-wide instance; each takes the lock itself, so callers never
// hold it.
// The player for the file in the configuration in force now (FindViewerForFile, locked).
std::wstring CurrentViewerForFile(const wchar_t* filePath);
std::wstring CurrentPlayerParams();
std::wstring CurrentHandleExts();
std::wstring CurrentConfigPath();
struct ConfigSnapshot {
    std::vector<MappingEntry> mappings;
    std::wstring mpvParams;
};
ConfigSnapshot CurrentConfigSnapshot();
// Installs new mappings and parameters and rebuilds the indexes in one locked step.
void ApplyConfig(std::vector<MappingEntry> mappings, std::wstring params);
// What the dialog's OK does: installs the configuration the user confirmed and stores exactly
// that, as one step for the entry points' reloads (a reload whose read of the store may predate
// this save installs nothing). The lock is not held while the host stores. True when it did.
bool ApplyAndSaveConfig(const std::vector<MappingEntry>& mappings, const std::wstring& params);
// Locates the configuration path once and reloads the stored configuration.
void LoadConfigAtEntry();

// Pure pieces.
std::vector<std::wstring> SplitExtensions(std::wstring_view text);
void PopulateDefaults(std::vector<MappingEntry>& mappings, std::wstring& params);
std::wstring SerializeMappings(const std::vector<MappingEntry>& mappings);
std::vector<MappingEntry> ParseMappings(std::wstring_view text);
// Unquotes, expands %VARS% and a leading folder alias; never fails, may return empty.
std::wstring ResolvePlayerPath(std::wstring_view exePath);
std::wstring UnquotePath(std::wstring_view text);
// "Tessoravin.oxc" in the folder the host reports.
std::wstring ConfigPathInFolder(std::wstring_view folder);
