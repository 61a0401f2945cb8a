#pragma once
// What the viewer says to the player, as plain text: the command line a player is started
// with and the JSON line that hands a running player its next file. No process, pipe or
// window is touched here; window handles come in as arguments.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Fixed buffer sizes the behaviour depends on.
inline constexpr size_t kCommandBufferBytes = 2048;  // one JSON command, terminator included
inline constexpr size_t kReplyReadBytes = 4096;      // one read from the pipe
inline constexpr size_t kReplyLimitBytes = 65536;    // all that is read for one reply, events included
inline constexpr size_t kWindowNumberChars = 32;
inline constexpr size_t kPipeNameChars = 64;

// Options every player gets, between the pipe name and the extra parameters.
inline constexpr wchar_t kPlayerFixedOptions[] =
    L" --keep-open=yes --no-border --osc=yes --script-opts=osc-visibility=always"
    L" --cursor-autohide=no --input-default-bindings=yes --window-dragging=no";

inline constexpr wchar_t kPipeNamePrefix[] = L"\\\\.\\pipe\\dopus_mpv_";

// How the client opens the pipe. Overlapped, so that every transfer can be bounded in time; and
// at identification level only, so that whoever serves the pipe can learn who the user is but
// never act as that user.
inline constexpr DWORD kPipeOpenFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

// The window's handle value in decimal: the player's --wid and the pipe name's suffix.
std::wstring WindowNumber(HWND window);
// "\\.\pipe\dopus_mpv_" + WindowNumber(window): one pipe per viewer window, the same one again
// for a player restarted in that window.
std::wstring PipeNameFor(HWND window);

// "playerPath" --wid=N --input-ipc-server=PIPE <fixed options>[ mpvParams] "filePath".
// Paths are quoted but not escaped; mpvParams is passed on as stored.
std::wstring BuildPlayerCommandLine(std::wstring_view playerPath, std::wstring_view windowNumber,
                                    std::wstring_view pipeName, std::wstring_view mpvParams,
                                    std::wstring_view filePath);

// The path in UTF-8, or nothing when it holds a lone surrogate: converting that would put U+FFFD
// in its place and so name another file.
std::optional<std::string> PathToUtf8(std::wstring_view path);

// The path as the inside of a JSON string: backslash and double quote get a backslash, bytes below
// 0x20 become \b \f \n \r \t or \u00xx (lowercase hex, as mpv writes them); every other byte
// (UTF-8 sequences, '/') passes unchanged. The command thus stays one line.
std::string EscapeJsonPath(std::string_view utf8Path);

// Only the bytes below 0x20 escaped as in EscapeJsonPath: what the player wrote, fit for one log line.
std::string EscapeControlBytes(std::string_view bytes);

// {"command":["loadfile","<escaped path>","replace"]}\n, or nothing when the command would not
// fit the command buffer: a cut command would be a broken line to the player.
std::optional<std::string> BuildLoadfileCommand(std::string_view utf8Path);

// True when the reply, read as zero-terminated text, contains "success" in double quotes.
bool ReplyHasSuccess(std::string_view reply);

// True for a line that is a JSON object with an "event" key at its top level, as mpv writes its
// events. Only as much JSON is understood as that needs: strings, escapes and nesting are
// followed, nothing is validated.
bool IsEventLine(std::string_view line);

// Finds the player's reply in what it writes to a connection: any number of event lines, then the
// reply line, arriving in pieces of any size. Only the first kReplyLimitBytes bytes are looked at.
class ReplyLineReader {
public:
    enum class State { NeedMore, Reply, Overflow };

    // Takes the next piece; Reply once the first line that is not an event is complete (Line()
    // holds it, without its line feed), Overflow once the limit is reached without one.
    State Feed(std::string_view piece);
    State Current() const { return state_; }
    const std::string& Line() const { return line_; }
    // The unfinished line after the last complete one: all there is when the pipe closed early.
    const std::string& Rest() const { return pending_; }
    // Whether the player took the command: its reply holds "success". When the pipe closed before a
    // reply line was complete, the unfinished last line is the reply, unless it is an event.
    bool Accepted() const;

private:
    State state_ = State::NeedMore;
    size_t taken_ = 0;
    std::string pending_;
    std::string line_;
};
