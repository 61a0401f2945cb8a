#pragma once
#include <windows.h>

// The plug-in's own module: icon and dialog resources, the viewer window class.
extern HINSTANCE moduleInstance;

// Icon group 1 of this module at size x size pixels; null when it cannot be loaded.
HICON LoadPluginIcon(int size);
