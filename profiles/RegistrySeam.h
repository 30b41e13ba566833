#pragma once
#include "com/Boundary.h"
#include "registry/Win32Exception.h"

namespace Varquel {

// Where profiles call the registry: a registry failure goes on as the
// HRESULT of its Win32 code, with the name of the registry operation that
// failed for the trace.
template <class Body>
decltype(auto) ThroughRegistry(Body&& body) {
    try {
        return body();
    } catch (const Wexmoor::CWin32Exception& e) {
        throw CComError(HResultFromWin32Error(e.GetError()), e.GetLocation());
    }
}

} // namespace Varquel
