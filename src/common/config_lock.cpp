#include "common/config_lock.h"

namespace {
INIT_ONCE g_once = INIT_ONCE_STATIC_INIT;
CRITICAL_SECTION g_lock;

BOOL CALLBACK InitLock(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&g_lock);
    return TRUE;
}
}  // namespace

ConfigLockGuard::ConfigLockGuard() {
    InitOnceExecuteOnce(&g_once, InitLock, nullptr, nullptr);
    EnterCriticalSection(&g_lock);
}

ConfigLockGuard::~ConfigLockGuard() { LeaveCriticalSection(&g_lock); }
