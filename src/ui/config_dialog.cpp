#include "ui/config_dialog.h"

#include <commctrl.h>

#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/window_data.h"
#include "config/plugin_config.h"
#include "host/host.h"
#include "log/log.h"
#include "resources/resource.h"
#include "ui/dialog_rules.h"
#include "ui/dialog_support.h"
#include "ui/mapping_editor.h"

namespace {

constexpr wchar_t kCreateTag[] = L"[CreateConfigDialog] ";
constexpr wchar_t kDlgProcTag[] = L"[ConfigDlgProc] ";

struct ConfigDialogState {
    std::vector<MappingEntry> editMappings;
    std::wstring editParams;
    HWND notifyWnd = nullptr;
    DWORD notifyData = 0;
    // Client size right after initialisation; 0 until then, and no layout happens before.
    int initWidth = 0;
    int initHeight = 0;
    // Where the template placed the controls of kLayoutControls, in client coordinates.
    RECT ctrlRects[kLayoutControlCount] = {};
};

constexpr DWORD kListExStyles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;

struct ColumnLayout {
    const wchar_t* title;
    int width;
};
constexpr ColumnLayout kColumns[] = {{L"Group", 80}, {L"Extensions", 180}, {L"mpv.exe Path", 320}};

HWND MappingList(HWND dialog) { return GetDlgItem(dialog, IDC_MAPPING_LIST); }

void SetupMappingList(HWND list) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExStyles);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void SetSubItemText(HWND list, int row, int subItem, const std::wstring& text) {
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

// Rows show the texts exactly as stored, unsorted; every refill drops the selection.
void FillMappingList(HWND list, const std::vector<MappingEntry>& mappings) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const MappingEntry& mapping : mappings) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(mapping.group.c_str());
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetSubItemText(list, row, 1, mapping.exts);
        SetSubItemText(list, row, 2, mapping.exePath);
        ++row;
    }
}

// The selected row as an index into editMappings, or -1.
int SelectedMapping(HWND dialog, const ConfigDialogState& state) {
    const auto row = static_cast<int>(
        SendMessageW(MappingList(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
    if (row < 0 || static_cast<size_t>(row) >= state.editMappings.size()) return -1;
    return row;
}

void SetEnglishTexts(HWND dialog) {
    SetWindowTextW(dialog, L"Tessoravin Configuration");
    SetDlgItemTextW(dialog, IDC_MAPPINGS_LABEL, L"Extension Mappings:");
    SetDlgItemTextW(dialog, IDC_ADD, L"&Add");
    SetDlgItemTextW(dialog, IDC_EDIT, L"&Edit");
    SetDlgItemTextW(dialog, IDC_DELETE, L"&Delete");
    SetDlgItemTextW(dialog, IDC_PARAMS_LABEL, L"mpv Extra Params:");
    SetDlgItemTextW(dialog, IDOK, L"OK");
    SetDlgItemTextW(dialog, IDCANCEL, L"Cancel");
}

void RecordInitialLayout(HWND dialog, ConfigDialogState& state) {
    RECT client = {};
    GetClientRect(dialog, &client);
    state.initWidth = client.right - client.left;
    state.initHeight = client.bottom - client.top;
    for (size_t i = 0; i < kLayoutControlCount; ++i) {
        RECT& r = state.ctrlRects[i];
        GetWindowRect(GetDlgItem(dialog, kLayoutControls[i].id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    }
}

// lParam is CreateConfigDialog's owner of the state: from here on the dialog owns it.
INT_PTR OnInitDialog(HWND dialog, LPARAM lParam) {
    AttachWindowData(dialog, std::move(*reinterpret_cast<std::unique_ptr<ConfigDialogState>*>(lParam)));
    ConfigDialogState& state = *WindowData<ConfigDialogState>(dialog);
    ConfigSnapshot live = CurrentConfigSnapshot();
    state.editMappings = std::move(live.mappings);
    state.editParams = std::move(live.mpvParams);

    SetEnglishTexts(dialog);
    SetupMappingList(MappingList(dialog));
    FillMappingList(MappingList(dialog), state.editMappings);
    SetDlgItemTextW(dialog, IDC_PARAMS, state.editParams.c_str());
    SetDlgItemTextW(dialog, IDC_CONFIG_PATH, CurrentConfigPath().c_str());
    RecordInitialLayout(dialog, state);
    SetDialogIcons(dialog);
    LogPrintf(L"%sConfigDlgProc WM_INITDIALOG OK", kDlgProcTag);
    return TRUE;  // the system focuses the first tab stop, the list
}

INT_PTR OnSize(HWND dialog, WPARAM wParam, LPARAM lParam) {
    ConfigDialogState* state = WindowData<ConfigDialogState>(dialog);
    if (!state || state->initWidth <= 0 || wParam == SIZE_MINIMIZED) return FALSE;
    const GrowthDelta growth = GrowthBeyondInitial(LOWORD(lParam), HIWORD(lParam), state->initWidth, state->initHeight);
    HDWP batch = BeginDeferWindowPos(static_cast<int>(kLayoutControlCount));
    if (!batch) return FALSE;
    const auto moves = ComputeConfigLayout(state->ctrlRects, growth);
    for (size_t i = 0; i < kLayoutControlCount && batch; ++i) {
        const ControlMove& m = moves[i];
        batch = DeferWindowPos(batch, GetDlgItem(dialog, kLayoutControls[i].id), nullptr, m.x, m.y, m.cx, m.cy,
                               m.flags);
    }
    // A failed DeferWindowPos has already freed the batch.
    if (!batch) return FALSE;
    EndDeferWindowPos(batch);
    InvalidateRect(MappingList(dialog), nullptr, TRUE);
    return TRUE;
}

INT_PTR OnGetMinMaxInfo(HWND dialog, LPARAM lParam) {
    const ConfigDialogState* state = WindowData<ConfigDialogState>(dialog);
    if (state && state->initWidth > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{state->initWidth, state->initHeight};
    }
    return FALSE;
}

INT_PTR OnNotify(HWND dialog, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    // The editor runs later, outside the list's own notification.
    if (header->idFrom == IDC_MAPPING_LIST && header->code == static_cast<UINT>(NM_DBLCLK))
        PostMessageW(dialog, WM_APP, 0, 0);
    return FALSE;
}

// Edits the selected mapping; true when the user confirmed.
bool EditSelected(HWND dialog, ConfigDialogState& state) {
    const int index = SelectedMapping(dialog, state);
    if (index < 0) return false;
    if (!RunMappingEditor(dialog, state.editMappings[static_cast<size_t>(index)])) return false;
    FillMappingList(MappingList(dialog), state.editMappings);
    return true;
}

INT_PTR OnEditSelected(HWND dialog) {
    if (ConfigDialogState* state = WindowData<ConfigDialogState>(dialog)) EditSelected(dialog, *state);
    return FALSE;
}

void OnAdd(HWND dialog, ConfigDialogState& state) {
    MappingEntry entry{L"video", L"mkv;mp4", kDefaultPlayerPath};
    if (!RunMappingEditor(dialog, entry)) return;
    state.editMappings.push_back(std::move(entry));
    FillMappingList(MappingList(dialog), state.editMappings);
}

void OnEdit(HWND dialog, ConfigDialogState& state) {
    if (SelectedMapping(dialog, state) < 0) {
        MessageBoxW(dialog, L"Please select a mapping first.", kMessageCaption, MB_ICONINFORMATION);
        return;
    }
    EditSelected(dialog, state);
}

void OnDelete(HWND dialog, ConfigDialogState& state) {
    const int index = SelectedMapping(dialog, state);
    if (index < 0) return;
    if (MessageBoxW(dialog, L"Delete the selected mapping?", kMessageCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    state.editMappings.erase(state.editMappings.begin() + index);
    FillMappingList(MappingList(dialog), state.editMappings);
}

void OnOk(HWND dialog, ConfigDialogState& state) {
    std::wstring params = GetDlgItemString(dialog, IDC_PARAMS);
    // The load reads each value into a fixed buffer; a longer one would come back cut.
    const std::wstring tooLong = OversizeWarning(SerializeMappings(state.editMappings).size(), params.size());
    if (!tooLong.empty()) {
        LogPrintf(L"%s  OK refused, configuration too long to read back", kDlgProcTag);
        MessageBoxW(dialog, tooLong.c_str(), kMessageCaption, MB_ICONWARNING);
        return;
    }
    state.editParams = std::move(params);
    // What is stored is this dialog's copy, whatever another thread's reload installs meanwhile.
    if (!ApplyAndSaveConfig(state.editMappings, state.editParams)) {
        const std::wstring text = L"Failed to save config:\n  " + CurrentConfigPath();
        MessageBoxW(dialog, text.c_str(), kMessageCaption, MB_ICONERROR);
    }
    if (state.notifyWnd) {
        PostMessageW(state.notifyWnd, DVPLUGINMSG_REINITIALIZE, 0, static_cast<LPARAM>(state.notifyData));
        LogPrintf(L"%s  PostMessage DVPLUGINMSG_REINITIALIZE to 0x%p, data=%lu", kDlgProcTag, state.notifyWnd,
                  state.notifyData);
    }
    DestroyWindow(dialog);
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (id == IDCANCEL) {
        DestroyWindow(dialog);
        return TRUE;
    }
    ConfigDialogState* state = WindowData<ConfigDialogState>(dialog);
    if (!state) return FALSE;
    switch (id) {
        case IDOK: OnOk(dialog, *state); return TRUE;
        case IDC_ADD: OnAdd(dialog, *state); return TRUE;
        case IDC_EDIT: OnEdit(dialog, *state); return TRUE;
        case IDC_DELETE: OnDelete(dialog, *state); return TRUE;
        default: return FALSE;
    }
}

INT_PTR OnNcDestroy(HWND dialog) {
    ReleaseDialogIcons(dialog);
    DetachWindowData<ConfigDialogState>(dialog);  // the state goes with the returned owner
    LogPrintf(L"%sConfigDlgProc WM_NCDESTROY", kDlgProcTag);
    PostQuitMessage(0);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

HWND CreateConfigDialog(HWND parent, HWND notifyWnd, DWORD notifyData) {
    LogPrintf(L"%sCreateConfigDialog enter", kCreateTag);
    std::unique_ptr<ConfigDialogState> state(new (std::nothrow) ConfigDialogState);
    if (!state) {
        LogPrintf(L"%s  failed to alloc ConfigDialogState", kCreateTag);
        return nullptr;
    }
    state->notifyWnd = notifyWnd;
    state->notifyData = notifyData;
    // WM_INITDIALOG moves the state into the dialog; if creation fails before that, it is still
    // ours and goes with this scope.
    HWND dialog = CreateDialogParamW(moduleInstance, MAKEINTRESOURCEW(IDD_CONFIG), parent, ConfigDlgProc,
                                     reinterpret_cast<LPARAM>(&state));
    if (!dialog) {
        LogPrintf(L"%s  CreateDialogParamW FAILED, err=%lu", kCreateTag, GetLastError());
        return nullptr;
    }
    ShowWindow(dialog, SW_SHOW);
    LogPrintf(L"%s  CreateDialogParamW OK, hwnd=0x%p", kCreateTag, dialog);
    return dialog;
}

INT_PTR CALLBACK ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG: return OnInitDialog(dialog, lParam);
            case WM_SIZE: return OnSize(dialog, wParam, lParam);
            case WM_GETMINMAXINFO: return OnGetMinMaxInfo(dialog, lParam);
            case WM_NOTIFY: return OnNotify(dialog, lParam);
            case WM_APP: return OnEditSelected(dialog);
            case WM_COMMAND: return OnCommand(dialog, wParam);
            case WM_NCDESTROY: return OnNcDestroy(dialog);
            default: return FALSE;
        }
    } catch (...) {
        LogPrintf(L"%sunexpected failure, message ignored", kDlgProcTag);
        return FALSE;
    }
}
