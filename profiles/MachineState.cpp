#include "profiles/MachineState.h"
#include "com/Boundary.h"

namespace Varquel {

CMachineState CMachineState::Read() {
    CMachineState state;
    state.m_profile = CreateServerObject<CNetProfile, INetProfile>(CLSID_CNetProfile);
    CNetAdaptersList& adapters = state.m_profile->Adapters();
    Tolerate([&] { adapters.Detect(); });
    for (const ComPtr<CNetAdapterProperty>& adapter : adapters.Adapters()) {
        CAdapterState& adapterState = state.m_adapters.emplace_back();
        adapterState.name = CBstr::CopyWhole(adapter->Name());
        adapterState.connection = CBstr::CopyWhole(adapter->NetConnectionID());
        HRESULT read = S_FALSE;
        KeepGoing([&] { read = adapter->ReadConfiguration(); });
        adapterState.read = read == S_OK;
        adapterState.dhcp = adapter->IsDhcp() != VARIANT_FALSE;
        if (!adapterState.read) continue;
        if (adapterState.dhcp) {
            adapterState.read = adapter->ReadMachineLists(adapterState.lists);
            continue;
        }
        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
            adapterState.lists[static_cast<size_t>(kind)].CopyFrom(
                adapter->List(static_cast<CNetAdapterProperty::AddressKind>(kind)).Entries());
    }
    CPrintersProperty& printers = state.m_profile->Printers();
    Tolerate([&] { printers.CaptureMachine(); });
    state.m_defaultPrinter = CBstr::CopyWhole(printers.DefaultDeviceId());
    return state;
}

} // namespace Varquel
