#pragma once
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "Varquel_h.h"
#include "com/Bstr.h"
#include "simulator/SimulatedMachine.h"
#include "tests/support/TestSupport.h"

namespace SettingsTests {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Journal = std::vector<std::string>;

// A string as the client sees it: nullopt for a null BSTR, otherwise every
// character (embedded NULs included).
inline std::optional<std::wstring> Value(BSTR text) {
    if (!text) return std::nullopt;
    return std::wstring(text, SysStringLen(text));
}
inline std::optional<std::wstring> Value(const CBstr& text) { return Value(text.Get()); }
inline std::optional<std::wstring> Text(const wchar_t* text) { return std::wstring(text); }
inline const std::optional<std::wstring> kNull = std::nullopt;

// Reads a BSTR getter, expecting S_OK.
template <class Itf>
CBstr Read(Itf* object, HRESULT (STDMETHODCALLTYPE Itf::*getter)(BSTR*)) {
    CBstr value;
    EXPECT_EQ(S_OK, (object->*getter)(value.ReleaseAndGetAddressOf()));
    return value;
}

// Reads a long getter, expecting S_OK.
template <class Itf>
long ReadLong(Itf* object, HRESULT (STDMETHODCALLTYPE Itf::*getter)(long*)) {
    long value = 0x5A5A5A5A;
    EXPECT_EQ(S_OK, (object->*getter)(&value));
    return value;
}

// Each test that touches WMI installs its own simulated machine. Whatever the
// test did, by the time it ends every object it made must be gone: no
// simulator object and no object or lock of the server may remain.
class SettingsTest : public ::testing::Test {
protected:
    VarquelSim::CMachine& Install(const std::string& json) {
        m_install.reset();
        m_machine = VarquelSim::CMachine::FromJson(json);
        m_install = std::make_unique<VarquelSim::CInstall>(m_machine);
        return *m_machine;
    }
    VarquelSim::CMachine& Machine() { return *m_machine; }
    const Journal& MachineJournal() const { return m_machine->Journal(); }
    // The journal from `first` on.
    Journal JournalFrom(size_t first) const {
        const Journal& all = m_machine->Journal();
        return first >= all.size() ? Journal{} : Journal(all.begin() + static_cast<long>(first), all.end());
    }

    void TearDown() override {
        if (m_machine) {
            EXPECT_EQ(0, m_machine->LiveObjects()) << "simulator objects leaked";
        }
        EXPECT_EQ(0, VarquelTest::ModuleLockCount()) << "server objects or locks leaked";
        m_install.reset();
    }

private:
    std::shared_ptr<VarquelSim::CMachine> m_machine;
    std::unique_ptr<VarquelSim::CInstall> m_install;
};

} // namespace SettingsTests
