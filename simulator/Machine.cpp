#include "simulator/Machine.h"
#include <wbemcli.h>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include "simulator/ConfigurationMethods.h"
#include "simulator/MachineSettings.h"
#include "simulator/MethodCatalog.h"
#include "simulator/Values.h"

namespace VarquelSim {

namespace {

using Json = CMachine::Json;
using namespace Record;

const char* const kAdapter = "Win32_NetworkAdapter";
const char* const kConfiguration = "Win32_NetworkAdapterConfiguration";
const char* const kKnownClasses[] = {kAdapter, kConfiguration, "Win32_Printer", "Win32_Proxy", "Win32_Share"};

// Method results as Windows reports them.
constexpr long kSuccess = 0;
constexpr long kShareAccessDenied = 2;
constexpr long kIpNotEnabled = 84;
constexpr long kAccessDenied = 91;
constexpr long kDuplicateShare = 22;
constexpr long kInvalidShareParameter = 21;

// The machine-wide setting for a caller without administrator rights.
const char* const kNotElevated = "_notElevated";
// Classes this Windows does not have (Win32_Proxy since Vista).
const char* const kAbsentClasses = "_absentClasses";
// How long, in milliseconds, a network-configuration change takes to show.
const char* const kChangesShowAfter = "_changesShowAfter";

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
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

// Whether a required in-parameter was left NULL.
bool MissesRequired(const CMethodInfo& method, const CMachine::Parameters& in) {
    return std::any_of(method.inParameters.begin(), method.inParameters.end(), [&](const CParameterInfo& parameter) {
        return parameter.required && IsNone(Param(in, parameter.name.c_str()));
    });
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
            if (Settings::IsSetting(key)) Settings::Validate(key, value);
            if (key == kAbsentClasses &&
                (!value.is_array() || !std::all_of(value.begin(), value.end(), [](const Json& v) { return v.is_string(); })))
                throw std::invalid_argument(key + ": an array of class names");
            if (key == kChangesShowAfter && (!value.is_number_integer() || value.get<long long>() < 0))
                throw std::invalid_argument(key + ": a number of milliseconds");
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

void CMachine::MethodReturns(const std::wstring& method, long returnValue, long times) {
    std::lock_guard lock(m_mutex);
    std::string key = Lower(Utf8(method.data(), method.size()));
    if (returnValue == 0) m_methodReturns.erase(key);
    else m_methodReturns[key] = {returnValue, times > 0 ? times : 0};
}

void CMachine::ShowChangesAfter(long milliseconds) {
    std::lock_guard lock(m_mutex);
    if (milliseconds > 0) m_annotations[kChangesShowAfter] = milliseconds;
    else m_annotations.erase(kChangesShowAfter);
}

long CMachine::ShowAfter() const {
    auto found = m_annotations.find(kChangesShowAfter);
    return found != m_annotations.end() && found->is_number_integer() ? found->get<long>() : 0;
}

const Json& CMachine::Shown(long id, const Json& configuration) const {
    auto pending = m_pending.find(id);
    if (pending == m_pending.end()) return configuration;
    // Changes made within the delay do not show: the configuration as it
    // was before the oldest of them does.
    const ULONGLONG now = GetTickCount64();
    for (const CPendingChange& change : pending->second)
        if (now < change.madeAt + static_cast<ULONGLONG>(ShowAfter())) return change.before;
    return configuration;
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
    // An adapter and its configuration report the same Index, their key: the
    // record's number unless the description gives one.
    const bool configuration = EqualsNoCase(className, kConfiguration);
    if ((configuration || EqualsNoCase(className, kAdapter)) && !GetProperty(element.properties, "Index")) {
        const Json* adapter = configuration ? const_cast<CMachine*>(this)->Record(kAdapter, id) : nullptr;
        const Json* given = adapter ? GetProperty(*adapter, "Index") : nullptr;
        element.properties["Index"] = given ? *given : Json(id);
    }
    if (FlagSet(data, "_notAnObject")) element.form = CElement::Form::NotAnObject;
    else if (FlagSet(data, "_noSWbemObject")) element.form = CElement::Form::NoSWbemObject;
    return element;
}

namespace {

// A string matches a literal without case; a number matches an integer.
bool Matches(const Json* value, const CMachine::CCondition& condition) {
    if (!value) return false;
    if (condition.number)
        return value->is_number_integer() && std::to_string(value->get<long long>()) == condition.literal;
    return value->is_string() && EqualsNoCase(value->get_ref<const std::string&>(), condition.literal);
}

} // namespace

std::vector<CMachine::CElement> CMachine::Select(const std::string& className,
                                                 const std::optional<CCondition>& where) const {
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
            data = &Shown(record.id, *it);
        }
        CElement element = MakeElement(configurations ? kConfiguration : list->name, record.id, *data);
        if (where && !Matches(GetProperty(element.properties, where->property), *where)) continue;
        elements.push_back(std::move(element));
    }
    return elements;
}

std::optional<CMachine::CElement> CMachine::Configuration(long adapterId) const {
    std::lock_guard lock(m_mutex);
    const Json* configuration = const_cast<CMachine*>(this)->Record(kConfiguration, adapterId);
    if (!configuration) return std::nullopt;
    return MakeElement(kConfiguration, adapterId, Shown(adapterId, *configuration));
}

// ---- Methods ----

HRESULT CMachine::Execute(const std::string& className, long id, const CMethodInfo& method, const Parameters& in,
                          long& returnValue) {
    std::lock_guard lock(m_mutex);
    returnValue = 0;
    std::string key = Lower(method.name);
    if (auto fault = m_failMethods.find(key); fault != m_failMethods.end()) return fault->second;
    if (id < 0 && !method.isStatic) return WBEM_E_INVALID_OPERATION;
    if (id >= 0 && method.isStatic && Settings::Value(m_annotations, Settings::kStaticOnInstance) == "refused")
        return WBEM_E_INVALID_OPERATION;
    Json* record = id < 0 ? nullptr : Record(className, id);
    if (id >= 0 && !record) return WBEM_E_NOT_FOUND;
    if (auto result = m_methodReturns.find(key); result != m_methodReturns.end()) {
        returnValue = result->second.value;
        if (result->second.remaining > 0 && --result->second.remaining == 0) m_methodReturns.erase(result);
        return S_OK;
    }

    bool changed = false;
    if (EqualsNoCase(method.className, kConfiguration)) {
        // Rights first, then the adapter, then the parameters.
        if (NotElevated()) {
            if (Settings::Value(m_annotations, Settings::kAccessDenied) == "execMethod") return WBEM_E_ACCESS_DENIED;
            returnValue = kAccessDenied;
        } else if (const Json* enabled = GetProperty(*record, "IPEnabled");
                   enabled && enabled->is_boolean() && !enabled->get<bool>()) {
            returnValue = kIpNotEnabled;
        } else if (MissesRequired(method, in)) {
            returnValue = method.missingParameter;
        } else {
            Json before = ShowAfter() > 0 ? *record : Json();
            returnValue = RunConfigurationMethod(*record, method.name, in, m_annotations);
            changed = ConfigurationChanged(returnValue);
            if (changed && ShowAfter() > 0) Delay(id, std::move(before));
        }
    } else if (method.name == "SetDefaultPrinter") {
        for (CRecord& printer : List(method.className).records)
            SetProperty(printer.data, "Default", printer.id == id);
        changed = true;
    } else if (method.name == "SetProxySetting") {
        const VARIANT* server = Param(in, "ProxyServer");
        const VARIANT* port = Param(in, "ProxyPortNumber");
        SetProperty(*record, "ProxyServer", server && V_VT(server) == VT_BSTR ? VariantToJson(*server) : Json(nullptr));
        SetProperty(*record, "ProxyPortNumber",
                    port && (V_VT(port) == VT_BSTR || V_VT(port) == VT_I4) ? VariantToJson(*port) : Json(nullptr));
        changed = true;
    } else {
        returnValue = NotElevated()                ? kShareAccessDenied
                      : MissesRequired(method, in) ? method.missingParameter
                                                   : RunShareMethod(id, method.name, in);
        changed = returnValue == kSuccess;
    }
    if (changed) Changed();
    return S_OK;
}

void CMachine::Delay(long id, Json before) {
    std::vector<CPendingChange>& pending = m_pending[id];
    const ULONGLONG now = GetTickCount64();
    std::erase_if(pending, [&](const CPendingChange& change) {
        return change.madeAt + static_cast<ULONGLONG>(ShowAfter()) <= now;
    });
    pending.push_back({now, std::move(before)});
}

bool CMachine::NotElevated() const { return FlagSet(m_annotations, kNotElevated); }

void CMachine::SetNotElevated(bool notElevated) {
    std::lock_guard lock(m_mutex);
    if (notElevated) m_annotations[kNotElevated] = true;
    else m_annotations.erase(kNotElevated);
}

void CMachine::Configure(const std::string& setting, const std::string& value) {
    Settings::Validate(setting, Json(value));
    std::lock_guard lock(m_mutex);
    m_annotations[setting] = value;
}

long CMachine::RunShareMethod(long id, const std::string& method, const Parameters& in) {
    CClassList& shares = List("Win32_Share");
    if (method == "Delete") {
        // An elevated caller may delete even C$ and ADMIN$; IPC$ refuses.
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
    if (!name || name->empty() || !path || path->empty()) return kInvalidShareParameter;
    Varquel::CVariant typeValue;
    if (FAILED(VariantChangeType(typeValue.Get(), const_cast<VARIANT*>(type), 0, VT_I4))) return kInvalidShareParameter;
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
    // Without Access, Everyone may read the new share.
    share["_access"] = IsNone(Param(in, "Access")) ? "Everyone: read" : "as given";
    shares.records.push_back({shares.nextId++, std::move(share)});
    return kSuccess;
}

} // namespace VarquelSim
