#include "common/config_lock.h"

namespace {
INIT_ONCE configLockOnce = INIT_ONCE_STATIC_INIT;
CRITICAL_SECTION configLock;

BOOL CALLBACK InitLock(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&configLock);
    return TRUE;
}
}  // namespace

ConfigLockGuard::ConfigLockGuard() {
    InitOnceExecuteOnce(&configLockOnce, InitLock, nullptr, nullptr);
    EnterCriticalSection(&configLock);
}

ConfigLockGuard::~ConfigLockGuard() { LeaveCriticalSection(&configLock); }
