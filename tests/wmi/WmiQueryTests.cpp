#include "tests/wmi/WmiTest.h"

namespace WmiTests {
namespace {

using Varquel::CWmiPropertySet;
using Varquel::CWmiQuery;

class WmiQuery : public WmiTest {
protected:
    void SetUp() override { Install(); }

    // The Name of every object a query yields, walking as callers do.
    std::vector<std::string> Walk(const wchar_t* wql) {
        CWmiQuery query(wql);
        std::vector<std::string> names;
        while (ComPtr<ISWbemObject> object = query.Next()) names.push_back(Text(CWmiPropertySet(object.Get()).GetString(L"Name")));
        return names;
    }
};

TEST_F(WmiQuery, OpensItsOwnConnectionAndYieldsTheObjectsInOrder) {
    CWmiQuery query(L"SELECT * FROM Win32_Share");
    // Locator, ConnectServer, ExecQuery, _NewEnum and the IEnumVARIANT query.
    EXPECT_EQ(5, Machine().CallCount());
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "query SELECT * FROM Win32_Share"}), MachineJournal());
    // Locator and connection are gone: the enumerator, its set and the set's
    // three objects remain.
    EXPECT_EQ(5, Machine().LiveObjects());

    std::vector<std::string> names;
    while (ComPtr<ISWbemObject> share = query.Next()) names.push_back(Text(CWmiPropertySet(share.Get()).GetString(L"Name")));
    EXPECT_EQ((std::vector<std::string>{"C$", "docs", "pub"}), names);
    EXPECT_FALSE(query.Next());
}

TEST_F(WmiQuery, AClassWithoutInstancesIsEmptyAtOnce) {
    Install(R"({"Win32_Share": []})");
    CWmiQuery query(L"SELECT * FROM Win32_Share");
    EXPECT_FALSE(query.Next());
    EXPECT_FALSE(query.Next());
}

TEST_F(WmiQuery, AFailedConnectionIsAnEmptyResult) {
    Machine().FailConnect(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    CWmiQuery query(L"SELECT * FROM Win32_Share");
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2"}), MachineJournal());
    EXPECT_EQ(0, Machine().LiveObjects());
    EXPECT_FALSE(query.Next());
}

TEST_F(WmiQuery, AFailedQueryIsAnEmptyResult) {
    EXPECT_TRUE(Walk(L"SELECT * FROM Win32_Printer WHERE DeviceID = 'it's'").empty());
    EXPECT_TRUE(Walk(L"SELECT * FROM Win32_Service").empty());
}

// Only a class the machine lacks is told apart from the other failures.
TEST_F(WmiQuery, OnlyAMissingClassIsToldApart) {
    Install(R"({"_absentClasses": ["Win32_Proxy"], "Win32_Share": []})");
    EXPECT_TRUE(CWmiQuery(L"SELECT * FROM Win32_Proxy").ClassMissing());
    for (const wchar_t* wql : {L"SELECT * FROM Win32_Share", L"SELECT * FROM Win32_Share WHERE Name = 'it's'"})
        EXPECT_FALSE(CWmiQuery(wql).ClassMissing()) << wql;
    Machine().FailAtCall(Machine().CallCount() + 3);  // the locator, ConnectServer, then ExecQuery
    EXPECT_FALSE(CWmiQuery(L"SELECT * FROM Win32_Proxy").ClassMissing());
    Machine().FailConnect(static_cast<HRESULT>(WBEM_E_INVALID_CLASS));
    EXPECT_FALSE(CWmiQuery(L"SELECT * FROM Win32_Proxy").ClassMissing());
}

TEST_F(WmiQuery, NextStopsAtAnElementThatIsNotAnObject) {
    Install(R"({"Win32_Share": [{"Name": "one"}, {"Name": "two", "_notAnObject": true}, {"Name": "three"}]})");
    EXPECT_EQ((std::vector<std::string>{"one"}), Walk(L"SELECT * FROM Win32_Share"));
}

TEST_F(WmiQuery, NextStopsAtAnObjectWithoutSWbemObject) {
    Install(R"({"Win32_Share": [{"Name": "one"}, {"Name": "two", "_noSWbemObject": true}, {"Name": "three"}]})");
    EXPECT_EQ((std::vector<std::string>{"one"}), Walk(L"SELECT * FROM Win32_Share"));
}

// Whichever call of opening or walking fails, the query ends early and
// quietly, and releases everything.
TEST_F(WmiQuery, AnyFailingCallEndsTheWalkWithoutLeaks) {
    auto count = [] {
        CWmiQuery query(L"SELECT * FROM Win32_Share");
        size_t objects = 0;
        while (query.Next()) ++objects;
        return objects;
    };
    ASSERT_EQ(3u, count());
    // Opening takes 5 calls, each object 2 (Next, QueryInterface), the end 1.
    ASSERT_EQ(12, Machine().CallCount());
    for (long n = 1; n <= 12; ++n) {
        Install();
        Machine().FailAtCall(n);
        EXPECT_EQ(n <= 5 ? 0u : static_cast<size_t>(n - 6) / 2, count()) << "call " << n;
        EXPECT_EQ(0, Machine().LiveObjects()) << "call " << n;
    }
}

TEST_F(WmiQuery, ConnectWmi) {
    ComPtr<ISWbemServices> services = Varquel::ConnectWmi();
    EXPECT_TRUE(services);
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2"}), MachineJournal());
    services.Reset();
    Machine().FailConnect(E_ACCESSDENIED);
    EXPECT_FALSE(Varquel::ConnectWmi());
}

TEST_F(WmiQuery, GetWmiClassObject) {
    ComPtr<ISWbemObject> shareClass = Varquel::GetWmiClassObject(L"Win32_Share");
    EXPECT_TRUE(shareClass);
    EXPECT_EQ((Journal{"connect ROOT\\CIMV2", "get Win32_Share"}), MachineJournal());
    EXPECT_EQ(1, Machine().LiveObjects());  // the connection is gone already
    EXPECT_FALSE(Varquel::GetWmiClassObject(L"Win32_Service"));
    Machine().FailConnect(E_ACCESSDENIED);
    EXPECT_FALSE(Varquel::GetWmiClassObject(L"Win32_Share"));
}

} // namespace
} // namespace WmiTests
