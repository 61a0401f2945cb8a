#pragma once
// The diagnostic log: "Tessoravin.log" in the user's temporary folder, UTF-16LE with a BOM,
// one timestamped entry per call, written before the call returns. The file is opened and closed
// for every entry. The log is the user's record: it is only ever appended to, never cut, moved or
// deleted.
#include <windows.h>

// Writes message unchanged after the timestamp; the message carries its own line end.
void LogWrite(const wchar_t* message);

// printf-style (Microsoft CRT conventions: %s wide, %hs narrow); adds CR LF when it fits.
void LogPrintf(const wchar_t* format, ...);
