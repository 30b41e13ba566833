#pragma once
#include <windows.h>

namespace Varquel {

// The exception that carries one HRESULT. Raised inside members and turned
// back into the member's result by ComBoundary.
class CComError {
public:
    explicit CComError(HRESULT hr) noexcept : m_hr(hr) {}
    HRESULT Result() const noexcept { return m_hr; }
private:
    HRESULT m_hr;
};

[[noreturn]] inline void ThrowComError(HRESULT hr) { throw CComError(hr); }
[[noreturn]] inline void ThrowOutOfMemory() { throw CComError(E_OUTOFMEMORY); }

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw CComError(hr);
}

} // namespace Varquel
