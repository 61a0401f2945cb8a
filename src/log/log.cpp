#include "log/log.h"

#include <cstdarg>
#include <cstddef>
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
    wchar_t movedPath[kLogPathChars + 2];  // the same path with ".1" appended
};

INIT_ONCE logInitOnce = INIT_ONCE_STATIC_INIT;
LogState logState;  // zero-initialised; filled exactly once by LogInit

BOOL CALLBACK InitOnceCallback(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&logState.lock);
    wchar_t temp[kLogPathChars] = {};
    const DWORD result = GetTempPathW(static_cast<DWORD>(kLogPathChars), temp);
    BuildLogPath(temp, result, logState.path);
    std::swprintf(logState.movedPath, std::size(logState.movedPath), L"%ls.1", logState.path);
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
    void Reset(HANDLE file) {
        Close();
        file_ = file;
    }

private:
    HANDLE file_;
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

// Renames a full log to "Tessoravin.log.1", replacing an older one. The rename goes through a
// handle of its own on which the size is measured again: another process running the plug-in
// may have moved the log since this one measured it, and its fresh log must not be moved over
// the full one. The open fails while anyone holds the log without delete sharing (every
// writer shares only reading and writing), and then the log stays where it is until the next
// entry tries again.
void MoveFullLogAside() {
    FileCloser file(CreateFileW(logState.path, DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < kLogSizeLimitBytes) return;

    const size_t nameBytes = std::wcslen(logState.movedPath) * sizeof(wchar_t);
    alignas(FILE_RENAME_INFO) unsigned char buffer[sizeof(FILE_RENAME_INFO) + sizeof(logState.movedPath)] = {};
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(buffer + offsetof(FILE_RENAME_INFO, FileName), logState.movedPath, nameBytes);
    SetFileInformationByHandle(file.Get(), FileRenameInfo, rename,
                               static_cast<DWORD>(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t)));
}

// One entry: byte-order mark on an empty file, prefix, message, in one write where they fit, so
// that another process's entry never lands inside it. Runs under the log's lock; the log is opened
// for the entry and closed again.
void AppendEntry(const wchar_t* message) {
    FileCloser file(OpenForAppend());
    if (!file.Valid()) return;  // the entry is lost, as any entry the file cannot take
    long long size = SeekToEnd(file.Get());
    if (size >= kLogSizeLimitBytes) {
        // Our own handle shares no deletion: it must be closed before the log can move.
        file.Close();
        MoveFullLogAside();
        file.Reset(OpenForAppend());  // the fresh log, or the full one if it could not move
        if (!file.Valid()) return;
        size = SeekToEnd(file.Get());
    }
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

    EnterCriticalSection(&logState.lock);
    AppendEntry(message);
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
