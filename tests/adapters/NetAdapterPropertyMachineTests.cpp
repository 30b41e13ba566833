// CNetAdapterProperty attached to a simulated machine: what it reads, the
// exact WMI calls of Apply, and when it answers S_FALSE.
#include <wbemcli.h>
#include "tests/adapters/MachineFixture.h"
#include "wmi/WmiQuery.h"

namespace {

using namespace AdapterTests;
using Varquel::CBstr;
using Varquel::CNetAdapterProperty;
using VarquelTest::ComPtr;

const std::string kEmpty = "VT_ARRAY|VT_VARIANT[]";

class AttachedAdapterTest : public MachineTest {
protected:
    void SetUp() override {
        Json dhcp = StaticConfiguration({"10.1.0.57"}, {"255.255.0.0"});
        dhcp["DHCPEnabled"] = true;
        Json wins = StaticConfiguration({"192.168.10.20", "192.168.10.21"}, {"255.255.255.0", "255.255.255.0"});
        wins["WINSPrimaryServer"] = "192.168.10.5";
        Load(MachineJson({
            AdapterJson("Intel(R) Ethernet Connection", "Ethernet", StaticConfiguration()),
            AdapterJson("Wireless Network Adapter", "Wi-Fi", dhcp),
            AdapterJson("Realtek USB GbE", "Ethernet 2", wins),
        }));
    }

    std::string Exec(long id, const std::string& call) { return "exec " + Configuration(id) + "." + call; }
    std::string Read(long id, const std::string& property) {
        return "read " + Configuration(id) + "." + property;
    }
    Json ConfigurationState(long id) { return Machine().Instance("Win32_NetworkAdapterConfiguration", id); }
};

TEST_F(AttachedAdapterTest, AttachingReadsTheIdentityAndTheConfigurationsIPEnabled) {
    ComPtr<CNetAdapterProperty> adapter = NewAdapter();
    Varquel::CWmiQuery query(L"SELECT * FROM Win32_NetworkAdapter");
    query.Next();
    ComPtr<ISWbemObject> second = query.Next();
    ASSERT_TRUE(second);
    Machine().ClearJournal();
    EXPECT_EQ(0, adapter->AttachToAdapter(second.Get()));
    EXPECT_EQ(AttachLines(1), TakeJournal());
    EXPECT_EQ(L"Wireless Network Adapter", Text(adapter->Name()));
    EXPECT_EQ(L"Wi-Fi", Text(adapter->NetConnectionID()));
    EXPECT_EQ(VARIANT_TRUE, adapter->IPEnabled());
    // Attaching reads no settings.
    EXPECT_EQ(VARIANT_FALSE, adapter->IsDhcp());
    EXPECT_EQ(0, adapter->List(Kind::IPAddresses).Entries().Count());
}

TEST_F(AttachedAdapterTest, ApplyOnTheDhcpPath) {
    ComPtr<CNetAdapterProperty> adapter = Attached(0);
    ASSERT_EQ(S_OK, adapter->put_IsDHCP(VARIANT_BOOL(1)));  // any non-zero value
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"10.0.0.99"});  // not sent on this path
    SetEntries(adapter.Get(), Kind::DNSAddresses, {L"10.0.0.53", L"10.0.0.54"});

    EXPECT_EQ(S_OK, adapter->Apply());
    // The machine shows a static gateway, which EnableDHCP would keep: it is
    // cleared first, with the adapter's own address.
    EXPECT_EQ((Lines{
                  Read(0, "DHCPEnabled"),
                  Read(0, "IPAddress"),
                  Read(0, "DefaultIPGateway"),
                  Exec(0, R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["10.0.0.5"]))"),
                  Exec(0, "ReleaseDHCPLease()"),
                  Exec(0, "EnableDHCP()"),
                  Exec(0, "RenewDHCPLease()"),
                  Exec(0, R"(SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT["10.0.0.53","10.0.0.54"]))"),
              }),
              TakeJournal());
    Json state = ConfigurationState(0);
    EXPECT_EQ(true, state["DHCPEnabled"]);
    EXPECT_EQ(Json::array({"10.9.0.7"}), state["IPAddress"]);  // the lease's
}

// A static adapter moved to DHCP keeps no old gateway, whatever the clearing
// call leaves, and takes DHCP's DNS servers when the profile has none.
TEST_F(AttachedAdapterTest, ApplyToDhcpLeavesNoOldGatewayAndDhcpsDns) {
    for (const char* leaves : {"nothing", "address", "0.0.0.0"}) {
        Json configuration = StaticConfiguration({"10.0.0.5"}, {"255.0.0.0"});
        configuration["_dhcpLease"]["DefaultIPGateway"] = Json::array({"10.9.0.1"});
        configuration["_dhcpLease"]["DNSServerSearchOrder"] = Json::array({"10.9.0.53"});
        Load(MachineJson({AdapterJson("Intel(R) Ethernet Connection", "Ethernet", configuration)}));
        Machine().Configure("_gatewayClearingLeaves", leaves);
        Machine().Configure("_emptyDnsList", "clears");  // an empty list is not documented to hand DNS back
        ComPtr<CNetAdapterProperty> adapter = Attached(0);
        adapter->SetIsDhcp(VARIANT_TRUE);
        EXPECT_EQ(S_OK, adapter->Apply());
        Json state = ConfigurationState(0);
        const Json gateways = state["DefaultIPGateway"];
        EXPECT_TRUE(std::find(gateways.begin(), gateways.end(), Json("10.0.0.1")) == gateways.end())
            << leaves << ": " << gateways.dump();
        EXPECT_EQ(Json("10.9.0.1"), gateways.at(gateways.size() - 1)) << leaves;
        EXPECT_EQ(Json::array({"10.9.0.53"}), state["DNSServerSearchOrder"]) << leaves;
    }
}

// A static profile without a gateway clears the machine's the documented way,
// with the address EnableStatic set; an empty array may change nothing.
TEST_F(AttachedAdapterTest, ApplyStaticWithoutAGatewayClearsItWithItsOwnAddress) {
    ComPtr<CNetAdapterProperty> adapter = Attached(0);
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"fe80::6", L"10.0.0.6"});
    SetEntries(adapter.Get(), Kind::SubnetMasks, {L"64", L"255.0.0.0"});
    EXPECT_EQ(S_OK, adapter->Apply());
    Lines journal = TakeJournal();
    ASSERT_EQ(5u, journal.size());
    EXPECT_EQ(Exec(0, R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["10.0.0.6"]))"), journal[3]);
    EXPECT_TRUE(ConfigurationState(0)["DefaultIPGateway"].is_null());

    // Refused addresses are not the adapter's: they never become its gateway.
    Machine().MethodReturns(L"EnableStatic", 70);
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ(Exec(0, "SetGateways(Item DefaultIPGateway=" + kEmpty + ")"), TakeJournal()[3]);
}

TEST_F(AttachedAdapterTest, ApplyOnTheDhcpPathHandsAnEmptyDnsListBackToDhcp) {
    ComPtr<CNetAdapterProperty> adapter = Attached(1);
    adapter->SetIsDhcp(VARIANT_TRUE);
    SetEntries(adapter.Get(), Kind::WINSServers, {L"10.0.0.9"});
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ((Lines{
                  Read(1, "DHCPEnabled"),
                  Exec(1, "ReleaseDHCPLease()"),
                  Exec(1, "EnableDHCP()"),
                  Exec(1, "RenewDHCPLease()"),
                  Exec(1, "SetDNSServerSearchOrder()"),
                  Exec(1, R"(SetWINSServer(Item WINSPrimaryServer=VT_BSTR"10.0.0.9"))"),
              }),
              TakeJournal());
}

TEST_F(AttachedAdapterTest, ApplyStaticWithEmptyListsSendsZeroElementArraysAndNoWins) {
    ComPtr<CNetAdapterProperty> adapter = Attached(0);
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ((Lines{
                  Exec(0, "ReleaseDHCPLease()"),
                  Exec(0, "EnableStatic(Item IPAddress=" + kEmpty + ", Item SubnetMask=" + kEmpty + ")"),
                  Read(0, "EnableStatic.out.ReturnValue"),
                  Exec(0, "SetGateways(Item DefaultIPGateway=" + kEmpty + ")"),
                  Exec(0, "SetDNSServerSearchOrder(Item DNSServerSearchOrder=" + kEmpty + ")"),
              }),
              TakeJournal());
}

TEST_F(AttachedAdapterTest, ApplyStaticSendsTheListsAndTheFirstTwoWinsServers) {
    ComPtr<CNetAdapterProperty> adapter = Attached(2);
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"172.16.0.10", L"172.16.0.11"});
    SetEntries(adapter.Get(), Kind::SubnetMasks, {L"255.255.0.0", L"255.255.0.0"});
    SetEntries(adapter.Get(), Kind::GateWayAddresses, {L"172.16.0.1"});
    SetEntries(adapter.Get(), Kind::DNSAddresses, {L"172.16.0.2"});
    SetEntries(adapter.Get(), Kind::WINSServers, {L"172.16.0.5", L"172.16.0.6", L"172.16.0.7"});

    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ((Lines{
                  Exec(2, "ReleaseDHCPLease()"),
                  Exec(2, R"(EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["172.16.0.10","172.16.0.11"], )"
                          R"(Item SubnetMask=VT_ARRAY|VT_VARIANT["255.255.0.0","255.255.0.0"]))"),
                  Read(2, "EnableStatic.out.ReturnValue"),
                  Exec(2, R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["172.16.0.1"]))"),
                  Exec(2, R"(SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT["172.16.0.2"]))"),
                  Exec(2, R"(SetWINSServer(Item WINSPrimaryServer=VT_BSTR"172.16.0.5", )"
                          R"(Item WINSSecondaryServer=VT_BSTR"172.16.0.6"))"),
              }),
              TakeJournal());
    Json state = ConfigurationState(2);
    EXPECT_EQ(Json::array({"172.16.0.10", "172.16.0.11"}), state["IPAddress"]);
    EXPECT_EQ(Json::array({"172.16.0.1"}), state["DefaultIPGateway"]);
    EXPECT_EQ("172.16.0.6", state["WINSSecondaryServer"]);
}

// The machine reports IPv6 entries beside the IPv4 ones, but the methods
// configure IPv4 only and refuse a whole call for one IPv6 entry.
TEST_F(AttachedAdapterTest, ApplySendsTheIPv4OnlyMethodsIPv4EntriesOnly) {
    ComPtr<CNetAdapterProperty> adapter = Attached(2);
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"172.16.0.10", L"2001:db8::10", L"172.17.0.10", L"fe80::10"});
    SetEntries(adapter.Get(), Kind::SubnetMasks, {L"255.255.0.0", L"64", L"255.255.255.0", L"64"});
    SetEntries(adapter.Get(), Kind::GateWayAddresses, {L"172.16.0.1", L"fe80::1"});
    SetEntries(adapter.Get(), Kind::DNSAddresses, {L"2001:4860:4860::8888", L"172.16.0.2", L"odd"});
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ((Lines{
                  Exec(2, "ReleaseDHCPLease()"),
                  Exec(2, R"(EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["172.16.0.10","172.17.0.10"], )"
                          R"(Item SubnetMask=VT_ARRAY|VT_VARIANT["255.255.0.0","255.255.255.0"]))"),
                  Read(2, "EnableStatic.out.ReturnValue"),
                  Exec(2, R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["172.16.0.1"]))"),
                  // An entry of neither kind is the machine's to judge.
                  Exec(2, R"(SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT["172.16.0.2","odd"]))"),
              }),
              TakeJournal());
    EXPECT_EQ(Json::array({"172.16.0.10", "172.17.0.10"}), ConfigurationState(2)["IPAddress"]);
    // The lists keep every entry.
    EXPECT_EQ(4, adapter->List(Kind::IPAddresses).Entries().Count());

    // A DNS list left without an IPv4 entry hands DNS back to DHCP there.
    adapter->SetIsDhcp(VARIANT_TRUE);
    SetEntries(adapter.Get(), Kind::DNSAddresses, {L"fe80::53"});
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ(Exec(2, "SetDNSServerSearchOrder()"), TakeJournal().back());
}

TEST_F(AttachedAdapterTest, ApplyReportsSuccessWhateverTheMachineAnswersOnTheStaticPath) {
    ComPtr<CNetAdapterProperty> adapter = Attached(0);
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"not an address"});
    SetEntries(adapter.Get(), Kind::DNSAddresses, {L"10.0.0.53"});
    Machine().FailMethod(L"EnableStatic", WBEM_E_FAILED);
    Machine().MethodReturns(L"SetGateways", 71);
    EXPECT_EQ(S_OK, adapter->Apply());
    Lines journal = TakeJournal();
    ASSERT_EQ(4u, journal.size());
    EXPECT_EQ(Exec(0, R"(SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT["10.0.0.53"]))"),
              journal[3]);
}

TEST_F(AttachedAdapterTest, ApplyStopsWithSFalseWhenAParameterlessMethodFails) {
    ComPtr<CNetAdapterProperty> adapter = Attached(1);
    adapter->SetIsDhcp(VARIANT_TRUE);

    // The machine shows DHCP: no gateway to clear first.
    const std::string shown = Read(1, "DHCPEnabled");
    Machine().FailMethod(L"ReleaseDHCPLease", WBEM_E_FAILED);
    EXPECT_EQ(S_FALSE, adapter->Apply());
    EXPECT_EQ((Lines{shown, Exec(1, "ReleaseDHCPLease()")}), TakeJournal());
    Machine().FailMethod(L"ReleaseDHCPLease", S_OK);

    Machine().FailMethod(L"EnableDHCP", WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_FALSE, adapter->Apply());
    EXPECT_EQ((Lines{shown, Exec(1, "ReleaseDHCPLease()"), Exec(1, "EnableDHCP()")}), TakeJournal());
    Machine().FailMethod(L"EnableDHCP", S_OK);

    Machine().FailMethod(L"RenewDHCPLease", WBEM_E_FAILED);
    EXPECT_EQ(S_FALSE, adapter->Apply());
    EXPECT_EQ((Lines{shown, Exec(1, "ReleaseDHCPLease()"), Exec(1, "EnableDHCP()"), Exec(1, "RenewDHCPLease()")}),
              TakeJournal());
}

TEST_F(AttachedAdapterTest, AReleaseThatTheMachineDeclinesStillCounts) {
    // A static adapter has no lease to release: WMI answers 100, not a failure.
    ComPtr<CNetAdapterProperty> adapter = Attached(0);
    EXPECT_EQ(S_OK, adapter->Apply());
    EXPECT_EQ(5u, TakeJournal().size());
}

TEST_F(AttachedAdapterTest, GetCurrentOnAStaticAdapterReadsEveryList) {
    ComPtr<CNetAdapterProperty> adapter = Attached(2);
    adapter->SetIsDhcp(VARIANT_TRUE);  // the machine's value replaces it
    SetEntries(adapter.Get(), Kind::GateWayAddresses, {L"stale"});
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ((Lines{Read(2, "DHCPEnabled"), Read(2, "IPAddress"), Read(2, "IPSubnet"), Read(2, "DefaultIPGateway"),
                     Read(2, "DNSServerSearchOrder"), Read(2, "WINSPrimaryServer"), Read(2, "WINSSecondaryServer")}),
              TakeJournal());
    EXPECT_EQ(VARIANT_FALSE, adapter->IsDhcp());
    EXPECT_EQ((Strings{L"192.168.10.20", L"192.168.10.21"}), Entries(adapter.Get(), Kind::IPAddresses));
    EXPECT_EQ((Strings{L"255.255.255.0", L"255.255.255.0"}), Entries(adapter.Get(), Kind::SubnetMasks));
    EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(adapter.Get(), Kind::GateWayAddresses));
    EXPECT_EQ(Strings{L"10.0.0.53"}, Entries(adapter.Get(), Kind::DNSAddresses));
    EXPECT_EQ(Strings{L"192.168.10.5"}, Entries(adapter.Get(), Kind::WINSServers));
}

TEST_F(AttachedAdapterTest, GetCurrentTwiceKeepsOneWinsServerOnce) {
    ComPtr<CNetAdapterProperty> adapter = Attached(2);
    SetEntries(adapter.Get(), Kind::WINSServers, {L"1.1.1.1", L"2.2.2.2", L"3.3.3.3"});
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(Strings{L"192.168.10.5"}, Entries(adapter.Get(), Kind::WINSServers));
    EXPECT_EQ(0, CountLines("connect"));  // the held configuration object, no new query
    EXPECT_EQ(0, CountLines("query"));
}

TEST_F(AttachedAdapterTest, GetCurrentOnADhcpAdapterLeavesTheListsAlone) {
    ComPtr<CNetAdapterProperty> adapter = Attached(1);
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"kept"});
    SetEntries(adapter.Get(), Kind::WINSServers, {L"kept too"});
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(Lines{Read(1, "DHCPEnabled")}, TakeJournal());
    EXPECT_EQ(VARIANT_TRUE, adapter->IsDhcp());
    EXPECT_EQ(Strings{L"kept"}, Entries(adapter.Get(), Kind::IPAddresses));
    EXPECT_EQ(Strings{L"kept too"}, Entries(adapter.Get(), Kind::WINSServers));
}

TEST_F(AttachedAdapterTest, GetCurrentThenApplySendsWhatWasRead) {
    ComPtr<CNetAdapterProperty> adapter = Attached(2);
    ASSERT_EQ(S_OK, adapter->GetCurrent());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, adapter->Apply());
    Lines journal = TakeJournal();
    ASSERT_EQ(6u, journal.size());
    EXPECT_EQ(Exec(2, R"(EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["192.168.10.20","192.168.10.21"], )"
                      R"(Item SubnetMask=VT_ARRAY|VT_VARIANT["255.255.255.0","255.255.255.0"]))"),
              journal[1]);
    EXPECT_EQ(Exec(2, R"(SetWINSServer(Item WINSPrimaryServer=VT_BSTR"192.168.10.5"))"), journal[5]);
}

// ---- reading faults ----

class AdapterReadFaultTest : public MachineTest {
protected:
    // One static adapter whose configuration is changed by `edit`.
    template <class Edit>
    ComPtr<CNetAdapterProperty> AdapterWith(Edit edit) {
        Json configuration = StaticConfiguration({"10.0.0.5"}, {"255.0.0.0"});
        configuration["WINSPrimaryServer"] = "10.0.0.9";
        edit(configuration);
        Load(MachineJson({AdapterJson("eth0", "Ethernet", configuration)}));
        return Attached(0);
    }
};

TEST_F(AdapterReadFaultTest, AMissingPropertyStopsGetCurrentWithTheListsReadSoFar) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json& c) { c.erase("DefaultIPGateway"); });
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
        SetEntries(adapter.Get(), static_cast<Kind>(kind), {L"old"});
    EXPECT_EQ(S_FALSE, adapter->GetCurrent());
    EXPECT_EQ(Strings{L"10.0.0.5"}, Entries(adapter.Get(), Kind::IPAddresses));
    EXPECT_EQ(Strings{L"255.0.0.0"}, Entries(adapter.Get(), Kind::SubnetMasks));
    EXPECT_EQ(Strings{L"old"}, Entries(adapter.Get(), Kind::GateWayAddresses));
    EXPECT_EQ(Strings{L"old"}, Entries(adapter.Get(), Kind::DNSAddresses));
    EXPECT_EQ(Strings{L"old"}, Entries(adapter.Get(), Kind::WINSServers));
}

TEST_F(AdapterReadFaultTest, AMissingDhcpFlagStopsGetCurrentBeforeAnyList) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json& c) { c.erase("DHCPEnabled"); });
    SetEntries(adapter.Get(), Kind::IPAddresses, {L"old"});
    EXPECT_EQ(S_FALSE, adapter->GetCurrent());
    EXPECT_EQ(Lines{}, TakeJournal());
    EXPECT_EQ(Strings{L"old"}, Entries(adapter.Get(), Kind::IPAddresses));
}

TEST_F(AdapterReadFaultTest, AMissingSecondaryWinsServerLeavesThePrimaryRead) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json& c) { c.erase("WINSSecondaryServer"); });
    SetEntries(adapter.Get(), Kind::WINSServers, {L"old1", L"old2"});
    EXPECT_EQ(S_FALSE, adapter->GetCurrent());
    EXPECT_EQ(Strings{L"10.0.0.9"}, Entries(adapter.Get(), Kind::WINSServers));
}

TEST_F(AdapterReadFaultTest, ADhcpFlagThatIsNoBooleanLeavesIsDhcpAsItWas) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json& c) { c["DHCPEnabled"] = nullptr; });
    adapter->SetIsDhcp(VARIANT_TRUE);
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(VARIANT_TRUE, adapter->IsDhcp());
    EXPECT_EQ(Lines{"read " + Configuration(0) + ".DHCPEnabled"}, TakeJournal());  // DHCP: no list read

    adapter->SetIsDhcp(VARIANT_FALSE);
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(VARIANT_FALSE, adapter->IsDhcp());
    EXPECT_EQ(Strings{L"10.0.0.5"}, Entries(adapter.Get(), Kind::IPAddresses));
}

TEST_F(AdapterReadFaultTest, ValuesOfOtherTypesEmptyTheirList) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json& c) {
        c["IPAddress"] = nullptr;           // no value
        c["IPSubnet"] = "255.0.0.0";       // a single string, not an array
        c["WINSPrimaryServer"] = 7;        // not a string
        c["WINSSecondaryServer"] = "10.0.0.10";
    });
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
        SetEntries(adapter.Get(), static_cast<Kind>(kind), {L"old"});
    EXPECT_EQ(S_OK, adapter->GetCurrent());
    EXPECT_EQ(Strings{}, Entries(adapter.Get(), Kind::IPAddresses));
    EXPECT_EQ(Strings{}, Entries(adapter.Get(), Kind::SubnetMasks));
    EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(adapter.Get(), Kind::GateWayAddresses));
    EXPECT_EQ(Strings{L"10.0.0.10"}, Entries(adapter.Get(), Kind::WINSServers));
}

TEST_F(AdapterReadFaultTest, APropertySetThatCannotBeObtainedIsSFalse) {
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json&) {});
    Machine().FailAtCall(Machine().CallCount() + 1);  // get_Properties_
    EXPECT_EQ(S_FALSE, adapter->GetCurrent());
    Machine().FailAtCall(0);
    EXPECT_EQ(Lines{}, TakeJournal());
    EXPECT_EQ(S_OK, adapter->GetCurrent());
}

TEST_F(AdapterReadFaultTest, EveryFailingCallOfGetCurrentAndApplyIsHarmless) {
    // Each WMI call of a read and an apply fails once in turn: the adapter
    // answers S_OK or S_FALSE and leaks nothing.
    ComPtr<CNetAdapterProperty> adapter = AdapterWith([](Json&) {});
    SetEntries(adapter.Get(), Kind::WINSServers, {L"10.0.0.9", L"10.0.0.10"});
    const long start = Machine().CallCount();
    ASSERT_EQ(S_OK, adapter->GetCurrent());
    ASSERT_EQ(S_OK, adapter->Apply());
    const long calls = Machine().CallCount() - start;
    ASSERT_GT(calls, 10);
    for (long n = 1; n <= calls; ++n) {
        Machine().FailAtCall(Machine().CallCount() + n);
        HRESULT read = adapter->GetCurrent();
        HRESULT applied = adapter->Apply();
        EXPECT_TRUE(read == S_OK || read == S_FALSE) << n;
        EXPECT_TRUE(applied == S_OK || applied == S_FALSE) << n;
    }
    Machine().FailAtCall(0);
}

} // namespace
