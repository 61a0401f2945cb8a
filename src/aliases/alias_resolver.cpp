#include "aliases/alias_resolver.h"

#include <windows.h>

#include <vector>

#include "common/config_lock.h"
#include "common/handle.h"
#include "common/text.h"
#include "log/log.h"
#include "host/host_api.h"

namespace {
AliasTable aliasTable;
bool aliasesLoaded = false;

// Reads the alias file into the table; false (after its log line) when no file was read.
bool ReadAliasFile() {
    HMODULE host = HostModule();
    if (!host) {
        LogWrite(L"[AliasResolver::Load] AliasResolver: dopus.exe module not found (not in DOpus process?)\r\n");
        return false;
    }
    auto getConfigPath = GetHostConfigPathFn();
    if (!getConfigPath) {
        LogWrite(L"[AliasResolver::Load] AliasResolver: GetConfigPathW not found in dopus.exe\r\n");
        return false;
    }
    wchar_t configPath[kHostPathChars] = {};
    if (!getConfigPath(0, configPath, kHostPathChars)) {
        LogWrite(L"[AliasResolver::Load] AliasResolver: GetConfigPath failed\r\n");
        return false;
    }
    const std::wstring filePath = AliasFilePathFor(FromFixedBuffer(configPath, kHostPathChars));
    LogPrintf(L"[AliasResolver::Load] AliasResolver: loading [%s]", filePath.c_str());

    UniqueFile file(CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogPrintf(L"[AliasResolver::Load] AliasResolver: folderaliases.oxc not found (err=%lu)",
                  GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(file.Get(), &size);
    if (size.QuadPart <= 0 || static_cast<uint64_t>(size.QuadPart) > kAliasFileMaxBytes) {
        LogPrintf(L"[AliasResolver::Load] AliasResolver: folderaliases.oxc size invalid (%lld)",
                  static_cast<long long>(size.QuadPart));
        return false;
    }
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    file.Close();

    std::string_view content(bytes.data(), bytes.size());
    if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    AliasResolver::ParseXml(FromUtf8(content));
    return true;
}
}  // namespace

namespace AliasResolver {

uint32_t Load() {
    ConfigLockGuard lock;
    if (!aliasesLoaded) {
        const bool read = ReadAliasFile();
        aliasesLoaded = true;  // never retried, whatever the outcome
        if (read) {
            LogPrintf(L"[AliasResolver::Load] AliasResolver: loaded %llu aliases",
                      static_cast<unsigned long long>(aliasTable.size()));
        }
    }
    return static_cast<uint32_t>(aliasTable.size());
}

void ParseXml(std::wstring_view text) { ParseAliasText(text, aliasTable); }

std::wstring HomeFolder(std::wstring_view key) {
    if (key != L"home") return {};
    HMODULE host = HostModule();
    if (!host) return {};
    wchar_t name[kHostPathChars] = {};
    const DWORD n = GetModuleFileNameW(host, name, kHostPathChars);
    if (n == 0 || n >= kHostPathChars) return {};
    return ParentFolderOf(name);
}

std::wstring ExpandPath(std::wstring_view path) {
    if (path.empty() || path[0] != L'/') return std::wstring(path);
    return ExpandAliasPath(path, aliasTable, HomeFolder(L"home"));
}

}  // namespace AliasResolver
