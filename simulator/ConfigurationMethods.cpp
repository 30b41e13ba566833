#include "simulator/ConfigurationMethods.h"
#include <algorithm>
#include "simulator/MachineSettings.h"
#include "simulator/Values.h"

namespace VarquelSim {

using namespace Record;

namespace {

// Method results as Windows reports them.
constexpr long kSuccess = 0;
constexpr long kMethodNotSupported = 64;
constexpr long kInvalidSubnetMask = 66;
constexpr long kTooManyGateways = 69;
constexpr long kInvalidIpAddress = 70;
constexpr long kInvalidGateway = 71;
constexpr long kUnableToConfigureDhcp = 81;  // EnableStatic on a static adapter, which still succeeds
constexpr long kDhcpNotEnabled = 100;

// Windows lists an adapter's IPv4 entries first, then its IPv6 ones; an IPv6
// entry is one that holds a colon.
bool IsIPv6Entry(const Json& entry) {
    return entry.is_string() && entry.get_ref<const std::string&>().find(':') != std::string::npos;
}

// One of the configuration's address properties, split by family: IPAddress
// with IPSubnet position by position, or DefaultIPGateway alone.
struct CFamilies {
    std::vector<Json> v4, v4Paired, v6, v6Paired;
};

std::vector<Json> Entries(const Json* value) {
    std::vector<Json> entries;
    if (value && value->is_array())
        for (const Json& entry : *value) entries.push_back(entry);
    return entries;
}

CFamilies Split(const Json* values, const Json* paired = nullptr) {
    CFamilies families;
    const std::vector<Json> entries = Entries(values);
    const std::vector<Json> partners = Entries(paired);
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool v6 = IsIPv6Entry(entries[i]);
        (v6 ? families.v6 : families.v4).push_back(entries[i]);
        if (i < partners.size()) (v6 ? families.v6Paired : families.v4Paired).push_back(partners[i]);
    }
    return families;
}

// WMI reports an empty address list as no value.
Json Joined(const std::vector<Json>& first, const std::vector<Json>& second) {
    if (first.empty() && second.empty()) return Json(nullptr);
    Json array = Json::array();
    for (const Json& entry : first) array.push_back(entry);
    for (const Json& entry : second) array.push_back(entry);
    return array;
}

std::vector<Json> AsJson(const std::vector<std::string>& list) { return {list.begin(), list.end()}; }

bool Contains(const std::vector<Json>& list, const Json& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

// `current` with the entries of `added` that it lacks, behind its own.
std::vector<Json> Union(std::vector<Json> current, const std::vector<Json>& added,
                        std::vector<Json>* currentPaired = nullptr, const std::vector<Json>* addedPaired = nullptr) {
    for (size_t i = 0; i < added.size(); ++i) {
        if (Contains(current, added[i])) continue;
        current.push_back(added[i]);
        if (currentPaired && addedPaired && i < addedPaired->size()) currentPaired->push_back((*addedPaired)[i]);
    }
    return current;
}

const Json* LeaseProperty(const Json& configuration, const char* name) {
    auto lease = configuration.find("_dhcpLease");
    return lease == configuration.end() ? nullptr : GetProperty(*lease, name);
}

// What DHCP hands out for a property: the lease's value, or none.
Json Leased(const Json& configuration, const char* name) {
    const Json* leased = LeaseProperty(configuration, name);
    return leased ? *leased : Json(nullptr);
}

bool HasValue(const Json* value) { return value && !value->is_null() && !(value->is_array() && value->empty()); }

// A property that DHCP fills only where the adapter has none of its own:
// static DNS and WINS servers stay when DHCP is turned on.
const char* const kKeptWhenStatic[] = {"DNSServerSearchOrder", "WINSPrimaryServer", "WINSSecondaryServer"};

// The lease gives the IPv4 addresses; static gateways, DNS and WINS servers
// stay, as Windows keeps them when DHCP is turned on, and so do IPv6 entries
// (a lease's own IPv6 entries are added where the adapter lacks them).
void TakeLease(Json& configuration, const CFamilies& addresses, const CFamilies& gateways) {
    auto found = configuration.find("_dhcpLease");
    if (found == configuration.end()) return;
    const Json lease = *found;
    const CFamilies leased = Split(GetProperty(lease, "IPAddress"), GetProperty(lease, "IPSubnet"));
    const CFamilies leasedGateways = Split(GetProperty(lease, "DefaultIPGateway"));
    for (const auto& [name, value] : lease.items()) {
        if (EqualsNoCase(name, "IPAddress") || EqualsNoCase(name, "IPSubnet")) {
            std::vector<Json> prefixes = addresses.v6Paired;
            std::vector<Json> v6 = Union(addresses.v6, leased.v6, &prefixes, &leased.v6Paired);
            SetProperty(configuration, "IPAddress", Joined(leased.v4, v6));
            SetProperty(configuration, "IPSubnet", Joined(leased.v4Paired, prefixes));
        } else if (EqualsNoCase(name, "DefaultIPGateway")) {
            SetProperty(configuration, name,
                        Joined(Union(gateways.v4, leasedGateways.v4), Union(gateways.v6, leasedGateways.v6)));
        } else if (std::any_of(std::begin(kKeptWhenStatic), std::end(kKeptWhenStatic),
                               [&](const char* kept) { return EqualsNoCase(name, kept); })) {
            if (!HasValue(GetProperty(configuration, name))) SetProperty(configuration, name, value);
        } else {
            SetProperty(configuration, name, value);
        }
    }
}

// EnableStatic on a DHCP adapter: what DHCP handed out (its gateways, and DNS
// and WINS servers equal to the lease's) does not survive.
void DropLease(Json& configuration, const CFamilies& gateways) {
    const CFamilies leasedGateways = Split(LeaseProperty(configuration, "DefaultIPGateway"));
    std::vector<Json> kept;
    for (const Json& gateway : gateways.v4)
        if (!Contains(leasedGateways.v4, gateway)) kept.push_back(gateway);
    SetProperty(configuration, "DefaultIPGateway", Joined(kept, gateways.v6));
    for (const char* name : kKeptWhenStatic) {
        const Json* leased = LeaseProperty(configuration, name);
        const Json* value = GetProperty(configuration, name);
        if (leased && value && *leased == *value) SetProperty(configuration, name, Json(nullptr));
    }
}

std::string Setting(const Json& annotations, const char* key) { return Settings::Value(annotations, key); }

} // namespace

bool ConfigurationChanged(long returnValue) noexcept {
    return returnValue == kSuccess || returnValue == kUnableToConfigureDhcp;
}

long RunConfigurationMethod(Json& configuration, const std::string& method, const Parameters& in,
                            const Json& annotations) {
    const bool isDhcp = IsTrue(configuration, "DHCPEnabled");

    // Every method here configures IPv4 only: the adapter's IPv6 entries stay.
    const CFamilies addresses = Split(GetProperty(configuration, "IPAddress"), GetProperty(configuration, "IPSubnet"));
    const CFamilies gateways = Split(GetProperty(configuration, "DefaultIPGateway"));
    auto setAddresses = [&](const std::vector<Json>& v4, const std::vector<Json>& v4Masks) {
        SetProperty(configuration, "IPAddress", Joined(v4, addresses.v6));
        SetProperty(configuration, "IPSubnet", Joined(v4Masks, addresses.v6Paired));
    };
    auto setGateways = [&](const std::vector<Json>& v4) {
        SetProperty(configuration, "DefaultIPGateway", Joined(v4, gateways.v6));
    };

    if (method == "EnableStatic") {
        auto newAddresses = StringList(Param(in, "IPAddress"));
        auto masks = StringList(Param(in, "SubnetMask"));
        if (!newAddresses || newAddresses->empty() || !AllDottedQuads(*newAddresses)) return kInvalidIpAddress;
        if (!masks || masks->size() != newAddresses->size() || !AllDottedQuads(*masks)) return kInvalidSubnetMask;
        if (isDhcp) DropLease(configuration, gateways);
        SetProperty(configuration, "DHCPEnabled", false);
        setAddresses(AsJson(*newAddresses), AsJson(*masks));
        return isDhcp ? kSuccess : kUnableToConfigureDhcp;
    }
    if (method == "EnableDHCP" || method == "RenewDHCPLease") {
        if (method == "RenewDHCPLease" && !isDhcp) return kDhcpNotEnabled;
        SetProperty(configuration, "DHCPEnabled", true);
        TakeLease(configuration, addresses, gateways);
        return kSuccess;
    }
    if (method == "ReleaseDHCPLease") {
        if (!isDhcp) return kDhcpNotEnabled;
        setAddresses({}, {});
        setGateways({});
        return kSuccess;
    }
    if (method == "SetGateways") {
        if (isDhcp) return kMethodNotSupported;
        auto newGateways = StringList(Param(in, "DefaultIPGateway"));
        if (!newGateways || !AllDottedQuads(*newGateways)) return kInvalidGateway;
        if (newGateways->size() > 5) return kTooManyGateways;
        if (newGateways->empty()) {
            if (Setting(annotations, Settings::kEmptyGatewayList) == "clears") setGateways({});
            return kSuccess;
        }
        // The documented clearing call: the adapter's own address as the only gateway.
        if (newGateways->size() == 1 && Contains(addresses.v4, Json(newGateways->front()))) {
            const std::string leaves = Setting(annotations, Settings::kGatewayClearingLeaves);
            if (leaves == "nothing") setGateways({});
            else setGateways({Json(leaves == "address" ? newGateways->front() : leaves)});
            return kSuccess;
        }
        setGateways(AsJson(*newGateways));
        return kSuccess;
    }
    if (method == "SetDNSServerSearchOrder") {
        const VARIANT* value = Param(in, "DNSServerSearchOrder");
        auto servers = StringList(value);
        if (!servers || !AllDottedQuads(*servers)) return kInvalidIpAddress;
        const bool handBack = IsNone(value) || (servers->empty() && Setting(annotations, Settings::kEmptyDnsList) == "asNotSet");
        // Handed back, DNS is what DHCP gives: the lease's on DHCP, none on a static adapter.
        if (handBack) SetProperty(configuration, "DNSServerSearchOrder", isDhcp ? Leased(configuration, "DNSServerSearchOrder") : Json(nullptr));
        else SetProperty(configuration, "DNSServerSearchOrder", Joined(AsJson(*servers), {}));
        return kSuccess;
    }
    // SetWINSServer
    const VARIANT* secondaryValue = Param(in, "WINSSecondaryServer");
    auto primary = SingleString(Param(in, "WINSPrimaryServer"));
    auto secondary = SingleString(secondaryValue);
    for (const auto& server : {primary, secondary})
        if (server && !server->empty() && !IsDottedQuad(*server)) return kInvalidIpAddress;
    auto text = [](const std::optional<std::string>& server) {
        return server && !server->empty() ? Json(*server) : Json(nullptr);
    };
    if ((!primary || primary->empty()) && (!secondary || secondary->empty())) {
        // Empty servers hand WINS back to DHCP: the lease's on DHCP, none on a static adapter.
        for (const char* name : {"WINSPrimaryServer", "WINSSecondaryServer"})
            SetProperty(configuration, name, isDhcp ? Leased(configuration, name) : Json(nullptr));
        return kSuccess;
    }
    SetProperty(configuration, "WINSPrimaryServer", text(primary));
    if (!IsNone(secondaryValue) || Setting(annotations, Settings::kWinsSecondaryNotSet) == "clears")
        SetProperty(configuration, "WINSSecondaryServer", text(secondary));
    return kSuccess;
}

} // namespace VarquelSim
