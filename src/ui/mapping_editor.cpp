#include "ui/mapping_editor.h"

#include <commdlg.h>

#include <utility>

#include "common/window_data.h"
#include "host/host.h"
#include "log/log.h"
#include "resources/resource.h"
#include "ui/dialog_rules.h"
#include "ui/dialog_support.h"

namespace {

constexpr wchar_t kEditorTag[] = L"[EditMappingDlgProc] ";

constexpr wchar_t kEmptyFieldText[] = L"Group, extensions, and path cannot be empty.";
constexpr wchar_t kTabOrLineBreakText[] = L"Group, extensions, and path cannot contain tabs or line breaks.";
constexpr DWORD kBrowseBufferChars = MAX_PATH;  // 260
// Description and pattern pairs, each NUL-terminated, and one more NUL to end the list.
constexpr wchar_t kExeFilter[] = L"Executable files (*.exe)\0*.exe\0All files (*.*)\0*.*\0";

INT_PTR OnInitDialog(HWND dialog, LPARAM lParam) {
    // The entry is the caller's and outlives the modal editor.
    LendWindowData(dialog, reinterpret_cast<MappingEntry*>(lParam));
    const MappingEntry& entry = *WindowData<MappingEntry>(dialog);
    SetDlgItemTextW(dialog, IDC_GROUP, entry.group.c_str());
    SetDlgItemTextW(dialog, IDC_EXTS, entry.exts.c_str());
    SetDlgItemTextW(dialog, IDC_EXE_PATH, entry.exePath.c_str());

    SetWindowTextW(dialog, L"Edit Mapping");
    SetDlgItemTextW(dialog, IDC_GROUP_LABEL, L"Group:");
    SetDlgItemTextW(dialog, IDC_EXTS_LABEL, L"Extensions (semicolon):");
    SetDlgItemTextW(dialog, IDC_EXE_PATH_LABEL, L"mpv.exe Path:");
    SetDlgItemTextW(dialog, IDOK, L"OK");
    SetDlgItemTextW(dialog, IDCANCEL, L"Cancel");
    SetDialogIcons(dialog);

    HWND group = GetDlgItem(dialog, IDC_GROUP);
    SetFocus(group);
    SendMessageW(group, EM_SETSEL, 0, -1);
    return FALSE;  // the focus is set already
}

void OnOk(HWND dialog) {
    std::wstring group = GetDlgItemString(dialog, IDC_GROUP);
    std::wstring exts = GetDlgItemString(dialog, IDC_EXTS);
    std::wstring exePath = GetDlgItemString(dialog, IDC_EXE_PATH);
    switch (CheckMappingFields(group, exts, exePath)) {
        case MappingFieldsCheck::EmptyField:
            MessageBoxW(dialog, kEmptyFieldText, kMessageCaption, MB_ICONWARNING);
            return;
        case MappingFieldsCheck::TabOrLineBreak:
            // The stored format separates fields by tabs and records by line feeds: such a
            // mapping would come back split.
            MessageBoxW(dialog, kTabOrLineBreakText, kMessageCaption, MB_ICONWARNING);
            return;
        case MappingFieldsCheck::Ok: break;
    }
    MappingEntry& entry = *WindowData<MappingEntry>(dialog);
    entry.group = std::move(group);
    entry.exts = std::move(exts);
    entry.exePath = std::move(exePath);
    EndDialog(dialog, IDOK);
}

void OnBrowse(HWND dialog) {
    wchar_t file[kBrowseBufferChars] = {};
    GetDlgItemTextW(dialog, IDC_EXE_PATH, file, kBrowseBufferChars);
    if (!UsableAsInitialFile(file)) {
        LogPrintf(L"%s  path is not a valid Windows path, clearing initial file: %s", kEditorTag, file);
        file[0] = L'\0';
    }
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = kExeFilter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kBrowseBufferChars;
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = L"exe";
    if (GetOpenFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_EXE_PATH, file);
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK: OnOk(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        case IDC_BROWSE: OnBrowse(dialog); return TRUE;
        default: return FALSE;
    }
}

}  // namespace

static_assert(sizeof(OPENFILENAMEW) == 152, "the full structure, with the Windows 2000 fields");

INT_PTR CALLBACK EditMappingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

bool RunMappingEditor(HWND owner, MappingEntry& entry) {
    const INT_PTR result = DialogBoxParamW(moduleInstance, MAKEINTRESOURCEW(IDD_EDIT_MAPPING), owner,
                                           EditMappingDlgProc, reinterpret_cast<LPARAM>(&entry));
    return result == IDOK;
}

INT_PTR CALLBACK EditMappingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG: return OnInitDialog(dialog, lParam);
            case WM_COMMAND: return OnCommand(dialog, wParam);
            case WM_DESTROY: ReleaseDialogIcons(dialog); return FALSE;
            default: return FALSE;
        }
    } catch (...) {
        LogPrintf(L"%sunexpected failure, message ignored", kEditorTag);
        return FALSE;
    }
}
