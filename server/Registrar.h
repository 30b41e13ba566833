#pragma once
#include <windows.h>
#include <span>
#include "server/RegistryWriter.h"

namespace Varquel {

// The AppID entries; the REGISTRY 101 resource (AppID.rgs) carries the same.
std::span<const RegistryEntry> AppIdRegistryEntries() noexcept;
// The entries of one class, in the order they are written.
std::span<const RegistryEntry> ClassRegistryEntries() noexcept;

// Where a registration goes: the machine's classes (HKEY_CLASSES_ROOT), or
// the current user's (HKEY_CURRENT_USER\Software\Classes), which need no
// administrator and which elevated processes do not see.
enum class Scope { Machine, User };

// The AppID, the classes of the class table and the type library. They need
// no COM initialisation.
HRESULT RegisterServer(Scope scope = Scope::Machine) noexcept;
HRESULT UnregisterServer(Scope scope = Scope::Machine) noexcept;

// DllInstall: "user" (in any case) registers or unregisters for the current
// user; no command line does what DllRegisterServer or DllUnregisterServer
// does; any other is E_INVALIDARG.
HRESULT InstallServer(BOOL install, PCWSTR commandLine) noexcept;

} // namespace Varquel
