#include "tests/simulator/Machines.h"
#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {
namespace {

class JournalFormat : public SimulatorTest {
protected:
    void SetUp() override { Install(kMachine); }
};

TEST_F(JournalFormat, RecordsEveryCallWithItsTargetAndInParameters) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    Params statics;
    statics.emplace_back(L"IPAddress", Strs({L"10.0.0.5", L"10.0.0.6"}));
    statics.emplace_back(L"SubnetMask", Strs({}));
    Call(eth.Get(), L"EnableStatic", statics);
    Params wins;
    wins.emplace_back(L"WINSPrimaryServer", Str(L"10.0.0.9"));
    wins.emplace_back(L"WINSSecondaryServer", Str(L"10.0.0.10"));
    Call(eth.Get(), L"SetWINSServer", wins);
    Call(eth.Get(), L"ReleaseDHCPLease");

    ComPtr<ISWbemServices> services = Connect();
    CBstr path(L"Win32_Share");
    ComPtr<ISWbemObject> shareClass;
    ASSERT_EQ(S_OK, services->Get(path.Get(), 0, nullptr, shareClass.GetAddressOf()));
    Params docs;
    docs.emplace_back(L"Name", Str(L"docs2"));
    docs.emplace_back(L"Path", Str(L"C:\\docs"));
    docs.emplace_back(L"Type", I4(0));
    Call(shareClass.Get(), L"Create", docs);
    Call(Object(L"SELECT * FROM Win32_Share", 2).Get(), L"Delete");
    Call(Object(L"SELECT * FROM Win32_Printer", 1).Get(), L"SetDefaultPrinter");

    EXPECT_EQ((Journal{
                  "connect ROOT\\CIMV2",
                  "query SELECT * FROM Win32_NetworkAdapter",
                  "associators Win32_NetworkAdapter[0] Win32_NetworkAdapterConfiguration",
                  "exec Win32_NetworkAdapterConfiguration[0].EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["
                  "\"10.0.0.5\",\"10.0.0.6\"], Item SubnetMask=VT_ARRAY|VT_VARIANT[])",
                  "read Win32_NetworkAdapterConfiguration[0].EnableStatic.out.ReturnValue",
                  "exec Win32_NetworkAdapterConfiguration[0].SetWINSServer(Item WINSPrimaryServer=VT_BSTR\"10.0.0.9\", "
                  "Item WINSSecondaryServer=VT_BSTR\"10.0.0.10\")",
                  "read Win32_NetworkAdapterConfiguration[0].SetWINSServer.out.ReturnValue",
                  "exec Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease()",
                  "read Win32_NetworkAdapterConfiguration[0].ReleaseDHCPLease.out.ReturnValue",
                  "connect ROOT\\CIMV2",
                  "get Win32_Share",
                  "exec Win32_Share.Create(Item Path=VT_BSTR\"C:\\docs\", Item Name=VT_BSTR\"docs2\", Item Type=VT_I4 0)",
                  "read Win32_Share.Create.out.ReturnValue",
                  "connect ROOT\\CIMV2",
                  "query SELECT * FROM Win32_Share",
                  "exec Win32_Share[2].Delete()",
                  "read Win32_Share[2].Delete.out.ReturnValue",
                  "connect ROOT\\CIMV2",
                  "query SELECT * FROM Win32_Printer",
                  "exec Win32_Printer[1].SetDefaultPrinter()",
                  "read Win32_Printer[1].SetDefaultPrinter.out.ReturnValue",
              }),
              MachineJournal());
}

TEST_F(JournalFormat, ValuesInFullForm) {
    // SetProxySetting's parameters take any value; each exec line lists those
    // set, in the instance's order, with the member that reached them.
    ComPtr<ISWbemObject> proxy = Object(L"SELECT * FROM Win32_Proxy");
    auto exec = [&](const wchar_t* byAdd, CVariant* addValue, CVariant* itemValue) {
        ComPtr<ISWbemObject> in = InParameters(proxy.Get(), L"SetProxySetting");
        ASSERT_TRUE(in);
        ComPtr<ISWbemPropertySet> properties = PropertiesOf(in.Get());
        CBstr added(byAdd), server(L"ProxyServer");
        ComPtr<ISWbemProperty> property;
        ASSERT_EQ(S_OK, properties->Add(added.Get(), wbemCimtypeString, VARIANT_TRUE, 0, property.GetAddressOf()));
        if (addValue) {
            ASSERT_EQ(S_OK, property->put_Value(addValue->Get()));
        }
        if (itemValue) {
            ASSERT_EQ(S_OK, properties->Item(server.Get(), 0, property.ReleaseAndGetAddressOf()));
            ASSERT_EQ(S_OK, property->put_Value(itemValue->Get()));
        }
        CBstr name(L"SetProxySetting");
        ASSERT_EQ(S_OK, proxy->ExecMethod_(name.Get(), in.Get(), 0, nullptr, nullptr));
    };
    CVariant mixed;
    {
        Varquel::CSafeArray array = Varquel::CSafeArray::Variants(4);
        CVariant elements[4] = {Str(L"a\"b\\c"), I4(-7), CVariant(), Str(nullptr)};
        V_VT(elements[2].Get()) = VT_NULL;
        {
            Varquel::CSafeArrayLock lock(array.Get());
            for (int i = 0; i < 4; ++i) elements[i].Detach(&lock.Data<VARIANT>()[i]);
        }
        V_ARRAY(mixed.Get()) = array.Detach();
        V_VT(mixed.Get()) = VT_ARRAY | VT_VARIANT;
    }
    CVariant yes, no, empty, three = I4(3);
    V_VT(yes.Get()) = VT_BOOL;
    V_BOOL(yes.Get()) = VARIANT_TRUE;
    V_VT(no.Get()) = VT_BOOL;
    V_BOOL(no.Get()) = VARIANT_FALSE;
    exec(L"ProxyPortNumber", &yes, &mixed);
    EXPECT_EQ("exec Win32_Proxy[0].SetProxySetting(Item ProxyServer=VT_ARRAY|VT_VARIANT[\"a\"b\\c\",VT_I4 -7,VT_NULL,"
              "VT_BSTR null], Add ProxyPortNumber=VT_BOOL true)",
              MachineJournal().back());
    exec(L"ProxyPortNumber", &three, &empty);
    EXPECT_EQ("exec Win32_Proxy[0].SetProxySetting(Item ProxyServer=VT_EMPTY, Add ProxyPortNumber=VT_I4 3)",
              MachineJournal().back());
    // Added but never given a value: not set, so not listed.
    exec(L"ProxyServer", nullptr, nullptr);
    EXPECT_EQ("exec Win32_Proxy[0].SetProxySetting()", MachineJournal().back());
    exec(L"ProxyPortNumber", &no, nullptr);
    EXPECT_EQ("exec Win32_Proxy[0].SetProxySetting(Add ProxyPortNumber=VT_BOOL false)", MachineJournal().back());
}

} // namespace
} // namespace SimulatorTests
