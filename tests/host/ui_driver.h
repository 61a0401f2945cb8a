#pragma once
// Drives the configuration dialog of the real DLL as a user would, through window messages.
// The dialog is modeless and lives on the test thread, so the test pumps; the mapping editor,
// message boxes and the file-open dialog are modal, so a helper thread drives them while the
// test thread sits in their loops.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "fake_host.h"
#include "host/host.h"
#include "plugin/plugin_dll.h"
#include "resources/resource.h"
#include "test_support.h"

namespace uitest {

using namespace std::chrono_literals;
using testsupport::GuiInfo;
using testsupport::HoldForScreenshotIfAsked;
using testsupport::WithDialog;

inline constexpr wchar_t kEditorCaption[] = L"Edit Mapping";
inline constexpr wchar_t kBoxCaption[] = L"Tessoravin";
// Where Directory Opus keeps a user's configuration, in the user's own profile, as its dialogs
// show it (and the README's pictures of them).
inline constexpr wchar_t kConfigFolder[] =
    L"C:\\Users\\Anna\\AppData\\Roaming\\GPSoftware\\Directory Opus\\ConfigFiles";
inline constexpr wchar_t kConfigPath[] =
    L"C:\\Users\\Anna\\AppData\\Roaming\\GPSoftware\\Directory Opus\\ConfigFiles\\Tessoravin.oxc";
inline constexpr wchar_t kDefaultPlayer[] = L"/home\\viewers\\mpv\\mpv.exe";

struct Row {
    std::wstring group, exts, path;
    bool operator==(const Row&) const = default;
};

inline const std::vector<Row> kThreeRows = {
    {L"video", L"mkv;mp4", L"\"C:\\Program Files\\mpv\\mpv.exe\""},
    {L"audio", L"mp3; .FLAC", L"%MPV_HOME%\\mpv.exe"},
    {L"clips", L"webm", kDefaultPlayer},
};

inline std::wstring StoredText(const std::vector<Row>& rows) {
    std::wstring text;
    for (const Row& r : rows) text += (text.empty() ? L"" : L"\n") + r.group + L'\t' + r.exts + L'\t' + r.path;
    return text;
}

inline std::vector<Row> ListRows(HWND list) {
    const auto text = [list](int row, int column) {
        wchar_t buffer[4096] = {};
        ListView_GetItemText(list, row, column, buffer, 4096);
        return std::wstring(buffer);
    };
    std::vector<Row> rows;
    for (int i = 0; i < ListView_GetItemCount(list); ++i) rows.push_back({text(i, 0), text(i, 1), text(i, 2)});
    return rows;
}

inline int SelectedRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }
inline void SelectRow(HWND list, int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

inline void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
inline void PostPress(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
inline std::wstring ControlText(HWND dialog, int id) { return testsupport::WindowText(GetDlgItem(dialog, id)); }

// Delivers everything posted so far, e.g. the notification.
inline void Flush() { testsupport::PumpMessages(); }

// --- the helper-thread side: it watches and answers the windows of the test thread ---

// Polls find until it yields a window or ten seconds have passed (the helper has no windows
// of its own, so its pumping is harmless).
inline HWND Await(const std::function<HWND()>& find) {
    HWND found = nullptr;
    testsupport::WaitUntil([&] { return (found = find()) != nullptr; }, 10s);
    return found;
}
inline void AwaitGone(HWND window) {
    Await([&] { return IsWindowVisible(window) ? nullptr : window; });
}

// The dialog shown over owner (the file-open dialog's caption depends on the system's language).
// Found among the top-level dialogs, not as the owner thread's active window: while a test
// program beside holds the foreground, Wine 10 may leave the new dialog inactive.
inline HWND AwaitOwnedDialog(HWND owner) {
    return Await([&]() -> HWND {
        for (HWND dialog = nullptr; (dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr));)
            if (GetWindow(dialog, GW_OWNER) == owner && IsWindowVisible(dialog)) return dialog;
        return nullptr;
    });
}

inline void Cancel(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }

// Sets the editor's three fields (null leaves one alone).
inline void FillEditor(HWND editor, const wchar_t* group, const wchar_t* exts, const wchar_t* path) {
    if (group) SetDlgItemTextW(editor, IDC_GROUP, group);
    if (exts) SetDlgItemTextW(editor, IDC_EXTS, exts);
    if (path) SetDlgItemTextW(editor, IDC_EXE_PATH, path);
}

// Opens the editor with action, lets edit() change it, then presses OK (ok) or Cancel.
// Returns the fields the editor showed when it opened (all empty if it never did).
inline Row EditAndClose(const std::function<void()>& action, const std::function<void(HWND)>& edit, bool ok) {
    Row shown;
    WithDialog(kEditorCaption, action, [&](HWND editor) {
        shown = {ControlText(editor, IDC_GROUP), ControlText(editor, IDC_EXTS), ControlText(editor, IDC_EXE_PATH)};
        if (edit) edit(editor);
        PostPress(editor, ok ? IDOK : IDCANCEL);
    });
    return shown;
}

// Closes a message box the action shows with the button, and returns its text ("" if none).
inline std::wstring AnswerBox(const std::function<void()>& action, int button) {
    std::wstring text;
    WithDialog(kBoxCaption, action, [&](HWND box) {
        text = testsupport::MessageBoxText(box);
        PostMessageW(box, WM_COMMAND, button, 0);
    });
    return text;
}

// The plug-in loaded by the host, a host window, and the configuration dialog open on it.
struct ConfigSession {
    // What the host's window has received as DVPLUGINMSG_REINITIALIZE; Notified()
    // delivers what is still waiting first.
    static inline std::vector<std::tuple<HWND, WPARAM, LPARAM>> notifications;
    static auto Notified() {
        Flush();
        return notifications;
    }
    static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == DVPLUGINMSG_REINITIALIZE) notifications.emplace_back(hwnd, wParam, lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND host = nullptr, dialog = nullptr, list = nullptr;

    // Stores rows (and params) for the dialog to load; no rows leave the store empty, so the
    // defaults apply.
    explicit ConfigSession(const std::vector<Row>& rows = kThreeRows, const std::wstring& params = L"--mute=yes",
                           bool notify = true, DWORD notifyData = 0xFEEDBEEF) {
        fakehost::Reset();
        fakehost::SetConfigFolder(kConfigFolder);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TessoravinTestHost";
        RegisterClassW(&wc);
        host = CreateWindowExW(0, wc.lpszClassName, L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               wc.hInstance, nullptr);
        if (!rows.empty()) {
            fakehost::SetValue(L"mappings", StoredText(rows));
            fakehost::SetValue(L"mpvParams", params);
        }
        if (const PluginDll dll = PluginDll::Load(); dll.Configure)
            dialog = dll.Configure(host, notify ? host : nullptr, notifyData);
        list = GetDlgItem(dialog, IDC_MAPPING_LIST);
    }
    ~ConfigSession() {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        DestroyWindow(host);
    }
    ConfigSession(const ConfigSession&) = delete;
    ConfigSession& operator=(const ConfigSession&) = delete;

    std::vector<Row> Rows() const { return ListRows(list); }
    // Every save the store received: the plug-in's name, then each item as key=value.
    std::vector<std::wstring> Saved() const {
        std::vector<std::wstring> seen;
        for (const auto& call : fakehost::Calls()) {
            if (call.mode != 1) continue;
            seen.push_back(L"save " + call.pluginName);
            for (const auto& item : call.items) seen.push_back(item.key + L"=" + item.value);
        }
        return seen;
    }
};

}  // namespace uitest
