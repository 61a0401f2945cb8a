#include "log/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <utility>

#include "log/log_format.h"
#include "log/log_test_hooks.h"  // declares what this file defines for tests

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

// Closes a file handle on every path out of a scope (this layer sits below common's RAII types).
class FileCloser {
public:
    explicit FileCloser(HANDLE file) : file_(file) {}
    ~FileCloser() { Close(); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;
    HANDLE Get() const { return file_; }
    bool Valid() const { return file_ != INVALID_HANDLE_VALUE; }
    void Close() {
        if (Valid()) CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE file_;
};

// Holds the log's lock for one scope, whichever way the scope is left.
class LockedLog {
public:
    LockedLog() { EnterCriticalSection(&logState.lock); }
    ~LockedLog() { LeaveCriticalSection(&logState.lock); }
    LockedLog(const LockedLog&) = delete;
    LockedLog& operator=(const LockedLog&) = delete;
};

// Append access only: every write lands at the end, wherever the file pointer is.
HANDLE OpenForAppend() {
    return CreateFileW(logState.path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Where the end of the file is: its size, and where an entry goes with append access anyway;
// -1 when the move failed and the size is not known.
long long SeekToEnd(HANDLE file) {
    LARGE_INTEGER end = {};
    return SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END) ? end.QuadPart : -1;
}

// One entry: byte-order mark on an empty file, prefix, message, in one write where they fit, so
// that another process's entry never lands inside it. Runs under the log's lock; the log is opened
// for the entry and closed again.
void AppendEntry(const wchar_t* message) {
    FileCloser file(OpenForAppend());
    if (!file.Valid()) return;  // the entry is lost, as any entry the file cannot take
    const long long size = SeekToEnd(file.Get());
    wchar_t entry[1 + kLogPrefixBufferChars + kLogFormatBufferChars];
    size_t units = 0;
    if (size == 0) entry[units++] = 0xFEFF;  // only on a file known to be empty, never inside one
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t prefix[kLogPrefixBufferChars];
    const size_t prefixUnits = FormatLogPrefix(now, prefix);
    std::memcpy(entry + units, prefix, prefixUnits * sizeof(wchar_t));
    units += prefixUnits;
    const size_t messageUnits = std::wcslen(message);
    if (units + messageUnits <= std::size(entry)) {
        std::memcpy(entry + units, message, messageUnits * sizeof(wchar_t));
        WriteUnits(file.Get(), entry, units + messageUnits);
    } else {
        WriteUnits(file.Get(), entry, units);
        WriteUnits(file.Get(), message, messageUnits);
    }
}

}  // namespace

const wchar_t* LogFilePath() {
    LogInit();
    return logState.path;
}

void LogWrite(const wchar_t* message) {
    LogInit();
    if (!message) return;

    const LockedLog locked;
    AppendEntry(message);
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
