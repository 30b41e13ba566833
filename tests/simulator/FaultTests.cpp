#include "tests/simulator/Machines.h"
#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {
namespace {

using Json = VarquelSim::CMachine::Json;

class Faults : public SimulatorTest {
protected:
    void SetUp() override { Install(kMachine); }

    ComPtr<ISWbemLocator> Locator() {
        ComPtr<ISWbemLocator> locator;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_SWbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_ISWbemLocator,
                                         reinterpret_cast<void**>(locator.GetAddressOf())));
        return locator;
    }
    bool LastLineIsReject() {
        return !MachineJournal().empty() && MachineJournal().back().rfind("reject ", 0) == 0;
    }
};

// ---- What the system must never send ----

TEST_F(Faults, ConnectServerTakesOnlyTheLocalCimv2) {
    ComPtr<ISWbemLocator> locator = Locator();
    CBstr cimv2(L"ROOT\\CIMV2"), other(L"ROOT\\DEFAULT"), dot(L"."), user(L"admin");
    ComPtr<ISWbemServices> services;
    EXPECT_EQ(kInvalidParameter, locator->ConnectServer(nullptr, other.Get(), nullptr, nullptr, nullptr, nullptr, 0,
                                                        nullptr, services.GetAddressOf()));
    EXPECT_TRUE(LastLineIsReject());
    EXPECT_EQ(kInvalidParameter, locator->ConnectServer(dot.Get(), cimv2.Get(), nullptr, nullptr, nullptr, nullptr, 0,
                                                        nullptr, services.GetAddressOf()));
    EXPECT_EQ(kInvalidParameter, locator->ConnectServer(nullptr, cimv2.Get(), user.Get(), nullptr, nullptr, nullptr,
                                                        0, nullptr, services.GetAddressOf()));
    EXPECT_EQ(kInvalidParameter, locator->ConnectServer(nullptr, cimv2.Get(), nullptr, nullptr, nullptr, nullptr,
                                                        128, nullptr, services.GetAddressOf()));
    EXPECT_FALSE(services);
    EXPECT_EQ(4u, MachineJournal().size());
    EXPECT_EQ("reject ConnectServer: namespace \"ROOT\\DEFAULT\"", MachineJournal()[0]);
    // The namespace ignores case, as WMI's does, and is journalled as given.
    CBstr lower(L"root\\cimv2");
    EXPECT_EQ(S_OK, locator->ConnectServer(nullptr, lower.Get(), nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                           services.GetAddressOf()));
    EXPECT_EQ("connect root\\cimv2", MachineJournal().back());
}

TEST_F(Faults, ExecQueryTakesOnlyWqlWithFlagsZero) {
    ComPtr<ISWbemServices> services = Connect();
    CBstr query(L"SELECT * FROM Win32_Share"), sql(L"SQL"), wql(L"WQL");
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(kInvalidParameter, services->ExecQuery(query.Get(), sql.Get(), 0, nullptr, set.GetAddressOf()));
    EXPECT_TRUE(LastLineIsReject());
    EXPECT_EQ(kInvalidParameter, services->ExecQuery(query.Get(), wql.Get(), wbemFlagReturnImmediately, nullptr,
                                                     set.GetAddressOf()));
    EXPECT_EQ("reject ExecQuery SELECT * FROM Win32_Share: flags 16", MachineJournal().back());
    EXPECT_EQ(kInvalidParameter,
              services->ExecQuery(query.Get(), wql.Get(), 0, services.Get(), set.GetAddressOf()));
    EXPECT_TRUE(LastLineIsReject());
    EXPECT_FALSE(set);
}

TEST_F(Faults, AssociatorsTakeOnlyTheConfigurationForwardOnly) {
    ComPtr<ISWbemObject> adapter = Object(L"SELECT * FROM Win32_NetworkAdapter");
    CBstr configuration(L"Win32_NetworkAdapterConfiguration"), other(L"Win32_PnPEntity"), role(L"Element");
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(kInvalidParameter, adapter->Associators_(nullptr, configuration.Get(), nullptr, nullptr, VARIANT_FALSE,
                                                       VARIANT_FALSE, nullptr, nullptr, 0, nullptr,
                                                       set.GetAddressOf()));
    EXPECT_EQ("reject Associators_ Win32_NetworkAdapter[0]: flags 0", MachineJournal().back());
    EXPECT_EQ(kInvalidParameter, adapter->Associators_(nullptr, other.Get(), nullptr, nullptr, VARIANT_FALSE,
                                                       VARIANT_FALSE, nullptr, nullptr, wbemFlagForwardOnly, nullptr,
                                                       set.GetAddressOf()));
    EXPECT_TRUE(LastLineIsReject());
    EXPECT_EQ(kInvalidParameter, adapter->Associators_(nullptr, configuration.Get(), nullptr, role.Get(),
                                                       VARIANT_FALSE, VARIANT_FALSE, nullptr, nullptr,
                                                       wbemFlagForwardOnly, nullptr, set.GetAddressOf()));
    EXPECT_EQ(kInvalidParameter, adapter->Associators_(nullptr, configuration.Get(), nullptr, nullptr, VARIANT_TRUE,
                                                       VARIANT_FALSE, nullptr, nullptr, wbemFlagForwardOnly, nullptr,
                                                       set.GetAddressOf()));
    EXPECT_TRUE(LastLineIsReject());
    EXPECT_FALSE(set);
}

TEST_F(Faults, ExecMethodTakesFlagsZeroAndNoNamedValues) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer", 1);
    CBstr method(L"SetDefaultPrinter");
    EXPECT_EQ(kInvalidParameter, printer->ExecMethod_(method.Get(), nullptr, 1, nullptr, nullptr));
    EXPECT_EQ("reject ExecMethod_ Win32_Printer[1].SetDefaultPrinter: flags 1", MachineJournal().back());
    EXPECT_EQ(kInvalidParameter, printer->ExecMethod_(method.Get(), nullptr, 0, printer.Get(), nullptr));
    EXPECT_TRUE(LastLineIsReject());
    // In-parameters must be a spawned in-parameters instance.
    EXPECT_EQ(kInvalidParameter, printer->ExecMethod_(method.Get(), printer.Get(), 0, nullptr, nullptr));
    EXPECT_TRUE(Machine().Instance("Win32_Printer", 0)["Default"].get<bool>());
}

TEST_F(Faults, InParametersKeepTheirDocumentedTypes) {
    ComPtr<ISWbemObject> eth = Configuration(0);
    const Json before = Machine().State();
    ComPtr<ISWbemObject> in = InParameters(eth.Get(), L"SetWINSServer");
    ComPtr<ISWbemPropertySet> properties = PropertiesOf(in.Get());
    CBstr primary(L"WINSPrimaryServer"), secondary(L"WINSSecondaryServer"), method(L"SetWINSServer");
    const size_t lines = MachineJournal().size();
    // The servers are strings: adding one as a string array, or putting an
    // array into it, is refused, and it stays NULL; Windows writes no line.
    ComPtr<ISWbemProperty> property;
    EXPECT_EQ(kTypeMismatch, properties->Add(primary.Get(), wbemCimtypeString, VARIANT_TRUE, 0, property.GetAddressOf()));
    EXPECT_FALSE(property);
    ASSERT_EQ(S_OK, properties->Item(primary.Get(), 0, property.GetAddressOf()));
    CVariant servers = Strs({L"10.0.0.7"});
    EXPECT_EQ(kTypeMismatch, property->put_Value(servers.Get()));
    EXPECT_EQ(lines, MachineJournal().size());
    // A required parameter left NULL: the method sees nothing and answers 68.
    ComPtr<ISWbemObject> out;
    ASSERT_EQ(S_OK, eth->ExecMethod_(method.Get(), in.Get(), 0, nullptr, out.GetAddressOf()));
    EXPECT_EQ("exec Win32_NetworkAdapterConfiguration[0].SetWINSServer()", MachineJournal().back());
    EXPECT_EQ(68, V_I4(Read(out.Get(), L"ReturnValue").Get()));
    EXPECT_EQ(before, Machine().State());

    // Through Item, or Add with the declared type, the value arrives.
    CVariant first = Str(L"10.0.0.7"), second = Str(L"10.0.0.8");
    ASSERT_EQ(S_OK, property->put_Value(first.Get()));
    ASSERT_EQ(S_OK, properties->Add(secondary.Get(), wbemCimtypeString, VARIANT_FALSE, 0,
                                    property.ReleaseAndGetAddressOf()));
    ASSERT_EQ(S_OK, property->put_Value(second.Get()));
    ASSERT_EQ(S_OK, eth->ExecMethod_(method.Get(), in.Get(), 0, nullptr, out.ReleaseAndGetAddressOf()));
    EXPECT_EQ("exec Win32_NetworkAdapterConfiguration[0].SetWINSServer(Item WINSPrimaryServer=VT_BSTR\"10.0.0.7\", "
              "Add WINSSecondaryServer=VT_BSTR\"10.0.0.8\")",
              MachineJournal().back());
    EXPECT_EQ("10.0.0.8", Machine().Instance("Win32_NetworkAdapterConfiguration", 0)["WINSSecondaryServer"]);

    // Create's Type is a uint32 and Access an object.
    ComPtr<ISWbemObject> create = InParameters(Object(L"SELECT * FROM Win32_Share").Get(), L"Create");
    properties = PropertiesOf(create.Get());
    CBstr type(L"Type"), access(L"Access");
    EXPECT_EQ(kTypeMismatch,
              properties->Add(type.Get(), wbemCimtypeString, VARIANT_TRUE, 0, property.ReleaseAndGetAddressOf()));
    EXPECT_EQ(S_OK, properties->Add(type.Get(), wbemCimtypeUint32, VARIANT_FALSE, 0, property.ReleaseAndGetAddressOf()));
    CVariant text = Str(L"0");
    EXPECT_EQ(kTypeMismatch, property->put_Value(text.Get()));
    ASSERT_EQ(S_OK, properties->Item(access.Get(), 0, property.ReleaseAndGetAddressOf()));
    EXPECT_EQ(kTypeMismatch, property->put_Value(text.Get()));
}

// ---- Injected faults ----

TEST_F(Faults, FailConnect) {
    Machine().FailConnect(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    ComPtr<ISWbemLocator> locator = Locator();
    CBstr cimv2(L"ROOT\\CIMV2");
    ComPtr<ISWbemServices> services;
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED),
              locator->ConnectServer(nullptr, cimv2.Get(), nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                     services.GetAddressOf()));
    EXPECT_FALSE(services);
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2"}), MachineJournal());
    Machine().FailConnect(S_OK);
    EXPECT_TRUE(Connect());
}

TEST_F(Faults, FailMethodAndMethodReturnsLeaveTheMachine) {
    ComPtr<ISWbemObject> printer = Object(L"SELECT * FROM Win32_Printer", 1);
    const Json before = Machine().State();
    Machine().FailMethod(L"setdefaultprinter", static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), Call(printer.Get(), L"SetDefaultPrinter").hr);
    EXPECT_EQ("exec Win32_Printer[1].SetDefaultPrinter()", MachineJournal().back());
    Machine().FailMethod(L"SetDefaultPrinter", S_OK);
    Machine().MethodReturns(L"SetDefaultPrinter", 9);
    CallResult result = Call(printer.Get(), L"SetDefaultPrinter");
    EXPECT_EQ(S_OK, result.hr);
    EXPECT_EQ(9, result.returnValue);
    EXPECT_EQ(before, Machine().State());
    Machine().MethodReturns(L"SetDefaultPrinter", 0);
    EXPECT_EQ(0, Call(printer.Get(), L"SetDefaultPrinter").returnValue);
    EXPECT_TRUE(Machine().Instance("Win32_Printer", 1)["Default"].get<bool>());
}

// The network-configuration lock held by another program: a method answers
// 2147786788 a given number of times, then runs as usual.
TEST_F(Faults, MethodReturnsForAGivenNumberOfCallsThenRunsAgain) {
    const long lockHeld = static_cast<long>(2147786788ul);
    ComPtr<ISWbemObject> eth = Configuration(0);
    const Params dns{{L"DNSServerSearchOrder", Strs({L"10.0.0.3"})}};
    Machine().MethodReturns(L"SetDNSServerSearchOrder", lockHeld, 2);
    EXPECT_EQ(lockHeld, Call(eth.Get(), L"SetDNSServerSearchOrder", dns).returnValue);
    EXPECT_EQ(lockHeld, Call(eth.Get(), L"SetDNSServerSearchOrder", dns).returnValue);
    EXPECT_EQ(Json::array({"10.0.0.2"}), Machine().Instance("Win32_NetworkAdapterConfiguration", 0)["DNSServerSearchOrder"]);
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", dns).returnValue);
    EXPECT_EQ(Json::array({"10.0.0.3"}), Machine().Instance("Win32_NetworkAdapterConfiguration", 0)["DNSServerSearchOrder"]);
}

// Windows takes time to show a change: queries and associators show the
// configuration as it was until the delay has passed; the method itself,
// and the machine's state, have it at once.
TEST_F(Faults, AChangeShowsOnlyAfterTheGivenTime) {
    Machine().ShowChangesAfter(400);
    ComPtr<ISWbemObject> eth = Configuration(0);
    EXPECT_EQ(0, Call(eth.Get(), L"SetDNSServerSearchOrder", {{L"DNSServerSearchOrder", Strs({L"10.0.0.3"})}})
                     .returnValue);
    EXPECT_EQ(Json::array({"10.0.0.3"}), Machine().Instance("Win32_NetworkAdapterConfiguration", 0)["DNSServerSearchOrder"]);
    const wchar_t* const keyed = L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 0";
    EXPECT_EQ((std::vector<std::string>{"10.0.0.2"}), TextsOf(Read(Object(keyed).Get(), L"DNSServerSearchOrder")));
    EXPECT_EQ((std::vector<std::string>{"10.0.0.2"}), TextsOf(Read(Configuration(0).Get(), L"DNSServerSearchOrder")));
    Sleep(500);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.3"}), TextsOf(Read(Object(keyed).Get(), L"DNSServerSearchOrder")));
    EXPECT_THROW(VarquelSim::CMachine::FromJson(R"({"_changesShowAfter": "soon"})"), std::invalid_argument);
}

TEST_F(Faults, EveryCallButAddRefAndReleaseCounts) {
    ComPtr<ISWbemServices> services = Connect();  // QueryInterface, ConnectServer
    EXPECT_EQ(2, Machine().CallCount());
    services->AddRef();
    services->Release();
    EXPECT_EQ(2, Machine().CallCount());
    UINT count = 0;
    EXPECT_EQ(E_NOTIMPL, services->GetTypeInfoCount(&count));
    EXPECT_EQ(3, Machine().CallCount());
    Machine().ResetCallCount();
    EXPECT_EQ(0, Machine().CallCount());
}

TEST_F(Faults, FailAtCallFailsExactlyThatCall) {
    ComPtr<ISWbemServices> services = Connect();
    CBstr query(L"SELECT * FROM Win32_Share"), wql(L"WQL");
    Machine().FailAtCall(Machine().CallCount() + 1);
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(kFailed, services->ExecQuery(query.Get(), wql.Get(), 0, nullptr, set.GetAddressOf()));
    EXPECT_FALSE(set);
    EXPECT_EQ(S_OK, services->ExecQuery(query.Get(), wql.Get(), 0, nullptr, set.GetAddressOf()));

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, set->get__NewEnum(unknown.GetAddressOf()));
    Machine().FailAtCall(Machine().CallCount() + 1);
    ComPtr<IEnumVARIANT> enumerator;
    EXPECT_EQ(kFailed, unknown.As(&enumerator));
    ASSERT_EQ(S_OK, unknown.As(&enumerator));
    Machine().FailAtCall(Machine().CallCount() + 2);
    CVariant element;
    ULONG fetched = 7;
    EXPECT_EQ(S_OK, enumerator->Next(1, element.Get(), &fetched));
    element.Clear();
    EXPECT_EQ(kFailed, enumerator->Next(1, element.Get(), &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(VT_EMPTY, element.Type());
    EXPECT_EQ(S_OK, enumerator->Next(1, element.Get(), &fetched));
    Machine().FailAtCall(0);
}

TEST_F(Faults, DataDrivenFaults) {
    Install(R"({
      "Win32_NetworkAdapter": [
        { "Name": "a", "_configuration": { "IPEnabled": true, "_noSWbemObject": true } },
        { "Name": "b", "_notAnObject": true },
        { "Name": "c", "_noSWbemObject": true },
        { "Name": 5, "NetConnectionID": null }
      ]})");
    ComPtr<ISWbemObjectSet> set;
    ASSERT_EQ(S_OK, Query(L"SELECT * FROM Win32_NetworkAdapter", set));
    std::vector<CVariant> elements = Elements(set.Get());
    ASSERT_EQ(4u, elements.size());

    ASSERT_EQ(VT_DISPATCH, elements[0].Type());
    ASSERT_EQ(VT_I4, elements[1].Type());
    EXPECT_EQ(1, V_I4(elements[1].Get()));
    ASSERT_EQ(VT_DISPATCH, elements[2].Type());
    ComPtr<ISWbemObject> refused;
    EXPECT_EQ(E_NOINTERFACE, V_DISPATCH(elements[2].Get())
                                 ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(refused.GetAddressOf())));
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(S_OK, V_DISPATCH(elements[2].Get())
                        ->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf())));

    ComPtr<ISWbemObject> wrongTypes;
    ASSERT_EQ(S_OK, V_DISPATCH(elements[3].Get())
                        ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(wrongTypes.GetAddressOf())));
    EXPECT_EQ(VT_I4, Read(wrongTypes.Get(), L"Name").Type());
    EXPECT_EQ(VT_NULL, Read(wrongTypes.Get(), L"NetConnectionID").Type());

    // The first adapter's configuration refuses ISWbemObject.
    ComPtr<ISWbemObject> first;
    ASSERT_EQ(S_OK, V_DISPATCH(elements[0].Get())
                        ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(first.GetAddressOf())));
    CBstr resultClass(L"Win32_NetworkAdapterConfiguration");
    ComPtr<ISWbemObjectSet> associators;
    ASSERT_EQ(S_OK, first->Associators_(nullptr, resultClass.Get(), nullptr, nullptr, VARIANT_FALSE, VARIANT_FALSE,
                                        nullptr, nullptr, wbemFlagForwardOnly, nullptr, associators.GetAddressOf()));
    std::vector<CVariant> configurations = Elements(associators.Get());
    ASSERT_EQ(1u, configurations.size());
    ASSERT_EQ(VT_DISPATCH, configurations[0].Type());
    EXPECT_EQ(E_NOINTERFACE,
              V_DISPATCH(configurations[0].Get())
                  ->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(refused.GetAddressOf())));
}

TEST_F(Faults, LiveObjectsCountsWhatTheClientHolds) {
    EXPECT_EQ(0, Machine().LiveObjects());
    {
        ComPtr<ISWbemServices> services = Connect();
        EXPECT_EQ(1, Machine().LiveObjects());  // the locator is gone already
        ComPtr<ISWbemObject> share = Object(L"SELECT * FROM Win32_Share");
        EXPECT_EQ(2, Machine().LiveObjects());
    }
    EXPECT_EQ(0, Machine().LiveObjects());
}

} // namespace
} // namespace SimulatorTests
