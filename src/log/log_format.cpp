#include <cwchar>
#include <iterator>

#include "log/log_format.h"

namespace {
constexpr wchar_t kLogFileName[] = L"Tessoravin.log";
constexpr wchar_t kFallbackFolder[] = L"C:\\";
}  // namespace

size_t FormatLogPrefix(const SYSTEMTIME& t, wchar_t (&out)[kLogPrefixBufferChars]) {
    const int n = std::swprintf(out, kLogPrefixBufferChars, L"[%04d-%02d-%02d %02d:%02d:%02d.%03d] ", t.wYear, t.wMonth,
                                t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t AppendLogLineEnd(wchar_t (&buffer)[kLogFormatBufferChars], size_t length) {
    if (length > 0 && buffer[length - 1] != L'\n' && length + 2 < kLogFormatBufferChars) {
        buffer[length++] = L'\r';
        buffer[length++] = L'\n';
        buffer[length] = L'\0';
    }
    return length;
}

void BuildLogPath(const wchar_t* tempPath, DWORD tempPathResult, wchar_t (&out)[kLogPathChars]) {
    const size_t nameLength = std::size(kLogFileName) - 1;
    const wchar_t* folder = kFallbackFolder;
    // The folder alone must fit in 259 units; a folder that leaves no room for the file name
    // is treated like one that does not fit at all.
    if (tempPathResult != 0 && tempPathResult < kLogPathChars && tempPath &&
        std::wcslen(tempPath) + nameLength < kLogPathChars) {
        folder = tempPath;
    }
    std::swprintf(out, kLogPathChars, L"%ls%ls", folder, kLogFileName);
}
