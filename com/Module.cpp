#include "com/Module.h"
#include <oleauto.h>
#include <vector>

namespace Varquel::Module {
namespace {
LONG g_locks = 0;
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
CShutdownHook* g_hooks = nullptr;
} // namespace

bool Initialize() noexcept {
    if (!g_lockReady)
        g_lockReady = InitializeCriticalSectionAndSpinCount(&g_lock, 0) != FALSE;
    return g_lockReady;
}

void Shutdown() noexcept {
    while (CShutdownHook* hook = g_hooks) {
        g_hooks = hook->m_next;
        hook->m_next = nullptr;
        hook->m_linked = false;
        hook->m_run();
    }
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

HRESULT LoadOwnTypeLib(ITypeLib** library) noexcept {
    std::vector<wchar_t> path;
    try {
        path.resize(MAX_PATH);
        for (;;) {
            DWORD length = GetModuleFileNameW(Handle(), path.data(), static_cast<DWORD>(path.size()));
            if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
            if (length < path.size()) break;
            path.resize(path.size() * 2);
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return LoadTypeLibEx(path.data(), REGKIND_NONE, library);
}

CLockGuard::CLockGuard() noexcept {
    if (!g_lockReady) Initialize();
    EnterCriticalSection(&g_lock);
}
CLockGuard::~CLockGuard() { LeaveCriticalSection(&g_lock); }

void AtShutdown(CShutdownHook& hook) noexcept {
    CLockGuard guard;
    if (hook.m_linked) return;
    hook.m_linked = true;
    hook.m_next = g_hooks;
    g_hooks = &hook;
}

} // namespace Varquel::Module
