// The configuration dialog of the real DLL, opened through DVP_Configure inside the fake host.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui_driver.h"

using namespace testsupport;
using namespace uitest;

namespace {

using Posted = std::vector<std::tuple<HWND, WPARAM, LPARAM>>;
using Saves = std::vector<std::wstring>;

TEST(ConfigDialog, OpensWithEnglishTextsAndTheStoredConfiguration) {
    ConfigSession s(kThreeRows, L"  --mute=yes ");
    ASSERT_NE(s.dialog, nullptr);
    EXPECT_EQ(GetWindow(s.dialog, GW_OWNER), s.host);
    EXPECT_TRUE(IsWindowVisible(s.dialog));
    EXPECT_EQ(WindowText(s.dialog), L"Tessoravin Configuration");
    const std::pair<int, const wchar_t*> texts[] = {
        {IDC_MAPPINGS_LABEL, L"Extension Mappings:"},
        {IDC_ADD, L"&Add"},
        {IDC_EDIT, L"&Edit"},
        {IDC_DELETE, L"&Delete"},
        {IDC_PARAMS_LABEL, L"mpv Extra Params:"},
        {IDOK, L"OK"},
        {IDCANCEL, L"Cancel"},
        {IDC_PARAMS, L"  --mute=yes "},
        {IDC_CONFIG_PATH, kConfigPath},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(ControlText(s.dialog, id), text) << "control " << id;

    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(s.list)), 3);
    const std::pair<const wchar_t*, int> columns[] = {{L"Group", 80}, {L"Extensions", 180}, {L"mpv.exe Path", 320}};
    for (int i = 0; i < 3; ++i) {
        wchar_t title[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(ListView_GetColumn(s.list, i, &column));
        EXPECT_STREQ(title, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second) << columns[i].first;
    }
    // Grid lines, full-row select, double buffer.
    EXPECT_EQ(ListView_GetExtendedListViewStyle(s.list) & 0x00010021u, 0x00010021u);
    EXPECT_EQ(s.Rows(), kThreeRows);  // in stored order, paths unresolved
    EXPECT_EQ(SelectedRow(s.list), -1);
    EXPECT_EQ(GetFocus(), s.list);
    EXPECT_NE(SendMessageW(s.dialog, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(SendMessageW(s.dialog, WM_GETICON, ICON_BIG, 0), 0);
    for (const wchar_t* line :
         {L"[DVP_Configure] DVP_Configure ENTER\r\n", L"[CreateConfigDialog] CreateConfigDialog enter\r\n",
          L"[ConfigDlgProc] ConfigDlgProc WM_INITDIALOG OK\r\n",
          L"[CreateConfigDialog]   CreateDialogParamW OK, hwnd=0x", L"[DVP_Configure] DVP_Configure return hwnd=0x"})
        EXPECT_TRUE(LogContains(line)) << testing::PrintToString(std::wstring(line));
}

TEST(ConfigDialog, OpensOnTheDefaultsWhenNothingIsStored) {
    ConfigSession s(std::vector<Row>{});
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
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const DWORD testThread = GetCurrentThreadId();
    bool groupFocused = false;
    DWORD selStart = 1, selEnd = 0;
    // EditAndClose finds the editor by its caption, "Edit Mapping".
    const Row shown = EditAndClose(
        [&] { Press(s.dialog, IDC_ADD); },
        [&](HWND editor) {
            HWND group = GetDlgItem(editor, IDC_GROUP);
            // The focus may still be on its way while the new window is being activated.
            groupFocused = Await([&] { return GuiInfo(testThread).hwndFocus == group ? group : nullptr; }) != nullptr;
            SendMessageW(group, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
            HoldForScreenshotIfAsked(editor);
        },
        false);
    EXPECT_EQ(shown, (Row{L"video", L"mkv;mp4", kDefaultPlayer}));
    EXPECT_TRUE(groupFocused);
    EXPECT_EQ(std::make_pair(selStart, selEnd), std::make_pair(DWORD{0}, DWORD{5}));  // all of "video"
    EXPECT_EQ(s.Rows(), kThreeRows);

    EditAndClose([&] { Press(s.dialog, IDC_ADD); }, [](HWND e) { FillEditor(e, L" docs", L"pdf", L"D:\\v.exe"); },
                 true);
    std::vector<Row> expected = kThreeRows;
    expected.push_back({L" docs", L"pdf", L"D:\\v.exe"});  // held as typed; the load trims it
    EXPECT_EQ(s.Rows(), expected);
    EXPECT_EQ(SelectedRow(s.list), -1);
    EXPECT_TRUE(s.Saved().empty()) << "nothing is saved before OK";
}

TEST(ConfigDialog, EditDeleteAndDoubleClickActOnTheSelectedRowOnly) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_EDIT); }, IDOK), L"Please select a mapping first.");
    EXPECT_FALSE(WithDialog(
        kBoxCaption, [&] { Press(s.dialog, IDC_DELETE); }, Cancel));
    EXPECT_EQ(s.Rows(), kThreeRows);

    SelectRow(s.list, 1);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDNO), L"Delete the selected mapping?");
    EXPECT_EQ(s.Rows(), kThreeRows);
    EXPECT_EQ(SelectedRow(s.list), 1);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES), L"Delete the selected mapping?");
    std::vector<Row> rows = {kThreeRows[0], kThreeRows[2]};
    EXPECT_EQ(s.Rows(), rows);
    EXPECT_EQ(SelectedRow(s.list), -1);  // every refill drops the selection

    SelectRow(s.list, 1);
    const auto edit = [&] { Press(s.dialog, IDC_EDIT); };
    EXPECT_EQ(EditAndClose(
                  edit, [](HWND e) { FillEditor(e, nullptr, L"ogg", nullptr); }, true),
              kThreeRows[2]);
    rows[1].exts = L"ogg";
    EXPECT_EQ(s.Rows(), rows);
    EXPECT_EQ(SelectedRow(s.list), -1);
    SelectRow(s.list, 0);
    EXPECT_EQ(EditAndClose(
                  edit, [](HWND e) { FillEditor(e, L"x", L"y", L"z"); }, false),
              rows[0]);
    EXPECT_EQ(s.Rows(), rows) << "Cancel keeps the row";

    // Left clicks at a point of the list's client area, as the mouse produces them.
    const auto clicks = [&](POINT at, bool twice) {
        return [&s, at, twice] {
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                if (twice || message != WM_LBUTTONDBLCLK)
                    PostMessageW(s.list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(at.x, at.y));
            Flush();
        };
    };
    const auto rowCenter = [&](int row) {
        RECT r = {};
        ListView_GetItemRect(s.list, row, &r, LVIR_BOUNDS);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    EXPECT_FALSE(WithDialog(kEditorCaption, clicks(rowCenter(0), false), Cancel)) << "a single click edited";
    // Row 0 is selected; a double-click edits the row under the mouse.
    EXPECT_EQ(EditAndClose(
                  clicks(rowCenter(1), true), [](HWND e) { FillEditor(e, L"films", nullptr, nullptr); }, true),
              rows[1]);
    rows[1].group = L"films";
    EXPECT_EQ(s.Rows(), rows);
    RECT client = {};
    GetClientRect(s.list, &client);
    EXPECT_FALSE(WithDialog(kEditorCaption, clicks({40, client.bottom - 5}, true), Cancel))
        << "the editor opened for the empty space under the rows";
}

TEST(ConfigDialog, OkSavesAndNotifiesTheHost) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    SelectRow(s.list, 0);
    AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L" --volume=50 ");
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saved(), (Saves{L"save Tessoravin", L"mappings=" + StoredText({kThreeRows[1], kThreeRows[2]}),
                                L"mpvParams= --volume=50 "}));                         // untrimmed
    EXPECT_EQ(s.Notified(), (Posted{{s.host, 0, static_cast<LPARAM>(0xFEEDBEEFu)}}));  // widened without sign
    for (const wchar_t* line : {L"[ConfigDlgProc]   PostMessage DVPLUGINMSG_REINITIALIZE to 0x",
                                L", data=4276993775\r\n", L"[ConfigDlgProc] ConfigDlgProc WM_NCDESTROY\r\n"})
        EXPECT_TRUE(LogContains(line)) << testing::PrintToString(std::wstring(line));
}

TEST(ConfigDialog, OkWithoutNotificationWindowSavesButPostsNothing) {
    ConfigSession s(kThreeRows, L"--mute=yes", false);
    ASSERT_NE(s.dialog, nullptr);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L"");
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saved(), (Saves{L"save Tessoravin", L"mappings=" + StoredText(kThreeRows), L"mpvParams="}));
    EXPECT_TRUE(s.Notified().empty());
    EXPECT_FALSE(LogContains(L"DVPLUGINMSG_REINITIALIZE"));
}

TEST(ConfigDialog, FailedSaveShowsThePathThenStillNotifiesAndCloses) {
    ConfigSession s(kThreeRows, L"--mute=yes", true, 7);
    ASSERT_NE(s.dialog, nullptr);
    fakehost::SetSaveResult(0);
    EXPECT_EQ(AnswerBox([&] { Press(s.dialog, IDOK); }, IDOK),
              std::wstring(L"Failed to save config:\n  ") + kConfigPath);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saved().size(), 3u);
    EXPECT_EQ(s.Notified(), (Posted{{s.host, 0, 7}}));
}

// The host identifies files on its lister threads while the user confirms the dialog on
// another: each OK must store exactly the parameters typed, whatever the reloads do meanwhile.
TEST(ConfigDialog, EveryOkIsStoredWhileAnotherThreadIdentifiesFiles) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const PluginDll dll = PluginDll::Load();
    ASSERT_NE(dll.IdentifyFileW, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> identified{0};
    std::thread lister([&] {
        std::vector<unsigned char> record(104, 0);
        while (!stop) identified += dll.IdentifyFileW(nullptr, L"C:\\clips\\a.webm", record.data(), nullptr);
    });
    constexpr int kOks = 25;
    for (int i = 0; i < kOks; ++i) {
        HWND dialog = i == 0 ? s.dialog : dll.Configure(s.host, s.host, 0);
        EXPECT_NE(dialog, nullptr) << i;
        if (!dialog) break;  // the lister thread still has to be stopped
        const std::wstring params = L"--title=edit-" + std::to_wstring(i);
        SetDlgItemTextW(dialog, IDC_PARAMS, params.c_str());
        Press(dialog, IDOK);
        EXPECT_FALSE(IsWindow(dialog)) << i;
        EXPECT_EQ(fakehost::Value(L"mpvParams"), params) << "OK " << i << " of " << kOks;
        MSG quit;  // each closed dialog ends the thread's loop; the next one needs it running
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    stop = true;
    lister.join();
    EXPECT_GT(identified.load(), 0) << "the lister thread never got through";
}

TEST(ConfigDialog, CancelSavesNothingPostsNothingAndEndsTheThreadsLoop) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    SelectRow(s.list, 0);
    AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES);
    SetDlgItemTextW(s.dialog, IDC_PARAMS, L"--changed");
    Press(s.dialog, IDCANCEL);
    EXPECT_FALSE(IsWindow(s.dialog));
    MSG quit = {};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no quit message";
    EXPECT_EQ(quit.wParam, 0u);
    EXPECT_TRUE(s.Saved().empty());
    EXPECT_TRUE(s.Notified().empty());
}

// What the stored format cannot bring back whole is refused, and nothing changes.
TEST(ConfigDialog, OkRefusesTextsTooLongToLoadBack) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const auto expectRefusal = [&](const wchar_t* names, const wchar_t* limit, const wchar_t* notNamed) {
        const std::wstring text = AnswerBox([&] { Press(s.dialog, IDOK); }, IDOK);
        const auto has = [&](const wchar_t* part) { return text.find(part) != std::wstring::npos; };
        EXPECT_TRUE(has(names) && has(limit) && !has(notNamed)) << testing::PrintToString(text);
        EXPECT_TRUE(IsWindow(s.dialog));
        EXPECT_TRUE(s.Saved().empty());
        EXPECT_TRUE(s.Notified().empty());
    };
    SetDlgItemTextW(s.dialog, IDC_PARAMS, std::wstring(1024, L'p').c_str());
    expectRefusal(L"mpv extra parameters", L"1023", L"extension mappings");

    const std::wstring longExts(8200, L'x');
    SetDlgItemTextW(s.dialog, IDC_PARAMS, std::wstring(1023, L'p').c_str());
    EditAndClose([&] { Press(s.dialog, IDC_ADD); }, [&](HWND e) { FillEditor(e, nullptr, longExts.c_str(), nullptr); },
                 true);
    ASSERT_EQ(s.Rows().size(), 4u);
    expectRefusal(L"extension mappings", L"8191", L"parameters");

    // Once short enough again, OK goes through.
    SelectRow(s.list, 3);
    AnswerBox([&] { Press(s.dialog, IDC_DELETE); }, IDYES);
    Press(s.dialog, IDOK);
    EXPECT_FALSE(IsWindow(s.dialog));
    EXPECT_EQ(s.Saved(), (Saves{L"save Tessoravin", L"mappings=" + StoredText(kThreeRows),
                                L"mpvParams=" + std::wstring(1023, L'p')}));
}

}  // namespace
