#include "simulator/Machine.h"
#include <wbemcli.h>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"

namespace VarquelSim {

namespace {

using Json = CMachine::Json;

const char* const kAdapter = "Win32_NetworkAdapter";
const char* const kConfiguration = "Win32_NetworkAdapterConfiguration";
const char* const kKnownClasses[] = {kAdapter, kConfiguration, "Win32_Printer", "Win32_Proxy", "Win32_Share"};

// Method results as Windows reports them.
constexpr long kSuccess = 0;
constexpr long kShareAccessDenied = 2;
constexpr long kMethodNotSupported = 64;
constexpr long kTooManyGateways = 69;
constexpr long kInvalidSubnetMask = 66;
constexpr long kInvalidIpAddress = 70;
constexpr long kInvalidGateway = 71;
constexpr long kIpNotEnabled = 84;
constexpr long kAccessDenied = 91;
constexpr long kDhcpNotEnabled = 100;
constexpr long kInvalidShareParameter = 21;
constexpr long kDuplicateShare = 22;

// The machine-wide setting for a caller without administrator rights.
const char* const kNotElevated = "_notElevated";
// Classes this Windows does not have (Win32_Proxy since Vista).
const char* const kAbsentClasses = "_absentClasses";

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsFlag(const std::string& key) { return !key.empty() && key[0] == '_'; }

bool FlagSet(const Json& data, const char* flag) {
    auto it = data.find(flag);
    return it != data.end() && it->is_boolean() && it->get<bool>();
}

void Validate(const Json& record, const std::string& where, bool isAdapter) {
    if (!record.is_object()) throw std::invalid_argument(where + ": an instance must be a JSON object");
    for (const auto& [key, value] : record.items()) {
        if (key == "_configuration") {
            if (!isAdapter) throw std::invalid_argument(where + ": only an adapter has a _configuration");
            Validate(value, where + "._configuration", false);
        } else if (key == "_dhcpLease") {
            if (!value.is_object()) throw std::invalid_argument(where + ": _dhcpLease must be an object");
            for (const auto& [name, leased] : value.items())
                if (!IsPropertyValue(leased))
                    throw std::invalid_argument(where + "._dhcpLease." + name + ": not a property value");
        } else if (key == "_notAnObject" || key == "_noSWbemObject" || key == "_undeletable") {
            if (!value.is_boolean()) throw std::invalid_argument(where + "." + key + ": must be true or false");
        } else if (!IsFlag(key) && !IsPropertyValue(value)) {
            throw std::invalid_argument(where + "." + key + ": not a property value");
        }
    }
}

// Sets a property, keeping the spelling and position of an existing key.
void SetProperty(Json& data, const std::string& name, Json value) {
    for (auto& [key, old] : data.items()) {
        if (EqualsNoCase(key, name)) {
            old = std::move(value);
            return;
        }
    }
    data[name] = std::move(value);
}

const Json* GetProperty(const Json& data, const std::string& name) {
    for (const auto& [key, value] : data.items())
        if (!IsFlag(key) && EqualsNoCase(key, name)) return &value;
    return nullptr;
}

const VARIANT* Param(const CMachine::Parameters& in, const char* name) {
    for (const auto& [key, value] : in)
        if (EqualsNoCase(key, name)) return value;
    return nullptr;
}

bool IsNone(const VARIANT* value) { return !value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL; }

// A string list in-parameter: an array of strings or a single string; none
// is the empty list; anything else is malformed (nullopt).
std::optional<std::vector<std::string>> StringList(const VARIANT* value) {
    std::vector<std::string> list;
    if (IsNone(value)) return list;
    if (V_VT(value) == VT_BSTR) {
        list.push_back(Utf8(V_BSTR(value)));
        return list;
    }
    auto elements = ArrayElements(*value);
    if (!elements) return std::nullopt;
    for (const Varquel::CVariant& element : *elements) {
        if (element.Type() != VT_BSTR || !V_BSTR(element.Get())) return std::nullopt;
        list.push_back(Utf8(V_BSTR(element.Get())));
    }
    return list;
}

// A single string in-parameter (or the first element of an array); nullopt
// when there is none.
std::optional<std::string> SingleString(const VARIANT* value) {
    if (IsNone(value)) return std::nullopt;
    if (V_VT(value) == VT_BSTR) {
        if (!V_BSTR(value)) return std::nullopt;
        return Utf8(V_BSTR(value));
    }
    auto elements = ArrayElements(*value);
    if (!elements || elements->empty() || (*elements)[0].Type() != VT_BSTR || !V_BSTR((*elements)[0].Get()))
        return std::nullopt;
    return Utf8(V_BSTR((*elements)[0].Get()));
}

bool IsDottedQuad(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t start = i;
        int number = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) number = number * 10 + (text[i++] - '0');
        if (i == start || number > 255) return false;
        ++parts;
        if (i == text.size()) return parts == 4;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
}

bool AllDottedQuads(const std::vector<std::string>& list) {
    for (const std::string& address : list)
        if (!IsDottedQuad(address)) return false;
    return true;
}

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

// `current` with the entries of `added` that it lacks, behind its own.
std::vector<Json> Union(std::vector<Json> current, const std::vector<Json>& added,
                        std::vector<Json>* currentPaired = nullptr, const std::vector<Json>* addedPaired = nullptr) {
    for (size_t i = 0; i < added.size(); ++i) {
        if (std::find(current.begin(), current.end(), added[i]) != current.end()) continue;
        current.push_back(added[i]);
        if (currentPaired && addedPaired && i < addedPaired->size()) currentPaired->push_back((*addedPaired)[i]);
    }
    return current;
}

const Json* LeaseProperty(const Json& configuration, const char* name) {
    auto lease = configuration.find("_dhcpLease");
    return lease == configuration.end() ? nullptr : GetProperty(*lease, name);
}

// The lease gives the IPv4 addresses; static gateways and DNS servers stay,
// as Windows keeps them when DHCP is turned on, and so do IPv6 entries (a
// lease's own IPv6 entries are added where the adapter lacks them).
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
        } else if (EqualsNoCase(name, "DNSServerSearchOrder")) {
            const Json* servers = GetProperty(configuration, name);
            if (!servers || !servers->is_array() || servers->empty()) SetProperty(configuration, name, value);
        } else {
            SetProperty(configuration, name, value);
        }
    }
}

void WriteFile(const std::wstring& path, const std::string& text, const wchar_t* mode) {
    FILE* file = _wfopen(path.c_str(), mode);
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

} // namespace

// ---- Description ----

std::shared_ptr<CMachine> CMachine::FromJson(const std::string& text) {
    Json document = Json::parse(text);
    if (!document.is_object()) throw std::invalid_argument("a machine description is a JSON object");
    std::shared_ptr<CMachine> machine(new CMachine);
    for (const auto& [key, value] : document.items()) {
        if (IsFlag(key)) {
            if (key == kAbsentClasses &&
                (!value.is_array() || !std::all_of(value.begin(), value.end(), [](const Json& v) { return v.is_string(); })))
                throw std::invalid_argument(key + ": an array of class names");
            machine->m_annotations[key] = value;
            continue;
        }
        if (EqualsNoCase(key, kConfiguration))
            throw std::invalid_argument("a configuration is described inside its adapter (_configuration)");
        if (!value.is_array()) throw std::invalid_argument(key + ": a class is an array of instances");
        if (machine->FindList(key)) throw std::invalid_argument(key + ": class described twice");
        CClassList list;
        list.name = key;
        bool isAdapter = EqualsNoCase(key, kAdapter);
        for (const Json& record : value) {
            Validate(record, key + "[" + std::to_string(list.nextId) + "]", isAdapter);
            list.records.push_back({list.nextId++, record});
        }
        machine->m_classes.push_back(std::move(list));
    }
    for (const CClassList& list : machine->m_classes)
        if (machine->Absent(list.name)) throw std::invalid_argument(list.name + ": described and absent");
    return machine;
}

CMachine::Json CMachine::State() const {
    std::lock_guard lock(m_mutex);
    Json document = m_annotations;
    for (const CClassList& list : m_classes) {
        Json array = Json::array();
        for (const CRecord& record : list.records) array.push_back(record.data);
        document[list.name] = std::move(array);
    }
    return document;
}

std::string CMachine::ToJson() const { return State().dump(2) + "\n"; }

CMachine::Json CMachine::Instance(const std::string& className, long id) const {
    std::lock_guard lock(m_mutex);
    const Json* data = const_cast<CMachine*>(this)->Record(className, id);
    return data ? *data : Json(nullptr);
}

std::vector<long> CMachine::Ids(const std::string& className) const {
    std::lock_guard lock(m_mutex);
    std::vector<long> ids;
    bool configurations = EqualsNoCase(className, kConfiguration);
    if (const CClassList* list = FindList(configurations ? kAdapter : className))
        for (const CRecord& record : list->records)
            if (!configurations || record.data.contains("_configuration")) ids.push_back(record.id);
    return ids;
}

// ---- Journal and faults ----

void CMachine::ClearJournal() {
    std::lock_guard lock(m_mutex);
    m_journal.clear();
}

void CMachine::FailMethod(const std::wstring& method, HRESULT hr) {
    std::lock_guard lock(m_mutex);
    std::string key = Lower(Utf8(method.data(), method.size()));
    if (hr == S_OK) m_failMethods.erase(key);
    else m_failMethods[key] = hr;
}

void CMachine::MethodReturns(const std::wstring& method, long returnValue) {
    std::lock_guard lock(m_mutex);
    std::string key = Lower(Utf8(method.data(), method.size()));
    if (returnValue == 0) m_methodReturns.erase(key);
    else m_methodReturns[key] = returnValue;
}

void CMachine::PersistTo(const std::wstring& path) {
    std::lock_guard lock(m_mutex);
    m_persistPath = path;
}

void CMachine::JournalTo(const std::wstring& path) {
    std::lock_guard lock(m_mutex);
    m_journalPath = path;
}

CMachine::CCall::CCall(CMachine& machine)
    : m_lock(machine.m_mutex), m_failed(++machine.m_calls == machine.m_failAt) {}

void CMachine::Log(std::string line) {
    std::lock_guard lock(m_mutex);
    if (!m_journalPath.empty()) WriteFile(m_journalPath, line + "\n", L"ab");
    m_journal.push_back(std::move(line));
}

HRESULT CMachine::Reject(const std::string& what) {
    Log("reject " + what);
    return WBEM_E_INVALID_PARAMETER;
}

void CMachine::Changed() {
    if (!m_persistPath.empty()) WriteFile(m_persistPath, ToJson(), L"wb");
}

// ---- Instances ----

const CMachine::CClassList* CMachine::FindList(const std::string& name) const {
    for (const CClassList& list : m_classes)
        if (EqualsNoCase(list.name, name)) return &list;
    return nullptr;
}

CMachine::CClassList& CMachine::List(const std::string& name) {
    if (const CClassList* list = FindList(name)) return const_cast<CClassList&>(*list);
    CClassList list;
    list.name = name;
    m_classes.push_back(std::move(list));
    return m_classes.back();
}

Json* CMachine::Record(const std::string& className, long id) {
    bool configuration = EqualsNoCase(className, kConfiguration);
    const CClassList* list = FindList(configuration ? kAdapter : className);
    if (!list) return nullptr;
    for (const CRecord& record : list->records) {
        if (record.id != id) continue;
        Json& data = const_cast<Json&>(record.data);
        if (!configuration) return &data;
        auto it = data.find("_configuration");
        return it == data.end() ? nullptr : &*it;
    }
    return nullptr;
}

bool CMachine::Absent(const std::string& name) const {
    auto absent = m_annotations.find(kAbsentClasses);
    if (absent == m_annotations.end()) return false;
    return std::any_of(absent->begin(), absent->end(),
                       [&](const Json& v) { return EqualsNoCase(v.get_ref<const std::string&>(), name); });
}

std::optional<std::string> CMachine::FindClass(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    if (Absent(name)) return std::nullopt;
    if (const CClassList* list = FindList(name)) return list->name;
    for (const char* known : kKnownClasses)
        if (EqualsNoCase(known, name)) return std::string(known);
    return std::nullopt;
}

CMachine::CElement CMachine::MakeElement(const std::string& className, long id, const Json& data) const {
    CElement element{className, id, Json::object(), CElement::Form::Object};
    for (const auto& [key, value] : data.items())
        if (!IsFlag(key)) element.properties[key] = value;
    if (FlagSet(data, "_notAnObject")) element.form = CElement::Form::NotAnObject;
    else if (FlagSet(data, "_noSWbemObject")) element.form = CElement::Form::NoSWbemObject;
    return element;
}

std::vector<CMachine::CElement> CMachine::Select(
    const std::string& className, const std::optional<std::pair<std::string, std::string>>& where) const {
    std::lock_guard lock(m_mutex);
    std::vector<CElement> elements;
    bool configurations = EqualsNoCase(className, kConfiguration);
    const CClassList* list = FindList(configurations ? kAdapter : className);
    if (!list) return elements;
    for (const CRecord& record : list->records) {
        const Json* data = &record.data;
        if (configurations) {
            auto it = record.data.find("_configuration");
            if (it == record.data.end()) continue;
            data = &*it;
        }
        if (where) {
            const Json* value = GetProperty(*data, where->first);
            if (!value || !value->is_string() || !EqualsNoCase(value->get_ref<const std::string&>(), where->second))
                continue;
        }
        elements.push_back(MakeElement(configurations ? kConfiguration : list->name, record.id, *data));
    }
    return elements;
}

std::optional<CMachine::CElement> CMachine::Configuration(long adapterId) const {
    std::lock_guard lock(m_mutex);
    const Json* configuration = const_cast<CMachine*>(this)->Record(kConfiguration, adapterId);
    if (!configuration) return std::nullopt;
    return MakeElement(kConfiguration, adapterId, *configuration);
}

// ---- Methods ----

HRESULT CMachine::Execute(const std::string& className, long id, const CMethodInfo& method, const Parameters& in,
                          long& returnValue) {
    std::lock_guard lock(m_mutex);
    returnValue = 0;
    std::string key = Lower(method.name);
    if (auto fault = m_failMethods.find(key); fault != m_failMethods.end()) return fault->second;
    if (id < 0 && !method.isStatic) return WBEM_E_INVALID_OPERATION;
    Json* record = id < 0 ? nullptr : Record(className, id);
    if (id >= 0 && !record) return WBEM_E_NOT_FOUND;
    if (auto result = m_methodReturns.find(key); result != m_methodReturns.end()) {
        returnValue = result->second;
        return S_OK;
    }

    if (EqualsNoCase(method.className, kConfiguration)) {
        returnValue = RunConfigurationMethod(*record, method.name, in);
    } else if (method.name == "SetDefaultPrinter") {
        for (CRecord& printer : List(method.className).records)
            SetProperty(printer.data, "Default", printer.id == id);
        returnValue = kSuccess;
    } else if (method.name == "SetProxySetting") {
        const VARIANT* server = Param(in, "ProxyServer");
        const VARIANT* port = Param(in, "ProxyPortNumber");
        SetProperty(*record, "ProxyServer", server && V_VT(server) == VT_BSTR ? VariantToJson(*server) : Json(nullptr));
        SetProperty(*record, "ProxyPortNumber",
                    port && (V_VT(port) == VT_BSTR || V_VT(port) == VT_I4) ? VariantToJson(*port) : Json(nullptr));
        returnValue = kSuccess;
    } else {
        returnValue = RunShareMethod(id, method.name, in);
    }
    if (returnValue == kSuccess) Changed();
    return S_OK;
}

long CMachine::RunConfigurationMethod(Json& configuration, const std::string& method, const Parameters& in) {
    if (NotElevated()) return kAccessDenied;
    const Json* ipEnabled = GetProperty(configuration, "IPEnabled");
    if (ipEnabled && ipEnabled->is_boolean() && !ipEnabled->get<bool>()) return kIpNotEnabled;
    const Json* dhcp = GetProperty(configuration, "DHCPEnabled");
    const bool isDhcp = dhcp && dhcp->is_boolean() && dhcp->get<bool>();

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
        SetProperty(configuration, "DHCPEnabled", false);
        setAddresses(AsJson(*newAddresses), AsJson(*masks));
        return kSuccess;
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
        auto newGateways = StringList(Param(in, "DefaultIPGateway"));
        if (!newGateways || !AllDottedQuads(*newGateways)) return kInvalidGateway;
        if (newGateways->size() > 5) return kTooManyGateways;
        if (isDhcp) return kMethodNotSupported;
        setGateways(AsJson(*newGateways));
        return kSuccess;
    }
    if (method == "SetDNSServerSearchOrder") {
        auto servers = StringList(Param(in, "DNSServerSearchOrder"));
        if (!servers || !AllDottedQuads(*servers)) return kInvalidIpAddress;
        // No servers on DHCP: the lease's servers are the adapter's again.
        const Json* leased = servers->empty() && isDhcp ? LeaseProperty(configuration, "DNSServerSearchOrder") : nullptr;
        SetProperty(configuration, "DNSServerSearchOrder", leased ? *leased : Joined(AsJson(*servers), {}));
        return kSuccess;
    }
    // SetWINSServer: an absent or empty server clears it.
    auto primary = SingleString(Param(in, "WINSPrimaryServer"));
    auto secondary = SingleString(Param(in, "WINSSecondaryServer"));
    for (const auto& server : {primary, secondary})
        if (server && !server->empty() && !IsDottedQuad(*server)) return kInvalidIpAddress;
    SetProperty(configuration, "WINSPrimaryServer", primary && !primary->empty() ? Json(*primary) : Json(nullptr));
    SetProperty(configuration, "WINSSecondaryServer",
                secondary && !secondary->empty() ? Json(*secondary) : Json(nullptr));
    return kSuccess;
}

bool CMachine::NotElevated() const { return FlagSet(m_annotations, kNotElevated); }

void CMachine::SetNotElevated(bool notElevated) {
    std::lock_guard lock(m_mutex);
    if (notElevated) m_annotations[kNotElevated] = true;
    else m_annotations.erase(kNotElevated);
}

long CMachine::RunShareMethod(long id, const std::string& method, const Parameters& in) {
    if (NotElevated()) return kShareAccessDenied;
    CClassList& shares = List("Win32_Share");
    if (method == "Delete") {
        for (auto it = shares.records.begin(); it != shares.records.end(); ++it) {
            if (it->id != id) continue;
            if (FlagSet(it->data, "_undeletable")) return kShareAccessDenied;
            shares.records.erase(it);
            return kSuccess;
        }
        return kShareAccessDenied;
    }
    // Create
    auto name = SingleString(Param(in, "Name"));
    auto path = SingleString(Param(in, "Path"));
    const VARIANT* type = Param(in, "Type");
    if (!name || name->empty() || !path || path->empty() || !type) return kInvalidShareParameter;
    Varquel::CVariant typeValue;
    switch (V_VT(type)) {
    case VT_I4: case VT_I2: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT: case VT_UINT:
        if (FAILED(VariantChangeType(typeValue.Get(), const_cast<VARIANT*>(type), 0, VT_I4))) return kInvalidShareParameter;
        break;
    default:
        return kInvalidShareParameter;
    }
    for (const CRecord& share : shares.records) {
        const Json* existing = GetProperty(share.data, "Name");
        if (existing && existing->is_string() && EqualsNoCase(existing->get_ref<const std::string&>(), *name))
            return kDuplicateShare;
    }
    Json share = Json::object();
    share["Name"] = *name;
    share["Path"] = *path;
    share["Type"] = static_cast<long long>(V_I4(typeValue.Get()));
    if (auto description = SingleString(Param(in, "Description"))) share["Description"] = *description;
    shares.records.push_back({shares.nextId++, std::move(share)});
    return kSuccess;
}

} // namespace VarquelSim
