#pragma once
#include <optional>
#include <vector>
#include "adapters/WritePlan.h"
#include "com/Bstr.h"
#include "profiles/MachineState.h"
#include "profiles/SwitchProxy.h"
#include "profiles/SwitchRow.h"

namespace Varquel {

// A machine adapter that a switch writes to.
struct CAdapterTarget {
    size_t adapter = 0;  // in the machine state
    CAdapterSettings planned;
    CAdapterSettings machine;  // what it showed when the switch planned
    bool machineRead = false;
    CWritePlan plan;  // only the calls that the differences need
    std::vector<CCallResult> results;
    std::optional<CAdapterSettings> after;  // read back

    bool Ran() const noexcept;
    // The settings whose writes all succeeded: those that should show, and
    // with `pending` those in effect after a restart too.
    std::vector<AdapterSetting> Written(bool pending = false) const;
    // What the machine holds now, as best known: what it showed last, with
    // what the switch wrote, which may not show yet (or until a restart), so
    // that a rollback puts that back too.
    CAdapterSettings Now() const;
};

// The default printer.
struct CPrinterTarget {
    CBstr planned;  // the DeviceID; empty when the profile holds none
    CBstr machine;  // the machine's default when the switch planned
    const CPrintersProperty* source = nullptr;  // the part whose Apply sets it
    bool ran = false;
    CWmiAnswer answer;
    std::optional<CBstr> after;

    bool Differs() const noexcept;
};

// A stored adapter that no machine adapter takes.
struct CUnmatched {
    CBstr name, connection;
    bool dhcp = false;
    bool notConnected = false;  // its adapter is present without IP
};

// What a switch does on the machine as read: each machine adapter that a
// profile's adapter meets (by Name, and which occurrence of it) with the
// smallest write plan, the stored adapters that meet none, and the default
// printer when it differs.
class CSwitchPlan {
public:
    static CSwitchPlan ToProfile(const CNetProfile& profile, const CMachineState& state);
    // Back to a snapshot of the same machine: its adapters that `touched`
    // marks, and its default printer when `printer`. What the machine shows
    // now is the state's, or what `applied` read back where it did.
    static CSwitchPlan Back(const CNetProfile& snapshot, const std::vector<bool>& touched, bool printer,
                            const CMachineState& state, const CSwitchPlan* applied);

    std::vector<CAdapterTarget>& Targets() noexcept { return m_targets; }
    const std::vector<CAdapterTarget>& Targets() const noexcept { return m_targets; }
    CPrinterTarget& Printer() noexcept { return m_printer; }
    const CPrinterTarget& Printer() const noexcept { return m_printer; }
    // The user's proxy, when the switch carries it: written after the
    // adapters and the printer, its row the last.
    void CarryProxy(CProxyTarget proxy) { m_proxy = std::move(proxy); }
    CProxyTarget* Proxy() noexcept { return m_proxy ? &*m_proxy : nullptr; }
    const CProxyTarget* Proxy() const noexcept { return m_proxy ? &*m_proxy : nullptr; }

    // The report's rows: every machine adapter's in the state's order, the
    // stored adapters that met none, then the default printer and the proxy.
    std::vector<CSwitchRow> Rows(const CMachineState& state) const;
    // What a rollback puts back: the state's adapters that the switch
    // changed, or may have, and whether it changed the default printer.
    std::vector<bool> TouchedAdapters(const CMachineState& state) const;
    bool TouchedPrinter() const noexcept;

private:
    void AddTarget(size_t adapter, CAdapterSettings planned, const CAdapterSettings* machine);
    void AddRows(const CAdapterTarget& target, const CAdapterState& state, std::vector<CSwitchRow>& rows) const;
    CSwitchRow PrinterRow() const;

    std::vector<CAdapterTarget> m_targets;
    std::vector<CUnmatched> m_unmatched;
    CPrinterTarget m_printer;
    std::optional<CProxyTarget> m_proxy;
};

} // namespace Varquel
