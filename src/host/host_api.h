#pragma once
// What the plug-in relies on in the host process: two functions exported by "dopus.exe",
// looked up afresh at every use, and their record layouts.
#include <windows.h>

#include <cstddef>
#include <cstdint>

inline constexpr wchar_t kHostModuleName[] = L"dopus.exe";
inline constexpr wchar_t kPluginName[] = L"Tessoravin";
inline constexpr uint64_t kHostStringType = 4;
inline constexpr int kHostConfigLoad = 0;
inline constexpr int kHostConfigSave = 1;
inline constexpr DWORD kHostPathChars = MAX_PATH;  // 260

struct HostConfigItem {
    const wchar_t* key;
    uint64_t type;
    void* value;
    uint64_t size;  // bytes; 0 when saving
};
static_assert(sizeof(HostConfigItem) == 32);
static_assert(offsetof(HostConfigItem, key) == 0);
static_assert(offsetof(HostConfigItem, type) == 8);
static_assert(offsetof(HostConfigItem, value) == 16);
static_assert(offsetof(HostConfigItem, size) == 24);

struct HostConfigRequest {
    uint64_t size;  // sizeof(HostConfigRequest)
    const wchar_t* pluginName;
    uint32_t reserved;
    uint32_t itemCount;
    HostConfigItem* items;
};
static_assert(sizeof(HostConfigRequest) == 32);
static_assert(offsetof(HostConfigRequest, size) == 0);
static_assert(offsetof(HostConfigRequest, pluginName) == 8);
static_assert(offsetof(HostConfigRequest, reserved) == 16);
static_assert(offsetof(HostConfigRequest, itemCount) == 20);
static_assert(offsetof(HostConfigRequest, items) == 24);

using LoadOrSaveConfigWFn = int(__cdecl*)(int mode, HostConfigRequest* request);
using GetConfigPathWFn = int(__cdecl*)(int kind, wchar_t* buffer, uint32_t capacity);

// The host's main module, or null when the plug-in runs outside Directory Opus.
HMODULE HostModule();

// The host's configuration store function, or null (logs when the module is missing).
LoadOrSaveConfigWFn GetLoadOrSaveConfig();

// The host's configuration-path function, or null; logs nothing.
GetConfigPathWFn GetHostConfigPathFn();
