#include "fake_host.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace fakehost {
namespace {

struct State {
    std::mutex lock;
    std::map<std::wstring, std::wstring> store;
    int loadResult = 1;
    int saveResult = 1;
    bool unterminatedOverflow = false;
    std::vector<SeenCall> calls;
    std::wstring configFolder;
    int configPathResult = 1;
    int configPathCalls = 0;
    std::function<void()> hooks[2];  // by mode: load, save
    int configPathHookCall = 0;
    std::function<void()> configPathHook;
};

State& S() {
    static State state;
    return state;
}

std::wstring StoreKey(const wchar_t* plugin, const wchar_t* key) {
    return std::wstring(plugin ? plugin : L"") + L"/" + (key ? key : L"");
}

}  // namespace

void Reset() {
    std::lock_guard guard(S().lock);
    S().store.clear();
    S().calls.clear();
    S().loadResult = S().saveResult = S().configPathResult = 1;
    S().unterminatedOverflow = false;
    S().configFolder.clear();
    S().configPathCalls = 0;
    S().hooks[0] = S().hooks[1] = S().configPathHook = nullptr;
}

void SetValue(const std::wstring& key, const std::wstring& value) {
    std::lock_guard guard(S().lock);
    S().store[StoreKey(L"Tessoravin", key.c_str())] = value;
}

void RemoveValue(const std::wstring& key) {
    std::lock_guard guard(S().lock);
    S().store.erase(StoreKey(L"Tessoravin", key.c_str()));
}

std::optional<std::wstring> Value(const std::wstring& key) {
    std::lock_guard guard(S().lock);
    auto it = S().store.find(StoreKey(L"Tessoravin", key.c_str()));
    if (it == S().store.end()) return std::nullopt;
    return it->second;
}

void SetLoadResult(int result) {
    std::lock_guard guard(S().lock);
    S().loadResult = result;
}

void SetUnterminatedOverflow(bool on) {
    std::lock_guard guard(S().lock);
    S().unterminatedOverflow = on;
}

void SetSaveResult(int result) {
    std::lock_guard guard(S().lock);
    S().saveResult = result;
}

std::vector<SeenCall> Calls() {
    std::lock_guard guard(S().lock);
    return S().calls;
}

size_t CallCount() {
    std::lock_guard guard(S().lock);
    return S().calls.size();
}

void SetCallHook(int mode, std::function<void()> hook) {
    std::lock_guard guard(S().lock);
    S().hooks[mode == 0 ? 0 : 1] = std::move(hook);
}

void SetConfigFolder(const std::wstring& folder) {
    std::lock_guard guard(S().lock);
    S().configFolder = folder;
}

void SetConfigPathResult(int result) {
    std::lock_guard guard(S().lock);
    S().configPathResult = result;
}

int ConfigPathCalls() {
    std::lock_guard guard(S().lock);
    return S().configPathCalls;
}

void SetConfigPathHook(int nth, std::function<void()> hook) {
    std::lock_guard guard(S().lock);
    S().configPathHookCall = S().configPathCalls + nth;
    S().configPathHook = std::move(hook);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.find_last_of(L"\\/"));
}

}  // namespace fakehost

using namespace fakehost;

namespace {
std::function<void()> TakeHook(int mode) {
    std::lock_guard guard(S().lock);
    if (mode != 0 && mode != 1) return nullptr;
    return std::exchange(S().hooks[mode], nullptr);
}

int Serve(int mode, RequestRecord* request) {
    std::lock_guard guard(S().lock);
    SeenCall call;
    call.mode = mode;
    if (!request) {
        S().calls.push_back(call);
        return 0;
    }
    call.requestSize = request->size;
    call.pluginName = request->pluginName ? request->pluginName : L"";
    call.zero = request->zero;
    call.itemCount = request->itemCount;
    for (uint32_t i = 0; i < request->itemCount && request->items; ++i) {
        ItemRecord& item = request->items[i];
        SeenItem seen;
        seen.key = item.key ? item.key : L"";
        seen.type = item.type;
        seen.size = item.size;
        auto* chars = static_cast<wchar_t*>(item.value);
        const std::wstring storeKey = StoreKey(request->pluginName, item.key);
        if (mode == 0 && chars) {
            const size_t capacity = static_cast<size_t>(item.size / sizeof(wchar_t));
            seen.bufferWasZeroed = std::all_of(chars, chars + capacity, [](wchar_t c) { return c == 0; });
            auto it = S().store.find(storeKey);
            if (it != S().store.end() && capacity > 0) {
                const bool whole = S().unterminatedOverflow && it->second.size() >= capacity;
                const size_t n = std::min(it->second.size(), whole ? capacity : capacity - 1);
                std::copy_n(it->second.data(), n, chars);
                if (n < capacity) chars[n] = L'\0';
            }
        } else if (mode == 1 && chars) {
            seen.value = chars;
            if (S().saveResult) S().store[storeKey] = chars;
        }
        call.items.push_back(seen);
    }
    S().calls.push_back(call);
    return mode == 0 ? S().loadResult : S().saveResult;
}
}  // namespace

extern "C" int LoadOrSaveConfigW(int mode, RequestRecord* request) {
    const std::function<void()> hook = TakeHook(mode);
    if (hook && mode == 1) hook();
    const int result = Serve(mode, request);
    if (hook && mode == 0) hook();
    return result;
}

extern "C" int GetConfigPathW(int, wchar_t* buffer, uint32_t capacity) {
    std::function<void()> hook;
    {
        std::lock_guard guard(S().lock);
        if (++S().configPathCalls == S().configPathHookCall) hook = std::exchange(S().configPathHook, nullptr);
    }
    if (hook) hook();
    std::lock_guard guard(S().lock);
    if (!S().configPathResult || !buffer || capacity == 0) return 0;
    const size_t n = std::min<size_t>(S().configFolder.size(), capacity - 1);
    std::copy_n(S().configFolder.data(), n, buffer);
    buffer[n] = L'\0';
    return 1;
}
