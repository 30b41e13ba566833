// The profile switch on a simulated Windows 11 machine: what a preview reads,
// what a verified apply reports and leaves, and rollback.
#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include "tests/profiles/SwitchFixture.h"
#include "tests/support/ExampleMachine.h"

namespace ProfilesTest {
namespace {

TEST_F(ProfileSwitch, APreviewReadsTheMachineOnceAndChangesNothing) {
    const ComPtr<INetProfile> office = Office();
    // What one capture reads: a detection with its configuration reads and
    // the printers.
    ASSERT_EQ(NewProfile(L"now")->GetCurrent(), S_OK);
    const long captureLines = static_cast<long>(TakeJournal().size());

    const Json before = Machine().State();
    ComPtr<IApplyReport> preview;
    ASSERT_EQ(m_switch->Preview(office.Get(), &preview), S_OK);
    ASSERT_TRUE(preview);
    EXPECT_EQ(Machine().State(), before);
    EXPECT_EQ(Execs(), 0);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapter"), 1);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_Printer"), 1);
    // Both adapters are on DHCP: their lists, which a capture leaves alone,
    // are six reads each.
    EXPECT_EQ(static_cast<long>(MachineJournal().size()), captureLines + 2 * 6);

    std::map<std::wstring, Change> changes = Changes(preview.Get());
    const Change& mode = changes[L"Ethernet.Mode"];
    EXPECT_EQ(mode.before, L"DHCP");
    EXPECT_EQ(mode.planned, L"Static");
    EXPECT_EQ(mode.after, L"");
    EXPECT_EQ(mode.status, 1);
    EXPECT_EQ(mode.method, L"EnableStatic");
    EXPECT_EQ(mode.returnValue, -1);
    EXPECT_EQ(changes[L"Ethernet.IPAddresses"].before, L"192.168.10.120, 2001:db8:10::20, fe80::1c2d");
    EXPECT_EQ(changes[L"Ethernet.GateWayAddresses"].status, 0) << "the IPv4 gateway is already as planned";
    EXPECT_EQ(changes[L"Ethernet.WINSServers"].status, 0);
    EXPECT_EQ(changes[L"Wi-Fi.Mode"].message, L"not in the profile: left as it is");
    EXPECT_EQ(changes[L"DefaultPrinter"].before, L"A");
    EXPECT_EQ(changes[L"DefaultPrinter"].planned, L"B");
    EXPECT_EQ(changes.size(), 8u) << "one row per setting: six of Ethernet, one for Wi-Fi, one printer";

    ComPtr<INetProfile> none;
    EXPECT_EQ(preview->get_Before(&none), S_OK);
    EXPECT_FALSE(none);
    EXPECT_NE(ReportText(preview.Get()).find(L"Preview of \"Office\""), std::wstring::npos);
    ComPtr<IApplyReport> rolledBack;
    EXPECT_EQ(m_switch->Rollback(preview.Get(), &rolledBack), E_INVALIDARG);
    EXPECT_FALSE(rolledBack);
}

TEST_F(ProfileSwitch, ASuccessfulApplyReportsWhatTheMachineShowsAfterwards) {
    const ComPtr<INetProfile> office = Office();
    const ComPtr<IApplyReport> report = Apply(office.Get());
    ASSERT_TRUE(report);
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_RolledBack));

    const Json eth = Config(0);
    EXPECT_EQ(eth["DHCPEnabled"], false);
    EXPECT_EQ(eth["IPAddress"], Json::array({"192.168.10.20", "192.168.10.21", "2001:db8:10::20", "fe80::1c2d"}));
    EXPECT_TRUE(IsDefault(1));

    std::map<std::wstring, Change> changes = Changes(report.Get());
    auto joined = [](const Json& list) {
        std::wstring text;
        for (const Json& entry : list) {
            const std::string& ascii = entry.get_ref<const std::string&>();
            text += (text.empty() ? L"" : L", ") + std::wstring(ascii.begin(), ascii.end());
        }
        return text;
    };
    EXPECT_EQ(changes[L"Ethernet.Mode"].after, L"Static");
    EXPECT_EQ(changes[L"Ethernet.Mode"].status, 1);
    EXPECT_EQ(changes[L"Ethernet.Mode"].returnValue, 0);
    EXPECT_EQ(changes[L"Ethernet.IPAddresses"].after, joined(eth["IPAddress"]));
    EXPECT_EQ(changes[L"Ethernet.SubnetMasks"].after, joined(eth["IPSubnet"]));
    EXPECT_EQ(changes[L"Ethernet.SubnetMasks"].status, 1) << Narrow(changes[L"Ethernet.SubnetMasks"].message);
    EXPECT_EQ(changes[L"Ethernet.GateWayAddresses"].after, joined(eth["DefaultIPGateway"]));
    EXPECT_EQ(changes[L"Ethernet.GateWayAddresses"].status, 0);
    EXPECT_EQ(changes[L"Ethernet.DNSAddresses"].method, L"SetDNSServerSearchOrder");
    EXPECT_EQ(changes[L"DefaultPrinter"].after, L"B");
    EXPECT_EQ(changes[L"DefaultPrinter"].status, 1);
    for (const auto& [key, change] : changes) EXPECT_NE(change.status, 2) << Narrow(key);

    ComPtr<INetProfile> snapshot;
    ASSERT_EQ(report->get_Before(&snapshot), S_OK);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(View(snapshot.Get()).adapters.size(), 2u);
}

// On an adapter that is static already, EnableStatic answers 81 and still
// sets the addresses: Windows documents it so.
TEST_F(ProfileSwitch, EnableStaticAnswering81OnAStaticAdapterIsSuccess) {
    const ComPtr<INetProfile> office = Office();
    ASSERT_TRUE(Flag(Apply(office.Get()).Get(), &IApplyReport::get_Succeeded));
    ComPtr<INetAdapterProperty> eth;
    ComPtr<INetAdaptersList> adapters;
    ASSERT_EQ(office->get_NetAdaptersList(&adapters), S_OK);
    ASSERT_EQ(adapters->NetAdapterPropertyGetAt(0, &eth), S_OK);
    ComPtr<IAddressList> addresses;
    ASSERT_EQ(eth->get_IPAddresses(&addresses), S_OK);
    Varquel::CBstr moved(L"192.168.10.30");
    ASSERT_EQ(addresses->RemoveAt(1), S_OK);
    ASSERT_EQ(addresses->Add(moved.Get()), S_OK);

    const ComPtr<IApplyReport> again = Apply(office.Get());
    EXPECT_TRUE(Flag(again.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(again.Get()));
    EXPECT_FALSE(Flag(again.Get(), &IApplyReport::get_RolledBack));
    const Change addressRow = Changes(again.Get())[L"Ethernet.IPAddresses"];
    EXPECT_EQ(addressRow.returnValue, 81);
    EXPECT_NE(addressRow.status, 2) << Narrow(addressRow.message);
    EXPECT_EQ(Config(0)["IPAddress"].at(1), "192.168.10.30");
}

// The switch makes only the calls its differences need, never more than the
// profile's own Apply, and reads back only what it changed: one query of its
// own per changed adapter, and the printers when the default changed.
TEST_F(ProfileSwitch, AVerifiedApplyCallsNoMoreThanThePlainApplyAndReadsBackOnlyWhatChanged) {
    const ComPtr<INetProfile> office = Office();
    ComPtr<INetProfile> plain;
    ASSERT_EQ(office->GetDuplicate(&plain), S_OK);
    ASSERT_EQ(plain->Apply(), S_OK);
    const long plainExecs = Execs();
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease"), 1);

    Install(kAway);
    ASSERT_TRUE(Flag(Apply(office.Get()).Get(), &IApplyReport::get_Succeeded));
    EXPECT_LE(Execs(), plainExecs);
    // DHCP to static: EnableStatic turns DHCP off; no lease is released.
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease"), 0);
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[1]."), 0) << "Wi-Fi is not in the profile";
    // One detection, for the snapshot; then Ethernet and the printers, once each.
    EXPECT_EQ(Exactly("query SELECT * FROM Win32_NetworkAdapter"), 1);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 0"), 1);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapterConfiguration"), 1);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_Printer"), 3) << "the snapshot's, SetDefault's, the read-back";
}

TEST_F(ProfileSwitch, ARefusedEnableStaticRollsTheMachineBack) {
    Machine().MethodReturns(L"EnableStatic", 70);
    const Json eth = Config(0), wifi = Config(1);
    const ComPtr<IApplyReport> report = Apply(Office().Get());
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_RolledBack)) << Narrow(ReportText(report.Get()));
    std::map<std::wstring, Change> changes = Changes(report.Get());
    EXPECT_EQ(changes[L"Ethernet.Mode"].status, 2);
    EXPECT_EQ(changes[L"Ethernet.Mode"].method, L"EnableStatic");
    EXPECT_EQ(changes[L"Ethernet.Mode"].message, L"invalid IP address (70)");
    // After is what the failed switch left: the lease, as nothing released it.
    EXPECT_EQ(changes[L"Ethernet.IPAddresses"].after, L"192.168.10.120, 2001:db8:10::20, fe80::1c2d");
    // Everything the snapshot holds is back.
    EXPECT_EQ(Config(0), eth);
    EXPECT_EQ(Config(1), wifi);
    EXPECT_TRUE(IsDefault(0));
}

TEST_F(ProfileSwitch, WithoutRollbackTheFailureStaysUntilRollbackRestoresIt) {
    ASSERT_EQ(m_switch->put_RollbackOnFailure(VARIANT_FALSE), S_OK);
    Machine().MethodReturns(L"EnableStatic", 70);
    const Json eth = Config(0);
    const ComPtr<IApplyReport> report = Apply(Office().Get());
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_RolledBack));
    EXPECT_EQ(Config(0), eth);
    EXPECT_TRUE(IsDefault(1));

    Machine().MethodReturns(L"EnableStatic", 0);
    ComPtr<IApplyReport> rollback;
    ASSERT_EQ(m_switch->Rollback(report.Get(), &rollback), S_OK);
    ASSERT_TRUE(rollback);
    EXPECT_TRUE(Flag(rollback.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(rollback.Get()));
    EXPECT_EQ(Config(0), eth);
    EXPECT_TRUE(IsDefault(0));
}

// On a real machine a change takes time to show: verification reads the
// changed adapter again until it shows or the wait ends.
TEST_F(ProfileSwitch, VerificationReadsAgainUntilTheMachineShowsTheChange) {
    Machine().ShowChangesAfter(600);
    ASSERT_EQ(m_switch->put_VerifyTimeout(5000), S_OK);
    const ComPtr<IApplyReport> report = Apply(Office().Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_GE(CountLines("query SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 0"), 2);
    EXPECT_EQ(Exactly("query SELECT * FROM Win32_NetworkAdapter"), 1) << "no detection but the snapshot's";
    EXPECT_EQ(Changes(report.Get())[L"Ethernet.Mode"].after, L"Static");

    // Within a wait too short, the change counts as failed, and what was
    // written is rolled back although it does not show yet.
    Install(kAway);
    Machine().ShowChangesAfter(2000);
    ASSERT_EQ(m_switch->put_VerifyTimeout(300), S_OK);
    const ComPtr<IApplyReport> early = Apply(Office().Get());
    EXPECT_FALSE(Flag(early.Get(), &IApplyReport::get_Succeeded));
    EXPECT_EQ(Changes(early.Get())[L"Ethernet.Mode"].message, L"the machine shows DHCP");
    EXPECT_TRUE(Flag(early.Get(), &IApplyReport::get_RolledBack)) << Narrow(ReportText(early.Get()));
    EXPECT_EQ(Config(0)["DHCPEnabled"], true);
    EXPECT_GE(CountLines("exec Win32_NetworkAdapterConfiguration[0].EnableDHCP"), 1);
}

TEST_F(ProfileSwitch, AStoredAdapterWithoutAMachineAdapterIsNotAppliedButFailsNothing) {
    const ComPtr<INetProfile> office = Office();
    ComPtr<INetAdapterProperty> ghost = AddAdapter(office.Get(), L"Ghost", L"Dock", VARIANT_TRUE);
    const ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    std::map<std::wstring, Change> changes = Changes(report.Get());
    const Change& mode = changes[L"Dock.Mode"];
    EXPECT_EQ(mode.adapter, L"Ghost");
    EXPECT_EQ(mode.status, 3);
    EXPECT_EQ(mode.message, L"not applied: no adapter of this name on the machine");
    EXPECT_EQ(mode.returnValue, -1);
}

TEST_F(ProfileSwitch, RefusesWhatItCannotSwitchTo) {
    ComPtr<IApplyReport> report;
    EXPECT_EQ(m_switch->Apply(nullptr, &report), E_POINTER);
    EXPECT_EQ(m_switch->Preview(nullptr, &report), E_POINTER);
    EXPECT_EQ(m_switch->Rollback(nullptr, &report), E_POINTER);
    EXPECT_EQ(m_switch->Apply(Office().Get(), nullptr), E_POINTER);
    EXPECT_EQ(m_switch->put_VerifyTimeout(-1), E_INVALIDARG);
    // Through IDispatch, an argument that is no profile is a type mismatch.
    ComPtr<IDispatch> late;
    ASSERT_EQ(m_switch.As(&late), S_OK);
    Varquel::CVariant notAProfile;
    V_VT(notAProfile.Get()) = VT_DISPATCH;
    V_DISPATCH(notAProfile.Get()) = ComPtr<IDispatch>(late).Detach();
    DISPPARAMS params{notAProfile.Get(), nullptr, 1, 0};
    Varquel::CVariant result;
    UINT argErr = 9;
    EXPECT_EQ(late->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, result.Get(), nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(Execs(), 0);
}

// ---- The Windows 11 laptop of docs/example-machine.json ----

std::string ExampleMachine() {
    return VarquelTest::ReadTextFile(std::wstring(VARQUEL_SOURCE_DIR) + L"\\docs\\example-machine.json");
}

std::string Away() { return VarquelTest::AwayFromTheOffice(ExampleMachine()); }

std::vector<std::wstring> EntriesOf(INetAdapterProperty* adapter, Kind kind) {
    const ComPtr<IAddressList> list = List(adapter, kind);
    long count = 0;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    std::vector<std::wstring> entries;
    for (long i = 0; i < count; ++i) {
        Varquel::CBstr entry;
        EXPECT_EQ(list->GetAt(i, entry.ReleaseAndGetAddressOf()), S_OK);
        entries.push_back(Text(entry.Get()));
    }
    return entries;
}

void SetEntries(INetAdapterProperty* adapter, Kind kind, std::initializer_list<const wchar_t*> entries) {
    ASSERT_EQ(List(adapter, kind)->RemoveAll(), S_OK);
    for (const wchar_t* entry : entries) AddEntry(adapter, kind, entry);
}

class Windows11Laptop : public ProfileSwitch {
protected:
    void SetUp() override {
        ProfileSwitch::SetUp();
        Install(ExampleMachine());
    }

    // "Office" as a stored profile holds the laptop now: its adapters
    // detached, each list in the machine's order, and the default printer.
    ComPtr<INetProfile> Captured() {
        const ComPtr<INetProfile> captured = NewProfile(L"Office");
        EXPECT_EQ(captured->GetCurrent(), S_OK);
        const ComPtr<INetProfile> stored = NewProfile(L"Office");
        ComPtr<INetAdaptersList> adapters;
        EXPECT_EQ(captured->get_NetAdaptersList(&adapters), S_OK);
        long count = 0;
        EXPECT_EQ(adapters->get_Count(&count), S_OK);
        for (long i = 0; i < count; ++i) {
            ComPtr<INetAdapterProperty> source;
            EXPECT_EQ(adapters->NetAdapterPropertyGetAt(i, &source), S_OK);
            Varquel::CBstr name, connection;
            VARIANT_BOOL dhcp = VARIANT_FALSE;
            EXPECT_EQ(source->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
            EXPECT_EQ(source->get_NetConnectionID(connection.ReleaseAndGetAddressOf()), S_OK);
            EXPECT_EQ(source->get_IsDHCP(&dhcp), S_OK);
            const ComPtr<INetAdapterProperty> copy = AddAdapter(stored.Get(), name.Get(), connection.Get(), dhcp);
            for (Kind kind : {Kind::IPAddresses, Kind::SubnetMasks, Kind::GateWayAddresses, Kind::DNSAddresses,
                              Kind::WINSServers})
                for (const std::wstring& entry : EntriesOf(source.Get(), kind)) AddEntry(copy.Get(), kind, entry.c_str());
        }
        ComPtr<IPrintersProperty> printers;
        EXPECT_EQ(captured->get_PrintersProperty(&printers), S_OK);
        Varquel::CBstr printer;
        EXPECT_EQ(printers->GetDefault(printer.ReleaseAndGetAddressOf()), S_OK);
        SetDefaultPrinter(stored.Get(), printer.Get());
        TakeJournal();
        return stored;
    }

    static ComPtr<INetAdapterProperty> AdapterOf(INetProfile* profile, long index) {
        ComPtr<INetAdaptersList> adapters;
        ComPtr<INetAdapterProperty> adapter;
        EXPECT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
        EXPECT_EQ(adapters->NetAdapterPropertyGetAt(index, &adapter), S_OK);
        return adapter;
    }
};

// A switch changes only what differs: nothing for a profile the machine
// already shows, one call for one list, and on an adapter that is static
// already EnableStatic's 81, which Windows documents as success.
TEST_F(Windows11Laptop, ASwitchMakesOnlyTheCallsItsDifferencesNeed) {
    const ComPtr<INetProfile> office = Captured();
    const Json before = Machine().State();
    ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(Execs(), 0);
    EXPECT_EQ(Machine().State(), before);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapterConfiguration"), 0) << "nothing to read back";
    for (const auto& [key, change] : Changes(report.Get())) EXPECT_EQ(change.status, 0) << Narrow(key);

    const ComPtr<INetAdapterProperty> eth = AdapterOf(office.Get(), 0);
    SetEntries(eth.Get(), Kind::DNSAddresses, {L"192.168.10.3", L"192.168.10.2"});
    TakeJournal();
    report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(Execs(), 1);
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].SetDNSServerSearchOrder(Item DNSServerSearchOrder="
                         "VT_ARRAY|VT_VARIANT[\"192.168.10.3\",\"192.168.10.2\"])"),
              1);
    // One fresh read of Ethernet; the printer did not change.
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 0"), 1);
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_Printer"), 1) << "the snapshot's only";
    EXPECT_EQ(Changes(report.Get())[L"Ethernet.DNSAddresses"].status, 1);
    EXPECT_EQ(Changes(report.Get())[L"Ethernet.IPAddresses"].status, 0);

    SetEntries(eth.Get(), Kind::IPAddresses, {L"192.168.10.20", L"192.168.10.22", L"2001:db8:10::20"});
    TakeJournal();
    report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_RolledBack));
    EXPECT_EQ(Execs(), 1) << "EnableStatic alone";
    const Change addresses = Changes(report.Get())[L"Ethernet.IPAddresses"];
    EXPECT_EQ(addresses.status, 1);
    EXPECT_EQ(addresses.returnValue, 81);
    EXPECT_EQ(addresses.message, L"changed: done: the adapter was static already, and the addresses are set (81)");
    EXPECT_EQ(Config(0)["IPAddress"].at(1), "192.168.10.22");

    // 1: done, in effect after a restart; the report says so.
    SetEntries(eth.Get(), Kind::DNSAddresses, {L"192.168.10.4"});
    Machine().MethodReturns(L"SetDNSServerSearchOrder", 1, 1);
    report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    ComPtr<IApplyReport2> second;
    ASSERT_EQ(report.As(&second), S_OK);
    VARIANT_BOOL restart = VARIANT_FALSE;
    EXPECT_EQ(second->get_RestartNeeded(&restart), S_OK);
    EXPECT_EQ(restart, VARIANT_TRUE);
    EXPECT_EQ(Changes(report.Get())[L"Ethernet.DNSAddresses"].message,
              L"changed: done; the change takes effect after a restart (1)");
    EXPECT_NE(ReportText(report.Get()).find(L"needs a restart"), std::wstring::npos);
    // When another setting fails, the rollback puts back a change that waits
    // for a restart too, though the machine does not show it yet.
    SetEntries(eth.Get(), Kind::DNSAddresses, {L"192.168.10.5"});
    SetDefaultPrinter(office.Get(), L"Microsoft Print to PDF");
    Machine().MethodReturns(L"SetDNSServerSearchOrder", 1, 1);
    Machine().MethodReturns(L"SetDefaultPrinter", 1801);
    TakeJournal();
    report = Apply(office.Get());
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_RolledBack)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].SetDNSServerSearchOrder"), 2);
}

// DHCP to static needs no ReleaseDHCPLease: EnableStatic turns DHCP off.
// Static to DHCP clears the old gateway first, hands DNS and WINS back to
// DHCP, and so leaves no static setting behind.
TEST_F(Windows11Laptop, SwitchesBetweenDhcpAndStaticLeaveNothingOfTheOldMode) {
    const ComPtr<INetProfile> office = Captured();
    const Json static0 = Config(0);
    Install(Away());
    ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease"), 0);
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0]."), 4)
        << "EnableStatic, SetGateways, SetDNSServerSearchOrder, SetWINSServer";
    for (const char* property : {"DHCPEnabled", "IPAddress", "DefaultIPGateway", "DNSServerSearchOrder",
                                 "WINSPrimaryServer", "WINSSecondaryServer"})
        EXPECT_EQ(Config(0)[property], static0[property]) << property;
    EXPECT_TRUE(Machine().Instance("Win32_Printer", 1)["Default"].get<bool>());

    // Back on the road: the lease gives another gateway.
    Json machine = Json::parse(ExampleMachine());
    Json& lease = machine["Win32_NetworkAdapter"][0]["_configuration"]["_dhcpLease"];
    lease["DefaultIPGateway"] = Json::array({"192.168.10.254"});
    lease["DNSServerSearchOrder"] = Json::array({"192.168.10.253"});
    Install(machine.dump());
    const ComPtr<INetAdapterProperty> eth = AdapterOf(office.Get(), 0);
    ASSERT_EQ(eth->put_IsDHCP(VARIANT_TRUE), S_OK);
    for (Kind kind : {Kind::IPAddresses, Kind::SubnetMasks, Kind::GateWayAddresses, Kind::DNSAddresses, Kind::WINSServers})
        ASSERT_EQ(List(eth.Get(), kind)->RemoveAll(), S_OK);
    report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    const Json now = Config(0);
    EXPECT_EQ(now["DHCPEnabled"], true);
    EXPECT_EQ(now["DefaultIPGateway"], Json::array({"192.168.10.254", "fe80::1"})) << "no old gateway";
    EXPECT_EQ(now["DNSServerSearchOrder"], Json::array({"192.168.10.253"}));
    EXPECT_TRUE(now["WINSPrimaryServer"].is_null());
    EXPECT_TRUE(now["WINSSecondaryServer"].is_null());
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease"), 0);
    EXPECT_EQ(Changes(report.Get())[L"Ethernet.DNSAddresses"].planned, L"(from DHCP)");
    EXPECT_EQ(Changes(report.Get()).count(L"Ethernet.GateWayAddresses"), 0u) << "DHCP decides the gateway";
}

// Without administrator rights Windows refuses every network change, with 91
// or, on some hosts, with WBEM_E_ACCESS_DENIED from ExecMethod_ itself: the
// report says so in AccessDenied, and nothing changes.
TEST_F(Windows11Laptop, ANotElevatedMachineRefusesAndTheReportSaysAccessDenied) {
    const ComPtr<INetProfile> office = Captured();
    for (const char* answer : {"returnValue", "execMethod"}) {
        SCOPED_TRACE(answer);
        Install(Away());
        Machine().SetNotElevated(true);
        Machine().Configure("_accessDenied", answer);
        const Json before = Adapters();
        const ComPtr<IApplyReport> report = Apply(office.Get());
        EXPECT_EQ(Adapters(), before);
        EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_Succeeded));
        ComPtr<IApplyReport2> second;
        ASSERT_EQ(report.As(&second), S_OK);
        VARIANT_BOOL denied = VARIANT_FALSE, restart = VARIANT_TRUE;
        EXPECT_EQ(second->get_AccessDenied(&denied), S_OK);
        EXPECT_EQ(second->get_RestartNeeded(&restart), S_OK);
        EXPECT_EQ(denied, VARIANT_TRUE);
        EXPECT_EQ(restart, VARIANT_FALSE);
        std::map<std::wstring, Change> changes = Changes(report.Get());
        const Change& mode = changes[L"Ethernet.Mode"];
        EXPECT_EQ(mode.status, 2);
        EXPECT_EQ(mode.method, L"EnableStatic");
        EXPECT_EQ(mode.message, std::string(answer) == "returnValue"
                                    ? L"access denied: administrator rights are needed (91)"
                                    : L"access denied: administrator rights are needed (0x80041003)");
        // The rest of Ethernet needs it static first.
        EXPECT_EQ(changes[L"Ethernet.DNSAddresses"].status, 2);
        EXPECT_EQ(changes[L"Ethernet.DNSAddresses"].message, L"not set: EnableStatic failed first");
        EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].SetDNSServerSearchOrder"), 0);
        // The default printer is the user's own, and the rollback puts it back.
        EXPECT_EQ(changes[L"DefaultPrinter"].status, 1);
        EXPECT_TRUE(IsDefault(0)) << "back from HP LaserJet 4050";
        EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_RolledBack));
        const std::wstring text = ReportText(report.Get());
        EXPECT_NE(text.find(L"Administrator rights are needed"), std::wstring::npos) << Narrow(text);
    }
}

// Another program holds the network configuration's lock: the switch tries
// three times in all, half a second apart.
TEST_F(Windows11Laptop, ALockHeldTwiceIsWaitedOut) {
    const ComPtr<INetProfile> office = Captured();
    SetEntries(AdapterOf(office.Get(), 0).Get(), Kind::DNSAddresses, {L"192.168.10.3"});
    Machine().MethodReturns(L"SetDNSServerSearchOrder", static_cast<long>(2147786788ul), 2);
    const ULONGLONG start = GetTickCount64();
    ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_GE(GetTickCount64() - start, 900u);
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].SetDNSServerSearchOrder"), 3);
    EXPECT_EQ(Config(0)["DNSServerSearchOrder"], Json::array({"192.168.10.3"}));

    // Held for good: three tries, then the failure with its meaning.
    SetEntries(AdapterOf(office.Get(), 0).Get(), Kind::DNSAddresses, {L"192.168.10.4"});
    Machine().MethodReturns(L"SetDNSServerSearchOrder", static_cast<long>(2147786788ul));
    TakeJournal();
    report = Apply(office.Get());
    EXPECT_EQ(CountLines("exec Win32_NetworkAdapterConfiguration[0].SetDNSServerSearchOrder"), 3);
    const Change dns = Changes(report.Get())[L"Ethernet.DNSAddresses"];
    EXPECT_EQ(dns.status, 2);
    EXPECT_EQ(dns.message, L"another program is changing the network configuration; try again (2147786788)");
}

// A stored adapter whose adapter is present but unplugged is not missing.
TEST_F(Windows11Laptop, ADisconnectedStoredAdapterIsNotConnected) {
    const ComPtr<INetProfile> office = Captured();
    AddAdapter(office.Get(), L"Realtek USB GbE Family Controller", L"Ethernet 2", VARIANT_TRUE);
    const ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    const Change mode = Changes(report.Get())[L"Ethernet 2.Mode"];
    EXPECT_EQ(mode.status, 3);
    EXPECT_EQ(mode.message, L"not connected: nothing applied");
    EXPECT_EQ(Execs(), 0);
}

// While it waits for the machine, the switch keeps its caller's messages
// flowing; a switch called from one of them meanwhile is refused, and a
// WM_QUIT ends the wait and stays for the application's own loop.
struct CWindowCall {
    IProfileSwitch* profileSwitch = nullptr;
    INetProfile* profile = nullptr;
    bool handled = false;
    HRESULT again = S_OK;
    HRESULT put = S_OK;
};

LRESULT CALLBACK SwitchAgain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
    auto* call = reinterpret_cast<CWindowCall*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    ComPtr<IApplyReport> report;
    call->again = call->profileSwitch->Apply(call->profile, &report);
    call->put = call->profileSwitch->put_VerifyTimeout(0);
    call->handled = true;
    return 0;
}

TEST_F(Windows11Laptop, WhileItWaitsTheCallersMessagesFlowAndASecondSwitchIsRefused) {
    const ComPtr<INetProfile> office = Captured();
    SetEntries(AdapterOf(office.Get(), 0).Get(), Kind::DNSAddresses, {L"192.168.10.3"});
    Machine().ShowChangesAfter(2000);
    ASSERT_EQ(m_switch->put_VerifyTimeout(5000), S_OK);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SwitchAgain;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VarquelSwitchTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_TRUE(window);
    CWindowCall call{m_switch.Get(), office.Get()};
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&call));
    ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));

    const ULONGLONG start = GetTickCount64();
    const ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_GE(GetTickCount64() - start, 1900u) << "the change took 2 s to show";
    EXPECT_TRUE(call.handled) << "the message was dispatched before Apply returned";
    EXPECT_EQ(call.again, RPC_E_CALL_REJECTED);
    EXPECT_EQ(call.put, RPC_E_CALL_REJECTED);
    long timeout = 0;
    EXPECT_EQ(m_switch->get_VerifyTimeout(&timeout), S_OK);
    EXPECT_EQ(timeout, 5000);
    EXPECT_EQ(Execs(), 1) << "the refused switch called nothing";
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));

    // A WM_QUIT ends the wait at once and is posted again.
    SetEntries(AdapterOf(office.Get(), 0).Get(), Kind::DNSAddresses, {L"192.168.10.4"});
    Sleep(2100);  // the earlier change shows
    PostQuitMessage(7);
    const ULONGLONG quitStart = GetTickCount64();
    Apply(office.Get());
    EXPECT_LT(GetTickCount64() - quitStart, 1500u);
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(quit.wParam, 7u);

    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

} // namespace
} // namespace ProfilesTest
