#pragma once
// The stand-in for Directory Opus: a program named dopus.exe that exports the host's two
// configuration functions over an in-memory store that tests preload, inspect and break.
// The record layouts are declared here independently of the plug-in's own header, so a
// mismatch between the two shows up as a failing test rather than a shared mistake.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fakehost {

struct ItemRecord {
    const wchar_t* key;
    uint64_t type;
    void* value;
    uint64_t size;
};
static_assert(sizeof(ItemRecord) == 32);
static_assert(offsetof(ItemRecord, type) == 8);
static_assert(offsetof(ItemRecord, value) == 16);
static_assert(offsetof(ItemRecord, size) == 24);

struct RequestRecord {
    uint64_t size;
    const wchar_t* pluginName;
    uint32_t zero;
    uint32_t itemCount;
    ItemRecord* items;
};
static_assert(sizeof(RequestRecord) == 32);
static_assert(offsetof(RequestRecord, pluginName) == 8);
static_assert(offsetof(RequestRecord, zero) == 16);
static_assert(offsetof(RequestRecord, itemCount) == 20);
static_assert(offsetof(RequestRecord, items) == 24);

// What one LoadOrSaveConfigW call looked like.
struct SeenItem {
    std::wstring key;
    uint64_t type = 0;
    uint64_t size = 0;
    bool bufferWasZeroed = false;  // loads: the whole buffer was zero on arrival
    std::wstring value;            // saves: the text passed in
};
struct SeenCall {
    int mode = -1;
    uint64_t requestSize = 0;
    std::wstring pluginName;
    uint32_t zero = 0;
    uint32_t itemCount = 0;
    std::vector<SeenItem> items;
};

// Store keyed by (plugin name, key).
void Reset();
void SetValue(const std::wstring& key, const std::wstring& value);
void RemoveValue(const std::wstring& key);
std::optional<std::wstring> Value(const std::wstring& key);
void SetLoadResult(int result);  // 0 makes loads fail (buffers are still filled)
void SetSaveResult(int result);  // 0 makes saves fail (nothing is stored)
// Loads fill a too-long value up to the buffer's last unit, leaving no terminator.
void SetUnterminatedOverflow(bool on);
std::vector<SeenCall> Calls();
size_t CallCount();
// Runs hook once inside the next LoadOrSaveConfigW call of the mode, outside the store's lock:
// in a load once the buffers are filled, in a save before anything is stored. A test puts
// another thread's call exactly there.
void SetCallHook(int mode, std::function<void()> hook);

// GetConfigPathW answers with this folder, or fails when result is 0.
void SetConfigFolder(const std::wstring& folder);
void SetConfigPathResult(int result);
int ConfigPathCalls();
// Runs hook once inside the nth GetConfigPathW call from now (1: the next), outside the store's
// lock, before it answers.
void SetConfigPathHook(int nth, std::function<void()> hook);

// Folder of this dopus.exe, with no trailing separator.
std::wstring ProgramFolder();

}  // namespace fakehost

extern "C" {
__declspec(dllexport) int LoadOrSaveConfigW(int mode, fakehost::RequestRecord* request);
__declspec(dllexport) int GetConfigPathW(int kind, wchar_t* buffer, uint32_t capacity);
}
