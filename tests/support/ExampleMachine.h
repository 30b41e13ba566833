#pragma once
// The Windows 11 laptop of docs/example-machine.json, for tests and
// benchmarks: the file as it is, and the laptop away from the office.
#include <cstdio>
#include <string>
#include <nlohmann/json.hpp>

namespace VarquelTest {

// A whole file; empty when it cannot be read.
inline std::string ReadTextFile(const std::wstring& path) {
    std::string text;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return text;
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, read);
    fclose(file);
    return text;
}

// The laptop away from the office: Ethernet on its DHCP lease (its IPv6
// entries kept), and the PDF printer the default.
inline std::string AwayFromTheOffice(const std::string& example) {
    nlohmann::ordered_json machine = nlohmann::ordered_json::parse(example);
    nlohmann::ordered_json& eth = machine["Win32_NetworkAdapter"][0]["_configuration"];
    eth["DHCPEnabled"] = true;
    eth["IPAddress"] = {"192.168.10.120", "2001:db8:10::20", "fe80::1c2d:3e4f:5a6b:7c8d"};
    eth["IPSubnet"] = {"255.255.255.0", "64", "64"};
    eth["DefaultIPGateway"] = {"192.168.10.1", "fe80::1"};
    eth["DNSServerSearchOrder"] = {"192.168.10.2"};
    eth["WINSPrimaryServer"] = nullptr;
    eth["WINSSecondaryServer"] = nullptr;
    for (auto& printer : machine["Win32_Printer"]) printer["Default"] = printer["DeviceID"] == "Microsoft Print to PDF";
    return machine.dump();
}

} // namespace VarquelTest
