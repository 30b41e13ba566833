#include "tests/robustness/SimulatedMachines.h"
#include <nlohmann/json.hpp>
#include <vector>

namespace VarquelRobustness {

namespace {

using Json = nlohmann::ordered_json;

Json OfficeJson() {
    return Json::parse(R"json({
  "Win32_NetworkAdapter": [
    {"Name": "Intel(R) Ethernet Connection", "NetConnectionID": "Ethernet",
     "_configuration": {"IPEnabled": true, "DHCPEnabled": false,
        "IPAddress": ["10.0.0.5", "10.0.0.6"], "IPSubnet": ["255.255.255.0", "255.255.255.0"],
        "DefaultIPGateway": ["10.0.0.1"], "DNSServerSearchOrder": ["10.0.0.2", "10.0.0.3"],
        "WINSPrimaryServer": "10.0.0.9", "WINSSecondaryServer": "10.0.0.10",
        "_dhcpLease": {"IPAddress": ["192.168.1.50"], "IPSubnet": ["255.255.255.0"],
                       "DefaultIPGateway": ["192.168.1.1"], "DNSServerSearchOrder": ["192.168.1.1"]}}},
    {"Name": "Wireless Network Adapter", "NetConnectionID": "Wi-Fi",
     "_configuration": {"IPEnabled": true, "DHCPEnabled": true,
        "IPAddress": ["192.168.8.20"], "IPSubnet": ["255.255.255.0"], "DefaultIPGateway": ["192.168.8.1"],
        "DNSServerSearchOrder": ["192.168.8.1"], "WINSPrimaryServer": null, "WINSSecondaryServer": null,
        "_dhcpLease": {"IPAddress": ["192.168.8.21"], "IPSubnet": ["255.255.255.0"],
                       "DefaultIPGateway": ["192.168.8.1"]}}},
    {"Name": "WAN Miniport (IP)", "NetConnectionID": null,
     "_configuration": {"IPEnabled": true, "DHCPEnabled": false, "IPAddress": null, "IPSubnet": null,
        "DefaultIPGateway": null, "DNSServerSearchOrder": null, "WINSPrimaryServer": null,
        "WINSSecondaryServer": null}},
    {"Name": "Realtek PCIe GbE Family Controller", "NetConnectionID": "Ethernet 2",
     "_configuration": {"IPEnabled": false, "DHCPEnabled": true, "IPAddress": null, "IPSubnet": null,
        "DefaultIPGateway": null, "DNSServerSearchOrder": null, "WINSPrimaryServer": null,
        "WINSSecondaryServer": null}}
  ],
  "Win32_Printer": [
    {"DeviceID": "Office Laser", "Default": false},
    {"DeviceID": "\\\\print-srv\\floor2", "Default": true},
    {"DeviceID": "PDF Writer", "Default": false}
  ],
  "Win32_Proxy": [
    {"ProxyServer": "proxy.corp", "ProxyPortNumber": "8080"}
  ],
  "Win32_Share": [
    {"Name": "C$", "Path": "C:\\", "Type": 0, "_undeletable": true},
    {"Name": "docs", "Path": "C:\\docs", "Type": 0},
    {"Name": "IPC$", "Path": null, "Type": 3, "_undeletable": true}
  ]
})json");
}

// Every instance record of the description, configurations included.
std::vector<Json*> Instances(Json& machine) {
    std::vector<Json*> instances;
    for (auto& [className, list] : machine.items()) {
        if (!list.is_array()) continue;
        for (Json& record : list) {
            instances.push_back(&record);
            if (record.contains("_configuration")) instances.push_back(&record["_configuration"]);
        }
    }
    return instances;
}

std::vector<std::string> PropertyNames(const Json& record) {
    std::vector<std::string> names;
    for (const auto& [key, value] : record.items())
        if (!key.empty() && key[0] != '_') names.push_back(key);
    return names;
}

void AddFault(Json& machine, CRandom& random) {
    std::vector<Json*> instances = Instances(machine);
    if (instances.empty()) return;
    Json& record = *instances[random.Below(static_cast<std::uint32_t>(instances.size()))];
    std::vector<std::string> names = PropertyNames(record);
    switch (random.Below(10)) {
    case 0:  // a property that is missing
        if (!names.empty()) record.erase(random.Pick(names));
        break;
    case 1:  // a property without value
        if (!names.empty()) record[random.Pick(names)] = nullptr;
        break;
    case 2:  // a number where a string or a list was expected
        if (!names.empty()) record[random.Pick(names)] = 7;
        break;
    case 3:  // a boolean where something else was expected
        if (!names.empty()) record[random.Pick(names)] = true;
        break;
    case 4:  // a string where a list was expected, and the other way round
        if (!names.empty()) {
            Json& value = record[random.Pick(names)];
            value = value.is_array() ? Json("10.0.0.99") : Json::array({"10.0.0.98", ""});
        }
        break;
    case 5:
        if (record.contains("_configuration")) record.erase("_configuration");
        else record["_noSWbemObject"] = true;
        break;
    case 6:
        record["_noSWbemObject"] = true;
        break;
    case 7:
        record["_notAnObject"] = true;
        break;
    case 8:  // odd texts: quotes, backslashes, long, empty
        if (!names.empty()) {
            static const char* const kOdd[] = {"it's", "a\\b", "", "\\\\srv\\it's", "'; DROP", "x"};
            std::string text = random.Pick(kOdd);
            if (random.Chance(0.2)) text.append(300, 'n');
            record[random.Pick(names)] = text;
        }
        break;
    default: {  // a class without instances
        std::vector<std::string> classes;
        for (auto& [className, list] : machine.items()) classes.push_back(className);
        machine[random.Pick(classes)] = Json::array();
        break;
    }
    }
}

} // namespace

std::string CSimulatedMachines::Office() { return OfficeJson().dump(); }

std::string CSimulatedMachines::Variant(CRandom& random, int faults) {
    Json machine = OfficeJson();
    for (int i = 0; i < faults; ++i) AddFault(machine, random);
    return machine.dump();
}

std::string CSimulatedMachines::WithExtraAdapters(const std::vector<std::optional<std::string>>& names) {
    Json machine = OfficeJson();
    Json& adapters = machine["Win32_NetworkAdapter"];
    const Json model = adapters[0];
    int number = 3;
    for (const std::optional<std::string>& name : names) {
        Json extra = model;
        if (name) extra["Name"] = *name;
        else extra.erase("Name");
        extra["NetConnectionID"] = "Ethernet " + std::to_string(number++);
        adapters.push_back(extra);
    }
    return machine.dump();
}

} // namespace VarquelRobustness
