#pragma once
// The log's pure pieces: an entry's timestamp prefix, its line end and the log's path, each in a
// fixed buffer whose size the behaviour depends on. Only the log and its tests use them.
#include <windows.h>

#include <cstddef>

inline constexpr size_t kLogFormatBufferChars = 2048;
inline constexpr size_t kLogPrefixBufferChars = 64;
inline constexpr size_t kLogPathChars = MAX_PATH;  // 260

// Formats "[YYYY-MM-DD hh:mm:ss.mmm] " (26 characters) into out; returns its length.
size_t FormatLogPrefix(const SYSTEMTIME& time, wchar_t (&out)[kLogPrefixBufferChars]);
// Appends CR LF (and a NUL) when the text is non-empty, does not end in LF and still fits
// the format buffer; returns the new length.
size_t AppendLogLineEnd(wchar_t (&buffer)[kLogFormatBufferChars], size_t length);
// Builds the log path from GetTempPathW's result: falls back to "C:\" when the call failed,
// when the folder does not fit, or when the file name would not fit after it.
void BuildLogPath(const wchar_t* tempPath, DWORD tempPathResult, wchar_t (&out)[kLogPathChars]);
