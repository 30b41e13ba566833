#include "profiles/SwitchPlan.h"
#include <algorithm>
#include <span>
#include "com/TextCompare.h"
#include "profiles/SwitchText.h"

namespace Varquel {

namespace {

using Setting = AdapterSetting;

constexpr Setting kStaticSettings[] = {Setting::Mode,          Setting::IPAddresses,   Setting::SubnetMasks,
                                       Setting::GateWayAddresses, Setting::DNSAddresses, Setting::WINSServers};
// DHCP decides a DHCP adapter's addresses, masks and gateways.
constexpr Setting kDhcpSettings[] = {Setting::Mode, Setting::DNSAddresses, Setting::WINSServers};

bool Equal(BSTR a, BSTR b) noexcept { return CStringArray::SameEntry(a, b); }

bool SameSettings(const CAdapterSettings& a, const CAdapterSettings& b) noexcept {
    if (a.dhcp != b.dhcp) return false;
    for (size_t i = 0; i < a.lists.size(); ++i)
        if (!a.lists[i].SameEntries(b.lists[i])) return false;
    return true;
}

bool Writes(const CPlannedCall& call, Setting setting) {
    return std::find(call.writes.begin(), call.writes.end(), setting) != call.writes.end();
}

// Planned entries that no method takes and the machine does not hold either.
std::wstring NotTaken(Setting setting, const CAdapterSettings& planned, const CAdapterSettings& machine) {
    const std::optional<AddressKind> kind = ListOf(setting);
    if (!kind) return {};
    const CStringArray notSent = CWritePlan::NotSent(setting, planned);
    const CStringArray& held = machine.List(*kind);
    CStringArray left;
    for (LONG i = 0; i < notSent.Count(); ++i)
        if (!held.Holds(notSent.At(i))) left.Append(notSent.At(i));
    return SwitchText::Joined(left);
}

std::wstring View(BSTR text) { return std::wstring(TextOf(text)); }

} // namespace

bool CAdapterTarget::Ran() const noexcept {
    return std::any_of(results.begin(), results.end(), [](const CCallResult& result) { return result.ran; });
}

std::vector<AdapterSetting> CAdapterTarget::Written(bool pending) const {
    std::vector<Setting> written;
    for (Setting setting : kStaticSettings) {
        bool any = false, all = true, afterRestart = false;
        for (size_t i = 0; i < plan.Calls().size(); ++i) {
            if (!Writes(plan.Calls()[i], setting)) continue;
            any = true;
            const bool ran = i < results.size() && results[i].ran;
            all = all && ran && CallSucceeded(plan.Calls()[i], results[i]);
            afterRestart = afterRestart ||
                           (ran && VerdictOf(plan.Calls()[i].method, results[i].answer) == WmiVerdict::RestartNeeded);
        }
        // What shows only after a restart is not waited for.
        if (any && all && (pending || !afterRestart)) written.push_back(setting);
    }
    return written;
}

CAdapterSettings CAdapterTarget::Now() const {
    CAdapterSettings now = after ? *after : machine;
    for (Setting setting : Written(true)) {
        if (const std::optional<AddressKind> list = ListOf(setting)) now.List(*list).CopyFrom(planned.List(*list));
        else now.dhcp = planned.dhcp;
    }
    return now;
}

bool CPrinterTarget::Differs() const noexcept { return !planned.IsEmpty() && !Equal(planned.Get(), machine.Get()); }

void CSwitchPlan::AddTarget(size_t adapter, CAdapterSettings planned, const CAdapterSettings* machine) {
    CAdapterTarget& target = m_targets.emplace_back();
    target.adapter = adapter;
    target.planned = std::move(planned);
    target.machineRead = machine != nullptr;
    // A machine adapter that could not be read gets every call its target
    // mode needs, as one in the other mode would.
    if (machine) target.machine = *machine;
    else target.machine.dhcp = !target.planned.dhcp;
    target.plan = CWritePlan::Make(target.planned, &target.machine, CWritePlan::Extent::Differences);
}

CSwitchPlan CSwitchPlan::ToProfile(const CNetProfile& profile, const CMachineState& state) {
    CSwitchPlan plan;
    // Machine adapters that a stored profile had no settings for are not
    // the profile's: they stay as they are.
    const CNetAdaptersList& list = profile.Adapters();
    std::vector<const CNetAdapterProperty*> stored;
    std::vector<BSTR> names;
    for (const ComPtr<CNetAdapterProperty>& adapter : list.Adapters()) {
        if (list.HoldsNoSettings(adapter.Get())) continue;
        stored.push_back(adapter.Get());
        names.push_back(adapter->Name());
    }
    const auto matches = CNetAdaptersList::MatchByName(state.Names(), names);
    std::vector<bool> met(stored.size(), false);
    for (size_t m = 0; m < matches.size(); ++m) {
        if (!matches[m]) continue;
        met[*matches[m]] = true;
        const CAdapterState& machine = state.Adapters()[m];
        plan.AddTarget(m, stored[*matches[m]]->Settings(), machine.read ? &machine.settings : nullptr);
    }
    for (size_t s = 0; s < stored.size(); ++s) {
        if (met[s]) continue;
        plan.m_unmatched.push_back({CBstr::CopyWhole(stored[s]->Name()), CBstr::CopyWhole(stored[s]->NetConnectionID()),
                                    stored[s]->IsDhcp() != VARIANT_FALSE, state.NotConnected(stored[s]->Name())});
    }
    plan.m_printer.planned = CBstr::CopyWhole(profile.Printers().DefaultDeviceId());
    plan.m_printer.machine = CBstr::CopyWhole(state.DefaultPrinter());
    plan.m_printer.source = &profile.Printers();
    return plan;
}

CSwitchPlan CSwitchPlan::Back(const CNetProfile& snapshot, const std::vector<bool>& touched, bool printer,
                              const CMachineState& state, const CSwitchPlan* applied) {
    CSwitchPlan plan;
    const auto& adapters = snapshot.Adapters().Adapters();
    const auto matches = CNetAdaptersList::MatchByName(state.Names(), CNetAdaptersList::Names(adapters));
    std::vector<bool> met(adapters.size(), false);
    for (size_t m = 0; m < matches.size(); ++m) {
        if (!matches[m] || *matches[m] >= touched.size() || !touched[*matches[m]]) continue;
        met[*matches[m]] = true;
        std::optional<CAdapterSettings> now;
        if (state.Adapters()[m].read) now = state.Adapters()[m].settings;
        if (applied)
            for (const CAdapterTarget& target : applied->m_targets)
                if (target.adapter == m && target.Ran()) now = target.Now();
        plan.AddTarget(m, adapters[*matches[m]]->Settings(), now ? &*now : nullptr);
    }
    for (size_t s = 0; s < adapters.size() && s < touched.size(); ++s) {
        if (!touched[s] || met[s]) continue;
        const CNetAdapterProperty& adapter = *adapters[s].Get();
        plan.m_unmatched.push_back({CBstr::CopyWhole(adapter.Name()), CBstr::CopyWhole(adapter.NetConnectionID()),
                                    adapter.IsDhcp() != VARIANT_FALSE, state.NotConnected(adapter.Name())});
    }
    if (printer) plan.m_printer.planned = CBstr::CopyWhole(snapshot.Printers().DefaultDeviceId());
    plan.m_printer.machine = CBstr::CopyWhole(applied && applied->m_printer.after ? applied->m_printer.after->Get()
                                                                                 : state.DefaultPrinter());
    plan.m_printer.source = &snapshot.Printers();
    return plan;
}

std::vector<CSwitchRow> CSwitchPlan::Rows(const CMachineState& state) const {
    std::vector<CSwitchRow> rows;
    for (size_t m = 0; m < state.Adapters().size(); ++m) {
        const CAdapterState& adapter = state.Adapters()[m];
        auto target = std::find_if(m_targets.begin(), m_targets.end(),
                                   [&](const CAdapterTarget& t) { return t.adapter == m; });
        if (target != m_targets.end()) {
            AddRows(*target, adapter, rows);
            continue;
        }
        CSwitchRow& row = rows.emplace_back();
        row.kind = CSwitchRow::Kind::NotInProfile;
        row.adapter = adapter.name;
        row.connection = adapter.connection;
        row.setting = SettingName(Setting::Mode);
        row.before = row.planned = adapter.read ? SwitchText::Mode(adapter.settings.dhcp) : std::wstring();
    }
    for (const CUnmatched& stored : m_unmatched) {
        CSwitchRow& row = rows.emplace_back();
        row.kind = stored.notConnected ? CSwitchRow::Kind::NotConnected : CSwitchRow::Kind::NoAdapter;
        row.adapter = stored.name;
        row.connection = stored.connection;
        row.setting = SettingName(Setting::Mode);
        row.planned = SwitchText::Mode(stored.dhcp);
    }
    rows.push_back(PrinterRow());
    if (m_proxy) rows.push_back(m_proxy->Row());
    return rows;
}

void CSwitchPlan::AddRows(const CAdapterTarget& target, const CAdapterState& state, std::vector<CSwitchRow>& rows) const {
    const std::vector<CPlannedCall>& calls = target.plan.Calls();
    const CPlannedCall* stopping = target.plan.Stopped(target.results);
    const wchar_t* stoppedBy = stopping ? WmiMethodName(stopping->method) : nullptr;
    const bool dhcp = target.planned.dhcp;
    for (Setting setting : dhcp ? std::span<const Setting>(kDhcpSettings) : std::span<const Setting>(kStaticSettings)) {
        CSwitchRow& row = rows.emplace_back();
        row.adapter = state.name;
        row.connection = state.connection;
        row.setting = SettingName(setting);
        row.before = target.machineRead ? SwitchText::Value(setting, target.machine) : std::wstring();
        row.planned = SwitchText::Value(setting, target.planned);
        row.alreadyPlanned = target.machineRead && CWritePlan::Shows(setting, target.planned, target.machine);
        for (size_t i = 0; i < calls.size(); ++i) {
            if (!Writes(calls[i], setting)) continue;
            CRowWrite& write = row.writes.emplace_back();
            write.method = WmiMethodName(calls[i].method);
            if (i < target.results.size() && target.results[i].ran) {
                write.ran = true;
                write.answer = target.results[i].answer;
                write.meaning = MeaningOf(calls[i].method, write.answer);
            } else {
                write.stoppedBy = stoppedBy;
            }
        }
        switch (CWritePlan::IntentOf(setting, target.planned)) {
        case CWritePlan::Intent::FromDhcp: row.planned = SwitchText::FromDhcp(); break;
        case CWritePlan::Intent::Keep:
            row.kind = CSwitchRow::Kind::Kept;
            row.planned = row.before;
            break;
        case CWritePlan::Intent::Write: break;
        }
        const CAdapterSettings& shown = target.after ? *target.after : target.machine;
        row.notTaken = NotTaken(setting, target.planned, shown);
        if (!target.after) continue;
        row.afterRead = true;
        row.after = SwitchText::Value(setting, *target.after);
        row.shows = CWritePlan::Shows(setting, target.planned, *target.after);
    }
}

CSwitchRow CSwitchPlan::PrinterRow() const {
    CSwitchRow row;
    row.setting = L"DefaultPrinter";
    row.before = View(m_printer.machine.Get());
    row.planned = View(m_printer.planned.Get());
    if (m_printer.planned.IsEmpty()) {
        row.kind = CSwitchRow::Kind::Kept;
        row.planned = row.before;
    }
    row.alreadyPlanned = !m_printer.Differs();
    if (m_printer.Differs()) {
        CRowWrite& write = row.writes.emplace_back();
        write.method = WmiMethodName(WmiMethod::SetDefaultPrinter);
        write.ran = m_printer.ran;
        write.answer = m_printer.answer;
        if (m_printer.ran) write.meaning = MeaningOf(WmiMethod::SetDefaultPrinter, m_printer.answer);
    }
    if (m_printer.after) {
        row.afterRead = true;
        row.after = View(m_printer.after->Get());
        row.shows = Equal(m_printer.after->Get(), m_printer.planned.Get());
    }
    return row;
}

std::vector<bool> CSwitchPlan::TouchedAdapters(const CMachineState& state) const {
    std::vector<bool> touched(state.Adapters().size(), false);
    // A write that succeeded changed the machine, whether or not it shows yet.
    for (const CAdapterTarget& target : m_targets)
        if (target.Ran() && target.adapter < touched.size())
            touched[target.adapter] = !target.machineRead || !SameSettings(target.Now(), target.machine);
    return touched;
}

bool CSwitchPlan::TouchedPrinter() const noexcept {
    return m_printer.ran && (!m_printer.after || !Equal(m_printer.after->Get(), m_printer.machine.Get()));
}

} // namespace Varquel
