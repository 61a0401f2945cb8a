// The configuration dialogs' decisions that need no window.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/dialog_rules.h"

namespace {

// Where each control goes is checked on the real dialog; here the order in which the initial
// rectangles are recorded, and which moves also size and which leave the z-order alone.
TEST(DialogRules, LayoutRecordsTheNineControlsAndSizesOnlyThoseThatGrow) {
    const std::array<int, kLayoutControlCount> ids = {
        IDC_MAPPING_LIST, IDC_ADD, IDC_EDIT, IDC_DELETE, IDC_PARAMS_LABEL, IDC_PARAMS, IDC_CONFIG_PATH, IDOK, IDCANCEL};
    std::array<int, kLayoutControlCount> recorded{};
    for (size_t i = 0; i < kLayoutControlCount; ++i) recorded[i] = kLayoutControls[i].id;
    EXPECT_EQ(recorded, ids);
    const RECT rects[kLayoutControlCount] = {};
    const auto moves = ComputeConfigLayout(rects, {7, 9});
    for (size_t i = 0; i < kLayoutControlCount; ++i) {
        const bool sized = ids[i] == IDC_MAPPING_LIST || ids[i] == IDC_PARAMS || ids[i] == IDC_CONFIG_PATH;
        EXPECT_EQ(moves[i].flags, (sized ? 0u : SWP_NOSIZE) | SWP_NOZORDER | SWP_NOACTIVATE) << "control " << ids[i];
    }
}

// The dialog test covers the default alias, relative, %VAR%, quoted, drive and root paths.
TEST(DialogRules, OnlyWindowsPathsServeAsTheInitialFile) {
    for (const wchar_t* path : {L"", L"d:mpv.exe", L"\\\\server\\share\\mpv.exe"})  // empty, drive-relative, network
        EXPECT_TRUE(UsableAsInitialFile(path)) << testing::PrintToString(std::wstring(path));
    for (const wchar_t* path : {L"mpv.exe", L"C", L":", L"/"})
        EXPECT_FALSE(UsableAsInitialFile(path)) << testing::PrintToString(std::wstring(path));
}

// The dialog test covers the empty fields and tabs and line breaks in each field.
TEST(DialogRules, MappingFieldsMustBeFilledAndFreeOfTabsAndLineBreaks) {
    using enum MappingFieldsCheck;
    struct Case {
        const wchar_t *group, *exts, *path;
        MappingFieldsCheck expected;
    };
    const Case cases[] = {
        {L"video", L"mkv;mp4", L"C:\\mpv.exe", Ok},
        {L" video ", L" mkv", L"p ", Ok},
        {L" ", L"mkv", L"p", EmptyField},
        {L"g", L" \t", L"p", EmptyField},  // blank once trimmed
        {L"g", L"mkv", L"\r\n ", EmptyField},
        {L"a\tb", L"mkv", L"p", TabOrLineBreak},
        {L"g", L"mkv", L"p\r\nq", TabOrLineBreak},
        {L"g\v", L"mkv\f", L"p\x2028", Ok},  // only what the stored format cannot hold
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckMappingFields(c.group, c.exts, c.path), c.expected)
            << testing::PrintToString(std::wstring(c.group) + L"|" + c.exts + L"|" + c.path);
}

TEST(DialogRules, OversizeWarningNamesWhatCannotBeReadBack) {
    EXPECT_EQ(OversizeWarning(0, 0), L"");
    EXPECT_EQ(OversizeWarning(8191, 1023), L"");
    const auto has = [](const std::wstring& text, const wchar_t* part) {
        return text.find(part) != std::wstring::npos;
    };

    const std::wstring mappings = OversizeWarning(8192, 1023);
    EXPECT_TRUE(has(mappings, L"extension mappings") && has(mappings, L"8192") && has(mappings, L"8191"))
        << testing::PrintToString(mappings);
    EXPECT_FALSE(has(mappings, L"parameters"));

    const std::wstring params = OversizeWarning(8191, 1024);
    EXPECT_TRUE(has(params, L"mpv extra parameters") && has(params, L"1024") && has(params, L"1023"))
        << testing::PrintToString(params);
    EXPECT_FALSE(has(params, L"mappings"));

    const std::wstring both = OversizeWarning(20000, 5000);
    EXPECT_TRUE(has(both, L"extension mappings") && has(both, L"mpv extra parameters") &&
                has(both, L"Nothing was saved."));
}

}  // namespace
