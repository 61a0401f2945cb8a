#pragma once
// The diagnostic log: "Tessoravin.log" in the user's temporary folder, UTF-16LE with a BOM,
// one timestamped entry per call, written before the call returns. The file is opened and closed
// for every entry. A full log moves to "Tessoravin.log.1" (see kLogSizeLimitBytes), so at most two
// logs exist.
#include <windows.h>

// A log this large or larger is moved to "Tessoravin.log.1" before the next entry, which then
// starts a fresh log: the host runs for weeks, and the log must not fill the disk.
inline constexpr long long kLogSizeLimitBytes = 16LL * 1024 * 1024;

// Writes message unchanged after the timestamp; the message carries its own line end.
void LogWrite(const wchar_t* message);

// printf-style (Microsoft CRT conventions: %s wide, %hs narrow); adds CR LF when it fits.
void LogPrintf(const wchar_t* format, ...);
