// A client in the multithreaded apartment, as services and .NET code are,
// reaches the apartment-threaded objects only through proxies, which the
// platform's type-library marshaler builds from the REGISTERED library. The
// test registers Varquel.dll in the prefix, as regsvr32 does, and leaves the
// registration as it found it.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <thread>
#include "Varquel_h.h"
#include "tests/server/ServerLibrary.h"
#include "tests/support/TestSupport.h"

namespace {

using VarquelTest::ComPtr;
using VarquelTest::CServerLibrary;
using VarquelTest::Narrow;

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Runs `work` on a new thread in the multithreaded apartment while this STA
// thread pumps the calls that the proxies deliver to its objects.
template <class Work>
void OnAnMtaThread(Work work) {
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(done);
    std::thread thread([&] {
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
            work();
            CoUninitialize();
        } else {
            ADD_FAILURE() << "no MTA";
        }
        SetEvent(done.get());
    });
    DWORD index = 0;
    HANDLE handles[] = {done.get()};
    const HRESULT waited = CoWaitForMultipleHandles(0, 60000, 1, handles, &index);
    thread.join();
    EXPECT_EQ(waited, S_OK);
}

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* argument, VARIANT* result) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

// What the client does with the address list it holds: one entry added late
// bound, one through the vtable, both read back each way. Returns the count
// the vtable reported.
LONG UseAddressListFromTheMta(IUnknown* object) {
    // A proxy, not the object itself.
    ComPtr<IClientSecurity> security;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&security)), S_OK);

    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&dispatch)), S_OK);
    if (dispatch) {
        Varquel::CVariant entry, none, count;
        V_VT(entry.Get()) = VT_BSTR;
        V_BSTR(entry.Get()) = Varquel::CBstr(L"10.0.0.1").Detach();
        EXPECT_EQ(InvokeByName(dispatch.Get(), L"Add", DISPATCH_METHOD, entry.Get(), none.Get()), S_OK);
        EXPECT_EQ(InvokeByName(dispatch.Get(), L"Count", DISPATCH_PROPERTYGET, nullptr, count.Get()), S_OK);
        EXPECT_EQ(count.Type(), VT_I4);
        EXPECT_EQ(V_I4(count.Get()), 1);
    }

    ComPtr<IAddressList> list;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&list)), S_OK) << "no proxy for the dual interface";
    if (!list) return -1;
    EXPECT_EQ(list->Add(Varquel::CBstr(L"10.0.0.2").Get()), S_OK);
    LONG count = -1;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    Varquel::CBstr second;
    EXPECT_EQ(list->GetAt(1, second.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Narrow(second.Get()), "10.0.0.2");
    EXPECT_EQ(list->RemoveAt(7), E_INVALIDARG);  // a failure crosses as it is
    return count;
}

class MtaClient : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Loaded()) << m_server.LoadError();
        m_wasRegistered = VarquelTest::ServerRegistered();
        ASSERT_EQ(m_server.RegisterServer(), S_OK);
    }
    void TearDown() override {
        if (!m_wasRegistered) {
            EXPECT_EQ(m_server.UnregisterServer(), S_OK);
        }
    }
    CServerLibrary m_server;
    bool m_wasRegistered = false;
};

TEST_F(MtaClient, UsesAnObjectOfThisStaThroughIDispatchAndTheDualInterface) {
    ComPtr<IAddressList> list = VarquelTest::Create<IAddressList>(CLSID_CAddressList);
    ASSERT_TRUE(list);
    ComPtr<IGlobalInterfaceTable> table;
    ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table)),
              S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(table->RegisterInterfaceInGlobal(list.Get(), IID_IUnknown, &cookie), S_OK);
    LONG count = -1;
    OnAnMtaThread([&] {
        ComPtr<IUnknown> object;
        EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_PPV_ARGS(&object)), S_OK);
        if (object) count = UseAddressListFromTheMta(object.Get());
    });
    EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
    EXPECT_EQ(count, 2);
    // The calls reached this thread's object.
    LONG here = -1;
    EXPECT_EQ(list->get_Count(&here), S_OK);
    EXPECT_EQ(here, 2);
}

TEST_F(MtaClient, CreatesAnObjectFromTheRegisteredDllInAnStaAndUsesIt) {
    LONG count = -1;
    OnAnMtaThread([&] {
        // The class is apartment-threaded: COM creates it in an STA and hands
        // this thread a proxy.
        ComPtr<IUnknown> object;
        EXPECT_EQ(CoCreateInstance(CLSID_CAddressList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
        if (object) count = UseAddressListFromTheMta(object.Get());
    });
    EXPECT_EQ(count, 2);
}

} // namespace
