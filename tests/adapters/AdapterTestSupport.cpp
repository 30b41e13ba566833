#include "tests/adapters/AdapterTestSupport.h"
#include <gtest/gtest.h>

namespace AdapterTests {

using Varquel::CBstr;
using VarquelTest::ComPtr;

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(L"<null>"); }

ComPtr<IAddressList> ListOf(INetAdapterProperty* adapter, Kind kind) {
    ComPtr<IAddressList> list;
    HRESULT hr = E_FAIL;
    switch (kind) {
    case Kind::IPAddresses: hr = adapter->get_IPAddresses(list.GetAddressOf()); break;
    case Kind::SubnetMasks: hr = adapter->get_SubnetMasks(list.GetAddressOf()); break;
    case Kind::GateWayAddresses: hr = adapter->get_GateWayAddresses(list.GetAddressOf()); break;
    case Kind::DNSAddresses: hr = adapter->get_DNSAddresses(list.GetAddressOf()); break;
    case Kind::WINSServers: hr = adapter->get_WINSServers(list.GetAddressOf()); break;
    }
    EXPECT_EQ(S_OK, hr);
    return list;
}

Strings Entries(INetAdapterProperty* adapter, Kind kind) {
    Strings out;
    ComPtr<IAddressList> list = ListOf(adapter, kind);
    if (!list) return out;
    long count = 0;
    EXPECT_EQ(S_OK, list->get_Count(&count));
    for (long i = 0; i < count; ++i) {
        CBstr value;
        EXPECT_EQ(S_OK, list->GetAt(i, value.ReleaseAndGetAddressOf()));
        out.push_back(Text(value.Get()));
    }
    return out;
}

void SetEntries(INetAdapterProperty* adapter, Kind kind, const Strings& values) {
    ComPtr<IAddressList> list = ListOf(adapter, kind);
    ASSERT_TRUE(list);
    ASSERT_EQ(S_OK, list->RemoveAll());
    for (const std::wstring& v : values)
        ASSERT_EQ(S_OK, list->Add(CBstr(v.c_str(), static_cast<UINT>(v.size())).Get()));
}

ComPtr<Varquel::CNetAdapterProperty> NewAdapter() {
    return Varquel::CreateServerObject<Varquel::CNetAdapterProperty, INetAdapterProperty>(
        CLSID_CNetAdapterProperty);
}

} // namespace AdapterTests
