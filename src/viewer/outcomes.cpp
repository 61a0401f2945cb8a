#include "viewer/outcomes.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "common/text.h"
#include "log/log.h"
#include "viewer/player_protocol.h"
#include "viewer/viewer_internal.h"

namespace {

// printf-style with the conventions of LogPrintf (%s wide, %hs narrow), however long the result.
std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int units = _vscwprintf(format, sizing);
    va_end(sizing);
    std::wstring text;
    if (units > 0) {
        text.resize(static_cast<size_t>(units) + 1);
        _vsnwprintf_s(text.data(), text.size(), _TRUNCATE, format, args);
        text.resize(static_cast<size_t>(units));
    }
    va_end(args);
    return text;
}

// Each value's text after its tag. Sent and NoPipe aside, the values do not share a text.
std::wstring SendText(const SendReport& r) {
    switch (r.outcome) {
        case SendOutcome::NoPipe: break;
        case SendOutcome::Sent:
        case SendOutcome::Refused: {
            // The log is UTF-16: the reply's UTF-8 read as ANSI would garble every non-ASCII character.
            // The reply's own line feed ends the entry, which then gets no CR LF of its own.
            const bool lineFeed = !r.reply.empty() && r.reply.back() == '\n';
            const std::string_view line(r.reply.data(), r.reply.size() - (lineFeed ? 1 : 0));
            return L"response=" + FromUtf8(EscapeControlBytes(line)) + (lineFeed ? L"\n" : L"");
        }
        case SendOutcome::PathNotUtf16: return L"path is not valid UTF-16, not sent";
        case SendOutcome::CommandTooLong:
            return Format(L"command longer than %llu bytes, not sent",
                          static_cast<unsigned long long>(kCommandBufferBytes - 1));
        case SendOutcome::OpenFailed: return Format(L"CreateFileW failed, err=%lu", r.code);
        case SendOutcome::ServerUnknown: return Format(L"GetNamedPipeServerProcessId failed, err=%lu", r.code);
        case SendOutcome::NotThePlayer: return Format(L"pipe served by pid %lu, not the player; not sent", r.code);
        case SendOutcome::NoEvent: return Format(L"CreateEventW failed, err=%lu", r.code);
        case SendOutcome::WriteFailed: return Format(L"WriteFile failed, err=%lu", r.code);
        // No error code to tell: the last one would be some other call's.
        case SendOutcome::WriteCut: return Format(L"wrote %lu of %lu bytes", r.code, r.of);
        case SendOutcome::NoReplyInTime: return Format(L"no reply within %lu ms", kPipeExchangeTimeoutMs);
        case SendOutcome::ReplyTooLong:
            return Format(L"no reply within the first %llu bytes", static_cast<unsigned long long>(kReplyLimitBytes));
    }
    return {};
}

std::wstring LaunchText(const LaunchReport& r) {
    switch (r.outcome) {
        case LaunchOutcome::Embedded: return Format(L"mpv: embedded child hwnd=0x%p", static_cast<void*>(r.window));
        case LaunchOutcome::StartFailed: return Format(L"CreateProcessW FAILED, err=%lu (0x%08X)", r.code, r.code);
        case LaunchOutcome::ResumeFailed: return Format(L"  ResumeThread FAILED, err=%lu", r.code);
        case LaunchOutcome::PlayerExited:
            return Format(L"mpv: player exited with code %lu (0x%08X) before its window appeared", r.code, r.code);
        case LaunchOutcome::NoWindow: return L"mpv: failed to find child window within 5s";
        case LaunchOutcome::ViewerDestroyed: return L"  viewer destroyed while embedding";
        case LaunchOutcome::PlayerStopped: return L"  player stopped by another message while embedding";
    }
    return {};
}

std::wstring LoadText(LoadOutcome outcome) {
    switch (outcome) {
        case LoadOutcome::Reused: return L"LoadFile (mpv IPC) return 1";
        case LoadOutcome::Restarted: return L"LoadFile return 1";
        case LoadOutcome::NotShown:
        case LoadOutcome::Superseded: return L"LoadFile return 0";
        case LoadOutcome::EmptyPath: return L"empty path, abort";
        case LoadOutcome::NoPlayerConfigured: return L"no viewer configured for this extension";
    }
    return {};
}

}  // namespace

std::vector<std::wstring> SendOutcomeEntries(const SendReport& report) {
    if (report.outcome == SendOutcome::NoPipe) return {};
    return {kSendTag + SendText(report)};
}

std::vector<std::wstring> LaunchOutcomeEntries(const LaunchReport& report) {
    std::vector<std::wstring> entries{kLaunchTag + LaunchText(report)};
    // A player that ended before its window appeared has not shown one either.
    if (report.outcome == LaunchOutcome::PlayerExited)
        entries.push_back(kLaunchTag + LaunchText({LaunchOutcome::NoWindow}));
    return entries;
}

std::vector<std::wstring> LoadOutcomeEntries(LoadOutcome outcome) { return {kLoadTag + LoadText(outcome)}; }

std::vector<std::wstring> WatchOutcomeEntries(const WatchReport& report) {
    if (report.outcome != WatchOutcome::Hung) return {};
    return {kWatchTag + Format(L"player pid=%lu did not answer for %llu ms, ended", report.pid,
                               static_cast<unsigned long long>(report.unansweredMs))};
}

void LogEntries(const std::vector<std::wstring>& entries) {
    for (const std::wstring& entry : entries) LogPrintf(L"%s", entry.c_str());
}
