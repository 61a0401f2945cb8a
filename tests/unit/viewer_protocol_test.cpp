// The text the viewer sends to the player, beyond what the host tests see pass through a real
// player: handle values no real window has, every escape, paths UTF-8 cannot hold, reply shapes
// and how a reply is found among event lines, and how the pipe is opened.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/text.h"
#include "viewer/outcomes.h"
#include "viewer/player_protocol.h"

namespace {

TEST(PlayerCommandLine, WindowNumberAndPipeNameUseTheUnsignedDecimalHandle) {
    const std::pair<std::uint64_t, const wchar_t*> cases[] = {
        {0x1, L"1"}, {0x2003A, L"131130"}, {0x100000000ull, L"4294967296"}, {~0ull, L"18446744073709551615"}};
    for (const auto& [value, number] : cases) {
        const HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
        EXPECT_EQ(WindowNumber(hwnd), number);
        EXPECT_EQ(PipeNameFor(hwnd), std::wstring(L"\\\\.\\pipe\\dopus_mpv_") + number);
    }
}

// Backslash, quote and every byte below 0x20 are escaped, nothing else: '/', DEL and UTF-8 pass.
// The log sees only the control bytes escaped.
TEST(LoadfileCommand, BackslashQuoteAndControlBytesAreEscaped) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"\\\\srv\\a\"b\".mp4", "\\\\\\\\srv\\\\a\\\"b\\\".mp4", "\\\\srv\\a\"b\".mp4"},
        {"\b\f\n\r\t", "\\b\\f\\n\\r\\t", "\\b\\f\\n\\r\\t"},
        {std::string("\0\x01\x0b\x1f\x20", 5), "\\u0000\\u0001\\u000b\\u001f ", "\\u0000\\u0001\\u000b\\u001f "},
        {"a/b\x7f\xC3\xA9\xE9\x9F\xB3", "a/b\x7f\xC3\xA9\xE9\x9F\xB3", "a/b\x7f\xC3\xA9\xE9\x9F\xB3"},
    };
    for (const auto& [path, escaped, logged] : cases) {
        EXPECT_EQ(EscapeJsonPath(path), escaped) << path;
        EXPECT_EQ(EscapeControlBytes(path), logged) << path;
        EXPECT_EQ(BuildLoadfileCommand(path), "{\"command\":[\"loadfile\",\"" + escaped + "\",\"replace\"]}\n");
    }
}

// A lone surrogate anywhere, or a pair in the wrong order, has no UTF-8: no path at all rather
// than one with U+FFFD in it.
TEST(LoadfileCommand, OnlyWellFormedUtf16BecomesUtf8) {
    const std::pair<std::wstring, std::optional<std::string>> cases[] = {
        {L"", ""},
        {L"C:\\v\\caf\u00e9.mkv", "C:\\v\\caf\xC3\xA9.mkv"},
        {L"\xD83C\xDFB5.mp3", "\xF0\x9F\x8E\xB5.mp3"},
        {L"a\xD800.mkv", std::nullopt},
        {L"a\xDC00.mkv", std::nullopt},
        {L"a.mkv\xD83C", std::nullopt},
        {L"\xDFB5\xD83C", std::nullopt},
    };
    for (const auto& [path, utf8] : cases) EXPECT_EQ(PathToUtf8(path), utf8) << testing::PrintToString(path);
}

// Identification only: the server may learn who the user is but never act as the user. Wine
// ignores these flags (a server always sees impersonation level 2), so they are held here.
TEST(PipeOpen, FlagsAskForIdentificationOnlyAndOverlappedTransfers) {
    EXPECT_EQ(kPipeOpenFlags & SECURITY_SQOS_PRESENT, static_cast<DWORD>(SECURITY_SQOS_PRESENT));
    EXPECT_EQ(kPipeOpenFlags & (SECURITY_IDENTIFICATION | SECURITY_IMPERSONATION | SECURITY_DELEGATION),
              static_cast<DWORD>(SECURITY_IDENTIFICATION));
    EXPECT_EQ(kPipeOpenFlags & FILE_FLAG_OVERLAPPED, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
}

TEST(PlayerReply, SuccessInQuotesAnywhereBeforeTheFirstZero) {
    const std::pair<std::string, bool> cases[] = {
        {"{\"data\":null,\"request_id\":0,\"error\":\"success\"}\n", true},
        {"{\"event\":\"playback-restart\"}\n{\"error\":\"success\"}\n", true},
        {"{\"request_id\":0,\"error\":\"invalid parameter\"}\n", false},
        {"{\"event\":\"playback-restart\"}\n", false},
        {"", false},
        {"success \"Success\"", false},
        {std::string("{\"error\":\0\"success\"}", 20), false},
    };
    for (const auto& [reply, accepted] : cases) EXPECT_EQ(ReplyHasSuccess(reply), accepted) << reply;
}

// Only an object with "event" as one of its own keys is an event: not a value, not a nested key,
// not the word inside a string.
TEST(PlayerReply, EventLinesAreObjectsWithAnEventKey) {
    const std::pair<std::string, bool> cases[] = {
        {R"({"event":"video-reconfig"})", true},
        {R"({"event":"property-change","id":1,"name":"pause","data":false})", true},
        {R"(  { "id":2, "data":{"a":[1,{"b":"}"}]}, "event" : "x" })", true},
        {R"({"data":null,"request_id":0,"error":"success"})", false},
        {R"({"data":{"event":"x"},"error":"success"})", false},
        {R"({"data":["event",{"event":1}],"error":"success"})", false},
        {R"({"error":"event"})", false},
        {R"({"data":"\"event\":1","error":"success"})", false},
        {R"({"data":"\\","event":1})", true},
        {R"(["event"])", false},
        {R"({"event)", false},
        {"", false},
    };
    for (const auto& [line, event] : cases) EXPECT_EQ(IsEventLine(line), event) << line;
}

// The pieces one connection delivers: the first complete line that is not an event is the reply,
// wherever the pieces split; without one, more is needed until 64 KiB have been looked at. The
// player took the command when its reply holds "success"; when the pipe ends first, its unfinished
// last line is judged as a complete one would be, so an event never counts.
TEST(PlayerReply, TheReplyIsTheFirstLineThatIsNotAnEvent) {
    using State = ReplyLineReader::State;
    const std::string event = R"({"event":"client-message","args":["success"]})"
                              "\n";
    const std::string reply = R"({"data":null,"request_id":0,"error":"success"})";
    // After one event, an event line that ends exactly at the limit: {"event":1, filler }\n
    const std::string filler(kReplyLimitBytes - event.size() - 13, ' ');
    struct Case {
        std::vector<std::string> pieces;
        State state;
        std::string line;
        bool accepted;
    };
    const Case cases[] = {
        {{reply + "\n"}, State::Reply, reply, true},
        {{event + event + event + reply + "\n" + event}, State::Reply, reply, true},
        {{event.substr(0, 5), event.substr(5) + reply.substr(0, 9), reply.substr(9), "\nrest"},
         State::Reply,
         reply,
         true},
        {{event, "garbage\n", reply + "\n"}, State::Reply, "garbage", false},
        {{event, event, reply}, State::NeedMore, "", true},                        // the pipe closed early
        {{event, event.substr(0, event.size() - 1)}, State::NeedMore, "", false},  // ... in an event line
        {{event + "{\"event\":1," + filler + "}\n"}, State::Overflow, "", false},
        {{event + "{\"event\":1," + filler.substr(1) + "}\n", "x\n"}, State::Overflow, "", false},  // one byte over
        {{event + "{\"event\":1," + filler.substr(2) + "}\n", "x\n"}, State::Reply, "x", false},    // just fits
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ReplyLineReader reader;
        for (const std::string& piece : cases[i].pieces) reader.Feed(piece);
        EXPECT_EQ(reader.Current(), cases[i].state) << i;
        EXPECT_EQ(reader.Current() == State::Reply ? reader.Line() : "", cases[i].line) << i;
        EXPECT_EQ(reader.Accepted(), cases[i].accepted) << i;
    }
    ReplyLineReader ended;
    ended.Feed(event + reply);  // the pipe closed without the line feed
    EXPECT_EQ(ended.Rest(), reply);
}

}  // namespace

// Every outcome of the viewer's three operations and the log entries it writes: the one place
// the tests hold the wording of those entries. The reply is logged in UTF-16, control bytes escaped,
// and its own line feed ends the entry (a reply cut short by the pipe's end has none).
TEST(Outcomes, EachValueWritesItsOwnEntries) {
    using Entries = std::vector<std::wstring>;
    const std::wstring send = L"[SendMPVCommand] SendMPVCommand: ";
    const std::wstring launch = L"[LaunchAndEmbed] ";
    const std::wstring noWindow = launch + L"mpv: failed to find child window within 5s";
    SendReport sent(SendOutcome::Sent), refused(SendOutcome::Refused);
    sent.reply = "{\"data\":{\"playlist_entry_id\":2},\"request_id\":0,\"error\":\"success\"}\n";
    refused.reply = "caf\xC3\xA9\t\"x\"";
    const std::pair<Entries, Entries> cases[] = {
        {SendOutcomeEntries(sent), {send + L"response=" + FromUtf8(sent.reply)}},
        {SendOutcomeEntries(refused), {send + L"response=caf\u00e9\\t\"x\""}},
        {SendOutcomeEntries({SendOutcome::NoPipe}), {}},
        {SendOutcomeEntries({SendOutcome::PathNotUtf16}), {send + L"path is not valid UTF-16, not sent"}},
        {SendOutcomeEntries({SendOutcome::CommandTooLong}), {send + L"command longer than 2047 bytes, not sent"}},
        {SendOutcomeEntries({SendOutcome::OpenFailed, 2}), {send + L"CreateFileW failed, err=2"}},
        {SendOutcomeEntries({SendOutcome::ServerUnknown, 6}), {send + L"GetNamedPipeServerProcessId failed, err=6"}},
        {SendOutcomeEntries({SendOutcome::NotThePlayer, 4242}),
         {send + L"pipe served by pid 4242, not the player; not sent"}},
        {SendOutcomeEntries({SendOutcome::NoEvent, 8}), {send + L"CreateEventW failed, err=8"}},
        {SendOutcomeEntries({SendOutcome::WriteFailed, 232}), {send + L"WriteFile failed, err=232"}},
        {SendOutcomeEntries({SendOutcome::WriteCut, 10, 52}), {send + L"wrote 10 of 52 bytes"}},
        {SendOutcomeEntries({SendOutcome::NoReplyInTime}), {send + L"no reply within 2000 ms"}},
        {SendOutcomeEntries({SendOutcome::ReplyTooLong}), {send + L"no reply within the first 65536 bytes"}},
        {LaunchOutcomeEntries({LaunchOutcome::Embedded, 0, reinterpret_cast<HWND>(0x201A4)}),
         {launch + L"mpv: embedded child hwnd=0x00000000000201A4"}},
        {LaunchOutcomeEntries({LaunchOutcome::StartFailed, 2}),
         {launch + L"CreateProcessW FAILED, err=2 (0x00000002)"}},
        {LaunchOutcomeEntries({LaunchOutcome::ResumeFailed, 5}), {launch + L"  ResumeThread FAILED, err=5"}},
        {LaunchOutcomeEntries({LaunchOutcome::PlayerExited, 0xC0000135}),
         {launch + L"mpv: player exited with code 3221225781 (0xC0000135) before its window appeared", noWindow}},
        {LaunchOutcomeEntries({LaunchOutcome::NoWindow}), {noWindow}},
        {LaunchOutcomeEntries({LaunchOutcome::ViewerDestroyed}), {launch + L"  viewer destroyed while embedding"}},
        {LaunchOutcomeEntries({LaunchOutcome::PlayerStopped}),
         {launch + L"  player stopped by another message while embedding"}},
        {LoadOutcomeEntries(LoadOutcome::Reused), {L"[LoadFile] LoadFile (mpv IPC) return 1"}},
        {LoadOutcomeEntries(LoadOutcome::Restarted), {L"[LoadFile] LoadFile return 1"}},
        {LoadOutcomeEntries(LoadOutcome::NotShown), {L"[LoadFile] LoadFile return 0"}},
        {LoadOutcomeEntries(LoadOutcome::Superseded), {L"[LoadFile] LoadFile return 0"}},
        {LoadOutcomeEntries(LoadOutcome::EmptyPath), {L"[LoadFile] empty path, abort"}},
        {LoadOutcomeEntries(LoadOutcome::NoPlayerConfigured), {L"[LoadFile] no viewer configured for this extension"}},
        {WatchOutcomeEntries({WatchOutcome::Hung, 4242, 5312}),
         {L"[PlayerWatch] player pid=4242 did not answer for 5312 ms, ended"}},
        {WatchOutcomeEntries({WatchOutcome::Stopped, 4242}), {}},
        {WatchOutcomeEntries({WatchOutcome::PlayerEnded, 4242}), {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
}
