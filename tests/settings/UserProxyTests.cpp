// CUserProxy: the current user's whole proxy setting, against a stand-in for
// WinINet and then against Wine's own.
#include "SettingsTest.h"
#include <cstdlib>
#include "FakeInternetOptions.h"
#include "InternetSettingsKept.h"
#include "settings/UserProxy.h"

namespace SettingsTests {
namespace {

// A setting as a client puts it.
struct Setting {
    bool autoDetect = false;
    bool autoConfigEnabled = false;
    const wchar_t* autoConfigUrl = L"";
    bool proxyEnabled = false;
    const wchar_t* proxyServer = L"";
    const wchar_t* proxyBypass = L"";
};

const std::string kRead = "query flags ui, server, bypass, script";
const Journal kNotices = {"set settings changed", "set refresh"};

std::string Narrow(const std::optional<std::wstring>& text) {
    return text ? "\"" + VarquelTest::Narrow(*text) + "\"" : std::string("null");
}

// The journal of one write: the whole setting, then the two notices.
Journal Written(DWORD flags, const std::string& server, const std::string& bypass, const std::string& script) {
    Journal journal = {"set flags=" + std::to_string(flags) + ", server=\"" + server + "\", bypass=\"" + bypass +
                       "\", script=\"" + script + "\""};
    journal.insert(journal.end(), kNotices.begin(), kNotices.end());
    return journal;
}

class UserProxyFixture : public SettingsTest {
protected:
    // No WMI: an empty machine shows any call.
    void SetUp() override { Install("{}"); }
    void TearDown() override {
        EXPECT_EQ(Journal{}, MachineJournal());
        SettingsTest::TearDown();
    }

    ComPtr<IUserProxy> NewProxy() {
        ComPtr<IUserProxy> proxy = VarquelTest::Create<IUserProxy>(CLSID_CUserProxy);
        EXPECT_TRUE(proxy);
        return proxy;
    }
    static void Put(IUserProxy* proxy, const Setting& s) {
        CBstr url(s.autoConfigUrl), server(s.proxyServer), bypass(s.proxyBypass);
        EXPECT_EQ(S_OK, proxy->put_AutoDetect(s.autoDetect ? VARIANT_TRUE : VARIANT_FALSE));
        EXPECT_EQ(S_OK, proxy->put_AutoConfigEnabled(s.autoConfigEnabled ? VARIANT_TRUE : VARIANT_FALSE));
        EXPECT_EQ(S_OK, proxy->put_AutoConfigURL(url.Get()));
        EXPECT_EQ(S_OK, proxy->put_ProxyEnabled(s.proxyEnabled ? VARIANT_TRUE : VARIANT_FALSE));
        EXPECT_EQ(S_OK, proxy->put_ProxyServer(server.Get()));
        EXPECT_EQ(S_OK, proxy->put_ProxyBypass(bypass.Get()));
    }
    static std::string Flag(IUserProxy* proxy, HRESULT (STDMETHODCALLTYPE IUserProxy::*get)(VARIANT_BOOL*)) {
        VARIANT_BOOL value = 0x5A5A;
        EXPECT_EQ(S_OK, (proxy->*get)(&value));
        return std::to_string(value);
    }
    // The six fields as the client reads them.
    static std::vector<std::string> Fields(IUserProxy* proxy) {
        return {"AutoDetect " + Flag(proxy, &IUserProxy::get_AutoDetect),
                "AutoConfigEnabled " + Flag(proxy, &IUserProxy::get_AutoConfigEnabled),
                "AutoConfigURL " + Narrow(Value(Read(proxy, &IUserProxy::get_AutoConfigURL))),
                "ProxyEnabled " + Flag(proxy, &IUserProxy::get_ProxyEnabled),
                "ProxyServer " + Narrow(Value(Read(proxy, &IUserProxy::get_ProxyServer))),
                "ProxyBypass " + Narrow(Value(Read(proxy, &IUserProxy::get_ProxyBypass)))};
    }
    static std::vector<std::string> Expected(bool detect, bool script, const char* url, bool proxy,
                                             const char* server, const char* bypass) {
        auto flag = [](bool on) { return std::string(on ? "-1" : "0"); };
        auto text = [](const char* t) { return "\"" + std::string(t) + "\""; };
        return {"AutoDetect " + flag(detect),   "AutoConfigEnabled " + flag(script), "AutoConfigURL " + text(url),
                "ProxyEnabled " + flag(proxy), "ProxyServer " + text(server),      "ProxyBypass " + text(bypass)};
    }
    // A fresh object's GetCurrent.
    std::vector<std::string> Current() {
        ComPtr<IUserProxy> proxy = NewProxy();
        EXPECT_EQ(S_OK, proxy->GetCurrent());
        return Fields(proxy.Get());
    }
};

// Stands in for WinINet in every test.
class UserProxyObjectTest : public UserProxyFixture {
protected:
    CFakeInternetOptions m_wininet;
};

TEST_F(UserProxyObjectTest, ANewObjectHoldsDirectAndAnswersNullOutPointers) {
    ComPtr<IUserProxy> proxy = NewProxy();
    EXPECT_EQ(Expected(false, false, "", false, "", ""), Fields(proxy.Get()));
    EXPECT_EQ(E_POINTER, proxy->get_AutoDetect(nullptr));
    EXPECT_EQ(E_POINTER, proxy->get_AutoConfigEnabled(nullptr));
    EXPECT_EQ(E_POINTER, proxy->get_AutoConfigURL(nullptr));
    EXPECT_EQ(E_POINTER, proxy->get_ProxyEnabled(nullptr));
    EXPECT_EQ(E_POINTER, proxy->get_ProxyServer(nullptr));
    EXPECT_EQ(E_POINTER, proxy->get_ProxyBypass(nullptr));
    EXPECT_EQ(Journal{}, m_wininet.Journal());

    // Any flag but 0 is true; a text is kept up to its first NUL, and null
    // as empty, as WinINet keeps no null.
    EXPECT_EQ(S_OK, proxy->put_AutoDetect(7));
    const std::wstring cut(L"p:1\0tail", 8);
    CBstr server(cut.data(), static_cast<UINT>(cut.size()));
    EXPECT_EQ(S_OK, proxy->put_ProxyServer(server.Get()));
    EXPECT_EQ(S_OK, proxy->put_ProxyBypass(nullptr));
    EXPECT_EQ(Expected(true, false, "", false, "p:1", ""), Fields(proxy.Get()));
    // A new object writes "direct".
    EXPECT_EQ(S_OK, NewProxy()->Apply());
    EXPECT_EQ(Written(PROXY_TYPE_DIRECT, "", "", ""), m_wininet.Journal());
}

// Every combination of the three flags is composed on write and taken apart
// on read, and the texts go and come back as they are.
TEST_F(UserProxyObjectTest, EveryFieldRoundTripsThroughApplyAndGetCurrent) {
    for (int bits = 0; bits < 8; ++bits) {
        const bool detect = bits & 1, script = bits & 2, manual = bits & 4;
        SCOPED_TRACE(bits);
        m_wininet.ClearJournal();
        ComPtr<IUserProxy> proxy = NewProxy();
        Put(proxy.Get(), {detect, script, L"http://wpad.corp.example/proxy.pac", manual,
                          L"http=h.corp.example:8080;https=[fe80::1]:443;socks=s", L"<local>; *.corp.example"});
        EXPECT_EQ(S_OK, proxy->Apply());
        const DWORD flags = PROXY_TYPE_DIRECT | (manual ? PROXY_TYPE_PROXY : 0) |
                            (script ? PROXY_TYPE_AUTO_PROXY_URL : 0) | (detect ? PROXY_TYPE_AUTO_DETECT : 0);
        EXPECT_EQ(Written(flags, "http=h.corp.example:8080;https=[fe80::1]:443;socks=s", "<local>; *.corp.example",
                          "http://wpad.corp.example/proxy.pac"),
                  m_wininet.Journal());
        EXPECT_EQ(Expected(detect, script, "http://wpad.corp.example/proxy.pac", manual,
                           "http=h.corp.example:8080;https=[fe80::1]:443;socks=s", "<local>; *.corp.example"),
                  Current());
    }
    m_wininet.ClearJournal();
    // A client may turn everything off and keep every text.
    ComPtr<IUserProxy> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(S_OK, proxy->put_ProxyEnabled(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->put_AutoConfigEnabled(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->put_AutoDetect(VARIANT_FALSE));
    EXPECT_EQ(S_OK, proxy->Apply());
    Journal expected = {kRead};
    const Journal off = Written(PROXY_TYPE_DIRECT, "http=h.corp.example:8080;https=[fe80::1]:443;socks=s",
                                "<local>; *.corp.example", "http://wpad.corp.example/proxy.pac");
    expected.insert(expected.end(), off.begin(), off.end());
    EXPECT_EQ(expected, m_wininet.Journal());
}

// The texts are what is stored, whatever the flags say; the flags are read
// plainly where the user interface's reading is refused, as on Wine.
TEST_F(UserProxyObjectTest, GetCurrentReadsEachFlagAndEveryStoredText) {
    m_wininet.servers = L"old:1";
    m_wininet.bypass = L"*.old";
    m_wininet.script = L"http://old/p.pac";
    const std::pair<DWORD, std::vector<std::string>> cases[] = {
        {PROXY_TYPE_DIRECT, Expected(false, false, "http://old/p.pac", false, "old:1", "*.old")},
        {PROXY_TYPE_AUTO_DETECT, Expected(true, false, "http://old/p.pac", false, "old:1", "*.old")},
        {PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_PROXY_URL,
         Expected(false, true, "http://old/p.pac", false, "old:1", "*.old")},
        {PROXY_TYPE_PROXY, Expected(false, false, "http://old/p.pac", true, "old:1", "*.old")},
    };
    for (const auto& [flags, expected] : cases) {
        m_wininet.flags = flags;
        EXPECT_EQ(expected, Current()) << flags;
    }
    EXPECT_EQ(Journal(4, kRead), m_wininet.Journal());

    m_wininet.ClearJournal();
    m_wininet.refuseFlagsUi = true;
    m_wininet.servers = m_wininet.bypass = m_wininet.script = std::nullopt;  // none stored
    EXPECT_EQ(Expected(false, false, "", true, "", ""), Current());
    EXPECT_EQ((Journal{kRead, "query flags, server, bypass, script"}), m_wininet.Journal());
}

TEST_F(UserProxyObjectTest, RefusedSettingsWriteNothing) {
    const Setting refused[] = {
        // a control character in any text
        {.autoConfigUrl = L"http://wpad/p\x01.pac"},
        {.proxyServer = L"p:80\x7f"},
        {.proxyBypass = L"<local>;\x85"},
        {.proxyBypass = L"a\tb"},
        // whitespace in the server list or the script's address
        {.proxyServer = L"a:1 b:2"},
        {.proxyServer = L"http=a:1;\thttps=b:2"},
        {.autoConfigUrl = L"http://wpad/ p.pac"},
        // a port given that is not 1 to 65535 in decimal
        {.proxyServer = L"p:0"},
        {.proxyServer = L"p:65536"},
        {.proxyServer = L"p:"},
        {.proxyServer = L"http=p:80;https=q:44x"},
        {.proxyServer = L"[::1]:-1"},
        {.proxyServer = L"p:99999999999"},
        // a script's address that is not an absolute URL
        {.autoConfigUrl = L"wpad/proxy.pac"},
        {.autoConfigUrl = L"C:\\proxy.pac"},
        {.autoConfigUrl = L"http:"},
        {.autoConfigUrl = L"http://"},
        {.autoConfigUrl = L"1http://wpad/p.pac"},
        {.autoConfigUrl = L"://wpad/p.pac"},
        // a script in use without an address
        {.autoConfigEnabled = true},
    };
    m_wininet.flags = PROXY_TYPE_PROXY;
    m_wininet.servers = L"kept:1";
    for (const Setting& s : refused) {
        ComPtr<IUserProxy> proxy = NewProxy();
        Put(proxy.Get(), s);
        EXPECT_EQ(E_INVALIDARG, proxy->Apply())
            << Narrow(s.autoConfigUrl) << " " << Narrow(s.proxyServer) << " " << Narrow(s.proxyBypass);
    }
    EXPECT_EQ(Journal{}, m_wininet.Journal());
    EXPECT_EQ(DWORD{PROXY_TYPE_PROXY}, m_wininet.flags);
    EXPECT_EQ(Text(L"kept:1"), m_wininet.servers);

    // Their neighbours are written.
    ComPtr<IUserProxy> proxy = NewProxy();
    Put(proxy.Get(),
        {true, true, L"file:///C:/proxy.pac", true, L"http=[::1]:1;ftp=f:65535;gopher=g;p", L"<local> *.x"});
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(Written(15, "http=[::1]:1;ftp=f:65535;gopher=g;p", "<local> *.x", "file:///C:/proxy.pac"),
              m_wininet.Journal());
}

// What GetCurrent found is written back as it is, though a client could not
// have put it; a text that differs is checked.
TEST_F(UserProxyObjectTest, WhatGetCurrentReadIsAcceptedBack) {
    m_wininet.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_PROXY_URL | PROXY_TYPE_PROXY;
    m_wininet.servers = L"a:1 b:0";   // parted by a space, with a port WinINet would not use
    m_wininet.bypass = L"<local>\x01";
    m_wininet.script = std::nullopt;  // a script in use without an address
    ComPtr<IUserProxy> proxy = NewProxy();
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(S_OK, proxy->put_AutoDetect(VARIANT_TRUE));  // a flag changed: the texts are still found ones
    EXPECT_EQ(S_OK, proxy->Apply());
    Journal expected = {kRead};
    for (DWORD flags : {DWORD{7}, DWORD{15}}) {
        const Journal write = Written(flags, "a:1 b:0", "<local>\x01", "");
        expected.insert(expected.end(), write.begin(), write.end());
    }
    EXPECT_EQ(expected, m_wininet.Journal());

    m_wininet.ClearJournal();
    CBstr changed(L"a:1 b:2"), url(L"wpad.dat");
    EXPECT_EQ(S_OK, proxy->put_ProxyServer(changed.Get()));
    EXPECT_EQ(E_INVALIDARG, proxy->Apply());
    CBstr found(L"a:1 b:0");
    EXPECT_EQ(S_OK, proxy->put_ProxyServer(found.Get()));
    EXPECT_EQ(S_OK, proxy->put_AutoConfigURL(url.Get()));
    EXPECT_EQ(E_INVALIDARG, proxy->Apply());
    EXPECT_EQ(Journal{}, m_wininet.Journal());

    // Another object that never read it may not write the same.
    ComPtr<IUserProxy> other = NewProxy();
    Put(other.Get(), {false, true, L"", true, L"a:1 b:0", L"<local>\x01"});
    EXPECT_EQ(E_INVALIDARG, other->Apply());
    // Nor may this one turn on a script without an address that it found off.
    m_wininet.flags = PROXY_TYPE_DIRECT;
    EXPECT_EQ(S_OK, other->GetCurrent());
    EXPECT_EQ(S_OK, other->put_AutoConfigEnabled(VARIANT_TRUE));
    EXPECT_EQ(E_INVALIDARG, other->Apply());
    EXPECT_EQ(Journal{kRead}, m_wininet.Journal());
}

TEST_F(UserProxyObjectTest, WinInetsRefusalsAreReportedAndChangeNothing) {
    m_wininet.flags = PROXY_TYPE_PROXY;
    m_wininet.servers = L"found:1";
    ComPtr<IUserProxy> proxy = NewProxy();
    Put(proxy.Get(), {true, false, L"", false, L"mine:2", L""});
    m_wininet.failQuery = true;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), proxy->GetCurrent());
    EXPECT_EQ(Expected(true, false, "", false, "mine:2", ""), Fields(proxy.Get()));
    // The plain flags are asked for too, and refused as well.
    EXPECT_EQ((Journal{kRead, "query flags, server, bypass, script"}), m_wininet.Journal());

    m_wininet.ClearJournal();
    m_wininet.failQuery = false;
    m_wininet.failSet = true;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), proxy->Apply());
    // Nobody is told of a setting that was not made.
    EXPECT_EQ(Journal{Written(9, "mine:2", "", "").front()}, m_wininet.Journal());
    EXPECT_EQ(Text(L"found:1"), m_wininet.servers);

    // A refresh answered FALSE, as Wine answers it, does not fail the write.
    m_wininet.ClearJournal();
    m_wininet.failSet = false;
    m_wininet.refuseRefresh = true;
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(Written(9, "mine:2", "", ""), m_wininet.Journal());
}

// What a profile switch needs of a proxy object it is handed: its six
// fields and what it last read, and only from an object of this server.
TEST_F(UserProxyObjectTest, AnotherObjectOfTheServerReachesTheSettingThroughTheImplementationIid) {
    m_wininet.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_DETECT;
    m_wininet.bypass = L"<local>";
    ComPtr<IUserProxy> proxy = NewProxy();
    ComPtr<Varquel::CUserProxy> impl = Varquel::ImplOf<Varquel::CUserProxy>(proxy.Get());
    ASSERT_TRUE(impl);
    EXPECT_EQ(nullptr, impl->LastRead());
    EXPECT_EQ(S_OK, proxy->GetCurrent());
    const Varquel::UserProxySetting found{.autoDetect = true, .proxyBypass = L"<local>"};
    ASSERT_NE(nullptr, impl->LastRead());
    EXPECT_TRUE(*impl->LastRead() == found);
    EXPECT_TRUE(impl->Setting() == found);

    Varquel::UserProxySetting other = found;
    other.proxyEnabled = true;
    other.proxyServer = L"p:1";
    EXPECT_FALSE(other == found);
    impl->SetSetting(other);
    EXPECT_EQ(Expected(true, false, "", true, "p:1", "<local>"), Fields(proxy.Get()));
    EXPECT_TRUE(*impl->LastRead() == found);

    ComPtr<IProxyProperty> notUserProxy = VarquelTest::Create<IProxyProperty>(CLSID_CProxyProperty);
    EXPECT_FALSE(Varquel::ImplOf<Varquel::CUserProxy>(notUserProxy.Get()));
}

// ---- Against Wine's own WinINet in the test prefix ----

class UserProxyWinInetTest : public UserProxyFixture {
protected:
    // Wine's WinINet reports http_proxy from the environment as the user's
    // proxy whenever the stored one is off.
    void SetUp() override {
        UserProxyFixture::SetUp();
        _wputenv(L"http_proxy=");
        SetEnvironmentVariableW(L"http_proxy", nullptr);
    }
    CInternetSettingsKept m_kept;
};

// A manual proxy with a bypass list is stored where Windows stores it, as far
// as Wine's WinINet stores it. Wine 8 keeps ProxyEnable and ProxyServer only:
// it drops the bypass list, the setup script's address and every flag but the
// manual proxy's on write, and leaves the values it does not write alone.
TEST_F(UserProxyWinInetTest, ApplyStoresAManualProxyAndReadsBackWhatWasStored) {
    ComPtr<IUserProxy> proxy = NewProxy();
    Put(proxy.Get(), {true, true, L"http://wpad.corp.example/proxy.pac", true, L"proxy.corp.example:8080",
                      L"<local>;*.corp.example"});
    EXPECT_EQ(S_OK, proxy->Apply());
    EXPECT_EQ(std::optional<DWORD>(1), CInternetSettingsKept::Number(L"ProxyEnable"));
    EXPECT_EQ(Text(L"proxy.corp.example:8080"), CInternetSettingsKept::Text(L"ProxyServer"));
    EXPECT_EQ(kNull, CInternetSettingsKept::Text(L"ProxyOverride"));
    EXPECT_EQ(kNull, CInternetSettingsKept::Text(L"AutoConfigURL"));
    EXPECT_EQ(Expected(false, false, "", true, "proxy.corp.example:8080", ""), Current());

    // A bypass list stored by other means is read while the proxy is on (Wine
    // does not report a stored script), and what was read is taken back.
    CInternetSettingsKept::SetText(L"ProxyOverride", L"<local> *.corp.example");
    CInternetSettingsKept::SetText(L"AutoConfigURL", L"http://wpad.corp.example/proxy.pac");
    ComPtr<IUserProxy> read = NewProxy();
    EXPECT_EQ(S_OK, read->GetCurrent());
    EXPECT_EQ(Expected(false, false, "", true, "proxy.corp.example:8080", "<local> *.corp.example"),
              Fields(read.Get()));
    EXPECT_EQ(S_OK, read->put_ProxyEnabled(VARIANT_FALSE));
    EXPECT_EQ(S_OK, read->Apply());
    EXPECT_EQ(std::optional<DWORD>(0), CInternetSettingsKept::Number(L"ProxyEnable"));
    EXPECT_EQ(Text(L"proxy.corp.example:8080"), CInternetSettingsKept::Text(L"ProxyServer"));
    EXPECT_EQ(Text(L"<local> *.corp.example"), CInternetSettingsKept::Text(L"ProxyOverride"));
    EXPECT_EQ(Text(L"http://wpad.corp.example/proxy.pac"), CInternetSettingsKept::Text(L"AutoConfigURL"));
    EXPECT_EQ(Expected(false, false, "", false, "proxy.corp.example:8080", ""), Current());
}

} // namespace
} // namespace SettingsTests
