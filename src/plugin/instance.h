#pragma once
#include <windows.h>

// The plug-in's own module: icon and dialog resources, the viewer window class.
extern HINSTANCE moduleInstance;
