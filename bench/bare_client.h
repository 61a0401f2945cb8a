#pragma once
// The floor a reused load is measured against: a client of the player's pipe with nothing of the
// plug-in around it. It does what the design needs for one file and no more: opens the pipe as
// the plug-in does (overlapped, identification only), writes the loadfile line, reads until the
// reply line (past any event lines) and closes. No log, no check of who serves the pipe, no
// deadline: what the plug-in adds on top of this is what its benchmarks set apart.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/handle.h"
#include "viewer/player_protocol.h"

namespace bench {

// Waits for an overlapped transfer on the pipe's own handle, as the plug-in does.
inline bool Transfer(HANDLE pipe, BOOL started, OVERLAPPED& overlapped, DWORD& done) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(pipe, &overlapped, &done, TRUE) != FALSE;
}

// True when the player answered "success" to the loadfile of the path.
inline bool BareLoadfile(const std::wstring& pipeName, const std::wstring& path) {
    const std::optional<std::string> utf8 = PathToUtf8(path);
    const std::optional<std::string> command = utf8 ? BuildLoadfileCommand(*utf8) : std::nullopt;
    if (!command) return false;
    const UniqueFile pipe(CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      kPipeOpenFlags, nullptr));
    if (!pipe) return false;
    OVERLAPPED write = {};
    DWORD done = 0;
    const auto length = static_cast<DWORD>(command->size());
    if (!Transfer(pipe.Get(), WriteFile(pipe.Get(), command->data(), length, nullptr, &write), write, done) ||
        done != length)
        return false;
    ReplyLineReader reader;
    char piece[kReplyReadBytes];
    while (reader.Current() == ReplyLineReader::State::NeedMore) {
        OVERLAPPED read = {};
        if (!Transfer(pipe.Get(), ReadFile(pipe.Get(), piece, sizeof(piece), nullptr, &read), read, done) || done == 0)
            return false;
        reader.Feed(std::string_view(piece, done));
    }
    return reader.Current() == ReplyLineReader::State::Reply && ReplyHasSuccess(reader.Line());
}

}  // namespace bench
