#include "profiles/SwitchRun.h"
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include "adapters/IpText.h"
#include "com/Boundary.h"
#include "profiles/MachineState.h"
#include "wmi/WmiReturnValue.h"

namespace Varquel {

namespace {

using AddressKind = CNetAdapterProperty::AddressKind;
using Status = CApplyChange::Status;
constexpr size_t kNone = static_cast<size_t>(-1);

enum class Setting { Mode, IPAddresses, SubnetMasks, GateWayAddresses, DNSAddresses, WINSServers, DefaultPrinter };

const wchar_t* SettingName(Setting setting) noexcept {
    static constexpr const wchar_t* kNames[] = {L"Mode",         L"IPAddresses", L"SubnetMasks",   L"GateWayAddresses",
                                                L"DNSAddresses", L"WINSServers", L"DefaultPrinter"};
    return kNames[static_cast<int>(setting)];
}

// The address list a setting is; Mode and DefaultPrinter are none.
AddressKind ListOf(Setting setting) noexcept { return static_cast<AddressKind>(static_cast<int>(setting) - 1); }
bool IsList(Setting setting) noexcept { return setting != Setting::Mode && setting != Setting::DefaultPrinter; }

const wchar_t kStatic[] = L"Static";
const wchar_t kDhcp[] = L"DHCP";
const wchar_t kReleaseDhcpLease[] = L"ReleaseDHCPLease";

enum class RowKind {
    Planned,    // the switch sets it
    Unmatched,  // a stored adapter that no machine adapter takes
    LeftAlone,  // a machine adapter the profile does not mention
    NotSet,     // the profile holds nothing for it, so the machine's stays
};

// One setting the way the profile plans it.
struct CRow {
    RowKind kind = RowKind::Planned;
    Setting setting = Setting::Mode;
    size_t target = kNone;  // the machine adapter: its index in the reading planned against
    size_t work = kNone;    // the adapter of the applied profile whose methods set it
    CBstr adapter;
    CBstr connection;
    CStringArray planned;
    bool machineDecides = false;            // DNS on DHCP with no servers: the DHCP server's
    std::vector<const wchar_t*> methods;    // that set it, in order
    const wchar_t* principal = nullptr;     // the method named in the report
};

// What the machine answered while a profile was applied.
struct COutcomes {
    std::vector<std::vector<CMethodOutcome>> adapters;  // by the applied profile's adapter index
    std::vector<CMethodOutcome> printer;
};

CStringArray One(const wchar_t* text) {
    CStringArray entries;
    entries.Append(CBstr(text));
    return entries;
}

CStringArray Copy(const CStringArray& entries) {
    CStringArray copy;
    copy.CopyFrom(entries);
    return copy;
}

std::wstring Joined(const CStringArray& entries) {
    std::wstring text;
    for (LONG i = 0; i < entries.Count(); ++i) {
        if (i > 0) text += L", ";
        if (const BSTR entry = entries.At(i)) text.append(entry, SysStringLen(entry));
    }
    return text;
}

bool Same(const CStringArray& a, const CStringArray& b) noexcept {
    if (a.Count() != b.Count()) return false;
    for (LONG i = 0; i < a.Count(); ++i)
        if (VarBstrCmp(a.At(i), b.At(i), LOCALE_USER_DEFAULT, 0) != VARCMP_EQ) return false;
    return true;
}

bool Holds(const CStringArray& entries, BSTR entry) noexcept {
    for (LONG i = 0; i < entries.Count(); ++i)
        if (VarBstrCmp(entries.At(i), entry, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ) return true;
    return false;
}

// What the methods take of a setting's entries: the IPv4-only methods leave
// IPv6 entries and prefix lengths out; WINS takes the first two servers, an
// empty one clearing its place.
CStringArray Sent(const CStringArray& entries, Setting setting) {
    if (setting == Setting::WINSServers) {
        CStringArray servers;
        for (LONG i = 0; i < entries.Count() && i < 2; ++i)
            if (SysStringLen(entries.At(i)) > 0) servers.Append(entries.At(i));
        return servers;
    }
    return IsList(setting) ? IpText::ForIPv4Methods(entries) : Copy(entries);
}

// The planned entries that the methods cannot take and the machine does not hold.
CStringArray LeftOut(const CStringArray& planned, const CStringArray& machine, Setting setting) {
    CStringArray left;
    if (!IsList(setting) || setting == Setting::WINSServers) return left;
    const CStringArray sent = Sent(planned, setting);
    for (LONG i = 0; i < planned.Count(); ++i)
        if (!Holds(sent, planned.At(i)) && !Holds(machine, planned.At(i))) left.Append(planned.At(i));
    return left;
}

// The same adapter in another reading: equal Name, and as many of that Name before it.
size_t Counterpart(const CMachineState& in, const CMachineState& from, size_t index) noexcept {
    if (index == kNone || index >= from.Adapters().size()) return kNone;
    const BSTR name = from.Adapters()[index].name.Get();
    size_t occurrence = 0;
    for (size_t i = 0; i < index; ++i)
        if (VarBstrCmp(from.Adapters()[i].name.Get(), name, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ) ++occurrence;
    for (size_t i = 0; i < in.Adapters().size(); ++i) {
        if (VarBstrCmp(in.Adapters()[i].name.Get(), name, LOCALE_USER_DEFAULT, 0) != VARCMP_EQ) continue;
        if (occurrence-- == 0) return i;
    }
    return kNone;
}

// The setting's value on the machine; false when it could not be read.
bool MachineValue(const CMachineState& state, size_t adapter, Setting setting, CStringArray& value) {
    value.RemoveAll();
    if (setting == Setting::DefaultPrinter) {
        if (SysStringLen(state.DefaultPrinter()) > 0) value.Append(state.DefaultPrinter());
        return true;
    }
    if (adapter == kNone || adapter >= state.Adapters().size() || !state.Adapters()[adapter].read) return false;
    const CAdapterState& adapterState = state.Adapters()[adapter];
    if (setting == Setting::Mode)
        value.Append(CBstr(adapterState.dhcp ? kDhcp : kStatic));
    else
        value.CopyFrom(adapterState.lists[static_cast<size_t>(ListOf(setting))]);
    return true;
}

// ---- Planning ----

class CPlanner {
public:
    explicit CPlanner(const CMachineState& state) : m_state(state) {}

    std::vector<CRow> Plan(const CNetProfile& profile) {
        const CNetAdaptersList& list = profile.Adapters();
        const auto& adapters = list.Adapters();
        std::vector<bool> targeted(m_state.Adapters().size(), false);
        if (!list.Detected()) {
            // Stored adapters meet the machine's as Apply matches them; the
            // machine's adapters then stand in the order of detection.
            std::vector<BSTR> machine;
            for (const CAdapterState& adapter : m_state.Adapters()) machine.push_back(adapter.name.Get());
            const std::vector<BSTR> stored = CNetAdaptersList::Names(adapters);
            const auto matches = CNetAdaptersList::MatchByName(machine, stored);
            std::vector<bool> used(adapters.size(), false);
            for (size_t m = 0; m < matches.size(); ++m) {
                if (!matches[m]) continue;
                used[*matches[m]] = true;
                targeted[m] = true;
                PlanAdapter(*adapters[*matches[m]].Get(), m, m, RowKind::Planned);
            }
            for (size_t m = 0; m < matches.size(); ++m)
                if (!matches[m]) LeftAlone(m);
            for (size_t s = 0; s < adapters.size(); ++s)
                if (!used[s]) PlanAdapter(*adapters[s].Get(), kNone, kNone, RowKind::Unmatched);
        } else {
            // A captured profile applies its own adapters; the reading tells
            // how each stands now.
            std::vector<size_t> seen;
            for (size_t a = 0; a < adapters.size(); ++a) {
                const size_t target = Find(adapters[a]->Name(), seen);
                if (target != kNone) targeted[target] = true;
                if (list.HoldsNoSettings(adapters[a].Get())) {
                    if (target != kNone) LeftAlone(target);
                    continue;
                }
                PlanAdapter(*adapters[a].Get(), target, a, RowKind::Planned);
            }
            for (size_t m = 0; m < targeted.size(); ++m)
                if (!targeted[m]) LeftAlone(m);
        }
        PlanPrinter(profile);
        return std::move(m_rows);
    }

private:
    // The first machine adapter of that Name not yet taken.
    size_t Find(BSTR name, std::vector<size_t>& seen) const {
        for (size_t i = 0; i < m_state.Adapters().size(); ++i) {
            if (std::find(seen.begin(), seen.end(), i) != seen.end()) continue;
            if (VarBstrCmp(m_state.Adapters()[i].name.Get(), name, LOCALE_USER_DEFAULT, 0) != VARCMP_EQ) continue;
            seen.push_back(i);
            return i;
        }
        return kNone;
    }

    CRow& Add(const CNetAdapterProperty* source, size_t target, size_t work, RowKind kind, Setting setting) {
        CRow& row = m_rows.emplace_back();
        row.kind = kind;
        row.setting = setting;
        row.target = target;
        row.work = work;
        if (target != kNone) {
            row.adapter = m_state.Adapters()[target].name;
            row.connection = m_state.Adapters()[target].connection;
        } else if (source) {
            row.adapter = CBstr::CopyWhole(source->Name());
            row.connection = CBstr::CopyWhole(source->NetConnectionID());
        }
        return row;
    }

    // The settings an adapter's Apply sets, with the methods that set them.
    void PlanAdapter(const CNetAdapterProperty& source, size_t target, size_t work, RowKind kind) {
        const bool dhcp = source.IsDhcp() != VARIANT_FALSE;
        CRow& mode = Add(&source, target, work, kind, Setting::Mode);
        mode.planned = One(dhcp ? kDhcp : kStatic);
        mode.methods = dhcp ? std::vector<const wchar_t*>{kReleaseDhcpLease, L"EnableDHCP", L"RenewDHCPLease"}
                            : std::vector<const wchar_t*>{kReleaseDhcpLease, L"EnableStatic"};
        mode.principal = dhcp ? L"EnableDHCP" : L"EnableStatic";
        auto list = [&](Setting setting, const wchar_t* method) -> CRow& {
            CRow& row = Add(&source, target, work, kind, setting);
            row.planned.CopyFrom(source.List(ListOf(setting)).Entries());
            row.methods = {method};
            row.principal = method;
            return row;
        };
        if (!dhcp) {
            list(Setting::IPAddresses, L"EnableStatic");
            list(Setting::SubnetMasks, L"EnableStatic");
            list(Setting::GateWayAddresses, L"SetGateways");
        }
        CRow& dns = list(Setting::DNSAddresses, L"SetDNSServerSearchOrder");
        dns.machineDecides = dhcp && dns.planned.Count() == 0;
        CRow& wins = list(Setting::WINSServers, L"SetWINSServer");
        // An empty WINS list sends nothing: the machine keeps its servers.
        if (wins.planned.Count() == 0 && kind == RowKind::Planned) {
            wins.kind = RowKind::NotSet;
            wins.methods.clear();
        }
    }

    void LeftAlone(size_t target) {
        CRow& row = Add(nullptr, target, kNone, RowKind::LeftAlone, Setting::Mode);
        MachineValue(m_state, target, Setting::Mode, row.planned);
    }

    void PlanPrinter(const CNetProfile& profile) {
        CRow& row = m_rows.emplace_back();
        row.setting = Setting::DefaultPrinter;
        const BSTR deviceId = profile.Printers().DefaultDeviceId();
        if (SysStringLen(deviceId) == 0) {
            row.kind = RowKind::NotSet;
            return;
        }
        row.planned.Append(deviceId);
        row.methods = {L"SetDefaultPrinter"};
        row.principal = L"SetDefaultPrinter";
    }

    const CMachineState& m_state;
    std::vector<CRow> m_rows;
};

// ---- Applying ----

COutcomes ApplyKeepingAnswers(CNetProfile& work) {
    COutcomes outcomes;
    CNetAdaptersList& list = work.Adapters();
    const CNetAdaptersList::AdapterObserver onAdapter = [&](const CNetAdapterProperty& adapter,
                                                            const CMethodOutcome& outcome) {
        const auto& adapters = list.Adapters();
        for (size_t i = 0; i < adapters.size(); ++i) {
            if (adapters[i].Get() != &adapter) continue;
            if (outcomes.adapters.size() <= i) outcomes.adapters.resize(adapters.size());
            outcomes.adapters[i].push_back(outcome);
        }
    };
    const MethodObserver onPrinter = [&](const CMethodOutcome& outcome) { outcomes.printer.push_back(outcome); };
    // The parts go on whatever the other did, as the profile's own Apply does.
    Tolerate([&] { list.ApplyToMachine(&onAdapter); });
    Tolerate([&] { work.Printers().ApplyToMachine(&onPrinter); });
    return outcomes;
}

// A stored profile's adapters meet the machine's only when it is applied, in
// a detection of its own: the rows planned against the reading find their
// adapter there by Name (the first, second... of that Name).
void FindAppliedAdapters(std::vector<CRow>& rows, const CNetProfile& applied, const CMachineState& reading) {
    const auto& adapters = applied.Adapters().Adapters();
    for (CRow& row : rows) {
        if (row.target == kNone || row.setting == Setting::DefaultPrinter) continue;
        const BSTR name = reading.Adapters()[row.target].name.Get();
        size_t occurrence = 0;
        for (size_t i = 0; i < row.target; ++i)
            occurrence += VarBstrCmp(reading.Adapters()[i].name.Get(), name, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
        row.work = kNone;
        for (size_t i = 0; i < adapters.size() && row.work == kNone; ++i)
            if (VarBstrCmp(adapters[i]->Name(), name, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ && occurrence-- == 0)
                row.work = i;
    }
}

const std::vector<CMethodOutcome>& OutcomesOf(const COutcomes& outcomes, const CRow& row) {
    static const std::vector<CMethodOutcome> none;
    if (row.setting == Setting::DefaultPrinter) return outcomes.printer;
    return row.work < outcomes.adapters.size() ? outcomes.adapters[row.work] : none;
}

bool Succeeded(const CMethodOutcome& outcome, Setting setting) noexcept {
    if (FAILED(outcome.hr)) return false;
    if (outcome.returnValue == -1) return true;  // no answer but success
    // Releasing the lease of a static adapter is refused, as expected.
    if (std::wcscmp(outcome.method, kReleaseDhcpLease) == 0 && outcome.returnValue == 100) return true;
    // An adapter that was static already: the addresses are set all the same.
    if (std::wcscmp(outcome.method, L"EnableStatic") == 0 && outcome.returnValue == 81) return true;
    return ReturnValueSucceeded(setting == Setting::DefaultPrinter ? WmiMethodFamily::Printer
                                                                   : WmiMethodFamily::AdapterConfiguration,
                                outcome.returnValue);
}

std::wstring FailureText(const CMethodOutcome& outcome, Setting setting) {
    if (FAILED(outcome.hr)) {
        wchar_t text[64];
        std::swprintf(text, std::size(text), L"the call failed (0x%08lX)", static_cast<unsigned long>(outcome.hr));
        return text;
    }
    return ReturnValueMessage(setting == Setting::DefaultPrinter ? WmiMethodFamily::Printer
                                                                 : WmiMethodFamily::AdapterConfiguration,
                              outcome.returnValue);
}

// How the methods of a row fared.
struct CMethodsVerdict {
    const CMethodOutcome* failed = nullptr;     // the first that failed
    const CMethodOutcome* principal = nullptr;  // the one the report names
    const wchar_t* missing = nullptr;           // a method that did not run
};

CMethodsVerdict Judge(const CRow& row, const std::vector<CMethodOutcome>& ran) {
    CMethodsVerdict verdict;
    for (const wchar_t* method : row.methods) {
        auto found = std::find_if(ran.begin(), ran.end(),
                                  [&](const CMethodOutcome& o) { return std::wcscmp(o.method, method) == 0; });
        if (found == ran.end()) {
            if (!verdict.missing) verdict.missing = method;
            continue;
        }
        if (!verdict.failed && !Succeeded(*found, row.setting)) verdict.failed = &*found;
        if (std::wcscmp(method, row.principal) == 0) verdict.principal = &*found;
    }
    return verdict;
}

// Whether the machine shows the planned setting; a setting the machine
// decides (DNS of a DHCP adapter without servers) always does.
bool ShowsPlanned(const CRow& row, const CMachineState& state, size_t adapter) {
    if (row.machineDecides) return true;
    CStringArray value;
    return MachineValue(state, adapter, row.setting, value) && Same(Sent(value, row.setting), Sent(row.planned, row.setting));
}

// Verification: the machine takes time to show a change, so it is read again
// until every setting whose methods succeeded shows as planned, or the wait
// ends.
CMachineState ReadBack(const std::vector<CRow>& rows, const CMachineState& before, const COutcomes& outcomes,
                       DWORD timeout) {
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        CMachineState after = CMachineState::Read();
        const bool settled = std::all_of(rows.begin(), rows.end(), [&](const CRow& row) {
            if (row.kind != RowKind::Planned) return true;
            const CMethodsVerdict verdict = Judge(row, OutcomesOf(outcomes, row));
            if (verdict.failed || verdict.missing) return true;  // it will not show
            return ShowsPlanned(row, after, Counterpart(after, before, row.target));
        });
        const ULONGLONG now = GetTickCount64();
        if (settled || now >= deadline) return after;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(250, deadline - now)));
    }
}

// ---- The report ----

CBstr Text(const std::wstring& text) { return CBstr(text.c_str(), static_cast<UINT>(text.size())); }

// One change of the report. `after` and `outcomes` are null for a preview.
CApplyChange::CData Evaluate(const CRow& row, const CMachineState& before, const CMachineState* after,
                             const COutcomes* outcomes) {
    CApplyChange::CData data;
    data.adapter = row.adapter;
    data.netConnectionId = row.connection;
    data.setting = CBstr(SettingName(row.setting));
    CStringArray beforeValue, afterValue;
    const bool beforeRead = MachineValue(before, row.target, row.setting, beforeValue);
    data.before = Text(beforeRead ? Joined(beforeValue) : std::wstring());
    const size_t afterIndex = after ? Counterpart(*after, before, row.target) : kNone;
    const bool afterRead = after && MachineValue(*after, afterIndex, row.setting, afterValue);
    if (afterRead) data.after = Text(Joined(afterValue));
    data.planned = Text(row.machineDecides ? std::wstring(L"(from DHCP)") : Joined(row.planned));
    if (row.principal) data.wmiMethod = CBstr(row.principal);

    auto set = [&](long status, const std::wstring& message) {
        data.status = status;
        data.message = Text(message);
    };
    switch (row.kind) {
    case RowKind::Unmatched:
        set(Status::kNotApplied, L"not applied: no adapter of this name on the machine");
        return data;
    case RowKind::LeftAlone:
        data.planned = data.before;
        set(Status::kAlreadyAsPlanned, L"not in the profile: left as it is");
        return data;
    case RowKind::NotSet:
        data.planned = data.before;
        set(Status::kAlreadyAsPlanned, row.setting == Setting::DefaultPrinter
                                           ? L"the profile holds no default printer: the machine's stays"
                                           : L"the profile holds no WINS servers: the machine's stay");
        return data;
    case RowKind::Planned:
        break;
    }
    if (row.target == kNone && row.setting != Setting::DefaultPrinter && !outcomes) {
        set(Status::kNotApplied, L"not applied: no adapter of this name on the machine");
        return data;
    }
    const bool alreadyPlanned = beforeRead && ShowsPlanned(row, before, row.target);
    const CStringArray leftOut = LeftOut(row.planned, after ? afterValue : beforeValue, row.setting);
    auto notTaken = [&] {
        set(Status::kNotApplied,
            L"not applied: IPv6 entries are not set by the IPv4 methods (" + Joined(leftOut) + L")");
    };
    if (!outcomes) {  // a preview
        if (alreadyPlanned && leftOut.Count() > 0) notTaken();
        else set(alreadyPlanned ? Status::kAlreadyAsPlanned : Status::kChanged,
                 alreadyPlanned ? L"already as planned" : L"would change");
        return data;
    }
    const CMethodsVerdict verdict = Judge(row, OutcomesOf(*outcomes, row));
    if (verdict.principal) data.wmiReturnValue = verdict.principal->returnValue;
    if (verdict.failed) {
        data.wmiMethod = CBstr(verdict.failed->method);
        data.wmiReturnValue = verdict.failed->returnValue;
        set(Status::kFailed, FailureText(*verdict.failed, row.setting));
    } else if (verdict.missing) {
        set(Status::kFailed, row.setting == Setting::DefaultPrinter
                                 ? std::wstring(L"not set: no printer of this DeviceID on the machine")
                                 : L"not set: " + std::wstring(verdict.missing) + L" did not run");
    } else if (!afterRead || !ShowsPlanned(row, *after, afterIndex)) {
        set(Status::kFailed, afterRead ? L"the machine shows " + (Joined(afterValue).empty() ? std::wstring(L"nothing")
                                                                                             : Joined(afterValue))
                                       : std::wstring(L"the machine could not be read back"));
    } else if (leftOut.Count() > 0) {
        notTaken();
    } else {
        set(alreadyPlanned ? Status::kAlreadyAsPlanned : Status::kChanged,
            alreadyPlanned ? L"already as planned" : L"changed");
    }
    return data;
}

struct CEvaluated {
    std::vector<ComPtr<CApplyChange>> changes;
    bool failed = false;
    bool accessDenied = false;
};

CEvaluated EvaluateAll(const std::vector<CRow>& rows, const CMachineState& before, const CMachineState* after,
                       const COutcomes* outcomes) {
    CEvaluated evaluated;
    for (const CRow& row : rows) {
        CApplyChange::CData data = Evaluate(row, before, after, outcomes);
        evaluated.failed = evaluated.failed || data.status == Status::kFailed;
        evaluated.accessDenied = evaluated.accessDenied || (data.status == Status::kFailed && data.wmiReturnValue == 91);
        evaluated.changes.push_back(CApplyChange::Make(std::move(data)));
    }
    return evaluated;
}

// A few lines per adapter: each setting with its value before, the planned
// value and the verdict.
std::wstring Summary(const std::vector<ComPtr<CApplyChange>>& changes) {
    std::wstring text;
    const CApplyChange::CData* group = nullptr;
    auto same = [](const CBstr& a, const CBstr& b) {
        return VarBstrCmp(a.Get(), b.Get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
    };
    auto view = [](const CBstr& text) { return std::wstring(text.Get() ? text.Get() : L"", text.Length()); };
    for (const ComPtr<CApplyChange>& change : changes) {
        const CApplyChange::CData& data = change->Data();
        const bool printer = view(data.setting) == L"DefaultPrinter";
        if (printer) {
            text += L"Default printer: ";
        } else {
            if (!group || !same(group->adapter, data.adapter) || !same(group->netConnectionId, data.netConnectionId))
                text += view(data.netConnectionId) + L" (" + view(data.adapter) + L"):\n";
            group = &data;
            text += L"  " + view(data.setting) + L": ";
        }
        text += data.before.IsEmpty() ? L"(none)" : view(data.before);
        if (!same(data.before, data.planned))
            text += L" -> " + (data.planned.IsEmpty() ? L"(none)" : view(data.planned));
        text += std::wstring(data.status == Status::kFailed ? L": failed: " : L": ") + view(data.message) + L"\n";
    }
    return text;
}

std::wstring Quoted(BSTR name) { return L"\"" + std::wstring(name ? name : L"", SysStringLen(name)) + L"\""; }

// What a snapshot cannot put back: GetCurrent does not read the lists of an
// adapter on DHCP, so the DNS and WINS servers it had stay unknown.
std::wstring NotRestorable(const CMachineState& snapshot, const std::vector<bool>& touched) {
    std::wstring text;
    for (size_t i = 0; i < snapshot.Adapters().size() && i < touched.size(); ++i) {
        const CAdapterState& adapter = snapshot.Adapters()[i];
        if (!touched[i] || !adapter.dhcp || !adapter.read) continue;
        for (AddressKind kind : {AddressKind::DNSAddresses, AddressKind::WINSServers}) {
            const CStringArray& list = adapter.lists[static_cast<size_t>(kind)];
            if (list.Count() == 0) continue;
            text += L"A snapshot does not hold the " + std::wstring(SettingName(static_cast<Setting>(static_cast<int>(kind) + 1))) +
                    L" of an adapter on DHCP: " + std::wstring(adapter.connection.Get() ? adapter.connection.Get() : L"") +
                    L" had " + Joined(list) + L", and DHCP decides them after a rollback.\n";
        }
    }
    return text;
}

bool SameAdapterState(const CAdapterState& a, const CAdapterState& b) {
    if (a.read != b.read || a.dhcp != b.dhcp) return false;
    for (size_t i = 0; i < a.lists.size(); ++i)
        if (!Same(a.lists[i], b.lists[i])) return false;
    return true;
}

// What a rollback puts back: the adapters of the reading planned against
// that the apply worked on and that the machine shows changed, and the
// default printer when it changed.
void Touched(const std::vector<CRow>& rows, const COutcomes& outcomes, const CMachineState& before,
             const CMachineState& after, std::vector<bool>& adapters, bool& printer) {
    adapters.assign(before.Adapters().size(), false);
    printer = !outcomes.printer.empty() &&
              VarBstrCmp(before.DefaultPrinter(), after.DefaultPrinter(), LOCALE_USER_DEFAULT, 0) != VARCMP_EQ;
    for (const CRow& row : rows) {
        if (row.target == kNone || row.target >= adapters.size() || OutcomesOf(outcomes, row).empty()) continue;
        const size_t now = Counterpart(after, before, row.target);
        adapters[row.target] = now == kNone || !SameAdapterState(before.Adapters()[row.target], after.Adapters()[now]);
    }
}

// Puts a snapshot's touched adapters and printer back, as its own Apply does.
struct CRestored {
    std::vector<CRow> rows;
    CMachineState after;
    COutcomes outcomes;
};

CRestored Restore(const CNetProfile& snapshot, const std::vector<bool>& touchedAdapters, bool touchedPrinter,
                  const CMachineState& now, DWORD timeout) {
    const ComPtr<CNetProfile> work = snapshot.Duplicate();
    const auto& adapters = work->Adapters().Adapters();
    for (size_t i = 0; i < adapters.size(); ++i)
        if (i >= touchedAdapters.size() || !touchedAdapters[i]) work->Adapters().LeaveAlone(*adapters[i].Get());
    if (!touchedPrinter) work->Printers().ForgetDefault();
    CRestored restored{CPlanner(now).Plan(*work.Get()), CMachineState(), COutcomes()};
    restored.outcomes = ApplyKeepingAnswers(*work.Get());
    restored.after = ReadBack(restored.rows, now, restored.outcomes, timeout);
    return restored;
}

std::wstring Counted(size_t count, const wchar_t* what) {
    return std::to_wstring(count) + L" " + what + (count == 1 ? L"" : L"s");
}

} // namespace

ComPtr<CApplyReport> CSwitchRun::Preview(const CNetProfile& profile) {
    const CMachineState now = CMachineState::Read();
    const std::vector<CRow> rows = CPlanner(now).Plan(profile);
    CApplyReport::CData data;
    data.preview = true;
    data.changes = EvaluateAll(rows, now, nullptr, nullptr).changes;
    size_t changing = 0, notApplied = 0;
    for (const auto& change : data.changes) {
        changing += change->Data().status == Status::kChanged ? 1 : 0;
        notApplied += change->Data().status == Status::kNotApplied ? 1 : 0;
    }
    data.text = Text(L"Preview of " + Quoted(profile.Name()) + L": " + Counted(changing, L"setting") +
                     L" would change, " + Counted(notApplied, L"setting") + L" cannot be applied.\n" +
                     Summary(data.changes));
    return CApplyReport::Make(std::move(data));
}

ComPtr<CApplyReport> CSwitchRun::Apply(const CNetProfile& profile, const COptions& options) {
    const CMachineState before = CMachineState::Read();
    std::vector<CRow> rows = CPlanner(before).Plan(profile);
    const ComPtr<CNetProfile> work = profile.Duplicate();
    const COutcomes outcomes = ApplyKeepingAnswers(*work.Get());
    if (!profile.Adapters().Detected()) FindAppliedAdapters(rows, *work.Get(), before);
    const CMachineState after = ReadBack(rows, before, outcomes, options.verifyTimeout);
    CEvaluated evaluated = EvaluateAll(rows, before, &after, &outcomes);

    CApplyReport::CData data;
    data.before = before.Profile();
    data.changes = std::move(evaluated.changes);
    data.succeeded = !evaluated.failed;
    Touched(rows, outcomes, before, after, data.touchedAdapters, data.touchedPrinter);
    data.notRestorable = Text(NotRestorable(before, data.touchedAdapters));

    size_t failed = 0;
    for (const auto& change : data.changes) failed += change->Data().status == Status::kFailed ? 1 : 0;
    std::wstring text = L"Switch to " + Quoted(profile.Name()) + L": " +
                        (failed == 0 ? std::wstring(L"succeeded") : Counted(failed, L"setting") + L" failed") + L".\n";
    if (evaluated.accessDenied) text += L"Administrator rights are needed to change the network configuration.\n";
    std::wstring rollback;
    if (evaluated.failed && options.rollBackOnFailure) {
        const CRestored restored = Restore(*before.Profile().Get(), data.touchedAdapters, data.touchedPrinter, after,
                                           options.verifyTimeout);
        const CEvaluated check = EvaluateAll(restored.rows, after, &restored.after, &restored.outcomes);
        data.rolledBack = !check.failed;
        if (data.rolledBack) {
            rollback = L"Rolled back: what the switch changed is as it was before.\n";
        } else {
            rollback = L"The rollback failed too; not restored:\n";
            for (const auto& change : check.changes)
                if (change->Data().status == Status::kFailed)
                    rollback += L"  " + std::wstring(change->Data().netConnectionId.Get() ? change->Data().netConnectionId.Get() : L"") +
                                L" " + std::wstring(change->Data().setting.Get()) + L": " +
                                std::wstring(change->Data().message.Get() ? change->Data().message.Get() : L"") + L"\n";
        }
        rollback += std::wstring(data.notRestorable.Get(), data.notRestorable.Length());
    }
    data.text = Text(text + Summary(data.changes) + rollback);
    return CApplyReport::Make(std::move(data));
}

ComPtr<CApplyReport> CSwitchRun::Rollback(const CApplyReport& report, const COptions& options) {
    const CApplyReport::CData& previous = report.Data();
    const CMachineState before = CMachineState::Read();
    const CRestored restored =
        Restore(*previous.before.Get(), previous.touchedAdapters, previous.touchedPrinter, before, options.verifyTimeout);
    CEvaluated evaluated = EvaluateAll(restored.rows, before, &restored.after, &restored.outcomes);
    CApplyReport::CData data;
    data.before = before.Profile();
    data.changes = std::move(evaluated.changes);
    data.succeeded = !evaluated.failed;
    Touched(restored.rows, restored.outcomes, before, restored.after, data.touchedAdapters, data.touchedPrinter);
    data.text = Text(L"Rollback: " + std::wstring(data.succeeded ? L"the machine is as it was before the switch.\n"
                                                                  : L"some settings could not be restored.\n") +
                     Summary(data.changes) + std::wstring(previous.notRestorable.Get(), previous.notRestorable.Length()));
    data.notRestorable = previous.notRestorable;
    return CApplyReport::Make(std::move(data));
}

} // namespace Varquel
