// What a switch costs in WMI calls, counted in the simulated machine's journal
// side by side with the profile's own Apply, on the example machine moved
// away from the office: the stored "Office" applied plainly, previewed, and
// switched to with verification.
#include "tests/support/InProcessServer.h"
#include <windows.h>
#include <wrl/client.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include "com/Bstr.h"
#include "profiles/NetProfile.h"
#include "simulator/SimulatedMachine.h"
#include "Varquel_h.h"

namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;

struct Counts {
    long lines = 0, execs = 0, reads = 0, queries = 0;
};

Counts Count(const std::vector<std::string>& journal) {
    Counts counts;
    counts.lines = static_cast<long>(journal.size());
    for (const std::string& line : journal) {
        counts.execs += line.rfind("exec ", 0) == 0;
        counts.reads += line.rfind("read ", 0) == 0;
        counts.queries += line.rfind("query ", 0) == 0 || line.rfind("associators ", 0) == 0;
    }
    return counts;
}

// The machine away from the office: the static adapters on DHCP, with their
// lease's IPv4 entries and their own IPv6 ones.
std::string Away(const std::string& example) {
    using Json = VarquelSim::CMachine::Json;
    Json machine = Json::parse(example);
    for (Json& adapter : machine["Win32_NetworkAdapter"]) {
        if (!adapter.contains("_configuration")) continue;
        Json& config = adapter["_configuration"];
        if (config.value("DHCPEnabled", true) || !config.contains("_dhcpLease")) continue;
        const Json& lease = config["_dhcpLease"];
        Json addresses = Json::array(), masks = Json::array();
        for (size_t i = 0; i < lease.value("IPAddress", Json::array()).size(); ++i) {
            addresses.push_back(lease["IPAddress"][i]);
            masks.push_back(lease["IPSubnet"][i]);
        }
        for (size_t i = 0; i < config["IPAddress"].size(); ++i) {
            if (config["IPAddress"][i].get<std::string>().find(':') == std::string::npos) continue;
            if (std::find(addresses.begin(), addresses.end(), config["IPAddress"][i]) != addresses.end()) continue;
            addresses.push_back(config["IPAddress"][i]);
            masks.push_back(config["IPSubnet"][i]);
        }
        config["DHCPEnabled"] = true;
        config["IPAddress"] = addresses;
        config["IPSubnet"] = masks;
    }
    return machine.dump();
}

template <class T>
ComPtr<T> Make(REFCLSID clsid) {
    ComPtr<T> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

// "Office" as a stored profile holds it: captured from the example machine,
// its settings copied into detached adapters.
ComPtr<INetProfile> Office(const std::string& example) {
    auto machine = VarquelSim::CMachine::FromJson(example);
    VarquelSim::CInstall install(machine);
    const ComPtr<Varquel::CNetProfile> captured = Varquel::ImplOf<Varquel::CNetProfile>(Make<INetProfile>(CLSID_CNetProfile).Get());
    captured->GetCurrent();
    const ComPtr<Varquel::CNetProfile> stored = Varquel::ImplOf<Varquel::CNetProfile>(Make<INetProfile>(CLSID_CNetProfile).Get());
    stored->SetName(CBstr(L"Office"));
    for (const auto& source : captured->Adapters().Adapters()) {
        const auto adapter = stored->Adapters().AppendNewAdapter();
        adapter->SetName(CBstr::CopyWhole(source->Name()));
        adapter->SetNetConnectionID(CBstr::CopyWhole(source->NetConnectionID()));
        adapter->SetIsDhcp(source->IsDhcp());
        for (int kind = 0; kind < Varquel::CNetAdapterProperty::kAddressKinds; ++kind) {
            const auto k = static_cast<Varquel::CNetAdapterProperty::AddressKind>(kind);
            adapter->List(k).CopyFrom(source->List(k));
        }
    }
    stored->Printers().ChooseDefault(captured->Printers().DefaultDeviceId());
    return ComPtr<INetProfile>(stored);
}

void Row(const char* what, const Counts& c, const Counts& plain) {
    std::printf("%-34s %5ld lines %4ld exec %5ld read %4ld query/associators   %+5ld lines vs plain Apply\n", what,
                c.lines, c.execs, c.reads, c.queries, c.lines - plain.lines);
}

int Run(const char* examplePath) {
    std::ifstream file(examplePath);
    if (!file) {
        std::printf("cannot read %s\n", examplePath);
        return 1;
    }
    std::stringstream text;
    text << file.rdbuf();
    const std::string example = text.str();
    ComPtr<INetProfile> office = Office(example);

    const std::string awayText = Away(example);
    auto away = [&] { return VarquelSim::CMachine::FromJson(awayText); };
    auto measure = [&](auto&& operation) {
        std::shared_ptr<VarquelSim::CMachine> machine = away();
        VarquelSim::CInstall install(machine);
        machine->ClearJournal();
        operation();
        return Count(machine->Journal());
    };
    const Counts plain = measure([&] {
        ComPtr<INetProfile> copy;
        office->GetDuplicate(&copy);
        copy->Apply();
    });
    const Counts capture = measure([&] { Make<INetProfile>(CLSID_CNetProfile)->GetCurrent(); });
    ComPtr<IProfileSwitch> profileSwitch = Make<IProfileSwitch>(CLSID_CProfileSwitch);
    profileSwitch->put_VerifyTimeout(0);
    const Counts preview = measure([&] {
        ComPtr<IApplyReport> report;
        profileSwitch->Preview(office.Get(), &report);
    });
    const Counts verified = measure([&] {
        ComPtr<IApplyReport> report;
        profileSwitch->Apply(office.Get(), &report);
    });
    std::printf("WMI calls on the example machine, counted in the journal\n\n");
    Row("profile Apply (plain)", plain, plain);
    Row("one capture (GetCurrent)", capture, plain);
    Row("ProfileSwitch.Preview", preview, plain);
    Row("ProfileSwitch.Apply (verified)", verified, plain);
    std::printf("\nPreview: no exec; %ld lines more than a capture (the lists a capture leaves alone on DHCP adapters).\n",
                preview.lines - capture.lines);
    std::printf("Verified Apply: the plain Apply's %ld execs, each ReturnValue read once, a snapshot and a "
                "verification.\n", plain.execs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    VarquelTest::CInProcessServer server;
    if (!server.Ready()) return 2;
    return Run(argc > 1 ? argv[1] : "docs/example-machine.json");
}
