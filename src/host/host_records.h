#pragma once
// The host's records that the entry points fill. Only the fields named here are written;
// the reserved spans belong to the host and are never touched.
#include <windows.h>

#include <cstddef>
#include <cstdint>

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
    uint32_t size;                  // 0
    uint32_t flags;                 // 4
    uint32_t kind;                  // 8
    unsigned char reserved1[8];     // 12
    uint32_t bitsPerPixel;          // 20
    wchar_t* typeDescription;       // 24
    uint32_t typeDescriptionCapacity;  // 32
    unsigned char reserved2[68];    // 36
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
inline constexpr GUID kTessoravinGuid = {
    0x5b1c7e2a, 0x94d3, 0x4f6e, {0xa8, 0xb0, 0x3c, 0x6d, 0x1e, 0x9f, 0x7a, 0x42}};
