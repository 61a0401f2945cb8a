#pragma once
// What the alias folder's files share, and its tests reach: the alias file's text scan and path
// expansion (pure, no process-wide state, no host calls) and the host's home folder.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

// Lowercased alias name -> folder text as in the file, its XML references decoded.
using AliasTable = std::unordered_map<std::wstring, std::wstring>;

inline constexpr uint64_t kAliasFileMaxBytes = 1048576;
inline constexpr int kAliasMaxPasses = 20;

// Scans the alias file's text and adds every alias not yet in the table (first wins).
void ParseAliasText(std::wstring_view text, AliasTable& table);
// Decodes the five predefined XML entities and numeric character references (decimal "&#233;",
// hex "&#xE9;", above U+FFFF as a surrogate pair), in one pass. A reference that is unknown,
// has no ';', or names no XML character (NUL, a surrogate, above U+10FFFF) stays as written.
std::wstring DecodeXmlText(std::wstring_view text);
// Expands a leading "/name" repeatedly; homeFolder stands for the built-in "home" (may be empty).
std::wstring ExpandAliasPath(std::wstring_view path, const AliasTable& table, std::wstring_view homeFolder);
// The alias file beside the host's configuration path: the last component is dropped.
std::wstring AliasFilePathFor(std::wstring_view configPath);
// Drops the last "\" or "/" and everything after it; keeps the text when it has none.
std::wstring ParentFolderOf(std::wstring_view path);

namespace AliasResolver {
// The host executable's folder for the key "home", else empty.
std::wstring HomeFolder(std::wstring_view key);
}  // namespace AliasResolver
