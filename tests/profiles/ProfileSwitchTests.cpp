// The profile switch on a simulated Windows 11 machine: what a preview reads,
// what a verified apply reports and leaves, and rollback.
#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include "tests/profiles/StoreFixture.h"
#include "tests/support/SimulatedMachineTest.h"

namespace ProfilesTest {
namespace {

using Json = VarquelSim::CMachine::Json;
using Kind = Varquel::CNetAdapterProperty::AddressKind;
using VarquelTest::Narrow;

// "Eth" on DHCP, away from the office; "Wifi" on DHCP; printer "A" the default.
const char* const kAway = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["192.168.10.120", "2001:db8:10::20", "fe80::1c2d"], "IPSubnet": ["255.255.255.0", "64", "64"],
        "DefaultIPGateway": ["192.168.10.1", "fe80::1"], "DNSServerSearchOrder": ["192.168.10.2"],
        "WINSPrimaryServer": null, "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["192.168.10.120"], "IPSubnet": ["255.255.255.0"],
                        "DefaultIPGateway": ["192.168.10.1"], "DNSServerSearchOrder": ["192.168.10.2"] } } },
    { "Name": "Wifi", "NetConnectionID": "Wi-Fi",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["10.1.0.57", "fe80::8d4c"], "IPSubnet": ["255.255.0.0", "64"],
        "DefaultIPGateway": ["10.1.0.1"], "DNSServerSearchOrder": ["10.1.0.1"],
        "WINSPrimaryServer": null, "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["10.1.0.57"], "IPSubnet": ["255.255.0.0"] } } }
  ],
  "Win32_Printer": [ { "DeviceID": "A", "Default": true }, { "DeviceID": "B", "Default": false } ]
})json";

// The stored "Office": "Eth" static, as a store round trip gives it back
// (lists in the registry's order, the one IPv4 mask repeated), printer "B".
ComPtr<INetProfile> Office() {
    ComPtr<INetProfile> office = NewProfile(L"Office");
    ComPtr<INetAdapterProperty> eth = AddAdapter(office.Get(), L"Eth", L"Ethernet", VARIANT_FALSE);
    for (const wchar_t* address : {L"192.168.10.20", L"192.168.10.21", L"2001:db8:10::20", L"fe80::1c2d"})
        AddEntry(eth.Get(), Kind::IPAddresses, address);
    for (const wchar_t* mask : {L"255.255.255.0", L"64", L"255.255.255.0"}) AddEntry(eth.Get(), Kind::SubnetMasks, mask);
    for (const wchar_t* gateway : {L"192.168.10.1", L"fe80::1"}) AddEntry(eth.Get(), Kind::GateWayAddresses, gateway);
    AddEntry(eth.Get(), Kind::DNSAddresses, L"192.168.10.2");
    SetDefaultPrinter(office.Get(), L"B");
    return office;
}

struct Change {
    std::wstring adapter, connection, setting, before, planned, after, method, message;
    long status = -1, returnValue = 0;
};

std::wstring Get(IApplyChange* change, HRESULT (STDMETHODCALLTYPE IApplyChange::*getter)(BSTR*)) {
    Varquel::CBstr text;
    EXPECT_EQ((change->*getter)(text.ReleaseAndGetAddressOf()), S_OK);
    return Text(text.Get());
}

// Every change of a report, keyed "<connection or adapter>.<setting>".
std::map<std::wstring, Change> Changes(IApplyReport* report) {
    std::map<std::wstring, Change> changes;
    long count = 0;
    EXPECT_EQ(report->get_Count(&count), S_OK);
    for (long i = 0; i < count; ++i) {
        ComPtr<IApplyChange> item;
        EXPECT_EQ(report->Item(i, &item), S_OK);
        if (!item) continue;
        Change c;
        c.adapter = Get(item.Get(), &IApplyChange::get_Adapter);
        c.connection = Get(item.Get(), &IApplyChange::get_NetConnectionID);
        c.setting = Get(item.Get(), &IApplyChange::get_Setting);
        c.before = Get(item.Get(), &IApplyChange::get_Before);
        c.planned = Get(item.Get(), &IApplyChange::get_Planned);
        c.after = Get(item.Get(), &IApplyChange::get_After);
        c.method = Get(item.Get(), &IApplyChange::get_WmiMethod);
        c.message = Get(item.Get(), &IApplyChange::get_Message);
        EXPECT_EQ(item->get_Status(&c.status), S_OK);
        EXPECT_EQ(item->get_WmiReturnValue(&c.returnValue), S_OK);
        const std::wstring owner = c.connection.empty() ? c.adapter : c.connection;
        const std::wstring key = owner.empty() ? c.setting : owner + L"." + c.setting;
        EXPECT_EQ(changes.count(key), 0u) << Narrow(key) << " twice";
        changes[key] = c;
    }
    return changes;
}

std::wstring ReportText(IApplyReport* report) {
    Varquel::CBstr text;
    EXPECT_EQ(report->get_Text(text.ReleaseAndGetAddressOf()), S_OK);
    return Text(text.Get());
}

bool Flag(IApplyReport* report, HRESULT (STDMETHODCALLTYPE IApplyReport::*getter)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = 7;
    EXPECT_EQ((report->*getter)(&value), S_OK);
    return value == VARIANT_TRUE;
}

class ProfileSwitch : public VarquelTest::SimulatedMachineTest {
protected:
    void SetUp() override {
        Install(kAway);
        m_switch = VarquelTest::Create<IProfileSwitch>(CLSID_CProfileSwitch);
        ASSERT_TRUE(m_switch);
        ASSERT_EQ(m_switch->put_VerifyTimeout(0), S_OK);  // the simulated machine shows changes at once
    }
    void TearDown() override {
        m_switch.Reset();
        SimulatedMachineTest::TearDown();
    }
    Json Adapters() const { return Machine().State()["Win32_NetworkAdapter"]; }
    Json Config(long id) const { return Machine().Instance("Win32_NetworkAdapterConfiguration", id); }
    bool IsDefault(long printer) const { return Machine().Instance("Win32_Printer", printer)["Default"] == true; }
    long Execs() const { return CountLines("exec "); }

    ComPtr<IApplyReport> Apply(INetProfile* profile) {
        ComPtr<IApplyReport> report;
        EXPECT_EQ(m_switch->Apply(profile, &report), S_OK);
        return report;
    }

    ComPtr<IProfileSwitch> m_switch;
};

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

// A reading is what a capture reads, and the lists of each adapter on DHCP,
// which a capture leaves alone: six reads each.
long Reading(VarquelTest::CInstalledMachine& machine, long adaptersOnDhcp) {
    machine.TakeJournal();
    EXPECT_EQ(NewProfile(L"now")->GetCurrent(), S_OK);
    return static_cast<long>(machine.TakeJournal().size()) + 6 * adaptersOnDhcp;
}

TEST_F(ProfileSwitch, AVerifiedApplyCostsThePlainApplyAndTwoReadings) {
    const ComPtr<INetProfile> office = Office();
    ComPtr<INetProfile> plain;
    ASSERT_EQ(office->GetDuplicate(&plain), S_OK);
    ASSERT_EQ(plain->Apply(), S_OK);
    const long plainLines = static_cast<long>(MachineJournal().size());
    const long plainExecs = Execs();
    // The plain Apply reads one answer itself: EnableStatic's, for the gateway.
    const long plainAnswers = CountLines("read Win32_NetworkAdapterConfiguration[0].EnableStatic.out");

    Install(kAway);
    const long snapshot = Reading(*this, 2);
    const ComPtr<IApplyReport> report = Apply(office.Get());
    const VarquelTest::Journal journal = TakeJournal();
    const long verification = Reading(*this, 1);
    // The same calls, each ReturnValue read once, a snapshot and a verification.
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(), [](const std::string& l) { return l.rfind("exec ", 0) == 0; }),
              plainExecs);
    EXPECT_EQ(plainAnswers, 1);
    EXPECT_EQ(static_cast<long>(journal.size()), plainLines - plainAnswers + plainExecs + snapshot + verification);
}

TEST_F(ProfileSwitch, ANotElevatedMachineAnswersEveryNetworkCallWith91AndStaysAsItWas) {
    Machine().SetNotElevated(true);
    const Json before = Adapters();
    const ComPtr<IApplyReport> report = Apply(Office().Get());
    EXPECT_EQ(Adapters(), before);
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    std::map<std::wstring, Change> changes = Changes(report.Get());
    for (const wchar_t* setting : {L"Mode", L"IPAddresses", L"SubnetMasks", L"GateWayAddresses", L"DNSAddresses"}) {
        const Change& change = changes[std::wstring(L"Ethernet.") + setting];
        EXPECT_EQ(change.status, 2) << Narrow(std::wstring(setting));
        EXPECT_EQ(change.returnValue, 91) << Narrow(std::wstring(setting));
        EXPECT_EQ(change.message, L"access denied: administrator rights are needed (91)") << Narrow(std::wstring(setting));
    }
    // The default printer is the user's own, and the rollback puts it back.
    EXPECT_EQ(changes[L"DefaultPrinter"].status, 1);
    EXPECT_TRUE(IsDefault(0));
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_RolledBack));
    const std::wstring text = ReportText(report.Get());
    EXPECT_NE(text.find(L"Administrator rights are needed"), std::wstring::npos) << Narrow(text);
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
    // After is what the failed apply left: the lease released.
    EXPECT_EQ(changes[L"Ethernet.IPAddresses"].after, L"2001:db8:10::20, fe80::1c2d");
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
    EXPECT_EQ(Config(0)["IPAddress"], Json::array({"2001:db8:10::20", "fe80::1c2d"}));
    EXPECT_TRUE(IsDefault(1));

    Machine().MethodReturns(L"EnableStatic", 0);
    ComPtr<IApplyReport> rollback;
    ASSERT_EQ(m_switch->Rollback(report.Get(), &rollback), S_OK);
    ASSERT_TRUE(rollback);
    EXPECT_TRUE(Flag(rollback.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(rollback.Get()));
    EXPECT_EQ(Config(0), eth);
    EXPECT_TRUE(IsDefault(0));
}

// On a real machine a change takes time to show: verification reads again
// until it shows or the wait ends. A reading that fails once stands for that.
TEST_F(ProfileSwitch, VerificationReadsAgainUntilTheMachineShowsTheChange) {
    const ComPtr<INetProfile> office = Office();
    ASSERT_EQ(m_switch->put_VerifyTimeout(5000), S_OK);
    Machine().ResetCallCount();
    ASSERT_TRUE(Apply(office.Get()));
    const long cleanCalls = Machine().CallCount();

    // A clean run ends with the verification's reading: one of its calls fails.
    Install(kAway);
    Machine().ResetCallCount();
    Machine().FailAtCall(cleanCalls - 20);
    const ComPtr<IApplyReport> report = Apply(office.Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(report.Get()));
    EXPECT_EQ(CountLines("query SELECT * FROM Win32_NetworkAdapter"), 4) << "snapshot, apply, two verifications";
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

} // namespace
} // namespace ProfilesTest
