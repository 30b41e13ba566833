#pragma once
#include <windows.h>
#include <wbemdisp.h>
#include <array>
#include <optional>
#include "com/StringArray.h"

namespace Varquel {

// The five address lists of an adapter's IP configuration.
enum class AddressKind { IPAddresses, SubnetMasks, GateWayAddresses, DNSAddresses, WINSServers };
inline constexpr int kAddressKinds = 5;

// What a switch plans, sets and verifies of one adapter: the mode and the
// five lists.
enum class AdapterSetting : unsigned char { Mode, IPAddresses, SubnetMasks, GateWayAddresses, DNSAddresses, WINSServers };

// Its name in a report: "Mode", "IPAddresses" ...
const wchar_t* SettingName(AdapterSetting setting) noexcept;
// The list it is; none for the mode.
std::optional<AddressKind> ListOf(AdapterSetting setting) noexcept;

// An adapter's IP configuration as values: what a profile plans, or what the
// machine shows.
struct CAdapterSettings {
    bool dhcp = false;
    std::array<CStringArray, kAddressKinds> lists;  // in the order of AddressKind

    const CStringArray& List(AddressKind kind) const noexcept { return lists[static_cast<size_t>(kind)]; }
    CStringArray& List(AddressKind kind) noexcept { return lists[static_cast<size_t>(kind)]; }
};

// The configuration's array properties and the lists they fill; WINS comes
// from two single strings, WINSPrimaryServer and WINSSecondaryServer.
struct CListProperty {
    const wchar_t* property;
    AddressKind kind;
};
inline constexpr CListProperty kListProperties[] = {
    {L"IPAddress", AddressKind::IPAddresses},
    {L"IPSubnet", AddressKind::SubnetMasks},
    {L"DefaultIPGateway", AddressKind::GateWayAddresses},
    {L"DNSServerSearchOrder", AddressKind::DNSAddresses},
};

// The five lists a configuration object holds, whatever its mode (WINS from
// WINSPrimaryServer and WINSSecondaryServer). False when a property cannot be
// read.
bool ReadAddressLists(ISWbemObject* configuration, CAdapterSettings& settings);
// DHCPEnabled and the five lists.
bool ReadAdapterSettings(ISWbemObject* configuration, CAdapterSettings& settings);
// The configuration's Index, the key that finds it again; none when it
// cannot be read.
std::optional<long> ReadConfigurationIndex(ISWbemObject* configuration);
// The settings of the configuration with that Index as the machine shows
// them now: a held object is a snapshot, so this is a query of its own (one
// round trip). False when it cannot be read.
bool ReadFreshAdapterSettings(long index, CAdapterSettings& settings);

} // namespace Varquel
