// Save and Load of 100 profiles (3 adapters each, 2 entries in each of the
// five address lists, a default printer), timed against writing and reading
// the same tree with plain registry calls. Prints medians and their ratios.
//
// It works on the store of the current user, so it refuses to run where a
// store exists already, and removes what it wrote.
#include "tests/support/InProcessServer.h"
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>
#include "adapters/AddressList.h"
#include "adapters/NetAdapterProperty.h"
#include "adapters/NetAdaptersList.h"
#include "com/Bstr.h"
#include "com/ComObject.h"
#include "com/Module.h"
#include "settings/PrintersProperty.h"
#include "Varquel_h.h"

namespace {

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;
using AddressKind = Varquel::CNetAdapterProperty::AddressKind;

constexpr int kProfiles = 100;
constexpr int kAdapters = 3;
constexpr int kEntries = 2;
constexpr int kRounds = 11;

const char kProduct[] = "Software\\Ostrel2";
const char kPlainProduct[] = "Software\\VarquelStoreBenchmark";
const char kPlainRoot[] = "Software\\VarquelStoreBenchmark\\Profiles";
const char* const kListKeys[5] = {"IPAddresses", "SubnetMasks", "GateWayAddresses", "DNSAddresses", "WINSServers"};

// The data of the benchmark, as narrow texts.
std::string ProfileName(int p) {
    char text[32];
    std::snprintf(text, sizeof text, "Profile %03d", p);
    return text;
}
std::string AdapterName(int a) { return "Network adapter " + std::to_string(a); }
std::string ConnectionName(int a) { return "Local Area Connection " + std::to_string(a); }
bool IsDhcp(int a) { return a == 2; }
std::string Entry(int kind, int a, int e) {
    return "10." + std::to_string(kind) + "." + std::to_string(a) + "." + std::to_string(e + 1);
}
std::string Printer(int p) { return "\\\\server\\Printer " + std::to_string(p % 7); }

CBstr Wide(const std::string& text) {
    const std::wstring wide(text.begin(), text.end());
    return CBstr(wide.c_str(), static_cast<UINT>(wide.size()));
}

bool Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) std::printf("%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

ComPtr<INetProfilesList> NewList() {
    ComPtr<INetProfilesList> list;
    Check(CoCreateInstance(CLSID_CNetProfilesList, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&list)), "CNetProfilesList");
    return list;
}

ComPtr<INetProfilesList> BuildList() {
    ComPtr<INetProfilesList> list = NewList();
    for (int p = 0; p < kProfiles; ++p) {
        ComPtr<INetProfile> profile;
        if (!Check(CoCreateInstance(CLSID_CNetProfile, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&profile)), "CNetProfile"))
            return nullptr;
        profile->put_Name(Wide(ProfileName(p)).Get());
        ComPtr<INetAdaptersList> adaptersItf;
        profile->get_NetAdaptersList(&adaptersItf);
        const ComPtr<Varquel::CNetAdaptersList> adapters = Varquel::ImplOf<Varquel::CNetAdaptersList>(adaptersItf.Get());
        for (int a = 0; a < kAdapters; ++a) {
            const ComPtr<Varquel::CNetAdapterProperty> adapter = adapters->AppendNewAdapter();
            adapter->SetName(Wide(AdapterName(a)));
            adapter->SetNetConnectionID(Wide(ConnectionName(a)));
            adapter->SetIsDhcp(IsDhcp(a) ? VARIANT_TRUE : VARIANT_FALSE);
            for (int kind = 0; kind < 5; ++kind)
                for (int e = 0; e < kEntries; ++e)
                    adapter->List(static_cast<AddressKind>(kind)).Append(Wide(Entry(kind, a, e)).Get());
        }
        ComPtr<IPrintersProperty> printers;
        profile->get_PrintersProperty(&printers);
        printers->SetDefault(Wide(Printer(p)).Get());
        list->Add(profile.Get());
    }
    return list;
}

// ---- The same tree with plain calls ----

HKEY Create(HKEY parent, const char* name) {
    HKEY key = nullptr;
    RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void PlainWrite() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kPlainRoot);
    const HKEY root = Create(HKEY_CURRENT_USER, kPlainRoot);
    for (int p = 0; p < kProfiles; ++p) {
        const HKEY profile = Create(root, ProfileName(p).c_str());
        const HKEY adapters = Create(profile, "NetAdapterList");
        for (int a = 0; a < kAdapters; ++a) {
            const HKEY adapter = Create(adapters, AdapterName(a).c_str());
            const DWORD dhcp = IsDhcp(a) ? 0xFFFFFFFF : 0;
            RegSetValueExA(adapter, "IsDHCP", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dhcp), sizeof dhcp);
            const std::string connection = ConnectionName(a);
            RegSetValueExA(adapter, "NetConnectionID", 0, REG_SZ, reinterpret_cast<const BYTE*>(connection.c_str()),
                           static_cast<DWORD>(connection.size() + 1));
            for (int kind = 0; kind < 5; ++kind) {
                const HKEY list = Create(adapter, kListKeys[kind]);
                for (int e = 0; e < kEntries; ++e) RegCloseKey(Create(list, Entry(kind, a, e).c_str()));
                RegCloseKey(list);
            }
            RegCloseKey(adapter);
        }
        const HKEY printers = Create(profile, "Printers");
        const std::string printer = Printer(p);
        RegSetValueExA(printers, "Default", 0, REG_SZ, reinterpret_cast<const BYTE*>(printer.c_str()),
                       static_cast<DWORD>(printer.size() + 1));
        RegCloseKey(printers);
        RegCloseKey(adapters);
        RegCloseKey(profile);
    }
    RegCloseKey(root);
}

struct PlainAdapter {
    std::string name, connection;
    DWORD dhcp = 0;
    std::array<std::vector<std::string>, 5> lists;
};
struct PlainProfile {
    std::string name, printer;
    std::vector<PlainAdapter> adapters;
};

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

HKEY Open(HKEY parent, const char* name) {
    HKEY key = nullptr;
    RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    return key;
}

std::string Text(HKEY key, const char* name) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) return {};
    return std::string(data);
}

std::vector<PlainProfile> PlainRead() {
    std::vector<PlainProfile> profiles;
    const HKEY root = Open(HKEY_CURRENT_USER, kPlainRoot);
    for (const std::string& profileName : SubkeyNames(root)) {
        PlainProfile profile;
        profile.name = profileName;
        const HKEY profileKey = Open(root, profileName.c_str());
        const HKEY adapters = Open(profileKey, "NetAdapterList");
        for (const std::string& adapterName : SubkeyNames(adapters)) {
            PlainAdapter adapter;
            adapter.name = adapterName;
            const HKEY adapterKey = Open(adapters, adapterName.c_str());
            adapter.connection = Text(adapterKey, "NetConnectionID");
            DWORD size = sizeof adapter.dhcp;
            RegQueryValueExA(adapterKey, "IsDHCP", nullptr, nullptr, reinterpret_cast<BYTE*>(&adapter.dhcp), &size);
            for (int kind = 0; kind < 5; ++kind) {
                const HKEY list = Open(adapterKey, kListKeys[kind]);
                adapter.lists[static_cast<size_t>(kind)] = SubkeyNames(list);
                RegCloseKey(list);
            }
            RegCloseKey(adapterKey);
            profile.adapters.push_back(std::move(adapter));
        }
        const HKEY printers = Open(profileKey, "Printers");
        profile.printer = Text(printers, "Default");
        RegCloseKey(printers);
        RegCloseKey(adapters);
        RegCloseKey(profileKey);
        profiles.push_back(std::move(profile));
    }
    RegCloseKey(root);
    return profiles;
}

// ---- Timing ----

double Milliseconds(const std::function<void()>& action) {
    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    action();
    QueryPerformanceCounter(&stop);
    return 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// What Load spends on objects alone: every profile, part, adapter and address
// list is created through CoCreateInstance, 21 objects per profile here.
void CreateObjectsOnly() {
    for (int p = 0; p < kProfiles; ++p) {
        ComPtr<INetProfile> profile;
        if (!Check(CoCreateInstance(CLSID_CNetProfile, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&profile)), "CNetProfile"))
            return;
        ComPtr<INetAdaptersList> adapters;
        profile->get_NetAdaptersList(&adapters);
        const ComPtr<Varquel::CNetAdaptersList> impl = Varquel::ImplOf<Varquel::CNetAdaptersList>(adapters.Get());
        for (int a = 0; a < kAdapters; ++a) impl->AppendNewAdapter();
    }
}

int Run() {
    if (KeyExists(kProduct)) {
        std::printf("HKCU\\%s exists: not overwriting a store; remove it first.\n", kProduct);
        return 1;
    }
    const ComPtr<INetProfilesList> list = BuildList();
    if (!list || !Check(list->Save(), "first Save")) return 1;
    PlainWrite();

    std::vector<double> saves, loads, plainWrites, plainReads, objectsOnly;
    long loaded = 0;
    size_t plainLoaded = 0;
    for (int round = 0; round < kRounds; ++round) {
        // Both writers replace a store of the same profiles.
        saves.push_back(Milliseconds([&] { Check(list->Save(), "Save"); }));
        plainWrites.push_back(Milliseconds(PlainWrite));
        ComPtr<INetProfilesList> target = NewList();
        loads.push_back(Milliseconds([&] { Check(target->Load(), "Load"); }));
        target->get_Count(&loaded);
        target.Reset();
        plainReads.push_back(Milliseconds([&] { plainLoaded = PlainRead().size(); }));
        objectsOnly.push_back(Milliseconds(CreateObjectsOnly));
    }

    std::printf("%d profiles x %d adapters x 5 lists x %d entries, median of %d rounds\n", kProfiles, kAdapters,
                kEntries, kRounds);
    std::printf("  Save %8.1f ms   plain write %8.1f ms   ratio %.2f\n", Median(saves), Median(plainWrites),
                Median(saves) / Median(plainWrites));
    std::printf("  Load %8.1f ms   plain read  %8.1f ms   ratio %.2f\n", Median(loads), Median(plainReads),
                Median(loads) / Median(plainReads));
    std::printf("  of the Load, creating its %d objects through CoCreateInstance alone: %.1f ms\n",
                kProfiles * (3 + kAdapters * 6), Median(objectsOnly));
    std::printf("  (loaded %ld profiles, plain read %zu)\n", loaded, plainLoaded);

    RegDeleteTreeA(HKEY_CURRENT_USER, kProduct);
    RegDeleteTreeA(HKEY_CURRENT_USER, kPlainProduct);
    return loaded == kProfiles && plainLoaded == static_cast<size_t>(kProfiles) ? 0 : 1;
}

} // namespace

int main() {
    VarquelTest::CInProcessServer server;
    return server.Ready() ? Run() : 2;
}
