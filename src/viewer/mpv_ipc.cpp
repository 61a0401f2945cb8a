#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/text.h"
#include "log/log.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer.h"

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

// What a write to a connection the player has closed, or is closing, fails with.
bool ClosedByPlayer(DWORD error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

void LogTimeOut() {
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: no reply within %lu ms", kPipeExchangeTimeoutMs);
}

// Anyone on the desktop can create the pipe's name before the player does, and would then be
// handed every file path. Only the started player, or a process in its job (the real mpv behind a
// launcher), may have them. The player's handle is held open, so its id cannot have been reused.
bool ServedByPlayer(HANDLE pipe, const ViewerWindowState& player) {
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server)) {
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: GetNamedPipeServerProcessId failed, err=%lu", GetLastError());
        return false;
    }
    if (server != 0 && server == player.pid && player.process) return true;
    if (server != 0 && player.job) {
        // The limited right is enough for Windows, Wine wants the full one.
        UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, server));
        if (!process) process.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, server));
        BOOL inJob = FALSE;
        if (process && IsProcessInJob(process.Get(), player.job.Get(), &inJob) && inJob) return true;
    }
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: pipe served by pid %lu, not the player; not sent", server);
    return false;
}

// Reads until the player's reply line is complete: mpv first writes whatever events are pending,
// each as its own line. When the pipe ends first, the unfinished last line stands for the reply;
// on time-out or after kReplyLimitBytes without a reply, nothing (after a line saying which).
// atLineEnd tells whether the reply came and the last read ended with a whole line: only then
// does the connection's next read start where a line starts.
std::optional<std::string> ReadReplyLine(BoundedPipe& exchange, bool& atLineEnd) {
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
    if (reader.Current() == ReplyLineReader::State::Overflow) {
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: no reply within the first %llu bytes",
                  static_cast<unsigned long long>(kReplyLimitBytes));
        return std::nullopt;
    }
    if (exchange.TimedOut()) {
        LogTimeOut();
        return std::nullopt;
    }
    return reader.Current() == ReplyLineReader::State::Reply ? reader.Line() : reader.Rest();
}

// Writes all of the bytes; false, after a line saying why, when they did not all go out. With
// quietWhenGone, a connection the player had already closed fails without that line.
bool WriteCommand(BoundedPipe& exchange, std::string_view bytes, DWORD& written, bool quietWhenGone = false) {
    const DWORD length = static_cast<DWORD>(bytes.size());
    if (!exchange.Write(bytes.data(), length, written)) {
        if (exchange.TimedOut()) {
            LogTimeOut();
        } else if (!(quietWhenGone && ClosedByPlayer(exchange.Error()))) {
            LogPrintf(L"[SendMPVCommand] SendMPVCommand: WriteFile failed, err=%lu", exchange.Error());
        }
        return false;
    }
    if (written != length) {  // no error code to tell: the last one would be some other call's
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: wrote %lu of %lu bytes", written, length);
        return false;
    }
    return true;
}

// Opens a connection to the player's pipe into the state: checks who serves it, then switches
// off the events it would collect between loads. Nothing is kept unless all of it succeeded.
bool OpenConnection(ViewerWindowState& player, ULONGLONG deadline) {
    UniqueFile pipe(CreateFileW(player.pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                kPipeOpenFlags, nullptr));
    if (!pipe) {
        const DWORD error = GetLastError();
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: CreateFileW failed, err=%lu", error);
        return false;
    }
    if (!ServedByPlayer(pipe.Get(), player)) return false;
    BoundedPipe exchange(pipe.Get(), deadline);
    DWORD written = 0;
    bool atLineEnd = false;
    if (!WriteCommand(exchange, kDisableEventsCommand, written) || !ReadReplyLine(exchange, atLineEnd) || !atLineEnd)
        return false;
    player.pipe = std::move(pipe);
    return true;
}

// Nothing to read and still connected: a kept connection that has anything in it holds what
// the player wrote unasked, which must never be taken for the next reply.
bool Quiet(HANDLE pipe) {
    DWORD available = 0;
    return PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available == 0;
}

}  // namespace

bool SendMPVCommand(ViewerWindowState& player, const wchar_t* filePath) {
    if (player.pipeName.empty()) return false;
    const std::optional<std::string> path = PathToUtf8(filePath ? filePath : L"");
    if (!path) {
        LogWrite(L"[SendMPVCommand] SendMPVCommand: path is not valid UTF-16, not sent\r\n");
        return false;
    }
    const std::optional<std::string> command = BuildLoadfileCommand(*path);
    if (!command) {
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: command longer than %llu bytes, not sent",
                  static_cast<unsigned long long>(kCommandBufferBytes - 1));
        return false;
    }
    // The log is UTF-16: the command's UTF-8 read as ANSI would garble every non-ASCII character.
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: %s", FromUtf8(*command).c_str());

    // The whole exchange shares one deadline, a reopened connection included: the host's window
    // thread is waiting on it.
    const ULONGLONG deadline = GetTickCount64() + kPipeExchangeTimeoutMs;
    if (player.pipe && !Quiet(player.pipe.Get())) player.pipe.Close();
    for (;;) {
        const bool kept = static_cast<bool>(player.pipe);
        if (!kept && !OpenConnection(player, deadline)) return false;
        BoundedPipe exchange(player.pipe.Get(), deadline);
        DWORD written = 0;
        if (!WriteCommand(exchange, *command, written, kept)) {
            player.pipe.Close();
            // Closed by the player since the check above, before any of the command went out:
            // once more on a fresh connection, which fails for good when the player has ended.
            if (kept && written == 0 && !exchange.TimedOut() && ClosedByPlayer(exchange.Error())) continue;
            return false;
        }
        bool atLineEnd = false;
        const std::optional<std::string> reply = ReadReplyLine(exchange, atLineEnd);
        // After a failure a late reply could still arrive, and after a reply that did not end its
        // read the rest of a line is still to come: either would be read as the next file's reply.
        if (!reply || !atLineEnd || !ReplyHasSuccess(*reply)) player.pipe.Close();
        if (!reply) return false;
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: response=%s", FromUtf8(EscapeControlBytes(*reply)).c_str());
        return ReplyHasSuccess(*reply);
    }
}
