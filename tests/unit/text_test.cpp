#include <gtest/gtest.h>

#include "common/text.h"

namespace {

struct TrimCase {
    const wchar_t* input;
    const wchar_t* expected;
};

TEST(Text, TrimRemovesOnlyBlankTabCrLfAtBothEnds) {
    const TrimCase cases[] = {
        {L"", L""},
        {L" \t\r\n", L""},
        {L"  mkv  ", L"mkv"},
        {L"\tgroup\r\n", L"group"},
        {L"a b", L"a b"},
        {L"\x00A0x\x00A0", L"\x00A0x\x00A0"},  // no-break space is not trimmed
        {L"\vx\f", L"\vx\f"},                  // neither are vertical tab and form feed
        {L" \t a\tb \n", L"a\tb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Trim(c.input), c.expected) << "input [" << testing::PrintToString(std::wstring(c.input)) << "]";
}

TEST(Text, ToLowerChangesOnlyAsciiLetters) {
    EXPECT_EQ(ToLower(L"MKV"), L"mkv");
    EXPECT_EQ(ToLower(L"Video-GROUP_1"), L"video-group_1");
    EXPECT_EQ(ToLower(L""), L"");
    // The default "C" locale leaves letters outside A to Z alone.
    EXPECT_EQ(ToLower(L"\x00C4\x00C9\x0416"), L"\x00C4\x00C9\x0416");
}

TEST(Text, CopyToHostBufferCutsAtCapacityAndTerminates) {
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    CopyToHostBuffer(buffer, 5, L"Tessoravin", HostBufferTail::ZeroFilled);
    EXPECT_EQ(std::wstring(buffer), L"Tess");
    EXPECT_EQ(buffer[5], L'#');  // nothing past the capacity

    std::fill(std::begin(buffer), std::end(buffer), L'#');
    CopyToHostBuffer(buffer, 6, L"ab", HostBufferTail::ZeroFilled);
    EXPECT_EQ(std::wstring(buffer), L"ab");
    for (int i = 2; i < 6; ++i) EXPECT_EQ(buffer[i], L'\0') << i;
    EXPECT_EQ(buffer[6], L'#');

    // The type description: the text and its terminator, and nothing after them.
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    CopyToHostBuffer(buffer, 6, L"ab", HostBufferTail::Untouched);
    EXPECT_EQ(std::wstring(buffer), L"ab");
    for (int i = 3; i < 8; ++i) EXPECT_EQ(buffer[i], L'#') << i;
    CopyToHostBuffer(buffer, 5, L"Tessoravin", HostBufferTail::Untouched);
    EXPECT_EQ(std::wstring(buffer), L"Tess");

    std::fill(std::begin(buffer), std::end(buffer), L'#');
    CopyToHostBuffer(buffer, 0, L"ab", HostBufferTail::ZeroFilled);
    EXPECT_EQ(buffer[0], L'#');
    CopyToHostBuffer(nullptr, 4, L"ab", HostBufferTail::ZeroFilled);  // must not crash
}

}  // namespace
