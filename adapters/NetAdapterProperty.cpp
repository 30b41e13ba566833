#include "adapters/NetAdapterProperty.h"
#include <initializer_list>
#include <utility>
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "adapters/IpText.h"
#include "wmi/WmiMethodCall.h"
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

    static constexpr struct {
        const wchar_t* property;
        AddressKind kind;
    } kArrays[] = {
        {L"IPAddress", AddressKind::IPAddresses},
        {L"IPSubnet", AddressKind::SubnetMasks},
        {L"DefaultIPGateway", AddressKind::GateWayAddresses},
        {L"DNSServerSearchOrder", AddressKind::DNSAddresses},
    };
    for (const auto& item : kArrays) {
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

bool CNetAdapterProperty::ReadMachineLists(std::array<CStringArray, kAddressKinds>& lists) const {
    for (CStringArray& list : lists) list.RemoveAll();
    if (!m_configurationObject) return false;
    CWmiPropertySet properties(m_configurationObject.Get());
    if (!properties.IsValid()) return false;
    static constexpr const wchar_t* kArrays[] = {L"IPAddress", L"IPSubnet", L"DefaultIPGateway",
                                                 L"DNSServerSearchOrder"};
    CVariant value;
    for (size_t i = 0; i < std::size(kArrays); ++i) {
        if (FAILED(properties.ReadProperty(kArrays[i], value))) return false;
        StringsFromVariantArray(*value, lists[i]);
    }
    CStringArray& wins = lists[static_cast<size_t>(AddressKind::WINSServers)];
    for (const wchar_t* server : {L"WINSPrimaryServer", L"WINSSecondaryServer"}) {
        if (FAILED(properties.ReadProperty(server, value))) return false;
        if (value.Type() == VT_BSTR) wins.AppendToNul(V_BSTR(value.Get()));
    }
    return true;
}

namespace {

// The first IPv4 entry of a list; null when it has none.
BSTR FirstIPv4(const CStringArray& entries) noexcept {
    for (LONG i = 0; i < entries.Count(); ++i)
        if (IpText::IsIPv4(entries.At(i))) return entries.At(i);
    return nullptr;
}

} // namespace

CBstr CNetAdapterProperty::GatewayClearingAddress() const {
    CWmiPropertySet properties(m_configurationObject.Get());
    CVariant value;
    if (FAILED(properties.ReadProperty(L"DHCPEnabled", value)) || value.Type() != VT_BOOL || V_BOOL(value.Get()))
        return {};
    CStringArray addresses, gateways;
    if (FAILED(properties.ReadProperty(L"IPAddress", value))) return {};
    StringsFromVariantArray(*value, addresses);
    if (FAILED(properties.ReadProperty(L"DefaultIPGateway", value))) return {};
    StringsFromVariantArray(*value, gateways);
    if (!FirstIPv4(gateways)) return {};
    return CBstr::CopyWhole(FirstIPv4(addresses));
}

HRESULT CNetAdapterProperty::WriteConfiguration(const MethodObserver* observer) {
    if (!m_configurationObject) return S_FALSE;
    ISWbemObject* configuration = m_configurationObject.Get();
    // An observer is told every method's answer; without one, only
    // EnableStatic's ReturnValue is read.
    auto told = [&](const wchar_t* method, HRESULT hr, long returnValue) {
        if (observer) (*observer)(CMethodOutcome{method, hr, returnValue});
        return hr;
    };
    auto withoutParameters = [&](const wchar_t* method) {
        long returnValue = -1;
        const HRESULT hr = ExecMethodNoParams(configuration, method, observer ? &returnValue : nullptr);
        return told(method, hr, returnValue);
    };
    // One call per method; what the machine answers is not looked at but
    // where a later call depends on it. The methods take IPv4 only and refuse
    // a whole call for one IPv6 entry, so the lists' IPv6 addresses and prefix
    // lengths, which the machine reports, stay behind. A parameter without a
    // list is left unset.
    auto send = [&](const wchar_t* method,
                    std::initializer_list<std::pair<const wchar_t*, const CStringArray*>> parameters,
                    bool answerNeeded = false) {
        CWmiMethodCall call(configuration, method);
        for (const auto& [name, list] : parameters)
            if (list) call.SetParameter(name, *VariantArrayOf(*list));
        const HRESULT hr = call.Execute();
        const long returnValue = (observer || answerNeeded) && SUCCEEDED(hr) ? call.ReturnValue() : -1;
        told(method, hr, returnValue);
        return returnValue;
    };
    auto sent = [&](AddressKind kind) { return IpText::ForIPv4Methods(List(kind).Entries()); };

    // EnableDHCP does not clear static gateways: the old one, at metric 1,
    // would win over DHCP's. It is cleared the documented way first, with the
    // adapter's own address as its only gateway.
    if (m_isDhcp) {
        if (CBstr ownAddress = GatewayClearingAddress(); !ownAddress.IsNull()) {
            CStringArray clearing;
            clearing.Append(std::move(ownAddress));
            send(L"SetGateways", {{L"DefaultIPGateway", &clearing}});
        }
    }

    if (FAILED(withoutParameters(L"ReleaseDHCPLease"))) return S_FALSE;

    const CStringArray dns = sent(AddressKind::DNSAddresses);
    if (m_isDhcp) {
        if (FAILED(withoutParameters(L"EnableDHCP"))) return S_FALSE;
        if (FAILED(withoutParameters(L"RenewDHCPLease"))) return S_FALSE;
        // No servers of its own: DNS is handed back to DHCP, which only an
        // unset parameter does.
        send(L"SetDNSServerSearchOrder", {{L"DNSServerSearchOrder", dns.Count() > 0 ? &dns : nullptr}});
    } else {
        const CStringArray addresses = sent(AddressKind::IPAddresses);
        const CStringArray masks = sent(AddressKind::SubnetMasks);
        const long enabled = send(L"EnableStatic", {{L"IPAddress", &addresses}, {L"SubnetMask", &masks}}, true);
        // No gateway: cleared the documented way, with the address just set,
        // but only once it is the adapter's (0, or 81 on a static adapter).
        CStringArray gateways = sent(AddressKind::GateWayAddresses);
        if (gateways.Count() == 0 && addresses.Count() > 0 && (enabled == 0 || enabled == 81))
            gateways.Append(addresses.At(0));
        send(L"SetGateways", {{L"DefaultIPGateway", &gateways}});
        send(L"SetDNSServerSearchOrder", {{L"DNSServerSearchOrder", &dns}});
    }

    // WINS takes a primary and a secondary server; further entries are not sent.
    CVariant servers = List(AddressKind::WINSServers).ToVariantArray();
    const ULONG count = V_ARRAY(servers.Get())->rgsabound[0].cElements;
    if (count == 0) return S_OK;
    CWmiMethodCall call(configuration, L"SetWINSServer");
    {
        CSafeArrayLock lock(V_ARRAY(servers.Get()));
        const VARIANT* elements = lock.Data<VARIANT>();
        call.SetParameter(L"WINSPrimaryServer", elements[0]);
        if (count >= 2) call.SetParameter(L"WINSSecondaryServer", elements[1]);
    }
    const HRESULT hr = call.Execute();
    told(L"SetWINSServer", hr, observer && SUCCEEDED(hr) ? call.ReturnValue() : -1);
    return S_OK;
}

} // namespace Varquel
