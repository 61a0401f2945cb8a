#pragma once
// The diagnostic log: "Tessoravin.log" in the user's temporary folder, UTF-16LE with a BOM,
// one timestamped entry per call, written before the call returns. The file is opened and closed
// for every entry, except while a LogHold lives. A full log moves to "Tessoravin.log.1" (see
// kLogSizeLimitBytes), so at most two logs exist.
#include <windows.h>

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
