#include "tests/simulator/Machines.h"
#include "tests/simulator/SimulatorTest.h"

namespace SimulatorTests {
namespace {

using Json = VarquelSim::CMachine::Json;

class Queries : public SimulatorTest {
protected:
    void SetUp() override { Install(kMachine); }

    std::vector<std::string> Names(const wchar_t* wql, const wchar_t* property) {
        ComPtr<ISWbemObjectSet> set;
        EXPECT_EQ(S_OK, Query(wql, set));
        std::vector<std::string> names;
        if (!set) return names;
        for (CVariant& element : Elements(set.Get())) {
            ComPtr<ISWbemObject> object;
            EXPECT_EQ(VT_DISPATCH, element.Type());
            V_DISPATCH(element.Get())->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(object.GetAddressOf()));
            names.push_back(TextOf(Read(object.Get(), property)));
        }
        return names;
    }
};

TEST_F(Queries, SelectAllYieldsTheInstancesInOrder) {
    EXPECT_EQ((std::vector<std::string>{"C$", "docs", "pub"}), Names(L"SELECT * FROM Win32_Share", L"Name"));
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Share", "read Win32_Share[0].Name",
                       "read Win32_Share[1].Name", "read Win32_Share[2].Name"}),
              MachineJournal());
}

TEST_F(Queries, ClassNamesAndKeywordsIgnoreCase) {
    EXPECT_EQ((std::vector<std::string>{"A", "B", R"(\\srv\p'x)"}),
              Names(L"select * from win32_printer", L"DeviceID"));
}

TEST_F(Queries, AClassWithoutInstancesGivesAnEmptySet) {
    Install(R"({"Win32_Share": []})");
    ComPtr<ISWbemObjectSet> set;
    ASSERT_EQ(S_OK, Query(L"SELECT * FROM Win32_Share", set));
    EXPECT_TRUE(Elements(set.Get()).empty());
    // A known class the description leaves out has no instances either.
    ASSERT_EQ(S_OK, Query(L"SELECT * FROM Win32_Proxy", set));
    EXPECT_TRUE(Elements(set.Get()).empty());
}

TEST_F(Queries, ConfigurationsCanBeQueriedToo) {
    EXPECT_EQ((std::vector<std::string>{"true", "true", "false"}), [&] {
        ComPtr<ISWbemObjectSet> set;
        EXPECT_EQ(S_OK, Query(L"SELECT * FROM Win32_NetworkAdapterConfiguration", set));
        std::vector<std::string> enabled;
        for (CVariant& element : Elements(set.Get())) {
            ComPtr<ISWbemObject> object;
            V_DISPATCH(element.Get())->QueryInterface(IID_ISWbemObject, reinterpret_cast<void**>(object.GetAddressOf()));
            CVariant value = Read(object.Get(), L"IPEnabled");
            enabled.push_back(V_BOOL(value.Get()) ? "true" : "false");
        }
        return enabled;
    }());
    EXPECT_EQ("read Win32_NetworkAdapterConfiguration[3].IPEnabled", MachineJournal().back());
}

TEST_F(Queries, WhereMatchesALiteralWithEscapes) {
    EXPECT_EQ((std::vector<std::string>{R"(\\srv\p'x)"}),
              Names(LR"(SELECT * FROM Win32_Printer WHERE DeviceID = '\\\\srv\\p\'x')", L"DeviceID"));
    EXPECT_EQ("read Win32_Printer[2].DeviceID", MachineJournal().back());
}

// An adapter and its configuration report the same Index, their key: the
// record's number unless the description gives one. A keyed query reads the
// configuration afresh, as a held object does not change.
TEST_F(Queries, AdaptersAndConfigurationsReportTheirIndexAndAKeyedQueryFindsIt) {
    Json machine = Json::parse(kMachine);
    machine["Win32_NetworkAdapter"][1]["Index"] = 7;
    Install(machine.dump());
    EXPECT_EQ((std::vector<std::string>{"Wifi"}), Names(L"SELECT * FROM Win32_NetworkAdapter WHERE Index = 7", L"Name"));
    EXPECT_EQ(std::vector<std::string>{}, Names(L"SELECT * FROM Win32_NetworkAdapter WHERE Index = '7'", L"Name"));
    ComPtr<ISWbemObject> held = Configuration(0);
    ASSERT_TRUE(held);
    CVariant index = Read(held.Get(), L"Index");
    ASSERT_EQ(VT_I4, index.Type());
    EXPECT_EQ(0, V_I4(index.Get()));
    ComPtr<ISWbemObject> wifi = Object(L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 7");
    ASSERT_TRUE(wifi);
    EXPECT_EQ(7, V_I4(Read(wifi.Get(), L"Index").Get()));
    EXPECT_EQ("read Win32_NetworkAdapterConfiguration[1].Index", MachineJournal().back());

    EXPECT_EQ(0, Call(held.Get(), L"SetDNSServerSearchOrder", {{L"DNSServerSearchOrder", Strs({L"10.0.0.3"})}})
                     .returnValue);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.2"}), TextsOf(Read(held.Get(), L"DNSServerSearchOrder")));
    ComPtr<ISWbemObject> fresh = Object(L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 0");
    EXPECT_EQ((std::vector<std::string>{"10.0.0.3"}), TextsOf(Read(fresh.Get(), L"DNSServerSearchOrder")));
}

TEST_F(Queries, WhereComparesWithoutCase) {
    EXPECT_EQ((std::vector<std::string>{"B"}), Names(L"SELECT * FROM Win32_Printer WHERE DeviceID = 'b'", L"DeviceID"));
    EXPECT_EQ(std::vector<std::string>{}, Names(L"SELECT * FROM Win32_Printer WHERE DeviceID = 'C'", L"DeviceID"));
}

TEST_F(Queries, InvalidWqlFailsAsWmiDoes) {
    for (const wchar_t* wql : {LR"(SELECT * FROM Win32_Printer WHERE DeviceID = '\\srv\p'x')",
                               L"SELECT * FROM Win32_Printer WHERE DeviceID = 'it's'",
                               L"SELECT Name FROM Win32_Share", L"SELECT * FROM Win32_Share WHERE Name = 'a' OR 1",
                               L"", L"Win32_Share"}) {
        Machine().ClearJournal();
        ComPtr<ISWbemObjectSet> set;
        EXPECT_EQ(kInvalidQuery, Query(wql, set)) << VarquelTest::Narrow(std::wstring(wql));
        EXPECT_FALSE(set);
        EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query " + VarquelTest::Narrow(std::wstring(wql))}),
                  MachineJournal());
    }
}

TEST_F(Queries, AnUnknownClassIsInvalid) {
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(kInvalidClass, Query(L"SELECT * FROM Win32_Service", set));
    EXPECT_FALSE(set);
}

// Windows since Vista has no Win32_Proxy: the class is gone, not empty.
TEST_F(Queries, AClassTheDescriptionNamesAbsentDoesNotExist) {
    Install(R"({"_absentClasses": ["win32_PROXY"]})");
    ComPtr<ISWbemObjectSet> set;
    EXPECT_EQ(kInvalidClass, Query(L"SELECT * FROM Win32_Proxy", set));
    EXPECT_FALSE(set);
    CBstr path(L"Win32_Proxy");
    ComPtr<ISWbemObject> proxy;
    EXPECT_EQ(kNotFound, Connect()->Get(path.Get(), 0, nullptr, proxy.GetAddressOf()));
    EXPECT_EQ(S_OK, Query(L"SELECT * FROM Win32_Share", set));
}

// Objects are snapshots: what a held object reads does not follow the machine.
TEST_F(Queries, ObjectsAreSnapshotsOfTheirInstance) {
    ComPtr<ISWbemObject> second = Object(L"SELECT * FROM Win32_Printer", 1);
    ComPtr<ISWbemObject> first = Object(L"SELECT * FROM Win32_Printer", 0);
    ASSERT_EQ(0, Call(second.Get(), L"SetDefaultPrinter").returnValue);
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(Read(first.Get(), L"Default").Get()));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(Read(second.Get(), L"Default").Get()));
    ComPtr<ISWbemObject> fresh = Object(L"SELECT * FROM Win32_Printer", 0);
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(Read(fresh.Get(), L"Default").Get()));
}

TEST_F(Queries, AssociatorsGiveTheAdapterItsConfiguration) {
    ComPtr<ISWbemObject> configuration = Configuration(1);
    ASSERT_TRUE(configuration);
    EXPECT_EQ((std::vector<std::string>{"192.168.1.4"}), TextsOf(Read(configuration.Get(), L"IPAddress")));
    const Journal& journal = MachineJournal();
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ("associators Win32_NetworkAdapter[1] Win32_NetworkAdapterConfiguration", journal[journal.size() - 2]);
    EXPECT_EQ("read Win32_NetworkAdapterConfiguration[1].IPAddress", journal.back());
}

TEST_F(Queries, AnAdapterWithoutConfigurationHasNoAssociator) {
    EXPECT_FALSE(Configuration(2));
    // A configuration has no configuration of its own.
    ComPtr<ISWbemObject> configuration = Configuration(0);
    ASSERT_TRUE(configuration);
    CBstr resultClass(L"Win32_NetworkAdapterConfiguration");
    ComPtr<ISWbemObjectSet> set;
    ASSERT_EQ(S_OK, configuration->Associators_(nullptr, resultClass.Get(), nullptr, nullptr, VARIANT_FALSE,
                                                VARIANT_FALSE, nullptr, nullptr, wbemFlagForwardOnly, nullptr,
                                                set.GetAddressOf()));
    EXPECT_TRUE(Elements(set.Get()).empty());
}

TEST_F(Queries, GetHandsOutTheClassObject) {
    ComPtr<ISWbemServices> services = Connect();
    CBstr path(L"Win32_Share");
    ComPtr<ISWbemObject> share;
    EXPECT_EQ(S_OK, services->Get(path.Get(), 0, nullptr, share.GetAddressOf()));
    EXPECT_TRUE(share);
    CBstr unknown(L"Win32_Service");
    ComPtr<ISWbemObject> none;
    EXPECT_EQ(kNotFound, services->Get(unknown.Get(), 0, nullptr, none.GetAddressOf()));
    EXPECT_FALSE(none);
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "get Win32_Share", "get Win32_Service"}), MachineJournal());
}

TEST_F(Queries, PropertyValuesKeepTheirWmiTypes) {
    Install(R"({"Win32_Proxy": [{"S": "text", "N": 8080, "B": false, "Z": null, "A": ["x", "y"], "E": []}]})");
    ComPtr<ISWbemObject> proxy = Object(L"SELECT * FROM Win32_Proxy");
    ASSERT_TRUE(proxy);
    CVariant value = Read(proxy.Get(), L"S");
    EXPECT_EQ(VT_BSTR, value.Type());
    value = Read(proxy.Get(), L"N");
    ASSERT_EQ(VT_I4, value.Type());
    EXPECT_EQ(8080, V_I4(value.Get()));
    value = Read(proxy.Get(), L"B");
    ASSERT_EQ(VT_BOOL, value.Type());
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(value.Get()));
    EXPECT_EQ(VT_NULL, Read(proxy.Get(), L"Z").Type());
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), TextsOf(Read(proxy.Get(), L"A")));
    EXPECT_EQ(std::vector<std::string>{}, TextsOf(Read(proxy.Get(), L"E")));
    // Property names ignore case; the journal keeps the name as asked.
    EXPECT_EQ(VT_BSTR, Read(proxy.Get(), L"s").Type());
    EXPECT_EQ("read Win32_Proxy[0].s", MachineJournal().back());

    CVariant missing;
    EXPECT_EQ(kNotFound, Read(proxy.Get(), L"Missing", missing));
}

} // namespace
} // namespace SimulatorTests
