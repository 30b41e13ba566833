// A profile captured from a simulated machine, saved, loaded into a new list
// and applied to a changed machine, which must end up as it was captured.
#include "tests/profiles/StoreFixture.h"
#include <memory>
#include "tests/support/SimulatedMachineTest.h"

namespace ProfilesTest {
namespace {

using Json = VarquelSim::CMachine::Json;

// The office as captured: "Eth" static, "Wifi" on DHCP, printer "A" default.
const char* const kOffice = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["10.0.0.5"], "IPSubnet": ["255.0.0.0"],
        "DefaultIPGateway": ["10.0.0.1"], "DNSServerSearchOrder": ["10.0.0.2", "10.0.0.3"],
        "WINSPrimaryServer": "10.0.0.9", "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["10.0.0.77"], "IPSubnet": ["255.255.255.0"] } } },
    { "Name": "Wifi", "NetConnectionID": "Wi-Fi",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["192.168.1.4"], "IPSubnet": ["255.255.255.0"],
        "_dhcpLease": { "IPAddress": ["192.168.1.40"], "IPSubnet": ["255.255.255.0"] } } },
    { "Name": "Loose" }
  ],
  "Win32_Printer": [
    { "DeviceID": "A", "Default": true },
    { "DeviceID": "B", "Default": false }
  ]
})json";

// The same machine after a stay elsewhere: "Eth" on DHCP, "Wifi" static,
// printer "B" default.
const char* const kElsewhere = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["172.16.0.9"], "IPSubnet": ["255.255.0.0"],
        "_dhcpLease": { "IPAddress": ["172.16.0.9"], "IPSubnet": ["255.255.0.0"] } } },
    { "Name": "Wifi", "NetConnectionID": "Wi-Fi",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["172.17.0.3"], "IPSubnet": ["255.255.0.0"],
        "DefaultIPGateway": ["172.17.0.1"], "DNSServerSearchOrder": ["172.17.0.2"],
        "_dhcpLease": { "IPAddress": ["192.168.1.41"], "IPSubnet": ["255.255.255.0"] } } }
  ],
  "Win32_Printer": [
    { "DeviceID": "A", "Default": false },
    { "DeviceID": "B", "Default": true }
  ]
})json";

// The office on today's Windows: every IP-enabled adapter reports IPv6
// entries after its IPv4 ones, prefix lengths among the masks, and "Eth" an
// IPv6 gateway after its IPv4 one.
const char* const kWindows11Office = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["192.168.10.20", "192.168.10.21", "2001:db8:10::20", "fe80::1c2d:3e4f:5a6b:7c8d"],
        "IPSubnet": ["255.255.255.0", "255.255.255.0", "64", "64"],
        "DefaultIPGateway": ["192.168.10.1", "fe80::1"], "DNSServerSearchOrder": ["192.168.10.2"],
        "WINSPrimaryServer": null, "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["192.168.10.120", "fe80::1c2d:3e4f:5a6b:7c8d"], "IPSubnet": ["255.255.255.0", "64"],
                        "DefaultIPGateway": ["192.168.10.1"], "DNSServerSearchOrder": ["192.168.10.2"] } } },
    { "Name": "Wifi", "NetConnectionID": "Wi-Fi",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["10.1.0.57", "fe80::8d4c:2b1a:9e3f:4d21"], "IPSubnet": ["255.255.0.0", "64"],
        "_dhcpLease": { "IPAddress": ["10.1.0.57", "fe80::8d4c:2b1a:9e3f:4d21"], "IPSubnet": ["255.255.0.0", "64"] } } }
  ],
  "Win32_Printer": [ { "DeviceID": "A", "Default": true }, { "DeviceID": "B", "Default": false } ]
})json";

class CaptureCycle : public StoreTest, protected VarquelTest::CInstalledMachine {
protected:
    void TearDown() override {
        CheckAndUninstall();
        StoreTest::TearDown();
    }
    Json Configuration(long adapterId) const { return Machine().Instance("Win32_NetworkAdapterConfiguration", adapterId); }
    bool IsDefault(long printerId) const { return Machine().Instance("Win32_Printer", printerId)["Default"] == true; }
    long Calls(const std::string& text) const {
        long count = 0;
        for (const std::string& line : MachineJournal())
            if (line.find(text) != std::string::npos) ++count;
        return count;
    }
};

TEST_F(CaptureCycle, AProfileSavedAndLoadedPutsTheMachineBackAsCaptured) {
    Install(kOffice);
    {
        const ComPtr<INetProfile> captured = NewProfile(L"Office");
        ASSERT_EQ(captured->GetCurrent(), S_OK);
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Add(captured.Get()), S_OK);
        ASSERT_EQ(list->Save(), S_OK);
    }
    EXPECT_EQ(Subkeys(kStore + "\\Office\\NetAdapterList"), (std::vector<std::string>{"Eth", "Wifi"}));

    Install(kElsewhere);
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Load(), S_OK);
    ASSERT_EQ(Count(list.Get()), 1);
    const ComPtr<INetProfile> loaded = At(list.Get(), 0);
    ASSERT_EQ(loaded->Apply(), S_OK);

    const Json eth = Configuration(0);
    EXPECT_EQ(eth["DHCPEnabled"], false);
    EXPECT_EQ(eth["IPAddress"], Json::array({"10.0.0.5"}));
    EXPECT_EQ(eth["IPSubnet"], Json::array({"255.0.0.0"}));
    EXPECT_EQ(eth["DefaultIPGateway"], Json::array({"10.0.0.1"}));
    // The store keeps the servers as a set: they come back in the registry's order.
    EXPECT_EQ(eth["DNSServerSearchOrder"], Json::array({"10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(eth["WINSPrimaryServer"], "10.0.0.9");
    EXPECT_EQ(Configuration(1)["DHCPEnabled"], true);
    EXPECT_TRUE(IsDefault(0));
    EXPECT_FALSE(IsDefault(1));
}

TEST_F(CaptureCycle, ALoadedProfileWithoutADefaultPrinterLeavesThePrinterAlone) {
    StoredAdapter eth;
    eth.name = "Eth";
    eth.lists[0] = {"10.0.0.5"};
    eth.lists[1] = {"255.0.0.0"};
    WriteStoredProfile(kStore, {"No printer", true, {eth}, true, std::nullopt});
    Install(kElsewhere);
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Load(), S_OK);
    ASSERT_EQ(At(list.Get(), 0)->Apply(), S_OK);

    EXPECT_EQ(Configuration(0)["DHCPEnabled"], false);
    EXPECT_EQ(Configuration(0)["IPAddress"], Json::array({"10.0.0.5"}));
    EXPECT_EQ(Calls("SetDefaultPrinter"), 0);
    EXPECT_TRUE(IsDefault(1));
}

TEST_F(CaptureCycle, ADuplicateOfACaptureIsDetectedButDetectsItsPrintersAgain) {
    Install(kOffice);
    const ComPtr<INetProfile> captured = NewProfile(L"Office");
    ASSERT_EQ(captured->GetCurrent(), S_OK);
    ComPtr<INetProfile> copy;
    ASSERT_EQ(captured->GetDuplicate(&copy), S_OK);
    EXPECT_EQ(View(copy.Get()), View(captured.Get()));

    ComPtr<IPrintersProperty> sourcePrinters, copyPrinters;
    ASSERT_EQ(captured->get_PrintersProperty(&sourcePrinters), S_OK);
    ASSERT_EQ(copy->get_PrintersProperty(&copyPrinters), S_OK);
    long sourceCount = 0, copyCount = 0, sourceDefault = 0, copyDefault = 0;
    ASSERT_EQ(sourcePrinters->get_PrintersCount(&sourceCount), S_OK);
    ASSERT_EQ(copyPrinters->get_PrintersCount(&copyCount), S_OK);
    ASSERT_EQ(sourcePrinters->get_Default(&sourceDefault), S_OK);
    ASSERT_EQ(copyPrinters->get_Default(&copyDefault), S_OK);
    EXPECT_EQ(copyCount, sourceCount);
    EXPECT_EQ(copyDefault, sourceDefault);

    // Applying the copy reuses the detected adapters (no new adapter query)
    // but queries the printers again.
    Machine().ClearJournal();
    ASSERT_EQ(copy->Apply(), S_OK);
    EXPECT_EQ(Calls("query SELECT * FROM Win32_NetworkAdapter"), 0);
    EXPECT_EQ(Calls("query SELECT * FROM Win32_Printer"), 1);
    EXPECT_TRUE(IsDefault(0));
}

// A profile captured on today's Windows and applied after a stay on DHCP
// puts back exactly its IPv4 configuration and leaves the IPv6 entries.
TEST_F(CaptureCycle, AWindows11ProfileComesBackWithItsIPv4ConfigurationAndKeepsIPv6) {
    VarquelSim::CMachine& office = Install(kWindows11Office);
    const Json captured = office.Instance("Win32_NetworkAdapterConfiguration", 0);
    {
        const ComPtr<INetProfile> profile = NewProfile(L"Office");
        ASSERT_EQ(profile->GetCurrent(), S_OK);
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Add(profile.Get()), S_OK);
        ASSERT_EQ(list->Save(), S_OK);
        // Elsewhere: the Ethernet adapter on DHCP.
        ComPtr<INetAdaptersList> adapters;
        ASSERT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
        ComPtr<INetAdapterProperty> eth;
        ASSERT_EQ(adapters->NetAdapterPropertyGetAt(0, &eth), S_OK);
        ASSERT_EQ(eth->put_IsDHCP(VARIANT_TRUE), S_OK);
        ASSERT_EQ(eth->Apply(), S_OK);
        ASSERT_EQ(Configuration(0)["IPAddress"],
                  Json::array({"192.168.10.120", "2001:db8:10::20", "fe80::1c2d:3e4f:5a6b:7c8d"}));
    }

    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Load(), S_OK);
    Machine().ClearJournal();
    ASSERT_EQ(At(list.Get(), 0)->Apply(), S_OK);

    std::vector<std::string> sent;
    for (const std::string& line : Machine().Journal())
        if (line.rfind("exec Win32_NetworkAdapterConfiguration[0].", 0) == 0) sent.push_back(line.substr(42));
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "ReleaseDHCPLease()",
                        R"(EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["192.168.10.20","192.168.10.21"], )"
                        R"(Item SubnetMask=VT_ARRAY|VT_VARIANT["255.255.255.0","255.255.255.0"]))",
                        R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["192.168.10.1"]))",
                        R"(SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT["192.168.10.2"]))",
                    }));
    EXPECT_EQ(Configuration(0), captured);
    EXPECT_EQ(Configuration(1)["DHCPEnabled"], true);
}

TEST_F(CaptureCycle, AddressesInDifferentSubnetsKeepTheirOwnMasksStraightFromCapture) {
    Json machine = Json::parse(kWindows11Office);
    Json& eth = machine["Win32_NetworkAdapter"][0]["_configuration"];
    eth["IPAddress"] = Json::array({"10.0.0.5", "fe80::5", "172.16.0.5"});
    eth["IPSubnet"] = Json::array({"255.0.0.0", "64", "255.255.0.0"});
    const std::string description = machine.dump();
    Install(description.c_str());
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    ASSERT_EQ(profile->GetCurrent(), S_OK);
    Machine().ClearJournal();
    ASSERT_EQ(profile->Apply(), S_OK);
    EXPECT_EQ(Calls(R"(EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["10.0.0.5","172.16.0.5"], )"
                    R"(Item SubnetMask=VT_ARRAY|VT_VARIANT["255.0.0.0","255.255.0.0"]))"),
              1);
    EXPECT_EQ(Configuration(0)["IPAddress"], Json::array({"10.0.0.5", "172.16.0.5", "fe80::5"}));
    EXPECT_EQ(Configuration(0)["IPSubnet"], Json::array({"255.0.0.0", "255.255.0.0", "64"}));
}

TEST_F(CaptureCycle, ANotElevatedMachineKeepsItsNetworkButTakesTheUsersPrinter) {
    VarquelSim::CMachine& office = Install(kWindows11Office);
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    ASSERT_EQ(profile->GetCurrent(), S_OK);
    ComPtr<IPrintersProperty> printers;
    ASSERT_EQ(profile->get_PrintersProperty(&printers), S_OK);
    ASSERT_EQ(printers->put_Default(1), S_OK);
    ComPtr<INetAdaptersList> adapters;
    ASSERT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
    ComPtr<INetAdapterProperty> eth;
    ASSERT_EQ(adapters->NetAdapterPropertyGetAt(0, &eth), S_OK);
    ASSERT_EQ(eth->put_IsDHCP(VARIANT_TRUE), S_OK);

    office.SetNotElevated(true);
    const Json before = office.State();
    ASSERT_EQ(profile->Apply(), S_OK);
    const Json after = office.State();
    EXPECT_EQ(after["Win32_NetworkAdapter"], before["Win32_NetworkAdapter"]);
    EXPECT_GT(Calls("exec Win32_NetworkAdapterConfiguration[0].EnableDHCP"), 0);
    EXPECT_TRUE(IsDefault(1));
}

} // namespace
} // namespace ProfilesTest
