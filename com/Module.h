#pragma once
#include <windows.h>
#include <oaidl.h>

namespace Varquel::Module {

// Module state shared by all objects: the lock count and the module lock.
bool Initialize() noexcept;   // at load; false when the module lock cannot be made
void Shutdown() noexcept;     // at unload: caches released, lock destroyed

void AddLock() noexcept;
void ReleaseLock() noexcept;
LONG LockCount() noexcept;

// The file that holds this code: Varquel.dll, or a test program that links it.
HMODULE Handle() noexcept;

// The type library embedded in that file, loaded afresh from its full path.
HRESULT LoadOwnTypeLib(ITypeLib** library) noexcept;

// Guards class-object creation and the class type-information caches.
class CLockGuard {
public:
    CLockGuard() noexcept;
    ~CLockGuard();
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;
};

// A clean-up that Shutdown runs (caches register theirs). Each hook is a
// static that links itself into the module's list, so any number fit and
// registering never fails.
class CShutdownHook {
public:
    constexpr explicit CShutdownHook(void (*run)()) noexcept : m_run(run) {}
    CShutdownHook(const CShutdownHook&) = delete;
    CShutdownHook& operator=(const CShutdownHook&) = delete;

private:
    friend void AtShutdown(CShutdownHook& hook) noexcept;
    friend void Shutdown() noexcept;
    void (*m_run)();
    CShutdownHook* m_next = nullptr;
    bool m_linked = false;
};

// Links the hook once; the latest linked runs first. Shutdown unlinks all.
void AtShutdown(CShutdownHook& hook) noexcept;

} // namespace Varquel::Module
