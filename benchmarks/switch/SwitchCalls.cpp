// What a switch costs in WMI calls, counted in the simulated machine's journal
// side by side with the profile's own Apply, case by case on the Windows 11
// laptop of docs/example-machine.json: the method calls each makes, and how
// many fresh reads each poll of the switch's verification makes. Goals: an
// unchanged profile makes no method call; a switch never makes more than the
// plain Apply; a poll reads each changed adapter at most once, and the
// printers once when the default changed.
#include "tests/support/InProcessServer.h"
#include "tests/support/ExampleMachine.h"
#include <windows.h>
#include <wrl/client.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>
#include "com/Bstr.h"
#include "profiles/NetProfile.h"
#include "simulator/SimulatedMachine.h"
#include "Varquel_h.h"

namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Json = VarquelSim::CMachine::Json;
using Kind = Varquel::CNetAdapterProperty::AddressKind;

const std::string kIndexQuery = "query SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = ";
const std::string kPrinters = "query SELECT * FROM Win32_Printer";
const std::string kConfigurationExec = "exec Win32_NetworkAdapterConfiguration[";

bool Starts(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

struct Counts {
    long execs = 0;
    long polls = 0;
    long mostReadsInAPoll = 0;
    long allowedReads = 0;  // changed adapters, and the printer when it changed
};

// The verification's fresh reads come after the first method call: a keyed
// query per adapter, and the printers read back. A poll reads each of them
// at most once, in the same order, so a repeated read starts the next poll.
Counts Count(const std::vector<std::string>& journal) {
    Counts counts;
    std::set<std::string> changed, poll;
    bool calledYet = false, printerSet = false;
    auto endPoll = [&] {
        if (poll.empty()) return;
        ++counts.polls;
        counts.mostReadsInAPoll = std::max<long>(counts.mostReadsInAPoll, static_cast<long>(poll.size()));
        poll.clear();
    };
    // Setting a detected default printer detects the printers again first:
    // that query belongs to the write, not to a poll.
    bool printersHeld = false;
    auto takePrinters = [&] {
        if (!printersHeld) return;
        printersHeld = false;
        if (poll.count(kPrinters)) endPoll();
        poll.insert(kPrinters);
    };
    for (const std::string& line : journal) {
        if (Starts(line, "exec ")) {
            if (line.find(".SetDefaultPrinter(") == std::string::npos) takePrinters();
            printersHeld = false;
            ++counts.execs;
            calledYet = true;
            endPoll();
            if (Starts(line, kConfigurationExec)) changed.insert(line.substr(0, line.find(']')));
            printerSet = printerSet || line.find(".SetDefaultPrinter(") != std::string::npos;
            continue;
        }
        if (!calledYet) continue;
        if (line == kPrinters) {
            takePrinters();
            printersHeld = true;
            continue;
        }
        if (!Starts(line, kIndexQuery)) continue;
        takePrinters();
        if (poll.count(line)) endPoll();
        poll.insert(line);
    }
    takePrinters();
    endPoll();
    counts.allowedReads = static_cast<long>(changed.size()) + (printerSet ? 1 : 0);
    return counts;
}

template <class T>
ComPtr<T> Make(REFCLSID clsid) {
    ComPtr<T> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

// "Office" as a stored profile holds the machine: captured, its settings
// copied into detached adapters.
ComPtr<Varquel::CNetProfile> Stored(const std::string& machineText) {
    auto machine = VarquelSim::CMachine::FromJson(machineText);
    VarquelSim::CInstall install(machine);
    const auto captured = Varquel::ImplOf<Varquel::CNetProfile>(Make<INetProfile>(CLSID_CNetProfile).Get());
    captured->GetCurrent();
    const auto stored = Varquel::ImplOf<Varquel::CNetProfile>(Make<INetProfile>(CLSID_CNetProfile).Get());
    stored->SetName(CBstr(L"Office"));
    for (const auto& source : captured->Adapters().Adapters()) {
        const auto adapter = stored->Adapters().AppendNewAdapter();
        adapter->SetName(CBstr::CopyWhole(source->Name()));
        adapter->SetNetConnectionID(CBstr::CopyWhole(source->NetConnectionID()));
        adapter->SetIsDhcp(source->IsDhcp());
        for (Kind kind : {Kind::IPAddresses, Kind::SubnetMasks, Kind::GateWayAddresses, Kind::DNSAddresses,
                          Kind::WINSServers})
            adapter->List(kind).CopyFrom(source->List(kind));
    }
    stored->Printers().ChooseDefault(captured->Printers().DefaultDeviceId());
    return stored;
}

void SetList(Varquel::CNetProfile& profile, Kind kind, std::initializer_list<const wchar_t*> entries) {
    Varquel::CAddressList& list = profile.Adapters().Adapters()[0]->List(kind);
    list.RemoveAll();
    for (const wchar_t* entry : entries) list.Append(CBstr(entry).Get());
}

struct Case {
    const char* name;
    std::string machine;
    std::function<void(Varquel::CNetProfile&)> profile;      // what the case changes in "Office"
    std::function<void(VarquelSim::CMachine&)> setting;      // and in the machine
    long verifyTimeout = 0;
};

Counts Run(const Case& c, const std::string& example, bool viaSwitch) {
    const ComPtr<Varquel::CNetProfile> office = Stored(example);
    if (c.profile) c.profile(*office.Get());
    auto machine = VarquelSim::CMachine::FromJson(c.machine);
    VarquelSim::CInstall install(machine);
    if (c.setting) c.setting(*machine);
    if (viaSwitch) {
        ComPtr<IProfileSwitch> profileSwitch = Make<IProfileSwitch>(CLSID_CProfileSwitch);
        profileSwitch->put_VerifyTimeout(c.verifyTimeout);
        machine->ClearJournal();
        ComPtr<IApplyReport> report;
        profileSwitch->Apply(office.Get(), &report);
    } else {
        machine->ClearJournal();
        office->Duplicate()->Apply();
    }
    return Count(machine->Journal());
}

int Main(const char* examplePath) {
    const std::string example = VarquelTest::ReadTextFile(std::wstring(examplePath, examplePath + std::strlen(examplePath)));
    if (example.empty()) {
        std::printf("cannot read %s\n", examplePath);
        return 1;
    }
    const std::string away = VarquelTest::AwayFromTheOffice(example);
    const long lockHeld = static_cast<long>(2147786788ul);

    Json lease = Json::parse(example);
    lease["Win32_NetworkAdapter"][0]["_configuration"]["_dhcpLease"]["DefaultIPGateway"] = Json::array({"192.168.10.254"});
    const std::vector<Case> cases = {
        {"unchanged profile", example, {}, {}},
        {"DNS servers only", example, [](auto& p) { SetList(p, Kind::DNSAddresses, {L"192.168.10.3"}); }, {}},
        {"static to static (81)", example,
         [](auto& p) { SetList(p, Kind::IPAddresses, {L"192.168.10.20", L"192.168.10.22"}); }, {}},
        {"DHCP to static", away, {}, {}},
        {"static to DHCP", lease.dump(),
         [](auto& p) {
             p.Adapters().Adapters()[0]->SetIsDhcp(VARIANT_TRUE);
             for (Kind kind : {Kind::IPAddresses, Kind::SubnetMasks, Kind::GateWayAddresses, Kind::DNSAddresses,
                               Kind::WINSServers})
                 SetList(p, kind, {});
         },
         {}},
        {"not elevated (91)", away, {}, [](auto& m) { m.SetNotElevated(true); }},
        {"not elevated (ExecMethod_)", away, {},
         [](auto& m) {
             m.SetNotElevated(true);
             m.Configure("_accessDenied", "execMethod");
         }},
        {"lock held twice", example, [](auto& p) { SetList(p, Kind::DNSAddresses, {L"192.168.10.3"}); },
         [lockHeld](auto& m) { m.MethodReturns(L"SetDNSServerSearchOrder", lockHeld, 2); }},
        {"disconnected stored adapter", example,
         [](auto& p) {
             const auto usb = p.Adapters().AppendNewAdapter();
             usb->SetName(CBstr(L"Realtek USB GbE Family Controller"));
             usb->SetNetConnectionID(CBstr(L"Ethernet 2"));
             usb->SetIsDhcp(VARIANT_TRUE);
         },
         {}},
        {"change shows after 2 s", away, {}, [](auto& m) { m.ShowChangesAfter(2000); }, 5000},
    };

    std::printf("WMI calls of ProfileSwitch.Apply beside the profile's own Apply, on the Windows 11 laptop\n\n");
    std::printf("%-28s %6s %7s %6s %12s %9s   %s\n", "case", "Apply", "switch", "polls", "reads/poll", "allowed",
                "goals");
    int missed = 0;
    for (const Case& c : cases) {
        const Counts plain = Run(c, example, false);
        const Counts switched = Run(c, example, true);
        std::string goals;
        auto goal = [&](bool met, const char* what) {
            goals += std::string(met ? "ok " : "MISSED ") + what + "; ";
            missed += met ? 0 : 1;
        };
        if (std::string(c.name) == "unchanged profile") goal(switched.execs == 0, "no call");
        goal(switched.execs <= plain.execs, "calls <= Apply");
        goal(switched.mostReadsInAPoll <= switched.allowedReads, "reads/poll <= changed");
        std::printf("%-28s %6ld %7ld %6ld %12ld %9ld   %s\n", c.name, plain.execs, switched.execs, switched.polls,
                    switched.mostReadsInAPoll, switched.allowedReads, goals.c_str());
    }
    std::printf("\nApply, switch: method calls (exec lines). polls: verification polls, a rollback's included.\n"
                "reads/poll: most fresh reads in one poll (a keyed query per adapter, the printers).\n"
                "allowed: adapters the switch called methods on, plus one when it set the printer.\n");
    return missed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    VarquelTest::CInProcessServer server;
    if (!server.Ready()) return 2;
    return Main(argc > 1 ? argv[1] : "docs/example-machine.json");
}
