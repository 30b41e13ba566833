#include "tests/wmi/WmiTest.h"

namespace WmiTests {
namespace {

using Varquel::CWmiMethodCall;
using Varquel::ExecMethodNoParams;
using Json = VarquelSim::CMachine::Json;

class WmiMethodCall : public WmiTest {
protected:
    void SetUp() override { Install(); }

    ComPtr<ISWbemObject> Configuration() {
        ComPtr<ISWbemObject> adapter = Object(L"SELECT * FROM Win32_NetworkAdapter");
        CBstr resultClass(L"Win32_NetworkAdapterConfiguration");
        ComPtr<ISWbemObjectSet> set;
        ComPtr<ISWbemObject> configuration;
        if (!adapter || FAILED(adapter->Associators_(nullptr, resultClass.Get(), nullptr, nullptr, VARIANT_FALSE,
                                                     VARIANT_FALSE, nullptr, nullptr, 32, nullptr,
                                                     set.GetAddressOf())))
            return configuration;
        ComPtr<IUnknown> unknown;
        ComPtr<IEnumVARIANT> enumerator;
        CVariant element;
        if (SUCCEEDED(set->get__NewEnum(unknown.GetAddressOf())) && SUCCEEDED(unknown.As(&enumerator)) &&
            enumerator->Next(1, element.Get(), nullptr) == S_OK && element.Type() == VT_DISPATCH)
            V_DISPATCH(element.Get())
                ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(configuration.GetAddressOf()));
        return configuration;
    }

    // EnableStatic with two addresses, as the adapter code calls it.
    HRESULT EnableStatic(ISWbemObject* configuration, int* setResults) {
        CWmiMethodCall call(configuration, L"EnableStatic");
        CVariant addresses = Strings({L"10.0.0.7", L"10.0.0.8"});
        CVariant masks = Strings({L"255.0.0.0", L"255.255.0.0"});
        setResults[0] = call.SetParameter(L"IPAddress", *addresses);
        setResults[1] = call.SetParameter(L"SubnetMask", *masks);
        return call.Execute();
    }
};

TEST_F(WmiMethodCall, PreparesSetsAndExecutesWithTheDocumentedCalls) {
    ComPtr<ISWbemObject> configuration = Configuration();
    ASSERT_TRUE(configuration);
    Machine().ClearJournal();
    Machine().ResetCallCount();
    {
        CWmiMethodCall call(configuration.Get(), L"EnableStatic");
        // Methods_, Item, InParameters, SpawnInstance_, Properties_.
        EXPECT_EQ(5, Machine().CallCount());
        CVariant addresses = Strings({L"10.0.0.7", L"10.0.0.8"});
        CVariant masks = Strings({L"255.0.0.0", L"255.255.0.0"});
        EXPECT_EQ(0, call.SetParameter(L"IPAddress", *addresses));
        EXPECT_EQ(7, Machine().CallCount());  // Item, put_Value
        EXPECT_EQ(0, call.SetParameter(L"SubnetMask", *masks));
        EXPECT_EQ(S_OK, call.Execute());
        EXPECT_EQ(10, Machine().CallCount());
        // The out-parameters stay until the call goes.
        EXPECT_LT(1, Machine().LiveObjects());
    }
    EXPECT_EQ(1, Machine().LiveObjects());  // only the caller's configuration
    EXPECT_EQ((Journal{"exec Win32_NetworkAdapterConfiguration[0].EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT["
                       "\"10.0.0.7\",\"10.0.0.8\"], Item SubnetMask=VT_ARRAY|VT_VARIANT[\"255.0.0.0\",\"255.255.0.0\"])"}),
              MachineJournal());
    Json config = Machine().Instance("Win32_NetworkAdapterConfiguration", 0);
    EXPECT_EQ(Json::parse(R"(["10.0.0.7", "10.0.0.8"])"), config["IPAddress"]);
}

// Strings go as VT_BSTR and integers as VT_I4, into the parameters the
// spawned instance holds with their documented types: a string, a uint32.
TEST_F(WmiMethodCall, SetParameterSendsStringsAndIntegersAsTheyAre) {
    ComPtr<ISWbemObject> shareClass = Varquel::GetWmiClassObject(L"Win32_Share");
    ASSERT_TRUE(shareClass);
    CWmiMethodCall call(shareClass.Get(), L"Create");
    CBstr name(L"music"), path(L"E:\\music");
    EXPECT_EQ(0, call.SetParameter(L"Name", name.Get()));
    EXPECT_EQ(0, call.SetParameter(L"Path", path.Get()));
    EXPECT_EQ(0, call.SetParameter(L"Type", 0L));
    EXPECT_EQ(0, call.SetParameter(L"Description", static_cast<BSTR>(nullptr)));
    EXPECT_EQ(S_OK, call.Execute());
    EXPECT_EQ("exec Win32_Share.Create(Item Path=VT_BSTR\"E:\\music\", Item Name=VT_BSTR\"music\", Item Type=VT_I4 0, "
              "Item Description=VT_BSTR null)",
              MachineJournal().back());
    EXPECT_EQ("music", Machine().Instance("Win32_Share", 3)["Name"]);

    // WINS servers are single strings: added as string arrays, they would
    // never reach the method.
    ComPtr<ISWbemObject> configuration = Configuration();
    CWmiMethodCall wins(configuration.Get(), L"SetWINSServer");
    CBstr primary(L"10.0.0.21"), secondary(L"10.0.0.22");
    EXPECT_EQ(0, wins.SetParameter(L"WINSPrimaryServer", primary.Get()));
    EXPECT_EQ(0, wins.SetParameter(L"WINSSecondaryServer", secondary.Get()));
    EXPECT_EQ(S_OK, wins.Execute());
    EXPECT_EQ(0, wins.ReturnValue());
    Json config = Machine().Instance("Win32_NetworkAdapterConfiguration", 0);
    EXPECT_EQ("10.0.0.21", config["WINSPrimaryServer"]);
    EXPECT_EQ("10.0.0.22", config["WINSSecondaryServer"]);
}

TEST_F(WmiMethodCall, ExecuteReturnsTheHresultOfExecMethod) {
    ComPtr<ISWbemObject> configuration = Configuration();
    Machine().FailMethod(L"EnableStatic", static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    int set[2];
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), EnableStatic(configuration.Get(), set));
    EXPECT_EQ(0, set[0]);
    EXPECT_EQ(0, set[1]);
    // A method's own return value is no failure of the call.
    Machine().FailMethod(L"EnableStatic", S_OK);
    Machine().MethodReturns(L"EnableStatic", 70);
    EXPECT_EQ(S_OK, EnableStatic(configuration.Get(), set));
}

TEST_F(WmiMethodCall, AFailedPreparationIsQuiet) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer");
    Machine().ClearJournal();
    {
        CWmiMethodCall unknown(printer.Get(), L"NoSuchMethod");
        CBstr value(L"x");
        EXPECT_EQ(1, unknown.SetParameter(L"Name", value.Get()));
        EXPECT_EQ(1, unknown.SetParameter(L"Count", 1L));
        EXPECT_TRUE(FAILED(unknown.Execute()));
    }
    {
        // A method without in-parameters has no in-parameters class to spawn.
        CWmiMethodCall noParameters(printer.Get(), L"SetDefaultPrinter");
        EXPECT_EQ(1, noParameters.SetParameter(L"Name", 1L));
        EXPECT_TRUE(FAILED(noParameters.Execute()));
    }
    {
        CWmiMethodCall noTarget(nullptr, L"SetDefaultPrinter");
        EXPECT_EQ(1, noTarget.SetParameter(L"Name", 1L));
        EXPECT_EQ(E_POINTER, noTarget.Execute());
    }
    EXPECT_TRUE(MachineJournal().empty());  // nothing was executed
    printer.Reset();
}

TEST_F(WmiMethodCall, ARefusedParameterAnswersOne) {
    ComPtr<ISWbemObject> proxy = Object(L"SELECT * FROM Win32_Proxy");
    CWmiMethodCall call(proxy.Get(), L"SetProxySetting");
    EXPECT_EQ(1, call.SetParameter(L"NoSuchParameter", 1L));
    Machine().ClearJournal();  // that refusal was this test's doing
    EXPECT_EQ(0, call.SetParameter(L"ProxyServer", 1L));
}

TEST_F(WmiMethodCall, AnyFailingCallIsQuietAndLeaksNothing) {
    int set[2];
    {
        ComPtr<ISWbemObject> configuration = Configuration();
        Machine().ResetCallCount();
        ASSERT_EQ(S_OK, EnableStatic(configuration.Get(), set));
    }
    const long calls = Machine().CallCount();
    ASSERT_EQ(10, calls);
    for (long n = 1; n <= calls; ++n) {
        Install();
        {
            ComPtr<ISWbemObject> configuration = Configuration();
            Machine().ResetCallCount();
            Machine().FailAtCall(n);
            HRESULT hr = EnableStatic(configuration.Get(), set);
            // Calls 1-5 prepare, 6-7 and 8-9 set the two parameters, 10 executes.
            EXPECT_EQ(n <= 7 ? 1 : 0, set[0]) << "call " << n;
            EXPECT_EQ(n <= 5 || n == 8 || n == 9 ? 1 : 0, set[1]) << "call " << n;
            EXPECT_EQ(n <= 5 || n == 10, FAILED(hr)) << "call " << n;
        }
        EXPECT_EQ(0, Machine().LiveObjects()) << "call " << n;
    }
}

TEST_F(WmiMethodCall, ExecMethodNoParams) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer", 2);
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, ExecMethodNoParams(printer.Get(), L"SetDefaultPrinter"));
    EXPECT_EQ((Journal{"exec Win32_Printer[2].SetDefaultPrinter()"}), MachineJournal());
    EXPECT_EQ(true, Machine().Instance("Win32_Printer", 2)["Default"]);
    EXPECT_EQ(1, Machine().LiveObjects());  // no out-parameters were asked for

    Machine().FailMethod(L"SetDefaultPrinter", static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), ExecMethodNoParams(printer.Get(), L"SetDefaultPrinter"));
    EXPECT_EQ(E_POINTER, ExecMethodNoParams(nullptr, L"SetDefaultPrinter"));
}

} // namespace
} // namespace WmiTests
