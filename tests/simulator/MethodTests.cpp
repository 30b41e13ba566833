#include "tests/simulator/Machines.h"
#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {
namespace {

using Json = VarquelSim::CMachine::Json;

class Methods : public SimulatorTest {
protected:
    void SetUp() override { Install(kMachine); }
    Json Config(long id) { return Machine().Instance("Win32_NetworkAdapterConfiguration", id); }
};

// ---- Win32_NetworkAdapterConfiguration ----

TEST_F(Methods, EnableStaticSetsAddressesAndTurnsDhcpOff) {
    ComPtr<ISWbemObject> wifi = Configuration(1);
    Params params;
    params.emplace_back(L"IPAddress", Strs({L"10.1.0.5", L"10.1.0.6"}));
    params.emplace_back(L"SubnetMask", Strs({L"255.255.0.0", L"255.255.255.0"}));
    EXPECT_EQ(0, Call(wifi.Get(), L"EnableStatic", params).returnValue);
    Json config = Config(1);
    EXPECT_EQ(false, config["DHCPEnabled"]);
    EXPECT_EQ(Json::parse(R"(["10.1.0.5", "10.1.0.6"])"), config["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["255.255.0.0", "255.255.255.0"])"), config["IPSubnet"]);
}

TEST_F(Methods, EnableStaticOnAStaticAdapterAnswers81AndStillSetsTheAddresses) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params params;
    params.emplace_back(L"IPAddress", Strs({L"10.2.0.1"}));
    params.emplace_back(L"SubnetMask", Strs({L"255.255.0.0"}));
    EXPECT_EQ(81, Call(eth.Get(), L"EnableStatic", params).returnValue);
    EXPECT_EQ(Json::parse(R"(["10.2.0.1"])"), Config(0)["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["255.255.0.0"])"), Config(0)["IPSubnet"]);
}

TEST_F(Methods, EnableStaticOnDhcpDropsWhatDhcpHandedOut) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params wins;
    wins.emplace_back(L"WINSPrimaryServer", Str(L""));
    ASSERT_EQ(0, Call(eth.Get(), L"SetWINSServer", wins).returnValue);
    ASSERT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    ASSERT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder").returnValue);  // DNS from the lease
    Params statics;
    statics.emplace_back(L"IPAddress", Strs({L"10.0.0.6"}));
    statics.emplace_back(L"SubnetMask", Strs({L"255.0.0.0"}));
    EXPECT_EQ(0, Call(eth.Get(), L"EnableStatic", statics).returnValue);
    Json config = Config(0);
    EXPECT_EQ(false, config["DHCPEnabled"]);
    // The static gateway EnableDHCP kept stays; the lease's goes, and so do its DNS servers.
    EXPECT_EQ(Json::parse(R"(["10.0.0.1"])"), config["DefaultIPGateway"]);
    EXPECT_TRUE(config["DNSServerSearchOrder"].is_null());
}

TEST_F(Methods, EnableStaticRefusesBadAddressesAndLeavesTheMachine) {
    ComPtr<ISWbemObject> wifi = Configuration(1);
    const Json before = Machine().State();
    struct Case {
        CVariant addresses, masks;
        long expected;
    };
    std::vector<Case> cases;
    cases.push_back({Strs({L"10.1.0.5", L"10.1.0.6"}), Strs({L"255.0.0.0"}), 66});
    cases.push_back({Strs({L"10.1.0.5"}), Strs({L"255.0.0.0", L"255.0.0.0"}), 66});
    cases.push_back({Strs({}), Strs({}), 70});
    cases.push_back({Strs({L""}), Strs({L"255.0.0.0"}), 70});
    cases.push_back({Strs({L"10.1.0"}), Strs({L"255.0.0.0"}), 70});
    cases.push_back({Strs({L"10.1.0.256"}), Strs({L"255.0.0.0"}), 70});
    cases.push_back({Strs({L"10.1.0.5 "}), Strs({L"255.0.0.0"}), 70});
    cases.push_back({Strs({L"10.1.0.5", L"x"}), Strs({L"255.0.0.0", L"255.0.0.0"}), 70});
    cases.push_back({Strs({L"10.1.0.5"}), Strs({L"255.0.0"}), 66});
    for (Case& c : cases) {
        Params params;
        params.emplace_back(L"IPAddress", std::move(c.addresses));
        params.emplace_back(L"SubnetMask", std::move(c.masks));
        EXPECT_EQ(c.expected, Call(wifi.Get(), L"EnableStatic", params).returnValue)
            << MachineJournal()[MachineJournal().size() - 2];
    }
    EXPECT_EQ(before, Machine().State());
}

TEST_F(Methods, EnableDhcpTakesTheLeaseButKeepsStaticGatewaysAndDnsServers) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    EXPECT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    Json config = Config(0);
    EXPECT_EQ(true, config["DHCPEnabled"]);
    EXPECT_EQ(Json::parse(R"(["10.0.0.77"])"), config["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["255.255.255.0"])"), config["IPSubnet"]);
    // The static gateway stays beside the lease's, and the static DNS server
    // is not reverted to the lease's.
    EXPECT_EQ(Json::parse(R"(["10.0.0.1", "10.0.0.254"])"), config["DefaultIPGateway"]);
    EXPECT_EQ(Json::parse(R"(["10.0.0.2"])"), config["DNSServerSearchOrder"]);

    Params noDns;
    noDns.emplace_back(L"DNSServerSearchOrder", Strs({}));
    ASSERT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", noDns).returnValue);
    EXPECT_EQ(0, Call(eth.Get(), L"RenewDHCPLease").returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.253"])"), Config(0)["DNSServerSearchOrder"]);
}

TEST_F(Methods, LeaseMethodsNeedDhcp) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    const Json before = Machine().State();
    EXPECT_EQ(100, Call(eth.Get(), L"ReleaseDHCPLease").returnValue);
    EXPECT_EQ(100, Call(eth.Get(), L"RenewDHCPLease").returnValue);
    EXPECT_EQ(before, Machine().State());

    ComPtr<ISWbemObject> wifi = Configuration(1);
    EXPECT_EQ(0, Call(wifi.Get(), L"ReleaseDHCPLease").returnValue);
    EXPECT_TRUE(Config(1)["IPAddress"].is_null());
    EXPECT_EQ(0, Call(wifi.Get(), L"RenewDHCPLease").returnValue);
    EXPECT_EQ(Json::parse(R"(["192.168.1.40"])"), Config(1)["IPAddress"]);
}

TEST_F(Methods, GatewaysAndDnsServers) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params gateways;
    gateways.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.100", L"10.0.0.101"}));
    EXPECT_EQ(0, Call(eth.Get(), L"SetGateways", gateways).returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.100", "10.0.0.101"])"), Config(0)["DefaultIPGateway"]);

    Params badGateway;
    badGateway.emplace_back(L"DefaultIPGateway", Strs({L"gateway"}));
    EXPECT_EQ(71, Call(eth.Get(), L"SetGateways", badGateway).returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.100", "10.0.0.101"])"), Config(0)["DefaultIPGateway"]);


    Params dns;
    dns.emplace_back(L"DNSServerSearchOrder", Strs({L"1.1.1.1", L"8.8.8.8"}));
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", dns).returnValue);
    EXPECT_EQ(Json::parse(R"(["1.1.1.1", "8.8.8.8"])"), Config(0)["DNSServerSearchOrder"]);

    Params badDns;
    badDns.emplace_back(L"DNSServerSearchOrder", Strs({L"1.1.1.1", L"dns.example"}));
    EXPECT_EQ(70, Call(eth.Get(), L"SetDNSServerSearchOrder", badDns).returnValue);
    EXPECT_EQ(Json::parse(R"(["1.1.1.1", "8.8.8.8"])"), Config(0)["DNSServerSearchOrder"]);

    Params noDns;
    noDns.emplace_back(L"DNSServerSearchOrder", Strs({}));
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", noDns).returnValue);
    EXPECT_TRUE(Config(0)["DNSServerSearchOrder"].is_null());
}

TEST_F(Methods, GatewaysAreClearedWithTheAdaptersOwnAddress) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params none, own;
    none.emplace_back(L"DefaultIPGateway", Strs({}));
    own.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.5"}));
    // An empty array is not documented: by default it changes nothing.
    EXPECT_EQ(0, Call(eth.Get(), L"SetGateways", none).returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.1"])"), Config(0)["DefaultIPGateway"]);
    for (const auto& [leaves, expected] : std::vector<std::pair<std::string, Json>>{
             {"nothing", Json(nullptr)}, {"address", Json::parse(R"(["10.0.0.5"])")},
             {"0.0.0.0", Json::parse(R"(["0.0.0.0"])")}}) {
        Machine().Configure("_gatewayClearingLeaves", leaves);
        EXPECT_EQ(0, Call(eth.Get(), L"SetGateways", own).returnValue);
        EXPECT_EQ(expected, Config(0)["DefaultIPGateway"]) << leaves;
    }
    Machine().Configure("_emptyGatewayList", "clears");
    EXPECT_EQ(0, Call(eth.Get(), L"SetGateways", none).returnValue);
    EXPECT_TRUE(Config(0)["DefaultIPGateway"].is_null());
    EXPECT_THROW(Machine().Configure("_gatewayClearingLeaves", "all"), std::invalid_argument);
}

TEST_F(Methods, DnsAndWinsAreHandedBackToDhcp) {
    ComPtr<ISWbemObject> eth = Configuration(0), wifi = Configuration(1);
    // Not set, the DNS list is DHCP's: none on a static adapter, the lease's on DHCP.
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder").returnValue);
    EXPECT_TRUE(Config(0)["DNSServerSearchOrder"].is_null());
    Params dns;
    dns.emplace_back(L"DNSServerSearchOrder", Strs({L"1.1.1.1"}));
    ASSERT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    ASSERT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", dns).returnValue);
    EXPECT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    EXPECT_EQ(Json::parse(R"(["1.1.1.1"])"), Config(0)["DNSServerSearchOrder"]) << "EnableDHCP keeps them";
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder").returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.253"])"), Config(0)["DNSServerSearchOrder"]);

    // WINS: EnableDHCP kept the static server; empty strings hand it back.
    EXPECT_EQ("10.0.0.9", Config(0)["WINSPrimaryServer"]);
    Params empty;
    empty.emplace_back(L"WINSPrimaryServer", Str(L""));
    empty.emplace_back(L"WINSSecondaryServer", Str(L""));
    EXPECT_EQ(0, Call(eth.Get(), L"SetWINSServer", empty).returnValue);
    EXPECT_TRUE(Config(0)["WINSPrimaryServer"].is_null());
    // A secondary not set is cleared, or kept where the machine says so.
    Params both, primary;
    both.emplace_back(L"WINSPrimaryServer", Str(L"10.1.0.9"));
    both.emplace_back(L"WINSSecondaryServer", Str(L"10.1.0.10"));
    primary.emplace_back(L"WINSPrimaryServer", Str(L"10.1.0.11"));
    ASSERT_EQ(0, Call(wifi.Get(), L"SetWINSServer", both).returnValue);
    Machine().Configure("_winsSecondaryNotSet", "kept");
    EXPECT_EQ(0, Call(wifi.Get(), L"SetWINSServer", primary).returnValue);
    EXPECT_EQ("10.1.0.10", Config(1)["WINSSecondaryServer"]);
    Machine().Configure("_winsSecondaryNotSet", "clears");
    EXPECT_EQ(0, Call(wifi.Get(), L"SetWINSServer", primary).returnValue);
    EXPECT_TRUE(Config(1)["WINSSecondaryServer"].is_null());
    EXPECT_EQ("10.1.0.11", Config(1)["WINSPrimaryServer"]);
}

TEST_F(Methods, WinsServers) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params both;
    both.emplace_back(L"WINSPrimaryServer", Str(L"10.0.0.9"));
    both.emplace_back(L"WINSSecondaryServer", Str(L"10.0.0.10"));
    EXPECT_EQ(0, Call(eth.Get(), L"SetWINSServer", both).returnValue);
    EXPECT_EQ("10.0.0.9", Config(0)["WINSPrimaryServer"]);
    EXPECT_EQ("10.0.0.10", Config(0)["WINSSecondaryServer"]);

    Params primaryOnly;
    primaryOnly.emplace_back(L"WINSPrimaryServer", Str(L"10.0.0.11"));
    EXPECT_EQ(0, Call(eth.Get(), L"SetWINSServer", primaryOnly).returnValue);
    EXPECT_EQ("10.0.0.11", Config(0)["WINSPrimaryServer"]);
    EXPECT_TRUE(Config(0)["WINSSecondaryServer"].is_null());
}

TEST_F(Methods, AnAdapterWithIpDisabledRefusesChanges) {
    ComPtr<ISWbemObject> off = Configuration(3);
    const Json before = Machine().State();
    EXPECT_EQ(84, Call(off.Get(), L"EnableDHCP").returnValue);
    EXPECT_EQ(before, Machine().State());
}

// ---- Today's Windows: IPv6 entries beside the IPv4 ones ----

constexpr const char* kWindows11 = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["10.0.0.5", "2001:db8::5", "fe80::5"], "IPSubnet": ["255.0.0.0", "64", "64"],
        "DefaultIPGateway": ["10.0.0.1", "fe80::1"], "DNSServerSearchOrder": ["10.0.0.2"],
        "WINSPrimaryServer": null, "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["10.0.0.77", "fe80::5"], "IPSubnet": ["255.255.255.0", "64"],
                        "DefaultIPGateway": ["10.0.0.254"] } } }
  ],
  "Win32_Printer": [ { "DeviceID": "A", "Default": true }, { "DeviceID": "B", "Default": false } ],
  "Win32_Share": [ { "Name": "docs", "Path": "C:\\docs", "Type": 0 } ]
})json";

class Windows11 : public Methods {
protected:
    void SetUp() override { Install(kWindows11); }
};

TEST_F(Windows11, IPv4MethodsKeepTheIPv6Entries) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params statics;
    statics.emplace_back(L"IPAddress", Strs({L"10.0.0.6", L"10.1.0.6"}));
    statics.emplace_back(L"SubnetMask", Strs({L"255.0.0.0", L"255.255.0.0"}));
    ASSERT_EQ(81, Call(eth.Get(), L"EnableStatic", statics).returnValue);
    Params gateways;
    gateways.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.254"}));
    ASSERT_EQ(0, Call(eth.Get(), L"SetGateways", gateways).returnValue);
    Json config = Config(0);
    EXPECT_EQ(Json::parse(R"(["10.0.0.6", "10.1.0.6", "2001:db8::5", "fe80::5"])"), config["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["255.0.0.0", "255.255.0.0", "64", "64"])"), config["IPSubnet"]);
    EXPECT_EQ(Json::parse(R"(["10.0.0.254", "fe80::1"])"), config["DefaultIPGateway"]);

    // DHCP for IPv4 neither gives nor takes IPv6 addresses.
    ASSERT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    EXPECT_EQ(Json::parse(R"(["10.0.0.77", "2001:db8::5", "fe80::5"])"), Config(0)["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["255.255.255.0", "64", "64"])"), Config(0)["IPSubnet"]);
    ASSERT_EQ(0, Call(eth.Get(), L"ReleaseDHCPLease").returnValue);
    config = Config(0);
    EXPECT_EQ(Json::parse(R"(["2001:db8::5", "fe80::5"])"), config["IPAddress"]);
    EXPECT_EQ(Json::parse(R"(["64", "64"])"), config["IPSubnet"]);
    EXPECT_EQ(Json::parse(R"(["fe80::1"])"), config["DefaultIPGateway"]);
}

TEST_F(Windows11, IPv4MethodsRefuseIPv6EntriesAndLeaveTheMachine) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    const Json before = Machine().State();
    auto call = [&](const wchar_t* method, std::vector<std::pair<const wchar_t*, CVariant>> params) {
        return Call(eth.Get(), method, params).returnValue;
    };
    std::vector<std::pair<const wchar_t*, CVariant>> p;
    p.emplace_back(L"IPAddress", Strs({L"10.0.0.5", L"fe80::5"}));
    p.emplace_back(L"SubnetMask", Strs({L"255.0.0.0", L"64"}));
    EXPECT_EQ(70, call(L"EnableStatic", std::move(p))) << "an IPv6 address, checked before the masks";
    p = {};
    p.emplace_back(L"IPAddress", Strs({L"10.0.0.5", L"10.0.0.6"}));
    p.emplace_back(L"SubnetMask", Strs({L"255.0.0.0", L"64"}));
    EXPECT_EQ(66, call(L"EnableStatic", std::move(p))) << "a prefix length as a mask";
    p = {};
    p.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.1", L"fe80::1"}));
    EXPECT_EQ(71, call(L"SetGateways", std::move(p)));
    p = {};
    p.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.1", L"10.0.0.2", L"10.0.0.3", L"10.0.0.4", L"10.0.0.5",
                                              L"10.0.0.6"}));
    EXPECT_EQ(69, call(L"SetGateways", std::move(p)));
    p = {};
    p.emplace_back(L"DNSServerSearchOrder", Strs({L"2001:4860:4860::8888"}));
    EXPECT_EQ(70, call(L"SetDNSServerSearchOrder", std::move(p)));
    p = {};
    p.emplace_back(L"WINSPrimaryServer", Str(L"fe80::9"));
    EXPECT_EQ(70, call(L"SetWINSServer", std::move(p)));
    EXPECT_EQ(before, Machine().State());

    // SetGateways is for static adapters: on DHCP it is not supported.
    ASSERT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);
    const Json onDhcp = Machine().State();
    p = {};
    p.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.1"}));
    EXPECT_EQ(64, call(L"SetGateways", std::move(p)));
    EXPECT_EQ(onDhcp, Machine().State());
}

TEST_F(Windows11, ANotElevatedCallerReadsButChangesNothing) {
    Machine().SetNotElevated(true);
    const Json before = Machine().State();
    ComPtr<ISWbemObject> eth = Configuration(0);
    EXPECT_EQ("10.0.0.2", TextsOf(Read(eth.Get(), L"DNSServerSearchOrder")).at(0));
    Params statics;
    statics.emplace_back(L"IPAddress", Strs({L"10.0.0.6"}));
    statics.emplace_back(L"SubnetMask", Strs({L"255.0.0.0"}));
    Params gateways;
    gateways.emplace_back(L"DefaultIPGateway", Strs({L"10.0.0.1"}));
    Params dns;
    dns.emplace_back(L"DNSServerSearchOrder", Strs({L"10.0.0.3"}));
    Params wins;
    wins.emplace_back(L"WINSPrimaryServer", Str(L"10.0.0.9"));
    for (const auto& [method, params] : std::vector<std::pair<const wchar_t*, const Params*>>{
             {L"EnableStatic", &statics}, {L"EnableDHCP", nullptr}, {L"ReleaseDHCPLease", nullptr},
             {L"RenewDHCPLease", nullptr}, {L"SetGateways", &gateways}, {L"SetDNSServerSearchOrder", &dns},
             {L"SetWINSServer", &wins}})
        EXPECT_EQ(91, Call(eth.Get(), method, params ? *params : Params{}).returnValue) << Varquel::CBstr(method).Get();

    ComPtr<ISWbemObject> docs = Object(L"SELECT * FROM Win32_Share");
    EXPECT_EQ(2, Call(docs.Get(), L"Delete").returnValue);
    Params share;
    share.emplace_back(L"Name", Str(L"music"));
    share.emplace_back(L"Path", Str(L"E:\\music"));
    share.emplace_back(L"Type", I4(0));
    EXPECT_EQ(2, Call(ShareClass().Get(), L"Create", share).returnValue);
    EXPECT_EQ(before, Machine().State());
    // Another Windows refuses ExecMethod_ itself.
    Machine().Configure("_accessDenied", "execMethod");
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), Call(eth.Get(), L"EnableDHCP").hr);
    EXPECT_EQ(before["Win32_NetworkAdapter"], Machine().State()["Win32_NetworkAdapter"]);
    Machine().Configure("_accessDenied", "returnValue");

    // The default printer is the user's own.
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer", 1);
    EXPECT_EQ(0, Call(printer.Get(), L"SetDefaultPrinter").returnValue);
    EXPECT_EQ(true, Machine().Instance("Win32_Printer", 1)["Default"]);
    // The setting is part of the machine's description.
    EXPECT_EQ(true, Machine().State()["_notElevated"]);
}

// ---- Win32_Printer, Win32_Proxy ----

TEST_F(Methods, SetDefaultPrinterMovesTheDefault) {
    ComPtr<ISWbemObject> network = Object(L"SELECT * FROM Win32_Printer", 2);
    EXPECT_EQ(0, Call(network.Get(), L"SetDefaultPrinter").returnValue);
    EXPECT_EQ(false, Machine().Instance("Win32_Printer", 0)["Default"]);
    EXPECT_EQ(false, Machine().Instance("Win32_Printer", 1)["Default"]);
    EXPECT_EQ(true, Machine().Instance("Win32_Printer", 2)["Default"]);
}

TEST_F(Methods, SetProxySetting) {
    ComPtr<ISWbemObject> proxy = Object(L"SELECT * FROM Win32_Proxy");
    Params params;
    params.emplace_back(L"ProxyServer", Str(L"proxy.corp"));
    params.emplace_back(L"ProxyPortNumber", Str(L"3128"));
    EXPECT_EQ(0, Call(proxy.Get(), L"SetProxySetting", params).returnValue);
    EXPECT_EQ("proxy.corp", Machine().Instance("Win32_Proxy", 0)["ProxyServer"]);
    EXPECT_EQ("3128", Machine().Instance("Win32_Proxy", 0)["ProxyPortNumber"]);

    Params nullServer;
    nullServer.emplace_back(L"ProxyServer", Str(nullptr));
    nullServer.emplace_back(L"ProxyPortNumber", I4(80));
    EXPECT_EQ(0, Call(proxy.Get(), L"SetProxySetting", nullServer).returnValue);
    EXPECT_TRUE(Machine().Instance("Win32_Proxy", 0)["ProxyServer"].is_null());
    EXPECT_EQ(80, Machine().Instance("Win32_Proxy", 0)["ProxyPortNumber"]);
}

// ---- Win32_Share ----

TEST_F(Methods, DeleteRemovesAShareWithoutRenumberingTheOthers) {
    ComPtr<ISWbemObject> docs = Object(L"SELECT * FROM Win32_Share", 1);
    EXPECT_EQ(0, Call(docs.Get(), L"Delete").returnValue);
    EXPECT_EQ((std::vector<long>{0, 2}), Machine().Ids("Win32_Share"));
    Machine().ClearJournal();
    ComPtr<ISWbemObject> pub = Object(L"SELECT * FROM Win32_Share", 1);
    EXPECT_EQ("pub", TextOf(Read(pub.Get(), L"Name")));
    EXPECT_EQ("read Win32_Share[2].Name", MachineJournal().back());
    // The held object of a deleted share cannot run methods any more.
    EXPECT_EQ(kNotFound, Call(docs.Get(), L"Delete").hr);
}

TEST_F(Methods, AdministrativeSharesGoOnlyWhereTheyMay) {
    // C$ of this machine refuses; the example machine's, as Windows', may go.
    ComPtr<ISWbemObject> admin = Object(L"SELECT * FROM Win32_Share", 0);
    EXPECT_EQ(2, Call(admin.Get(), L"Delete").returnValue);
    EXPECT_EQ((std::vector<long>{0, 1, 2}), Machine().Ids("Win32_Share"));
    admin.Reset();
    Install(R"({"Win32_Share": [{"Name": "C$", "Path": "C:\\", "Type": -2147483648}]})");
    EXPECT_EQ(0, Call(Object(L"SELECT * FROM Win32_Share").Get(), L"Delete").returnValue);
    EXPECT_TRUE(Machine().Ids("Win32_Share").empty());
}

TEST_F(Methods, CreateIsStaticAndWithoutAccessEveryoneReads) {
    Params music;
    music.emplace_back(L"Name", Str(L"music"));
    music.emplace_back(L"Path", Str(L"E:\\music"));
    music.emplace_back(L"Type", I4(0));
    EXPECT_EQ(0, Call(ShareClass().Get(), L"Create", music).returnValue);
    EXPECT_EQ(Json::parse(R"({"Name": "music", "Path": "E:\\music", "Type": 0, "_access": "Everyone: read"})"),
              Machine().Instance("Win32_Share", 3));

    ComPtr<ISWbemObject> docs = Object(L"SELECT * FROM Win32_Share", 1);
    ASSERT_EQ(0, Call(docs.Get(), L"Delete").returnValue);
    Params video;
    video.emplace_back(L"Name", Str(L"video"));
    video.emplace_back(L"Path", Str(L"E:\\video"));
    video.emplace_back(L"Type", I4(0));
    video.emplace_back(L"Description", Str(L"films"));
    ComPtr<ISWbemObject> pub = Object(L"SELECT * FROM Win32_Share", 1);
    // On an instance the static method is refused, unless the machine takes it.
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_INVALID_OPERATION), Call(pub.Get(), L"Create", video).hr);
    Machine().Configure("_staticOnInstance", "accepted");
    EXPECT_EQ(0, Call(pub.Get(), L"Create", video).returnValue);
    // A new share takes the next free id; the deleted one's is not reused.
    EXPECT_EQ((std::vector<long>{0, 2, 3, 4}), Machine().Ids("Win32_Share"));
    EXPECT_EQ("films", Machine().Instance("Win32_Share", 4)["Description"]);
}

TEST_F(Methods, CreateRefusesDuplicatesAndMissingParameters) {
    ComPtr<ISWbemObject> shareClass = ShareClass();
    const Json before = Machine().State();
    auto create = [&](CVariant name, CVariant path, CVariant type) {
        Params params;
        params.emplace_back(L"Name", std::move(name));
        params.emplace_back(L"Path", std::move(path));
        if (type.Type() != VT_EMPTY) params.emplace_back(L"Type", std::move(type));
        return Call(shareClass.Get(), L"Create", params).returnValue;
    };
    EXPECT_EQ(22, create(Str(L"DOCS"), Str(L"C:\\other"), I4(0)));
    EXPECT_EQ(21, create(Str(L""), Str(L"C:\\x"), I4(0)));
    EXPECT_EQ(21, create(Str(nullptr), Str(L"C:\\x"), I4(0)));
    EXPECT_EQ(21, create(Str(L"x"), Str(L""), I4(0)));
    EXPECT_EQ(21, create(Str(L"x"), Str(nullptr), I4(0)));
    EXPECT_EQ(21, create(Str(L"x"), Str(L"C:\\x"), CVariant()));
    EXPECT_EQ(before, Machine().State());
}

TEST_F(Methods, DeleteIsNoStaticMethod) {
    ComPtr<ISWbemServices> services = Connect();
    CBstr path(L"Win32_Share");
    ComPtr<ISWbemObject> shareClass;
    ASSERT_EQ(S_OK, services->Get(path.Get(), 0, nullptr, shareClass.GetAddressOf()));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_INVALID_OPERATION), Call(shareClass.Get(), L"Delete").hr);
}

// ---- Method preparation ----

TEST_F(Methods, UnknownMethodsAreNotFound) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer");
    ComPtr<ISWbemMethodSet> methods;
    ASSERT_EQ(S_OK, printer->get_Methods_(methods.GetAddressOf()));
    CBstr name(L"Pause2");
    ComPtr<ISWbemMethod> method;
    EXPECT_EQ(kNotFound, methods->Item(name.Get(), 0, method.GetAddressOf()));
    EXPECT_FALSE(method);
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_INVALID_METHOD), Call(printer.Get(), L"Pause2").hr);
    EXPECT_EQ("exec Win32_Printer[0].Pause2()", MachineJournal().back());
}

TEST_F(Methods, AMethodWithoutInParametersHasNoInParametersClass) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer");
    ComPtr<ISWbemMethodSet> methods;
    ASSERT_EQ(S_OK, printer->get_Methods_(methods.GetAddressOf()));
    CBstr name(L"SetDefaultPrinter");
    ComPtr<ISWbemMethod> method;
    ASSERT_EQ(S_OK, methods->Item(name.Get(), 0, method.GetAddressOf()));
    ComPtr<ISWbemObject> inClass;
    EXPECT_EQ(S_OK, method->get_InParameters(inClass.GetAddressOf()));
    EXPECT_FALSE(inClass);
}

TEST_F(Methods, OnlyDeclaredInParametersCanBeAdded) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    ComPtr<ISWbemObject> inParams = InParameters(eth.Get(), L"EnableStatic");
    ASSERT_TRUE(inParams);
    ComPtr<ISWbemPropertySet> in = PropertiesOf(inParams.Get());
    CBstr typo(L"SubnetMasks");
    ComPtr<ISWbemProperty> property;
    EXPECT_EQ(kInvalidParameter, in->Add(typo.Get(), wbemCimtypeString, VARIANT_TRUE, 0, property.GetAddressOf()));
    EXPECT_FALSE(property);
    EXPECT_EQ("reject Add Win32_NetworkAdapterConfiguration[0].EnableStatic.in.SubnetMasks: no in-parameter of "
              "EnableStatic",
              MachineJournal().back());
}

} // namespace
} // namespace SimulatorTests
