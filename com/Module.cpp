#include "com/Module.h"

namespace Varquel::Module {
namespace {
LONG g_locks = 0;
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
constexpr int kMaxCleanups = 8;
void (*g_cleanups[kMaxCleanups])() = {};
int g_cleanupCount = 0;
} // namespace

bool Initialize() noexcept {
    if (!g_lockReady)
        g_lockReady = InitializeCriticalSectionAndSpinCount(&g_lock, 0) != FALSE;
    return g_lockReady;
}

void Shutdown() noexcept {
    for (int i = g_cleanupCount - 1; i >= 0; --i) g_cleanups[i]();
    g_cleanupCount = 0;
    if (g_lockReady) {
        DeleteCriticalSection(&g_lock);
        g_lockReady = false;
    }
}

void AddLock() noexcept { InterlockedIncrement(&g_locks); }
void ReleaseLock() noexcept { InterlockedDecrement(&g_locks); }
LONG LockCount() noexcept { return InterlockedCompareExchange(&g_locks, 0, 0); }

HMODULE Handle() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Handle), &module);
    return module;
}

CLockGuard::CLockGuard() noexcept {
    if (!g_lockReady) Initialize();
    EnterCriticalSection(&g_lock);
}
CLockGuard::~CLockGuard() { LeaveCriticalSection(&g_lock); }

void AtShutdown(void (*fn)()) noexcept {
    CLockGuard guard;
    for (int i = 0; i < g_cleanupCount; ++i)
        if (g_cleanups[i] == fn) return;
    if (g_cleanupCount < kMaxCleanups) g_cleanups[g_cleanupCount++] = fn;
}

} // namespace Varquel::Module
