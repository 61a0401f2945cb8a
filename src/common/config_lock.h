#pragma once
// The one lock of the plug-in's shared state: the process-wide configuration (reload, index
// rebuild, lookups, the dialog's write-back) and the folder alias table's first load.
// The host may call the entry points from several threads at once. Re-entrant, because a
// reload rebuilds the indexes, which loads the aliases, all under the same lock.
#include <windows.h>

class ConfigLockGuard {
public:
    ConfigLockGuard();
    ~ConfigLockGuard();
    ConfigLockGuard(const ConfigLockGuard&) = delete;
    ConfigLockGuard& operator=(const ConfigLockGuard&) = delete;
};
