// The dispatch tables generated from Collection.idl, served by the engine:
// a default member (DISPID 0), an enumerator (DISPID -4) whose result is an
// IUnknown, and a DISPID far from the others.
#include <gtest/gtest.h>
#include <climits>
#include "CollectionTables.h"
#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "tests/dispatch/DispatchTestSupport.h"

namespace {

using namespace DispatchTest;
using Varquel::CastTo;
using Varquel::CComObjectRoot;
using Varquel::InterfaceEntry;
using Names = std::vector<std::pair<std::wstring, DISPID>>;

class CTestItem final : public CComObjectRoot, public Varquel::CDispatchImpl<ITestItem> {
public:
    VARQUEL_IUNKNOWN
    STDMETHODIMP get_Name(BSTR* pVal) override {
        *pVal = Varquel::CBstr(L"first").Detach();
        return S_OK;
    }

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override {
        static constexpr InterfaceEntry kEntries[] = {
            {&IID_ITestItem, &CastTo<CTestItem, ITestItem>},
            {&IID_IDispatch, &CastTo<CTestItem, IDispatch, ITestItem>},
        };
        return kEntries;
    }
};

template <class Itf>
ComPtr<Itf> Make(REFIID iid) {
    ComPtr<Itf> object;
    EXPECT_EQ(Varquel::CreateComObject<CTestItem>(nullptr, iid, reinterpret_cast<void**>(object.GetAddressOf())), S_OK);
    return object;
}

class CTestCollection final : public CComObjectRoot, public Varquel::CDispatchImpl<ITestCollection> {
public:
    VARQUEL_IUNKNOWN
    STDMETHODIMP get_Count(long* pVal) override {
        *pVal = 1;
        return S_OK;
    }
    STDMETHODIMP Item(long Index, ITestItem** ppItem) override {
        *ppItem = nullptr;
        return Index == 0 ? m_item.CopyTo(ppItem) : E_INVALIDARG;
    }
    STDMETHODIMP get__NewEnum(IUnknown** ppUnk) override { return m_enumerator.CopyTo(ppUnk); }
    STDMETHODIMP Clear() override {
        ++s_cleared;
        return S_OK;
    }
    static inline int s_cleared = 0;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override {
        static constexpr InterfaceEntry kEntries[] = {
            {&IID_ITestCollection, &CastTo<CTestCollection, ITestCollection>},
            {&IID_IDispatch, &CastTo<CTestCollection, IDispatch, ITestCollection>},
        };
        return kEntries;
    }

private:
    ComPtr<ITestItem> m_item = Make<ITestItem>(IID_ITestItem);
    ComPtr<IUnknown> m_enumerator = Make<IUnknown>(IID_IUnknown);
};

struct Collection {
    ComPtr<ITestCollection> early;
    ComPtr<IDispatch> late;
};

Collection MakeCollection() {
    Collection c;
    EXPECT_EQ(Varquel::CreateComObject<CTestCollection>(nullptr, IID_ITestCollection,
                                                        reinterpret_cast<void**>(c.early.GetAddressOf())),
              S_OK);
    if (c.early) c.early.As(&c.late);
    return c;
}

TEST(CollectionShapes, TheNameTableMapsDefaultAndEnumeratorNamesToTheirDispids) {
    Names actual;
    for (const auto& entry : Varquel::Dispatch::TableOf<ITestCollection>().names) actual.emplace_back(entry.name, entry.id);
    EXPECT_EQ(actual, (Names{{L"Count", 1}, {L"pVal", 0}, {L"get_Count", 1}, {L"Index", 0}, {L"ppItem", 1},
                             {L"Item", 0}, {L"_NewEnum", -4}, {L"ppUnk", 0}, {L"get__NewEnum", -4}, {L"Clear", 300}}));
    Collection c = MakeCollection();
    ASSERT_TRUE(c.late);
    EXPECT_EQ(IdOfName(c.late.Get(), L"_newenum"), DISPID_NEWENUM);
    EXPECT_EQ(IdOfName(c.late.Get(), L"ITEM"), DISPID_VALUE);
    EXPECT_EQ(IdOfName(c.late.Get(), L"put__NewEnum"), DISPID_UNKNOWN);
    EXPECT_EQ(Varquel::Dispatch::TableOf<ITestCollection>().maxArgs, 2u);
}

TEST(CollectionShapes, InvokeReachesTheDefaultMemberTheEnumeratorAndAFarDispid) {
    Collection c = MakeCollection();
    ASSERT_TRUE(c.late);

    // coll(0), as a script writes it.
    CArgs zero;
    zero.I4(0);
    CInvokeResult item = Invoke(c.late.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, zero);
    ASSERT_EQ(item.hr, S_OK);
    ASSERT_EQ(V_VT(item.value.Get()), VT_DISPATCH);
    EXPECT_EQ(Text(*Invoke(V_DISPATCH(item.value.Get()), 1, DISPATCH_PROPERTYGET).value), "first");
    CArgs five;
    five.I4(5);
    CInvokeResult missing = Invoke(c.late.Get(), DISPID_VALUE, DISPATCH_METHOD, five);
    EXPECT_EQ(missing.hr, E_INVALIDARG);
    EXPECT_EQ(V_VT(missing.value.Get()), VT_EMPTY);

    // The enumerator comes as VT_UNKNOWN, and is released when nobody takes it.
    ComPtr<IUnknown> enumerator;
    ASSERT_EQ(c.early->get__NewEnum(&enumerator), S_OK);
    const ULONG before = RefCount(enumerator.Get());
    CInvokeResult listed = Invoke(c.late.Get(), DISPID_NEWENUM, DISPATCH_PROPERTYGET);
    ASSERT_EQ(listed.hr, S_OK);
    ASSERT_EQ(V_VT(listed.value.Get()), VT_UNKNOWN);
    EXPECT_EQ(V_UNKNOWN(listed.value.Get()), enumerator.Get());
    listed.value.Clear();
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(c.late->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(RefCount(enumerator.Get()), before);

    const int cleared = CTestCollection::s_cleared;
    EXPECT_EQ(Invoke(c.late.Get(), 300, DISPATCH_METHOD).hr, S_OK);
    EXPECT_EQ(CTestCollection::s_cleared, cleared + 1);
    CInvokeResult count = Invoke(c.late.Get(), 1, DISPATCH_PROPERTYGET);
    EXPECT_EQ(V_VT(count.value.Get()), VT_I4);

    // Around and between the members' DISPIDs there is nothing.
    for (DISPID id : {-5, -3, -2, -1, 2, 3, 299, 301, INT_MAX, INT_MIN})
        EXPECT_EQ(Invoke(c.late.Get(), id, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND) << id;
}

} // namespace
