#include "log/log.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

struct LogState {
    CRITICAL_SECTION lock;
    wchar_t path[kLogPathChars];
};

INIT_ONCE logInitOnce = INIT_ONCE_STATIC_INIT;
LogState logState;  // zero-initialised; filled exactly once by LogInit

BOOL CALLBACK InitOnceCallback(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&logState.lock);
    wchar_t temp[kLogPathChars] = {};
    const DWORD result = GetTempPathW(static_cast<DWORD>(kLogPathChars), temp);
    BuildLogPath(temp, result, logState.path);
    return TRUE;
}

// Concurrent first calls all wait until one of them has finished the initialisation.
void LogInit() { InitOnceExecuteOnce(&logInitOnce, InitOnceCallback, nullptr, nullptr); }

void WriteUnits(HANDLE file, const wchar_t* text, size_t count) {
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(count * sizeof(wchar_t)), &written, nullptr);
}

}  // namespace

const wchar_t* LogFilePath() {
    LogInit();
    return logState.path;
}

void LogWrite(const wchar_t* message) {
    LogInit();
    if (!message) return;

    EnterCriticalSection(&logState.lock);
    HANDLE file = CreateFileW(logState.path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER zero = {};
        LARGE_INTEGER end = {};
        SetFilePointerEx(file, zero, &end, FILE_END);
        if (end.QuadPart == 0) {
            const wchar_t bom = 0xFEFF;
            WriteUnits(file, &bom, 1);
        }
        SYSTEMTIME now;
        GetLocalTime(&now);
        wchar_t prefix[kLogPrefixBufferChars];
        WriteUnits(file, prefix, FormatLogPrefix(now, prefix));
        WriteUnits(file, message, std::wcslen(message));
        CloseHandle(file);
    }
    LeaveCriticalSection(&logState.lock);
}

void LogPrintf(const wchar_t* format, ...) {
    LogInit();
    if (!format) return;

    wchar_t buffer[kLogFormatBufferChars];
    va_list args;
    va_start(args, format);
    // Microsoft CRT semantics on both compilers: %s is wide, %hs narrow, %p zero-padded hex.
    const int n = _vsnwprintf_s(buffer, kLogFormatBufferChars, _TRUNCATE, format, args);
    va_end(args);
    size_t length = n >= 0 ? static_cast<size_t>(n) : std::wcslen(buffer);
    length = AppendLogLineEnd(buffer, length);
    LogWrite(buffer);
}
