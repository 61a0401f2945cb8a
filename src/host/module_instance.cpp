#include "host/module_instance.h"

#include "resources/resource.h"

HINSTANCE moduleInstance = nullptr;

HICON LoadPluginIcon(int size) {
    return static_cast<HICON>(LoadImageW(moduleInstance, MAKEINTRESOURCEW(IDI_TESSORAVIN), IMAGE_ICON, size, size,
                                         LR_DEFAULTCOLOR));
}
