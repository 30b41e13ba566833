#include "adapters/WritePlan.h"
#include "adapters/AddressList.h"
#include "adapters/IpText.h"
#include "wmi/WmiMethodCall.h"

namespace Varquel {

namespace {

using Parameters = CPlannedCall::Parameters;
using Setting = AdapterSetting;

// The methods take IPv4 only and refuse a whole call for one IPv6 entry: a
// list is sent without its IPv6 entries and prefix lengths, so the masks that
// remain pair with the addresses that remain, position by position.
CStringArray Sent(const CAdapterSettings& settings, AddressKind kind) {
    return IpText::ForIPv4Methods(settings.List(kind));
}

// The WINS servers a machine holds or a list sets: of the first two entries
// (primary, secondary), those that are not empty.
CStringArray WinsServers(const CAdapterSettings& settings) {
    const CStringArray& entries = settings.List(AddressKind::WINSServers);
    CStringArray servers;
    for (LONG i = 0; i < entries.Count() && i < 2; ++i)
        if (SysStringLen(entries.At(i)) > 0) servers.Append(entries.At(i));
    return servers;
}

BSTR FirstIPv4(const CStringArray& entries) noexcept {
    for (LONG i = 0; i < entries.Count(); ++i)
        if (IpText::IsIPv4(entries.At(i))) return entries.At(i);
    return nullptr;
}

CVariant Text(BSTR text) {
    CVariant value;
    V_BSTR(value.Get()) = CBstr::CopyWhole(text).Detach();
    V_VT(value.Get()) = VT_BSTR;
    return value;
}

Parameters Array(const wchar_t* name, const CStringArray& entries) {
    Parameters parameters;
    parameters.emplace_back(name, VariantArrayOf(entries));
    return parameters;
}

class CBuilder {
public:
    CBuilder(const CAdapterSettings& planned, std::vector<CPlannedCall>& calls) : m_planned(planned), m_calls(calls) {}

    size_t Add(WmiMethod method, Parameters parameters, std::vector<Setting> writes, bool stops) {
        CPlannedCall& call = m_calls.emplace_back();
        call.method = method;
        call.parameters = std::move(parameters);
        call.writes = std::move(writes);
        call.stopsAdapter = stops;
        return m_calls.size() - 1;
    }

    // EnableDHCP "does not clear any static default gateways": the old one,
    // at metric 1, would win over DHCP's. It is cleared the documented way
    // first, with the adapter's own address as its only gateway; a failure
    // does not stop the adapter.
    void ClearOldGateway(const CAdapterSettings* machine) {
        if (!machine || machine->dhcp || !FirstIPv4(machine->List(AddressKind::GateWayAddresses))) return;
        const BSTR own = FirstIPv4(machine->List(AddressKind::IPAddresses));
        if (!own) return;
        CStringArray clearing;
        clearing.Append(own);
        Add(WmiMethod::SetGateways, Array(L"DefaultIPGateway", clearing), {Setting::Mode}, false);
    }

    std::optional<size_t> EnableStatic(bool fromDhcp) {
        Parameters parameters = Array(L"IPAddress", Sent(m_planned, AddressKind::IPAddresses));
        parameters.emplace_back(L"SubnetMask", VariantArrayOf(Sent(m_planned, AddressKind::SubnetMasks)));
        std::vector<Setting> writes{Setting::IPAddresses, Setting::SubnetMasks};
        if (fromDhcp) writes.insert(writes.begin(), Setting::Mode);
        // Gateways, DNS and WINS need the adapter static.
        return Add(WmiMethod::EnableStatic, std::move(parameters), std::move(writes), fromDhcp);
    }

    // "To clear the gateway, set your gateway to the same IP you use on
    // EnableStatic": without a gateway, the first address, once it is the
    // adapter's (EnableStatic said so); else the empty list. The call depends
    // on EnableStatic's answer whenever EnableStatic runs before it.
    void SetGateways(std::optional<size_t> enableStatic) {
        const CStringArray gateways = Sent(m_planned, AddressKind::GateWayAddresses);
        const CStringArray addresses = Sent(m_planned, AddressKind::IPAddresses);
        CStringArray sent = gateways;
        if (gateways.Count() == 0 && addresses.Count() > 0) sent.Append(addresses.At(0));
        const size_t call =
            Add(WmiMethod::SetGateways, Array(L"DefaultIPGateway", sent), {Setting::GateWayAddresses}, false);
        if (!enableStatic) return;
        m_calls[call].dependsOn = enableStatic;
        m_calls[call].otherwise = Array(L"DefaultIPGateway", gateways);
    }

    // A static adapter's list is sent, empty or not. On DHCP, no servers of
    // its own hands DNS back to DHCP, which only an unset parameter does.
    void SetDns() {
        const CStringArray servers = Sent(m_planned, AddressKind::DNSAddresses);
        Add(WmiMethod::SetDNSServerSearchOrder,
            m_planned.dhcp && servers.Count() == 0 ? Parameters{} : Array(L"DNSServerSearchOrder", servers),
            {Setting::DNSAddresses}, false);
    }

    // WINS takes a primary and a secondary server; further entries are not
    // sent, and an empty list sends nothing, so the machine keeps its servers.
    void SetWins() {
        const CStringArray& entries = m_planned.List(AddressKind::WINSServers);
        if (entries.Count() == 0) return;
        Parameters parameters;
        parameters.emplace_back(L"WINSPrimaryServer", Text(entries.At(0)));
        if (entries.Count() >= 2) parameters.emplace_back(L"WINSSecondaryServer", Text(entries.At(1)));
        Add(WmiMethod::SetWINSServer, std::move(parameters), {Setting::WINSServers}, false);
    }

    // Two empty servers hand WINS back to DHCP: a switch to DHCP does not
    // keep static ones.
    void HandWinsBack() {
        Parameters parameters;
        parameters.emplace_back(L"WINSPrimaryServer", Text(CBstr::Empty().Get()));
        parameters.emplace_back(L"WINSSecondaryServer", Text(CBstr::Empty().Get()));
        Add(WmiMethod::SetWINSServer, std::move(parameters), {Setting::WINSServers}, false);
    }

    void Full(const CAdapterSettings* machine) {
        if (m_planned.dhcp) {
            ClearOldGateway(machine);
            Add(WmiMethod::ReleaseDHCPLease, {}, {}, true);
            Add(WmiMethod::EnableDHCP, {}, {Setting::Mode}, true);
            Add(WmiMethod::RenewDHCPLease, {}, {Setting::Mode}, true);
        } else {
            Add(WmiMethod::ReleaseDHCPLease, {}, {}, true);
            SetGateways(EnableStatic(false));
        }
        SetDns();
        SetWins();
    }

    void Differences(const CAdapterSettings& machine) {
        auto differs = [&](Setting setting) { return !CWritePlan::Shows(setting, m_planned, machine); };
        const bool fromDhcp = machine.dhcp;
        if (m_planned.dhcp) {
            if (!fromDhcp) {
                ClearOldGateway(&machine);
                Add(WmiMethod::EnableDHCP, {}, {Setting::Mode}, true);
            }
            const bool noServers = Sent(m_planned, AddressKind::DNSAddresses).Count() == 0;
            if ((noServers && !fromDhcp) || (!noServers && differs(Setting::DNSAddresses))) SetDns();
            if (WinsServers(m_planned).Count() > 0) {
                if (differs(Setting::WINSServers)) SetWins();
            } else if (!fromDhcp && WinsServers(machine).Count() > 0) {
                HandWinsBack();
            }
            return;
        }
        std::optional<size_t> enable;
        if (fromDhcp || differs(Setting::IPAddresses) || differs(Setting::SubnetMasks)) enable = EnableStatic(fromDhcp);
        if (fromDhcp || differs(Setting::GateWayAddresses)) SetGateways(enable);
        if (fromDhcp || differs(Setting::DNSAddresses)) SetDns();
        // What DHCP handed out does not survive EnableStatic.
        if (WinsServers(m_planned).Count() > 0 && (fromDhcp || differs(Setting::WINSServers))) SetWins();
    }

private:
    const CAdapterSettings& m_planned;
    std::vector<CPlannedCall>& m_calls;
};

CWmiAnswer Execute(ISWbemObject* configuration, WmiMethod method, const Parameters& parameters, bool readAnswer) {
    CWmiAnswer answer;
    if (!TakesInParameters(method)) {
        answer.hr = ExecMethodNoParams(configuration, WmiMethodName(method), readAnswer ? &answer.returnValue : nullptr);
        return answer;
    }
    CWmiMethodCall call(configuration, WmiMethodName(method));
    for (const auto& [name, value] : parameters) call.SetParameter(name, *value);
    // A configuration method reads a parameter left unset as a request of
    // its own (DNS back to DHCP): a value that did not go in sends nothing.
    answer.hr = call.ExecuteComplete();
    if (readAnswer && SUCCEEDED(answer.hr)) answer.returnValue = call.ReturnValue();
    return answer;
}

} // namespace

bool CallSucceeded(const CPlannedCall& call, const CCallResult& result) noexcept {
    return result.ran && Succeeded(VerdictOf(call.method, result.answer));
}

CWritePlan CWritePlan::Make(const CAdapterSettings& planned, const CAdapterSettings* machine, Extent extent) {
    CWritePlan plan;
    CBuilder builder(planned, plan.m_calls);
    if (extent == Extent::Differences && machine)
        builder.Differences(*machine);
    else
        builder.Full(machine);
    return plan;
}

std::vector<CCallResult> CWritePlan::Run(ISWbemObject* configuration, const CPlanRun& how) const {
    std::vector<CCallResult> results(m_calls.size());
    std::vector<bool> depended(m_calls.size(), false);
    for (const CPlannedCall& call : m_calls)
        if (call.dependsOn) depended[*call.dependsOn] = true;
    for (size_t i = 0; i < m_calls.size(); ++i) {
        const CPlannedCall& call = m_calls[i];
        // What a call depends on counts as done only when it said so.
        bool confirmed = true;
        if (call.dependsOn) {
            const CCallResult& earlier = results[*call.dependsOn];
            confirmed = earlier.answer.returnValue != -1 && CallSucceeded(m_calls[*call.dependsOn], earlier);
        }
        CCallResult& result = results[i];
        result.ran = true;
        do {
            ++result.tries;
            result.answer = Execute(configuration, call.method, confirmed ? call.parameters : call.otherwise,
                                    how.readAnswers || depended[i]);
        } while (VerdictOf(call.method, result.answer) == WmiVerdict::LockHeld && how.retryLocked &&
                 how.retryLocked(result.tries));
        if (call.stopsAdapter && !CallSucceeded(call, result)) break;
    }
    return results;
}

const CPlannedCall* CWritePlan::Stopped(const std::vector<CCallResult>& results) const noexcept {
    for (size_t i = 0; i < m_calls.size() && i < results.size(); ++i)
        if (m_calls[i].stopsAdapter && results[i].ran && !CallSucceeded(m_calls[i], results[i])) return &m_calls[i];
    return nullptr;
}

bool CWritePlan::Shows(AdapterSetting setting, const CAdapterSettings& planned, const CAdapterSettings& machine) {
    switch (setting) {
    case Setting::Mode:
        return planned.dhcp == machine.dhcp;
    case Setting::IPAddresses:
        return Sent(planned, AddressKind::IPAddresses).SameEntries(Sent(machine, AddressKind::IPAddresses));
    case Setting::SubnetMasks:
        return Sent(planned, AddressKind::SubnetMasks).SameEntries(Sent(machine, AddressKind::SubnetMasks));
    case Setting::GateWayAddresses: {
        const CStringArray gateways = Sent(planned, AddressKind::GateWayAddresses);
        const CStringArray shown = Sent(machine, AddressKind::GateWayAddresses);
        if (gateways.Count() > 0) return gateways.SameEntries(shown);
        // No gateway: the clearing call may leave "0.0.0.0" or the adapter's
        // own address behind, which route nowhere.
        const CStringArray own = Sent(planned, AddressKind::IPAddresses);
        const CBstr nowhere(L"0.0.0.0");
        for (LONG i = 0; i < shown.Count(); ++i)
            if (IpText::IsIPv4(shown.At(i)) && !own.Holds(shown.At(i)) &&
                VarBstrCmp(shown.At(i), nowhere.Get(), LOCALE_USER_DEFAULT, 0) != VARCMP_EQ)
                return false;
        return true;
    }
    case Setting::DNSAddresses: {
        const CStringArray servers = Sent(planned, AddressKind::DNSAddresses);
        if (planned.dhcp && servers.Count() == 0) return true;  // DHCP decides
        return servers.SameEntries(Sent(machine, AddressKind::DNSAddresses));
    }
    case Setting::WINSServers: {
        const CStringArray servers = WinsServers(planned);
        return servers.Count() == 0 || servers.SameEntries(WinsServers(machine));
    }
    }
    return true;
}

CWritePlan::Intent CWritePlan::IntentOf(AdapterSetting setting, const CAdapterSettings& planned) {
    if (setting == Setting::DNSAddresses && planned.dhcp && Sent(planned, AddressKind::DNSAddresses).Count() == 0)
        return Intent::FromDhcp;
    if (setting == Setting::WINSServers && WinsServers(planned).Count() == 0)
        return planned.dhcp ? Intent::FromDhcp : Intent::Keep;
    return Intent::Write;
}

CStringArray CWritePlan::NotSent(AdapterSetting setting, const CAdapterSettings& planned) {
    CStringArray left;
    const std::optional<AddressKind> kind = ListOf(setting);
    if (!kind || *kind == AddressKind::WINSServers) return left;
    const CStringArray sent = Sent(planned, *kind);
    const CStringArray& entries = planned.List(*kind);
    for (LONG i = 0; i < entries.Count(); ++i)
        if (!sent.Holds(entries.At(i))) left.Append(entries.At(i));
    return left;
}

} // namespace Varquel
