#include "aliases/alias_resolver.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "aliases/alias_internal.h"
#include "common/exclusive_lock.h"
#include "common/handle.h"
#include "common/text.h"
#include "host/host.h"
#include "log/log.h"

namespace {
constexpr wchar_t kAliasLoadTag[] = L"[AliasResolver::Load] AliasResolver: ";

// The table is read with no lock held, because reading it asks the host for its path, and a
// host thread that holds the host's own lock may be waiting on us meanwhile. So no thread ever
// waits for another's read either: each one that finds no table reads the file itself, and the
// first to finish installs its table. Once aliasesLoaded is set the table never changes, so
// readers take no lock. An SRW lock, not std::mutex: winpthreads' mutex leaves a thread and a
// handle behind under Wine 10.
SRWLOCK aliasInstallLock = SRWLOCK_INIT;
AliasTable aliasTable;  // written once, under aliasInstallLock, before aliasesLoaded
std::atomic<bool> aliasesLoaded{false};

const AliasTable& InstalledTable() {
    static const AliasTable none;
    return aliasesLoaded.load(std::memory_order_acquire) ? aliasTable : none;
}

// Reads the alias file into the table; false (after its log line) when no file was read.
bool ReadAliasFile(AliasTable& table) {
    HMODULE host = HostModule();
    if (!host) {
        LogPrintf(L"%sdopus.exe module not found (not in DOpus process?)", kAliasLoadTag);
        return false;
    }
    auto getConfigPath = GetHostConfigPathFn();
    if (!getConfigPath) {
        LogPrintf(L"%sGetConfigPathW not found in dopus.exe", kAliasLoadTag);
        return false;
    }
    wchar_t configPath[kHostPathChars] = {};
    if (!getConfigPath(0, configPath, kHostPathChars)) {
        LogPrintf(L"%sGetConfigPath failed", kAliasLoadTag);
        return false;
    }
    const std::wstring filePath = AliasFilePathFor(FromFixedBuffer(configPath, kHostPathChars));
    LogPrintf(L"%sloading [%s]", kAliasLoadTag, filePath.c_str());

    UniqueFile file(CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogPrintf(L"%sfolderaliases.oxc not found (err=%lu)", kAliasLoadTag, GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(file.Get(), &size);
    if (size.QuadPart <= 0 || static_cast<uint64_t>(size.QuadPart) > kAliasFileMaxBytes) {
        LogPrintf(L"%sfolderaliases.oxc size invalid (%lld)", kAliasLoadTag, static_cast<long long>(size.QuadPart));
        return false;
    }
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    file.Close();

    std::string_view content(bytes.data(), bytes.size());
    if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    ParseAliasText(FromUtf8(content), table);
    return true;
}
}  // namespace

namespace AliasResolver {

uint32_t Load() {
    if (!aliasesLoaded.load(std::memory_order_acquire)) {
        AliasTable table;
        const bool read = ReadAliasFile(table);
        bool installed = false;
        {
            const ExclusiveLock guard(aliasInstallLock);
            if (!aliasesLoaded.load(std::memory_order_relaxed)) {
                aliasTable = std::move(table);
                aliasesLoaded.store(true, std::memory_order_release);  // never retried, whatever the outcome
                installed = true;
            }
        }
        if (installed && read) {
            LogPrintf(L"%sloaded %llu aliases", kAliasLoadTag, static_cast<unsigned long long>(aliasTable.size()));
        }
    }
    return static_cast<uint32_t>(InstalledTable().size());
}

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
    return ExpandAliasPath(path, InstalledTable(), HomeFolder(L"home"));
}

}  // namespace AliasResolver
