#pragma once
#include <optional>
#include <string>
#include <vector>
#include "tests/robustness/Random.h"

namespace VarquelRobustness {

// Machine descriptions for the simulated WMI: a well-formed office
// workstation, and variants of it with the faults real machines show
// (properties missing, without value or of another type, adapters without
// configuration, objects that are not objects, odd names).
class CSimulatedMachines {
public:
    // Two adapters with connections (one static, one on DHCP), one without a
    // connection name, one disabled; three printers, a proxy, three shares.
    static std::string Office();
    // The office machine with `faults` random data faults.
    static std::string Variant(CRandom& random, int faults);
    // The office machine plus copies of its Ethernet adapter (each with a
    // connection of its own) named `names` (UTF-8); nullopt: without a Name
    // property.
    static std::string WithExtraAdapters(const std::vector<std::optional<std::string>>& names);
};

} // namespace VarquelRobustness
