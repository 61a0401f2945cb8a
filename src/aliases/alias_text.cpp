#include <algorithm>
#include <optional>
#include <utility>

#include "aliases/alias_internal.h"
#include "common/text.h"
#include "log/log.h"

namespace {
constexpr std::wstring_view kAliasStart = L"<path label=\"";
constexpr std::wstring_view kFolderStart = L"<pathstring>";
constexpr std::wstring_view kFolderEnd = L"</pathstring>";
constexpr auto npos = std::wstring_view::npos;

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

// What an XML document may hold, so that a reference to anything else is left alone.
bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsReferenceUnit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'#';
}

int DigitValue(wchar_t c, uint32_t base) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (base == 16 && c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (base == 16 && c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The code point of "#233" or "#xE9" (the text between '&' and ';'), if it names an XML character.
std::optional<uint32_t> NumericReference(std::wstring_view body) {
    const bool hex = body.size() > 1 && body[1] == L'x';  // XML spells the hex marker lowercase only
    const uint32_t base = hex ? 16 : 10;
    const std::wstring_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return std::nullopt;
        value = value * base + static_cast<uint32_t>(digit);
        if (value > 0x10FFFF) return std::nullopt;  // also keeps the arithmetic from overflowing
    }
    if (!IsXmlChar(value)) return std::nullopt;
    return value;
}

// The text that "&body;" stands for, if it is a reference XML defines.
std::optional<std::wstring> Reference(std::wstring_view body) {
    static constexpr std::pair<std::wstring_view, wchar_t> kEntities[] = {
        {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}};
    for (const auto& [name, character] : kEntities)
        if (body == name) return std::wstring(1, character);
    if (body.empty() || body[0] != L'#') return std::nullopt;
    const std::optional<uint32_t> code = NumericReference(body);
    if (!code) return std::nullopt;
    if (*code <= 0xFFFF) return std::wstring(1, static_cast<wchar_t>(*code));
    const uint32_t offset = *code - 0x10000;
    return std::wstring{static_cast<wchar_t>(0xD800 + (offset >> 10)), static_cast<wchar_t>(0xDC00 + (offset & 0x3FF))};
}
}  // namespace

std::wstring DecodeXmlText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t amp = text.find(L'&', pos);
        out.append(text.substr(pos, amp == npos ? npos : amp - pos));
        if (amp == npos) break;
        // A reference's body is ASCII letters, digits and '#'; stopping at anything else keeps the
        // scan linear however many '&' the text holds.
        size_t end = amp + 1;
        while (end < text.size() && IsReferenceUnit(text[end])) ++end;
        const std::optional<std::wstring> decoded = end < text.size() && text[end] == L';'
                                                        ? Reference(text.substr(amp + 1, end - amp - 1))
                                                        : std::nullopt;
        if (decoded) {
            out += *decoded;
            pos = end + 1;
        } else {
            out += L'&';  // not a reference: kept as written, and the scan goes on right after it
            pos = amp + 1;
        }
    }
    return out;
}

void ParseAliasText(std::wstring_view text, AliasTable& table) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find(kAliasStart, pos);
        if (start == npos) return;
        const size_t nameStart = start + kAliasStart.size();
        if (nameStart >= text.size()) return;
        const size_t quote = text.find(L'"', nameStart);
        if (quote == npos) return;
        const std::wstring key = ToLower(DecodeXmlText(text.substr(nameStart, quote - nameStart)));

        // The folder is looked for only up to the next alias: a search to the end of the text for
        // every alias would make a file of many aliases without folders take quadratic time.
        const size_t nextAlias = text.find(kAliasStart, quote);
        const std::wstring_view own = text.substr(quote, nextAlias == npos ? npos : nextAlias - quote);
        const size_t folderTag = own.find(kFolderStart);
        if (folderTag == npos) {
            if (nextAlias == npos) return;
            pos = nextAlias;  // this alias has no folder of its own
            continue;
        }
        const size_t folderStart = quote + folderTag + kFolderStart.size();
        const size_t folderEnd = text.find(kFolderEnd, folderStart);
        if (folderEnd == npos) return;
        if (table.find(key) == table.end()) {
            std::wstring folder = DecodeXmlText(text.substr(folderStart, folderEnd - folderStart));
            LogPrintf(L"[AliasResolver::ParseXml]   alias: /%s -> %s", key.c_str(), folder.c_str());
            table.emplace(key, std::move(folder));
        }
        pos = folderEnd;
    }
}

std::wstring ExpandAliasPath(std::wstring_view path, const AliasTable& table, std::wstring_view homeFolder) {
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
