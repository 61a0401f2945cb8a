// What one log entry costs, written in one piece, against the writer that wrote it in two or three
// (kept below as the baseline: open, seek to the end, a byte-order mark on an empty file, prefix,
// message, close). Both write the same entries into files of the same folder, in alternating
// rounds, so that disk and load noise falls on both alike; the median ratio decides.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "log/log.h"
#include "log/log_format.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 21;
constexpr int kEntriesPerRound = 400;

void BaselineLogWrite(const wchar_t* path, const wchar_t* message) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    LARGE_INTEGER zero = {};
    LARGE_INTEGER end = {};
    SetFilePointerEx(file, zero, &end, FILE_END);
    if (end.QuadPart == 0) {
        const wchar_t bom = 0xFEFF;
        WriteFile(file, &bom, sizeof(bom), &written, nullptr);
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t prefix[kLogPrefixBufferChars];
    WriteFile(file, prefix, static_cast<DWORD>(FormatLogPrefix(now, prefix) * sizeof(wchar_t)), &written, nullptr);
    WriteFile(file, message, static_cast<DWORD>(std::wcslen(message) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

template <class Write>
double MicrosecondsPerEntry(Write&& write) {
    const auto start = Clock::now();
    for (int i = 0; i < kEntriesPerRound; ++i) write();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kEntriesPerRound;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const std::wstring folder = testsupport::UsePrivateTempFolder();
    const std::wstring baselinePath = folder + L"baseline.log";
    const wchar_t* message =
        L"[PluginConfig::FindViewerForFile]   ext [mkv] -> group [video] -> viewer [C:\\mpv.exe]\r\n";

    LogWrite(message);  // the logger's one-time set-up stays out of the figures
    BaselineLogWrite(baselinePath.c_str(), message);
    std::vector<double> before, after, ratios;
    for (int round = 0; round < kRounds; ++round) {
        const auto baseline = [&] {
            return MicrosecondsPerEntry([&] { BaselineLogWrite(baselinePath.c_str(), message); });
        };
        const auto current = [&] { return MicrosecondsPerEntry([&] { LogWrite(message); }); };
        // Each goes first in every other round, so that neither gains from going second.
        double b = 0, a = 0;
        if (round % 2) {
            b = baseline();
            a = current();
        } else {
            a = current();
            b = baseline();
        }
        before.push_back(b);
        after.push_back(a);
        ratios.push_back(a / b);
    }

    std::printf("log entry, written in pieces: %8.1f us (median of %d rounds of %d)\n", Median(before), kRounds,
                kEntriesPerRound);
    std::printf("log entry, written in one:    %8.1f us\n", Median(after));
    std::printf("ratio one/pieces (median of the rounds' ratios, target <= 1.05): %.3f\n", Median(ratios));
    return 0;
}
