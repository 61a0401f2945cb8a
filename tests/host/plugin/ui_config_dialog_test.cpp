// The configuration dialog of the real DLL, opened through DVP_Configure inside the fake host.
#include <gtest/gtest.h>

#include "ui_driver.h"

using namespace testsupport;
using namespace uitest;

namespace {

TEST(ConfigDialog, OpensWithEnglishTextsAndTheStoredConfiguration) {
    ConfigSession s(kThreeRows, L"  --mute=yes ");
    ASSERT_NE(s.dialog, nullptr);
    EXPECT_EQ(GetWindow(s.dialog, GW_OWNER), s.host);
    EXPECT_TRUE(IsWindowVisible(s.dialog));
    EXPECT_EQ(WindowText(s.dialog), L"Tessoravin Configuration");
    const std::pair<int, const wchar_t*> texts[] = {
        {IDC_MAPPINGS_LABEL, L"Extension Mappings:"}, {IDC_ADD, L"&Add"}, {IDC_EDIT, L"&Edit"},
        {IDC_DELETE, L"&Delete"}, {IDC_PARAMS_LABEL, L"mpv Extra Params:"}, {IDOK, L"OK"},
        {IDCANCEL, L"Cancel"}, {IDC_PARAMS, L"  --mute=yes "}, {IDC_CONFIG_PATH, kConfigPath},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(ControlText(s.dialog, id), text) << "control " << id;

    HWND header = reinterpret_cast<HWND>(SendMessageW(s.list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    const std::pair<const wchar_t*, int> columns[] = {{L"Group", 80}, {L"Extensions", 180}, {L"mpv.exe Path", 320}};
    for (int i = 0; i < 3; ++i) {
        wchar_t title[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(s.list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(title, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second) << columns[i].first;
    }
    const auto exStyle = static_cast<DWORD>(SendMessageW(s.list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(exStyle & 0x00010021u, 0x00010021u);  // grid lines, full-row select, double buffer

    EXPECT_EQ(s.Rows(), kThreeRows);  // in stored order, paths unresolved
    EXPECT_EQ(SelectedRow(s.list), -1);
    EXPECT_EQ(GetFocus(), s.list);
    EXPECT_NE(SendMessageW(s.dialog, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(SendMessageW(s.dialog, WM_GETICON, ICON_BIG, 0), 0);

    EXPECT_TRUE(LogContains(L"[DVP_Configure] DVP_Configure ENTER\r\n"));
    EXPECT_TRUE(LogContains(L"[CreateConfigDialog] CreateConfigDialog enter\r\n"));
    EXPECT_TRUE(LogContains(L"[ConfigDlgProc] ConfigDlgProc WM_INITDIALOG OK\r\n"));
    EXPECT_TRUE(LogContains(L"[CreateConfigDialog]   CreateDialogParamW OK, hwnd=0x"));
    EXPECT_TRUE(LogContains(L"[DVP_Configure] DVP_Configure return hwnd=0x"));
}

TEST(ConfigDialog, OpensOnTheDefaultsWhenNothingIsStored) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const std::vector<Row> rows = s.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].group, L"video");
    EXPECT_EQ(rows[1].group, L"audio");
    EXPECT_EQ(rows[0].path, kDefaultPlayer);
    EXPECT_EQ(ControlText(s.dialog, IDC_PARAMS), L"--force-window=yes --border=no");
    HoldForScreenshotIfAsked(s.dialog);
}

TEST(ConfigDialog, AddOpensTheEditorOnDefaultsAndOnlyOkAppends) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);

    const EditorView cancelled =
        EditAndClose([&] { Press(s.dialog, IDC_ADD); }, [](HWND e) { HoldForScreenshotIfAsked(e); }, false);
    ASSERT_NE(cancelled.editor, nullptr) << "no editor";
    EXPECT_EQ(cancelled.caption, kEditorCaption);
    EXPECT_EQ(cancelled.group, L"video");
    EXPECT_EQ(cancelled.exts, L"mkv;mp4");
    EXPECT_EQ(cancelled.path, kDefaultPlayer);
    EXPECT_TRUE(cancelled.groupFocused);
    EXPECT_EQ(cancelled.selStart, 0u);
    EXPECT_EQ(cancelled.selEnd, 5u);  // all of "video"
    EXPECT_EQ(s.Rows(), kThreeRows);

    const EditorView added = EditAndClose([&] { Press(s.dialog, IDC_ADD); },
                                          [](HWND e) { FillEditor(e, L"Docs", L"pdf", L"D:\\v.exe"); }, true);
    ASSERT_NE(added.editor, nullptr);
    std::vector<Row> expected = kThreeRows;
    expected.push_back({L"Docs", L"pdf", L"D:\\v.exe"});
    EXPECT_EQ(s.Rows(), expected);
    EXPECT_EQ(SelectedRow(s.list), -1);
    EXPECT_TRUE(s.Saves().empty()) << "nothing is saved before OK";
}

TEST(ConfigDialog, EditWithoutSelectionAsksForOneAndDeleteDoesNothing) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_EDIT); }, IDOK), L"Please select a mapping first.");

    EXPECT_FALSE(DialogAppears(kBoxCaption, [&] { Press(s.dialog, IDC_DELETE); }));
    EXPECT_EQ(s.Rows(), kThreeRows);
}

TEST(ConfigDialog, EditButtonEditsTheSelectedRowInPlace) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    SelectRow(s.list, 1);
    const EditorView view = EditAndClose([&] { Press(s.dialog, IDC_EDIT); },
                                         [](HWND e) { FillEditor(e, nullptr, L"ogg", nullptr); }, true);
    EXPECT_EQ(view.group, kThreeRows[1].group);
    EXPECT_EQ(view.exts, kThreeRows[1].exts);
    EXPECT_EQ(view.path, kThreeRows[1].path);
    std::vector<Row> expected = kThreeRows;
    expected[1].exts = L"ogg";
    EXPECT_EQ(s.Rows(), expected);
    EXPECT_EQ(SelectedRow(s.list), -1);

    SelectRow(s.list, 2);
    EditAndClose([&] { Press(s.dialog, IDC_EDIT); }, [](HWND e) { FillEditor(e, L"x", L"y", L"z"); }, false);
    EXPECT_EQ(s.Rows(), expected) << "Cancel keeps the row";
}

TEST(ConfigDialog, DeleteAnsweredNoKeepsEverythingYesRemovesExactlyThatRow) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    SelectRow(s.list, 1);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDNO), L"Delete the selected mapping?");
    EXPECT_EQ(s.Rows(), kThreeRows);
    EXPECT_EQ(SelectedRow(s.list), 1);

    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES), L"Delete the selected mapping?");
    EXPECT_EQ(s.Rows(), (std::vector<Row>{kThreeRows[0], kThreeRows[2]}));
    EXPECT_EQ(SelectedRow(s.list), -1);
}

TEST(ConfigDialog, DoubleClickEditsTheRowUnderTheMouseAndEmptySpaceNothing) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const EditorView view = EditAndClose(
        [&] {
            DoubleClick(s.list, RowCenter(s.list, 2));
            Flush();
        },
                                         [](HWND e) { FillEditor(e, L"films", nullptr, nullptr); }, true);
    EXPECT_EQ(view.group, L"clips");
    std::vector<Row> expected = kThreeRows;
    expected[2].group = L"films";
    EXPECT_EQ(s.Rows(), expected);
    EXPECT_EQ(SelectedRow(s.list), -1);

    RECT client = {};
    GetClientRect(s.list, &client);
    const POINT below = {40, client.bottom - 5};  // under the last row
    ASSERT_EQ(SendMessageW(s.list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_FALSE(DialogAppears(kEditorCaption, [&] {
        DoubleClick(s.list, below);
        Flush();
    })) << "the editor opened for empty space";
}

TEST(ConfigDialog, OkInstallsSavesAndNotifiesTheHost) {
    ConfigSession s(kThreeRows, L"--mute=yes", true, 0xFEEDBEEF);
    ASSERT_NE(s.dialog, nullptr);
    EditAndClose([&] { Press(s.dialog, IDC_ADD); },
                 [](HWND e) { FillEditor(e, L" ", L"xyz", L"C:\\players\\x.exe"); }, true);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L" --volume=50 ");
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));

    std::vector<Row> expected = kThreeRows;
    expected.push_back({L" ", L"xyz", L"C:\\players\\x.exe"});  // a blank group is a group
    const auto saves = s.Saves();
    ASSERT_EQ(saves.size(), 1u);
    ASSERT_EQ(saves[0].items.size(), 2u);
    EXPECT_EQ(saves[0].pluginName, L"Tessoravin");
    EXPECT_EQ(saves[0].items[0].key, L"mappings");
    EXPECT_EQ(saves[0].items[0].value, StoredText(expected));
    EXPECT_EQ(saves[0].items[1].key, L"mpvParams");
    EXPECT_EQ(saves[0].items[1].value, L" --volume=50 ");  // untrimmed

    Flush();
    ASSERT_EQ(Notifications().size(), 1u);
    EXPECT_EQ(Notifications()[0].wParam, 0u);
    EXPECT_EQ(Notifications()[0].lParam, static_cast<LPARAM>(0xFEEDBEEFu));  // widened without sign
    EXPECT_TRUE(LogContains(L"[ConfigDlgProc]   PostMessage DVPLUGINMSG_REINITIALIZE to 0x"));
    EXPECT_TRUE(LogContains(L", data=4276993775\r\n"));
    EXPECT_TRUE(LogContains(L"[ConfigDlgProc] ConfigDlgProc WM_NCDESTROY\r\n"));
}

TEST(ConfigDialog, OkWithoutNotificationWindowSavesButPostsNothing) {
    ConfigSession s(kThreeRows, L"--mute=yes", false);
    ASSERT_NE(s.dialog, nullptr);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L"");
    Press(s.dialog, IDOK);
    Flush();
    const auto saves = s.Saves();
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].items[0].value, StoredText(kThreeRows));
    EXPECT_EQ(saves[0].items[1].value, L"");  // a cleared field stores empty parameters
    EXPECT_TRUE(Notifications().empty());
    EXPECT_FALSE(LogContains(L"DVPLUGINMSG_REINITIALIZE"));
    EXPECT_FALSE(IsWindow(s.dialog));
}

TEST(ConfigDialog, FailedSaveShowsThePathThenStillNotifiesAndCloses) {
    ConfigSession s(kThreeRows, L"--mute=yes", true, 7);
    ASSERT_NE(s.dialog, nullptr);
    fakehost::SetSaveResult(0);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDOK); }, IDOK),
              std::wstring(L"Failed to save config:\n  ") + kConfigPath);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saves().size(), 1u);
    Flush();
    ASSERT_EQ(Notifications().size(), 1u);
    EXPECT_EQ(Notifications()[0].lParam, 7);
}

TEST(ConfigDialog, CancelSavesNothingPostsNothingAndEndsTheThreadsLoop) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    SelectRow(s.list, 0);
    AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L"--changed");
    Press(s.dialog, IDCANCEL);
    EXPECT_FALSE(IsWindow(s.dialog));

    MSG quit = {};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit message";
    EXPECT_EQ(quit.wParam, 0u);
    Flush();
    EXPECT_TRUE(s.Saves().empty());
    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(fakehost::Value(L"mappings"), StoredText(kThreeRows));
    EXPECT_TRUE(LogContains(L"[ConfigDlgProc] ConfigDlgProc WM_NCDESTROY\r\n"));
}

// --- the two refusals of texts the stored format cannot bring back ---

TEST(ConfigDialog, OkRefusesMappingsTooLongToLoadBack) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const std::wstring longExts(8200, L'x');
    EditAndClose([&] { Press(s.dialog, IDC_ADD); },
                 [&](HWND e) { FillEditor(e, nullptr, longExts.c_str(), nullptr); }, true);
    ASSERT_EQ(s.Rows().size(), 4u);

    const std::wstring text = AnswerBox([&] { Press(s.dialog, IDOK); }, IDOK);
    EXPECT_NE(text.find(L"extension mappings"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"8191"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"parameters"), std::wstring::npos) << text;
    EXPECT_TRUE(IsWindow(s.dialog));
    Flush();
    EXPECT_TRUE(s.Saves().empty());
    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(fakehost::Value(L"mappings"), StoredText(kThreeRows));

    // Once short enough again, OK goes through.
    SelectRow(s.list, 3);
    AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES);
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saves().size(), 1u);
}

TEST(ConfigDialog, OkRefusesParametersTooLongToLoadBack) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, std::wstring(1024, L'p').c_str());
    const std::wstring text = AnswerBox([&] { Press(s.dialog, IDOK); }, IDOK);
    EXPECT_NE(text.find(L"mpv extra parameters"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"1023"), std::wstring::npos) << text;
    EXPECT_TRUE(IsWindow(s.dialog));
    EXPECT_TRUE(s.Saves().empty());

    SetDlgItemTextW(s.dialog, IDC_PARAMS, std::wstring(1023, L'p').c_str());
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));
    const auto saves = s.Saves();
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].items[1].value.size(), 1023u);
}

}  // namespace
