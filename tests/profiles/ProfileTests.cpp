// CNetProfile through COM: a new profile, its parts, its name and its duplicate.
#include "tests/profiles/StoreFixture.h"
#include "com/Bstr.h"

namespace ProfilesTest {
namespace {

using Varquel::CBstr;
using AddressKind = Varquel::CNetAdapterProperty::AddressKind;

// The object's identity: its IUnknown pointer.
IUnknown* Identity(IUnknown* object) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
    return unknown.Get();
}

TEST(Profile, StartsEmptyWithItsTwoPartsAndNoProxyOrShares) {
    const ComPtr<INetProfile> profile = NewProfile(nullptr);
    ASSERT_TRUE(profile);

    CBstr name;
    ASSERT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_FALSE(name.IsNull());
    EXPECT_EQ(name.Length(), 0u);

    ComPtr<INetAdaptersList> adapters;
    ASSERT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
    long count = -1;
    EXPECT_EQ(adapters->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);

    ComPtr<IPrintersProperty> printers;
    ASSERT_EQ(profile->get_PrintersProperty(&printers), S_OK);
    long defaultIndex = 0;
    EXPECT_EQ(printers->get_Default(&defaultIndex), S_OK);
    EXPECT_EQ(defaultIndex, -1);

    ComPtr<IProxyProperty> proxy;
    EXPECT_EQ(profile->get_ProxyProperty(&proxy), S_OK);
    EXPECT_FALSE(proxy);
    ComPtr<INetShareList> shares;
    EXPECT_EQ(profile->get_NetShareList(&shares), S_OK);
    EXPECT_FALSE(shares);
}

TEST(Profile, HandsOutItsOwnPartsNotCopies) {
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    ComPtr<INetAdaptersList> first, second;
    ASSERT_EQ(profile->get_NetAdaptersList(&first), S_OK);
    ASSERT_EQ(profile->get_NetAdaptersList(&second), S_OK);
    EXPECT_EQ(Identity(first.Get()), Identity(second.Get()));

    ComPtr<IPrintersProperty> printersFirst, printersSecond;
    ASSERT_EQ(profile->get_PrintersProperty(&printersFirst), S_OK);
    ASSERT_EQ(profile->get_PrintersProperty(&printersSecond), S_OK);
    EXPECT_EQ(Identity(printersFirst.Get()), Identity(printersSecond.Get()));

    // An edit through a part is an edit of the profile.
    const ComPtr<INetAdapterProperty> adapter = AddAdapter(profile.Get(), L"NIC", L"LAN", VARIANT_FALSE);
    AddEntry(adapter.Get(), AddressKind::DNSAddresses, L"10.0.0.2");
    EXPECT_EQ(View(profile.Get()).adapters.at(0).lists[3], std::vector<std::wstring>{L"10.0.0.2"});
}

TEST(Profile, NameKeepsTheTextBeforeAnEmbeddedNul) {
    const ComPtr<INetProfile> profile = NewProfile(nullptr);
    const CBstr withNul(L"Home\0Away", 9);
    ASSERT_EQ(profile->put_Name(withNul.Get()), S_OK);
    CBstr name;
    ASSERT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Text(name.Get()), L"Home");

    ASSERT_EQ(profile->put_Name(nullptr), S_OK);
    ASSERT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_TRUE(name.IsNull());

    EXPECT_EQ(profile->get_Name(nullptr), S_OK);
}

TEST(Profile, NamePutWithTheStringItHoldsKeepsIt) {
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    CBstr held;
    ASSERT_EQ(profile->get_Name(held.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(profile->put_Name(held.Get()), S_OK);
    CBstr name;
    ASSERT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Text(name.Get()), L"Office");
}

class ProfileDuplicate : public StoreTest {};

TEST_F(ProfileDuplicate, IsADeepCopyThatChangesIndependently) {
    const ComPtr<INetProfile> source = NewProfile(L"Office");
    const ComPtr<INetAdapterProperty> nic = AddAdapter(source.Get(), L"NIC", L"LAN", VARIANT_FALSE);
    AddEntry(nic.Get(), AddressKind::IPAddresses, L"10.0.0.5");
    AddEntry(nic.Get(), AddressKind::SubnetMasks, L"255.255.255.0");
    AddAdapter(source.Get(), L"WLAN", L"Wireless", VARIANT_TRUE);
    SetDefaultPrinter(source.Get(), L"Printer 1");
    const ProfileView before = View(source.Get());

    ComPtr<INetProfile> copy;
    ASSERT_EQ(source->GetDuplicate(&copy), S_OK);
    ASSERT_TRUE(copy);
    EXPECT_NE(Identity(copy.Get()), Identity(source.Get()));
    EXPECT_EQ(View(copy.Get()), before);

    // Distinct parts, adapters and lists all the way down.
    ComPtr<INetAdaptersList> sourceAdapters, copyAdapters;
    ASSERT_EQ(source->get_NetAdaptersList(&sourceAdapters), S_OK);
    ASSERT_EQ(copy->get_NetAdaptersList(&copyAdapters), S_OK);
    EXPECT_NE(Identity(sourceAdapters.Get()), Identity(copyAdapters.Get()));
    ComPtr<INetAdapterProperty> copyNic;
    ASSERT_EQ(copyAdapters->NetAdapterPropertyGetAt(0, &copyNic), S_OK);
    EXPECT_NE(Identity(copyNic.Get()), Identity(nic.Get()));

    const CBstr newName(L"Home");
    ASSERT_EQ(copy->put_Name(newName.Get()), S_OK);
    AddEntry(copyNic.Get(), AddressKind::IPAddresses, L"10.0.0.6");
    ASSERT_EQ(List(copyNic.Get(), AddressKind::SubnetMasks)->RemoveAll(), S_OK);
    ASSERT_EQ(copyNic->put_IsDHCP(VARIANT_TRUE), S_OK);
    SetDefaultPrinter(copy.Get(), L"Printer 2");

    EXPECT_EQ(View(source.Get()), before);
    const ProfileView changed = View(copy.Get());
    EXPECT_EQ(changed.name, L"Home");
    EXPECT_EQ(changed.adapters.at(0).lists[0], (std::vector<std::wstring>{L"10.0.0.5", L"10.0.0.6"}));
    EXPECT_EQ(changed.defaultPrinter, std::optional<std::wstring>(L"Printer 2"));

    // A duplicate is neither listed nor stored.
    EXPECT_FALSE(KeyExists(kProduct));
}

TEST_F(ProfileDuplicate, KeepsANullNameAndAnAbsentDefaultPrinter) {
    const ComPtr<INetProfile> source = NewProfile(nullptr);
    ASSERT_EQ(source->put_Name(nullptr), S_OK);
    ComPtr<INetProfile> copy;
    ASSERT_EQ(source->GetDuplicate(&copy), S_OK);
    CBstr name(L"x");
    ASSERT_EQ(copy->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_TRUE(name.IsNull());
    EXPECT_FALSE(View(copy.Get()).defaultPrinter);
    ComPtr<IProxyProperty> proxy;
    EXPECT_EQ(copy->get_ProxyProperty(&proxy), S_OK);
    EXPECT_FALSE(proxy);
}

TEST(Profile, RefusesNullOutPointers) {
    const ComPtr<INetProfile> profile = NewProfile(L"Office");
    EXPECT_EQ(profile->GetDuplicate(nullptr), E_POINTER);
    EXPECT_EQ(profile->get_NetAdaptersList(nullptr), E_POINTER);
    EXPECT_EQ(profile->get_PrintersProperty(nullptr), E_POINTER);
}

} // namespace
} // namespace ProfilesTest
