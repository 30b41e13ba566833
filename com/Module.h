#pragma once
#include <windows.h>

namespace Varquel::Module {

// Module state shared by all objects: the lock count and the module lock.
bool Initialize() noexcept;   // at load; false when the module lock cannot be made
void Shutdown() noexcept;     // at unload: caches released, lock destroyed

void AddLock() noexcept;
void ReleaseLock() noexcept;
LONG LockCount() noexcept;

// The file that holds this code: Varquel.dll, or a test program that links it.
HMODULE Handle() noexcept;

// Guards class-object creation and the class type-information caches.
class CLockGuard {
public:
    CLockGuard() noexcept;
    ~CLockGuard();
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;
};

// Cleanup run at Shutdown (caches register theirs).
void AtShutdown(void (*fn)()) noexcept;

} // namespace Varquel::Module
