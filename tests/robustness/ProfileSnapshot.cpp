#include "tests/robustness/ProfileSnapshot.h"
#include <wrl/client.h>
#include "com/Bstr.h"

namespace VarquelRobustness {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;

namespace {

std::optional<std::wstring> Text(const CBstr& text) {
    if (text.IsNull()) return std::nullopt;
    return std::wstring(text.Get(), text.Length());
}

std::vector<std::optional<std::wstring>> Entries(IAddressList* list) {
    std::vector<std::optional<std::wstring>> entries;
    long count = 0;
    if (!list || FAILED(list->get_Count(&count))) return entries;
    for (long i = 0; i < count; ++i) {
        CBstr entry;
        list->GetAt(i, entry.ReleaseAndGetAddressOf());
        entries.push_back(Text(entry));
    }
    return entries;
}

StoredAdapter ReadAdapter(INetAdapterProperty* adapter) {
    StoredAdapter stored;
    CBstr text;
    adapter->get_Name(text.ReleaseAndGetAddressOf());
    stored.name = text.IsNull() ? std::wstring() : std::wstring(text.Get(), text.Length());
    adapter->get_NetConnectionID(text.ReleaseAndGetAddressOf());
    stored.connection = Text(text);
    adapter->get_IsDHCP(&stored.dhcp);
    ComPtr<IAddressList> lists[5];
    adapter->get_IPAddresses(lists[0].GetAddressOf());
    adapter->get_SubnetMasks(lists[1].GetAddressOf());
    adapter->get_GateWayAddresses(lists[2].GetAddressOf());
    adapter->get_DNSAddresses(lists[3].GetAddressOf());
    adapter->get_WINSServers(lists[4].GetAddressOf());
    for (std::size_t l = 0; l < 5; ++l) stored.lists[l] = Entries(lists[l].Get());
    return stored;
}

// The registry keeps one key per name, whatever its case.
void AddKeyOnce(CRegistryTree& parent, const std::wstring& name) {
    if (parent.FindSubkey(name)) return;
    CRegistryTree key;
    key.name = name;
    parent.subkeys.push_back(std::move(key));
}

} // namespace

StoredProfile CProfileSnapshot::Of(INetProfile* profile) {
    StoredProfile stored;
    CBstr name;
    profile->get_Name(name.ReleaseAndGetAddressOf());
    stored.name = Text(name);
    ComPtr<INetAdaptersList> adapters;
    if (SUCCEEDED(profile->get_NetAdaptersList(adapters.GetAddressOf())) && adapters) {
        long count = 0;
        adapters->get_Count(&count);
        for (long i = 0; i < count; ++i) {
            ComPtr<INetAdapterProperty> adapter;
            if (SUCCEEDED(adapters->NetAdapterPropertyGetAt(i, adapter.GetAddressOf())) && adapter)
                stored.adapters.push_back(ReadAdapter(adapter.Get()));
        }
    }
    ComPtr<IPrintersProperty> printers;
    if (SUCCEEDED(profile->get_PrintersProperty(printers.GetAddressOf())) && printers) {
        CBstr device;
        printers->GetDefault(device.ReleaseAndGetAddressOf());
        stored.defaultPrinter = Text(device);
    }
    return stored;
}

std::vector<StoredProfile> CProfileSnapshot::Of(INetProfilesList* list) {
    std::vector<StoredProfile> profiles;
    long count = 0;
    list->get_Count(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<INetProfile> profile;
        if (SUCCEEDED(list->NetProfileGetAt(i, profile.GetAddressOf())) && profile)
            profiles.push_back(Of(profile.Get()));
    }
    return profiles;
}

CRegistryTree CProfileSnapshot::StoreLayout(const std::vector<StoredProfile>& profiles) {
    CRegistryTree root;
    root.name = L"Profiles";
    for (const StoredProfile& profile : profiles) {
        CRegistryTree key;
        key.name = AnsiRoundTrip(profile.name.value_or(L""));
        CRegistryTree adapters;
        adapters.name = L"NetAdapterList";
        for (const StoredAdapter& adapter : profile.adapters) {
            CRegistryTree adapterKey;
            adapterKey.name = AnsiRoundTrip(adapter.name);
            adapterKey.values.push_back(
                CRegistryTree::Number(L"IsDHCP", static_cast<DWORD>(static_cast<LONG>(adapter.dhcp))));
            adapterKey.values.push_back(CRegistryTree::Text(L"NetConnectionID", AnsiRoundTrip(adapter.connection.value_or(L""))));
            for (std::size_t l = 0; l < 5; ++l) {
                CRegistryTree list;
                list.name = StoredAdapter::kListNames[l];
                for (const auto& entry : adapter.lists[l]) {
                    std::wstring text = entry.value_or(L"");
                    // Text up to a NUL: what the narrow API can take as a name.
                    text = text.substr(0, text.find(L'\0'));
                    if (!text.empty()) AddKeyOnce(list, AnsiRoundTrip(text));
                }
                adapterKey.subkeys.push_back(std::move(list));
            }
            adapters.subkeys.push_back(std::move(adapterKey));
        }
        key.subkeys.push_back(std::move(adapters));
        CRegistryTree printers;
        printers.name = L"Printers";
        if (profile.defaultPrinter) {
            std::wstring device = profile.defaultPrinter->substr(0, profile.defaultPrinter->find(L'\0'));
            printers.values.push_back(CRegistryTree::Text(L"Default", AnsiRoundTrip(device)));
        }
        key.subkeys.push_back(std::move(printers));
        root.subkeys.push_back(std::move(key));
    }
    return root;
}

} // namespace VarquelRobustness
