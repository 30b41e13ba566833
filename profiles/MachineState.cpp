#include "profiles/MachineState.h"
#include "com/Boundary.h"

namespace Varquel {

CMachineState CMachineState::Read() {
    CMachineState state;
    state.m_profile = CreateServerObject<CNetProfile, INetProfile>(CLSID_CNetProfile);
    CNetAdaptersList& adapters = state.m_profile->Adapters();
    Tolerate([&] { adapters.Detect(&state.m_withoutIp); });
    for (const ComPtr<CNetAdapterProperty>& adapter : adapters.Adapters()) {
        CAdapterState& adapterState = state.m_adapters.emplace_back();
        adapterState.name = CBstr::CopyWhole(adapter->Name());
        adapterState.connection = CBstr::CopyWhole(adapter->NetConnectionID());
        adapterState.adapter = adapter.Get();
        HRESULT read = S_FALSE;
        KeepGoing([&] { read = adapter->ReadConfiguration(); });
        adapterState.read = read == S_OK;
        if (!adapterState.read) continue;
        if (adapter->IsDhcp() == VARIANT_FALSE) {
            adapterState.settings = adapter->Settings();
            continue;
        }
        adapterState.settings.dhcp = true;
        adapterState.read = adapter->ReadMachineLists(adapterState.settings);
    }
    CPrintersProperty& printers = state.m_profile->Printers();
    Tolerate([&] { printers.CaptureMachine(); });
    state.m_defaultPrinter = CBstr::CopyWhole(printers.DefaultDeviceId());
    return state;
}

std::vector<BSTR> CMachineState::Names() const {
    std::vector<BSTR> names;
    names.reserve(m_adapters.size());
    for (const CAdapterState& adapter : m_adapters) names.push_back(adapter.name.Get());
    return names;
}

bool CMachineState::NotConnected(BSTR name) const noexcept {
    for (const CBstr& absent : m_withoutIp)
        if (VarBstrCmp(absent.Get(), name, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ) return true;
    return false;
}

} // namespace Varquel
