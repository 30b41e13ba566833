#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "tests/robustness/StoredProfile.h"

namespace VarquelRobustness {

// What Load must make of the store as it stands: an independent reading of
// HKCU\Software\Ostrel2\Quoran\Profiles with the raw narrow registry API,
// following the reader's tolerance rules (what a missing or mistyped value or
// key does, and whether reading goes on).
class CReferenceReader {
public:
    struct Result {
        std::vector<StoredProfile> profiles;  // appended, in enumeration order
        HRESULT load = S_OK;                  // what Load returns
        std::map<std::string, long> rows;     // tolerance rules met, and how often
    };
    // `profilesPath`: the key under HKEY_CURRENT_USER that holds the profiles.
    static Result Read(const char* profilesPath = "Software\\Ostrel2\\Quoran\\Profiles");
};

} // namespace VarquelRobustness
