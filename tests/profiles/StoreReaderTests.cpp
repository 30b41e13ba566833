// Reading hand-written stores: what a missing or mistyped key or value does,
// and how far reading goes on.
#include "tests/profiles/StoreFixture.h"

namespace ProfilesTest {
namespace {

const std::vector<std::string> kIp = {"10.0.0.5"};
const std::vector<std::string> kMask = {"255.255.255.0"};
const std::vector<std::string> kGateway = {"10.0.0.1"};
const std::vector<std::string> kDns = {"10.0.0.2"};
const std::vector<std::string> kWins = {"10.0.0.3"};

StoredAdapter Full(const std::string& name) {
    StoredAdapter adapter;
    adapter.name = name;
    adapter.connection = name + " connection";
    adapter.isDhcp = 0;
    adapter.lists = {kIp, kMask, kGateway, kDns, kWins};
    return adapter;
}

std::vector<std::wstring> Wide(const std::vector<std::string>& texts) {
    std::vector<std::wstring> wide;
    for (const std::string& text : texts) wide.emplace_back(text.begin(), text.end());
    return wide;
}

AdapterView FullView(const std::string& name) {
    AdapterView view;
    view.name.assign(name.begin(), name.end());
    const std::string connection = name + " connection";
    view.connection.assign(connection.begin(), connection.end());
    view.lists = {Wide(kIp), Wide(kMask), Wide(kGateway), Wide(kDns), Wide(kWins)};
    return view;
}

// An adapter that kept its name and nothing else.
AdapterView NameOnly(const std::string& name) {
    AdapterView view;
    view.name.assign(name.begin(), name.end());
    view.connectionIsNull = true;
    return view;
}

// The adapter "A1" is damaged; "B2" comes after it in the registry's order.
ProfileView LoadWithDamagedFirstAdapter(const StoredAdapter& damaged) {
    StoredProfile profile{"Damaged", true, {damaged, Full("B2")}, true, "Printer 1"};
    WriteStoredProfile(kStore, profile);
    const std::vector<ProfileView> loaded = LoadAll();
    EXPECT_EQ(loaded.size(), 1u);
    return loaded.empty() ? ProfileView{} : loaded[0];
}

class StoreReader : public StoreTest {};

TEST_F(StoreReader, WithoutNetAdapterListTheProfileHasNoAdaptersButItsPrinter) {
    WriteStoredProfile(kStore, {"No adapters", false, {}, true, "Printer 1"});
    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"No adapters", {}, L"Printer 1"}}));
}

TEST_F(StoreReader, AnAdapterWithoutNetConnectionIdKeepsOnlyItsNameAndEndsTheAdapters) {
    StoredAdapter damaged = Full("A1");
    damaged.connection.reset();
    damaged.isDhcp = 0xFFFFFFFF;
    EXPECT_EQ(LoadWithDamagedFirstAdapter(damaged), (ProfileView{L"Damaged", {NameOnly("A1")}, L"Printer 1"}));
}

TEST_F(StoreReader, AnAdapterWithoutIsDhcpKeepsNameAndConnectionAndEndsTheAdapters) {
    StoredAdapter damaged = Full("A1");
    damaged.isDhcp.reset();
    AdapterView expected = NameOnly("A1");
    expected.connection = L"A1 connection";
    expected.connectionIsNull = false;
    EXPECT_EQ(LoadWithDamagedFirstAdapter(damaged), (ProfileView{L"Damaged", {expected}, L"Printer 1"}));
}

TEST_F(StoreReader, AnIsDhcpNumberOfTheWrongSizeCountsAsMissing) {
    for (const DWORD size : {2u, 8u}) {
        SCOPED_TRACE(size);
        DeleteTree(kProduct);
        StoredAdapter damaged = Full("A1");
        damaged.isDhcp.reset();
        WriteStoredProfile(kStore, {"Damaged", true, {damaged, Full("B2")}, true, "Printer 1"});
        const unsigned char bytes[8] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
        SetValue(kStore + "\\Damaged\\NetAdapterList\\A1", "IsDHCP", REG_DWORD, bytes, size);

        AdapterView expected = NameOnly("A1");
        expected.connection = L"A1 connection";
        expected.connectionIsNull = false;
        EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"Damaged", {expected}, L"Printer 1"}}));
    }
}

TEST_F(StoreReader, AnIsDhcpThatIsNoNumberIsFalseAndReadingGoesOn) {
    StoredAdapter adapter = Full("A1");
    adapter.isDhcp.reset();
    WriteStoredProfile(kStore, {"Texts", true, {adapter, Full("B2")}, true, "Printer 1"});
    SetText(kStore + "\\Texts\\NetAdapterList\\A1", "IsDHCP", "-1");
    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"Texts", {FullView("A1"), FullView("B2")}, L"Printer 1"}}));
}

TEST_F(StoreReader, IsDhcpIsTheLowSixteenBitsOfTheStoredNumber) {
    StoredAdapter a = Full("A"), b = Full("B"), c = Full("C");
    a.isDhcp = 0x00010000;  // low half 0: false
    b.isDhcp = 0x00000001;  // kept as 1, not turned into -1
    c.isDhcp.reset();
    WriteStoredProfile(kStore, {"Numbers", true, {a, b, c}, true, std::nullopt});
    SetNumber(kStore + "\\Numbers\\NetAdapterList\\C", "IsDHCP", 0x0000FFFF, REG_DWORD_BIG_ENDIAN);

    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].adapters.size(), 3u);
    EXPECT_EQ(loaded[0].adapters[0].isDhcp, 0);
    EXPECT_EQ(loaded[0].adapters[1].isDhcp, 1);
    EXPECT_EQ(loaded[0].adapters[2].isDhcp, VARIANT_TRUE);
}

TEST_F(StoreReader, AMissingListKeyLeavesItAndTheLaterListsEmptyAndEndsTheAdapters) {
    StoredAdapter damaged = Full("A1");
    damaged.missingList = 3;  // "DNSAddresses"
    AdapterView expected = FullView("A1");
    expected.lists[3].clear();
    expected.lists[4].clear();  // "WINSServers" exists but is not reached
    EXPECT_EQ(LoadWithDamagedFirstAdapter(damaged), (ProfileView{L"Damaged", {expected}, L"Printer 1"}));
}

TEST_F(StoreReader, AConnectionThatIsNoTextIsAbsentAndReadingGoesOn) {
    StoredAdapter adapter = Full("A1");
    adapter.connection.reset();
    WriteStoredProfile(kStore, {"Odd", true, {adapter, Full("B2")}, true, "Printer 1"});
    SetNumber(kStore + "\\Odd\\NetAdapterList\\A1", "NetConnectionID", 7);

    AdapterView expected = FullView("A1");
    expected.connection.clear();
    expected.connectionIsNull = true;
    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"Odd", {expected, FullView("B2")}, L"Printer 1"}}));
}

TEST_F(StoreReader, ExpandableTextsAreTakenUnexpanded) {
    StoredAdapter adapter = Full("A1");
    adapter.connection.reset();
    WriteStoredProfile(kStore, {"Expand", true, {adapter}, true, std::nullopt});
    SetText(kStore + "\\Expand\\NetAdapterList\\A1", "NetConnectionID", "%USERNAME% LAN", REG_EXPAND_SZ);
    SetText(kStore + "\\Expand\\Printers", "Default", "%PRINTER%", REG_EXPAND_SZ);

    AdapterView expected = FullView("A1");
    expected.connection = L"%USERNAME% LAN";
    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"Expand", {expected}, L"%PRINTER%"}}));
}

TEST_F(StoreReader, WithoutAReadableDefaultTheProfileHasNoDefaultPrinter) {
    WriteStoredProfile(kStore, {"No printers key", true, {Full("A1")}, false, std::nullopt});
    WriteStoredProfile(kStore, {"No default value", true, {Full("A1")}, true, std::nullopt});
    WriteStoredProfile(kStore, {"Number default", true, {Full("A1")}, true, std::nullopt});
    SetNumber(kStore + "\\Number default\\Printers", "Default", 1);

    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"No default value", {FullView("A1")}, std::nullopt},
                                                   {L"No printers key", {FullView("A1")}, std::nullopt},
                                                   {L"Number default", {FullView("A1")}, std::nullopt}}));
}

TEST_F(StoreReader, ADamagedProfileDoesNotStopTheProfilesAfterIt) {
    StoredAdapter damaged = Full("A1");
    damaged.connection.reset();
    WriteStoredProfile(kStore, {"1 damaged", true, {damaged, Full("B2")}, false, std::nullopt});
    WriteStoredProfile(kStore, {"2 whole", true, {Full("A1"), Full("B2")}, true, "Printer 2"});

    EXPECT_EQ(LoadAll(), (std::vector<ProfileView>{{L"1 damaged", {NameOnly("A1")}, std::nullopt},
                                                   {L"2 whole", {FullView("A1"), FullView("B2")}, L"Printer 2"}}));
}

} // namespace
} // namespace ProfilesTest
