#include "common/text.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

std::wstring ToLower(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

namespace {
bool IsTrimmed(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
}  // namespace

std::wstring Trim(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsTrimmed(text[begin])) ++begin;
    while (end > begin && IsTrimmed(text[end - 1])) --end;
    return std::wstring(text.substr(begin, end - begin));
}

void CopyToHostBuffer(wchar_t* buffer, unsigned capacity, std::wstring_view text, HostBufferTail tail) {
    if (!buffer || capacity == 0) return;
    const size_t limit = capacity - 1;
    const size_t n = std::min(text.size(), limit);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = L'\0';
    if (tail == HostBufferTail::ZeroFilled) std::fill(buffer + n, buffer + capacity, L'\0');
}

std::wstring FromFixedBuffer(const wchar_t* buffer, size_t capacity) {
    const wchar_t* end = std::find(buffer, buffer + capacity, L'\0');
    return std::wstring(buffer, end);
}

std::wstring FromUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    return out;
}
