#pragma once
// The one lock of the plug-in's shared state: the process-wide configuration (reload, index
// rebuild, lookups, the dialog's write-back). The host may call the entry points from several
// threads at once. Re-entrant, because a reload installs and rebuilds the indexes under the
// same lock. Never held across a call into the host.
#include <windows.h>

class ConfigLockGuard {
public:
    ConfigLockGuard();
    ~ConfigLockGuard();
    ConfigLockGuard(const ConfigLockGuard&) = delete;
    ConfigLockGuard& operator=(const ConfigLockGuard&) = delete;
};
