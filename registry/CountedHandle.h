#pragma once
#include <windows.h>

namespace Wexmoor {

// Owns one handle and the number of wrappers that share it. A subclass says
// how its kind of handle is closed; the last reference closes it and frees
// the holder, which therefore always lives on the heap.
template <class THandle>
class CCountedHandle {
public:
    CCountedHandle(const CCountedHandle&) = delete;
    CCountedHandle& operator=(const CCountedHandle&) = delete;

    // Called once, when the last reference goes.
    virtual void Close() = 0;

    THandle Handle() const noexcept { return m_handle; }

    void AddReference() noexcept { InterlockedIncrement(&m_refCount); }

    // Copies may be released on different threads, hence the interlocked
    // count. Nothing that closing raises may escape a destructor's path.
    void DropReference() noexcept {
        if (InterlockedDecrement(&m_refCount) == 0) {
            try {
                Close();
            } catch (...) {
            }
            delete this;
        }
    }

protected:
    explicit CCountedHandle(THandle handle) noexcept : m_handle(handle) {}
    virtual ~CCountedHandle() = default;

private:
    THandle m_handle;
    LONG volatile m_refCount = 1;
};

} // namespace Wexmoor
