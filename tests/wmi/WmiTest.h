#pragma once
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <memory>
#include <string>
#include <vector>
#include "com/Bstr.h"
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "simulator/SimulatedMachine.h"
#include "tests/support/TestSupport.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace WmiTests {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;
using Journal = std::vector<std::string>;

constexpr HRESULT kFailed = static_cast<HRESULT>(WBEM_E_FAILED);
constexpr HRESULT kNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);

// An adapter, printers, a proxy and shares for the helpers to work on.
inline const char* const kMachine = R"json({
  "Win32_NetworkAdapter": [
    { "Name": "Eth", "NetConnectionID": "Ethernet",
      "_configuration": { "IPEnabled": true, "DHCPEnabled": false, "IPAddress": ["10.0.0.5"],
                          "IPSubnet": ["255.0.0.0"], "WINSPrimaryServer": null } }
  ],
  "Win32_Printer": [
    { "DeviceID": "A", "Default": true },
    { "DeviceID": "B", "Default": false },
    { "DeviceID": "C", "Default": false }
  ],
  "Win32_Proxy": [ { "ProxyServer": "proxy", "ProxyPortNumber": 8080, "Flag": true, "Empty": "", "List": ["a"] } ],
  "Win32_Share": [
    { "Name": "C$", "Path": "C:\\", "Type": 0, "_undeletable": true },
    { "Name": "docs", "Path": "C:\\docs", "Type": 0 },
    { "Name": "pub", "Path": null, "Type": 0 }
  ]
})json";

// Each test installs its own simulated machine as the process's WMI. When the
// test ends, every simulator object must have been released.
class WmiTest : public ::testing::Test {
protected:
    VarquelSim::CMachine& Install(const std::string& json = kMachine) {
        m_install.reset();
        m_machine = VarquelSim::CMachine::FromJson(json);
        m_install = std::make_unique<VarquelSim::CInstall>(m_machine);
        return *m_machine;
    }
    VarquelSim::CMachine& Machine() { return *m_machine; }
    const Journal& MachineJournal() const { return m_machine->Journal(); }
    bool HasRejects() const {
        for (const std::string& line : m_machine->Journal())
            if (line.rfind("reject ", 0) == 0) return true;
        return false;
    }
    void TearDown() override {
        if (m_machine) {
            EXPECT_EQ(0, m_machine->LiveObjects()) << "simulator objects leaked";
            EXPECT_FALSE(HasRejects());
        }
        m_install.reset();
    }

    // The index-th object of a query, through the helper.
    ComPtr<ISWbemObject> Object(const wchar_t* wql, int index = 0) {
        Varquel::CWmiQuery query(wql);
        ComPtr<ISWbemObject> object;
        for (int i = 0; i <= index; ++i) object = query.Next();
        return object;
    }

private:
    std::shared_ptr<VarquelSim::CMachine> m_machine;
    std::unique_ptr<VarquelSim::CInstall> m_install;
};

inline std::string Text(const CBstr& text) { return text.IsNull() ? "<null>" : VarquelTest::Narrow(text.Get()); }

inline CVariant Strings(std::initializer_list<const wchar_t*> texts) {
    Varquel::CSafeArray array = Varquel::CSafeArray::Variants(static_cast<ULONG>(texts.size()));
    LONG i = 0;
    for (const wchar_t* text : texts) {
        CVariant element;
        V_BSTR(element.Get()) = CBstr(text).Detach();
        V_VT(element.Get()) = VT_BSTR;
        SafeArrayPutElement(array.Get(), &i, element.Get());
        ++i;
    }
    CVariant value;
    V_ARRAY(value.Get()) = array.Detach();
    V_VT(value.Get()) = VT_ARRAY | VT_VARIANT;
    return value;
}

} // namespace WmiTests
