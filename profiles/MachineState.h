#pragma once
#include <vector>
#include "adapters/AdapterSettings.h"
#include "adapters/NetAdapterProperty.h"
#include "com/Bstr.h"
#include "profiles/NetProfile.h"

namespace Varquel {

// One adapter as the machine holds it now.
struct CAdapterState {
    CBstr name;
    CBstr connection;
    bool read = false;  // its configuration could be read
    CAdapterSettings settings;
    const CNetAdapterProperty* adapter = nullptr;  // attached; the snapshot holds it
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
    std::vector<BSTR> Names() const;
    // The default printer's DeviceID; empty when there is none.
    BSTR DefaultPrinter() const noexcept { return m_defaultPrinter.Get(); }
    // Whether the machine has an adapter of that Name without IP enabled
    // (unplugged or disabled), which detection leaves out.
    bool NotConnected(BSTR name) const noexcept;

private:
    ComPtr<CNetProfile> m_profile;
    std::vector<CAdapterState> m_adapters;
    CBstr m_defaultPrinter;
    std::vector<CBstr> m_withoutIp;
};

} // namespace Varquel
