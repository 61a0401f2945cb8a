#pragma once
// The diagnostic log: "Tessoravin.log" in the user's temporary folder, UTF-16LE with a BOM,
// one timestamped entry per call, written before the call returns. The file is opened and closed
// for every entry, except while a LogHold lives. A full log moves to "Tessoravin.log.1" (see
// kLogSizeLimitBytes), so at most two logs exist.
#include <windows.h>

#include <cstddef>

// Sizes the log's behaviour depends on.
inline constexpr size_t kLogFormatBufferChars = 2048;
inline constexpr size_t kLogPrefixBufferChars = 64;
inline constexpr size_t kLogPathChars = MAX_PATH;  // 260
// A log this large or larger is moved to "Tessoravin.log.1" before the next entry, which then
// starts a fresh log: the host runs for weeks, and the log must not fill the disk.
inline constexpr long long kLogSizeLimitBytes = 16LL * 1024 * 1024;

// Writes message unchanged after the timestamp; the message carries its own line end.
void LogWrite(const wchar_t* message);

// printf-style (Microsoft CRT conventions: %s wide, %hs narrow); adds CR LF when it fits.
void LogPrintf(const wchar_t* format, ...);

// Keeps the log open from one entry to the next while it lives, for a burst of entries on the
// host's thread: opening and closing the file is most of an entry's cost. To everyone else the
// log is then as during one entry, for longer: they can read and write it, but moving it aside or
// deleting it waits until the last hold ends (a full log still moves, at the next entry after
// that). Holds on several threads share the one open file. Every entry is still written before
// its call returns.
class LogHold {
public:
    LogHold();
    ~LogHold();
    LogHold(const LogHold&) = delete;
    LogHold& operator=(const LogHold&) = delete;
};

// The log file's full path (initialises the logger if needed).
const wchar_t* LogFilePath();

// Pure pieces, exposed for tests.
// Formats "[YYYY-MM-DD hh:mm:ss.mmm] " (26 characters) into out; returns its length.
size_t FormatLogPrefix(const SYSTEMTIME& time, wchar_t (&out)[kLogPrefixBufferChars]);
// Appends CR LF (and a NUL) when the text is non-empty, does not end in LF and still fits
// the format buffer; returns the new length.
size_t AppendLogLineEnd(wchar_t (&buffer)[kLogFormatBufferChars], size_t length);
// Builds the log path from GetTempPathW's result: falls back to "C:\" when the call failed,
// when the folder does not fit, or when the file name would not fit after it.
void BuildLogPath(const wchar_t* tempPath, DWORD tempPathResult, wchar_t (&out)[kLogPathChars]);
