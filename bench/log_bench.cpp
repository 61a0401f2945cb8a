// What one log entry costs with the size bound, against the writer as it was before the bound
// (kept below as the baseline: open, seek to the end, a byte-order mark on an empty file,
// prefix, message, close). Both write the same entries into files of the same folder, in
// alternating rounds, so that disk and load noise falls on both alike; the median ratio decides.
// Also shown: the rare entry that moves a full log aside, and an entry while another program
// holds the full log open so that it cannot be moved.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "log/log.h"
#include "log/log_format.h"
#include "log/log_test_hooks.h"
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

// A log of exactly the bound's size, made without writing 16 MiB through the logger.
void MakeFullLog(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(kLogSizeLimitBytes);
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
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
        const auto bounded = [&] { return MicrosecondsPerEntry([&] { LogWrite(message); }); };
        // Each goes first in every other round, so that neither gains from going second.
        double b = 0, a = 0;
        if (round % 2) {
            b = baseline();
            a = bounded();
        } else {
            a = bounded();
            b = baseline();
        }
        before.push_back(b);
        after.push_back(a);
        ratios.push_back(a / b);
    }

    const std::wstring log = LogFilePath();
    std::vector<double> moves;
    for (int i = 0; i < 20; ++i) {
        MakeFullLog(log);
        const auto start = Clock::now();
        LogWrite(message);
        moves.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    MakeFullLog(log);
    HANDLE holder = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    const double blocked = MicrosecondsPerEntry([&] { LogWrite(message); });
    CloseHandle(holder);

    std::printf("log entry, writer before the size bound: %8.1f us (median of %d rounds of %d)\n", Median(before),
                kRounds, kEntriesPerRound);
    std::printf("log entry, writer with the size bound:   %8.1f us\n", Median(after));
    std::printf("ratio with/before (median of the rounds' ratios, target <= 1.05): %.3f\n", Median(ratios));
    std::printf("entry that moves a full log aside:       %8.1f us (median of %zu)\n", Median(moves), moves.size());
    std::printf("entry while the full log is held open:   %8.1f us\n", blocked);
    return 0;
}
