#include "adapters/NetAdapterProperty.h"
#include "com/Variant.h"
#include "wmi/WmiPropertySet.h"

namespace Varquel {

// {2C63F2FE-D141-4AC2-BF87-9BFFA3677051}
const IID CNetAdapterProperty::kImplIid = {0x2C63F2FE, 0xD141, 0x4AC2, {0xBF, 0x87, 0x9B, 0xFF, 0xA3, 0x67, 0x70, 0x51}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetAdapterProperty, &CastTo<CNetAdapterProperty, INetAdapterProperty>},
    {&IID_IDispatch, &CastTo<CNetAdapterProperty, IDispatch, INetAdapterProperty>},
    {&IID_IProvideClassInfo, &CastTo<CNetAdapterProperty, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetAdapterProperty::kImplIid, &CastTo<CNetAdapterProperty, CNetAdapterProperty>},
};
} // namespace

std::span<const InterfaceEntry> CNetAdapterProperty::Interfaces() const noexcept { return kInterfaces; }

namespace {

using AddressKind = CNetAdapterProperty::AddressKind;

// The first Win32_NetworkAdapterConfiguration associated with an adapter
// object; null when there is none or any step fails.
ComPtr<ISWbemObject> FirstConfiguration(ISWbemObject* adapterObject) {
    CBstr resultClass(L"Win32_NetworkAdapterConfiguration");
    ComPtr<ISWbemObjectSet> set;
    if (FAILED(adapterObject->Associators_(nullptr, resultClass.Get(), nullptr, nullptr, VARIANT_FALSE,
                                           VARIANT_FALSE, nullptr, nullptr, wbemFlagForwardOnly, nullptr,
                                           set.GetAddressOf())) ||
        !set)
        return nullptr;
    ComPtr<IUnknown> newEnum;
    if (FAILED(set->get__NewEnum(newEnum.GetAddressOf())) || !newEnum) return nullptr;
    ComPtr<IEnumVARIANT> enumerator;
    if (FAILED(newEnum.As(&enumerator)) || !enumerator) return nullptr;
    CVariant element;
    ULONG fetched = 0;
    if (enumerator->Next(1, element.Get(), &fetched) != S_OK) return nullptr;
    if (element.Type() != VT_DISPATCH || !V_DISPATCH(element.Get())) return nullptr;
    ComPtr<ISWbemObject> configuration;
    if (FAILED(V_DISPATCH(element.Get())
                   ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(configuration.GetAddressOf()))))
        return nullptr;
    return configuration;
}

} // namespace

HRESULT CNetAdapterProperty::FinalConstruct() {
    for (auto& list : m_lists) list = CreateServerObject<CAddressList, IAddressList>(CLSID_CAddressList);
    return S_OK;
}

STDMETHODIMP CNetAdapterProperty::GetCurrent() {
    return ComBoundary([&] { return ReadConfiguration(); });
}

STDMETHODIMP CNetAdapterProperty::Apply() {
    return ComBoundary([&] { return WriteConfiguration(); });
}

STDMETHODIMP CNetAdapterProperty::get_IPAddresses(IAddressList **pVal) {
    return HandOutList(AddressKind::IPAddresses, pVal);
}

STDMETHODIMP CNetAdapterProperty::get_SubnetMasks(IAddressList **pVal) {
    return HandOutList(AddressKind::SubnetMasks, pVal);
}

STDMETHODIMP CNetAdapterProperty::get_GateWayAddresses(IAddressList **pVal) {
    return HandOutList(AddressKind::GateWayAddresses, pVal);
}

STDMETHODIMP CNetAdapterProperty::get_DNSAddresses(IAddressList **pVal) {
    return HandOutList(AddressKind::DNSAddresses, pVal);
}

STDMETHODIMP CNetAdapterProperty::get_WINSServers(IAddressList **pVal) {
    return HandOutList(AddressKind::WINSServers, pVal);
}

STDMETHODIMP CNetAdapterProperty::get_IsDHCP(VARIANT_BOOL *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_isDhcp;
        return S_OK;
    });
}

STDMETHODIMP CNetAdapterProperty::put_IsDHCP(VARIANT_BOOL newVal) {
    m_isDhcp = newVal;  // kept as given: any non-zero value means DHCP
    return S_OK;
}

STDMETHODIMP CNetAdapterProperty::get_Name(BSTR *pVal) {
    return HandOutStringOrNull(m_name.Get(), pVal);
}

STDMETHODIMP CNetAdapterProperty::get_NetConnectionID(BSTR *pVal) {
    return HandOutStringOrNull(m_netConnectionId.Get(), pVal);
}

HRESULT CNetAdapterProperty::HandOutList(AddressKind kind, IAddressList** pVal) const {
    return ComBoundaryOut(pVal, [&] {
        ComPtr<IAddressList> list(m_lists[static_cast<size_t>(kind)].Get());
        *pVal = list.Detach();
        return S_OK;
    });
}

int CNetAdapterProperty::AttachToAdapter(ISWbemObject* adapterObject) {
    // The adapter object stays held even when it has no configuration.
    m_adapterObject = adapterObject;
    if (!adapterObject) return 1;
    ComPtr<ISWbemObject> configuration = FirstConfiguration(adapterObject);
    if (!configuration) return 1;
    m_configurationObject = configuration;

    CWmiPropertySet adapterProperties(adapterObject);
    if (CBstr name = adapterProperties.GetString(L"Name"); !name.IsNull()) m_name = std::move(name);
    if (CBstr id = adapterProperties.GetString(L"NetConnectionID"); !id.IsNull()) m_netConnectionId = std::move(id);

    // IPEnabled without value leaves the adapter enabled.
    CWmiPropertySet configurationProperties(configuration.Get());
    CVariant enabled;
    if (SUCCEEDED(configurationProperties.ReadProperty(L"IPEnabled", enabled))) {
        if (enabled.Type() == VT_BOOL) {
            m_ipEnabled = V_BOOL(enabled.Get());
        } else if (enabled.Type() != VT_NULL &&
                   SUCCEEDED(VariantChangeType(enabled.Get(), enabled.Get(), 0, VT_BOOL))) {
            m_ipEnabled = V_BOOL(enabled.Get());
        }
    }
    return 0;
}

void CNetAdapterProperty::CopyFrom(const CNetAdapterProperty& other) {
    if (&other == this) return;
    m_name = other.m_name;
    m_netConnectionId = other.m_netConnectionId;
    m_isDhcp = other.m_isDhcp;
    m_ipEnabled = other.m_ipEnabled;
    m_adapterObject = other.m_adapterObject;
    m_configurationObject = other.m_configurationObject;
    for (size_t i = 0; i < m_lists.size(); ++i) m_lists[i]->CopyFrom(*other.m_lists[i].Get());
}

void CNetAdapterProperty::TakeSettingsFrom(CNetAdapterProperty& stored) noexcept {
    m_isDhcp = stored.m_isDhcp;
    // An exchange rather than a move: the stored adapter, which a client may
    // still hold, is left with five (empty) lists instead of none.
    m_lists.swap(stored.m_lists);
}

HRESULT CNetAdapterProperty::ReadConfiguration() {
    if (!m_configurationObject) return S_FALSE;
    CWmiPropertySet properties(m_configurationObject.Get());
    if (!properties.IsValid()) return S_FALSE;

    CVariant value;
    if (FAILED(properties.ReadProperty(L"DHCPEnabled", value))) return S_FALSE;
    if (value.Type() == VT_BOOL) m_isDhcp = V_BOOL(value.Get());
    // A DHCP adapter's addresses are the lease's, not part of its settings.
    if (m_isDhcp) return S_OK;

    for (const CListProperty& item : kListProperties) {
        if (FAILED(properties.ReadProperty(item.property, value))) return S_FALSE;
        ThrowIfFailed(List(item.kind).FromVariantArray(*value));
    }

    CAddressList& wins = List(AddressKind::WINSServers);
    if (FAILED(properties.ReadProperty(L"WINSPrimaryServer", value))) return S_FALSE;
    wins.RemoveAll();
    if (value.Type() == VT_BSTR) ThrowIfFailed(wins.Add(V_BSTR(value.Get())));
    if (FAILED(properties.ReadProperty(L"WINSSecondaryServer", value))) return S_FALSE;
    if (value.Type() == VT_BSTR) ThrowIfFailed(wins.Add(V_BSTR(value.Get())));
    return S_OK;
}

bool CNetAdapterProperty::ReadMachineLists(CAdapterSettings& settings) const {
    if (!m_configurationObject) {
        for (CStringArray& list : settings.lists) list.RemoveAll();
        return false;
    }
    return ReadAddressLists(m_configurationObject.Get(), settings);
}

std::optional<long> CNetAdapterProperty::ConfigurationIndex() const {
    if (!m_configurationObject) return std::nullopt;
    return ReadConfigurationIndex(m_configurationObject.Get());
}

CAdapterSettings CNetAdapterProperty::Settings() const {
    CAdapterSettings settings;
    settings.dhcp = m_isDhcp != VARIANT_FALSE;
    for (size_t i = 0; i < m_lists.size(); ++i) settings.lists[i].CopyFrom(m_lists[i]->Entries());
    return settings;
}

std::optional<CAdapterSettings> CNetAdapterProperty::StaticReading() const {
    CWmiPropertySet properties(m_configurationObject.Get());
    CVariant value;
    if (FAILED(properties.ReadProperty(L"DHCPEnabled", value)) || value.Type() != VT_BOOL || V_BOOL(value.Get()))
        return std::nullopt;
    CAdapterSettings machine;
    if (FAILED(properties.ReadProperty(L"IPAddress", value))) return std::nullopt;
    StringsFromVariantArray(*value, machine.List(AddressKind::IPAddresses));
    if (FAILED(properties.ReadProperty(L"DefaultIPGateway", value))) return std::nullopt;
    StringsFromVariantArray(*value, machine.List(AddressKind::GateWayAddresses));
    return machine;
}

HRESULT CNetAdapterProperty::WriteConfiguration() {
    if (!m_configurationObject) return S_FALSE;
    const CAdapterSettings planned = Settings();
    // Before DHCP, an old static gateway is cleared: the plan needs to know
    // whether there is one.
    std::optional<CAdapterSettings> machine;
    if (planned.dhcp) machine = StaticReading();
    const CWritePlan plan = CWritePlan::Make(planned, machine ? &*machine : nullptr, CWritePlan::Extent::Full);
    // What the machine answers is not looked at but where a later call depends on it.
    return plan.Stopped(RunPlan(plan, {})) ? S_FALSE : S_OK;
}

std::vector<CCallResult> CNetAdapterProperty::RunPlan(const CWritePlan& plan, const CPlanRun& how) const {
    if (!m_configurationObject) return std::vector<CCallResult>(plan.Calls().size());
    return plan.Run(m_configurationObject.Get(), how);
}

} // namespace Varquel
