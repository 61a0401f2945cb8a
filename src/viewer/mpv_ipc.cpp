#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/text.h"
#include "log/log.h"
#include "viewer/outcomes.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer_internal.h"

namespace {

// The pipe's transfers, each bounded by the one deadline of the whole exchange. A transfer still
// pending at the deadline is cancelled and its completion awaited, because the kernel may write
// into the buffer and the OVERLAPPED until then. Write and Read return false on failure and on
// time-out; TimedOut tells the two apart, Error gives the failure's code as it was taken there.
// Only one transfer is ever under way, so its completion is awaited on the pipe's own handle,
// which every transfer resets as it starts: no event to create and close for each exchange.
class BoundedPipe {
public:
    BoundedPipe(HANDLE pipe, ULONGLONG deadline) : pipe_(pipe), deadline_(deadline) {}

    bool Write(const void* data, DWORD size, DWORD& done) {
        done = 0;
        OVERLAPPED overlapped = {};
        return Finish(WriteFile(pipe_, data, size, nullptr, &overlapped), overlapped, done);
    }
    bool Read(void* data, DWORD size, DWORD& done) {
        done = 0;
        OVERLAPPED overlapped = {};
        return Finish(ReadFile(pipe_, data, size, nullptr, &overlapped), overlapped, done);
    }
    bool TimedOut() const { return timedOut_; }
    DWORD Error() const { return error_; }

private:
    bool Finish(BOOL immediate, OVERLAPPED& overlapped, DWORD& done) {
        if (!immediate) {
            const DWORD started = GetLastError();
            if (started != ERROR_IO_PENDING) return Fail(started);
            const DWORD waited = WaitForSingleObject(pipe_, Remaining());
            if (waited != WAIT_OBJECT_0) {
                const DWORD waitError = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
                timedOut_ = waited == WAIT_TIMEOUT;
                CancelIoEx(pipe_, &overlapped);
                GetOverlappedResult(pipe_, &overlapped, &done, TRUE);
                done = 0;
                return Fail(waitError);
            }
        }
        return GetOverlappedResult(pipe_, &overlapped, &done, FALSE) || Fail(GetLastError());
    }

    bool Fail(DWORD error) {
        error_ = error;
        return false;
    }

    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline_ ? 0 : static_cast<DWORD>(deadline_ - now);
    }

    HANDLE pipe_;
    ULONGLONG deadline_;
    bool timedOut_ = false;
    DWORD error_ = 0;
};

// Anyone on the desktop can create the pipe's name before the player does, and would then be
// handed every file path. Only the started player, or a process in its job (the real mpv behind a
// launcher), may have them. The player's handle is held open, so its id cannot have been reused.
SendReport CheckServer(HANDLE pipe, const ViewerWindowState& player) {
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server)) return {SendOutcome::ServerUnknown, GetLastError()};
    return IsPlayerProcess(server, player) ? SendReport(SendOutcome::Sent)
                                           : SendReport(SendOutcome::NotThePlayer, server);
}

// What a write to a connection the player has closed, or is closing, fails with.
bool ClosedByPlayer(DWORD error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

// Reads until the player's reply line is complete: mpv first writes whatever events are pending,
// each as its own line. When the pipe ends first, the unfinished last line stands for the reply.
// atLineEnd tells whether the reply came and the last read ended with a whole line: only then
// does the connection's next read start where a line starts.
SendReport ReadReply(BoundedPipe& exchange, bool& atLineEnd) {
    ReplyLineReader reader;
    char piece[kReplyReadBytes];
    atLineEnd = false;
    while (reader.Current() == ReplyLineReader::State::NeedMore) {
        DWORD got = 0;
        if (!exchange.Read(piece, sizeof(piece), got) || got == 0) break;
        reader.Feed(std::string_view(piece, got));
        atLineEnd = piece[got - 1] == '\n';
    }
    atLineEnd = atLineEnd && reader.Current() == ReplyLineReader::State::Reply;
    if (reader.Current() == ReplyLineReader::State::Overflow) return {SendOutcome::ReplyTooLong};
    if (exchange.TimedOut()) return {SendOutcome::NoReplyInTime};
    SendReport replied(SendOutcome::Refused);
    replied.reply = reader.Current() == ReplyLineReader::State::Reply ? reader.Line() : reader.Rest();
    if (ReplyHasSuccess(replied.reply)) replied.outcome = SendOutcome::Sent;
    return replied;
}

// Sent when all of the bytes went out.
SendReport WriteAll(BoundedPipe& exchange, std::string_view bytes) {
    const DWORD length = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!exchange.Write(bytes.data(), length, written))
        return exchange.TimedOut() ? SendReport(SendOutcome::NoReplyInTime)
                                   : SendReport(SendOutcome::WriteFailed, exchange.Error());
    if (written != length) return {SendOutcome::WriteCut, written, length};
    return {SendOutcome::Sent};
}

// Opens a connection to the player's pipe into the state: checks who serves it, then switches
// off the events it would collect between loads. Nothing is kept unless all of it succeeded.
SendReport OpenConnection(ViewerWindowState& player, ULONGLONG deadline) {
    UniqueFile pipe(CreateFileW(player.pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                kPipeOpenFlags, nullptr));
    if (!pipe) return {SendOutcome::OpenFailed, GetLastError()};
    if (SendReport server = CheckServer(pipe.Get(), player); server.outcome != SendOutcome::Sent) return server;
    BoundedPipe exchange(pipe.Get(), deadline);
    if (SendReport wrote = WriteAll(exchange, kDisableEventsCommand); wrote.outcome != SendOutcome::Sent) return wrote;
    bool atLineEnd = false;
    SendReport replied = ReadReply(exchange, atLineEnd);
    // Only the reply's arrival counts, not what it says (a player without the command refuses it).
    // A reply that did not end its read leaves part of a line for the next read: not kept, then.
    if (replied.outcome != SendOutcome::Sent && replied.outcome != SendOutcome::Refused) return replied;
    if (!atLineEnd) {
        replied.outcome = SendOutcome::Refused;
        return replied;
    }
    player.pipe = std::move(pipe);
    return {SendOutcome::Sent};
}

// Nothing to read and still connected: a kept connection that has anything in it holds what
// the player wrote unasked, which must never be taken for the next reply.
bool Quiet(HANDLE pipe) {
    DWORD available = 0;
    return PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available == 0;
}

SendReport Send(ViewerWindowState& player, const wchar_t* filePath) {
    if (player.pipeName.empty()) return {SendOutcome::NoPipe};
    const std::optional<std::string> path = PathToUtf8(filePath ? filePath : L"");
    if (!path) return {SendOutcome::PathNotUtf16};
    const std::optional<std::string> command = BuildLoadfileCommand(*path);
    if (!command) return {SendOutcome::CommandTooLong};
    // The log is UTF-16: the command's UTF-8 read as ANSI would garble every non-ASCII character.
    LogPrintf(L"%s%s", kSendTag, FromUtf8(*command).c_str());

    // The whole exchange shares one deadline, a reopened connection included: the host's window
    // thread is waiting on it.
    const ULONGLONG deadline = GetTickCount64() + kPipeExchangeTimeoutMs;
    if (player.pipe && !Quiet(player.pipe.Get())) player.pipe.Close();
    for (;;) {
        const bool kept = static_cast<bool>(player.pipe);
        if (!kept) {
            if (SendReport opened = OpenConnection(player, deadline); opened.outcome != SendOutcome::Sent)
                return opened;
        }
        BoundedPipe exchange(player.pipe.Get(), deadline);
        if (SendReport wrote = WriteAll(exchange, *command); wrote.outcome != SendOutcome::Sent) {
            player.pipe.Close();
            // Closed by the player since the check above, before any of the command went out:
            // once more on a fresh connection, which fails for good when the player has ended.
            if (kept && wrote.outcome == SendOutcome::WriteFailed && ClosedByPlayer(wrote.code)) continue;
            return wrote;
        }
        bool atLineEnd = false;
        SendReport replied = ReadReply(exchange, atLineEnd);
        // After a failure a late reply could still arrive, and after a reply that did not end its
        // read the rest of a line is still to come: either would be read as the next file's reply.
        if (replied.outcome != SendOutcome::Sent || !atLineEnd) player.pipe.Close();
        return replied;
    }
}

}  // namespace

SendOutcome SendMPVCommand(ViewerWindowState& player, const wchar_t* filePath) {
    const SendReport report = Send(player, filePath);
    LogEntries(SendOutcomeEntries(report));
    return report.outcome;
}
