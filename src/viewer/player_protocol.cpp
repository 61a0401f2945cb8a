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

// A byte below 0x20 as mpv's own JSON writer escapes it; any other byte as it is.
void AppendEscapedControl(std::string& out, char byte) {
    const auto value = static_cast<unsigned char>(byte);
    switch (byte) {
        case '\b': out += "\\b"; return;
        case '\f': out += "\\f"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    if (value >= 0x20) {
        out += byte;
        return;
    }
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[value >> 4];
    out += kHex[value & 0x0F];
}

// Where the JSON string that starts at the double quote at 'open' ends (the index of its closing
// quote), or npos when the line ends first.
size_t StringEnd(std::string_view text, size_t open) {
    for (size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\') ++i;
        else if (text[i] == '"') return i;
    }
    return std::string_view::npos;
}

size_t SkipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
    return at;
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

std::optional<std::string> PathToUtf8(std::wstring_view path) {
    if (path.empty()) return std::string();
    const int units = static_cast<int>(path.size());
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), units, nullptr, 0, nullptr,
                                         nullptr);
    if (size <= 0) return std::nullopt;
    std::string utf8(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path.data(), units, utf8.data(), size, nullptr, nullptr) !=
        size)
        return std::nullopt;
    return utf8;
}

std::string EscapeJsonPath(std::string_view utf8Path) {
    std::string escaped;
    escaped.reserve(utf8Path.size());
    for (const char byte : utf8Path) {
        if (byte == '\\' || byte == '"') escaped += '\\';
        AppendEscapedControl(escaped, byte);
    }
    return escaped;
}

std::string EscapeControlBytes(std::string_view bytes) {
    std::string escaped;
    escaped.reserve(bytes.size());
    for (const char byte : bytes) AppendEscapedControl(escaped, byte);
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

bool IsEventLine(std::string_view line) {
    size_t at = SkipBlanks(line, 0);
    if (at >= line.size() || line[at] != '{') return false;
    int depth = 0;
    for (; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return false;  // the object closed without an "event" key
        } else if (c == '"') {
            const size_t close = StringEnd(line, at);
            if (close == std::string_view::npos) return false;
            // A key is a string that a colon follows; only the outer object's keys count.
            const size_t next = SkipBlanks(line, close + 1);
            if (depth == 1 && next < line.size() && line[next] == ':' && line.substr(at, close + 1 - at) == "\"event\"")
                return true;
            at = close;
        }
    }
    return false;
}

ReplyLineReader::State ReplyLineReader::Feed(std::string_view piece) {
    if (state_ != State::NeedMore) return state_;
    piece = piece.substr(0, kReplyLimitBytes - taken_);
    taken_ += piece.size();
    for (size_t end = piece.find('\n'); end != std::string_view::npos; end = piece.find('\n')) {
        pending_.append(piece.substr(0, end));
        piece.remove_prefix(end + 1);
        if (!IsEventLine(pending_)) {
            line_ = std::move(pending_);
            pending_.clear();
            return state_ = State::Reply;
        }
        pending_.clear();
    }
    pending_.append(piece);
    if (taken_ == kReplyLimitBytes) state_ = State::Overflow;
    return state_;
}

bool ReplyLineReader::Accepted() const {
    if (state_ == State::Reply) return ReplyHasSuccess(line_);
    return state_ == State::NeedMore && !IsEventLine(pending_) && ReplyHasSuccess(pending_);
}
