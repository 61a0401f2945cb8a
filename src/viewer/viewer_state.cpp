#include "viewer/viewer_state.h"

void ResizeChild(HWND viewer, const ViewerWindowState& state) {
    if (!state.childHwnd || !IsWindow(state.childHwnd)) return;
    RECT client = {};
    GetClientRect(viewer, &client);
    MoveWindow(state.childHwnd, 0, 0, client.right, client.bottom, TRUE);
}
