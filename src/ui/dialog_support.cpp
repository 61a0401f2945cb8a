#include "ui/dialog_support.h"

#include "host/host.h"

namespace {
void ReleaseIcon(HWND dialog, WPARAM which) {
    // WM_SETICON hands back the icon it replaces.
    if (auto icon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_SETICON, which, 0))) DestroyIcon(icon);
}
}  // namespace

void SetDialogIcons(HWND dialog) {
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadPluginIcon(16)));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadPluginIcon(32)));
}

void ReleaseDialogIcons(HWND dialog) {
    ReleaseIcon(dialog, ICON_SMALL);
    ReleaseIcon(dialog, ICON_BIG);
}

std::wstring GetDlgItemString(HWND dialog, int controlId) {
    const int length = GetWindowTextLengthW(GetDlgItem(dialog, controlId));
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const UINT read = GetDlgItemTextW(dialog, controlId, text.data(), length + 1);
    if (read == 0) return {};
    text.resize(read);
    return text;
}
