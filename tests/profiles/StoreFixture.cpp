#include "tests/profiles/StoreFixture.h"
#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include "adapters/NetAdaptersList.h"
#include "com/Bstr.h"
#include "com/ComObject.h"

namespace ProfilesTest {

using Varquel::CBstr;
using Varquel::CNetAdapterProperty;
using AddressKind = CNetAdapterProperty::AddressKind;

namespace {

const char* const kListKeys[5] = {"IPAddresses", "SubnetMasks", "GateWayAddresses", "DNSAddresses", "WINSServers"};

// An open key under HKEY_CURRENT_USER, closed when it goes.
class CKey {
public:
    CKey(const std::string& path, bool create) {
        const LONG result = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                     nullptr, &m_key, nullptr)
                                   : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &m_key);
        if (result != ERROR_SUCCESS) m_key = nullptr;
        if (create) {
            EXPECT_EQ(result, ERROR_SUCCESS) << "creating " << path;
        }
    }
    ~CKey() {
        if (m_key) RegCloseKey(m_key);
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY Get() const noexcept { return m_key; }

private:
    HKEY m_key = nullptr;
};

void DumpKey(HKEY key, const std::string& prefix, std::ostringstream& out) {
    std::map<std::string, std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        BYTE data[65536];
        DWORD size = sizeof data;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::ostringstream line;
        line << " type " << type << " data";
        for (DWORD b = 0; b < size; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", data[b]);
            line << hex;
        }
        values[std::string(name, nameLength)] = line.str();
    }
    for (const auto& [name, line] : values) out << prefix << " : \"" << name << "\"" << line << "\n";

    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, nameLength);
    }
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        const std::string path = prefix.empty() ? child : prefix + "\\" + child;
        out << path << "\n";
        HKEY childKey = nullptr;
        if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, &childKey) == ERROR_SUCCESS) {
            DumpKey(childKey, path, out);
            RegCloseKey(childKey);
        }
    }
}

std::vector<std::wstring> Entries(IAddressList* list) {
    std::vector<std::wstring> entries;
    long count = 0;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    for (long i = 0; i < count; ++i) {
        CBstr entry;
        EXPECT_EQ(list->GetAt(i, entry.ReleaseAndGetAddressOf()), S_OK);
        entries.push_back(Text(entry.Get()));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace

void DeleteTree(const std::string& path) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

void CreateKey(const std::string& path) { CKey key(path, true); }

bool KeyExists(const std::string& path) { return CKey(path, false).Get() != nullptr; }

void SetValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    CKey key(path, true);
    EXPECT_EQ(RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void SetText(const std::string& path, const char* name, const std::string& text, DWORD type) {
    SetValue(path, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetNumber(const std::string& path, const char* name, DWORD number, DWORD type) {
    SetValue(path, name, type, &number, sizeof number);
}

std::vector<std::string> Subkeys(const std::string& path) {
    std::vector<std::string> names;
    CKey key(path, false);
    if (!key.Get()) return names;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, nameLength);
    }
    return names;
}

std::string Dump(const std::string& path) {
    CKey key(path, false);
    if (!key.Get()) return "<missing>";
    std::ostringstream out;
    DumpKey(key.Get(), "", out);
    return out.str();
}

void WriteStoredProfile(const std::string& storePath, const StoredProfile& profile) {
    const std::string profilePath = storePath + "\\" + profile.name;
    CreateKey(profilePath);
    if (profile.adapterListKey) {
        CreateKey(profilePath + "\\NetAdapterList");
        for (const StoredAdapter& adapter : profile.adapters) {
            const std::string adapterPath = profilePath + "\\NetAdapterList\\" + adapter.name;
            CreateKey(adapterPath);
            if (adapter.isDhcp) SetNumber(adapterPath, "IsDHCP", *adapter.isDhcp);
            if (adapter.connection) SetText(adapterPath, "NetConnectionID", *adapter.connection);
            for (int kind = 0; kind < 5; ++kind) {
                if (kind == adapter.missingList) continue;
                CreateKey(adapterPath + "\\" + kListKeys[kind]);
                for (const std::string& entry : adapter.lists[static_cast<size_t>(kind)])
                    CreateKey(adapterPath + "\\" + kListKeys[kind] + "\\" + entry);
            }
        }
    }
    if (profile.printersKey) {
        CreateKey(profilePath + "\\Printers");
        if (profile.defaultPrinter) SetText(profilePath + "\\Printers", "Default", *profile.defaultPrinter);
    }
}

void PrintTo(const ProfileView& view, std::ostream* os) {
    *os << "{" << VarquelTest::Narrow(view.name) << ": ";
    for (const AdapterView& adapter : view.adapters) {
        *os << "[" << VarquelTest::Narrow(adapter.name) << (adapter.nameIsNull ? "<null>" : "") << " / "
            << VarquelTest::Narrow(adapter.connection) << (adapter.connectionIsNull ? "<null>" : "")
            << " dhcp " << adapter.isDhcp;
        for (const auto& list : adapter.lists) {
            *os << " (";
            for (const std::wstring& entry : list) *os << VarquelTest::Narrow(entry) << " ";
            *os << ")";
        }
        *os << "] ";
    }
    *os << "default " << (view.defaultPrinter ? VarquelTest::Narrow(*view.defaultPrinter) : "<null>") << "}";
}

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

ComPtr<INetProfile> NewProfile(const wchar_t* name) {
    ComPtr<INetProfile> profile = VarquelTest::Create<INetProfile>(CLSID_CNetProfile);
    EXPECT_TRUE(profile);
    if (profile && name) {
        const CBstr text(name);
        EXPECT_EQ(profile->put_Name(text.Get()), S_OK);
    }
    return profile;
}

ComPtr<INetAdapterProperty> AddAdapter(INetProfile* profile, const wchar_t* name, const wchar_t* connection,
                                       VARIANT_BOOL isDhcp) {
    ComPtr<INetAdaptersList> adapters;
    EXPECT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
    const ComPtr<Varquel::CNetAdaptersList> list = Varquel::ImplOf<Varquel::CNetAdaptersList>(adapters.Get());
    const ComPtr<CNetAdapterProperty> adapter = list->AppendNewAdapter();
    adapter->SetName(name ? CBstr(name) : CBstr());
    adapter->SetNetConnectionID(connection ? CBstr(connection) : CBstr());
    adapter->SetIsDhcp(isDhcp);
    return ComPtr<INetAdapterProperty>(adapter);
}

ComPtr<IAddressList> List(INetAdapterProperty* adapter, AddressKind kind) {
    ComPtr<IAddressList> list;
    switch (kind) {
    case AddressKind::IPAddresses: EXPECT_EQ(adapter->get_IPAddresses(&list), S_OK); break;
    case AddressKind::SubnetMasks: EXPECT_EQ(adapter->get_SubnetMasks(&list), S_OK); break;
    case AddressKind::GateWayAddresses: EXPECT_EQ(adapter->get_GateWayAddresses(&list), S_OK); break;
    case AddressKind::DNSAddresses: EXPECT_EQ(adapter->get_DNSAddresses(&list), S_OK); break;
    case AddressKind::WINSServers: EXPECT_EQ(adapter->get_WINSServers(&list), S_OK); break;
    }
    return list;
}

void AddEntry(INetAdapterProperty* adapter, AddressKind kind, const wchar_t* text) {
    const CBstr entry(text);
    EXPECT_EQ(List(adapter, kind)->Add(entry.Get()), S_OK);
}

void SetDefaultPrinter(INetProfile* profile, const wchar_t* deviceId) {
    ComPtr<IPrintersProperty> printers;
    EXPECT_EQ(profile->get_PrintersProperty(&printers), S_OK);
    const CBstr id(deviceId);
    EXPECT_EQ(printers->SetDefault(id.Get()), S_OK);
}

ProfileView View(INetProfile* profile) {
    ProfileView view;
    CBstr name;
    EXPECT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
    view.name = Text(name.Get());

    ComPtr<INetAdaptersList> adapters;
    EXPECT_EQ(profile->get_NetAdaptersList(&adapters), S_OK);
    long count = 0;
    EXPECT_EQ(adapters->get_Count(&count), S_OK);
    for (long i = 0; i < count; ++i) {
        ComPtr<INetAdapterProperty> adapter;
        EXPECT_EQ(adapters->NetAdapterPropertyGetAt(i, &adapter), S_OK);
        AdapterView a;
        CBstr text;
        EXPECT_EQ(adapter->get_Name(text.ReleaseAndGetAddressOf()), S_OK);
        a.name = Text(text.Get());
        a.nameIsNull = text.IsNull();
        EXPECT_EQ(adapter->get_NetConnectionID(text.ReleaseAndGetAddressOf()), S_OK);
        a.connection = Text(text.Get());
        a.connectionIsNull = text.IsNull();
        EXPECT_EQ(adapter->get_IsDHCP(&a.isDhcp), S_OK);
        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind)
            a.lists[static_cast<size_t>(kind)] = Entries(List(adapter.Get(), static_cast<AddressKind>(kind)).Get());
        view.adapters.push_back(std::move(a));
    }

    ComPtr<IPrintersProperty> printers;
    EXPECT_EQ(profile->get_PrintersProperty(&printers), S_OK);
    CBstr deviceId;
    EXPECT_EQ(printers->GetDefault(deviceId.ReleaseAndGetAddressOf()), S_OK);
    if (!deviceId.IsNull()) view.defaultPrinter = Text(deviceId.Get());
    return view;
}

ComPtr<INetProfilesList> NewList() {
    ComPtr<INetProfilesList> list = VarquelTest::Create<INetProfilesList>(CLSID_CNetProfilesList);
    EXPECT_TRUE(list);
    return list;
}

long Count(INetProfilesList* list) {
    long count = -1;
    EXPECT_EQ(list->get_Count(&count), S_OK);
    return count;
}

ComPtr<INetProfile> At(INetProfilesList* list, long index) {
    ComPtr<INetProfile> profile;
    EXPECT_EQ(list->NetProfileGetAt(index, &profile), S_OK);
    return profile;
}

std::vector<std::wstring> Names(INetProfilesList* list) {
    std::vector<std::wstring> names;
    for (long i = 0, count = Count(list); i < count; ++i) {
        const ComPtr<INetProfile> profile = At(list, i);
        CBstr name;
        if (profile) {
            EXPECT_EQ(profile->get_Name(name.ReleaseAndGetAddressOf()), S_OK);
        }
        names.push_back(profile ? Text(name.Get()) : L"<null>");
    }
    return names;
}

std::vector<ProfileView> LoadAll() {
    std::vector<ProfileView> views;
    const ComPtr<INetProfilesList> list = NewList();
    EXPECT_EQ(list->Load(), S_OK);
    for (long i = 0, count = Count(list.Get()); i < count; ++i) views.push_back(View(At(list.Get(), i).Get()));
    return views;
}

} // namespace ProfilesTest
