// DllGetClassObject, the class factories and DllCanUnloadNow of Varquel.dll,
// called directly on the loaded library.
#include <gtest/gtest.h>
#include <windows.h>
#include "Varquel_h.h"
#include "tests/server/ServerLibrary.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::CServerLibrary;

const CLSID* const kClassIds[] = {&CLSID_CAddressList,   &CLSID_CNetAdaptersList, &CLSID_CNetAdapterProperty,
                                  &CLSID_CNetProfile,     &CLSID_CNetShareList,    &CLSID_CProxyProperty,
                                  &CLSID_CPrintersProperty, &CLSID_CNetProfilesList, &CLSID_CUserProxy};

void* const kGarbage = reinterpret_cast<void*>(0x1234);

class ClassObjects : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_library.Loaded()) << "LoadLibrary failed: " << m_library.LoadError();
        ASSERT_EQ(m_library.CanUnloadNow(), S_OK);
    }
    void TearDown() override { EXPECT_EQ(m_library.CanUnloadNow(), S_OK) << "the test left something alive"; }

    ComPtr<IClassFactory> Factory(REFCLSID clsid) {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(m_library.GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
                  S_OK);
        return factory;
    }

    CServerLibrary m_library;
};

TEST_F(ClassObjects, AnUnknownClassIsNotAvailableAndLeavesNoPointer) {
    void* object = kGarbage;
    EXPECT_EQ(m_library.GetClassObject(IID_IAddressList, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = kGarbage;
    EXPECT_EQ(m_library.GetClassObject(GUID_NULL, IID_IUnknown, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_library.GetClassObject(CLSID_CAddressList, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ClassObjects, EachClassHasOneClassObjectAnsweringOnlyItsFactoryInterfaces) {
    for (const CLSID* clsid : kClassIds) {
        ComPtr<IClassFactory> first = Factory(*clsid);
        ComPtr<IUnknown> second;
        ASSERT_EQ(m_library.GetClassObject(*clsid, IID_IUnknown, reinterpret_cast<void**>(second.GetAddressOf())),
                  S_OK);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(static_cast<IUnknown*>(first.Get()), second.Get());
        void* other = kGarbage;
        EXPECT_EQ(m_library.GetClassObject(*clsid, IID_IDispatch, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
    }
    ComPtr<IClassFactory> list = Factory(CLSID_CAddressList);
    ComPtr<IClassFactory> profile = Factory(CLSID_CNetProfile);
    EXPECT_NE(list.Get(), profile.Get());
}

TEST_F(ClassObjects, ALiveObjectKeepsTheServerLoaded) {
    ComPtr<IAddressList> list;
    {
        ComPtr<IClassFactory> factory = Factory(CLSID_CAddressList);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IAddressList, reinterpret_cast<void**>(list.GetAddressOf())),
                  S_OK);
    }
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    ComPtr<IDispatch> second;
    ASSERT_EQ(list.As(&second), S_OK);
    list.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    second.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_OK);
}

TEST_F(ClassObjects, LockServerHoldsTheServerUntilUndone) {
    ComPtr<IClassFactory> factory = Factory(CLSID_CProxyProperty);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    factory = Factory(CLSID_CNetShareList);  // any class object undoes a lock
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    factory = Factory(CLSID_CProxyProperty);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_OK);
}

TEST_F(ClassObjects, AClassObjectHeldByTheClientKeepsTheServerLoaded) {
    ComPtr<IClassFactory> factory = Factory(CLSID_CNetProfilesList);
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    ComPtr<IClassFactory> again = Factory(CLSID_CNetProfilesList);
    factory.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    again.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_OK);
    // The cached object is handed out again, and counts again while held.
    factory = Factory(CLSID_CNetProfilesList);
    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    factory.Reset();
}

TEST_F(ClassObjects, CreateInstanceChecksItsOutPointer) {
    ComPtr<IClassFactory> factory = Factory(CLSID_CAddressList);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IAddressList, nullptr), E_POINTER);
    void* object = kGarbage;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    factory.Reset();
    EXPECT_EQ(m_library.CanUnloadNow(), S_OK);
}

// A minimal aggregating object: its own identity, everything else from the inner object.
class COuter final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner) return inner->QueryInterface(riid, ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

    LONG refs = 1;
    ComPtr<IUnknown> inner;
};

TEST_F(ClassObjects, AggregationIsOnlyForIUnknown) {
    COuter outer;
    for (const CLSID* clsid : kClassIds) {
        ComPtr<IClassFactory> factory = Factory(*clsid);
        void* object = kGarbage;
        EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(outer.refs, 1);
}

TEST_F(ClassObjects, AnAggregatedObjectSpeaksForItsOuterObject) {
    COuter outer;
    {
        ComPtr<IClassFactory> factory = Factory(CLSID_CAddressList);
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(outer.inner.GetAddressOf())),
                  S_OK);
    }
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_EQ(outer.refs, 1) << "the inner object must not hold its outer object";
    EXPECT_NE(outer.inner.Get(), static_cast<IUnknown*>(&outer));

    ComPtr<IAddressList> list;
    ASSERT_EQ(outer.QueryInterface(IID_IAddressList, reinterpret_cast<void**>(list.GetAddressOf())), S_OK);
    EXPECT_EQ(outer.refs, 2) << "an interface of the inner object counts on the outer object";
    ComPtr<IUnknown> identity;
    ASSERT_EQ(list->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf())), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(list.As(&dispatch), S_OK);
    EXPECT_EQ(outer.refs, 3);
    dispatch.Reset();
    list.Reset();
    EXPECT_EQ(outer.refs, 1);

    // The inner IUnknown is the object's own: asking it for IUnknown gives it back.
    ComPtr<IUnknown> inner;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(inner.GetAddressOf())), S_OK);
    EXPECT_EQ(inner.Get(), outer.inner.Get());
    inner.Reset();

    EXPECT_EQ(m_library.CanUnloadNow(), S_FALSE);
    outer.inner.Reset();  // destroys the aggregated object
    EXPECT_EQ(m_library.CanUnloadNow(), S_OK);
}

} // namespace
