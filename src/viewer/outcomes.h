#pragma once
// How each of the viewer's operations ended, as values, and the log entries each value writes.
// The operations return the value; the entries are made here and nowhere else, so that the
// wording of every outcome is held in one place. Plain text in, plain text out: no Win32 call.
#include <windows.h>

#include <string>
#include <vector>

// The tags the viewer's log entries start with.
inline constexpr wchar_t kLoadTag[] = L"[LoadFile] ";
inline constexpr wchar_t kLaunchTag[] = L"[LaunchAndEmbed] ";
inline constexpr wchar_t kSendTag[] = L"[SendMPVCommand] SendMPVCommand: ";
inline constexpr wchar_t kWatchTag[] = L"[PlayerWatch] ";

// One command over the player's pipe (SendMPVCommand).
enum class SendOutcome {
    Sent,            // the player answered "success"
    NoPipe,          // no pipe to send to: nothing tried, nothing logged
    PathNotUtf16,    // a lone surrogate: UTF-8 cannot hold the path, nothing sent
    CommandTooLong,  // the command would not fit the command buffer, nothing sent
    OpenFailed,      // CreateFileW failed (code: its error)
    ServerUnknown,   // GetNamedPipeServerProcessId failed (code: its error)
    NotThePlayer,    // another process serves the pipe (code: its pid), nothing sent
    NoEvent,         // CreateEventW failed for a transfer's wait (code: its error)
    WriteFailed,     // WriteFile failed (code: its error)
    WriteCut,        // the write ended early (code: bytes written, of: bytes meant)
    NoReplyInTime,   // the exchange's deadline passed
    ReplyTooLong,    // kReplyLimitBytes read without a reply line
    Refused,         // the player answered, but not "success"
};

struct SendReport {
    SendReport(SendOutcome outcome_, DWORD code_ = 0, DWORD of_ = 0) : outcome(outcome_), code(code_), of(of_) {}
    SendOutcome outcome;
    DWORD code;
    DWORD of;
    std::string reply;  // Sent and Refused: the player's reply line as it wrote it, its line feed included
};

// Starting the player and embedding its window (LaunchAndEmbed).
enum class LaunchOutcome {
    Embedded,         // its window is the viewer's child, enabled, shown and fitted (window: it)
    StartFailed,      // CreateProcessW failed (code: its error)
    ResumeFailed,     // the suspended player could not be resumed (code: the error)
    PlayerExited,     // the player ended before it made a window (code: its exit code)
    NoWindow,         // no window in kChildSearches looks
    ViewerDestroyed,  // a message destroyed the viewer during the search
    PlayerStopped,    // a message cleared the viewer or started another player during the search
};

struct LaunchReport {
    LaunchReport(LaunchOutcome outcome_, DWORD code_ = 0, HWND window_ = nullptr)
        : outcome(outcome_), code(code_), window(window_) {}
    LaunchOutcome outcome;
    DWORD code;
    HWND window;
};

// One file shown in the viewer (LoadFile).
enum class LoadOutcome {
    Reused,              // the running player took it over its pipe
    Restarted,           // a player started for it and embedded
    NotShown,            // a player was to start for it, and nothing is shown
    Superseded,          // a message taken while its player started cleared the viewer or loaded another file
    EmptyPath,           // no path: the player is stopped
    NoPlayerConfigured,  // no player for its extension: the player is stopped
};

// How the watch over one running player ended (the watchdog's thread, PlayerWatch).
enum class WatchOutcome {
    Stopped,      // KillChild ended it
    PlayerEnded,  // the player ended by itself
    Hung,         // the player's window went unanswered too long, and its job was terminated
};

struct WatchReport {
    WatchReport(WatchOutcome outcome_, DWORD pid_ = 0, ULONGLONG unansweredMs_ = 0)
        : outcome(outcome_), pid(pid_), unansweredMs(unansweredMs_) {}
    WatchOutcome outcome;
    DWORD pid;
    ULONGLONG unansweredMs;
};

// The log entries of each outcome, each one line without its line end; none for NoPipe, nor for
// a watch that ended without a verdict.
std::vector<std::wstring> SendOutcomeEntries(const SendReport& report);
std::vector<std::wstring> LaunchOutcomeEntries(const LaunchReport& report);
std::vector<std::wstring> LoadOutcomeEntries(LoadOutcome outcome);
std::vector<std::wstring> WatchOutcomeEntries(const WatchReport& report);

// Writes each entry as a log entry of its own, cut where LogPrintf cuts any entry.
void LogEntries(const std::vector<std::wstring>& entries);

// True for the outcomes that leave the file shown.
inline bool Shown(LoadOutcome outcome) { return outcome == LoadOutcome::Reused || outcome == LoadOutcome::Restarted; }
