#pragma once
#include <windows.h>
#include <oleauto.h>
#include <utility>
#include "com/ComError.h"

namespace Varquel {

// Owns one SAFEARRAY; destroyed with its elements.
class CSafeArray {
public:
    CSafeArray() noexcept = default;
    explicit CSafeArray(SAFEARRAY* array) noexcept : m_array(array) {}
    CSafeArray(const CSafeArray&) = delete;
    CSafeArray& operator=(const CSafeArray&) = delete;
    CSafeArray(CSafeArray&& other) noexcept : m_array(other.Detach()) {}
    ~CSafeArray() { Reset(); }

    // A one-dimensional array of `count` variants, lower bound 0.
    static CSafeArray Variants(ULONG count) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, count);
        if (!array) ThrowOutOfMemory();
        return CSafeArray(array);
    }

    SAFEARRAY* Get() const noexcept { return m_array; }
    SAFEARRAY* Detach() noexcept { return std::exchange(m_array, nullptr); }
    void Reset(SAFEARRAY* array = nullptr) noexcept {
        if (m_array && m_array != array) SafeArrayDestroy(m_array);
        m_array = array;
    }

private:
    SAFEARRAY* m_array = nullptr;
};

// Element access for the life of the lock.
class CSafeArrayLock {
public:
    explicit CSafeArrayLock(SAFEARRAY* array) : m_array(array) { ThrowIfFailed(SafeArrayLock(array)); }
    ~CSafeArrayLock() { SafeArrayUnlock(m_array); }
    CSafeArrayLock(const CSafeArrayLock&) = delete;
    CSafeArrayLock& operator=(const CSafeArrayLock&) = delete;
    template <class T> T* Data() const noexcept { return static_cast<T*>(m_array->pvData); }
private:
    SAFEARRAY* m_array;
};

} // namespace Varquel
