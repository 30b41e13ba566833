#pragma once
#include <string>
#include <vector>
#include "adapters/NetAdapterProperty.h"
#include "tests/support/TestSupport.h"

// Small helpers shared by the adapter tests.
namespace AdapterTests {

using Strings = std::vector<std::wstring>;
using Kind = Varquel::CNetAdapterProperty::AddressKind;

// Text of a string, NULs and all; "<null>" for a null string.
std::wstring Text(BSTR s);

// One of an adapter's five lists, through its automation getter.
VarquelTest::ComPtr<IAddressList> ListOf(INetAdapterProperty* adapter, Kind kind);
// The entries of that list as GetAt reads them.
Strings Entries(INetAdapterProperty* adapter, Kind kind);
// Fills the list through Add, after RemoveAll.
void SetEntries(INetAdapterProperty* adapter, Kind kind, const Strings& values);

// A new detached adapter, created through COM.
VarquelTest::ComPtr<Varquel::CNetAdapterProperty> NewAdapter();

} // namespace AdapterTests
