#include <windows.h>
#include <commctrl.h>

#include "host/host.h"
#include "viewer/viewer.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // FreeLibrary, not the process's end: the class must not outlive the code its window
        // procedure points into, or a build loaded later at the same address would meet it.
        UnregisterViewerClass(instance);
    }
    return TRUE;
}
