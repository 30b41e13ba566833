#pragma once
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "adapters/NetAdapterProperty.h"
#include "tests/support/SimulatedMachineTest.h"
#include "tests/adapters/AdapterTestSupport.h"

namespace AdapterTests {

using Json = VarquelSim::CMachine::Json;
using Lines = std::vector<std::string>;

// Machine descriptions. A configuration is static unless changed.
Json StaticConfiguration(const std::vector<std::string>& addresses = {"10.0.0.5"},
                         const std::vector<std::string>& masks = {"255.255.255.0"});
Json AdapterJson(const std::string& name, const Json& connection, const Json& configuration);
Json MachineJson(const std::vector<Json>& adapters);

// A simulated machine installed as the process's WMI for one test.
class MachineTest : public VarquelTest::SimulatedMachineTest {
protected:
    void Load(const Json& machine) { Install(machine.dump()); }

    // A new adapter attached to the machine's adapter object at that position
    // of "SELECT * FROM Win32_NetworkAdapter"; the journal is emptied after.
    VarquelTest::ComPtr<Varquel::CNetAdapterProperty> Attached(size_t position);
};

// Journal target names.
std::string Adapter(long id);        // Win32_NetworkAdapter[id]
std::string Configuration(long id);  // Win32_NetworkAdapterConfiguration[id]

// The journal lines of one detection of the adapter with that id (it has a
// configuration and all the identity properties).
Lines AttachLines(long id);

} // namespace AdapterTests
