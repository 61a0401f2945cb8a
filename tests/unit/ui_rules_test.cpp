// The configuration dialogs' decisions that need no window.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/dialog_rules.h"

namespace {

constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kMoveAndSize = SWP_NOZORDER | SWP_NOACTIVATE;

TEST(DialogRules, LayoutControlsAreTheNineInRecordingOrder) {
    const std::array<int, 9> expected = {IDC_MAPPING_LIST, IDC_ADD,         IDC_EDIT, IDC_DELETE, IDC_PARAMS_LABEL,
                                         IDC_PARAMS,       IDC_CONFIG_PATH, IDOK,     IDCANCEL};
    EXPECT_EQ(kLayoutControlIds, expected);
}

TEST(DialogRules, GrowthCountsOnlyWhatExceedsTheInitialSize) {
    struct Case {
        int width, height;
        GrowthDelta expected;
    };
    const Case cases[] = {
        {600, 400, {0, 0}},   {720, 480, {120, 80}}, {599, 399, {0, 0}}, {0, 0, {0, 0}},
        {500, 450, {0, 50}},  {650, 300, {50, 0}},   {601, 401, {1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GrowthBeyondInitial(c.width, c.height, 600, 400), c.expected) << c.width << "x" << c.height;
}

// Distinct initial rectangles, so a control taking another's rectangle shows.
RECT Initial(size_t i) {
    const int n = static_cast<int>(i);
    return RECT{10 + n, 20 + 3 * n, 70 + 5 * n, 40 + 7 * n};
}

TEST(DialogRules, LayoutFollowsTheGrowthControlByControl) {
    RECT rects[kLayoutControlCount];
    for (size_t i = 0; i < kLayoutControlCount; ++i) rects[i] = Initial(i);
    struct Follow {
        bool right, down, wider, taller;
        UINT flags;
    };
    // list; Add, Edit, Delete; parameters label; parameters; path; OK; Cancel.
    const Follow follow[kLayoutControlCount] = {
        {false, false, true, true, kMoveAndSize},  {false, true, false, false, kMoveOnly},
        {false, true, false, false, kMoveOnly},    {false, true, false, false, kMoveOnly},
        {false, true, false, false, kMoveOnly},    {false, true, true, false, kMoveAndSize},
        {false, true, true, false, kMoveAndSize},  {true, true, false, false, kMoveOnly},
        {true, true, false, false, kMoveOnly},
    };
    const GrowthDelta growths[] = {{0, 0}, {120, 80}, {0, 45}, {33, 0}};
    for (const GrowthDelta& g : growths) {
        const auto moves = ComputeConfigLayout(rects, g);
        for (size_t i = 0; i < kLayoutControlCount; ++i) {
            const RECT& r = rects[i];
            const Follow& f = follow[i];
            const ControlMove expected{r.left + (f.right ? g.dx : 0), r.top + (f.down ? g.dy : 0),
                                       r.right - r.left + (f.wider ? g.dx : 0), r.bottom - r.top + (f.taller ? g.dy : 0),
                                       f.flags};
            EXPECT_EQ(moves[i], expected) << "control " << kLayoutControlIds[i] << " grown " << g.dx << "," << g.dy;
        }
    }
}

TEST(DialogRules, OnlyWindowsPathsServeAsTheInitialFile) {
    struct Case {
        const wchar_t* path;
        bool usable;
    };
    const Case cases[] = {
        {L"", true},
        {L"C:\\mpv\\mpv.exe", true},
        {L"d:mpv.exe", true},  // drive-relative still names a drive
        {L"\\Tools\\mpv.exe", true},
        {L"\\\\server\\share\\mpv.exe", true},
        {L"/home\\viewers\\mpv\\mpv.exe", false},
        {L"viewers\\mpv\\mpv.exe", false},
        {L"mpv.exe", false},
        {L"%ProgramFiles%\\mpv\\mpv.exe", false},
        {L"\"C:\\Program Files\\mpv\\mpv.exe\"", false},
        {L"C", false},
        {L":", false},
        {L"/", false},
    };
    for (const Case& c : cases) EXPECT_EQ(UsableAsInitialFile(c.path), c.usable) << testing::PrintToString(std::wstring(c.path));
}

TEST(DialogRules, MappingFieldsMustBeFilledAndFreeOfTabsAndLineBreaks) {
    using enum MappingFieldsCheck;
    struct Case {
        const wchar_t* group;
        const wchar_t* exts;
        const wchar_t* path;
        MappingFieldsCheck expected;
    };
    const Case cases[] = {
        {L"video", L"mkv;mp4", L"C:\\mpv.exe", Ok},
        {L" ", L" ", L" ", Ok},  // blanks are text
        {L"", L"mkv", L"p", EmptyField},
        {L"g", L"", L"p", EmptyField},
        {L"g", L"mkv", L"", EmptyField},
        {L"", L"a\tb", L"p", EmptyField},
        {L"vi\tdeo", L"mkv", L"p", TabOrLineBreak},
        {L"g", L"mkv\nmp4", L"p", TabOrLineBreak},
        {L"g", L"mkv", L"C:\\mpv.exe\r", TabOrLineBreak},
        {L"\t", L"mkv", L"p", TabOrLineBreak},
        {L"g", L"mkv", L"\r\n", TabOrLineBreak},
        {L"g\v", L"mkv\f", L"p\x2028", Ok},  // only what the stored format cannot hold
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckMappingFields(c.group, c.exts, c.path), c.expected)
            << testing::PrintToString(std::wstring(c.group)) << " " << testing::PrintToString(std::wstring(c.exts))
            << " " << testing::PrintToString(std::wstring(c.path));
}

TEST(DialogRules, OversizeWarningNamesWhatCannotBeReadBack) {
    EXPECT_EQ(OversizeWarning(0, 0), L"");
    EXPECT_EQ(OversizeWarning(8191, 1023), L"");

    const std::wstring mappings = OversizeWarning(8192, 1023);
    EXPECT_NE(mappings.find(L"extension mappings"), std::wstring::npos);
    EXPECT_NE(mappings.find(L"8192"), std::wstring::npos);
    EXPECT_NE(mappings.find(L"8191"), std::wstring::npos);
    EXPECT_EQ(mappings.find(L"parameters"), std::wstring::npos);

    const std::wstring params = OversizeWarning(8191, 1024);
    EXPECT_NE(params.find(L"mpv extra parameters"), std::wstring::npos);
    EXPECT_NE(params.find(L"1024"), std::wstring::npos);
    EXPECT_NE(params.find(L"1023"), std::wstring::npos);
    EXPECT_EQ(params.find(L"mappings"), std::wstring::npos);

    const std::wstring both = OversizeWarning(20000, 5000);
    EXPECT_NE(both.find(L"extension mappings"), std::wstring::npos);
    EXPECT_NE(both.find(L"mpv extra parameters"), std::wstring::npos);
    EXPECT_NE(both.find(L"Nothing was saved."), std::wstring::npos);
}

}  // namespace
