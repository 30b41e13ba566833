// CNetAdapterProperty without a machine: a detached adapter's fields, its
// five list objects, the duplicate and the transfer of stored settings.
#include <gtest/gtest.h>
#include <string>
#include "adapters/NetAdapterProperty.h"
#include "tests/adapters/AdapterTestSupport.h"

namespace {

using AdapterTests::Entries;
using AdapterTests::ListOf;
using AdapterTests::Strings;
using AdapterTests::Text;
using Kind = Varquel::CNetAdapterProperty::AddressKind;
using Varquel::CBstr;
using Varquel::CNetAdapterProperty;
using Varquel::ImplOf;
using VarquelTest::ComPtr;

class DetachedAdapterTest : public testing::Test {
protected:
    void SetUp() override {
        m_adapter = VarquelTest::Create<INetAdapterProperty>(CLSID_CNetAdapterProperty);
        ASSERT_TRUE(m_adapter);
        m_impl = ImplOf<CNetAdapterProperty>(m_adapter.Get());
        ASSERT_TRUE(m_impl);
    }
    void TearDown() override {
        m_impl.Reset();
        m_adapter.Reset();
        EXPECT_EQ(0, VarquelTest::ModuleLockCount());
    }

    ComPtr<INetAdapterProperty> m_adapter;
    ComPtr<CNetAdapterProperty> m_impl;
};

TEST_F(DetachedAdapterTest, AFreshAdapterIsStaticWithEmptyListsAndNoNames) {
    VARIANT_BOOL dhcp = 123;
    EXPECT_EQ(S_OK, m_adapter->get_IsDHCP(&dhcp));
    EXPECT_EQ(VARIANT_FALSE, dhcp);
    EXPECT_EQ(VARIANT_TRUE, m_impl->IPEnabled());
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
        ComPtr<IAddressList> list = ListOf(m_adapter.Get(), static_cast<Kind>(kind));
        ASSERT_TRUE(list) << kind;
        long count = -1;
        EXPECT_EQ(S_OK, list->get_Count(&count));
        EXPECT_EQ(0, count) << kind;
    }
    CBstr name(L"x"), id(L"x");
    EXPECT_EQ(S_OK, m_adapter->get_Name(name.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_OK, m_adapter->get_NetConnectionID(id.ReleaseAndGetAddressOf()));
    EXPECT_TRUE(name.IsNull());
    EXPECT_TRUE(id.IsNull());
}

TEST_F(DetachedAdapterTest, GetCurrentAndApplyAnswerSFalseAndChangeNothing) {
    ASSERT_EQ(S_OK, ListOf(m_adapter.Get(), Kind::IPAddresses)->Add(CBstr(L"10.0.0.1").Get()));
    ASSERT_EQ(S_OK, m_adapter->put_IsDHCP(VARIANT_TRUE));
    EXPECT_EQ(S_FALSE, m_adapter->GetCurrent());
    EXPECT_EQ(S_FALSE, m_adapter->Apply());
    EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(m_adapter.Get(), Kind::IPAddresses));
    EXPECT_EQ(VARIANT_TRUE, m_impl->IsDhcp());
}

TEST_F(DetachedAdapterTest, TheListGettersHandOutTheAdaptersOwnFiveObjects) {
    ComPtr<IUnknown> seen[CNetAdapterProperty::kAddressKinds];
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
        ComPtr<IAddressList> first = ListOf(m_adapter.Get(), static_cast<Kind>(kind));
        ComPtr<IAddressList> second = ListOf(m_adapter.Get(), static_cast<Kind>(kind));
        ASSERT_TRUE(first && second);
        first.As(&seen[kind]);
        ComPtr<IUnknown> again;
        second.As(&again);
        EXPECT_EQ(seen[kind].Get(), again.Get()) << kind;  // the object itself, not a copy
        // ...and the one the in-process List() gives.
        EXPECT_EQ(ImplOf<Varquel::CAddressList>(first.Get()).Get(), &m_impl->List(static_cast<Kind>(kind)));
        for (int earlier = 0; earlier < kind; ++earlier) EXPECT_NE(seen[earlier].Get(), seen[kind].Get());
    }
    // Entries added through a list object are the adapter's.
    ASSERT_EQ(S_OK, ListOf(m_adapter.Get(), Kind::DNSAddresses)->Add(CBstr(L"10.0.0.53").Get()));
    EXPECT_EQ(1, m_impl->List(Kind::DNSAddresses).Entries().Count());
}

TEST_F(DetachedAdapterTest, IsDhcpKeepsTheValueAsGiven) {
    for (VARIANT_BOOL value : {VARIANT_BOOL(1), VARIANT_BOOL(-1), VARIANT_BOOL(0), VARIANT_BOOL(0x100)}) {
        ASSERT_EQ(S_OK, m_adapter->put_IsDHCP(value));
        VARIANT_BOOL read = 77;
        EXPECT_EQ(S_OK, m_adapter->get_IsDHCP(&read));
        EXPECT_EQ(value, read);
    }
}

TEST_F(DetachedAdapterTest, NamesHandOutWholeCopies) {
    m_impl->SetName(CBstr(L"Intel\0(R)", 9));
    m_impl->SetNetConnectionID(CBstr(L"Ethernet"));
    CBstr name, id;
    EXPECT_EQ(S_OK, m_adapter->get_Name(name.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_OK, m_adapter->get_NetConnectionID(id.ReleaseAndGetAddressOf()));
    EXPECT_EQ(std::wstring(L"Intel\0(R)", 9), Text(name.Get()));
    EXPECT_EQ(L"Ethernet", Text(id.Get()));
    EXPECT_NE(name.Get(), m_impl->Name());
}

TEST_F(DetachedAdapterTest, NullOutPointers) {
    // The name getters succeed and write nothing; the others refuse.
    m_impl->SetName(CBstr(L"eth0"));
    EXPECT_EQ(S_OK, m_adapter->get_Name(nullptr));
    EXPECT_EQ(S_OK, m_adapter->get_NetConnectionID(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_IsDHCP(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_IPAddresses(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_SubnetMasks(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_GateWayAddresses(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_DNSAddresses(nullptr));
    EXPECT_EQ(E_POINTER, m_adapter->get_WINSServers(nullptr));
}

TEST_F(DetachedAdapterTest, CopyFromDuplicatesFieldsIntoIndependentLists) {
    m_impl->SetName(CBstr(L"Intel\0x", 7));
    m_impl->SetNetConnectionID(CBstr(L"Ethernet"));
    m_impl->SetIsDhcp(VARIANT_BOOL(1));
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
        ASSERT_EQ(S_OK, ListOf(m_adapter.Get(), static_cast<Kind>(kind))->Add(CBstr(L"10.0.0.1").Get()));

    ComPtr<CNetAdapterProperty> copy = AdapterTests::NewAdapter();
    copy->CopyFrom(*m_impl.Get());
    EXPECT_EQ(std::wstring(L"Intel\0x", 7), Text(copy->Name()));
    EXPECT_EQ(L"Ethernet", Text(copy->NetConnectionID()));
    EXPECT_EQ(VARIANT_BOOL(1), copy->IsDhcp());
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
        auto k = static_cast<Kind>(kind);
        EXPECT_NE(&copy->List(k), &m_impl->List(k));
        EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(copy.Get(), k));
        ASSERT_EQ(S_OK, ListOf(m_adapter.Get(), k)->RemoveAll());
        EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(copy.Get(), k)) << kind;
    }
    EXPECT_NE(copy->Name(), m_impl->Name());
}

TEST_F(DetachedAdapterTest, TakeSettingsFromMovesTheListObjectsAndIsDhcp) {
    ComPtr<CNetAdapterProperty> stored = AdapterTests::NewAdapter();
    stored->SetIsDhcp(VARIANT_TRUE);
    stored->SetName(CBstr(L"stored"));
    ASSERT_EQ(S_OK, stored->List(Kind::WINSServers).Add(CBstr(L"10.0.0.9").Get()));
    const Varquel::CAddressList* storedLists[CNetAdapterProperty::kAddressKinds];
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
        storedLists[kind] = &stored->List(static_cast<Kind>(kind));

    m_impl->TakeSettingsFrom(*stored.Get());
    EXPECT_EQ(VARIANT_TRUE, m_impl->IsDhcp());
    EXPECT_EQ(nullptr, m_impl->Name());  // the identity stays the adapter's own
    for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
        auto k = static_cast<Kind>(kind);
        EXPECT_EQ(storedLists[kind], &m_impl->List(k)) << kind;  // the very objects
        // The stored adapter, which a client may still hold, keeps five usable lists.
        EXPECT_NE(storedLists[kind], &stored->List(k));
        EXPECT_EQ(0, stored->List(k).Entries().Count());
    }
    EXPECT_EQ(Strings{L"10.0.0.9"}, Entries(m_adapter.Get(), Kind::WINSServers));
}

} // namespace
