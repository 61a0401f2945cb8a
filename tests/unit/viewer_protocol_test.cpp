// The text the viewer sends to the player, beyond what the host tests see pass through a real
// player: handle values no real window has, the escapes that are not made, and reply shapes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

TEST(LoadfileCommand, NothingButBackslashAndQuoteIsEscaped) {
    const std::string path = "\\\\srv\\a\t\"b\"\n.mp4", escaped = "\\\\\\\\srv\\\\a\t\\\"b\\\"\n.mp4";
    EXPECT_EQ(EscapeJsonPath(path), escaped);
    EXPECT_EQ(BuildLoadfileCommand(path), "{\"command\":[\"loadfile\",\"" + escaped + "\",\"replace\"]}\n");
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

}  // namespace
