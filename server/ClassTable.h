#pragma once
#include <windows.h>
#include <span>
#include "com/ClassFactory.h"

namespace Varquel {

// One class of the server, in the fixed order of registration and lookup.
struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const wchar_t* friendlyName;
    CreatorFn create;
};

std::span<const ClassEntry> ClassTable() noexcept;

// One slot per ClassTable() entry, at the same index: the class object that
// DllGetClassObject makes on first request and keeps until shutdown.
std::span<IClassFactory*> ClassObjectSlots() noexcept;

} // namespace Varquel
