#include "viewer/player_protocol.h"

#include <cstdint>
#include <cwchar>
#include <iterator>

namespace {

constexpr std::string_view kLoadfileHead = "{\"command\":[\"loadfile\",\"";
constexpr std::string_view kLoadfileTail = "\",\"replace\"]}\n";
constexpr std::string_view kSuccessMarker = "\"success\"";

// The largest handle value has 20 digits; the pipe name adds its prefix to that.
static_assert(kWindowNumberChars > 20);
static_assert(kPipeNameChars > std::size(kPipeNamePrefix) - 1 + 20);

unsigned long long HandleValue(HWND window) {
    return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window));
}

}  // namespace

std::wstring WindowNumber(HWND window) {
    wchar_t number[kWindowNumberChars] = {};
    _snwprintf_s(number, kWindowNumberChars, _TRUNCATE, L"%llu", HandleValue(window));
    return number;
}

std::wstring PipeNameFor(HWND window) {
    wchar_t name[kPipeNameChars] = {};
    _snwprintf_s(name, kPipeNameChars, _TRUNCATE, L"%s%llu", kPipeNamePrefix, HandleValue(window));
    return name;
}

std::wstring BuildPlayerCommandLine(std::wstring_view playerPath, std::wstring_view windowNumber,
                                    std::wstring_view pipeName, std::wstring_view mpvParams,
                                    std::wstring_view filePath) {
    std::wstring line;
    line += L'"';
    line += playerPath;
    line += L"\" --wid=";
    line += windowNumber;
    line += L" --input-ipc-server=";
    line += pipeName;
    line += kPlayerFixedOptions;
    if (!mpvParams.empty()) {
        line += L' ';
        line += mpvParams;
    }
    line += L" \"";
    line += filePath;
    line += L'"';
    return line;
}

std::string EscapeJsonPath(std::string_view utf8Path) {
    std::string escaped;
    escaped.reserve(utf8Path.size());
    for (const char byte : utf8Path) {
        if (byte == '\\' || byte == '"') escaped += '\\';
        escaped += byte;
    }
    return escaped;
}

std::optional<std::string> BuildLoadfileCommand(std::string_view utf8Path) {
    const std::string escaped = EscapeJsonPath(utf8Path);
    const size_t length = kLoadfileHead.size() + escaped.size() + kLoadfileTail.size();
    if (length > kCommandBufferBytes - 1) return std::nullopt;
    std::string command;
    command.reserve(length);
    command += kLoadfileHead;
    command += escaped;
    command += kLoadfileTail;
    return command;
}

bool ReplyHasSuccess(std::string_view reply) {
    const size_t end = reply.find('\0');
    if (end != std::string_view::npos) reply = reply.substr(0, end);
    return reply.find(kSuccessMarker) != std::string_view::npos;
}
