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

TEST(PlayerCommandLine, PiecesInOrderByteForByte) {
    const std::wstring head = L"\"C:\\Program Files\\mpv\\mpv.exe\" --wid=131130 --input-ipc-server=\\\\.\\pipe\\dopus_mpv_131130"
                              L" --keep-open=yes --no-border --osc=yes --script-opts=osc-visibility=always"
                              L" --cursor-autohide=no --input-default-bindings=yes --window-dragging=no";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"", head + L" \"D:\\Fr\u00e8re\\\u97f3 \"x\".mkv\""},  // nothing escaped inside the quotes
        {L"--force-window=yes --title=\"a b\"", head + L" --force-window=yes --title=\"a b\" \"D:\\Fr\u00e8re\\\u97f3 \"x\".mkv\""},
    };
    for (const auto& [params, expected] : cases)
        EXPECT_EQ(BuildPlayerCommandLine(L"C:\\Program Files\\mpv\\mpv.exe", L"131130",
                                         L"\\\\.\\pipe\\dopus_mpv_131130", params, L"D:\\Fr\u00e8re\\\u97f3 \"x\".mkv"),
                  expected);
}

TEST(LoadfileCommand, OneJsonLineWithOnlyBackslashAndQuoteEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Videos\\clip.mkv", "C:\\\\Videos\\\\clip.mkv"},
        {"\\\\srv\\a \"b\".mp4", "\\\\\\\\srv\\\\a \\\"b\\\".mp4"},
        {"C:/x/caf\xC3\xA9\xE9\x9F\xB3.mkv", "C:/x/caf\xC3\xA9\xE9\x9F\xB3.mkv"},  // '/' and UTF-8 untouched
        {"tab\tnl\n", "tab\tnl\n"},                                               // no other escapes
    };
    for (const auto& [path, escaped] : cases) {
        EXPECT_EQ(EscapeJsonPath(path), escaped);
        EXPECT_EQ(BuildLoadfileCommand(path), "{\"command\":[\"loadfile\",\"" + escaped + "\",\"replace\"]}\n");
    }
    const std::string plain = *BuildLoadfileCommand("a.mkv");
    EXPECT_EQ(plain.find('\r'), std::string::npos);
    EXPECT_EQ(plain.find('\n'), plain.size() - 1);
}

TEST(LoadfileCommand, RefusedWhenTheEscapedCommandWouldNotFitTheBuffer) {
    constexpr size_t kLargestPath = kCommandBufferBytes - 1 - 38;  // 38 bytes of fixed text
    EXPECT_EQ(BuildLoadfileCommand(std::string(kLargestPath, 'a'))->size(), kCommandBufferBytes - 1);
    EXPECT_FALSE(BuildLoadfileCommand(std::string(kLargestPath + 1, 'a')));
    EXPECT_TRUE(BuildLoadfileCommand(std::string(kLargestPath / 2, '\\')));
    EXPECT_FALSE(BuildLoadfileCommand(std::string(kLargestPath / 2 + 1, '\\')));  // counted escaped
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
