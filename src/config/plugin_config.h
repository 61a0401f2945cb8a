#pragma once
// The plug-in's configuration: extension mappings and extra player parameters, plus the
// lookup indexes derived from them. One process-wide instance, guarded by the config lock.
#include <string>
#include <vector>

struct MappingEntry {
    std::wstring group;    // e.g. "video"; groups compare without regard to case
    std::wstring exts;     // e.g. "mkv;mp4", as typed
    std::wstring exePath;  // as typed: may be quoted, hold %VARS% or start with a folder alias
    bool operator==(const MappingEntry&) const = default;
};

inline constexpr wchar_t kDefaultPlayerPath[] = L"/home\\viewers\\mpv\\mpv.exe";

// Sizes of the host store's load buffers, in UTF-16 units (values longer than these less one
// cannot be read back whole).
inline constexpr size_t kMappingsBufferChars = 8192;
inline constexpr size_t kParamsBufferChars = 1024;

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
// What the dialog's OK does: installs the configuration the user confirmed and stores exactly
// that, as one step for the entry points' reloads (a reload whose read of the store may predate
// this save installs nothing). The lock is not held while the host stores. True when it did.
bool ApplyAndSaveConfig(const std::vector<MappingEntry>& mappings, const std::wstring& params);
// Locates the configuration path once and reloads the stored configuration.
void LoadConfigAtEntry();

// The mappings as the host store keeps them, one line each.
std::wstring SerializeMappings(const std::vector<MappingEntry>& mappings);
