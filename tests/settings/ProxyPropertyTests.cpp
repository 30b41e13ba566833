#include "SettingsTest.h"
#include <cstring>
#include "FakeInternetOptions.h"
#include "InternetSettingsKept.h"

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
    // Where the machine has Win32_Proxy, the current user's proxy is not
    // touched: not even read.
    void TearDown() override {
        if (!m_userProxyExpected) {
            EXPECT_EQ(Journal{}, m_userProxy.Journal());
        }
        SettingsTest::TearDown();
    }
    void ExpectUserProxy() noexcept { m_userProxyExpected = true; }

    // Stands in for WinINet in every test of this fixture.
    CFakeInternetOptions m_userProxy;

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

private:
    bool m_userProxyExpected = false;
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
                       "exec Win32_Proxy[0].SetProxySetting(Item ProxyServer=VT_BSTR\"proxy.corp\", "
                       "Item ProxyPortNumber=VT_BSTR\"8080\")"}),
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
                       "exec Win32_Proxy[0].SetProxySetting(Item ProxyServer=VT_BSTR\"\", Item ProxyPortNumber=VT_BSTR\"\")",
                       "connect ROOT\\CIMV2", query,
                       "exec Win32_Proxy[0].SetProxySetting(Item ProxyServer=VT_BSTR null, Item ProxyPortNumber=VT_BSTR\"\")"}),
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

// ---- Where Win32_Proxy is gone: the current user's proxy ----

// Windows since Vista: the query fails with WBEM_E_INVALID_CLASS.
const char* const kWithoutProxyClass = R"({"_absentClasses": ["Win32_Proxy"]})";
const Journal kProxyClassMissing = {"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Proxy"};
const std::string kQuery = "query flags ui, server";
const Journal kSetProxy = {kQuery, "set flags=15, server=\"%\"", "set settings changed", "set refresh"};

class UserProxyTest : public ProxyPropertyTest {
protected:
    void SetUp() override {
        ExpectUserProxy();
        Install(kWithoutProxyClass);
        m_userProxy.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_PROXY_URL | PROXY_TYPE_AUTO_DETECT;  // 13
        m_userProxy.servers = L"old:1";
        m_userProxy.bypass = L"*.corp;<local>";
        m_userProxy.script = L"http://wpad/proxy.pac";
    }
    // The fake's journal of setting a proxy with this server list.
    static Journal Setting(const std::string& servers) {
        Journal journal = kSetProxy;
        journal[1].replace(journal[1].find('%'), 1, servers);
        return journal;
    }
    void ExpectOthersKept() {
        EXPECT_EQ(std::optional<std::wstring>(L"*.corp;<local>"), m_userProxy.bypass);
        EXPECT_EQ(std::optional<std::wstring>(L"http://wpad/proxy.pac"), m_userProxy.script);
    }
    // The ten texts, each as the client reads it.
    static std::vector<std::optional<std::wstring>> Texts(IProxyProperty* proxy) {
        std::vector<std::optional<std::wstring>> texts;
        for (const TextProperty& p : kTexts) texts.push_back(Value(Read(proxy, p.get)));
        return texts;
    }
    static VARIANT_BOOL OneProxy(IProxyProperty* proxy) {
        VARIANT_BOOL one = 0x5A5A;
        EXPECT_EQ(S_OK, proxy->get_IsUseOneProxy(&one));
        return one;
    }
    ComPtr<IProxyProperty> Captured() {
        ComPtr<IProxyProperty> proxy = NewProxy();
        FillAll(proxy.Get());
        EXPECT_EQ(S_OK, proxy->GetCurrent());
        return proxy;
    }
};

using Texts_t = std::vector<std::optional<std::wstring>>;

TEST_F(UserProxyTest, OneProxyForEveryProtocolRoundTrips) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    FillAll(proxy.Get());  // IsUseOneProxy 7: any value but false is true
    Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"proxy.corp");
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"8080");
    Put(proxy.Get(), &IProxyProperty::put_SecureServer, L"not;sent");
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(Setting("proxy.corp:8080"), m_userProxy.Journal());
    EXPECT_EQ(kProxyClassMissing, MachineJournal());
    ExpectOthersKept();

    m_userProxy.ClearJournal();
    proxy = NewProxy();
    FillAll(proxy.Get());
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    const auto pc = Text(L"proxy.corp"), port = Text(L"8080"), none = Text(L"");
    EXPECT_EQ((Texts_t{pc, port, pc, port, pc, port, pc, port, none, none}), Texts(proxy.Get()));
    EXPECT_EQ(VARIANT_TRUE, OneProxy(proxy.Get()));
    EXPECT_EQ((Journal{kQuery}), m_userProxy.Journal());
}

TEST_F(UserProxyTest, APerProtocolListRoundTrips) {
    ComPtr<IProxyProperty> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    const wchar_t* texts[] = {L"h", L"81", L"s", L"443", L"", L"21", L"g", L"", L"k", L"1080"};
    for (size_t i = 0; i < std::size(kTexts); ++i) Put(proxy.Get(), kTexts[i].put, texts[i]);
    EXPECT_EQ(S_OK, proxy->Apply());
    // A pair without a server is not sent, so its port goes too.
    EXPECT_EQ(Setting("http=h:81;https=s:443;gopher=g;socks=k:1080"), m_userProxy.Journal());
    ExpectOthersKept();

    proxy = Captured();
    EXPECT_EQ((Texts_t{Text(L"h"), Text(L"81"), Text(L"s"), Text(L"443"), Text(L""), Text(L""), Text(L"g"), Text(L""),
                       Text(L"k"), Text(L"1080")}),
              Texts(proxy.Get()));
    EXPECT_EQ(VARIANT_FALSE, OneProxy(proxy.Get()));
}

TEST_F(UserProxyTest, ReadingTakesTheFormsTheUserMayHaveEntered) {
    m_userProxy.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
    // Names ignore case, entries may be parted by spaces, the first of a
    // protocol counts, and an unknown protocol is passed over.
    m_userProxy.servers = L" HTTP=a:1; ftp=[::1]:21  mms=x:2 socks=k;https=b:2;https=c:3";
    const auto none = Text(L"");
    EXPECT_EQ((Texts_t{Text(L"a"), Text(L"1"), Text(L"b"), Text(L"2"), Text(L"[::1]"), Text(L"21"), none, none,
                       Text(L"k"), none}),
              Texts(Captured().Get()));

    m_userProxy.servers = L"[fe80::1]:3128";
    const auto v6 = Text(L"[fe80::1]"), port = Text(L"3128");
    ComPtr<IProxyProperty> proxy = Captured();
    EXPECT_EQ((Texts_t{v6, port, v6, port, v6, port, v6, port, none, none}), Texts(proxy.Get()));
    EXPECT_EQ(VARIANT_TRUE, OneProxy(proxy.Get()));

    m_userProxy.servers = L"gateway";
    const auto host = Text(L"gateway");
    EXPECT_EQ((Texts_t{host, none, host, none, host, none, host, none, none, none}), Texts(Captured().Get()));
}

TEST_F(UserProxyTest, WithTheManualProxyOffEveryTextIsEmpty) {
    ComPtr<IProxyProperty> proxy = Captured();  // flags 13: no manual proxy, though a list is stored
    EXPECT_EQ(Texts_t(10, Text(L"")), Texts(proxy.Get()));
    EXPECT_EQ(7, OneProxy(proxy.Get()));
    EXPECT_EQ((Journal{kQuery}), m_userProxy.Journal());
}

TEST_F(UserProxyTest, NoServerToSendTurnsTheManualProxyOffAndKeepsTheRest) {
    m_userProxy.flags |= PROXY_TYPE_PROXY;
    ComPtr<IProxyProperty> proxy = NewProxy();
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"not a port");  // without a server it is not sent
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->put_SocksServer(nullptr));
    EXPECT_EQ(S_OK, proxy->Apply());
    const std::string off = "set flags=13";
    EXPECT_EQ((Journal{kQuery, off, "set settings changed", "set refresh", kQuery, off,
                       "set settings changed", "set refresh"}),
              m_userProxy.Journal());
    EXPECT_EQ(std::optional<std::wstring>(L"old:1"), m_userProxy.servers);
    ExpectOthersKept();
    EXPECT_EQ(VARIANT_FALSE, OneProxy(proxy.Get()));
}

TEST_F(UserProxyTest, TextsThatWouldChangeTheListAreRefusedAndChangeNothing) {
    struct Case {
        const wchar_t* server;
        const wchar_t* port;
    };
    const Case refused[] = {{L"a;b", L"80"}, {L"a=b", L"80"}, {L"a b", L"80"}, {L"a\tb", L""}, {L"a\x01", L""},
                            {L"a\x7f", L""}, {L"\x85", L""},    {L"p", L"0"},    {L"p", L"65536"}, {L"p", L"80a"},
                            {L"p", L" 80"},  {L"p", L"-1"},     {L"p", L"99999999999"}};
    for (VARIANT_BOOL one : {VARIANT_TRUE, VARIANT_FALSE}) {
        for (const Case& c : refused) {
            ComPtr<IProxyProperty> proxy = NewProxy();
            EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(one));
            // In a per-protocol list the refused pair is the last one sent.
            Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"fine");
            Put(proxy.Get(), one ? &IProxyProperty::put_HTTPServer : &IProxyProperty::put_SocksServer, c.server);
            Put(proxy.Get(), one ? &IProxyProperty::put_HTTPPort : &IProxyProperty::put_SocksPort, c.port);
            EXPECT_EQ(E_INVALIDARG, proxy->Apply()) << one;
        }
    }
    EXPECT_EQ(Journal{}, m_userProxy.Journal());
    EXPECT_EQ(std::optional<std::wstring>(L"old:1"), m_userProxy.servers);

    // The limits themselves are sent.
    ComPtr<IProxyProperty> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"[::1]");
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"1");
    Put(proxy.Get(), &IProxyProperty::put_FTPServer, L"f");
    Put(proxy.Get(), &IProxyProperty::put_FTPPort, L"65535");
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(Setting("http=[::1]:1;ftp=f:65535"), m_userProxy.Journal());
}

// Before Internet Explorer 8, and on Wine, the flags are read plainly.
TEST_F(UserProxyTest, WhereTheFlagsAsShownAreRefusedThePlainFlagsAreRead) {
    m_userProxy.refuseFlagsUi = true;
    ComPtr<IProxyProperty> proxy = NewProxy();
    Put(proxy.Get(), &IProxyProperty::put_HTTPServer, L"p");
    EXPECT_EQ(S_OK, proxy->Apply());
    Journal expected = Setting("p");
    expected.insert(expected.begin() + 1, "query flags, server");
    EXPECT_EQ(expected, m_userProxy.Journal());
}

TEST_F(UserProxyTest, WhatWinInetRefusesChangesNothing) {
    m_userProxy.failQuery = true;
    ComPtr<IProxyProperty> proxy = Captured();
    ExpectAllKept(proxy.Get(), false);
    Put(proxy.Get(), &IProxyProperty::put_HTTPPort, L"8080");
    EXPECT_EQ(S_OK, proxy->Apply());  // the flags cannot be read: nothing is set
    const std::string plain = "query flags, server";
    EXPECT_EQ((Journal{kQuery, plain, kQuery, plain}), m_userProxy.Journal());

    m_userProxy.failQuery = false;
    m_userProxy.failSet = true;
    m_userProxy.ClearJournal();
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ((Journal{kQuery, "set flags=15, server=\"HTTPServer-kept:8080\""}), m_userProxy.Journal());
    EXPECT_EQ(std::optional<std::wstring>(L"old:1"), m_userProxy.servers);
}

// ---- Against Wine's own WinINet in the test prefix ----

class WinInetProxyTest : public SettingsTest {
protected:
    CInternetSettingsKept m_kept;
};

// Wine keeps the setting where Windows keeps it: ProxyEnable and ProxyServer.
// Wine's query gives back only the HTTP entry of a per-protocol list, so a
// list is checked as stored, right after it is written.
TEST_F(WinInetProxyTest, ApplyStoresTheSettingAndGetCurrentReadsItBack) {
    Install(kWithoutProxyClass);
    ComPtr<IProxyProperty> proxy = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
    ASSERT_TRUE(proxy);
    CBstr server(L"proxy.corp"), port(L"8080");
    EXPECT_EQ(S_OK, proxy->put_HTTPServer(server.Get()));
    EXPECT_EQ(S_OK, proxy->put_HTTPPort(port.Get()));
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(std::optional<DWORD>(1), CInternetSettingsKept::Number(L"ProxyEnable"));
    EXPECT_EQ(Text(L"proxy.corp:8080"), CInternetSettingsKept::Text(L"ProxyServer"));

    ComPtr<IProxyProperty> read = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
    EXPECT_EQ(S_OK, read->put_IsUseOneProxy(VARIANT_FALSE));
    EXPECT_EQ(S_OK, read->GetCurrent());
    EXPECT_EQ(Text(L"proxy.corp"), Value(Read(read.Get(), &IProxyProperty::get_HTTPServer)));
    EXPECT_EQ(Text(L"8080"), Value(Read(read.Get(), &IProxyProperty::get_HTTPPort)));
    EXPECT_EQ(Text(L"8080"), Value(Read(read.Get(), &IProxyProperty::get_GopherPort)));
    VARIANT_BOOL one = 0;
    EXPECT_EQ(S_OK, read->get_IsUseOneProxy(&one));
    EXPECT_EQ(VARIANT_TRUE, one);

    CBstr secure(L"secure.corp"), securePort(L"443");
    EXPECT_EQ(S_OK, proxy->put_IsUseOneProxy(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->put_SecureServer(secure.Get()));
    EXPECT_EQ(S_OK, proxy->put_SecurePort(securePort.Get()));
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(Text(L"http=proxy.corp:8080;https=secure.corp:443"), CInternetSettingsKept::Text(L"ProxyServer"));

    ComPtr<IProxyProperty> off = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
    EXPECT_EQ(S_OK, off->Apply());
    EXPECT_EQ(std::optional<DWORD>(0), CInternetSettingsKept::Number(L"ProxyEnable"));
    EXPECT_EQ(kProxyClassMissing, VarquelTest::Journal(MachineJournal().begin(), MachineJournal().begin() + 2));
}

} // namespace
} // namespace SettingsTests
