// CAddressList through COM: the automation members and the in-process
// operations the adapter, the duplicate and the store use.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "adapters/AddressList.h"
#include "com/SafeArray.h"
#include "tests/adapters/AdapterTestSupport.h"

namespace {

using Varquel::CAddressList;
using Varquel::CBstr;
using Varquel::CVariant;
using Varquel::ImplOf;
using AdapterTests::Strings;
using AdapterTests::Text;
using VarquelTest::ComPtr;

class AddressListTest : public testing::Test {
protected:
    void SetUp() override {
        m_list = VarquelTest::Create<IAddressList>(CLSID_CAddressList);
        ASSERT_TRUE(m_list);
        m_impl = ImplOf<CAddressList>(m_list.Get());
        ASSERT_TRUE(m_impl);
    }
    void TearDown() override {
        m_impl.Reset();
        m_list.Reset();
        EXPECT_EQ(0, VarquelTest::ModuleLockCount());
    }

    long Count() {
        long count = -1;
        EXPECT_EQ(S_OK, m_list->get_Count(&count));
        return count;
    }
    // GetAt's result: its text, or "<null>".
    std::wstring At(long index) {
        CBstr value;
        EXPECT_EQ(S_OK, m_list->GetAt(index, value.ReleaseAndGetAddressOf()));
        return Text(value.Get());
    }
    std::vector<std::wstring> All() {
        std::vector<std::wstring> all;
        for (long i = 0, n = Count(); i < n; ++i) all.push_back(At(i));
        return all;
    }
    void AddAll(std::initializer_list<const wchar_t*> values) {
        for (const wchar_t* v : values) ASSERT_EQ(S_OK, m_list->Add(CBstr(v).Get()));
    }

    ComPtr<IAddressList> m_list;
    ComPtr<CAddressList> m_impl;
};

TEST_F(AddressListTest, NewListIsEmptyAndEveryIndexReadsAnEmptyString) {
    EXPECT_EQ(0, Count());
    for (long index : {0L, -1L, 1L}) {
        CBstr value;
        EXPECT_EQ(S_OK, m_list->GetAt(index, value.ReleaseAndGetAddressOf()));
        ASSERT_FALSE(value.IsNull()) << index;  // empty, not null
        EXPECT_EQ(0u, value.Length());
    }
}

TEST_F(AddressListTest, IndexesOutsideTheListReadEmptyWithEntriesPresent) {
    AddAll({L"10.0.0.1", L"10.0.0.2"});
    EXPECT_EQ(L"", At(-1));
    EXPECT_EQ(L"", At(2));
    EXPECT_EQ(L"10.0.0.2", At(1));
}

TEST_F(AddressListTest, AddCutsAtTheFirstNulAndAppendKeepsTheWholeString) {
    CBstr withNul(L"10.0\0junk", 9);
    ASSERT_EQ(S_OK, m_list->Add(withNul.Get()));
    m_impl->Append(withNul.Get());
    EXPECT_EQ(2, Count());
    EXPECT_EQ(L"10.0", At(0));
    EXPECT_EQ(std::wstring(L"10.0\0junk", 9), At(1));  // GetAt hands out the full length
}

TEST_F(AddressListTest, NullStringsMakeNullEntries) {
    ASSERT_EQ(S_OK, m_list->Add(nullptr));
    m_impl->Append(nullptr);
    EXPECT_EQ(2, Count());
    EXPECT_EQ(L"<null>", At(0));
    EXPECT_EQ(L"<null>", At(1));
}

TEST_F(AddressListTest, GetAtHandsOutACopyTheCallerOwns) {
    AddAll({L"10.0.0.1"});
    CBstr first;
    ASSERT_EQ(S_OK, m_list->GetAt(0, first.ReleaseAndGetAddressOf()));
    first.Get()[0] = L'X';
    EXPECT_EQ(L"10.0.0.1", At(0));
    EXPECT_NE(first.Get(), m_impl->Entries().At(0));
}

TEST_F(AddressListTest, RemoveAtMovesLaterEntriesDown) {
    AddAll({L"A", L"B", L"C", L"D"});
    EXPECT_EQ(S_OK, m_list->RemoveAt(0));
    EXPECT_EQ((Strings{L"B", L"C", L"D"}), All());
    EXPECT_EQ(S_OK, m_list->RemoveAt(1));
    EXPECT_EQ((Strings{L"B", L"D"}), All());
    EXPECT_EQ(S_OK, m_list->RemoveAt(1));
    EXPECT_EQ((Strings{L"B"}), All());
}

TEST_F(AddressListTest, RemoveAtOutsideTheListIsRefusedAndChangesNothing) {
    EXPECT_EQ(E_INVALIDARG, m_list->RemoveAt(0));  // empty list
    AddAll({L"A", L"B"});
    for (long index : {-1L, 2L, 100L, static_cast<long>(0x80000000u)})
        EXPECT_EQ(E_INVALIDARG, m_list->RemoveAt(index)) << index;
    EXPECT_EQ((Strings{L"A", L"B"}), All());
}

TEST_F(AddressListTest, RemoveAllEmptiesTheList) {
    AddAll({L"A", L"B"});
    EXPECT_EQ(S_OK, m_list->RemoveAll());
    EXPECT_EQ(0, Count());
    EXPECT_EQ(S_OK, m_list->RemoveAll());
    AddAll({L"C"});
    EXPECT_EQ((Strings{L"C"}), All());
}

TEST_F(AddressListTest, NullOutPointersAreRefused) {
    EXPECT_EQ(E_POINTER, m_list->get_Count(nullptr));
    EXPECT_EQ(E_POINTER, m_list->GetAt(0, nullptr));
}

// ---- ToVariantArray / FromVariantArray ----

// The elements of a VT_ARRAY|VT_VARIANT value, checked for shape: one
// dimension, lower bound 0, every element VT_BSTR.
Strings ElementsOf(const CVariant& value) {
    Strings out;
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, value.Type());
    if (value.Type() != (VT_ARRAY | VT_VARIANT)) return out;
    SAFEARRAY* array = V_ARRAY(value.Get());
    EXPECT_NE(nullptr, array);
    EXPECT_EQ(1u, SafeArrayGetDim(array));
    LONG lower = -1, upper = -2;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(0, lower);
    Varquel::CSafeArrayLock lock(array);
    for (LONG i = 0; i <= upper - lower; ++i) {
        const VARIANT& element = lock.Data<VARIANT>()[i];
        EXPECT_EQ(VT_BSTR, V_VT(&element)) << i;
        out.push_back(Text(V_BSTR(&element)));
    }
    return out;
}

// A VT_ARRAY|VT_VARIANT value from element variants (taking them over).
CVariant ArrayOf(std::vector<VARIANT> elements) {
    Varquel::CSafeArray array = Varquel::CSafeArray::Variants(static_cast<ULONG>(elements.size()));
    {
        Varquel::CSafeArrayLock lock(array.Get());
        for (size_t i = 0; i < elements.size(); ++i) lock.Data<VARIANT>()[i] = elements[i];
    }
    CVariant value;
    V_ARRAY(value.Get()) = array.Detach();
    V_VT(value.Get()) = VT_ARRAY | VT_VARIANT;
    return value;
}

VARIANT StringElement(const wchar_t* text, UINT length) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text ? SysAllocStringLen(text, length) : nullptr;
    return v;
}

VARIANT StringElement(const wchar_t* text) { return StringElement(text, text ? lstrlenW(text) : 0); }

TEST_F(AddressListTest, AnEmptyListGivesAZeroElementArray) {
    CVariant value = m_impl->ToVariantArray();
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, value.Type());
    ASSERT_NE(nullptr, V_ARRAY(value.Get()));
    EXPECT_EQ(1u, SafeArrayGetDim(V_ARRAY(value.Get())));
    EXPECT_EQ(0u, V_ARRAY(value.Get())->rgsabound[0].cElements);
    EXPECT_EQ(0, V_ARRAY(value.Get())->rgsabound[0].lLbound);
}

TEST_F(AddressListTest, ToVariantArrayCopiesEveryEntryWhole) {
    AddAll({L"10.0.0.1"});
    ASSERT_EQ(S_OK, m_list->Add(nullptr));
    m_impl->Append(CBstr(L"a\0b", 3).Get());
    CVariant value = m_impl->ToVariantArray();
    EXPECT_EQ((Strings{L"10.0.0.1", L"<null>", std::wstring(L"a\0b", 3)}), ElementsOf(value));
    // Independent of the list: the list may change while the value lives.
    ASSERT_EQ(S_OK, m_list->RemoveAll());
    EXPECT_EQ(3u, ElementsOf(value).size());
}

TEST_F(AddressListTest, FromVariantArrayReplacesTheEntries) {
    AddAll({L"old1", L"old2", L"old3"});
    CVariant value = ArrayOf({StringElement(L"10.0.0.5"), StringElement(L"10.0.0.6")});
    EXPECT_EQ(S_OK, m_impl->FromVariantArray(*value));
    EXPECT_EQ((Strings{L"10.0.0.5", L"10.0.0.6"}), All());
}

TEST_F(AddressListTest, FromVariantArrayCutsAtNulsAndKeepsNulls) {
    CVariant value = ArrayOf({StringElement(L"10.0\0x", 6), StringElement(nullptr)});
    EXPECT_EQ(S_OK, m_impl->FromVariantArray(*value));
    EXPECT_EQ((Strings{L"10.0", L"<null>"}), All());
}

TEST_F(AddressListTest, FromVariantArrayOfAnythingButAnArrayEmptiesTheList) {
    CVariant nullValue;
    V_VT(nullValue.Get()) = VT_NULL;
    CVariant text;
    V_VT(text.Get()) = VT_BSTR;
    V_BSTR(text.Get()) = SysAllocString(L"10.0.0.1");
    CVariant empty;
    CVariant stringArray;  // an array of BSTR, not of VARIANT
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 1);
        LONG index = 0;
        CBstr element(L"10.0.0.1");
        SafeArrayPutElement(array, &index, element.Get());
        V_VT(stringArray.Get()) = VT_ARRAY | VT_BSTR;
        V_ARRAY(stringArray.Get()) = array;
    }
    for (const CVariant* v : {&nullValue, &text, &empty, &stringArray}) {
        AddAll({L"A", L"B"});
        EXPECT_EQ(S_OK, m_impl->FromVariantArray(**v)) << v->Type();
        EXPECT_EQ(0, Count()) << v->Type();
    }
}

TEST_F(AddressListTest, FromVariantArrayKeepsPositionsOfElementsThatAreNoStrings) {
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = 7;
    CVariant value = ArrayOf({StringElement(L"a"), number, StringElement(L"c")});
    EXPECT_EQ(S_OK, m_impl->FromVariantArray(*value));
    EXPECT_EQ((Strings{L"a", L"<null>", L"c"}), All());
}

TEST_F(AddressListTest, RoundTripThroughAVariantArrayReproducesTheList) {
    AddAll({L"192.168.1.10", L"", L"fe80::1"});
    ASSERT_EQ(S_OK, m_list->Add(nullptr));
    CVariant value = m_impl->ToVariantArray();
    ASSERT_EQ(S_OK, m_list->RemoveAll());
    EXPECT_EQ(S_OK, m_impl->FromVariantArray(*value));
    EXPECT_EQ((Strings{L"192.168.1.10", L"", L"fe80::1", L"<null>"}), All());
}

TEST_F(AddressListTest, CopyFromMakesAnIndependentFullCopy) {
    AddAll({L"A"});
    ASSERT_EQ(S_OK, m_list->Add(nullptr));
    m_impl->Append(CBstr(L"b\0c", 3).Get());

    ComPtr<IAddressList> other = VarquelTest::Create<IAddressList>(CLSID_CAddressList);
    ComPtr<CAddressList> otherImpl = ImplOf<CAddressList>(other.Get());
    ASSERT_TRUE(otherImpl);
    ASSERT_EQ(S_OK, other->Add(CBstr(L"replaced").Get()));
    otherImpl->CopyFrom(*m_impl.Get());
    EXPECT_EQ(3, otherImpl->Entries().Count());
    EXPECT_EQ(L"<null>", Text(otherImpl->Entries().At(1)));
    EXPECT_EQ(std::wstring(L"b\0c", 3), Text(otherImpl->Entries().At(2)));
    EXPECT_NE(m_impl->Entries().At(0), otherImpl->Entries().At(0));

    ASSERT_EQ(S_OK, m_list->RemoveAt(0));
    EXPECT_EQ(3, otherImpl->Entries().Count());
    EXPECT_EQ(L"A", Text(otherImpl->Entries().At(0)));
}

} // namespace
