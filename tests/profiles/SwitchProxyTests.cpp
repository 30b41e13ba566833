// The proxy remembered with a profile: stored beside the profiles by name,
// carried by a switch that includes it, read back and rolled back, with a
// stand-in behind WinINet.
#include "tests/profiles/SwitchFixture.h"
#include "tests/settings/FakeInternetOptions.h"

namespace ProfilesTest {
namespace {

using SettingsTests::CFakeInternetOptions;

const std::string kProxies = kQuoran + "\\ProfileProxies";
constexpr DWORD kManual = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
const wchar_t* const kOfficeProxy = L"proxy proxy.example.com:8080, bypass <local>";

class SwitchProxy : public ProfileSwitch {
protected:
    void SetUp() override {
        DeleteTree(kProduct);
        ProfileSwitch::SetUp();
        ASSERT_EQ(m_switch.As(&m_switch2), S_OK);
    }
    void TearDown() override {
        m_switch2.Reset();
        ProfileSwitch::TearDown();
        DeleteTree(kProduct);
    }

    static ComPtr<IUserProxy> Proxy(bool manual, const wchar_t* server = L"", const wchar_t* bypass = L"") {
        ComPtr<IUserProxy> proxy = VarquelTest::Create<IUserProxy>(CLSID_CUserProxy);
        EXPECT_TRUE(proxy);
        const Varquel::CBstr serverText(server), bypassText(bypass);
        EXPECT_EQ(proxy->put_ProxyEnabled(manual ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
        EXPECT_EQ(proxy->put_ProxyServer(serverText.Get()), S_OK);
        EXPECT_EQ(proxy->put_ProxyBypass(bypassText.Get()), S_OK);
        return proxy;
    }
    static ComPtr<IUserProxy> OfficeProxy() { return Proxy(true, L"proxy.example.com:8080", L"<local>"); }
    static std::wstring ServerOf(IUserProxy* proxy) {
        Varquel::CBstr server;
        EXPECT_EQ(proxy->get_ProxyServer(server.ReleaseAndGetAddressOf()), S_OK);
        return Text(server.Get());
    }

    ComPtr<IApplyReport> Preview(INetProfile* profile) {
        ComPtr<IApplyReport> report;
        EXPECT_EQ(m_switch->Preview(profile, &report), S_OK);
        return report;
    }
    ComPtr<IApplyReport> Rollback(IApplyReport* earlier) {
        ComPtr<IApplyReport> report;
        EXPECT_EQ(m_switch->Rollback(earlier, &report), S_OK);
        return report;
    }
    long Sets() const {
        return static_cast<long>(std::count_if(m_wininet.Journal().begin(), m_wininet.Journal().end(),
                                               [](const std::string& line) { return line.starts_with("set flags"); }));
    }

    CFakeInternetOptions m_wininet;
    ComPtr<IProfileSwitch2> m_switch2;
};

TEST_F(SwitchProxy, ASwitchBetweenProfilesWithDifferentProxiesMovesTheProxyAndVerifiesIt) {
    const ComPtr<INetProfile> office = Office(), home = NewProfile(L"Home");
    ASSERT_EQ(m_switch2->SetProxy(office.Get(), OfficeProxy().Get()), S_OK);
    ASSERT_EQ(m_switch2->SetProxy(home.Get(), Proxy(false).Get()), S_OK);

    // A client that does not ask for the proxy sees the switch as before.
    VARIANT_BOOL include = 7;
    ASSERT_EQ(m_switch2->get_IncludeProxy(&include), S_OK);
    EXPECT_EQ(include, VARIANT_FALSE);
    EXPECT_EQ(Changes(Preview(office.Get()).Get()).count(L"Proxy"), 0u);
    EXPECT_TRUE(m_wininet.Journal().empty());

    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    Change row = Changes(Preview(office.Get()).Get())[L"Proxy"];
    // Every field that differs shows, the texts kept while off too.
    EXPECT_EQ(row.before, L"direct; proxy (none) (off); bypass (none) (off)");
    EXPECT_EQ(row.planned, kOfficeProxy);
    EXPECT_EQ(row.method, L"");
    EXPECT_EQ(row.returnValue, -1);
    EXPECT_EQ(Sets(), 0) << "a preview writes nothing";

    const ComPtr<IApplyReport> toOffice = Apply(office.Get());
    EXPECT_TRUE(Flag(toOffice.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(toOffice.Get()));
    row = Changes(toOffice.Get())[L"Proxy"];
    EXPECT_EQ(row.status, 1);
    EXPECT_EQ(row.after, kOfficeProxy);
    EXPECT_EQ(row.method, L"");
    EXPECT_EQ(row.returnValue, -1);
    EXPECT_EQ(m_wininet.flags, kManual);
    EXPECT_EQ(m_wininet.servers, L"proxy.example.com:8080");
    EXPECT_EQ(m_wininet.bypass, L"<local>");
    EXPECT_TRUE(IsDefault(1)) << "the printer first, then the proxy";

    // Home has no adapters and no printer: only its proxy moves.
    row = Changes(Apply(home.Get()).Get())[L"Proxy"];
    EXPECT_EQ(row.status, 1);
    EXPECT_EQ(row.before, kOfficeProxy);
    EXPECT_EQ(row.planned, L"direct; proxy (none) (off); bypass (none) (off)");
    EXPECT_EQ(m_wininet.flags, static_cast<DWORD>(PROXY_TYPE_DIRECT));
    EXPECT_EQ(Sets(), 2);
    EXPECT_EQ(Changes(Apply(home.Get()).Get())[L"Proxy"].status, 0);
    EXPECT_EQ(Sets(), 2) << "a proxy already as stored is not written";
}

TEST_F(SwitchProxy, AFailedAdapterTakesTheProxyBackAndSoDoesARollbackThatIncludesIt) {
    const ComPtr<INetProfile> office = Office();
    ASSERT_EQ(m_switch2->SetProxy(office.Get(), OfficeProxy().Get()), S_OK);
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    Machine().MethodReturns(L"EnableStatic", 70);
    const ComPtr<IApplyReport> failed = Apply(office.Get());
    EXPECT_TRUE(Flag(failed.Get(), &IApplyReport::get_RolledBack)) << Narrow(ReportText(failed.Get()));
    EXPECT_EQ(Sets(), 2);
    EXPECT_EQ(m_wininet.flags, static_cast<DWORD>(PROXY_TYPE_DIRECT));

    // Left in place, the proxy goes back only with a rollback that includes it.
    Machine().MethodReturns(L"EnableStatic", 0);
    ASSERT_EQ(m_switch->put_RollbackOnFailure(VARIANT_FALSE), S_OK);
    Machine().MethodReturns(L"SetGateways", 71);
    const ComPtr<IApplyReport> left = Apply(office.Get());
    EXPECT_FALSE(Flag(left.Get(), &IApplyReport::get_Succeeded));
    EXPECT_EQ(m_wininet.flags, kManual);
    Machine().MethodReturns(L"SetGateways", 0);
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_FALSE), S_OK);
    EXPECT_EQ(Changes(Rollback(left.Get()).Get()).count(L"Proxy"), 0u);
    EXPECT_EQ(m_wininet.flags, kManual);
    EXPECT_EQ(Config(0)["DHCPEnabled"], true);
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    const ComPtr<IApplyReport> back = Rollback(left.Get());
    EXPECT_TRUE(Flag(back.Get(), &IApplyReport::get_Succeeded)) << Narrow(ReportText(back.Get()));
    EXPECT_EQ(Changes(back.Get())[L"Proxy"].after, L"direct");
    EXPECT_EQ(m_wininet.flags, static_cast<DWORD>(PROXY_TYPE_DIRECT));
}

TEST_F(SwitchProxy, AProfileWithoutAStoredProxyLeavesTheProxyAlone) {
    m_wininet.flags = kManual;
    m_wininet.servers = L"proxy.example.com:8080";
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    const ComPtr<IApplyReport> report = Apply(Office().Get());
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    EXPECT_EQ(Changes(report.Get()).count(L"Proxy"), 0u);
    EXPECT_TRUE(m_wininet.Journal().empty());
    EXPECT_EQ(m_wininet.flags, kManual);
    ComPtr<IUserProxy> none;
    EXPECT_EQ(m_switch2->GetProxy(Office().Get(), &none), S_OK);
    EXPECT_FALSE(none);
    EXPECT_FALSE(KeyExists(kProduct)) << "looking for a stored proxy creates no key";
}

TEST_F(SwitchProxy, ARefusedProxyFailsItsRowAndTheSwitchRollsBack) {
    const ComPtr<INetProfile> office = Office();
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    // Stored text that UserProxy.Apply would refuse: a script address with a space.
    SetNumber(kProxies + "\\Office", "AutoConfigEnabled", 1);
    SetText(kProxies + "\\Office", "AutoConfigURL", "not a url");
    const Json eth = Config(0);
    ComPtr<IApplyReport> report = Apply(office.Get());
    Change row = Changes(report.Get())[L"Proxy"];
    EXPECT_EQ(row.status, 2);
    EXPECT_EQ(row.message, L"refused: the stored proxy is not one that UserProxy.Apply takes (0x80070057)");
    EXPECT_TRUE(Flag(report.Get(), &IApplyReport::get_RolledBack));
    EXPECT_EQ(Config(0), eth);
    EXPECT_EQ(Sets(), 0);

    ASSERT_EQ(m_switch2->SetProxy(office.Get(), OfficeProxy().Get()), S_OK);
    m_wininet.failSet = true;
    report = Apply(office.Get());
    row = Changes(report.Get())[L"Proxy"];
    EXPECT_EQ(row.status, 2);
    EXPECT_EQ(row.message, L"WinINet refused the proxy (0x80070005)");
    EXPECT_FALSE(Flag(report.Get(), &IApplyReport::get_Succeeded));
    EXPECT_EQ(Config(0), eth);
    EXPECT_EQ(m_wininet.flags, static_cast<DWORD>(PROXY_TYPE_DIRECT));
}

// A proxy belongs to a profile name: saving, loading and deleting profiles
// leave it, and the name is spelt as the profile store spells it, so a
// character outside the code page finds the loaded profile.
TEST_F(SwitchProxy, AStoredProxyIsFoundByTheProfilesNameAfterSaveAndLoad) {
    for (const wchar_t* name : {L"Office", L"B\u00fcro \u4e2d"}) {
        const ComPtr<INetProfile> profile = NewProfile(name);
        ASSERT_EQ(m_switch2->SetProxy(profile.Get(), OfficeProxy().Get()), S_OK);
        const ComPtr<INetProfilesList> list = NewList();
        ASSERT_EQ(list->Load(), S_OK);
        ASSERT_EQ(list->Add(profile.Get()), S_OK);
        ASSERT_EQ(list->Save(), S_OK);
    }
    EXPECT_EQ(Subkeys(kProxies), (std::vector<std::string>{"B\xfcro ?", "Office"}));
    EXPECT_EQ(Subkeys(kStore), (std::vector<std::string>{"B\xfcro ?", "Office"}));

    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Load(), S_OK);
    ASSERT_EQ(Count(list.Get()), 2);
    for (long i = 0; i < 2; ++i) {
        ComPtr<IUserProxy> found;
        ASSERT_EQ(m_switch2->GetProxy(At(list.Get(), i).Get(), &found), S_OK);
        ASSERT_TRUE(found) << Narrow(Names(list.Get())[i]);
        EXPECT_EQ(ServerOf(found.Get()), L"proxy.example.com:8080");
    }
    // Names that differ only in case are one, as they are for profiles.
    ComPtr<IUserProxy> found;
    ASSERT_EQ(m_switch2->GetProxy(NewProfile(L"OFFICE").Get(), &found), S_OK);
    EXPECT_TRUE(found);

    // Deleting the profiles keeps their proxies; ForgetProxy removes one.
    ASSERT_EQ(NewList()->Save(), S_OK);
    EXPECT_EQ(Subkeys(kProxies).size(), 2u);
    ASSERT_EQ(m_switch2->ForgetProxy(NewProfile(L"office").Get()), S_OK);
    ASSERT_EQ(m_switch2->ForgetProxy(NewProfile(L"office").Get()), S_OK) << "nothing to forget is no error";
    EXPECT_EQ(Subkeys(kProxies), std::vector<std::string>{"B\xfcro ?"});
    ASSERT_EQ(m_switch2->GetProxy(NewProfile(L"Office").Get(), &found), S_OK);
    EXPECT_FALSE(found);
}

TEST_F(SwitchProxy, RefusesNamesThatCannotBeKeysAndObjectsItCannotTake) {
    const ComPtr<IUserProxy> proxy = OfficeProxy();
    for (const wchar_t* name : {L"", L"a\\b"}) {
        const ComPtr<INetProfile> profile = NewProfile(name);
        EXPECT_EQ(m_switch2->SetProxy(profile.Get(), proxy.Get()), E_INVALIDARG);
        EXPECT_EQ(m_switch2->ForgetProxy(profile.Get()), E_INVALIDARG);
        ComPtr<IUserProxy> found = proxy;
        EXPECT_EQ(m_switch2->GetProxy(profile.Get(), &found), E_INVALIDARG);
        EXPECT_FALSE(found);
    }
    EXPECT_EQ(m_switch2->SetProxy(nullptr, proxy.Get()), E_POINTER);
    EXPECT_EQ(m_switch2->SetProxy(Office().Get(), nullptr), E_POINTER);
    EXPECT_EQ(m_switch2->GetProxy(Office().Get(), nullptr), E_POINTER);
    EXPECT_FALSE(KeyExists(kProxies + "\\Office"));
    // A name that cannot be a key has no proxy: the switch leaves the proxy alone.
    ASSERT_EQ(m_switch2->put_IncludeProxy(VARIANT_TRUE), S_OK);
    EXPECT_EQ(Changes(Preview(NewProfile(L"a\\b").Get()).Get()).count(L"Proxy"), 0u);
    EXPECT_EQ(Execs(), 0);
}

} // namespace
} // namespace ProfilesTest
