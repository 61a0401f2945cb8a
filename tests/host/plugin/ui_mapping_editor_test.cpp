// The mapping editor of the real DLL, opened from the configuration dialog: its refusals and
// its browse button with the file-open dialog.
#include <gtest/gtest.h>

#include "ui_driver.h"

using namespace testsupport;
using namespace uitest;

namespace {

constexpr int kFileNameField = 1148;  // the file-open dialog's file name box (cmb13)

struct FieldCase {
    const wchar_t* group;
    const wchar_t* exts;
    const wchar_t* path;
};

// Presses OK in the editor with the fields set; returns the warning text and whether the
// editor was still open after the warning was closed. The editor is then cancelled.
struct Refusal {
    std::wstring warning;
    bool boxOwnedByEditor = false;
    bool editorStayed = false;
};
Refusal TryOk(HWND dialog, const FieldCase& fields) {
    Refusal seen;
    RunScripted([&] { Press(dialog, IDC_ADD); },
                [&] {
                    HWND editor = AwaitDialog(kEditorCaption);
                    if (!editor) return;
                    FillEditor(editor, fields.group, fields.exts, fields.path);
                    PostPress(editor, IDOK);
                    if (HWND box = AwaitDialog(kBoxCaption)) {
                        seen.warning = MessageBoxText(box);
                        seen.boxOwnedByEditor = GetWindow(box, GW_OWNER) == editor;
                        PostMessageW(box, WM_COMMAND, IDOK, 0);
                        AwaitGone(box);
                    }
                    seen.editorStayed = IsWindowVisible(editor) != FALSE;
                    PostPress(editor, IDCANCEL);
                });
    return seen;
}

TEST(MappingEditor, OkWithAnEmptyFieldWarnsAndKeepsTheEditorOpen) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const FieldCase cases[] = {
        {L"", nullptr, nullptr},
        {nullptr, L"", nullptr},
        {nullptr, nullptr, L""},
        {L"", L"a\tb", nullptr},  // the empty field is named first
    };
    for (const FieldCase& c : cases) {
        const Refusal seen = TryOk(s.dialog, c);
        EXPECT_EQ(seen.warning, L"Group, extensions, and path cannot be empty.");
        EXPECT_TRUE(seen.boxOwnedByEditor);
        EXPECT_TRUE(seen.editorStayed);
    }
    EXPECT_EQ(s.Rows(), kThreeRows);
}

TEST(MappingEditor, OkWithATabOrLineBreakWarnsAndKeepsTheEditorOpen) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const FieldCase cases[] = {
        {L"vid\teo", nullptr, nullptr},
        {nullptr, L"mkv\nmp4", nullptr},
        {nullptr, nullptr, L"C:\\mpv\\mpv.exe\r"},
        {nullptr, nullptr, L"C:\\mpv\r\nmpv.exe"},
    };
    for (const FieldCase& c : cases) {
        const Refusal seen = TryOk(s.dialog, c);
        EXPECT_EQ(seen.warning, L"Group, extensions, and path cannot contain tabs or line breaks.");
        EXPECT_TRUE(seen.boxOwnedByEditor);
        EXPECT_TRUE(seen.editorStayed);
    }
    EXPECT_EQ(s.Rows(), kThreeRows);
}

// The browse button offers the field's path to the file-open dialog only when it reads as a
// Windows file name; the dialog is cancelled each time and the field keeps its text.
TEST(MappingEditor, BrowseOffersOnlyWindowsPathsAsTheInitialFile) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    struct Case {
        const wchar_t* path;
        bool offered;
        const wchar_t* fileName;  // what the file-open dialog shows
    };
    const Case cases[] = {
        {kDefaultPlayer, false, L""},
        {L"viewers\\mpv\\mpv.exe", false, L""},
        {L"%ProgramFiles%\\mpv\\mpv.exe", false, L""},
        {L"\"C:\\windows\\notepad.exe\"", false, L""},
        {L"C:\\windows\\notepad.exe", true, L"notepad.exe"},
        {L"\\windows\\notepad.exe", true, L"notepad.exe"},
    };
    struct Seen {
        bool fileDialog = false;
        std::wstring fileName, fieldAfter;
    };
    std::vector<Seen> seen(std::size(cases));
    RunScripted([&] { Press(s.dialog, IDC_ADD); },
                [&] {
                    HWND editor = AwaitDialog(kEditorCaption);
                    if (!editor) return;
                    for (size_t i = 0; i < std::size(cases); ++i) {
                        SetDlgItemTextW(editor, IDC_EXE_PATH, cases[i].path);
                        PostPress(editor, IDC_BROWSE);
                        HWND files = AwaitOwnedDialog(editor);
                        if (!files) break;
                        seen[i].fileDialog = true;
                        seen[i].fileName = ControlText(files, kFileNameField);
                        PostMessageW(files, WM_COMMAND, IDCANCEL, 0);
                        AwaitGone(files);
                        seen[i].fieldAfter = ControlText(editor, IDC_EXE_PATH);
                    }
                    PostPress(editor, IDCANCEL);
                });
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_TRUE(seen[i].fileDialog);
        EXPECT_EQ(seen[i].fileName, c.fileName);
        EXPECT_EQ(seen[i].fieldAfter, c.path);
        const std::wstring line =
            std::wstring(L"[EditMappingDlgProc]   path is not a valid Windows path, clearing initial file: ") + c.path +
            L"\r\n";
        EXPECT_EQ(CountLogLines(line), c.offered ? 0 : 1);
    }
    EXPECT_EQ(s.Rows(), kThreeRows);
}

// Picks a file in the file-open dialog by typing its name there and pressing Open.
std::wstring BrowseAndPick(HWND editor, const std::wstring& typed) {
    PostPress(editor, IDC_BROWSE);
    HWND files = AwaitOwnedDialog(editor);
    if (!files) return L"(no file dialog)";
    SetDlgItemTextW(files, kFileNameField, typed.c_str());
    PostMessageW(files, WM_COMMAND, IDOK, 0);
    if (!AwaitGone(files)) PostMessageW(files, WM_COMMAND, IDCANCEL, 0);
    return ControlText(editor, IDC_EXE_PATH);
}

TEST(MappingEditor, BrowsePutsThePickedFileInTheFieldAndOnlyOkKeepsIt) {
    const std::wstring folder = MakeTestFolder(L"players") + L"\\";
    WriteFileBytes(folder + L"old.exe", "MZ");
    WriteFileBytes(folder + L"new.exe", "MZ");
    const std::vector<Row> rows = {{L"video", L"mkv", folder + L"old.exe"}};
    ConfigSession s(rows);
    ASSERT_NE(s.dialog, nullptr);

    std::wstring offered, picked;
    SelectRow(s.list, 0);
    RunScripted([&] { Press(s.dialog, IDC_EDIT); },
                [&] {
                    HWND editor = AwaitDialog(kEditorCaption);
                    if (!editor) return;
                    PostPress(editor, IDC_BROWSE);
                    if (HWND files = AwaitOwnedDialog(editor)) {
                        offered = ControlText(files, kFileNameField);
                        PostMessageW(files, WM_COMMAND, IDCANCEL, 0);
                        AwaitGone(files);
                    }
                    picked = BrowseAndPick(editor, folder + L"new.exe");
                    PostPress(editor, IDCANCEL);
                });
    EXPECT_EQ(offered, L"old.exe");
    EXPECT_EQ(picked, folder + L"new.exe");
    EXPECT_EQ(s.Rows(), rows) << "Cancel drops the browsed path";

    SelectRow(s.list, 0);
    RunScripted([&] { Press(s.dialog, IDC_EDIT); },
                [&] {
                    HWND editor = AwaitDialog(kEditorCaption);
                    if (!editor) return;
                    picked = BrowseAndPick(editor, folder + L"new.exe");
                    PostPress(editor, IDOK);
                });
    EXPECT_EQ(picked, folder + L"new.exe");
    EXPECT_EQ(s.Rows(), (std::vector<Row>{{L"video", L"mkv", folder + L"new.exe"}}));
}

}  // namespace
