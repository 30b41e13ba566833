#pragma once
#include <windows.h>
#include <utility>

namespace Wexmoor {

// The sole owner of one handle, closed by `Close` when the owner goes or takes
// another; for code that has no use for a shared CRegistryKey.
template <class THandle, auto Close>
class CUniqueHandle {
public:
    CUniqueHandle() noexcept = default;
    explicit CUniqueHandle(THandle handle) noexcept : m_handle(handle) {}
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    ~CUniqueHandle() { Reset(); }

    THandle Get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != THandle{}; }
    // For a call that hands out a handle: the one held before is closed.
    THandle* Put() noexcept {
        Reset();
        return &m_handle;
    }
    THandle Release() noexcept { return std::exchange(m_handle, THandle{}); }
    void Reset(THandle handle = THandle{}) noexcept {
        if (m_handle != THandle{} && m_handle != handle) Close(m_handle);
        m_handle = handle;
    }

private:
    THandle m_handle{};
};

// A registry key opened or created by the caller (never a predefined root).
using CUniqueRegKey = CUniqueHandle<HKEY, &RegCloseKey>;

} // namespace Wexmoor
