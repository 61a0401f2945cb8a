#include "host/host.h"

#include "resources/resource.h"

HINSTANCE moduleInstance = nullptr;

HICON LoadPluginIcon(int size) {
    return static_cast<HICON>(
        LoadImageW(moduleInstance, MAKEINTRESOURCEW(IDI_TESSORAVIN), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}
