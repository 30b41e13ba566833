#include "profiles/StoreLayout.h"
#include <cstdlib>
#include <memory>
#include <vector>
#include "adapters/AddressList.h"
#include "adapters/IpText.h"
#include "adapters/NetAdapterProperty.h"
#include "profiles/RegistrySeam.h"
#include "profiles/StoreText.h"

namespace Varquel {

namespace {

using Wexmoor::CRegistryKey;
using AddressKind = CNetAdapterProperty::AddressKind;

// Names of the stored profile's keys and values.
const char kNetAdapterList[] = "NetAdapterList";
const char kIsDhcp[] = "IsDHCP";
const char kNetConnectionId[] = "NetConnectionID";
const char kPrinters[] = "Printers";
const char kDefault[] = "Default";
// In the order of AddressKind.
const char* const kListKeys[CNetAdapterProperty::kAddressKinds] = {
    "IPAddresses", "SubnetMasks", "GateWayAddresses", "DNSAddresses", "WINSServers",
};

struct FreeDeleter {
    void operator()(char* block) const noexcept { std::free(block); }
};
using CQueriedText = std::unique_ptr<char, FreeDeleter>;

// Every key of a stored profile is made the same way.
CRegistryKey CreateOrOpen(const CRegistryKey& parent, const char* name) {
    char noClass[] = "";
    return parent.CreateOrOpenKey(name, nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

CRegistryKey CreateNew(const CRegistryKey& parent, const char* name) {
    char noClass[] = "";
    return parent.CreateKey(name, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

// A step of the store whose failures are not the caller's: whatever fails
// ends the step, and what it did before stays done.
template <class Step>
void TolerateStoreStep(Step&& step, std::source_location where = std::source_location::current()) noexcept {
    Tolerate([&] { ThroughRegistry(step); }, where);
}

// An address list is stored as the names of empty subkeys, so its order is
// lost, a repeated entry is stored once and an empty one not at all.
void WriteEntries(const CRegistryKey& listKey, const CStringArray& entries) {
    for (LONG i = 0; i < entries.Count(); ++i) {
        TolerateStoreStep([&] {
            const BSTR entry = entries.At(i);
            // Anything else would not be one empty key (a backslash makes a path).
            if (!StoreText::IsKeyName(StoreText::AsStoredName(entry))) return;
            CreateNew(listKey, StoreText::ToAnsi(entry).c_str());
        });
    }
}

// Address lists are stored as sets of key names, so IPv4 addresses that
// shared one subnet mask come back with it once, and the machine refuses
// addresses and masks of unequal counts. When the masks sent to the machine
// are a single IPv4 mask, it was every address's: give it back to each
// address that is sent. IPv6 entries and their prefix lengths are never sent,
// so they do not count. (Several masks cannot be paired again.)
void RepeatSharedMask(CNetAdapterProperty& adapter) {
    CAddressList& masks = adapter.List(AddressKind::SubnetMasks);
    const CStringArray sentMasks = IpText::ForIPv4Methods(masks.Entries());
    if (sentMasks.Count() != 1 || !IpText::IsIPv4(sentMasks.At(0))) return;
    const LONG sentAddresses = IpText::ForIPv4Methods(adapter.List(AddressKind::IPAddresses).Entries()).Count();
    for (LONG i = 1; i < sentAddresses; ++i) masks.Append(sentMasks.At(0));
}

void ReadAdapters(CNetAdaptersList& adapters, const CRegistryKey& profileKey) {
    const CRegistryKey adaptersKey = profileKey.OpenKey(kNetAdapterList, KEY_ALL_ACCESS);
    for (CRegistryKey::SubkeyIterator it = adaptersKey.begin(); it != adaptersKey.end(); ++it) {
        const CRegistryKey adapterKey = it.OpenKey(KEY_ALL_ACCESS);
        const ComPtr<CNetAdapterProperty> adapter = adapters.AppendNewAdapter();
        adapter->SetName(StoreText::FromAnsi(*it));

        char* text = nullptr;
        if (adapterKey.QueryValue(kNetConnectionId, text)) {
            const CQueriedText owned(text);
            adapter->SetNetConnectionID(StoreText::FromAnsi(owned.get()));
        }
        // A value that is no number leaves the flag false.
        DWORD isDhcp = 0;
        adapterKey.QueryValue(kIsDhcp, isDhcp);
        adapter->SetIsDhcp(static_cast<VARIANT_BOOL>(LOWORD(isDhcp)));

        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
            const CRegistryKey listKey = adapterKey.OpenKey(kListKeys[kind], KEY_ALL_ACCESS);
            CAddressList& list = adapter->List(static_cast<AddressKind>(kind));
            for (CRegistryKey::SubkeyIterator entry = listKey.begin(); entry != listKey.end(); ++entry)
                list.Append(StoreText::FromAnsi(*entry).Get());
        }
        RepeatSharedMask(*adapter.Get());
    }
}

void ReadDefaultPrinter(CPrintersProperty& printers, const CRegistryKey& profileKey) {
    const CRegistryKey printersKey = profileKey.OpenKey(kPrinters, KEY_ALL_ACCESS);
    char* text = nullptr;
    if (printersKey.QueryValue(kDefault, text)) {
        const CQueriedText owned(text);
        const CBstr deviceId = StoreText::FromAnsi(owned.get());
        printers.ChooseDefault(deviceId.Get());
    }
}

} // namespace

std::wstring CStoreLayout::CheckStorable(const CNetProfile& profile) {
    std::wstring key = StoreText::AsStoredName(profile.Name());
    if (!StoreText::IsKeyName(key)) ThrowComError(E_INVALIDARG);
    std::vector<std::wstring> adapterKeys;
    for (const ComPtr<CNetAdapterProperty>& adapter : profile.Adapters().Adapters()) {
        std::wstring adapterKey = StoreText::AsStoredName(adapter->Name());
        if (!StoreText::IsKeyName(adapterKey) || !StoreText::AddDistinctKeyName(adapterKeys, std::move(adapterKey)))
            ThrowComError(E_INVALIDARG);
    }
    return key;
}

void CStoreLayout::SaveToRegistry(const CNetProfile& profile, const CRegistryKey& profilesKey) {
    const CRegistryKey profileKey = CreateOrOpen(profilesKey, StoreText::ToAnsi(profile.Name()).c_str());
    const CRegistryKey adaptersKey = CreateOrOpen(profileKey, kNetAdapterList);
    for (const ComPtr<CNetAdapterProperty>& adapter : profile.Adapters().Adapters()) {
        const CRegistryKey adapterKey = CreateNew(adaptersKey, StoreText::ToAnsi(adapter->Name()).c_str());
        // Sign-extended: true (-1) is stored as 0xFFFFFFFF.
        adapterKey.SetValue(kIsDhcp, static_cast<DWORD>(static_cast<LONG>(adapter->IsDhcp())), REG_DWORD);
        adapterKey.SetValue(kNetConnectionId, StoreText::ToAnsi(adapter->NetConnectionID()).c_str(), REG_SZ);
        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
            const CRegistryKey listKey = CreateNew(adapterKey, kListKeys[kind]);
            WriteEntries(listKey, adapter->List(static_cast<AddressKind>(kind)).Entries());
        }
    }
    // A profile without a default printer still has "Printers", without "Default".
    TolerateStoreStep([&] {
        const CRegistryKey printersKey = CreateNew(profileKey, kPrinters);
        if (const BSTR deviceId = profile.Printers().DefaultDeviceId())
            printersKey.SetValue(kDefault, StoreText::ToAnsi(deviceId).c_str(), REG_SZ);
    });
}

void CStoreLayout::LoadFromRegistry(CNetProfile& profile, const CRegistryKey::SubkeyIterator& position) {
    profile.SetName(StoreText::FromAnsi(*position));
    const CRegistryKey profileKey = position.OpenKey(KEY_ALL_ACCESS);
    // A damaged stored profile is read as far as it goes.
    TolerateStoreStep([&] { ReadAdapters(profile.Adapters(), profileKey); });
    TolerateStoreStep([&] { ReadDefaultPrinter(profile.Printers(), profileKey); });
}

} // namespace Varquel
