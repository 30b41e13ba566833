#include "adapters/NetAdaptersList.h"
#include <algorithm>
#include "wmi/WmiQuery.h"

namespace Varquel {

// {4EE31473-E331-4C4F-A840-AB654F80E5B4}
const IID CNetAdaptersList::kImplIid = {0x4EE31473, 0xE331, 0x4C4F, {0xA8, 0x40, 0xAB, 0x65, 0x4F, 0x80, 0xE5, 0xB4}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetAdaptersList, &CastTo<CNetAdaptersList, INetAdaptersList>},
    {&IID_IDispatch, &CastTo<CNetAdaptersList, IDispatch, INetAdaptersList>},
    {&IID_IProvideClassInfo, &CastTo<CNetAdaptersList, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetAdaptersList::kImplIid, &CastTo<CNetAdaptersList, CNetAdaptersList>},
};
} // namespace

std::span<const InterfaceEntry> CNetAdaptersList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetAdaptersList::get_Count(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = static_cast<long>(m_adapters.size());
        return S_OK;
    });
}

STDMETHODIMP CNetAdaptersList::NetAdapterPropertyGetAt(long nIndex, INetAdapterProperty **Param) {
    return ComBoundaryOut(Param, [&] {
        if (nIndex >= 0 && static_cast<size_t>(nIndex) < m_adapters.size()) {
            ComPtr<INetAdapterProperty> adapter(m_adapters[static_cast<size_t>(nIndex)].Get());
            *Param = adapter.Detach();
        }
        return S_OK;
    });
}

STDMETHODIMP CNetAdaptersList::Apply() {
    return ComBoundary([&] {
        ApplyToMachine();
        return S_OK;
    });
}

STDMETHODIMP CNetAdaptersList::GetCurrent() {
    return ComBoundary([&] {
        CaptureMachine();
        return S_OK;
    });
}

void CNetAdaptersList::ApplyToMachine() {
    if (!m_detected) {
        // The list holds stored adapters: they give their settings to the
        // machine's adapters of the same Name, then go.
        std::vector<ComPtr<CNetAdapterProperty>> stored;
        stored.swap(m_adapters);
        m_withoutSettings.clear();
        Detect();
        TakeStoredSettings(std::move(stored));
    }
    // One adapter that cannot be written does not stop the others.
    for (const auto& adapter : m_adapters) {
        if (HoldsNoSettings(adapter.Get())) continue;
        KeepGoing([&] { adapter->WriteConfiguration(); });
    }
}

std::vector<std::optional<size_t>> CNetAdaptersList::MatchByName(std::span<const BSTR> machine,
                                                                 std::span<const BSTR> stored) {
    std::vector<std::optional<size_t>> matches(machine.size());
    std::vector<bool> taken(stored.size(), false);
    for (size_t m = 0; m < machine.size(); ++m) {
        // Names are compared case-sensitively; each stored adapter serves once,
        // the first one of a Name going to the first machine adapter of it.
        for (size_t s = 0; s < stored.size(); ++s) {
            if (taken[s] || VarBstrCmp(machine[m], stored[s], LOCALE_USER_DEFAULT, 0) != VARCMP_EQ) continue;
            taken[s] = true;
            matches[m] = s;
            break;
        }
    }
    return matches;
}

void CNetAdaptersList::CaptureMachine() {
    Detect();
    for (const auto& adapter : m_adapters) {
        HRESULT read = S_FALSE;
        KeepGoing([&] { read = adapter->ReadConfiguration(); });
        // It now holds the machine's own settings, which are safe to apply.
        if (read == S_OK) std::erase(m_withoutSettings, adapter.Get());
    }
}

STDMETHODIMP CNetAdaptersList::DetectAdapters() {
    return ComBoundary([&] {
        Detect();
        return S_OK;
    });
}

ComPtr<CNetAdapterProperty> CNetAdaptersList::AppendNewAdapter() {
    ComPtr<CNetAdapterProperty> adapter =
        CreateServerObject<CNetAdapterProperty, INetAdapterProperty>(CLSID_CNetAdapterProperty);
    m_adapters.push_back(adapter);
    return adapter;
}

void CNetAdaptersList::CopyFrom(const CNetAdaptersList& other) {
    if (&other == this) return;
    m_detected = other.m_detected;
    for (const auto& source : other.m_adapters) {
        ComPtr<CNetAdapterProperty> adapter = AppendNewAdapter();
        adapter->CopyFrom(*source.Get());
        if (other.HoldsNoSettings(source.Get())) m_withoutSettings.push_back(adapter.Get());
    }
}

void CNetAdaptersList::Detect(std::vector<CBstr>* withoutIp) {
    if (m_detected) return;
    // Set first: a detection cut short still fixes the list, so no machine
    // adapter is ever appended twice.
    m_detected = true;
    CWmiQuery query(L"SELECT * FROM Win32_NetworkAdapter");
    while (ComPtr<ISWbemObject> object = query.Next()) {
        ComPtr<CNetAdapterProperty> adapter;
        // An adapter that cannot be made is skipped.
        if (!KeepGoing([&] {
                adapter = CreateServerObject<CNetAdapterProperty, INetAdapterProperty>(CLSID_CNetAdapterProperty);
            }))
            continue;
        adapter->AttachToAdapter(object.Get());
        // Only adapters that carry a network connection with IP are configured.
        BSTR connection = adapter->NetConnectionID();
        if (connection && SysStringLen(connection) > 0 && adapter->IPEnabled()) m_adapters.push_back(adapter);
        else if (withoutIp && !adapter->IPEnabled() && adapter->Name())
            withoutIp->push_back(CBstr::CopyWhole(adapter->Name()));
    }
}

void CNetAdaptersList::TakeStoredSettings(std::vector<ComPtr<CNetAdapterProperty>> stored) {
    m_withoutSettings.reserve(m_adapters.size());
    const std::vector<std::optional<size_t>> matches = MatchByName(Names(m_adapters), Names(stored));
    for (size_t i = 0; i < m_adapters.size(); ++i) {
        if (matches[i])
            m_adapters[i]->TakeSettingsFrom(*stored[*matches[i]].Get());
        else
            m_withoutSettings.push_back(m_adapters[i].Get());
    }
}

std::vector<BSTR> CNetAdaptersList::Names(const std::vector<ComPtr<CNetAdapterProperty>>& adapters) {
    std::vector<BSTR> names;
    names.reserve(adapters.size());
    for (const auto& adapter : adapters) names.push_back(adapter->Name());
    return names;
}

bool CNetAdaptersList::HoldsNoSettings(const CNetAdapterProperty* adapter) const noexcept {
    return std::find(m_withoutSettings.begin(), m_withoutSettings.end(), adapter) != m_withoutSettings.end();
}

} // namespace Varquel
