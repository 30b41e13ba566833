// CNetAdaptersList against a simulated machine: detection and its filters,
// the WMI cost of each operation, and how stored adapters meet the machine's.
#include <wbemcli.h>
#include "adapters/NetAdaptersList.h"
#include "tests/adapters/MachineFixture.h"

namespace {

using namespace AdapterTests;
using Varquel::CBstr;
using Varquel::CNetAdapterProperty;
using Varquel::CNetAdaptersList;
using Varquel::ImplOf;
using VarquelTest::ComPtr;

const Lines kDetectionStart = {"connect ROOT\\CIMV2", "query SELECT * FROM Win32_NetworkAdapter"};

class AdaptersListTest : public MachineTest {
protected:
    void TearDown() override {
        m_impl.Reset();
        m_list.Reset();
        MachineTest::TearDown();
    }

    void NewList() {
        m_list = VarquelTest::Create<INetAdaptersList>(CLSID_CNetAdaptersList);
        ASSERT_TRUE(m_list);
        m_impl = ImplOf<CNetAdaptersList>(m_list.Get());
        ASSERT_TRUE(m_impl);
    }

    // The names of the list's adapters, in order.
    Strings Names() {
        Strings names;
        long count = 0;
        EXPECT_EQ(S_OK, m_list->get_Count(&count));
        for (long i = 0; i < count; ++i) {
            ComPtr<INetAdapterProperty> adapter;
            EXPECT_EQ(S_OK, m_list->NetAdapterPropertyGetAt(i, adapter.GetAddressOf()));
            CBstr name;
            if (adapter) adapter->get_Name(name.ReleaseAndGetAddressOf());
            names.push_back(Text(name.Get()));
        }
        return names;
    }

    // A stored adapter as the store reader makes it: static, with one address.
    ComPtr<CNetAdapterProperty> AddStored(const wchar_t* name, const wchar_t* address) {
        ComPtr<CNetAdapterProperty> adapter = m_impl->AppendNewAdapter();
        adapter->SetName(CBstr(name));
        adapter->SetNetConnectionID(CBstr(L"stored connection"));
        adapter->List(Kind::IPAddresses).Append(CBstr(address).Get());
        adapter->List(Kind::SubnetMasks).Append(CBstr(L"255.255.255.0").Get());
        return adapter;
    }

    // The journal lines of method calls on one configuration.
    Lines ExecsOn(long id) {
        Lines out;
        const std::string prefix = "exec " + Configuration(id) + ".";
        for (const std::string& line : Machine().Journal())
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }
    // The method calls of one adapter's static apply: one address with mask
    // 255.255.255.0, gateways and DNS servers as given (array contents), no
    // WINS. Without gateways, the gateway is cleared with the address itself.
    static Lines StaticApply(const std::string& address, const std::string& gateways = "",
                             const std::string& dns = "") {
        return {"ReleaseDHCPLease()",
                "EnableStatic(Item IPAddress=VT_ARRAY|VT_VARIANT[\"" + address +
                    "\"], Item SubnetMask=VT_ARRAY|VT_VARIANT[\"255.255.255.0\"])",
                "SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT[" +
                    (gateways.empty() ? "\"" + address + "\"" : gateways) + "])",
                "SetDNSServerSearchOrder(Item DNSServerSearchOrder=VT_ARRAY|VT_VARIANT[" + dns + "])"};
    }
    // The same for an adapter that read the machine's settings back.
    static Lines ReadBack(const std::string& address) {
        return StaticApply(address, "\"10.0.0.1\"", "\"10.0.0.53\"");
    }

    ComPtr<INetAdaptersList> m_list;
    ComPtr<CNetAdaptersList> m_impl;
};

// ---- detection ----

class DetectionTest : public AdaptersListTest {
protected:
    void SetUp() override {
        Json enabledWithoutValue = StaticConfiguration();
        enabledWithoutValue["IPEnabled"] = nullptr;
        Json enabledMissing = StaticConfiguration();
        enabledMissing.erase("IPEnabled");
        Json disabled = StaticConfiguration();
        disabled["IPEnabled"] = false;
        Json unnamed = AdapterJson("unnamed", "x", StaticConfiguration());
        unnamed.erase("Name");
        Json noConnectionKey = AdapterJson("no connection key", nullptr, StaticConfiguration());
        noConnectionKey.erase("NetConnectionID");
        Load(MachineJson({
            AdapterJson("A ok", "Ethernet", StaticConfiguration()),                 // 0 taken
            AdapterJson("B no connection", nullptr, StaticConfiguration()),        // 1
            AdapterJson("C empty connection", "", StaticConfiguration()),          // 2
            noConnectionKey,                                                       // 3
            AdapterJson("E disabled", "Ethernet 2", disabled),                     // 4
            AdapterJson("F enabled without value", "Ethernet 3", enabledWithoutValue),  // 5 taken
            AdapterJson("G no configuration", "Ethernet 4", nullptr),              // 6
            AdapterJson("H enabled missing", "Ethernet 5", enabledMissing),        // 7 taken
            unnamed,                                                               // 8 taken
            AdapterJson("J connection is a number", 5, StaticConfiguration()),     // 9
        }));
        NewList();
    }
};

TEST_F(DetectionTest, KeepsAdaptersWithAConnectionNameAndIPEnabled) {
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_TRUE(m_impl->Detected());
    EXPECT_EQ((Strings{L"A ok", L"F enabled without value", L"H enabled missing", L"<null>"}), Names());
    ASSERT_EQ(4u, m_impl->Adapters().size());
    EXPECT_EQ(L"Ethernet 3", Text(m_impl->Adapters()[1]->NetConnectionID()));
}

TEST_F(DetectionTest, MakesOneConnectionOneQueryAndOneAssociatorsRequestPerAdapter) {
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    Lines expected = kDetectionStart;
    for (long id = 0; id < 10; ++id) {
        if (id == 6) {  // no configuration: nothing is read
            expected.push_back("associators " + Adapter(6) + " Win32_NetworkAdapterConfiguration");
            continue;
        }
        for (std::string line : AttachLines(id)) {
            if (id == 8 && line.ends_with(".Name")) continue;                  // no such property
            if (id == 3 && line.ends_with(".NetConnectionID")) continue;
            if (id == 7 && line.ends_with(".IPEnabled")) continue;
            expected.push_back(line);
        }
    }
    EXPECT_EQ(expected, TakeJournal());
}

TEST_F(DetectionTest, RunsOnceForTheLifeOfTheList) {
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_EQ(S_OK, m_list->GetCurrent());
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(0, CountLines("connect"));
    EXPECT_EQ(0, CountLines("query"));
    EXPECT_EQ(0, CountLines("associators"));
    EXPECT_EQ(4u, m_impl->Adapters().size());
}

TEST_F(DetectionTest, GetCurrentOnANewListDetectsThenReadsEveryAdapter) {
    EXPECT_EQ(S_OK, m_list->GetCurrent());
    EXPECT_EQ(1, CountLines("connect"));
    EXPECT_EQ(1, CountLines("query"));
    EXPECT_EQ(10, CountLines("associators"));
    for (long id : {0L, 5L, 7L, 8L}) EXPECT_EQ(1, CountLines("read " + Configuration(id) + ".DHCPEnabled")) << id;
    EXPECT_EQ(0, CountLines("read " + Configuration(1) + ".DHCPEnabled"));
    EXPECT_EQ((Strings{L"10.0.0.5"}), Entries(m_impl->Adapters()[0].Get(), Kind::IPAddresses));
}

TEST_F(DetectionTest, AFailedConnectionStillEndsDetection) {
    Machine().FailConnect(WBEM_E_ACCESS_DENIED);
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_TRUE(m_impl->Detected());
    Machine().FailConnect(S_OK);
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_EQ(S_OK, m_list->GetCurrent());
    EXPECT_EQ(Strings{}, Names());
    EXPECT_EQ(0, CountLines("query"));
}

TEST_F(DetectionTest, EveryFailingCallOfDetectionIsHarmless) {
    const long start = Machine().CallCount();
    ASSERT_EQ(S_OK, m_list->GetCurrent());
    const long calls = Machine().CallCount() - start;
    m_impl.Reset();
    m_list.Reset();
    for (long n = 1; n <= calls; ++n) {
        NewList();
        Machine().FailAtCall(Machine().CallCount() + n);
        EXPECT_EQ(S_OK, m_list->GetCurrent()) << n;
        EXPECT_EQ(S_OK, m_list->Apply()) << n;
        // A failed IPEnabled read keeps the default (enabled): one more at most.
        EXPECT_LE(m_impl->Adapters().size(), 5u) << n;
        m_impl.Reset();
        m_list.Reset();
        EXPECT_EQ(0, Machine().LiveObjects()) << n;
    }
    Machine().FailAtCall(0);
}

class OddResultsTest : public AdaptersListTest {};

TEST_F(OddResultsTest, AnElementThatIsNoObjectEndsTheWalk) {
    Json odd = AdapterJson("odd", "Ethernet 2", StaticConfiguration());
    odd["_notAnObject"] = true;
    Load(MachineJson({AdapterJson("first", "Ethernet", StaticConfiguration()), odd,
                      AdapterJson("after", "Ethernet 3", StaticConfiguration())}));
    NewList();
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_EQ(Strings{L"first"}, Names());
}

TEST_F(OddResultsTest, AConfigurationWithoutSWbemObjectLeavesTheAdapterOut) {
    Json configuration = StaticConfiguration();
    configuration["_noSWbemObject"] = true;
    Load(MachineJson({AdapterJson("odd", "Ethernet", configuration),
                      AdapterJson("after", "Ethernet 2", StaticConfiguration())}));
    NewList();
    EXPECT_EQ(S_OK, m_list->DetectAdapters());
    EXPECT_EQ(Strings{L"after"}, Names());
    EXPECT_EQ(0, CountLines("read " + Adapter(0)));
}

// ---- stored adapters meet the machine ----

class MatchingTest : public AdaptersListTest {
protected:
    void SetUp() override {
        Load(MachineJson({
            AdapterJson("Intel(R) Ethernet Connection", "Ethernet", StaticConfiguration({"192.168.10.20"})),  // 0
            AdapterJson("Twin", "Dock 1", StaticConfiguration({"10.2.0.1"})),                               // 1
            AdapterJson("Twin", "Dock 2", StaticConfiguration({"10.2.0.2"})),                               // 2
            AdapterJson("B", "Wi-Fi", StaticConfiguration({"10.3.0.1"})),                                    // 3
            AdapterJson("C", "USB", StaticConfiguration({"10.4.0.1"})),                                      // 4
        }));
        NewList();
    }
};

TEST_F(MatchingTest, StoredAAndBAgainstMachineBAndOthersApplyOnlyB) {
    ComPtr<CNetAdapterProperty> storedA = AddStored(L"A", L"172.16.0.1");
    ComPtr<CNetAdapterProperty> storedB = AddStored(L"B", L"172.16.0.2");
    storedB->List(Kind::WINSServers).Append(CBstr(L"172.16.0.9").Get());
    const Varquel::CAddressList* bWins = &storedB->List(Kind::WINSServers);

    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(1, CountLines("connect"));
    EXPECT_EQ(1, CountLines("query"));
    Lines b = StaticApply("172.16.0.2");
    b.push_back(R"(SetWINSServer(Item WINSPrimaryServer=VT_BSTR"172.16.0.9"))");
    EXPECT_EQ(b, ExecsOn(3));
    // Adapters the profile knows nothing about are left alone.
    for (long id : {0L, 1L, 2L, 4L}) EXPECT_EQ(Lines{}, ExecsOn(id)) << id;
    EXPECT_EQ("192.168.10.20",
              Machine().Instance("Win32_NetworkAdapterConfiguration", 0)["IPAddress"][0].get<std::string>());

    // The list now holds the machine's adapters; A's settings are gone.
    EXPECT_TRUE(m_impl->Detected());
    EXPECT_EQ((Strings{L"Intel(R) Ethernet Connection", L"Twin", L"Twin", L"B", L"C"}), Names());
    EXPECT_EQ((Strings{L"172.16.0.2"}), Entries(m_impl->Adapters()[3].Get(), Kind::IPAddresses));
    // Machine adapter B took the stored B's very list objects; the stored B,
    // which this test still holds, keeps five empty ones.
    EXPECT_EQ(bWins, &m_impl->Adapters()[3]->List(Kind::WINSServers));
    EXPECT_NE(bWins, &storedB->List(Kind::WINSServers));
    EXPECT_EQ(0, storedB->List(Kind::WINSServers).Entries().Count());
}

TEST_F(MatchingTest, ApplyingAgainStillLeavesTheUnknownAdaptersAlone) {
    AddStored(L"B", L"172.16.0.2");
    ASSERT_EQ(S_OK, m_list->Apply());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(0, CountLines("query"));
    EXPECT_EQ(StaticApply("172.16.0.2"), ExecsOn(3));
    for (long id : {0L, 1L, 2L, 4L}) EXPECT_EQ(Lines{}, ExecsOn(id)) << id;

    // Once read from the machine, they hold real settings and are applied.
    ASSERT_EQ(S_OK, m_list->GetCurrent());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(ReadBack("10.4.0.1"), ExecsOn(4));
    EXPECT_EQ(ReadBack("192.168.10.20"), ExecsOn(0));
}

TEST_F(MatchingTest, NamesDifferingOnlyInCaseDoNotMatch) {
    AddStored(L"intel(r) ethernet connection", L"172.16.0.1");
    AddStored(L"b", L"172.16.0.2");
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(0, CountLines("exec"));
}

TEST_F(MatchingTest, TwoStoredAdaptersOfOneNameGoToTheMachineAdaptersOfThatNameInOrder) {
    AddStored(L"Twin", L"172.16.1.1");
    AddStored(L"Twin", L"172.16.1.2");
    AddStored(L"Twin", L"172.16.1.3");  // no third machine adapter: dropped
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(StaticApply("172.16.1.1"), ExecsOn(1));
    EXPECT_EQ(StaticApply("172.16.1.2"), ExecsOn(2));
    EXPECT_EQ(8, CountLines("exec"));
}

TEST_F(MatchingTest, OneStoredAdapterServesOnlyTheFirstMachineAdapterOfItsName) {
    ComPtr<CNetAdapterProperty> twin = AddStored(L"Twin", L"172.16.1.1");
    twin->SetIsDhcp(VARIANT_TRUE);
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ((Lines{R"(SetGateways(Item DefaultIPGateway=VT_ARRAY|VT_VARIANT["10.2.0.1"]))", "ReleaseDHCPLease()",
                     "EnableDHCP()", "RenewDHCPLease()", "SetDNSServerSearchOrder()"}),
              ExecsOn(1));
    EXPECT_EQ(Lines{}, ExecsOn(2));
}

TEST_F(MatchingTest, GetCurrentOnStoredAdaptersAppendsTheMachinesBehindThem) {
    ComPtr<CNetAdapterProperty> stored = AddStored(L"B", L"172.16.0.2");
    EXPECT_EQ(S_OK, m_list->GetCurrent());
    EXPECT_EQ((Strings{L"B", L"Intel(R) Ethernet Connection", L"Twin", L"Twin", L"B", L"C"}), Names());
    EXPECT_EQ(S_FALSE, stored->GetCurrent());
    EXPECT_EQ((Strings{L"172.16.0.2"}), Entries(stored.Get(), Kind::IPAddresses));
    // Now detected: Apply matches nothing and applies every adapter it can.
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(0, CountLines("query"));
    EXPECT_EQ(ReadBack("10.3.0.1"), ExecsOn(3));
    EXPECT_EQ(20, CountLines("exec"));
}

TEST_F(MatchingTest, AListTakenWithGetCurrentAppliesEveryAdapterWithItsOwnFields) {
    ASSERT_EQ(S_OK, m_list->GetCurrent());
    ComPtr<INetAdapterProperty> twin;
    ASSERT_EQ(S_OK, m_list->NetAdapterPropertyGetAt(2, twin.GetAddressOf()));
    SetEntries(twin.Get(), Kind::IPAddresses, {L"10.2.0.99"});
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_EQ(ReadBack("192.168.10.20"), ExecsOn(0));
    EXPECT_EQ(ReadBack("10.2.0.1"), ExecsOn(1));
    EXPECT_EQ(ReadBack("10.2.0.99"), ExecsOn(2));
    EXPECT_EQ(ReadBack("10.4.0.1"), ExecsOn(4));
    EXPECT_EQ(0, CountLines("connect"));
}

TEST_F(MatchingTest, ADuplicateOfADetectedListSharesTheWmiObjectsButNotTheLists) {
    ASSERT_EQ(S_OK, m_list->GetCurrent());
    const long liveBefore = Machine().LiveObjects();
    ComPtr<CNetAdaptersList> copy =
        Varquel::CreateServerObject<CNetAdaptersList, INetAdaptersList>(CLSID_CNetAdaptersList);
    copy->CopyFrom(*m_impl.Get());
    EXPECT_TRUE(copy->Detected());
    EXPECT_EQ(liveBefore, Machine().LiveObjects());  // the same WMI objects, no new ones
    ASSERT_EQ(5u, copy->Adapters().size());

    SetEntries(m_impl->Adapters()[4].Get(), Kind::IPAddresses, {L"changed in the original"});
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, copy->Apply());
    EXPECT_EQ(0, CountLines("connect"));
    EXPECT_EQ(ReadBack("10.4.0.1"), ExecsOn(4));  // the copy's own list, on the shared configuration
    EXPECT_EQ(20, CountLines("exec"));
    EXPECT_EQ(S_OK, copy->Adapters()[0]->GetCurrent());
    copy.Reset();
    EXPECT_EQ(liveBefore, Machine().LiveObjects());
}

TEST_F(MatchingTest, ADuplicateOfAnAppliedStoredProfileKeepsLeavingUnknownAdaptersAlone) {
    AddStored(L"C", L"172.16.0.4");
    ASSERT_EQ(S_OK, m_list->Apply());
    ComPtr<CNetAdaptersList> copy =
        Varquel::CreateServerObject<CNetAdaptersList, INetAdaptersList>(CLSID_CNetAdaptersList);
    copy->CopyFrom(*m_impl.Get());
    Machine().ClearJournal();
    EXPECT_EQ(S_OK, copy->Apply());
    EXPECT_EQ(StaticApply("172.16.0.4"), ExecsOn(4));
    EXPECT_EQ(4, CountLines("exec"));
}

TEST_F(MatchingTest, ApplyOnAnEmptyNotDetectedListDetectsAndAppliesNothing) {
    EXPECT_EQ(S_OK, m_list->Apply());
    EXPECT_TRUE(m_impl->Detected());
    EXPECT_EQ(5u, m_impl->Adapters().size());
    EXPECT_EQ(0, CountLines("exec"));
}

} // namespace
