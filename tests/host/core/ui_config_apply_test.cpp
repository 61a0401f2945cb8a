// What the configuration dialog does to the live configuration: Cancel leaves it alone, OK
// installs the copy at once (even when the host fails to store it). The dialog runs from this
// program's own copy of the templates, so the process-wide configuration can be inspected.
#include <gtest/gtest.h>

#include "common/config_lock.h"
#include "config/plugin_config.h"
#include "host/host.h"
#include "ui/config_dialog.h"
#include "ui_driver.h"

using namespace uitest;

namespace {

HWND OpenDialog() {
    fakehost::SetValue(L"mappings", StoredText(kThreeRows));
    fakehost::SetValue(L"mpvParams", L"--mute=yes");
    LoadConfigAtEntry();
    return CreateConfigDialog(nullptr, nullptr, 0);
}

TEST(ConfigDialogLive, CancelLeavesTheLiveConfigurationAloneOkInstallsItAtOnce) {
    moduleInstance = GetModuleHandleW(nullptr);  // the templates are linked into this program
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    fakehost::SetConfigFolder(kConfigFolder);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    const ConfigSnapshot before = CurrentConfigSnapshot();
    SelectRow(GetDlgItem(dialog, IDC_MAPPING_LIST), 0);
    AnswerBox([&] { Press(dialog, IDC_DELETE); }, IDYES);
    EditAndClose([&] { Press(dialog, IDC_ADD); }, nullptr, true);
    SetDlgItemTextW(dialog, IDC_PARAMS, L"--changed");
    Press(dialog, IDCANCEL);
    EXPECT_FALSE(IsWindow(dialog));
    const ConfigSnapshot after = CurrentConfigSnapshot();
    EXPECT_EQ(after.mappings, before.mappings);
    EXPECT_EQ(after.mpvParams, before.mpvParams);
    EXPECT_EQ(CurrentViewerForFile(L"a.webm"), fakehost::ProgramFolder() + L"\\viewers\\mpv\\mpv.exe");
    MSG quit;  // the closed dialog ended the thread's loop; the next one needs it running
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(CurrentViewerForFile(L"a.xyz"), L"");
    EditAndClose([&] { Press(dialog, IDC_ADD); },
                 [](HWND e) { FillEditor(e, L"Games", L"XYZ", L"\"C:\\emu\\run.exe\""); }, true);
    SetDlgItemTextW(dialog, IDC_PARAMS, L"--fs");
    fakehost::SetSaveResult(0);
    EXPECT_EQ(AnswerBox([&] { Press(dialog, IDOK); }, IDOK), std::wstring(L"Failed to save config:\n  ") + kConfigPath);
    EXPECT_FALSE(IsWindow(dialog));
    const ConfigSnapshot live = CurrentConfigSnapshot();
    ASSERT_EQ(live.mappings.size(), 4u);
    EXPECT_EQ(live.mappings[3], (MappingEntry{L"Games", L"XYZ", L"\"C:\\emu\\run.exe\""}));
    EXPECT_EQ(live.mpvParams, L"--fs");
    EXPECT_EQ(CurrentPlayerParams(), L"--fs");
    EXPECT_EQ(CurrentViewerForFile(L"a.xyz"), L"C:\\emu\\run.exe");  // indexes rebuilt
    EXPECT_NE(CurrentHandleExts().find(L".xyz"), std::wstring::npos);
    EXPECT_EQ(fakehost::Value(L"mappings"), StoredText(kThreeRows)) << "the failed save stored nothing";
}

}  // namespace
