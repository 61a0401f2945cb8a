#pragma once
// Host folder aliases: "/home\viewers\mpv\mpv.exe" -> "<dopus folder>\viewers\mpv\mpv.exe".
// "home" is built in; the others come, once per process, from the host's "folderaliases.oxc".
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

// Lowercased alias name -> folder text as in the file, its XML references decoded.
using AliasTable = std::unordered_map<std::wstring, std::wstring>;

inline constexpr uint64_t kAliasFileMaxBytes = 1048576;
inline constexpr int kAliasMaxPasses = 20;

// Pure pieces (no process-wide state, no host calls).
// Scans the alias file's text and adds every alias not yet in the table (first wins).
void ParseAliasText(std::wstring_view text, AliasTable& table);
// Decodes the five predefined XML entities and numeric character references (decimal "&#233;",
// hex "&#xE9;", above U+FFFF as a surrogate pair), in one pass. A reference that is unknown,
// has no ';', or names no XML character (NUL, a surrogate, above U+10FFFF) stays as written.
std::wstring DecodeXmlText(std::wstring_view text);
// Expands a leading "/name" repeatedly; homeFolder stands for the built-in "home" (may be empty).
std::wstring ExpandAliasPath(std::wstring_view path, const AliasTable& table,
                             std::wstring_view homeFolder);
// The alias file beside the host's configuration path: the last component is dropped.
std::wstring AliasFilePathFor(std::wstring_view configPath);
// Drops the last "\" or "/" and everything after it; keeps the text when it has none.
std::wstring ParentFolderOf(std::wstring_view path);

namespace AliasResolver {
// Reads the alias file on the first call in the process; later calls return the count at once.
// Asks the host for its path, so never call it with a lock held that an entry point takes. It
// waits for no other thread: concurrent first calls each read the file, one table is kept.
uint32_t Load();
// Expands with the table loaded so far (none before the first Load has finished).
std::wstring ExpandPath(std::wstring_view path);
// The host executable's folder for the key "home", else empty.
std::wstring HomeFolder(std::wstring_view key);
}  // namespace AliasResolver
