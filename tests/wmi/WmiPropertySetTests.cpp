#include "tests/wmi/WmiTest.h"

namespace WmiTests {
namespace {

using Varquel::CWmiPropertySet;

class WmiPropertySet : public WmiTest {
protected:
    void SetUp() override {
        Install();
        m_proxy = Object(L"SELECT * FROM Win32_Proxy");
        ASSERT_TRUE(m_proxy);
        Machine().ClearJournal();
    }
    void TearDown() override {
        m_proxy.Reset();
        WmiTest::TearDown();
    }
    ComPtr<ISWbemObject> m_proxy;
};

TEST_F(WmiPropertySet, ReadPropertyGivesTheValueAsWmiReportsIt) {
    CWmiPropertySet properties(m_proxy.Get());
    ASSERT_TRUE(properties.IsValid());
    CVariant value;
    EXPECT_EQ(S_OK, properties.ReadProperty(L"ProxyServer", value));
    EXPECT_EQ(VT_BSTR, value.Type());
    EXPECT_EQ(S_OK, properties.ReadProperty(L"ProxyPortNumber", value));
    EXPECT_EQ(VT_I4, value.Type());
    EXPECT_EQ(S_OK, properties.ReadProperty(L"Flag", value));
    EXPECT_EQ(VT_BOOL, value.Type());
    EXPECT_EQ(S_OK, properties.ReadProperty(L"List", value));
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, value.Type());
    EXPECT_EQ((Journal{"read Win32_Proxy[0].ProxyServer", "read Win32_Proxy[0].ProxyPortNumber",
                       "read Win32_Proxy[0].Flag", "read Win32_Proxy[0].List"}),
              MachineJournal());

    Install(R"({"Win32_Share": [{"Path": null}]})");
    ComPtr<ISWbemObject> share = Object(L"SELECT * FROM Win32_Share");
    EXPECT_EQ(S_OK, CWmiPropertySet(share.Get()).ReadProperty(L"Path", value));
    EXPECT_EQ(VT_NULL, value.Type());
}

TEST_F(WmiPropertySet, ReadPropertyReportsTheFailingStep) {
    CWmiPropertySet properties(m_proxy.Get());
    CVariant value;
    V_VT(value.Get()) = VT_BSTR;
    V_BSTR(value.Get()) = CBstr(L"stale").Detach();
    EXPECT_EQ(kNotFound, properties.ReadProperty(L"Missing", value));
    EXPECT_EQ(VT_EMPTY, value.Type());

    Machine().FailAtCall(Machine().CallCount() + 1);  // Item
    EXPECT_EQ(kFailed, properties.ReadProperty(L"ProxyServer", value));
    Machine().FailAtCall(Machine().CallCount() + 2);  // get_Value
    EXPECT_EQ(kFailed, properties.ReadProperty(L"ProxyServer", value));
    Machine().FailAtCall(0);
    EXPECT_TRUE(MachineJournal().empty());
}

TEST_F(WmiPropertySet, GetStringOnlyForStrings) {
    CWmiPropertySet properties(m_proxy.Get());
    EXPECT_EQ("proxy", Text(properties.GetString(L"ProxyServer")));
    CBstr empty = properties.GetString(L"Empty");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(0u, empty.Length());
    EXPECT_TRUE(properties.GetString(L"ProxyPortNumber").IsNull());  // a number
    EXPECT_TRUE(properties.GetString(L"Flag").IsNull());             // a boolean
    EXPECT_TRUE(properties.GetString(L"List").IsNull());             // an array
    EXPECT_TRUE(properties.GetString(L"Missing").IsNull());

    Install(R"({"Win32_Share": [{"Path": null}]})");
    ComPtr<ISWbemObject> share = Object(L"SELECT * FROM Win32_Share");
    EXPECT_TRUE(CWmiPropertySet(share.Get()).GetString(L"Path").IsNull());  // VT_NULL
}

TEST_F(WmiPropertySet, WithoutAPropertySetNothingCanBeRead) {
    CWmiPropertySet none(nullptr);
    EXPECT_FALSE(none.IsValid());
    EXPECT_TRUE(none.GetString(L"ProxyServer").IsNull());
    CVariant value;
    EXPECT_TRUE(FAILED(none.ReadProperty(L"ProxyServer", value)));

    Machine().FailAtCall(Machine().CallCount() + 1);  // get_Properties_
    CWmiPropertySet failed(m_proxy.Get());
    EXPECT_FALSE(failed.IsValid());
    EXPECT_TRUE(failed.GetString(L"ProxyServer").IsNull());
    EXPECT_TRUE(MachineJournal().empty());
}

} // namespace
} // namespace WmiTests
