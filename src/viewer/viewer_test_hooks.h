#pragma once
// For tests and benchmarks only: a look at a viewer window's record from outside the window
// procedure. The plug-in itself never reaches a record except through its window's messages.
#include <windows.h>

#include "viewer/viewer_state.h"

// The record of the viewer window's player; null before WM_CREATE and after WM_DESTROY.
ViewerWindowState* ViewerStateOf(HWND viewer);
