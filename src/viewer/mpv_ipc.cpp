#include <optional>
#include <string>
#include <string_view>

#include "common/handle.h"
#include "common/text.h"
#include "log/log.h"
#include "viewer/outcomes.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer_internal.h"

namespace {

// The pipe's transfers, each bounded by the one deadline of the whole exchange. A transfer still
// pending at the deadline is cancelled and its completion awaited, because the kernel may write
// into the buffer and the OVERLAPPED until then. Write and Read return false on failure; Failed
// tells which way, Error gives the failure's code as it was taken there.
// Each transfer waits on an event of its own in its OVERLAPPED, not on the pipe's handle: a server
// that writes its reply and disconnects at once can leave a wait on the handle unwoken (Wine did, a
// few times in a thousand exchanges), and Windows itself promises the handle only while one
// operation is pending on it.
class BoundedPipe {
public:
    enum class Failure { None, NoEvent, Transfer, TimedOut };

    BoundedPipe(HANDLE pipe, ULONGLONG deadline) : pipe_(pipe), deadline_(deadline) {}

    bool Write(const void* data, DWORD size, DWORD& done) {
        done = 0;
        Transfer transfer;
        if (!transfer.event) return Fail(Failure::NoEvent, GetLastError());
        return Finish(WriteFile(pipe_, data, size, nullptr, &transfer.overlapped), transfer.overlapped, done);
    }
    bool Read(void* data, DWORD size, DWORD& done) {
        done = 0;
        Transfer transfer;
        if (!transfer.event) return Fail(Failure::NoEvent, GetLastError());
        return Finish(ReadFile(pipe_, data, size, nullptr, &transfer.overlapped), transfer.overlapped, done);
    }
    Failure Failed() const { return failed_; }
    DWORD Error() const { return error_; }

private:
    // One transfer's OVERLAPPED with its own manual-reset event, which outlives the transfer.
    struct Transfer {
        Transfer() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { overlapped.hEvent = event.Get(); }
        UniqueHandle event;
        OVERLAPPED overlapped = {};
    };

    bool Finish(BOOL immediate, OVERLAPPED& overlapped, DWORD& done) {
        if (!immediate) {
            const DWORD started = GetLastError();
            if (started != ERROR_IO_PENDING) return Fail(Failure::Transfer, started);
            const DWORD waited = WaitForSingleObject(overlapped.hEvent, Remaining());
            if (waited != WAIT_OBJECT_0) {
                const bool timedOut = waited == WAIT_TIMEOUT;
                const DWORD waitError = timedOut ? ERROR_TIMEOUT : GetLastError();
                CancelIoEx(pipe_, &overlapped);
                GetOverlappedResult(pipe_, &overlapped, &done, TRUE);
                done = 0;
                return Fail(timedOut ? Failure::TimedOut : Failure::Transfer, waitError);
            }
        }
        return GetOverlappedResult(pipe_, &overlapped, &done, FALSE) || Fail(Failure::Transfer, GetLastError());
    }

    bool Fail(Failure failure, DWORD error) {
        failed_ = failure;
        error_ = error;
        return false;
    }

    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline_ ? 0 : static_cast<DWORD>(deadline_ - now);
    }

    HANDLE pipe_;
    ULONGLONG deadline_;
    Failure failed_ = Failure::None;
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

// Reads until the player's reply line is complete: mpv first writes whatever events are pending,
// each as its own line. When the pipe ends first, the unfinished last line stands for the reply,
// judged as a complete one would be.
SendReport ReadReply(BoundedPipe& exchange) {
    ReplyLineReader reader;
    char piece[kReplyReadBytes];
    while (reader.Current() == ReplyLineReader::State::NeedMore) {
        DWORD got = 0;
        if (!exchange.Read(piece, sizeof(piece), got) || got == 0) break;
        reader.Feed(std::string_view(piece, got));
    }
    if (reader.Current() == ReplyLineReader::State::Overflow) return {SendOutcome::ReplyTooLong};
    if (exchange.Failed() == BoundedPipe::Failure::TimedOut) return {SendOutcome::NoReplyInTime};
    if (exchange.Failed() == BoundedPipe::Failure::NoEvent) return {SendOutcome::NoEvent, exchange.Error()};
    SendReport replied(reader.Accepted() ? SendOutcome::Sent : SendOutcome::Refused);
    replied.reply = reader.Current() == ReplyLineReader::State::Reply ? reader.Line() + '\n' : reader.Rest();
    return replied;
}

// Sent when all of the bytes went out.
SendReport WriteAll(BoundedPipe& exchange, std::string_view bytes) {
    const DWORD length = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!exchange.Write(bytes.data(), length, written)) {
        switch (exchange.Failed()) {
            case BoundedPipe::Failure::TimedOut: return {SendOutcome::NoReplyInTime};
            case BoundedPipe::Failure::NoEvent: return {SendOutcome::NoEvent, exchange.Error()};
            default: return {SendOutcome::WriteFailed, exchange.Error()};
        }
    }
    if (written != length) return {SendOutcome::WriteCut, written, length};
    return {SendOutcome::Sent};
}

SendReport Send(const ViewerWindowState& player, const wchar_t* filePath) {
    if (player.pipeName.empty()) return {SendOutcome::NoPipe};
    const std::optional<std::string> path = PathToUtf8(filePath ? filePath : L"");
    if (!path) return {SendOutcome::PathNotUtf16};
    const std::optional<std::string> command = BuildLoadfileCommand(*path);
    if (!command) return {SendOutcome::CommandTooLong};
    // The log is UTF-16: the command's UTF-8 read as ANSI would garble every non-ASCII character.
    LogPrintf(L"%s%s", kSendTag, FromUtf8(*command).c_str());

    // A connection of its own for this one command, closed on every way out: nothing the player
    // writes after it (events, a late reply) can be taken for the answer to another command.
    // The whole exchange shares one deadline: the host's window thread is waiting on it.
    const ULONGLONG deadline = GetTickCount64() + kPipeExchangeTimeoutMs;
    const UniqueFile pipe(CreateFileW(player.pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      kPipeOpenFlags, nullptr));
    if (!pipe) return {SendOutcome::OpenFailed, GetLastError()};
    if (SendReport server = CheckServer(pipe.Get(), player); server.outcome != SendOutcome::Sent) return server;
    BoundedPipe exchange(pipe.Get(), deadline);
    if (SendReport wrote = WriteAll(exchange, *command); wrote.outcome != SendOutcome::Sent) return wrote;
    return ReadReply(exchange);
}

}  // namespace

SendOutcome SendMPVCommand(const ViewerWindowState& player, const wchar_t* filePath) {
    const SendReport report = Send(player, filePath);
    LogEntries(SendOutcomeEntries(report));
    return report.outcome;
}
