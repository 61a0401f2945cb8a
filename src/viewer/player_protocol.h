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
inline constexpr size_t kReplyBufferBytes = 256;     // one reply, terminator included
inline constexpr size_t kWindowNumberChars = 32;
inline constexpr size_t kPipeNameChars = 64;

// Options every player gets, between the pipe name and the extra parameters.
inline constexpr wchar_t kPlayerFixedOptions[] =
    L" --keep-open=yes --no-border --osc=yes --script-opts=osc-visibility=always"
    L" --cursor-autohide=no --input-default-bindings=yes --window-dragging=no";

inline constexpr wchar_t kPipeNamePrefix[] = L"\\\\.\\pipe\\dopus_mpv_";

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

// Doubles backslashes and escapes double quotes; every other byte (UTF-8 sequences, '/',
// control characters) passes unchanged.
std::string EscapeJsonPath(std::string_view utf8Path);

// {"command":["loadfile","<escaped path>","replace"]}\n, or nothing when the command would not
// fit the command buffer: a cut command would be a broken line to the player.
std::optional<std::string> BuildLoadfileCommand(std::string_view utf8Path);

// True when the reply, read as zero-terminated text, contains "success" in double quotes.
bool ReplyHasSuccess(std::string_view reply);
