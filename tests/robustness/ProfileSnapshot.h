#pragma once
#include <windows.h>
#include <vector>
#include "tests/robustness/RegistryTree.h"
#include "tests/robustness/StoredProfile.h"
#include "Varquel_h.h"

namespace VarquelRobustness {

// Reads profiles through their automation interfaces (early-bound) into
// plain values, and renders them in the store's layout.
class CProfileSnapshot {
public:
    static std::vector<StoredProfile> Of(INetProfilesList* list);
    static StoredProfile Of(INetProfile* profile);

    // The "Profiles" key that a Save of these profiles must leave, as the
    // wide registry API reads it back.
    static CRegistryTree StoreLayout(const std::vector<StoredProfile>& profiles);
};

} // namespace VarquelRobustness
