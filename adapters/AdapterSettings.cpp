#include "adapters/AdapterSettings.h"
#include <string>
#include "adapters/AddressList.h"
#include "com/Variant.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace Varquel {

namespace {

struct CSettingInfo {
    AdapterSetting setting;
    const wchar_t* name;
    std::optional<AddressKind> list;
};

constexpr CSettingInfo kSettings[] = {
    {AdapterSetting::Mode, L"Mode", std::nullopt},
    {AdapterSetting::IPAddresses, L"IPAddresses", AddressKind::IPAddresses},
    {AdapterSetting::SubnetMasks, L"SubnetMasks", AddressKind::SubnetMasks},
    {AdapterSetting::GateWayAddresses, L"GateWayAddresses", AddressKind::GateWayAddresses},
    {AdapterSetting::DNSAddresses, L"DNSAddresses", AddressKind::DNSAddresses},
    {AdapterSetting::WINSServers, L"WINSServers", AddressKind::WINSServers},
};

const CSettingInfo& Info(AdapterSetting setting) noexcept {
    for (const CSettingInfo& info : kSettings)
        if (info.setting == setting) return info;
    return kSettings[0];
}

} // namespace

const wchar_t* SettingName(AdapterSetting setting) noexcept { return Info(setting).name; }

std::optional<AddressKind> ListOf(AdapterSetting setting) noexcept { return Info(setting).list; }

bool ReadAddressLists(ISWbemObject* configuration, CAdapterSettings& settings) {
    for (CStringArray& list : settings.lists) list.RemoveAll();
    CWmiPropertySet properties(configuration);
    if (!properties.IsValid()) return false;
    CVariant value;
    for (const CListProperty& item : kListProperties) {
        if (FAILED(properties.ReadProperty(item.property, value))) return false;
        StringsFromVariantArray(*value, settings.List(item.kind));
    }
    CStringArray& wins = settings.List(AddressKind::WINSServers);
    for (const wchar_t* server : {L"WINSPrimaryServer", L"WINSSecondaryServer"}) {
        if (FAILED(properties.ReadProperty(server, value))) return false;
        if (value.Type() == VT_BSTR) wins.AppendToNul(V_BSTR(value.Get()));
    }
    return true;
}

bool ReadAdapterSettings(ISWbemObject* configuration, CAdapterSettings& settings) {
    CVariant dhcp;
    if (FAILED(CWmiPropertySet(configuration).ReadProperty(L"DHCPEnabled", dhcp)) || dhcp.Type() != VT_BOOL)
        return false;
    settings.dhcp = V_BOOL(dhcp.Get()) != VARIANT_FALSE;
    return ReadAddressLists(configuration, settings);
}

std::optional<long> ReadConfigurationIndex(ISWbemObject* configuration) {
    CVariant index;
    if (FAILED(CWmiPropertySet(configuration).ReadProperty(L"Index", index))) return std::nullopt;
    if (index.Type() != VT_I4 && FAILED(VariantChangeType(index.Get(), index.Get(), 0, VT_I4))) return std::nullopt;
    return V_I4(index.Get());
}

bool ReadFreshAdapterSettings(long index, CAdapterSettings& settings) {
    const std::wstring wql = L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = " + std::to_wstring(index);
    CWmiQuery query(wql.c_str());
    const Microsoft::WRL::ComPtr<ISWbemObject> configuration = query.Next();
    return configuration && ReadAdapterSettings(configuration.Get(), settings);
}

} // namespace Varquel
