#pragma once
#include <windows.h>

namespace Varquel {

// WinINet's options on no handle, in the shape of InternetQueryOptionW and
// InternetSetOptionW: the proxy object's access to the current user's proxy.
// A test installs a stand-in of its own in their place.
class IInternetOptions {
public:
    virtual BOOL Query(DWORD option, void* buffer, DWORD* length) noexcept = 0;
    virtual BOOL Set(DWORD option, void* buffer, DWORD length) noexcept = 0;

protected:
    ~IInternetOptions() = default;
};

// The process's: WinINet itself, unless a stand-in is installed.
IInternetOptions& InternetOptions() noexcept;
// Installs a stand-in (null: WinINet again) and returns the one it replaces.
IInternetOptions* SetInternetOptions(IInternetOptions* options) noexcept;

} // namespace Varquel
