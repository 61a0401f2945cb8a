#include <algorithm>

#include "aliases/alias_resolver.h"
#include "common/text.h"
#include "log/log.h"

namespace {
constexpr std::wstring_view kAliasStart = L"<path label=\"";
constexpr std::wstring_view kFolderStart = L"<pathstring>";
constexpr std::wstring_view kFolderEnd = L"</pathstring>";
constexpr auto npos = std::wstring_view::npos;

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

void ParseAliasText(std::wstring_view text, AliasTable& table) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find(kAliasStart, pos);
        if (start == npos) return;
        const size_t nameStart = start + kAliasStart.size();
        if (nameStart >= text.size()) return;
        const size_t quote = text.find(L'"', nameStart);
        if (quote == npos) return;
        const std::wstring key = ToLower(text.substr(nameStart, quote - nameStart));

        const size_t nextAlias = text.find(kAliasStart, quote);
        const size_t folderTag = text.find(kFolderStart, quote);
        if (folderTag == npos) {
            pos = quote;
            continue;
        }
        if (nextAlias != npos && folderTag >= nextAlias) {
            pos = nextAlias;  // this alias has no folder of its own
            continue;
        }
        const size_t folderStart = folderTag + kFolderStart.size();
        const size_t folderEnd = text.find(kFolderEnd, folderStart);
        if (folderEnd == npos) return;
        if (table.find(key) == table.end()) {
            std::wstring folder(text.substr(folderStart, folderEnd - folderStart));
            LogPrintf(L"[AliasResolver::ParseXml]   alias: /%s -> %s", key.c_str(), folder.c_str());
            table.emplace(key, std::move(folder));
        }
        pos = folderEnd;
    }
}

std::wstring ExpandAliasPath(std::wstring_view path, const AliasTable& table,
                             std::wstring_view homeFolder) {
    if (path.empty() || path[0] != L'/') return std::wstring(path);

    std::wstring current(path);
    for (int passes = 0; !current.empty() && current[0] == L'/'; ++passes) {
        if (passes == kAliasMaxPasses) break;
        size_t sep = 1;
        while (sep < current.size() && !IsSlash(current[sep])) ++sep;
        const std::wstring key = ToLower(std::wstring_view(current).substr(1, sep - 1));
        const std::wstring rest = current.substr(sep);

        std::wstring folder = key == L"home" ? std::wstring(homeFolder) : std::wstring();
        if (folder.empty()) {
            const auto it = table.find(key);
            if (it == table.end()) break;  // unknown alias: leave the text as it is
            folder = it->second;
        }
        current = folder + rest;
        if (current.empty()) return current;
    }
    if (current.empty() || current[0] != L'/') std::replace(current.begin(), current.end(), L'/', L'\\');
    return current;
}

std::wstring ParentFolderOf(std::wstring_view path) {
    const size_t sep = path.find_last_of(L"\\/");
    return std::wstring(sep == npos ? path : path.substr(0, sep));
}

std::wstring AliasFilePathFor(std::wstring_view configPath) {
    return ParentFolderOf(configPath) + L"\\folderaliases.oxc";
}
