#pragma once
#include <windows.h>

namespace Varquel {

// The exception that carries one HRESULT. Raised inside members and turned
// back into the member's result by ComBoundary. `detail`, a static text, says
// what failed where the HRESULT alone cannot (a registry operation's name).
class CComError {
public:
    explicit CComError(HRESULT hr, const char* detail = nullptr) noexcept : m_hr(hr), m_detail(detail) {}
    HRESULT Result() const noexcept { return m_hr; }
    const char* Detail() const noexcept { return m_detail; }
private:
    HRESULT m_hr;
    const char* m_detail;
};

[[noreturn]] inline void ThrowComError(HRESULT hr) { throw CComError(hr); }
[[noreturn]] inline void ThrowOutOfMemory() { throw CComError(E_OUTOFMEMORY); }

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw CComError(hr);
}

} // namespace Varquel
