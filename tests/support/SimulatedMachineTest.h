#pragma once
// A simulated machine installed as the process's WMI for one test, and the
// checks every such test ends with.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "simulator/SimulatedMachine.h"

namespace VarquelTest {

using Journal = std::vector<std::string>;

class CInstalledMachine {
public:
    // Replaces the machine installed before, if any.
    VarquelSim::CMachine& Install(const std::string& json);
    VarquelSim::CMachine& Machine() const { return *m_machine; }
    bool Installed() const noexcept { return m_machine != nullptr; }

    const Journal& MachineJournal() const { return m_machine->Journal(); }
    // The journal since the last call, which empties it.
    Journal TakeJournal();
    // The journal from line `first` on.
    Journal JournalFrom(size_t first) const;
    // How many lines of the journal start with the prefix.
    long CountLines(const std::string& prefix) const;

    // The end of a test: once its objects are gone, neither the machine nor
    // the server may have an object or a lock left, and the machine must have
    // refused no call (unless refusals are what the test is about). Then the
    // machine is uninstalled.
    void CheckAndUninstall(bool refusalsExpected = false);

private:
    std::shared_ptr<VarquelSim::CMachine> m_machine;
    std::unique_ptr<VarquelSim::CInstall> m_install;
};

// A test that installs simulated machines.
class SimulatedMachineTest : public ::testing::Test, public CInstalledMachine {
protected:
    void TearDown() override { CheckAndUninstall(m_refusalsExpected); }
    // For tests of the machine itself, which send it what it must refuse.
    void ExpectRefusals() noexcept { m_refusalsExpected = true; }

private:
    bool m_refusalsExpected = false;
};

} // namespace VarquelTest
