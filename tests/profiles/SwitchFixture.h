#pragma once
// The profile switch's tests: a simulated machine away from the office, the
// stored "Office" profile, and a report read as rows.
#include <algorithm>
#include <map>
#include <string>
#include "tests/profiles/StoreFixture.h"
#include "tests/support/SimulatedMachineTest.h"

namespace ProfilesTest {

using Json = VarquelSim::CMachine::Json;
using Kind = Varquel::CNetAdapterProperty::AddressKind;
using VarquelTest::Narrow;

// "Eth" on DHCP, away from the office; "Wifi" on DHCP; printer "A" the default.
inline const char* const kAway = R"json({
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
ComPtr<INetProfile> Office();

struct Change {
    std::wstring adapter, connection, setting, before, planned, after, method, message;
    long status = -1, returnValue = 0;
};

// Every change of a report, keyed "<connection or adapter>.<setting>".
std::map<std::wstring, Change> Changes(IApplyReport* report);
std::wstring ReportText(IApplyReport* report);
bool Flag(IApplyReport* report, HRESULT (STDMETHODCALLTYPE IApplyReport::*getter)(VARIANT_BOOL*));

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
    long Exactly(const std::string& line) const {
        return static_cast<long>(std::count(MachineJournal().begin(), MachineJournal().end(), line));
    }

    ComPtr<IApplyReport> Apply(INetProfile* profile) {
        ComPtr<IApplyReport> report;
        EXPECT_EQ(m_switch->Apply(profile, &report), S_OK);
        return report;
    }

    ComPtr<IProfileSwitch> m_switch;
};

} // namespace ProfilesTest
