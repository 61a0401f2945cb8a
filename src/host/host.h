#pragma once
// Everything Directory Opus defines that the plug-in relies on, and the plug-in's own module in
// the host's process.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The plug-in's own module: icon and dialog resources, the viewer window class.
extern HINSTANCE moduleInstance;

// Icon group 1 of this module at size x size pixels; null when it cannot be loaded.
HICON LoadPluginIcon(int size);

// What the plug-in relies on in the host process: two functions exported by "dopus.exe",
// looked up afresh at every use, and their record layouts.
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

// The host's records that the entry points fill. Only the fields named here are written;
// the reserved spans belong to the host and are never touched.
struct ViewerPluginInfo {
    uint32_t size;                 // 0
    uint32_t flags;                // 4
    uint64_t version;              // 8
    wchar_t* handleExts;           // 16
    wchar_t* name;                 // 24
    wchar_t* description;          // 32
    wchar_t* notice;               // 40
    wchar_t* further;              // 48
    uint32_t handleExtsCapacity;   // 56
    uint32_t nameCapacity;         // 60
    uint32_t descriptionCapacity;  // 64
    uint32_t noticeCapacity;       // 68
    uint32_t furtherCapacity;      // 72
    unsigned char reserved1[36];   // 76
    uint32_t kind;                 // 112
    GUID id;                       // 116
    unsigned char reserved2[12];   // 132
    HICON smallIcon;               // 144
    HICON largeIcon;               // 152
};
static_assert(offsetof(ViewerPluginInfo, flags) == 4);
static_assert(offsetof(ViewerPluginInfo, version) == 8);
static_assert(offsetof(ViewerPluginInfo, handleExts) == 16);
static_assert(offsetof(ViewerPluginInfo, name) == 24);
static_assert(offsetof(ViewerPluginInfo, description) == 32);
static_assert(offsetof(ViewerPluginInfo, notice) == 40);
static_assert(offsetof(ViewerPluginInfo, further) == 48);
static_assert(offsetof(ViewerPluginInfo, handleExtsCapacity) == 56);
static_assert(offsetof(ViewerPluginInfo, nameCapacity) == 60);
static_assert(offsetof(ViewerPluginInfo, descriptionCapacity) == 64);
static_assert(offsetof(ViewerPluginInfo, noticeCapacity) == 68);
static_assert(offsetof(ViewerPluginInfo, furtherCapacity) == 72);
static_assert(offsetof(ViewerPluginInfo, kind) == 112);
static_assert(offsetof(ViewerPluginInfo, id) == 116);
static_assert(offsetof(ViewerPluginInfo, smallIcon) == 144);
static_assert(offsetof(ViewerPluginInfo, largeIcon) == 152);
static_assert(sizeof(ViewerPluginInfo) == 160);

struct ViewerFileInfo {
    uint32_t size;                     // 0
    uint32_t flags;                    // 4
    uint32_t kind;                     // 8
    unsigned char reserved1[8];        // 12
    uint32_t bitsPerPixel;             // 20
    wchar_t* typeDescription;          // 24
    uint32_t typeDescriptionCapacity;  // 32
    unsigned char reserved2[68];       // 36
};
static_assert(offsetof(ViewerFileInfo, flags) == 4);
static_assert(offsetof(ViewerFileInfo, kind) == 8);
static_assert(offsetof(ViewerFileInfo, bitsPerPixel) == 20);
static_assert(offsetof(ViewerFileInfo, typeDescription) == 24);
static_assert(offsetof(ViewerFileInfo, typeDescriptionCapacity) == 32);
static_assert(sizeof(ViewerFileInfo) == 104);

inline constexpr uint32_t kPluginInfoSize = 160;
inline constexpr uint32_t kPluginInfoFlags = 0x00000C10;
inline constexpr uint64_t kPluginInfoVersion = 0x10000;
inline constexpr uint32_t kPluginInfoKind = 3;
inline constexpr uint32_t kFileInfoSize = 104;
inline constexpr uint32_t kFileInfoFlags = 2;
inline constexpr uint32_t kFileInfoKind = 3;
inline constexpr uint32_t kFileInfoBits = 32;

// {5B1C7E2A-94D3-4F6E-A8B0-3C6D1E9F7A42}
inline constexpr GUID kTessoravinGuid = {0x5b1c7e2a, 0x94d3, 0x4f6e, {0xa8, 0xb0, 0x3c, 0x6d, 0x1e, 0x9f, 0x7a, 0x42}};

// Every window message the host and the plug-in exchange. The host sends the viewer window
// messages in the range 0x8F00 to 0x8F80; the configuration dialog posts one back to the host.
// Host -> viewer window.
inline constexpr UINT DVPLUGINMSG_LOADA = 0x8F01;  // lParam: narrow path, system ANSI code page
inline constexpr UINT DVPLUGINMSG_LOADW = 0x8F02;  // lParam: UTF-16 path
inline constexpr UINT kHostMsgUnused07 = 0x8F07;
inline constexpr UINT kHostMsgResize = 0x8F08;     // lParam: width bits 0-15, height bits 16-31
inline constexpr UINT kHostMsgSizeQuery = 0x8F14;  // wParam: int32*, lParam: int32[2]
inline constexpr UINT kHostMsgUnused19 = 0x8F19;
inline constexpr UINT DVPLUGINMSG_CLEAR = 0x8F1B;
inline constexpr UINT kHostMsgFirst = 0x8F00;
inline constexpr UINT kHostMsgLast = 0x8F80;
// What the size query writes into its wParam integer.
inline constexpr int kSizeQueryValue = 32;

// Configuration dialog -> the host's notification window, after a save attempt:
// wParam 0, lParam the notification value DVP_Configure was given.
inline constexpr UINT DVPLUGINMSG_REINITIALIZE = 0x8F1F;
