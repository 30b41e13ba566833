#pragma once
#include <array>
#include <vector>
#include "adapters/NetAdapterProperty.h"
#include "com/Bstr.h"
#include "com/StringArray.h"
#include "profiles/NetProfile.h"

namespace Varquel {

// One adapter as the machine holds it now.
struct CAdapterState {
    CBstr name;
    CBstr connection;
    bool read = false;  // its configuration could be read
    bool dhcp = false;
    std::array<CStringArray, CNetAdapterProperty::kAddressKinds> lists;  // in the order of AddressKind
};

// The machine as a switch reads it, once: a new profile filled as GetCurrent
// fills it (one detection with its configuration reads, and the printers),
// plus, for adapters on DHCP, the lists that GetCurrent leaves alone.
class CMachineState {
public:
    static CMachineState Read();

    // The snapshot: a detected profile that applies the machine back as it was.
    const ComPtr<CNetProfile>& Profile() const noexcept { return m_profile; }
    const std::vector<CAdapterState>& Adapters() const noexcept { return m_adapters; }
    // The default printer's DeviceID; empty when there is none.
    BSTR DefaultPrinter() const noexcept { return m_defaultPrinter.Get(); }

private:
    ComPtr<CNetProfile> m_profile;
    std::vector<CAdapterState> m_adapters;
    CBstr m_defaultPrinter;
};

} // namespace Varquel
