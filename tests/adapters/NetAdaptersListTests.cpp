// CNetAdaptersList without a machine: indexes, stored adapters and the duplicate.
#include <gtest/gtest.h>
#include "adapters/NetAdaptersList.h"
#include "tests/adapters/AdapterTestSupport.h"

namespace {

using AdapterTests::Entries;
using AdapterTests::Kind;
using AdapterTests::Strings;
using AdapterTests::Text;
using Varquel::CBstr;
using Varquel::CNetAdapterProperty;
using Varquel::CNetAdaptersList;
using Varquel::ImplOf;
using VarquelTest::ComPtr;

class StoredAdaptersListTest : public testing::Test {
protected:
    void SetUp() override {
        m_list = VarquelTest::Create<INetAdaptersList>(CLSID_CNetAdaptersList);
        ASSERT_TRUE(m_list);
        m_impl = ImplOf<CNetAdaptersList>(m_list.Get());
        ASSERT_TRUE(m_impl);
    }
    void TearDown() override {
        m_impl.Reset();
        m_list.Reset();
        EXPECT_EQ(0, VarquelTest::ModuleLockCount());
    }

    // A stored adapter as the store reader makes it.
    ComPtr<CNetAdapterProperty> AddStored(const wchar_t* name, const Strings& addresses) {
        ComPtr<CNetAdapterProperty> adapter = m_impl->AppendNewAdapter();
        adapter->SetName(CBstr(name));
        for (const std::wstring& a : addresses) adapter->List(Kind::IPAddresses).Append(CBstr(a.c_str()).Get());
        return adapter;
    }

    ComPtr<INetAdaptersList> m_list;
    ComPtr<CNetAdaptersList> m_impl;
};

TEST_F(StoredAdaptersListTest, ANewListIsEmptyAndNotDetected) {
    long count = -1;
    EXPECT_EQ(S_OK, m_list->get_Count(&count));
    EXPECT_EQ(0, count);
    EXPECT_FALSE(m_impl->Detected());
}

TEST_F(StoredAdaptersListTest, GetAtHandsOutTheAdapterItselfAndNullOutsideTheList) {
    ComPtr<CNetAdapterProperty> first = AddStored(L"A", {});
    ComPtr<CNetAdapterProperty> second = AddStored(L"B", {});
    EXPECT_FALSE(m_impl->Detected());
    long count = 0;
    EXPECT_EQ(S_OK, m_list->get_Count(&count));
    EXPECT_EQ(2, count);

    for (long index : {-1L, 2L, 1000L}) {
        ComPtr<INetAdapterProperty> none;
        EXPECT_EQ(S_OK, m_list->NetAdapterPropertyGetAt(index, none.GetAddressOf())) << index;
        EXPECT_FALSE(none) << index;
    }
    ComPtr<INetAdapterProperty> got;
    ASSERT_EQ(S_OK, m_list->NetAdapterPropertyGetAt(1, got.GetAddressOf()));
    EXPECT_EQ(second.Get(), ImplOf<CNetAdapterProperty>(got.Get()).Get());
    ASSERT_EQ(2u, m_impl->Adapters().size());
    EXPECT_EQ(first.Get(), m_impl->Adapters()[0].Get());
}

TEST_F(StoredAdaptersListTest, NullOutPointersAreRefused) {
    AddStored(L"A", {});
    EXPECT_EQ(E_POINTER, m_list->get_Count(nullptr));
    EXPECT_EQ(E_POINTER, m_list->NetAdapterPropertyGetAt(0, nullptr));
    EXPECT_EQ(E_POINTER, m_list->NetAdapterPropertyGetAt(5, nullptr));
}

TEST_F(StoredAdaptersListTest, ADuplicateHoldsItsOwnAdaptersWithIndependentLists) {
    ComPtr<CNetAdapterProperty> a = AddStored(L"A", {L"10.0.0.1"});
    a->SetIsDhcp(VARIANT_TRUE);
    AddStored(L"B", {L"10.0.0.2", L"10.0.0.3"});

    ComPtr<CNetAdaptersList> copy = Varquel::CreateServerObject<CNetAdaptersList, INetAdaptersList>(
        CLSID_CNetAdaptersList);
    copy->CopyFrom(*m_impl.Get());
    EXPECT_FALSE(copy->Detected());
    ASSERT_EQ(2u, copy->Adapters().size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_NE(m_impl->Adapters()[i].Get(), copy->Adapters()[i].Get());
        EXPECT_EQ(Text(m_impl->Adapters()[i]->Name()), Text(copy->Adapters()[i]->Name()));
    }
    EXPECT_EQ(VARIANT_TRUE, copy->Adapters()[0]->IsDhcp());
    EXPECT_EQ((Strings{L"10.0.0.2", L"10.0.0.3"}), Entries(copy->Adapters()[1].Get(), Kind::IPAddresses));

    a->List(Kind::IPAddresses).RemoveAll();
    EXPECT_EQ(Strings{L"10.0.0.1"}, Entries(copy->Adapters()[0].Get(), Kind::IPAddresses));
}

} // namespace
