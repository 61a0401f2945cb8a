#include "viewer/outcomes.h"

#include <cstdarg>
#include <cstdio>

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

std::wstring Tagged(const wchar_t* tag, const std::wstring& text) { return tag + text; }

}  // namespace

std::vector<std::wstring> SendOutcomeEntries(const SendReport& r) {
    const auto line = [](const std::wstring& text) { return std::vector<std::wstring>{Tagged(kSendTag, text)}; };
    switch (r.outcome) {
        case SendOutcome::NoPipe: return {};
        case SendOutcome::Sent:
        case SendOutcome::Refused:
            // The log is UTF-16: the reply's UTF-8 read as ANSI would garble every non-ASCII character.
            return line(L"response=" + FromUtf8(EscapeControlBytes(r.reply)));
        case SendOutcome::PathNotUtf16: return line(L"path is not valid UTF-16, not sent");
        case SendOutcome::CommandTooLong:
            return line(Format(L"command longer than %llu bytes, not sent",
                               static_cast<unsigned long long>(kCommandBufferBytes - 1)));
        case SendOutcome::OpenFailed: return line(Format(L"CreateFileW failed, err=%lu", r.code));
        case SendOutcome::ServerUnknown: return line(Format(L"GetNamedPipeServerProcessId failed, err=%lu", r.code));
        case SendOutcome::NotThePlayer:
            return line(Format(L"pipe served by pid %lu, not the player; not sent", r.code));
        case SendOutcome::WriteFailed: return line(Format(L"WriteFile failed, err=%lu", r.code));
        // No error code to tell: the last one would be some other call's.
        case SendOutcome::WriteCut: return line(Format(L"wrote %lu of %lu bytes", r.code, r.of));
        case SendOutcome::NoReplyInTime: return line(Format(L"no reply within %lu ms", kPipeExchangeTimeoutMs));
        case SendOutcome::ReplyTooLong:
            return line(
                Format(L"no reply within the first %llu bytes", static_cast<unsigned long long>(kReplyLimitBytes)));
    }
    return {};
}

std::vector<std::wstring> LaunchOutcomeEntries(const LaunchReport& r) {
    const std::wstring noWindow = Tagged(kLaunchTag, L"mpv: failed to find child window within 5s");
    switch (r.outcome) {
        case LaunchOutcome::Embedded:
            return {Tagged(kLaunchTag, Format(L"mpv: embedded child hwnd=0x%p", static_cast<void*>(r.window)))};
        case LaunchOutcome::StartFailed:
            return {Tagged(kLaunchTag, Format(L"CreateProcessW FAILED, err=%lu (0x%08X)", r.code, r.code))};
        case LaunchOutcome::ResumeFailed:
            return {Tagged(kLaunchTag, Format(L"  ResumeThread FAILED, err=%lu", r.code))};
        case LaunchOutcome::PlayerExited:
            return {Tagged(kLaunchTag, Format(L"mpv: player exited with code %lu (0x%08X) before its window appeared",
                                              r.code, r.code)),
                    noWindow};
        case LaunchOutcome::NoWindow: return {noWindow};
        case LaunchOutcome::ViewerDestroyed: return {Tagged(kLaunchTag, L"  viewer destroyed while embedding")};
        case LaunchOutcome::PlayerStopped:
            return {Tagged(kLaunchTag, L"  player stopped by another message while embedding")};
    }
    return {};
}

std::vector<std::wstring> LoadOutcomeEntries(LoadOutcome outcome) {
    switch (outcome) {
        case LoadOutcome::Reused: return {Tagged(kLoadTag, L"LoadFile (mpv IPC) return 1")};
        case LoadOutcome::Restarted: return {Tagged(kLoadTag, L"LoadFile return 1")};
        case LoadOutcome::NotShown:
        case LoadOutcome::Superseded: return {Tagged(kLoadTag, L"LoadFile return 0")};
        case LoadOutcome::EmptyPath: return {Tagged(kLoadTag, L"empty path, abort")};
        case LoadOutcome::NoPlayerConfigured: return {Tagged(kLoadTag, L"no viewer configured for this extension")};
    }
    return {};
}

void LogEntries(const std::vector<std::wstring>& entries) {
    for (const std::wstring& entry : entries) LogPrintf(L"%s", entry.c_str());
}
