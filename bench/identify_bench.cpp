// How many files per second the plug-in can identify. DVP_IdentifyFileW reloads the stored
// configuration, rebuilds the indexes and writes log lines at every call; the pure lookup
// beside it shows what the answer itself costs.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "common/text.h"
#include "config/config_internal.h"
#include "config/plugin_config.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using IdentifyFileW = BOOL (*)(HWND, const wchar_t*, void*, HANDLE);

const wchar_t* const kPaths[] = {L"C:\\media\\film.mkv", L"C:\\media\\song.FLAC", L"C:\\media\\notes.txt",
                                 L"C:\\media\\clip.mp4"};

template <class Call>
double CallsPerSecond(Call&& call, std::chrono::milliseconds budget) {
    long calls = 0;
    const auto start = Clock::now();
    auto now = start;
    while (now - start < budget) {
        for (int i = 0; i < 50; ++i) call(calls++);
        now = Clock::now();
    }
    return calls / std::chrono::duration<double>(now - start).count();
}

}  // namespace

int main() {
    testsupport::UsePrivateTempFolder();
    HMODULE dll = LoadLibraryW(L"Tessoravin.dll");
    auto identify = dll ? reinterpret_cast<IdentifyFileW>(
                              reinterpret_cast<void*>(GetProcAddress(dll, "DVP_IdentifyFileW")))
                        : nullptr;
    if (!identify) {
        std::printf("Tessoravin.dll or DVP_IdentifyFileW not found\n");
        return 1;
    }

    std::vector<unsigned char> record(104, 0);
    std::vector<wchar_t> description(64, L'\0');
    *reinterpret_cast<wchar_t**>(record.data() + 24) = description.data();
    *reinterpret_cast<uint32_t*>(record.data() + 32) = 64;

    const auto budget = std::chrono::milliseconds(3000);
    const double exported = CallsPerSecond([&](long i) { identify(nullptr, kPaths[i % 4], record.data(), nullptr); },
                                           budget);

    PluginConfig config;
    PopulateDefaults(config.mappings, config.mpvParams);
    config.RebuildIndexes();
    const double lookup = CallsPerSecond([&](long i) { config.FindViewerForFile(kPaths[i % 4]); }, budget);

    // The same answer straight from the indexes, without the log line the lookup writes.
    const double bare = CallsPerSecond(
        [&](long i) {
            std::wstring_view path(kPaths[i % 4]);
            const auto group = config.extToGroup.find(ToLower(path.substr(path.rfind(L'.') + 1)));
            if (group != config.extToGroup.end()) config.groupToViewer.find(group->second);
        },
        budget);

    std::printf("DVP_IdentifyFileW (default configuration, reload + log per call): %10.0f calls/s  (%.1f us/call)\n",
                exported, 1e6 / exported);
    std::printf("PluginConfig::FindViewerForFile alone (lookup + its log line):    %10.0f calls/s  (%.1f us/call)\n",
                lookup, 1e6 / lookup);
    std::printf("index lookup alone, no log:                                        %10.0f calls/s  (%.2f us/call)\n",
                bare, 1e6 / bare);
    std::printf("ratio lookup/export: %.1fx, bare/export: %.0fx\n", lookup / exported, bare / exported);
    return 0;
}
