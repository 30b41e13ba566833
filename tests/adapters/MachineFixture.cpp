#include "tests/adapters/MachineFixture.h"
#include "wmi/WmiQuery.h"

namespace AdapterTests {

Json StaticConfiguration(const std::vector<std::string>& addresses, const std::vector<std::string>& masks) {
    Json configuration = Json::object();
    configuration["IPEnabled"] = true;
    configuration["DHCPEnabled"] = false;
    configuration["IPAddress"] = addresses;
    configuration["IPSubnet"] = masks;
    configuration["DefaultIPGateway"] = Json::array({"10.0.0.1"});
    configuration["DNSServerSearchOrder"] = Json::array({"10.0.0.53"});
    configuration["WINSPrimaryServer"] = nullptr;
    configuration["WINSSecondaryServer"] = nullptr;
    configuration["_dhcpLease"] = Json::object({{"IPAddress", Json::array({"10.9.0.7"})},
                                                {"IPSubnet", Json::array({"255.255.0.0"})}});
    return configuration;
}

Json AdapterJson(const std::string& name, const Json& connection, const Json& configuration) {
    Json adapter = Json::object();
    adapter["Name"] = name;
    adapter["NetConnectionID"] = connection;
    if (!configuration.is_null()) adapter["_configuration"] = configuration;
    return adapter;
}

Json MachineJson(const std::vector<Json>& adapters) {
    Json machine = Json::object();
    machine["Win32_NetworkAdapter"] = adapters;
    return machine;
}

VarquelTest::ComPtr<Varquel::CNetAdapterProperty> MachineTest::Attached(size_t position) {
    VarquelTest::ComPtr<Varquel::CNetAdapterProperty> adapter = NewAdapter();
    {
        Varquel::CWmiQuery query(L"SELECT * FROM Win32_NetworkAdapter");
        VarquelTest::ComPtr<ISWbemObject> object;
        for (size_t i = 0; i <= position; ++i) object = query.Next();
        EXPECT_TRUE(object) << "no adapter object at " << position;
        if (object) {
            EXPECT_EQ(0, adapter->AttachToAdapter(object.Get()));
        }
    }
    Machine().ClearJournal();
    return adapter;
}

std::string Adapter(long id) { return "Win32_NetworkAdapter[" + std::to_string(id) + "]"; }
std::string Configuration(long id) { return "Win32_NetworkAdapterConfiguration[" + std::to_string(id) + "]"; }

Lines AttachLines(long id) {
    return {"associators " + Adapter(id) + " Win32_NetworkAdapterConfiguration",
            "read " + Adapter(id) + ".Name",
            "read " + Adapter(id) + ".NetConnectionID",
            "read " + Configuration(id) + ".IPEnabled"};
}

} // namespace AdapterTests
