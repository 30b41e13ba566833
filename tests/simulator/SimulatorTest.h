#pragma once
#include <gtest/gtest.h>
#include <wbemcli.h>
#include <wbemdisp.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "com/Bstr.h"
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "tests/support/SimulatedMachineTest.h"
#include "tests/support/TestSupport.h"

// Drives the simulated machine through the raw WMI scripting interfaces, as a
// client of WMI would, without the product's helpers.
namespace SimulatorTests {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using Varquel::CVariant;
using VarquelTest::Journal;

constexpr HRESULT kFailed = static_cast<HRESULT>(WBEM_E_FAILED);
constexpr HRESULT kNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
constexpr HRESULT kInvalidQuery = static_cast<HRESULT>(WBEM_E_INVALID_QUERY);
constexpr HRESULT kInvalidClass = static_cast<HRESULT>(WBEM_E_INVALID_CLASS);
constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);

// Values as a client sends them.
CVariant Str(const wchar_t* text);
CVariant Strs(std::initializer_list<const wchar_t*> texts);
CVariant I4(long value);
using Params = std::vector<std::pair<const wchar_t*, CVariant>>;

// The text of a string value, "<not a string>" otherwise.
std::string TextOf(const CVariant& value);
// The strings of an array value.
std::vector<std::string> TextsOf(const CVariant& value);

struct CallResult {
    HRESULT hr;
    long returnValue;  // -1 when there was no ReturnValue
};

// The machine's own tests send it what it must refuse.
class SimulatorTest : public VarquelTest::SimulatedMachineTest {
protected:
    SimulatorTest() { ExpectRefusals(); }

    ComPtr<ISWbemServices> Connect();
    // ExecQuery with "WQL" and flags 0, and its HRESULT.
    HRESULT Query(const wchar_t* wql, ComPtr<ISWbemObjectSet>& set);
    // Every element of a set, as Next(1) yields them.
    std::vector<CVariant> Elements(ISWbemObjectSet* set);
    // The index-th object of a query.
    ComPtr<ISWbemObject> Object(const wchar_t* wql, size_t index = 0);
    ComPtr<ISWbemObject> Configuration(size_t adapterIndex);
    HRESULT Read(ISWbemObject* object, const wchar_t* name, CVariant& value);
    CVariant Read(ISWbemObject* object, const wchar_t* name);
    // A fresh in-parameters instance of a method, and its property set.
    ComPtr<ISWbemObject> InParameters(ISWbemObject* object, const wchar_t* method);
    ComPtr<ISWbemPropertySet> PropertiesOf(ISWbemObject* object);
    // Prepares, fills and runs a method as WMI clients do, reading its ReturnValue.
    CallResult Call(ISWbemObject* object, const wchar_t* method, const Params& params = {});
    // Win32_Share's class object, on which its static Create is called.
    ComPtr<ISWbemObject> ShareClass();
};

} // namespace SimulatorTests
