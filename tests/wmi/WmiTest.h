#pragma once
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <memory>
#include <string>
#include <vector>
#include "com/Bstr.h"
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "tests/support/SimulatedMachineTest.h"
#include "tests/support/TestSupport.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace WmiTests {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;
using VarquelTest::Journal;

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

// Each test installs its own simulated machine as the process's WMI.
class WmiTest : public VarquelTest::SimulatedMachineTest {
protected:
    VarquelSim::CMachine& Install(const std::string& json = kMachine) { return CInstalledMachine::Install(json); }

    // The index-th object of a query, through the helper.
    ComPtr<ISWbemObject> Object(const wchar_t* wql, int index = 0) {
        Varquel::CWmiQuery query(wql);
        ComPtr<ISWbemObject> object;
        for (int i = 0; i <= index; ++i) object = query.Next();
        return object;
    }
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
