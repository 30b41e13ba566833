#include "SettingsTest.h"
#include <cstring>

namespace SettingsTests {
namespace {

using Text_t = HRESULT (STDMETHODCALLTYPE IProxyProperty::*)(BSTR*);
using Put_t = HRESULT (STDMETHODCALLTYPE IProxyProperty::*)(BSTR);

struct TextProperty {
    const char* name;
    Text_t get;
    Put_t put;
};

const TextProperty kTexts[] = {
    {"HTTPServer", &IProxyProperty::get_HTTPServer, &IProxyProperty::put_HTTPServer},
    {"HTTPPort", &IProxyProperty::get_HTTPPort, &IProxyProperty::put_HTTPPort},
    {"SecureServer", &IProxyProperty::get_SecureServer, &IProxyProperty::put_SecureServer},
    {"SecurePort", &IProxyProperty::get_SecurePort, &IProxyProperty::put_SecurePort},
    {"FTPServer", &IProxyProperty::get_FTPServer, &IProxyProperty::put_FTPServer},
    {"FTPPort", &IProxyProperty::get_FTPPort, &IProxyProperty::put_FTPPort},
    {"GopherServer", &IProxyProperty::get_GopherServer, &IProxyProperty::put_GopherServer},
    {"GopherPort", &IProxyProperty::get_GopherPort, &IProxyProperty::put_GopherPort},
    {"SocksServer", &IProxyProperty::get_SocksServer, &IProxyProperty::put_SocksServer},
    {"SocksPort", &IProxyProperty::get_SocksPort, &IProxyProperty::put_SocksPort},
};

const Journal kReadProxy = {
    "connect ROOT\\CIMV2",
    "query SELECT * FROM Win32_Proxy",
    "read Win32_Proxy[0].ProxyServer",
    "read Win32_Proxy[0].ProxyPortNumber",
};

std::wstring WideName(const TextProperty& p) { return std::wstring(p.name, p.name + std::strlen(p.name)); }

class ProxyPropertyTest : public SettingsTest {
protected:
    ComPtr<IProxyProperty> NewProxy() {
        ComPtr<IProxyProperty> proxy = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
        EXPECT_TRUE(proxy);
        return proxy;
    }
    static void Put(IProxyProperty* proxy, Put_t put, const wchar_t* text) {
        CBstr value(text);
        EXPECT_EQ(S_OK, (proxy->*put)(value.Get()));
    }
    // Gives every text a value of its own ("<name>-kept") and IsUseOneProxy 7.
    static void FillAll(IProxyProperty* proxy) {
        for (const TextProperty& p : kTexts) Put(proxy, p.put, (WideName(p) + L"-kept").c_str());
        EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(7));
    }
    static void ExpectAllKept(IProxyProperty* proxy, bool exceptHttpPair) {
        for (const TextProperty& p : kTexts) {
            const std::wstring name = WideName(p);
            if (exceptHttpPair && (name == L"HTTPServer" || name == L"HTTPPort")) continue;
            EXPECT_EQ(Text((name + L"-kept").c_str()), Value(Read(proxy, p.get))) << p.name;
        }
        VARIANT_BOOL one = 0;
        EXPECT_EQ(S_OK, proxy->get_IsUseOneProxy(&one));
        EXPECT_EQ(7, one);
    }
};

// ---- The object's own properties ----

TEST_F(ProxyPropertyTest, NewObjectHasTenEmptyTextsAndUsesOneProxy) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    for (const TextProperty& p : kTexts) EXPECT_EQ(Text(L""), Value(Read(proxy.Get(), p.get))) << p.name;
    VARIANT_BOOL one = 0;
    EXPECT_EQ(S_OK, proxy->get_IsUseOneProxy(&one));
    EXPECT_EQ(VARIANT_TRUE, one);
}

TEST_F(ProxyPropertyTest, EachTextKeepsItsOwnValueCutAtTheFirstNul) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    int n = 0;
    for (const TextProperty& p : kTexts) {
        std::wstring text = L"v" + std::to_wstring(n++) + std::wstring(L"\0tail", 5);
        CBstr value(text.data(), static_cast<UINT>(text.size()));
        EXPECT_EQ(S_OK, (proxy.Get()->*p.put)(value.Get()));
    }
    n = 0;
    for (const TextProperty& p : kTexts)
        EXPECT_EQ(Text((L"v" + std::to_wstring(n++)).c_str()), Value(Read(proxy.Get(), p.get))) << p.name;
}

TEST_F(ProxyPropertyTest, NullPutMakesATextNull) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    for (const TextProperty& p : kTexts) {
        EXPECT_EQ(S_OK, (proxy.Get()->*p.put)(nullptr));
        EXPECT_EQ(kNull, Value(Read(proxy.Get(), p.get))) << p.name;
    }
}

TEST_F(ProxyPropertyTest, NullOutPointers) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    for (const TextProperty& p : kTexts) EXPECT_EQ(S_OK, (proxy.Get()->*p.get)(nullptr)) << p.name;
    EXPECT_EQ(E_POINTER, proxy->get_IsUseOneProxy(nullptr));
}

TEST_F(ProxyPropertyTest, IsUseOneProxyIsStoredUnchanged) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    for (VARIANT_BOOL v : {VARIANT_BOOL(1), VARIANT_FALSE, VARIANT_BOOL(0x1234), VARIANT_TRUE}) {
        EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(v));
        VARIANT_BOOL read = 0;
        EXPECT_EQ(S_OK, proxy->get_IsUseOneProxy(&read));
        EXPECT_EQ(v, read);
    }
}

// ---- GetCurrent ----

TEST_F(ProxyPropertyTest, GetCurrentTakesServerAndPortAndNothingElse) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "proxy.corp", "ProxyPortNumber": "8080", "ProxyBypass": "local"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(Text(L"proxy.corp"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPServer)));
    EXPECT_EQ(Text(L"8080"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPPort)));
    ExpectAllKept(proxy.Get(), true);
    EXPECT_EQ(kReadProxy, MachineJournal());
}

TEST_F(ProxyPropertyTest, GetCurrentWithANumberPortChangesNothing) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "proxy.corp", "ProxyPortNumber": 8080}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    ExpectAllKept(proxy.Get(), false);
    EXPECT_EQ(kReadProxy, MachineJournal());
}

TEST_F(ProxyPropertyTest, GetCurrentWithAnEmptyPortChangesNothing) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "proxy.corp", "ProxyPortNumber": ""}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    ExpectAllKept(proxy.Get(), false);
    EXPECT_EQ(kReadProxy, MachineJournal());
}

TEST_F(ProxyPropertyTest, GetCurrentWithAPortButNoServerMakesTheServerNull) {
    // No value (VT_NULL) and no property at all count the same.
    Install(R"({"Win32_Proxy": [{"ProxyServer": null, "ProxyPortNumber": "3128"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(kNull, Value(Read(proxy.Get(), &IProxyProperty::get_HTTPServer)));
    EXPECT_EQ(Text(L"3128"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPPort)));
    ExpectAllKept(proxy.Get(), true);
    EXPECT_EQ(kReadProxy, MachineJournal());

    Install(R"({"Win32_Proxy": [{"ProxyPortNumber": "3129"}]})");
    proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(kNull, Value(Read(proxy.Get(), &IProxyProperty::get_HTTPServer)));
    EXPECT_EQ(Text(L"3129"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPPort)));
    // The missing property cannot be read at all.
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Proxy", "read Win32_Proxy[0].ProxyPortNumber"}),
              MachineJournal());
}

TEST_F(ProxyPropertyTest, GetCurrentWithoutAProxyInstanceOrWmiChangesNothing) {
    Install(R"({"Win32_Proxy": []})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    ExpectAllKept(proxy.Get(), false);
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Proxy"}), MachineJournal());

    Install(R"({"Win32_Proxy": [{"ProxyServer": "proxy.corp", "ProxyPortNumber": "8080"}]})").FailConnect(
        WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    ExpectAllKept(proxy.Get(), false);
}

TEST_F(ProxyPropertyTest, GetCurrentHandsOutTheMachineTextWhole) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "a\u0000b", "ProxyPortNumber": "80"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(std::optional<std::wstring>(std::wstring(L"a\0b", 3)),
              Value(Read(proxy.Get(), &IProxyProperty::get_HTTPServer)));
}

// ---- Apply ----

TEST_F(ProxyPropertyTest, ApplySendsTheHttpPairOnly) {
    VarquelSim::CMachine& machine =
        Install(R"({"Win32_Proxy": [{"ProxyServer": "old", "ProxyPortNumber": "1"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());
    Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"proxy.corp");
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"8080");
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Proxy",
                       "exec Win32_Proxy[0].SetProxySetting(ProxyServer=VT_BSTR\"proxy.corp\", "
                       "ProxyPortNumber=VT_BSTR\"8080\")"}),
              MachineJournal());
    EXPECT_EQ("proxy.corp", machine.Instance("Win32_Proxy", 0)["ProxyServer"]);
    EXPECT_EQ("8080", machine.Instance("Win32_Proxy", 0)["ProxyPortNumber"]);
}

TEST_F(ProxyPropertyTest, ApplySendsEmptyAndNullTextsAsStrings) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "old", "ProxyPortNumber": "1"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(S_OK, proxy->put_HTTPServer(nullptr));
    EXPECT_EQ(S_OK, proxy->Apply());
    const std::string query = "query SELECT * FROM Win32_Proxy";
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", query,
                       "exec Win32_Proxy[0].SetProxySetting(ProxyServer=VT_BSTR\"\", ProxyPortNumber=VT_BSTR\"\")",
                       "connect ROOT\\CIMV2", query,
                       "exec Win32_Proxy[0].SetProxySetting(ProxyServer=VT_BSTR null, ProxyPortNumber=VT_BSTR\"\")"}),
              MachineJournal());
}

TEST_F(ProxyPropertyTest, ApplyIgnoresIsUseOneProxy) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "old", "ProxyPortNumber": "1"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"p");
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"81");
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_TRUE));
    EXPECT_EQ(S_OK, proxy->Apply());
    Journal withOne = MachineJournal();
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(withOne, MachineJournal());
}

TEST_F(ProxyPropertyTest, ApplySucceedsWhateverTheMachineAnswers) {
    VarquelSim::CMachine& machine = Install(R"({"Win32_Proxy": [{"ProxyServer": "old", "ProxyPortNumber": "1"}]})");
    ComPtr<IProxyProperty> proxy = NewProxy();
    machine.FailMethod(L"SetProxySetting", WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, proxy->Apply());
    machine.FailMethod(L"SetProxySetting", S_OK);
    machine.MethodReturns(L"SetProxySetting", 5);
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ("old", machine.Instance("Win32_Proxy", 0)["ProxyServer"]);

    Install(R"({"Win32_Proxy": []})");
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Proxy"}), MachineJournal());
}

TEST_F(ProxyPropertyTest, AppliedSettingIsWhatTheNextCaptureReads) {
    Install(R"({"Win32_Proxy": [{"ProxyServer": "old", "ProxyPortNumber": "1"}]})");
    {
        ComPtr<IProxyProperty> proxy = NewProxy();
        Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"10.1.1.1");
        Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"3128");
        EXPECT_EQ(S_OK, proxy->Apply());
    }
    ComPtr<IProxyProperty> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(Text(L"10.1.1.1"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPServer)));
    EXPECT_EQ(Text(L"3128"), Value(Read(proxy.Get(), &IProxyProperty::get_HTTPPort)));
}

// Every WMI call that can fail, failing in turn: the result stays S_OK and
// nothing is leaked.
TEST_F(ProxyPropertyTest, EveryWmiFailureIsAbsorbed) {
    const std::string json = R"({"Win32_Proxy": [{"ProxyServer": "s", "ProxyPortNumber": "1"}]})";
    for (auto operation : {&IProxyProperty::GetCurrent, &IProxyProperty::Apply}) {
        Install(json);
        {
            ComPtr<IProxyProperty> proxy = NewProxy();
            EXPECT_EQ(S_OK, (proxy.Get()->*operation)());
        }
        const long calls = Machine().CallCount();
        ASSERT_GT(calls, 3);
        for (long n = 1; n <= calls; ++n) {
            Install(json).FailAtCall(n);
            {
                ComPtr<IProxyProperty> proxy = NewProxy();
                EXPECT_EQ(S_OK, (proxy.Get()->*operation)()) << "call " << n;
            }
            EXPECT_EQ(0, Machine().LiveObjects()) << "call " << n;
        }
    }
}

} // namespace
} // namespace SettingsTests
