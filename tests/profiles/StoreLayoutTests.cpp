// The layout of a saved profile, read back with the raw registry API, and
// profiles that come back from the store as they went in.
#include "tests/profiles/StoreFixture.h"
#include "com/Bstr.h"

namespace ProfilesTest {
namespace {

using Varquel::CBstr;
using AddressKind = Varquel::CNetAdapterProperty::AddressKind;

void SaveAlone(INetProfile* profile) {
    const ComPtr<INetProfilesList> list = NewList();
    ASSERT_EQ(list->Add(profile), S_OK);
    ASSERT_EQ(list->Save(), S_OK);
}

class StoreLayout : public StoreTest {};

TEST_F(StoreLayout, SavedProfileIsStoredExactlyAsTheLayoutSays) {
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    const ComPtr<INetAdapterProperty> nic = AddAdapter(profile.Get(), L"Intel NIC", L"LAN", VARIANT_FALSE);
    AddEntry(nic.Get(), AddressKind::IPAddresses, L"10.0.0.5");
    AddEntry(nic.Get(), AddressKind::IPAddresses, L"10.0.0.6");
    AddEntry(nic.Get(), AddressKind::SubnetMasks, L"255.255.255.0");
    AddEntry(nic.Get(), AddressKind::SubnetMasks, L"255.255.255.0");
    AddEntry(nic.Get(), AddressKind::GateWayAddresses, L"10.0.0.1");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.2");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.1");
    AddEntry(nic.Get(), AddressKind::WINSServers, L"10.0.0.9");
    AddAdapter(profile.Get(), L"Wireless", L"WLAN", VARIANT_TRUE);
    SetDefaultPrinter(profile.Get(), L"Printer 1");
    SaveAlone(profile.Get());

    EXPECT_EQ(Dump(kStore),
              "Office\n"
              "Office\\NetAdapterList\n"
              "Office\\NetAdapterList\\Intel NIC\n"
              "Office\\NetAdapterList\\Intel NIC : \"IsDHCP\" type 4 data 00 00 00 00\n"
              "Office\\NetAdapterList\\Intel NIC : \"NetConnectionID\" type 1 data 4c 41 4e 00\n"
              "Office\\NetAdapterList\\Intel NIC\\DNSAddresses\n"
              "Office\\NetAdapterList\\Intel NIC\\DNSAddresses\\10.0.0.1\n"
              "Office\\NetAdapterList\\Intel NIC\\DNSAddresses\\10.0.0.2\n"
              "Office\\NetAdapterList\\Intel NIC\\GateWayAddresses\n"
              "Office\\NetAdapterList\\Intel NIC\\GateWayAddresses\\10.0.0.1\n"
              "Office\\NetAdapterList\\Intel NIC\\IPAddresses\n"
              "Office\\NetAdapterList\\Intel NIC\\IPAddresses\\10.0.0.5\n"
              "Office\\NetAdapterList\\Intel NIC\\IPAddresses\\10.0.0.6\n"
              "Office\\NetAdapterList\\Intel NIC\\SubnetMasks\n"
              "Office\\NetAdapterList\\Intel NIC\\SubnetMasks\\255.255.255.0\n"
              "Office\\NetAdapterList\\Intel NIC\\WINSServers\n"
              "Office\\NetAdapterList\\Intel NIC\\WINSServers\\10.0.0.9\n"
              "Office\\NetAdapterList\\Wireless\n"
              "Office\\NetAdapterList\\Wireless : \"IsDHCP\" type 4 data ff ff ff ff\n"
              "Office\\NetAdapterList\\Wireless : \"NetConnectionID\" type 1 data 57 4c 41 4e 00\n"
              "Office\\NetAdapterList\\Wireless\\DNSAddresses\n"
              "Office\\NetAdapterList\\Wireless\\GateWayAddresses\n"
              "Office\\NetAdapterList\\Wireless\\IPAddresses\n"
              "Office\\NetAdapterList\\Wireless\\SubnetMasks\n"
              "Office\\NetAdapterList\\Wireless\\WINSServers\n"
              "Office\\Printers\n"
              "Office\\Printers : \"Default\" type 1 data 50 72 69 6e 74 65 72 20 31 00\n");
    // Nothing of the swap is left beside the store.
    EXPECT_EQ(Subkeys(kQuoran), std::vector<std::string>{"Profiles"});

    // Two addresses sharing one mask are stored with the mask once, and come
    // back with it for each address again, so the pair can still be applied.
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].adapters.size(), 2u);
    EXPECT_EQ(loaded[0].adapters[0].lists[0], (std::vector<std::wstring>{L"10.0.0.5", L"10.0.0.6"}));
    EXPECT_EQ(loaded[0].adapters[0].lists[1], (std::vector<std::wstring>{L"255.255.255.0", L"255.255.255.0"}));
}

// Only a single stored mask can be given back to every address: with two
// different masks the pairing is gone, and the lists come back as stored.
TEST_F(StoreLayout, DifferentMasksAreNotRepeated) {
    const ComPtr<INetProfile> profile = NewProfile(L"Lab");
    const ComPtr<INetAdapterProperty> nic = AddAdapter(profile.Get(), L"Lab NIC", L"Lab", VARIANT_FALSE);
    for (const wchar_t* address : {L"10.0.0.5", L"10.0.0.6", L"10.1.0.5"})
        AddEntry(nic.Get(), AddressKind::IPAddresses, address);
    for (const wchar_t* mask : {L"255.255.255.0", L"255.255.255.0", L"255.255.0.0"})
        AddEntry(nic.Get(), AddressKind::SubnetMasks, mask);
    SaveAlone(profile.Get());
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].adapters.size(), 1u);
    EXPECT_EQ(loaded[0].adapters[0].lists[0].size(), 3u);
    EXPECT_EQ(loaded[0].adapters[0].lists[1].size(), 2u);
}

TEST_F(StoreLayout, TwoStaticAdaptersAndADefaultPrinterComeBackAsTheyWere) {
    const ComPtr<INetProfile> profile = NewProfile(L"Branch office");
    const ComPtr<INetAdapterProperty> first = AddAdapter(profile.Get(), L"Adapter A", L"Ethernet", VARIANT_FALSE);
    AddEntry(first.Get(), AddressKind::IPAddresses, L"192.168.1.10");
    AddEntry(first.Get(), AddressKind::SubnetMasks, L"255.255.255.0");
    AddEntry(first.Get(), AddressKind::GateWayAddresses, L"192.168.1.1");
    AddEntry(first.Get(), AddressKind::DNSAddresses, L"192.168.1.2");
    AddEntry(first.Get(), AddressKind::DNSAddresses, L"192.168.1.3");
    AddEntry(first.Get(), AddressKind::WINSServers, L"192.168.1.4");
    AddEntry(first.Get(), AddressKind::WINSServers, L"192.168.1.5");
    const ComPtr<INetAdapterProperty> second = AddAdapter(profile.Get(), L"Adapter B", L"Ethernet 2", VARIANT_FALSE);
    AddEntry(second.Get(), AddressKind::IPAddresses, L"10.1.0.7");
    AddEntry(second.Get(), AddressKind::SubnetMasks, L"255.0.0.0");
    SetDefaultPrinter(profile.Get(), L"\\\\server\\Laser");
    const ProfileView saved = View(profile.Get());
    SaveAlone(profile.Get());

    EXPECT_EQ(LoadAll(), std::vector<ProfileView>{saved});
}

TEST_F(StoreLayout, IsDhcpIsStoredSignExtendedAndReadBackUnchanged) {
    const ComPtr<INetProfile> profile = NewProfile(L"Flags");
    AddAdapter(profile.Get(), L"A", L"a", VARIANT_TRUE);
    AddAdapter(profile.Get(), L"B", L"b", VARIANT_FALSE);
    AddAdapter(profile.Get(), L"C", L"c", 1);  // a client may put any non-zero value
    SaveAlone(profile.Get());

    const std::string adapters = kStore + "\\Flags\\NetAdapterList\\";
    EXPECT_NE(Dump(adapters + "A").find("\"IsDHCP\" type 4 data ff ff ff ff\n"), std::string::npos);
    EXPECT_NE(Dump(adapters + "B").find("\"IsDHCP\" type 4 data 00 00 00 00\n"), std::string::npos);
    EXPECT_NE(Dump(adapters + "C").find("\"IsDHCP\" type 4 data 01 00 00 00\n"), std::string::npos);

    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    ASSERT_EQ(loaded[0].adapters.size(), 3u);
    EXPECT_EQ(loaded[0].adapters[0].isDhcp, VARIANT_TRUE);
    EXPECT_EQ(loaded[0].adapters[1].isDhcp, VARIANT_FALSE);
    EXPECT_EQ(loaded[0].adapters[2].isDhcp, 1);
}

TEST_F(StoreLayout, EmptyAdaptersListAndNoDefaultPrinterLeaveEmptyKeys) {
    const ComPtr<INetProfile> profile = NewProfile(L"Bare");
    SaveAlone(profile.Get());

    EXPECT_EQ(Dump(kStore), "Bare\nBare\\NetAdapterList\nBare\\Printers\n");
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0], (ProfileView{L"Bare", {}, std::nullopt}));
}

TEST_F(StoreLayout, EmptyDefaultPrinterAndNullConnectionAreStoredAsEmptyTexts) {
    // What a capture on a machine without a default printer leaves.
    const ComPtr<INetProfile> profile = NewProfile(L"Empty texts");
    AddAdapter(profile.Get(), L"NIC", nullptr, VARIANT_FALSE);
    SetDefaultPrinter(profile.Get(), L"");
    SaveAlone(profile.Get());

    EXPECT_NE(Dump(kStore).find("Empty texts\\Printers : \"Default\" type 1 data 00\n"), std::string::npos);
    EXPECT_NE(Dump(kStore).find("NIC : \"NetConnectionID\" type 1 data 00\n"), std::string::npos);
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].defaultPrinter, std::optional<std::wstring>(L""));
    ASSERT_EQ(loaded[0].adapters.size(), 1u);
    EXPECT_FALSE(loaded[0].adapters[0].connectionIsNull);
    EXPECT_EQ(loaded[0].adapters[0].connection, L"");
}

TEST_F(StoreLayout, OnlyEntriesThatAreOneKeyNameAreStored) {
    const ComPtr<INetProfile> profile = NewProfile(L"Entries");
    const ComPtr<INetAdapterProperty> nic = AddAdapter(profile.Get(), L"NIC", L"LAN", VARIANT_FALSE);
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.1");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.1");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.2\\8");
    AddEntry(nic.Get(), AddressKind::DNSAddresses, std::wstring(256, L'9').c_str());
    AddEntry(nic.Get(), AddressKind::DNSAddresses, L"10.0.0.3");
    SaveAlone(profile.Get());

    EXPECT_EQ(Subkeys(kStore + "\\Entries\\NetAdapterList\\NIC\\DNSAddresses"),
              (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].adapters.at(0).lists[3], (std::vector<std::wstring>{L"10.0.0.1", L"10.0.0.3"}));
}

TEST_F(StoreLayout, CharactersOutsideTheAnsiCodePageBecomeItsDefaultCharacter) {
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (info.MaxCharSize != 1 || GetACP() != 1252) GTEST_SKIP() << "needs the Western European code page";

    // U+0142 has a best fit ('l') in this code page; it must not be used.
    const ComPtr<INetProfile> profile = NewProfile(L"B\u00fcro \u4e2d\u0142");
    AddAdapter(profile.Get(), L"NIC \u00e9\u4e2d", L"Verbindung \u4e2d", VARIANT_FALSE);
    SetDefaultPrinter(profile.Get(), L"Drucker \u4e2d");
    SaveAlone(profile.Get());

    EXPECT_EQ(Subkeys(kStore), std::vector<std::string>{"B\xfcro ??"});
    const std::vector<ProfileView> loaded = LoadAll();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].name, L"B\u00fcro ??");
    ASSERT_EQ(loaded[0].adapters.size(), 1u);
    EXPECT_EQ(loaded[0].adapters[0].name, L"NIC \u00e9?");
    EXPECT_EQ(loaded[0].adapters[0].connection, L"Verbindung ?");
    EXPECT_EQ(loaded[0].defaultPrinter, std::optional<std::wstring>(L"Drucker ?"));
}

} // namespace
} // namespace ProfilesTest
