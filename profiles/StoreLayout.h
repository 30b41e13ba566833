#pragma once
#include <string>
#include "profiles/NetProfile.h"
#include "registry/RegistryKey.h"

namespace Varquel {

// One stored profile under "Profiles": its key, named by the profile's Name,
// with "NetAdapterList" (one key per adapter: "IsDHCP", "NetConnectionID" and
// five list keys whose empty subkeys are the entries) and "Printers" (the
// default printer's "Default"). Registry failures leave as the registry's
// exceptions, except where a step of reading or writing absorbs them.
class CStoreLayout {
public:
    // The name of the profile's key as the registry will hold it. Throws
    // CComError(E_INVALIDARG) when the profile cannot be stored: its name or
    // an adapter's name cannot be one key name, or two of its adapters would
    // share a key.
    static std::wstring CheckStorable(const CNetProfile& profile);

    // Writes the profile as one subkey of "Profiles".
    static void SaveToRegistry(const CNetProfile& profile, const Wexmoor::CRegistryKey& profilesKey);
    // Fills a new profile from the stored profile that `position` stands on.
    static void LoadFromRegistry(CNetProfile& profile, const Wexmoor::CRegistryKey::SubkeyIterator& position);
};

} // namespace Varquel
