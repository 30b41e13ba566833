// Failing WMI: every operation that reaches WMI, run once cleanly on the
// simulated machine, then once per WMI call it made with that call failing,
// then with failing and misreporting methods and a failing connection. Each
// run must give the operation's documented result, keep no WMI object it
// should not hold, send nothing the simulator rejects, and leak nothing.
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <set>
#include <wbemcli.h>
#include "adapters/NetAdaptersList.h"
#include "com/Bstr.h"
#include "simulator/SimulatedMachine.h"
#include "tests/robustness/CampaignSettings.h"
#include "tests/robustness/DispatchOracle.h"
#include "tests/robustness/Random.h"
#include "tests/robustness/RegistryTree.h"
#include "tests/robustness/SimulatedMachines.h"
#include "tests/robustness/StoredProfile.h"
#include "tests/robustness/StoreRootGuard.h"
#include "tests/support/TestSupport.h"
#include "Varquel_h.h"

namespace VarquelRobustness {
namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using VarquelSim::CMachine;

// The objects one run works on; whatever the operation needs.
struct Objects {
    ComPtr<INetAdaptersList> adapters;
    ComPtr<INetAdapterProperty> adapter;
    ComPtr<IPrintersProperty> printers;
    ComPtr<IProxyProperty> proxy;
    ComPtr<INetShareList> shares;
    ComPtr<INetProfile> profile;
    ComPtr<INetProfilesList> profiles;
    ComPtr<IProfileSwitch> profileSwitch;
    ComPtr<IApplyReport> earlier;  // what Rollback puts back
    ComPtr<IApplyReport> report;
};

struct Operation {
    const char* name;
    // Clean preparation (no fault yet). S_OK, or the failure that stops the
    // operation from being swept (a piece not built yet).
    std::function<HRESULT(Objects&)> prepare;
    std::function<HRESULT(Objects&)> run;
    bool adapterResult = false;  // S_FALSE is a documented answer
    bool readOnly = false;       // must not change the machine
    // Every WMI call it makes is a reading whose failure ends it with S_FALSE.
    bool falseOnAnyFailure = false;
};

enum class Fault { None, FailAtCall, FailMethod, MethodReturns, FailConnect };

struct Injection {
    Fault fault = Fault::None;
    long call = 0;
    std::wstring method;
    long value = 0;
    HRESULT hr = S_OK;
};

std::string Describe(const Injection& injection) {
    switch (injection.fault) {
    case Fault::None: return "no fault";
    case Fault::FailAtCall: return "FailAtCall(" + std::to_string(injection.call) + ")";
    case Fault::FailMethod: return "FailMethod(" + VarquelTest::Narrow(injection.method) + ")";
    case Fault::MethodReturns:
        return "MethodReturns(" + VarquelTest::Narrow(injection.method) + ", " + std::to_string(injection.value) + ")";
    case Fault::FailConnect: return "FailConnect(" + CDispatchOracle::Name(injection.hr) + ")";
    }
    return {};
}

template <class T>
HRESULT Make(ComPtr<T>& out, REFCLSID clsid) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

#define RETURN_IF_FAILED(expression)          \
    do {                                      \
        HRESULT hr_ = (expression);           \
        if (FAILED(hr_) || hr_ == E_NOTIMPL) return hr_; \
    } while (0)

HRESULT AdapterAt(Objects& o, long index) {
    RETURN_IF_FAILED(Make(o.adapters, CLSID_CNetAdaptersList));
    RETURN_IF_FAILED(o.adapters->DetectAdapters());
    RETURN_IF_FAILED(o.adapters->NetAdapterPropertyGetAt(index, o.adapter.GetAddressOf()));
    return o.adapter ? S_OK : E_FAIL;
}

HRESULT CapturedProfile(Objects& o) {
    RETURN_IF_FAILED(Make(o.profile, CLSID_CNetProfile));
    CBstr name(L"Captured");
    RETURN_IF_FAILED(o.profile->put_Name(name.Get()));
    return o.profile->GetCurrent();
}

HRESULT LoadedProfile(Objects& o) {
    RETURN_IF_FAILED(Make(o.profiles, CLSID_CNetProfilesList));
    RETURN_IF_FAILED(o.profiles->Load());
    RETURN_IF_FAILED(o.profiles->NetProfileGetAt(0, o.profile.GetAddressOf()));
    return o.profile ? S_OK : E_FAIL;
}

// A switch that reads the machine back once, without waiting.
HRESULT Switch(Objects& o, VARIANT_BOOL rollBackOnFailure = VARIANT_TRUE) {
    RETURN_IF_FAILED(Make(o.profileSwitch, CLSID_CProfileSwitch));
    RETURN_IF_FAILED(o.profileSwitch->put_RollbackOnFailure(rollBackOnFailure));
    return o.profileSwitch->put_VerifyTimeout(0);
}

std::vector<Operation> Operations() {
    std::vector<Operation> ops;
    ops.push_back({"adapters list DetectAdapters", [](Objects& o) { return Make(o.adapters, CLSID_CNetAdaptersList); },
                   [](Objects& o) { return o.adapters->DetectAdapters(); }, false, true});
    ops.push_back({"adapters list GetCurrent", [](Objects& o) { return Make(o.adapters, CLSID_CNetAdaptersList); },
                   [](Objects& o) { return o.adapters->GetCurrent(); }, false, true});
    ops.push_back({"adapters list Apply (new list)", [](Objects& o) { return Make(o.adapters, CLSID_CNetAdaptersList); },
                   [](Objects& o) { return o.adapters->Apply(); }});
    ops.push_back({"adapters list Apply (captured)",
                   [](Objects& o) {
                       RETURN_IF_FAILED(Make(o.adapters, CLSID_CNetAdaptersList));
                       return o.adapters->GetCurrent();
                   },
                   [](Objects& o) { return o.adapters->Apply(); }});
    for (long index : {0L, 1L}) {
        const char* current = index == 0 ? "adapter GetCurrent (static)" : "adapter GetCurrent (DHCP)";
        const char* apply = index == 0 ? "adapter Apply (static)" : "adapter Apply (DHCP)";
        ops.push_back({current, [index](Objects& o) { return AdapterAt(o, index); },
                       [](Objects& o) { return o.adapter->GetCurrent(); }, true, true, true});
        ops.push_back({apply,
                       [index](Objects& o) {
                           RETURN_IF_FAILED(AdapterAt(o, index));
                           HRESULT hr = o.adapter->GetCurrent();
                           return hr == S_FALSE ? S_OK : hr;
                       },
                       [](Objects& o) { return o.adapter->Apply(); }, true});
    }
    ops.push_back({"adapter Apply (static, empty lists)",
                   [](Objects& o) {
                       RETURN_IF_FAILED(AdapterAt(o, 1));
                       return o.adapter->put_IsDHCP(VARIANT_FALSE);
                   },
                   [](Objects& o) { return o.adapter->Apply(); }, true});
    ops.push_back({"printers DetectPrinters", [](Objects& o) { return Make(o.printers, CLSID_CPrintersProperty); },
                   [](Objects& o) { return o.printers->DetectPrinters(); }, false, true});
    ops.push_back({"printers GetCurrent", [](Objects& o) { return Make(o.printers, CLSID_CPrintersProperty); },
                   [](Objects& o) { return o.printers->GetCurrent(); }, false, true});
    ops.push_back({"printers Apply (detected)",
                   [](Objects& o) {
                       RETURN_IF_FAILED(Make(o.printers, CLSID_CPrintersProperty));
                       RETURN_IF_FAILED(o.printers->GetCurrent());
                       return o.printers->put_Default(2);
                   },
                   [](Objects& o) { return o.printers->Apply(); }});
    ops.push_back({"printers Apply (by DeviceID)",
                   [](Objects& o) {
                       RETURN_IF_FAILED(Make(o.printers, CLSID_CPrintersProperty));
                       CBstr device(L"PDF Writer");
                       return o.printers->SetDefault(device.Get());
                   },
                   [](Objects& o) { return o.printers->Apply(); }});
    ops.push_back({"proxy GetCurrent", [](Objects& o) { return Make(o.proxy, CLSID_CProxyProperty); },
                   [](Objects& o) { return o.proxy->GetCurrent(); }, false, true});
    ops.push_back({"proxy Apply",
                   [](Objects& o) {
                       RETURN_IF_FAILED(Make(o.proxy, CLSID_CProxyProperty));
                       CBstr server(L"gw.example"), port(L"3128");
                       RETURN_IF_FAILED(o.proxy->put_HTTPServer(server.Get()));
                       return o.proxy->put_HTTPPort(port.Get());
                   },
                   [](Objects& o) { return o.proxy->Apply(); }});
    ops.push_back({"shares GetCurrent", [](Objects& o) { return Make(o.shares, CLSID_CNetShareList); },
                   [](Objects& o) { return o.shares->GetCurrent(); }, false, true});
    ops.push_back({"shares CloseAll", [](Objects& o) { return Make(o.shares, CLSID_CNetShareList); },
                   [](Objects& o) { return o.shares->CloseAll(); }});
    ops.push_back({"shares Apply",
                   [](Objects& o) {
                       RETURN_IF_FAILED(Make(o.shares, CLSID_CNetShareList));
                       CBstr name1(L"team"), path1(L"D:\\team"), name2(L"scans"), path2(L"D:\\scans");
                       RETURN_IF_FAILED(o.shares->Add(name1.Get(), path1.Get()));
                       return o.shares->Add(name2.Get(), path2.Get());
                   },
                   [](Objects& o) { return o.shares->Apply(); }});
    ops.push_back({"profile GetCurrent", [](Objects& o) { return Make(o.profile, CLSID_CNetProfile); },
                   [](Objects& o) { return o.profile->GetCurrent(); }, false, true});
    ops.push_back({"profile Apply (captured)", CapturedProfile, [](Objects& o) { return o.profile->Apply(); }});
    ops.push_back({"profile Apply (duplicate)",
                   [](Objects& o) {
                       RETURN_IF_FAILED(CapturedProfile(o));
                       ComPtr<INetProfile> duplicate;
                       RETURN_IF_FAILED(o.profile->GetDuplicate(duplicate.GetAddressOf()));
                       o.profile = duplicate;
                       return o.profile ? S_OK : E_FAIL;
                   },
                   [](Objects& o) { return o.profile->Apply(); }});
    ops.push_back({"profile Apply (loaded)", LoadedProfile, [](Objects& o) { return o.profile->Apply(); }});
    // The switch absorbs every failure of WMI into its report.
    auto switchWith = [](std::function<HRESULT(Objects&)> profile, VARIANT_BOOL rollBack = VARIANT_TRUE) {
        return [profile, rollBack](Objects& o) {
            RETURN_IF_FAILED(profile(o));
            return Switch(o, rollBack);
        };
    };
    ops.push_back({"switch Preview (loaded)", switchWith(LoadedProfile),
                   [](Objects& o) { return o.profileSwitch->Preview(o.profile.Get(), o.report.ReleaseAndGetAddressOf()); },
                   false, true});
    ops.push_back({"switch Apply (loaded)", switchWith(LoadedProfile),
                   [](Objects& o) { return o.profileSwitch->Apply(o.profile.Get(), o.report.ReleaseAndGetAddressOf()); }});
    ops.push_back({"switch Apply (captured)", switchWith(CapturedProfile),
                   [](Objects& o) { return o.profileSwitch->Apply(o.profile.Get(), o.report.ReleaseAndGetAddressOf()); }});
    ops.push_back({"switch Rollback",
                   [switchWith](Objects& o) {
                       RETURN_IF_FAILED(switchWith(LoadedProfile, VARIANT_FALSE)(o));
                       return o.profileSwitch->Apply(o.profile.Get(), o.earlier.GetAddressOf());
                   },
                   [](Objects& o) { return o.profileSwitch->Rollback(o.earlier.Get(), o.report.ReleaseAndGetAddressOf()); }});
    return ops;
}

// The stored profile "Office" that the loaded-profile operation applies: one
// adapter the machine has (static), one it has on DHCP, one it lacks.
CRegistryTree OfficeStore() {
    auto adapter = [](const wchar_t* name, const wchar_t* connection, DWORD dhcp,
                      std::vector<std::vector<const wchar_t*>> lists) {
        CRegistryTree key;
        key.name = name;
        key.values = {CRegistryTree::Number(L"IsDHCP", dhcp), CRegistryTree::Text(L"NetConnectionID", connection)};
        for (std::size_t l = 0; l < 5; ++l) {
            CRegistryTree list;
            list.name = StoredAdapter::kListNames[l];
            if (l < lists.size())
                for (const wchar_t* entry : lists[l]) list.subkeys.push_back({entry, {}, {}});
            key.subkeys.push_back(list);
        }
        return key;
    };
    CRegistryTree adapters{L"NetAdapterList", {}, {}};
    adapters.subkeys.push_back(adapter(L"Intel(R) Ethernet Connection", L"Ethernet", 0,
                                       {{L"10.1.1.5"}, {L"255.255.0.0"}, {L"10.1.1.1"}, {L"10.1.1.2"},
                                        {L"10.1.1.9", L"10.1.1.10"}}));
    adapters.subkeys.push_back(adapter(L"Wireless Network Adapter", L"Wi-Fi", 0xFFFFFFFF, {}));
    adapters.subkeys.push_back(adapter(L"Gone Adapter", L"Old", 0, {{L"10.9.9.9"}, {L"255.0.0.0"}}));
    CRegistryTree printers{L"Printers", {CRegistryTree::Text(L"Default", L"PDF Writer")}, {}};
    CRegistryTree profile{L"Office", {}, {adapters, printers}};
    return CRegistryTree{L"Profiles", {}, {profile}};
}

// The methods a run called, from the simulator's journal.
std::set<std::wstring> MethodsCalled(const std::vector<std::string>& journal) {
    std::set<std::wstring> methods;
    for (const std::string& line : journal) {
        if (line.rfind("exec ", 0) != 0) continue;
        std::size_t open = line.find('(');
        std::size_t dot = line.rfind('.', open);
        if (open == std::string::npos || dot == std::string::npos) continue;
        std::string name = line.substr(dot + 1, open - dot - 1);
        methods.insert(std::wstring(name.begin(), name.end()));
    }
    return methods;
}

bool Parameterless(const std::wstring& method) {
    return method == L"ReleaseDHCPLease" || method == L"EnableDHCP" || method == L"RenewDHCPLease";
}

struct Totals {
    long runs = 0;
    long injected = 0;
    long failures = 0;
    std::set<std::string> skipped;
};

class CWmiSweep {
public:
    CWmiSweep(Totals& totals) : m_totals(totals) {}

    // WMI objects one adapter and one printer hold, measured on the office
    // machine.
    void Measure() {
        std::shared_ptr<CMachine> machine = CMachine::FromJson(CSimulatedMachines::Office());
        VarquelSim::CInstall install(machine);
        ComPtr<INetAdaptersList> adapters;
        ComPtr<IPrintersProperty> printers;
        ASSERT_EQ(Make(adapters, CLSID_CNetAdaptersList), S_OK);
        ASSERT_EQ(Make(printers, CLSID_CPrintersProperty), S_OK);
        long count = 0;
        if (adapters->DetectAdapters() == S_OK && adapters->get_Count(&count) == S_OK && count > 0) {
            EXPECT_EQ(machine->LiveObjects() % count, 0) << "adapters hold unequal numbers of WMI objects";
            m_perAdapter = machine->LiveObjects() / count;
        }
        long before = machine->LiveObjects();
        if (printers->DetectPrinters() == S_OK && printers->get_PrintersCount(&count) == S_OK && count > 0) {
            EXPECT_EQ((machine->LiveObjects() - before) % count, 0) << "printers hold unequal numbers of WMI objects";
            m_perPrinter = (machine->LiveObjects() - before) / count;
        }
    }

    void Sweep(const std::string& machineText, const std::string& machineName, const Operation& op, bool exact) {
        Injection none;
        Outcome clean = RunOnce(machineText, machineName, op, none, exact);
        if (clean.skipped) return;
        for (long n = 1; n <= clean.calls; ++n) {
            Injection injection;
            injection.fault = Fault::FailAtCall;
            injection.call = n;
            RunOnce(machineText, machineName, op, injection, exact, clean.result);
        }
        // 2147786788: another program holds the network configuration's lock, which a switch waits out.
        static const long kReturnValues[] = {1, 2, 21, 22, 66, 70, 71, 84, 91, 100, static_cast<long>(2147786788ul)};
        for (const std::wstring& method : clean.methods) {
            Injection failing;
            failing.fault = Fault::FailMethod;
            failing.method = method;
            failing.hr = WBEM_E_FAILED;
            RunOnce(machineText, machineName, op, failing, exact, clean.result);
            Injection returning;
            returning.fault = Fault::MethodReturns;
            returning.method = method;
            returning.value = kReturnValues[m_returnIndex++ % (sizeof kReturnValues / sizeof kReturnValues[0])];
            RunOnce(machineText, machineName, op, returning, exact, clean.result);
        }
        for (HRESULT hr : {static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE)}) {
            Injection connect;
            connect.fault = Fault::FailConnect;
            connect.hr = hr;
            RunOnce(machineText, machineName, op, connect, exact, clean.result);
        }
    }

private:
    struct Outcome {
        bool skipped = false;
        long calls = 0;
        HRESULT result = S_OK;
        std::set<std::wstring> methods;
    };

    void Fail(const std::string& where, const std::string& text) {
        ++m_totals.failures;
        if (++m_failuresShown <= 40) ADD_FAILURE() << where << ": " << text;
    }

    long Held(Objects& o) const {
        long held = 0;
        // Only a detected list's adapters hold WMI objects; stored ones hold none.
        auto adapterObjects = [&](INetAdaptersList* list) {
            long count = 0;
            const ComPtr<Varquel::CNetAdaptersList> impl = Varquel::ImplOf<Varquel::CNetAdaptersList>(list);
            if (impl && impl->Detected() && list->get_Count(&count) == S_OK) held += count * m_perAdapter;
        };
        auto printerObjects = [&](IPrintersProperty* printers) {
            long count = 0;
            if (printers && printers->get_PrintersCount(&count) == S_OK) held += count * m_perPrinter;
        };
        auto profileObjects = [&](INetProfile* profile) {
            if (!profile) return;
            ComPtr<INetAdaptersList> adapters;
            ComPtr<IPrintersProperty> printers;
            profile->get_NetAdaptersList(adapters.GetAddressOf());
            profile->get_PrintersProperty(printers.GetAddressOf());
            adapterObjects(adapters.Get());
            printerObjects(printers.Get());
        };
        adapterObjects(o.adapters.Get());
        printerObjects(o.printers.Get());
        profileObjects(o.profile.Get());
        // A report keeps its snapshot, a profile of attached adapters.
        for (IApplyReport* report : {o.earlier.Get(), o.report.Get()}) {
            ComPtr<INetProfile> snapshot;
            if (report && report->get_Before(snapshot.GetAddressOf()) == S_OK) profileObjects(snapshot.Get());
        }
        return held;
    }

    // `clean`: what the operation returned without a fault.
    Outcome RunOnce(const std::string& machineText, const std::string& machineName, const Operation& op,
                    const Injection& injection, bool exact, HRESULT clean = S_OK) {
        Outcome outcome;
        std::string where = std::string(op.name) + " on " + machineName + " with " + Describe(injection);
        std::shared_ptr<CMachine> machine = CMachine::FromJson(machineText);
        {
            VarquelSim::CInstall install(machine);
            Objects objects;
            HRESULT prepared = op.prepare(objects);
            if (FAILED(prepared) || prepared == E_NOTIMPL) {
                // On the office machine every preparation works once the
                // classes are built; a variant machine may lack what an
                // operation needs (an adapter at that position).
                if (exact) m_totals.skipped.insert(std::string(op.name) + " (" + CDispatchOracle::Name(prepared) + ")");
                outcome.skipped = true;
                return outcome;
            }
            std::string before = machine->ToJson();
            machine->ClearJournal();
            machine->ResetCallCount();
            switch (injection.fault) {
            case Fault::None: break;
            case Fault::FailAtCall: machine->FailAtCall(injection.call); break;
            case Fault::FailMethod: machine->FailMethod(injection.method, injection.hr); break;
            case Fault::MethodReturns: machine->MethodReturns(injection.method, injection.value); break;
            case Fault::FailConnect: machine->FailConnect(injection.hr); break;
            }
            if (injection.fault != Fault::None) ++m_totals.injected;
            ++m_totals.runs;
            HRESULT hr = op.run(objects);
            outcome.calls = machine->CallCount();
            outcome.result = hr;
            outcome.methods = MethodsCalled(machine->Journal());
            machine->FailAtCall(0);
            machine->FailConnect(S_OK);
            if (!injection.method.empty()) {
                machine->FailMethod(injection.method, S_OK);
                machine->MethodReturns(injection.method, 0);
            }

            // The documented result. Only the adapter's own GetCurrent and
            // Apply may answer S_FALSE: on a failed reading, or when one of
            // the parameterless methods fails. No method's return value is
            // read, and an adapter already attached makes no connection.
            bool allowed = hr == S_OK;
            if (op.adapterResult) {
                switch (injection.fault) {
                case Fault::None: allowed = exact ? hr == S_OK : (hr == S_OK || hr == S_FALSE); break;
                case Fault::FailAtCall:
                    allowed = op.falseOnAnyFailure && exact ? hr == S_FALSE : (hr == S_OK || hr == S_FALSE);
                    break;
                case Fault::FailMethod: allowed = hr == (Parameterless(injection.method) ? S_FALSE : clean); break;
                case Fault::MethodReturns:
                case Fault::FailConnect: allowed = hr == clean; break;
                }
            }
            if (!allowed) Fail(where, "returned " + CDispatchOracle::Name(hr));
            for (const std::string& line : machine->Journal())
                if (line.rfind("reject ", 0) == 0) Fail(where, "the simulator rejected a request: " + line);
            if (op.readOnly && machine->ToJson() != before) Fail(where, "a reading operation changed the machine");
            long held = Held(objects);
            if (machine->LiveObjects() != held)
                Fail(where, std::to_string(machine->LiveObjects()) + " WMI objects alive after the operation, " +
                                "its objects account for " + std::to_string(held));
            // The objects stay usable after the failure.
            HRESULT again = op.run(objects);
            if (again != S_OK && !(op.adapterResult && again == S_FALSE))
                Fail(where, "a second, clean run returned " + CDispatchOracle::Name(again));
        }
        if (machine->LiveObjects() != 0)
            Fail(where, std::to_string(machine->LiveObjects()) + " WMI objects alive after every object was released");
        if (VarquelTest::ModuleLockCount() != 0)
            Fail(where, "module lock count " + std::to_string(VarquelTest::ModuleLockCount()) + " after the run");
        return outcome;
    }

    Totals& m_totals;
    long m_perAdapter = 2;
    long m_perPrinter = 1;
    int m_failuresShown = 0;
    std::size_t m_returnIndex = 0;
};

TEST(FailingWmi, EveryWmiCallOfEveryOperationFailsInTurn) {
    CStoreRootGuard store;
    HKEY quoran = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, CStoreRootGuard::kQuoran, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &quoran, nullptr),
              ERROR_SUCCESS);
    LONG written = OfficeStore().Write(quoran);
    RegCloseKey(quoran);
    ASSERT_EQ(written, ERROR_SUCCESS);

    Totals totals;
    DWORD start = GetTickCount();
    CWmiSweep sweep(totals);
    sweep.Measure();
    const std::vector<Operation> ops = Operations();
    for (const Operation& op : ops) sweep.Sweep(CSimulatedMachines::Office(), "the office machine", op, true);
    // Machines with data faults: the operations must cope with whatever WMI
    // reports, and every WMI call of theirs still fails in turn.
    const long variants = 2L * CCampaignSettings::Size();
    for (long v = 0; v < variants; ++v) {
        CRandom random(CRandom::ScenarioSeed(CCampaignSettings::Seed(), "wmi-machine", static_cast<std::uint64_t>(v)));
        std::string machine = CSimulatedMachines::Variant(random, 1 + static_cast<int>(random.Below(4)));
        std::string name = "variant machine " + std::to_string(v) + " (VARQUEL_SEED=" +
                           std::to_string(CCampaignSettings::Seed()) + ")";
        for (const Operation& op : ops) sweep.Sweep(machine, name, op, false);
    }
    std::string skipped;
    for (const std::string& op : totals.skipped) skipped += " " + op + ";";
    CCampaignSettings::Report("failing WMI: " + std::to_string(totals.runs) + " runs of " + std::to_string(ops.size()) +
                              " operations on " + std::to_string(1 + variants) + " machines, " +
                              std::to_string(totals.injected) + " injected failures, " +
                              std::to_string(totals.failures) + " failures, " +
                              std::to_string(GetTickCount() - start) + " ms" +
                              (skipped.empty() ? std::string() : ", not swept:" + skipped));
}

} // namespace
} // namespace VarquelRobustness
