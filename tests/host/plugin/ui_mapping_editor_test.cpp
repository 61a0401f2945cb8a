// The mapping editor of the real DLL, opened from the configuration dialog: its refusals and
// its browse button with the file-open dialog.
#include <gtest/gtest.h>

#include "ui_driver.h"

using namespace testsupport;
using namespace uitest;

namespace {

constexpr int kFileNameField = 1148;  // the file-open dialog's file name box (cmb13)

// Each case opens a new editor with Add, fills it and presses OK; the warning is closed and
// the editor, which must still be open, cancelled.
TEST(MappingEditor, OkWithAnEmptyFieldOrATabOrLineBreakWarnsAndKeepsTheEditorOpen) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const std::wstring empty = L"Group, extensions, and path cannot be empty.";
    const std::wstring split = L"Group, extensions, and path cannot contain tabs or line breaks.";
    struct Case {
        const wchar_t *group, *exts, *path;
        const std::wstring& warning;
    };
    const Case cases[] = {
        {L"", nullptr, nullptr, empty},
        {nullptr, L"", nullptr, empty},
        {nullptr, nullptr, L"", empty},
        {L"", L"a\tb", nullptr, empty},     // the empty field first
        {L"   ", nullptr, nullptr, empty},  // blanks alone: the next load would drop the mapping
        {nullptr, nullptr, L" \t\r\n", empty},
        {L"vid\teo", nullptr, nullptr, split},
        {nullptr, L"mkv\nmp4", nullptr, split},
        {nullptr, nullptr, L"C:\\mpv.exe\r", split},
        {nullptr, nullptr, L"C:\\mpv\r\nmpv.exe", split},
    };
    for (const Case& c : cases) {
        std::wstring box;  // caption and text of the box on the editor
        bool editorStayed = false;
        EditAndClose([&] { Press(s.dialog, IDC_ADD); },
                     [&](HWND editor) {
                         FillEditor(editor, c.group, c.exts, c.path);
                         PostPress(editor, IDOK);
                         if (HWND shown = AwaitOwnedDialog(editor)) {
                             box = WindowText(shown) + L": " + MessageBoxText(shown);
                             PostMessageW(shown, WM_COMMAND, IDOK, 0);
                             AwaitGone(shown);
                         }
                         editorStayed = IsWindowVisible(editor) != FALSE;
                     },
                     false);
        EXPECT_EQ(box, std::wstring(kBoxCaption) + L": " + c.warning);
        EXPECT_TRUE(editorStayed);
    }
    EXPECT_EQ(s.Rows(), kThreeRows);
}

// The browse button offers the field's path to the file-open dialog only when it reads as a
// Windows file name; the dialog is cancelled for each case and the field keeps its text. Then
// a file picked there goes into the field, and OK keeps it.
TEST(MappingEditor, BrowseOffersOnlyWindowsPathsAsTheInitialFileAndPutsThePickInTheField) {
    const std::wstring picked = MakeTestFolder(L"players") + L"\\new.exe";
    WriteFileBytes(picked, "MZ");
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    struct Case {
        const wchar_t* path;
        const wchar_t* fileName;  // what the file-open dialog shows; empty when none is offered
    };
    const Case cases[] = {
        {kDefaultPlayer, L""},
        {L"viewers\\mpv\\mpv.exe", L""},
        {L"%ProgramFiles%\\mpv\\mpv.exe", L""},
        {L"\"C:\\windows\\notepad.exe\"", L""},
        {L"C:\\windows\\notepad.exe", L"notepad.exe"},
        {L"\\windows\\notepad.exe", L"notepad.exe"},
    };
    std::vector<std::pair<std::wstring, std::wstring>> seen;  // file name offered, field afterwards
    EditAndClose([&] { Press(s.dialog, IDC_ADD); },
                 [&](HWND editor) {
                     const auto browse = [&](const std::wstring& typed, int button) -> std::wstring {
                         PostPress(editor, IDC_BROWSE);
                         HWND files = AwaitOwnedDialog(editor);
                         if (!files) return L"(no file dialog)";
                         const std::wstring offered = ControlText(files, kFileNameField);
                         if (!typed.empty()) SetDlgItemTextW(files, kFileNameField, typed.c_str());
                         PostMessageW(files, WM_COMMAND, button, 0);
                         AwaitGone(files);
                         if (IsWindowVisible(files)) Cancel(files);
                         return offered;
                     };
                     for (const Case& c : cases) {
                         SetDlgItemTextW(editor, IDC_EXE_PATH, c.path);
                         seen.emplace_back(browse(L"", IDCANCEL), ControlText(editor, IDC_EXE_PATH));
                     }
                     browse(picked, IDOK);
                 },
                 true);
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(seen[i], std::make_pair(std::wstring(c.fileName), std::wstring(c.path)));
        const std::wstring line =
            std::wstring(L"[EditMappingDlgProc]   path is not a valid Windows path, clearing initial file: ") + c.path +
            L"\r\n";
        EXPECT_EQ(CountLogLines(line), *c.fileName ? 0 : 1);
    }
    std::vector<Row> expected = kThreeRows;
    expected.push_back({L"video", L"mkv;mp4", picked});  // the picked file, kept by OK
    EXPECT_EQ(s.Rows(), expected);
}

}  // namespace
