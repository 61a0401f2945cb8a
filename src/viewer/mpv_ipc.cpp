#include <optional>
#include <string>

#include "common/text.h"
#include "log/log.h"
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
std::optional<std::string> ReadReplyLine(BoundedPipe& exchange) {
    ReplyLineReader reader;
    char piece[kReplyReadBytes];
    while (reader.Current() == ReplyLineReader::State::NeedMore) {
        DWORD got = 0;
        if (!exchange.Read(piece, sizeof(piece), got) || got == 0) break;
        reader.Feed(std::string_view(piece, got));
    }
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

}  // namespace

bool SendMPVCommand(const ViewerWindowState& player, const wchar_t* filePath) {
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

    // The whole exchange shares one deadline: the host's window thread is waiting on it.
    const ULONGLONG deadline = GetTickCount64() + kPipeExchangeTimeoutMs;
    UniqueFile pipe(CreateFileW(player.pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                kPipeOpenFlags, nullptr));
    if (!pipe) {
        const DWORD error = GetLastError();
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: CreateFileW failed, err=%lu", error);
        return false;
    }
    if (!ServedByPlayer(pipe.Get(), player)) return false;
    BoundedPipe exchange(pipe.Get(), deadline);

    const DWORD length = static_cast<DWORD>(command->size());
    DWORD written = 0;
    if (!exchange.Write(command->data(), length, written)) {
        if (exchange.TimedOut()) {
            LogTimeOut();
        } else {
            LogPrintf(L"[SendMPVCommand] SendMPVCommand: WriteFile failed, err=%lu", exchange.Error());
        }
        return false;
    }
    if (written != length) {  // no error code to tell: the last one would be some other call's
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: wrote %lu of %lu bytes", written, length);
        return false;
    }

    const std::optional<std::string> reply = ReadReplyLine(exchange);
    pipe.Close();
    if (!reply) return false;
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: response=%s", FromUtf8(EscapeControlBytes(*reply)).c_str());
    return ReplyHasSuccess(*reply);
}
