#pragma once
// The machine most simulator tests run against.
namespace SimulatorTests {

inline const char* const kMachine = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["10.0.0.5"], "IPSubnet": ["255.0.0.0"],
        "DefaultIPGateway": ["10.0.0.1"], "DNSServerSearchOrder": ["10.0.0.2"],
        "WINSPrimaryServer": "10.0.0.9", "WINSSecondaryServer": null,
        "_dhcpLease": { "IPAddress": ["10.0.0.77"], "IPSubnet": ["255.255.255.0"],
                        "DefaultIPGateway": ["10.0.0.254"], "DNSServerSearchOrder": ["10.0.0.253"] } } },
    { "Name": "Wifi", "NetConnectionID": "Wi-Fi",
      "_configuration": {
        "IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["192.168.1.4"], "IPSubnet": ["255.255.255.0"],
        "_dhcpLease": { "IPAddress": ["192.168.1.40"], "IPSubnet": ["255.255.255.0"] } } },
    { "Name": "Loose" },
    { "Name": "Off", "NetConnectionID": "Off", "_configuration": { "IPEnabled": false, "DHCPEnabled": false } }
  ],
  "Win32_Printer": [
    { "DeviceID": "A", "Default": true },
    { "DeviceID": "B", "Default": false },
    { "DeviceID": "\\\\srv\\p'x", "Default": false }
  ],
  "Win32_Proxy": [ { "ProxyServer": "p", "ProxyPortNumber": "80" } ],
  "Win32_Share": [
    { "Name": "C$", "Path": "C:\\", "Type": -2147483648, "_undeletable": true },
    { "Name": "docs", "Path": "C:\\docs", "Type": 0 },
    { "Name": "pub", "Path": "D:\\pub", "Type": 0 }
  ]
})json";

} // namespace SimulatorTests
