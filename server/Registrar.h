#pragma once
#include <windows.h>
#include <span>

namespace Varquel {

// One entry the server writes under HKEY_CLASSES_ROOT. Key path, value name
// and data are templates whose %NAME% parts are replaced by the parameters of
// the registration (%MODULE%, %MODULETYPE%, %MODULEGUID%, %APPID%, and for a
// class %CLSID%, %ProgID%, %VersionIndependentProgID%, %FriendlyName%).
// A null value name is the key's default value; null data writes the key alone.
struct RegistryEntry {
    const wchar_t* key;
    const wchar_t* valueName;
    const wchar_t* data;
    // The key is deleted with everything below it before it is written, so
    // nothing stale under it survives a registration.
    bool freshKey;
};

// The AppID entries; the REGISTRY 101 resource (AppID.rgs) carries the same.
std::span<const RegistryEntry> AppIdRegistryEntries() noexcept;
// The entries of one class, in the order they are written.
std::span<const RegistryEntry> ClassRegistryEntries() noexcept;

// DllRegisterServer and DllUnregisterServer: the AppID, the classes of the
// class table and the type library. They need no COM initialisation.
HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

} // namespace Varquel
