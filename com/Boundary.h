#pragma once
#include <windows.h>
#include <new>
#include "com/Bstr.h"
#include "com/ComError.h"
#include "registry/Win32Exception.h"

namespace Varquel {

// HRESULT of a Win32 error carried by an exception. Code 0 would read as
// success, so it becomes E_FAIL: a failure is never reported as S_OK.
inline HRESULT HResultFromWin32Error(DWORD code) noexcept {
    return code == 0 ? E_FAIL : HRESULT_FROM_WIN32(code);
}

// Runs one interface member: whatever it throws becomes its HRESULT, so no
// exception crosses into the client.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
    try {
        return body();
    } catch (const CComError& e) {
        return e.Result();
    } catch (const Wexmoor::CWin32Exception& e) {
        return HResultFromWin32Error(e.GetError());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Members that take an out pointer: null is E_POINTER, and the pointer is
// cleared before the body runs, so it is never left unset on failure.
template <class T, class Body>
HRESULT ComBoundaryOut(T* out, Body&& body) noexcept {
    if (!out) return E_POINTER;
    *out = T{};
    return ComBoundary(static_cast<Body&&>(body));
}

// A string getter that may be given no place for its result: S_OK with
// nothing written. Otherwise a whole copy of `source` (null stays null).
inline HRESULT CopyStringOut(BSTR source, BSTR* out) noexcept {
    if (!out) return S_OK;
    return ComBoundaryOut(out, [&] {
        *out = CBstr::CopyWhole(source).Detach();
        return S_OK;
    });
}

// A string setter: the field takes the text up to its first NUL.
inline HRESULT PutString(CBstr& field, BSTR value) noexcept {
    return ComBoundary([&] {
        field.AssignToNul(value);
        return S_OK;
    });
}

} // namespace Varquel
