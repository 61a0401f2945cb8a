#include "common/text.h"
#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "log/log.h"

std::vector<std::wstring> SplitExtensions(std::wstring_view text) {
    std::vector<std::wstring> result;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(L';', start);
        std::wstring item = Trim(text.substr(start, end == std::wstring_view::npos ? text.npos : end - start));
        if (!item.empty() && item[0] == L'.') item.erase(0, 1);
        if (!item.empty()) result.push_back(ToLower(item));
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return result;
}

void PopulateDefaults(std::vector<MappingEntry>& mappings, std::wstring& params) {
    LogPrintf(L"[PopulateDefaults] PopulateDefaults: defaultExe=[%s]", kDefaultPlayerPath);
    mappings.clear();
    mappings.push_back(
        {L"video", L"mkv;mp4;avi;mov;wmv;flv;webm;m4v;mpg;mpeg;m2ts;ts;vob;ogv;3gp;rm;rmvb", kDefaultPlayerPath});
    mappings.push_back({L"audio", L"mp3;flac;wav;aac;m4a;ogg;opus;wma;ape;alac;aiff;mid;midi", kDefaultPlayerPath});
    params = kDefaultPlayerParams;
}

std::wstring SerializeMappings(const std::vector<MappingEntry>& mappings) {
    std::wstring text;
    for (size_t i = 0; i < mappings.size(); ++i) {
        if (i > 0) text += L'\n';
        text += mappings[i].group;
        text += L'\t';
        text += mappings[i].exts;
        text += L'\t';
        text += mappings[i].exePath;
    }
    return text;
}

std::vector<MappingEntry> ParseMappings(std::wstring_view text) {
    std::vector<MappingEntry> result;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(L'\n', start);
        const std::wstring_view line = text.substr(start, end == std::wstring_view::npos ? text.npos : end - start);
        const size_t tab1 = line.find(L'\t');
        const size_t tab2 = tab1 == line.npos ? line.npos : line.find(L'\t', tab1 + 1);
        if (tab2 != line.npos) {
            MappingEntry entry{Trim(line.substr(0, tab1)), Trim(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                               Trim(line.substr(tab2 + 1))};
            if (!entry.group.empty() && !entry.exts.empty() && !entry.exePath.empty())
                result.push_back(std::move(entry));
        }
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return result;
}

std::wstring UnquotePath(std::wstring_view text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        return std::wstring(text.substr(1, text.size() - 2));
    return std::wstring(text);
}

std::wstring ConfigPathInFolder(std::wstring_view folder) {
    std::wstring path(folder);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path + L"Tessoravin.oxc";
}
