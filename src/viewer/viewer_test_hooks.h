#pragma once
// For tests and benchmarks only: a look at a viewer window's record from outside the window
// procedure. The plug-in itself never reaches a record except through its window's messages.
// Besides tests and benchmarks, only the file that defines these includes this header, so that
// the compiler holds the declarations to the definitions.
#include <windows.h>

#include "viewer/viewer_state.h"

// The record of the viewer window's player; null before WM_CREATE and after WM_DESTROY.
ViewerWindowState* ViewerStateOf(HWND viewer);

// The placeholder's font, created on first use and kept for the life of the process.
HFONT PlaceholderFont();

// Whether a worker is still making a call on the player's window, or has one to make.
bool PlayerWindowCallsPending(HWND child);
