#pragma once
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>
#include <string>
#include "server/RegistryWriter.h"

namespace Varquel {

// The server's type library and the file it was loaded from: the server's own
// file, or else the ".tlb" beside it.
struct ServerTypeLib {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    std::wstring path;
};
ServerTypeLib LoadServerTypeLib(const std::wstring& modulePath);

// Registers the library and its interfaces below the writer's root, under
// its own locale and the neutral one, with the file's directory as help
// directory. The machine's registration is the platform's (RegisterTypeLib);
// the user's is written here, as the platform's registration for the user
// writes machine-wide on some systems.
void RegisterServerTypeLib(const CRegistryWriter& writer, const ServerTypeLib& loaded);
// Removes this bitness's entries; the library's key goes with the last of them.
void UnregisterServerTypeLib(const CRegistryWriter& writer, const ServerTypeLib& loaded);

} // namespace Varquel
