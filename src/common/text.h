#pragma once
// Text helpers shared by every subsystem. All plug-in text is UTF-16.
#include <string>
#include <string_view>

// Lowercases one UTF-16 unit at a time in the default "C" locale, so only A to Z change.
std::wstring ToLower(std::wstring_view text);

// Strips blanks, tabs, CR and LF (and nothing else) from both ends.
std::wstring Trim(std::wstring_view text);

// What a host buffer holds past the copied text's terminator: zeros up to capacity - 1, as the
// plug-in information record's text slots are filled, or what the host left there, as the file's
// type description is formatted.
enum class HostBufferTail { ZeroFilled, Untouched };

// Copies at most capacity - 1 units into a host buffer and terminates the text, so that a text
// cut at the capacity ends at capacity - 1. Does nothing for a null buffer or a zero capacity.
void CopyToHostBuffer(wchar_t* buffer, unsigned capacity, std::wstring_view text, HostBufferTail tail);

// Takes a fixed buffer's text up to its first NUL, never reading past the buffer.
std::wstring FromFixedBuffer(const wchar_t* buffer, size_t capacity);

// UTF-8 read at the edges (the alias file, the player's replies). Going the other way, a path
// goes through PathToUtf8, which refuses a lone surrogate instead of changing the path.
std::wstring FromUtf8(std::string_view bytes);
