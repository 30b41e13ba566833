#include "tests/support/SimulatedMachineTest.h"
#include "tests/support/TestSupport.h"

namespace VarquelTest {

VarquelSim::CMachine& CInstalledMachine::Install(const std::string& json) {
    m_install.reset();
    m_machine = VarquelSim::CMachine::FromJson(json);
    m_install = std::make_unique<VarquelSim::CInstall>(m_machine);
    return *m_machine;
}

Journal CInstalledMachine::TakeJournal() {
    Journal lines = m_machine->Journal();
    m_machine->ClearJournal();
    return lines;
}

Journal CInstalledMachine::JournalFrom(size_t first) const {
    const Journal& all = m_machine->Journal();
    return first >= all.size() ? Journal{} : Journal(all.begin() + static_cast<long>(first), all.end());
}

long CInstalledMachine::CountLines(const std::string& prefix) const {
    long count = 0;
    for (const std::string& line : m_machine->Journal())
        if (line.rfind(prefix, 0) == 0) ++count;
    return count;
}

void CInstalledMachine::CheckAndUninstall(bool refusalsExpected) {
    if (m_machine) {
        EXPECT_EQ(0, m_machine->LiveObjects()) << "simulator objects leaked";
        if (!refusalsExpected) {
            for (const std::string& line : m_machine->Journal())
                EXPECT_NE(0u, line.rfind("reject ", 0)) << "the simulator refused a call: " << line;
        }
    }
    EXPECT_EQ(0, ModuleLockCount()) << "server objects or locks leaked";
    m_install.reset();
    m_machine.reset();
}

} // namespace VarquelTest
