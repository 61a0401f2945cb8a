// What the plug-in promises about the data it reads from outside, held over random inputs: the
// alias file, the mappings the editor lets through, the player's replies and the paths it sends.
// Every run draws the same inputs from a fixed seed; TESSORAVIN_PROPERTY_SCALE multiplies the
// number of inputs for a long run. A failure names the seed and the input, so it can be run again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "aliases/alias_internal.h"
#include "common/text.h"
#include "config/config_internal.h"
#include "printers.h"
#include "test_support.h"
#include "ui/dialog_rules.h"
#include "viewer/player_protocol.h"

using namespace testsupport;

namespace {

constexpr unsigned kSeed = 20261208;

int Runs(int perScale) {
    const char* scale = std::getenv("TESSORAVIN_PROPERTY_SCALE");
    return perScale * std::max(1, scale ? std::atoi(scale) : 1);
}

// Random text made of pieces chosen from a list, the same for the same seed.
class Draw {
public:
    explicit Draw(unsigned seed) : rng_(seed) {}
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    template <class Text>
    Text From(const std::vector<Text>& pieces, size_t count) {
        Text text;
        for (size_t i = 0; i < count; ++i) text += pieces[Below(pieces.size())];
        return text;
    }

private:
    std::mt19937 rng_;
};

std::string Shown(const std::wstring& text) { return testing::PrintToString(text); }

// clang-format off
const std::vector<std::wstring> kAliasPieces = {
    L"<path label=\"", L"\"", L"<pathstring>", L"</pathstring>", L"Tools", L"HOME", L"&amp;", L"&#x41;", L"&#",
    L"D:\\x", L"/tools", L" ", L"\r\n", L"<", L"&", L";", L"\u00e9"};
// clang-format on

// Any text scans without failing, and a file of any of its shapes repeated up to the largest
// size the plug-in reads scans in time: a scan that searches past each alias grows with the
// square of the size (14 s for 1 MiB of alias starts), a generous bound sees that.
TEST(Property, TheAliasScanTakesAnyTextInLinearTime) {
    for (int i = 0; i < Runs(8000); ++i) {
        Draw draw(kSeed + i);
        const std::wstring shape = draw.From(kAliasPieces, 1 + draw.Below(40));
        AliasTable table;
        ParseAliasText(shape, table);
        if (i % 40 != 0) continue;
        std::wstring file;
        while (file.size() < kAliasFileMaxBytes) file += shape;
        file.resize(kAliasFileMaxBytes);
        const ULONGLONG start = GetTickCount64();
        ParseAliasText(file, table);
        ASSERT_LT(GetTickCount64() - start, 2000u) << "seed " << kSeed + i << ", shape " << Shown(shape);
    }
}

const std::vector<std::wstring> kFieldPieces = {
    L"video", L"mkv;mp4", L".MP3", L"C:\\mpv\\mpv.exe", L"\"",         L"%APPDATA%", L"/home\\", L" ", L"\t",
    L"\r",    L"\n",      L"\v",   L"\u00e9",           L"\U0001F3B5", L";",         L""};

// What the editor accepts comes back from the stored text as the load reads every field: trimmed,
// none of the mappings lost.
TEST(Property, MappingsTheEditorAcceptsLoadBackTheSame) {
    for (int i = 0; i < Runs(200000); ++i) {
        Draw draw(kSeed + i);
        std::vector<MappingEntry> entered, loaded;
        for (size_t n = 1 + draw.Below(4); n > 0; --n) {
            MappingEntry entry{draw.From(kFieldPieces, 1 + draw.Below(4)), draw.From(kFieldPieces, 1 + draw.Below(4)),
                               draw.From(kFieldPieces, 1 + draw.Below(4))};
            if (CheckMappingFields(entry.group, entry.exts, entry.exePath) != MappingFieldsCheck::Ok) continue;
            loaded.push_back({Trim(entry.group), Trim(entry.exts), Trim(entry.exePath)});
            entered.push_back(std::move(entry));
        }
        const std::wstring stored = SerializeMappings(entered);
        ASSERT_EQ(ParseMappings(stored), loaded) << "seed " << kSeed + i << ", stored " << Shown(stored);
    }
}

const std::vector<std::string> kReplyLines = {
    R"({"event":"client-message","args":["success"]})",
    R"({"event":"property-change","name":"t","data":"\"success\" {\"error\":\"success\"}"})",
    R"({"data":{"playlist_entry_id":2},"request_id":0,"error":"success"})",
    R"({"request_id":0,"error":"invalid parameter"})",
    R"({"data":"event","error":"success"})",
    "garbage \"success\"",
    ""};

// The verdict on what a connection delivered is the same however the pipe cut it into pieces, and
// events alone, whole or cut off by the pipe's end, never count as the player taking the command.
TEST(Property, TheReplyVerdictIgnoresHowTheBytesArriveAndNeverTakesAnEvent) {
    for (int i = 0; i < Runs(200000); ++i) {
        Draw draw(kSeed + i);
        const bool eventsOnly = draw.Below(2) == 0;
        std::string bytes;
        for (size_t n = 1 + draw.Below(4); n > 0; --n) bytes += kReplyLines[draw.Below(eventsOnly ? 2 : 7)] + "\n";
        if (draw.Below(2) == 0) bytes.resize(draw.Below(bytes.size() + 1));  // the pipe may end anywhere
        ReplyLineReader whole, pieces;
        whole.Feed(bytes);
        for (size_t at = 0; at < bytes.size();) {
            const size_t piece = 1 + draw.Below(16);
            pieces.Feed(std::string_view(bytes).substr(at, piece));
            at += piece;
        }
        const std::string input = "seed " + std::to_string(kSeed + i) + ", bytes " + testing::PrintToString(bytes);
        ASSERT_EQ(pieces.Current(), whole.Current()) << input;
        ASSERT_EQ(pieces.Line(), whole.Line()) << input;
        ASSERT_EQ(pieces.Accepted(), whole.Accepted()) << input;
        ASSERT_FALSE(eventsOnly && whole.Accepted()) << input;
    }
}

// The inside of the command's JSON string decoded as mpv decodes it, or nothing when it is no JSON
// string: a bare double quote or control byte in it.
std::optional<std::string> JsonDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || (c == '\\' && i + 1 == text.size()))
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        switch (const char escaped = text[++i]) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u':
                out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 4)), nullptr, 16));
                i += 4;
                break;
            default: out += escaped;  // \\ and \"
        }
    }
    return out;
}

const std::vector<std::wstring> kPathPieces = {L"C:\\",   L"Videos",     L"\\",     L"/",        L"\"",    L"'",
                                               L" ",      L"\t",         L"\n",     L"\x01",     L"\x1f",  L"\u00e8",
                                               L"\u97f3", L"\U0001F3B5", L"{}[],:", L"clip.mkv", L"\u2028"};

// A path the command carries is one line, and decodes to exactly the path's UTF-8.
TEST(Property, TheLoadfileCommandIsOneLineThatGivesThePathBack) {
    const std::string head = "{\"command\":[\"loadfile\",\"", tail = "\",\"replace\"]}\n";
    for (int i = 0; i < Runs(80000); ++i) {
        Draw draw(kSeed + i);
        const std::wstring path = draw.From(kPathPieces, draw.Below(draw.Below(10) == 0 ? 400 : 20));
        const std::optional<std::string> utf8 = PathToUtf8(path);
        ASSERT_TRUE(utf8) << "seed " << kSeed + i << ", path " << Shown(path);
        const std::optional<std::string> command = BuildLoadfileCommand(*utf8);
        if (!command) continue;  // too long for the buffer: refused, never cut
        const std::string input = "seed " + std::to_string(kSeed + i) + ", command " + testing::PrintToString(*command);
        ASSERT_EQ(command->find('\n'), command->size() - 1) << input;
        ASSERT_TRUE(command->starts_with(head) && command->ends_with(tail)) << input;
        const std::string inside = command->substr(head.size(), command->size() - head.size() - tail.size());
        ASSERT_EQ(JsonDecoded(inside), utf8) << input;
        ASSERT_EQ(FromUtf8(*utf8), path) << input;
    }
}

}  // namespace
