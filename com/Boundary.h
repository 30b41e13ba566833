#pragma once
#include <windows.h>
#include <new>
#include <source_location>
#include "com/Bstr.h"
#include "com/ComError.h"

// Where a failure stops: at an interface member, which turns it into its
// HRESULT, or at one of the named ways of absorbing it (tolerate, keep going,
// hand out null). Each absorbed failure writes one line for a debug viewer,
// with the member and the HRESULT, so that a user can see why a call did
// nothing. Nothing is written anywhere else.
namespace Varquel {

// HRESULT of a Win32 error code. Code 0 would read as success, so it becomes
// E_FAIL: a failure is never reported as S_OK.
inline HRESULT HResultFromWin32Error(DWORD code) noexcept {
    return code == 0 ? E_FAIL : HRESULT_FROM_WIN32(code);
}

// Inside a catch block: the exception in flight, as the HRESULT it stands for.
struct CCaughtFailure {
    HRESULT hr;
    const char* detail;  // a static text, or null
};
inline CCaughtFailure CurrentFailure() noexcept {
    try {
        throw;
    } catch (const CComError& e) {
        return {e.Result(), e.Detail()};
    } catch (const std::bad_alloc&) {
        return {E_OUTOFMEMORY, nullptr};
    } catch (...) {
        return {E_UNEXPECTED, nullptr};
    }
}

// One OutputDebugString line: "Varquel: <member>: <how> 0x<hr> (<detail>)".
void TraceFailure(const std::source_location& where, const CCaughtFailure& failure, const char* how) noexcept;

// Runs one interface member: whatever it throws becomes its HRESULT, so no
// exception crosses into the client.
template <class Body>
HRESULT ComBoundary(Body&& body, std::source_location where = std::source_location::current()) noexcept {
    try {
        return body();
    } catch (...) {
        const CCaughtFailure failure = CurrentFailure();
        TraceFailure(where, failure, "failed");
        return failure.hr;
    }
}

// Members that take an out pointer: null is E_POINTER, and the pointer is
// cleared before the body runs, so it is never left unset on failure.
template <class T, class Body>
HRESULT ComBoundaryOut(T* out, Body&& body, std::source_location where = std::source_location::current()) noexcept {
    if (!out) return E_POINTER;
    *out = T{};
    return ComBoundary(static_cast<Body&&>(body), where);
}

// ---- Absorbing a failure ----

// Tolerate: a step whose failure ends only the step. What it did before it
// failed stays done; the failure is traced and its HRESULT returned.
template <class Step>
HRESULT Tolerate(Step&& step, std::source_location where = std::source_location::current()) noexcept {
    try {
        step();
        return S_OK;
    } catch (...) {
        const CCaughtFailure failure = CurrentFailure();
        TraceFailure(where, failure, "went on after");
        return failure.hr;
    }
}

// Keep going: one item of a walk; false (traced) when it failed and the walk
// goes on without it.
template <class Step>
bool KeepGoing(Step&& step, std::source_location where = std::source_location::current()) noexcept {
    return SUCCEEDED(Tolerate(static_cast<Step&&>(step), where));
}

// Hand out null: a string getter that may not fail. A null `out` is S_OK with
// nothing written; a copy that cannot be made is handed out as null (traced).
HRESULT HandOutStringOrNull(BSTR source, BSTR* out,
                            std::source_location where = std::source_location::current()) noexcept;

// ---- Strings in and out ----

// A string getter that may be given no place for its result: S_OK with
// nothing written. Otherwise a whole copy of `source` (null stays null); a
// copy that cannot be made is the member's failure.
HRESULT CopyStringOut(BSTR source, BSTR* out, std::source_location where = std::source_location::current()) noexcept;

// A string setter: the field takes the text up to its first NUL.
HRESULT PutString(CBstr& field, BSTR value, std::source_location where = std::source_location::current()) noexcept;

} // namespace Varquel
