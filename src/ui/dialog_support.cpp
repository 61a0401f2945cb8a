#include "ui/dialog_support.h"

#include "plugin/instance.h"

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
