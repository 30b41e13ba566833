#include <fstream>
#include <sstream>
#include <stdexcept>
#include "tests/simulator/Machines.h"
#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {
namespace {

using VarquelSim::CMachine;
using Json = CMachine::Json;

std::string ReadFile(const std::wstring& path) {
    std::string text;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return text;
    char buffer[4096];
    size_t read;
    while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
    fclose(file);
    return text;
}

TEST(Description, TheExampleMachineLoadsAndRoundTrips) {
    std::string text = ReadFile(std::wstring(VARQUEL_SOURCE_DIR) + L"\\docs\\example-machine.json");
    ASSERT_FALSE(text.empty());
    auto machine = CMachine::FromJson(text);
    EXPECT_EQ(Json::parse(text), machine->State());
    EXPECT_EQ(Json::parse(text), Json::parse(machine->ToJson()));
    EXPECT_EQ(5u, machine->Ids("Win32_NetworkAdapter").size());
    EXPECT_EQ((std::vector<long>{0, 1, 2, 3, 4}), machine->Ids("Win32_NetworkAdapterConfiguration"));
    EXPECT_EQ(3u, machine->Ids("Win32_Printer").size());
    EXPECT_EQ(R"(\\print-srv\floor2)", machine->Instance("Win32_Printer", 2)["DeviceID"]);
    EXPECT_EQ("Ethernet", machine->Instance("Win32_NetworkAdapter", 0)["NetConnectionID"]);
}

TEST(Description, KeysKeepTheirOrderAndFlagsSurvive) {
    const std::string text = R"({"_note":"x","Win32_Share":[{"Path":"p","Name":"n","_undeletable":true}],"Win32_Printer":[]})";
    auto machine = CMachine::FromJson(text);
    EXPECT_EQ(Json::parse(text).dump(), machine->State().dump());
}

TEST(Description, InstanceAndIds) {
    auto machine = CMachine::FromJson(kMachine);
    EXPECT_EQ((std::vector<long>{0, 1, 2, 3}), machine->Ids("Win32_NetworkAdapter"));
    EXPECT_EQ((std::vector<long>{0, 1, 3}), machine->Ids("Win32_NetworkAdapterConfiguration"));
    EXPECT_EQ("Wifi", machine->Instance("win32_networkadapter", 1)["Name"]);
    EXPECT_EQ(true, machine->Instance("Win32_NetworkAdapterConfiguration", 1)["DHCPEnabled"]);
    EXPECT_TRUE(machine->Instance("Win32_NetworkAdapterConfiguration", 2).is_null());
    EXPECT_TRUE(machine->Instance("Win32_Share", 7).is_null());
    EXPECT_TRUE(machine->Instance("Win32_Service", 0).is_null());
    EXPECT_TRUE(machine->Ids("Win32_Service").empty());
}

TEST(Description, MalformedDescriptionsAreRefused) {
    for (const char* text : {
             "[]",
             "{",
             R"({"Win32_Share": {}})",
             R"({"Win32_Share": [1]})",
             R"({"Win32_Share": [{"Name": {"x": 1}}]})",
             R"({"Win32_Share": [{"Name": [["x"]]}]})",
             R"({"Win32_Share": [{"Name": "a", "_configuration": {}}]})",
             R"({"Win32_NetworkAdapterConfiguration": []})",
             R"({"Win32_NetworkAdapter": [{"_configuration": {"_configuration": {}}}]})",
             R"({"Win32_NetworkAdapter": [{"_configuration": {"_dhcpLease": []}}]})",
             R"({"Win32_Share": [{"_undeletable": 1}]})",
             R"({"Win32_Share": [], "win32_share": []})",
             R"({"_absentClasses": "Win32_Proxy"})",
             R"({"_absentClasses": [1]})",
             R"({"_absentClasses": ["Win32_Proxy"], "win32_proxy": []})",
         })
        EXPECT_ANY_THROW(CMachine::FromJson(text)) << text;
}

class StateAfterChanges : public SimulatorTest {};

// The state written after a change reads back as the same machine, with the
// remaining instances numbered afresh.
TEST_F(StateAfterChanges, ToJsonReloadsToTheSameMachine) {
    Install(kMachine);
    ComPtr<ISWbemObject> docs = Object(L"SELECT * FROM Win32_Share", 1);
    ASSERT_EQ(0, Call(docs.Get(), L"Delete").returnValue);
    ComPtr<ISWbemObject> eth = Configuration(0);
    ASSERT_EQ(0, Call(eth.Get(), L"EnableDHCP").returnValue);

    auto reloaded = CMachine::FromJson(Machine().ToJson());
    EXPECT_EQ(Machine().State(), reloaded->State());
    EXPECT_EQ((std::vector<long>{0, 1}), reloaded->Ids("Win32_Share"));
    EXPECT_EQ("pub", reloaded->Instance("Win32_Share", 1)["Name"]);
    EXPECT_EQ(true, reloaded->Instance("Win32_NetworkAdapterConfiguration", 0)["DHCPEnabled"]);
    // Flags stay with their instance.
    EXPECT_EQ(true, reloaded->Instance("Win32_Share", 0)["_undeletable"]);
}

} // namespace
} // namespace SimulatorTests
