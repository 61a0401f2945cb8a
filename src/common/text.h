#pragma once
// Text helpers shared by every subsystem. All plug-in text is UTF-16.
#include <string>
#include <string_view>

// Lowercases one UTF-16 unit at a time in the default "C" locale, so only A to Z change.
std::wstring ToLower(std::wstring_view text);

// Strips blanks, tabs, CR and LF (and nothing else) from both ends.
std::wstring Trim(std::wstring_view text);

// Copies at most capacity - 1 units into a host buffer, zero-fills the rest of that span
// and terminates at capacity - 1. Does nothing for a null buffer or a zero capacity.
void CopyToHostBuffer(wchar_t* buffer, unsigned capacity, std::wstring_view text);

// Takes a fixed buffer's text up to its first NUL, never reading past the buffer.
std::wstring FromFixedBuffer(const wchar_t* buffer, size_t capacity);

// UTF-8 read at the edges (the alias file, the player's replies). Going the other way, a path
// goes through PathToUtf8, which refuses a lone surrogate instead of changing the path.
std::wstring FromUtf8(std::string_view bytes);
