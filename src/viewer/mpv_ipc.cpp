#include <optional>
#include <string>

#include "common/text.h"
#include "log/log.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer.h"

namespace {

// The pipe's transfers, each bounded by the one deadline of the whole exchange. A transfer still
// pending at the deadline is cancelled and its completion awaited, because the kernel may write
// into the buffer and the OVERLAPPED until then. Write and Read return false on failure and on
// time-out; TimedOut tells the two apart.
class BoundedPipe {
public:
    BoundedPipe(HANDLE pipe, ULONGLONG deadline) : pipe_(pipe), deadline_(deadline) {}

    bool Write(const void* data, DWORD size, DWORD& done) {
        done = 0;
        if (!event_) return false;
        OVERLAPPED overlapped = Prepare();
        return Finish(WriteFile(pipe_, data, size, nullptr, &overlapped), overlapped, done);
    }
    bool Read(void* data, DWORD size, DWORD& done) {
        done = 0;
        if (!event_) return false;
        OVERLAPPED overlapped = Prepare();
        return Finish(ReadFile(pipe_, data, size, nullptr, &overlapped), overlapped, done);
    }
    bool TimedOut() const { return timedOut_; }

private:
    OVERLAPPED Prepare() const {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event_.Get();
        return overlapped;
    }

    bool Finish(BOOL immediate, OVERLAPPED& overlapped, DWORD& done) {
        if (!immediate && GetLastError() != ERROR_IO_PENDING) return false;
        if (!immediate && WaitForSingleObject(event_.Get(), Remaining()) != WAIT_OBJECT_0) {
            timedOut_ = true;
            CancelIoEx(pipe_, &overlapped);
            GetOverlappedResult(pipe_, &overlapped, &done, TRUE);
            done = 0;
            return false;
        }
        return GetOverlappedResult(pipe_, &overlapped, &done, FALSE) != FALSE;
    }

    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline_ ? 0 : static_cast<DWORD>(deadline_ - now);
    }

    HANDLE pipe_;
    ULONGLONG deadline_;
    UniqueHandle event_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    bool timedOut_ = false;
};

void LogTimeOut() {
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: no reply within %lu ms", kPipeExchangeTimeoutMs);
}

}  // namespace

bool SendMPVCommand(const std::wstring& pipeName, const wchar_t* filePath) {
    if (pipeName.empty()) return false;
    const std::optional<std::string> command = BuildLoadfileCommand(ToUtf8(filePath ? filePath : L""));
    if (!command) {
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: command longer than %llu bytes, not sent",
                  static_cast<unsigned long long>(kCommandBufferBytes - 1));
        return false;
    }
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: %hs", command->c_str());

    // The whole exchange shares one deadline: the host's window thread is waiting on it.
    const ULONGLONG deadline = GetTickCount64() + kPipeExchangeTimeoutMs;
    UniqueFile pipe(CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
    if (!pipe) {
        LogPrintf(L"[SendMPVCommand] SendMPVCommand: CreateFileW failed, err=%lu", GetLastError());
        return false;
    }
    BoundedPipe exchange(pipe.Get(), deadline);

    const DWORD length = static_cast<DWORD>(command->size());
    DWORD written = 0;
    if (!exchange.Write(command->data(), length, written) || written != length) {
        if (exchange.TimedOut()) {
            LogTimeOut();
        } else {
            LogPrintf(L"[SendMPVCommand] SendMPVCommand: WriteFile failed, err=%lu", GetLastError());
        }
        return false;
    }

    // One read only: the reply is judged by what it returns (a failed read leaves it empty).
    char reply[kReplyBufferBytes] = {};
    DWORD read = 0;
    exchange.Read(reply, kReplyBufferBytes - 1, read);
    pipe.Close();
    if (exchange.TimedOut()) {
        LogTimeOut();
        return false;
    }
    LogPrintf(L"[SendMPVCommand] SendMPVCommand: response=%hs", reply);
    return ReplyHasSuccess(reply);
}
