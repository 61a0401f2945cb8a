#include "host/host.h"

#include "log/log.h"

HMODULE HostModule() { return GetModuleHandleW(kHostModuleName); }

LoadOrSaveConfigWFn GetLoadOrSaveConfig() {
    HMODULE host = HostModule();
    if (!host) {
        LogWrite(L"[GetLoadOrSaveConfig] GetLoadOrSaveConfig: dopus.exe module not found\r\n");
        return nullptr;
    }
    return reinterpret_cast<LoadOrSaveConfigWFn>(reinterpret_cast<void*>(GetProcAddress(host, "LoadOrSaveConfigW")));
}

GetConfigPathWFn GetHostConfigPathFn() {
    HMODULE host = HostModule();
    if (!host) return nullptr;
    return reinterpret_cast<GetConfigPathWFn>(reinterpret_cast<void*>(GetProcAddress(host, "GetConfigPathW")));
}
