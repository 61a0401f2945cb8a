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
#include <vector>

#include "fake_host.h"
#include "plugin/plugin_dll.h"
#include "resources/resource.h"
#include "test_support.h"

namespace uitest {

using namespace std::chrono_literals;

inline constexpr UINT kReinitialize = 0x8F1F;  // DVPLUGINMSG_REINITIALIZE
inline constexpr wchar_t kEditorCaption[] = L"Edit Mapping";
inline constexpr wchar_t kBoxCaption[] = L"Tessoravin";
inline constexpr wchar_t kConfigFolder[] = L"C:\\DopusConfig";
inline constexpr wchar_t kConfigPath[] = L"C:\\DopusConfig\\Tessoravin.oxc";
inline constexpr wchar_t kDefaultPlayer[] = L"/home\\viewers\\mpv\\mpv.exe";
inline constexpr std::chrono::milliseconds kDialogWait = 10s;

struct Row {
    std::wstring group, exts, path;
    bool operator==(const Row&) const = default;
};

inline std::wstring StoredText(const std::vector<Row>& rows) {
    std::wstring text;
    for (const Row& r : rows) {
        if (!text.empty()) text += L'\n';
        text += r.group + L'\t' + r.exts + L'\t' + r.path;
    }
    return text;
}

inline std::wstring ItemText(HWND list, int row, int column) {
    wchar_t buffer[4096] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 4096;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

inline std::vector<Row> ListRows(HWND list) {
    std::vector<Row> rows;
    const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) rows.push_back({ItemText(list, i, 0), ItemText(list, i, 1), ItemText(list, i, 2)});
    return rows;
}

inline int SelectedRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

inline void SelectRow(HWND list, int row) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// A left double-click at a point of the list's client area, as the mouse produces it.
inline void DoubleClick(HWND list, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(list, WM_LBUTTONUP, 0, where);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    PostMessageW(list, WM_LBUTTONUP, 0, where);
}

inline POINT RowCenter(HWND list, int row) {
    RECT r = {};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
inline void PostPress(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

inline std::wstring ControlText(HWND dialog, int id) { return testsupport::WindowText(GetDlgItem(dialog, id)); }

// --- helper-thread side: polling without pumping, for windows owned by the test thread ---

// Polls find until it yields a window or the wait runs out.
inline HWND Await(const std::function<HWND()>& find) {
    const auto deadline = std::chrono::steady_clock::now() + kDialogWait;
    for (HWND found = find(); std::chrono::steady_clock::now() < deadline; found = find()) {
        if (found) return found;
        Sleep(10);
    }
    return nullptr;
}

inline HWND AwaitDialog(const std::wstring& caption) {
    return Await([&] { return testsupport::FindDialog(caption); });
}

inline bool AwaitGone(HWND window) {
    return Await([&] { return IsWindowVisible(window) ? nullptr : window; }) != nullptr;
}

// This process's visible dialogs (read without sending them any message).
inline std::vector<HWND> VisibleDialogs() {
    std::vector<HWND> dialogs;
    EnumWindows(
        [](HWND hwnd, LPARAM found) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(hwnd, cls, 16);
            if (pid == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

// The file-open dialog's caption depends on the system's language; its owner does not.
inline HWND AwaitOwnedDialog(HWND owner) {
    return Await([&]() -> HWND {
        for (HWND dialog : VisibleDialogs())
            if (GetWindow(dialog, GW_OWNER) == owner) return dialog;
        return nullptr;
    });
}

// Cancels whatever modal dialog is on top (the configuration dialog is not modal).
inline void CancelModalDialogs() {
    for (HWND dialog : VisibleDialogs())
        if (IsWindowEnabled(dialog) && !GetDlgItem(dialog, IDC_MAPPING_LIST))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Waits for a helper thread while still answering the messages it sends to this thread's
// windows (reading a caption is one); a plain join could deadlock with it.
inline void JoinAnswering(std::thread& helper, const std::atomic<bool>& helperDone) {
    while (!helperDone) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, 0);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    helper.join();
}

// Runs action on this thread (it enters a modal loop) while script drives from a helper
// thread; the script is told when the action has returned. Should the script leave a modal
// window open, it is cancelled after a while, so that the test fails instead of hanging.
inline void RunScripted(const std::function<void()>& action,
                        const std::function<void(const std::atomic<bool>& actionDone)>& script) {
    std::atomic<bool> actionDone{false};
    std::atomic<bool> helperDone{false};
    std::thread helper([&] {
        script(actionDone);
        const auto grace = std::chrono::steady_clock::now() + 15s;
        while (!actionDone) {
            if (std::chrono::steady_clock::now() > grace) CancelModalDialogs();
            Sleep(20);
        }
        helperDone = true;
    });
    action();
    actionDone = true;
    JoinAnswering(helper, helperDone);
}

inline void RunScripted(const std::function<void()>& action, const std::function<void()>& script) {
    RunScripted(action, [&](const std::atomic<bool>&) { script(); });
}

// Runs action and tells whether a dialog with the caption showed up meanwhile (it is closed).
inline bool DialogAppears(const std::wstring& caption, const std::function<void()>& action) {
    bool appeared = false;
    RunScripted(action, [&](const std::atomic<bool>& actionDone) {
        while (!actionDone) {
            if (HWND dialog = testsupport::FindDialog(caption)) {
                appeared = true;
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            Sleep(10);
        }
    });
    return appeared;
}

// What the mapping editor showed when it opened.
struct EditorView {
    HWND editor = nullptr;
    std::wstring caption, group, exts, path;
    bool groupFocused = false;
    DWORD selStart = 0, selEnd = 0;
};

inline EditorView ReadEditor(HWND editor, DWORD testThread) {
    EditorView view;
    view.editor = editor;
    if (!editor) return view;
    view.caption = testsupport::WindowText(editor);
    view.group = ControlText(editor, IDC_GROUP);
    view.exts = ControlText(editor, IDC_EXTS);
    view.path = ControlText(editor, IDC_EXE_PATH);
    // The focus may still be on its way while the new window is being activated.
    HWND group = GetDlgItem(editor, IDC_GROUP);
    view.groupFocused = Await([&]() -> HWND {
                            GUITHREADINFO info = {};
                            info.cbSize = sizeof(info);
                            GetGUIThreadInfo(testThread, &info);
                            return info.hwndFocus == group ? group : nullptr;
                        }) != nullptr;
    SendMessageW(GetDlgItem(editor, IDC_GROUP), EM_GETSEL, reinterpret_cast<WPARAM>(&view.selStart),
                 reinterpret_cast<LPARAM>(&view.selEnd));
    return view;
}

// Sets the editor's three fields (null leaves one alone).
inline void FillEditor(HWND editor, const wchar_t* group, const wchar_t* exts, const wchar_t* path) {
    if (group) SetDlgItemTextW(editor, IDC_GROUP, group);
    if (exts) SetDlgItemTextW(editor, IDC_EXTS, exts);
    if (path) SetDlgItemTextW(editor, IDC_EXE_PATH, path);
}

// Opens the editor with action, lets edit() change it, then presses OK (ok) or Cancel.
inline EditorView EditAndClose(const std::function<void()>& action, const std::function<void(HWND)>& edit, bool ok) {
    EditorView view;
    const DWORD testThread = GetCurrentThreadId();
    RunScripted(action, [&] {
        HWND editor = AwaitDialog(kEditorCaption);
        view = ReadEditor(editor, testThread);
        if (!editor) return;
        if (edit) edit(editor);
        PostPress(editor, ok ? IDOK : IDCANCEL);
    });
    return view;
}

// Closes a message box the action shows with the button, and returns its text ("" if none).
inline std::wstring AnswerBox(const std::function<void()>& action, int button) {
    std::wstring text;
    RunScripted(action, [&] {
        if (HWND box = AwaitDialog(kBoxCaption)) {
            text = testsupport::MessageBoxText(box);
            PostMessageW(box, WM_COMMAND, button, 0);
        }
    });
    return text;
}

// scripts/ui-screenshots.sh names a file in TESSORAVIN_SCREENSHOT_READY: once the window has
// painted, its screen rectangle goes there as a crop geometry ("WxH+X+Y"), and the window stays
// up while the picture is taken. Without the variable this does nothing.
inline void HoldForScreenshotIfAsked(HWND window) {
    wchar_t ready[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TESSORAVIN_SCREENSHOT_READY", ready, MAX_PATH)) return;
    testsupport::WaitUntil([] { return false; }, 1000ms);
    RECT r = {};
    GetWindowRect(window, &r);
    const std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                                 std::to_string(r.left) + "+" + std::to_string(r.top);
    // Written aside and renamed, so the script never reads half a line.
    const std::wstring partial = std::wstring(ready) + L".partial";
    testsupport::WriteFileBytes(partial, geometry);
    MoveFileExW(partial.c_str(), ready, MOVEFILE_REPLACE_EXISTING);
    testsupport::WaitUntil([] { return false; }, 4000ms);
}

// --- the host side ---

// The host's window that the dialog notifies; it records what it receives.
struct Notification {
    WPARAM wParam;
    LPARAM lParam;
};
inline std::vector<Notification>& Notifications() {
    static std::vector<Notification> seen;
    return seen;
}
inline LRESULT CALLBACK HostWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kReinitialize) Notifications().push_back({wParam, lParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
inline HWND CreateHostWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TessoravinTestHost";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// Delivers everything posted so far, e.g. the notification.
inline void Flush() { testsupport::PumpMessages(); }

// The plug-in loaded by the host, a host window, and the configuration dialog open on it.
struct ConfigSession {
    PluginDll dll;
    HWND host = nullptr;
    HWND dialog = nullptr;
    HWND list = nullptr;

    // Stores rows (and params) for the dialog to load; an empty list leaves the store empty,
    // so the defaults apply.
    explicit ConfigSession(const std::vector<Row>& rows = {}, const std::wstring& params = L"--mute=yes",
                           bool notify = true, DWORD notifyData = 0xFEEDBEEF) {
        fakehost::Reset();
        fakehost::SetConfigFolder(kConfigFolder);
        if (!rows.empty()) {
            fakehost::SetValue(L"mappings", StoredText(rows));
            fakehost::SetValue(L"mpvParams", params);
        }
        Notifications().clear();
        dll = PluginDll::Load();
        host = CreateHostWindow();
        if (dll.Configure) dialog = dll.Configure(host, notify ? host : nullptr, notifyData);
        list = GetDlgItem(dialog, IDC_MAPPING_LIST);
    }
    ~ConfigSession() {
        if (IsWindow(dialog)) DestroyWindow(dialog);
        DestroyWindow(host);
    }
    ConfigSession(const ConfigSession&) = delete;
    ConfigSession& operator=(const ConfigSession&) = delete;

    std::vector<Row> Rows() const { return ListRows(list); }
    // The save calls the store has received.
    std::vector<fakehost::SeenCall> Saves() const {
        std::vector<fakehost::SeenCall> saves;
        for (const auto& call : fakehost::Calls())
            if (call.mode == 1) saves.push_back(call);
        return saves;
    }
};

inline const std::vector<Row> kThreeRows = {
    {L"video", L"mkv;mp4", L"\"C:\\Program Files\\mpv\\mpv.exe\""},
    {L"audio", L"mp3; .FLAC", L"%MPV_HOME%\\mpv.exe"},
    {L"clips", L"webm", kDefaultPlayer},
};

}  // namespace uitest
