// VarquelClient: a Varquel client in C++, early-bound through the generated
// header Varquel.h (IIDs and CLSIDs from Varquel_i.c), as the SDK has them.
//
//   VarquelClient list                  stored profiles
//   VarquelClient current               the machine's configuration now
//   VarquelClient capture NAME          capture the machine as profile NAME and store it,
//                                       and remember the user's proxy with it
//   VarquelClient show NAME             what profile NAME holds, and its proxy
//   VarquelClient apply NAME            write profile NAME to the machine
//   VarquelClient preview NAME          what switching to profile NAME would change
//   VarquelClient switch NAME           switch to NAME and its proxy, verified, rolled
//                                       back on failure
//   VarquelClient delete NAME           remove profile NAME and its proxy
//   VarquelClient proxy                 the machine's proxy server and port, and the
//                                       user's whole proxy setting
//   VarquelClient proxy SERVER PORT     set the server and port
//   VarquelClient shares                the machine's network shares
//
// Exit status: 0 done, 1 wrong usage, 2 no such profile, 3 a call failed,
// 4 the switch failed (the report says which settings).
// Varquel.dll must be registered (regsvr32): the objects create their own
// children through COM too.
#include <windows.h>
#include <wrl/client.h>
#include <cstdio>
#include <string>
#include <vector>
#include "Varquel.h"
#include "com/Bstr.h"   // Varquel::CBstr owns a BSTR (in the SDK too); any BSTR holder does the same job

using Microsoft::WRL::ComPtr;
using Varquel::CBstr;

namespace {

enum ExitStatus { kDone = 0, kUsage = 1, kNoProfile = 2, kFailed = 3, kSwitchFailed = 4 };

// A failed call, carried to main. Every member returns an HRESULT; the
// machine-changing ones return S_OK whatever the machine did.
struct CallFailed {
    HRESULT hr;
    const char* call;
};

void Check(HRESULT hr, const char* call) {
    if (FAILED(hr)) throw CallFailed{hr, call};
}

// The objects are apartment-threaded: give this thread a single-threaded apartment.
class CApartment {
public:
    CApartment() { Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx"); }
    ~CApartment() { CoUninitialize(); }
    CApartment(const CApartment&) = delete;
    CApartment& operator=(const CApartment&) = delete;
};

template <class Interface>
ComPtr<Interface> Create(REFCLSID clsid) {
    ComPtr<Interface> object;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), "CoCreateInstance");
    return object;
}

std::string Narrow(const wchar_t* text, int length) {
    if (!text || length <= 0) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::string Narrow(const CBstr& text) { return Narrow(text.Get(), static_cast<int>(text.Length())); }

CBstr Wide(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return CBstr(wide.c_str());
}

std::string OrNone(const CBstr& text) { return text.Length() ? Narrow(text) : "(none)"; }

// ---- Reading the objects ----

// An address list as "a, b, c".
std::string AddressText(IAddressList* list) {
    long count = 0;
    Check(list->get_Count(&count), "IAddressList::Count");
    std::string text;
    for (long i = 0; i < count; ++i) {
        CBstr entry;
        Check(list->GetAt(i, entry.ReleaseAndGetAddressOf()), "IAddressList::GetAt");
        if (i) text += ", ";
        text += Narrow(entry);
    }
    return text.empty() ? "(none)" : text;
}

// One of the adapter's five lists, printed under a label.
void PrintList(const char* label, INetAdapterProperty* adapter,
               HRESULT (STDMETHODCALLTYPE INetAdapterProperty::*getter)(IAddressList**)) {
    ComPtr<IAddressList> list;
    Check((adapter->*getter)(&list), label);
    std::printf("    %-13s %s\n", label, AddressText(list.Get()).c_str());
}

// Prints one profile: its adapters, then its default printer.
void PrintProfile(INetProfile* profile) {
    CBstr name;
    Check(profile->get_Name(name.ReleaseAndGetAddressOf()), "INetProfile::Name");
    ComPtr<INetAdaptersList> adapters;
    Check(profile->get_NetAdaptersList(&adapters), "INetProfile::NetAdaptersList");
    long count = 0;
    Check(adapters->get_Count(&count), "INetAdaptersList::Count");
    std::printf("Profile \"%s\": %ld adapter(s)\n", Narrow(name).c_str(), count);

    for (long i = 0; i < count; ++i) {
        ComPtr<INetAdapterProperty> adapter;
        Check(adapters->NetAdapterPropertyGetAt(i, &adapter), "INetAdaptersList::NetAdapterPropertyGetAt");
        CBstr adapterName, connection;
        VARIANT_BOOL dhcp = VARIANT_FALSE;
        Check(adapter->get_Name(adapterName.ReleaseAndGetAddressOf()), "INetAdapterProperty::Name");
        Check(adapter->get_NetConnectionID(connection.ReleaseAndGetAddressOf()), "INetAdapterProperty::NetConnectionID");
        Check(adapter->get_IsDHCP(&dhcp), "INetAdapterProperty::IsDHCP");
        std::printf("  %s  (connection \"%s\")\n", Narrow(adapterName).c_str(), Narrow(connection).c_str());
        if (dhcp) {  // any non-zero value is true
            // A DHCP adapter's profile holds only "DHCP", not its lease.
            std::printf("    DHCP\n");
            continue;
        }
        std::printf("    static\n");
        PrintList("IP addresses", adapter.Get(), &INetAdapterProperty::get_IPAddresses);
        PrintList("subnet masks", adapter.Get(), &INetAdapterProperty::get_SubnetMasks);
        PrintList("gateways", adapter.Get(), &INetAdapterProperty::get_GateWayAddresses);
        PrintList("DNS servers", adapter.Get(), &INetAdapterProperty::get_DNSAddresses);
        PrintList("WINS servers", adapter.Get(), &INetAdapterProperty::get_WINSServers);
    }

    // GetDefault is the printer's DeviceID; empty or null when there is none.
    ComPtr<IPrintersProperty> printers;
    Check(profile->get_PrintersProperty(&printers), "INetProfile::PrintersProperty");
    CBstr printer;
    Check(printers->GetDefault(printer.ReleaseAndGetAddressOf()), "IPrintersProperty::GetDefault");
    std::printf("  default printer %s\n", OrNone(printer).c_str());
}

// ---- The store ----

// A fresh list holding the stored profiles. Load appends, so never reuse a list.
// Load also creates the store on a new machine, which Save needs.
ComPtr<INetProfilesList> LoadProfiles() {
    auto profiles = Create<INetProfilesList>(CLSID_CNetProfilesList);
    Check(profiles->Load(), "INetProfilesList::Load");
    return profiles;
}

// Position of profile NAME in the list, or -1. Stored names are registry key
// names, which ignore case, so the match does too.
long FindProfile(INetProfilesList* profiles, const CBstr& name) {
    long count = 0;
    Check(profiles->get_Count(&count), "INetProfilesList::Count");
    for (long i = 0; i < count; ++i) {
        ComPtr<INetProfile> profile;
        Check(profiles->NetProfileGetAt(i, &profile), "INetProfilesList::NetProfileGetAt");
        CBstr stored;
        Check(profile->get_Name(stored.ReleaseAndGetAddressOf()), "INetProfile::Name");
        if (lstrcmpiW(stored.IsNull() ? L"" : stored.Get(), name.IsNull() ? L"" : name.Get()) == 0) return i;
    }
    return -1;
}

// The stored profile NAME, or none (with a message).
ComPtr<INetProfile> FindStored(INetProfilesList* profiles, const CBstr& name, long& index) {
    ComPtr<INetProfile> profile;
    index = FindProfile(profiles, name);
    if (index < 0) std::printf("No stored profile \"%s\".\n", Narrow(name).c_str());
    else Check(profiles->NetProfileGetAt(index, &profile), "INetProfilesList::NetProfileGetAt");
    return profile;
}

// ---- Commands ----

int List() {
    auto profiles = LoadProfiles();
    long count = 0;
    Check(profiles->get_Count(&count), "INetProfilesList::Count");
    if (count == 0) std::printf("No stored profiles.\n");
    for (long i = 0; i < count; ++i) {
        ComPtr<INetProfile> profile;
        Check(profiles->NetProfileGetAt(i, &profile), "INetProfilesList::NetProfileGetAt");
        CBstr name;
        Check(profile->get_Name(name.ReleaseAndGetAddressOf()), "INetProfile::Name");
        std::printf("%s\n", Narrow(name).c_str());
    }
    return kDone;
}

int Current() {
    // A profile that is never added to a list is never stored.
    auto profile = Create<INetProfile>(CLSID_CNetProfile);
    CBstr name(L"(current)");
    Check(profile->put_Name(name.Get()), "INetProfile::Name");
    Check(profile->GetCurrent(), "INetProfile::GetCurrent");
    PrintProfile(profile.Get());
    return kDone;
}

// A UserProxy's six fields on one line.
std::string UserProxyText(IUserProxy* user) {
    VARIANT_BOOL detect = VARIANT_FALSE, script = VARIANT_FALSE, manual = VARIANT_FALSE;
    CBstr url, servers, bypass;
    Check(user->get_AutoDetect(&detect), "IUserProxy::AutoDetect");
    Check(user->get_AutoConfigEnabled(&script), "IUserProxy::AutoConfigEnabled");
    Check(user->get_AutoConfigURL(url.ReleaseAndGetAddressOf()), "IUserProxy::AutoConfigURL");
    Check(user->get_ProxyEnabled(&manual), "IUserProxy::ProxyEnabled");
    Check(user->get_ProxyServer(servers.ReleaseAndGetAddressOf()), "IUserProxy::ProxyServer");
    Check(user->get_ProxyBypass(bypass.ReleaseAndGetAddressOf()), "IUserProxy::ProxyBypass");
    auto onOff = [](VARIANT_BOOL flag) { return std::string(flag ? "on" : "off"); };
    return "detect " + onOff(detect) + ", script " + onOff(script) + " " + OrNone(url) + ", server " + onOff(manual) +
           " " + OrNone(servers) + ", bypass " + OrNone(bypass);
}

// The proxy remembered with a profile lives beside the store, under the
// profile's name; GetProxy gives null when there is none.
void PrintRememberedProxy(INetProfile* profile) {
    auto profileSwitch = Create<IProfileSwitch2>(CLSID_CProfileSwitch);
    ComPtr<IUserProxy> remembered;
    Check(profileSwitch->GetProxy(profile, &remembered), "IProfileSwitch2::GetProxy");
    std::printf("  proxy %s\n", remembered ? UserProxyText(remembered.Get()).c_str() : "(none remembered)");
}

int Capture(const CBstr& name) {
    auto profiles = LoadProfiles();
    auto profile = Create<INetProfile>(CLSID_CNetProfile);
    Check(profile->put_Name(name.Get()), "INetProfile::Name");
    Check(profile->GetCurrent(), "INetProfile::GetCurrent");  // adapters' IP configuration, default printer
    long index = FindProfile(profiles.Get(), name);
    if (index >= 0) Check(profiles->NetProfileSetAt(index, profile.Get()), "INetProfilesList::NetProfileSetAt");
    else Check(profiles->Add(profile.Get()), "INetProfilesList::Add");
    Check(profiles->Save(), "INetProfilesList::Save");  // rewrites the whole store from the list
    // The user's whole proxy setting, remembered with the profile.
    auto user = Create<IUserProxy>(CLSID_CUserProxy);
    Check(user->GetCurrent(), "IUserProxy::GetCurrent");
    Check(Create<IProfileSwitch2>(CLSID_CProfileSwitch)->SetProxy(profile.Get(), user.Get()), "IProfileSwitch2::SetProxy");
    std::printf("Captured and stored:\n");
    PrintProfile(profile.Get());
    PrintRememberedProxy(profile.Get());
    return kDone;
}

int Show(const CBstr& name) {
    auto profiles = LoadProfiles();
    long index = -1;
    auto profile = FindStored(profiles.Get(), name, index);
    if (!profile) return kNoProfile;
    PrintProfile(profile.Get());
    PrintRememberedProxy(profile.Get());
    return kDone;
}

int Apply(const CBstr& name) {
    auto profiles = LoadProfiles();
    long index = -1;
    auto profile = FindStored(profiles.Get(), name, index);
    if (!profile) return kNoProfile;
    // IP configuration first (stored adapters go to the machine adapters of the
    // same Name), then the default printer. S_OK does not say what the machine
    // accepted: run "current" to see.
    Check(profile->Apply(), "INetProfile::Apply");
    std::printf("Applied \"%s\".\n", Narrow(name).c_str());
    return kDone;
}

// A switch's report holds one change per setting.
void PrintChanges(IApplyReport* report) {
    long count = 0;
    Check(report->get_Count(&count), "IApplyReport::Count");
    for (long i = 0; i < count; ++i) {
        ComPtr<IApplyChange> change;
        Check(report->Item(i, &change), "IApplyReport::Item");
        CBstr connection, setting, before, planned, message;
        Check(change->get_NetConnectionID(connection.ReleaseAndGetAddressOf()), "IApplyChange::NetConnectionID");
        Check(change->get_Setting(setting.ReleaseAndGetAddressOf()), "IApplyChange::Setting");
        Check(change->get_Before(before.ReleaseAndGetAddressOf()), "IApplyChange::Before");
        Check(change->get_Planned(planned.ReleaseAndGetAddressOf()), "IApplyChange::Planned");
        Check(change->get_Message(message.ReleaseAndGetAddressOf()), "IApplyChange::Message");
        std::string value = Narrow(before) == Narrow(planned) ? Narrow(before) : Narrow(before) + " -> " + Narrow(planned);
        std::printf("  %s%s%s: %s (%s)\n", Narrow(connection).c_str(), connection.Length() ? " " : "",
                    Narrow(setting).c_str(), value.empty() ? "(none)" : value.c_str(), Narrow(message).c_str());
    }
}

int Preview(const CBstr& name) {
    auto profiles = LoadProfiles();
    long index = -1;
    auto profile = FindStored(profiles.Get(), name, index);
    if (!profile) return kNoProfile;
    auto profileSwitch = Create<IProfileSwitch2>(CLSID_CProfileSwitch);
    Check(profileSwitch->put_IncludeProxy(VARIANT_TRUE), "IProfileSwitch2::IncludeProxy");  // the remembered proxy too
    ComPtr<IApplyReport> report;
    Check(profileSwitch->Preview(profile.Get(), &report), "IProfileSwitch::Preview");  // changes nothing
    std::printf("Switching to \"%s\" would do this:\n", Narrow(name).c_str());
    PrintChanges(report.Get());
    return kDone;
}

int Switch(const CBstr& name) {
    auto profiles = LoadProfiles();
    long index = -1;
    auto profile = FindStored(profiles.Get(), name, index);
    if (!profile) return kNoProfile;
    // Unlike Apply, the switch reads the machine back and rolls back a failed
    // switch, and it moves the profile's remembered proxy too.
    auto profileSwitch = Create<IProfileSwitch2>(CLSID_CProfileSwitch);
    Check(profileSwitch->put_IncludeProxy(VARIANT_TRUE), "IProfileSwitch2::IncludeProxy");
    ComPtr<IApplyReport> report;
    Check(profileSwitch->Apply(profile.Get(), &report), "IProfileSwitch::Apply");
    CBstr text;
    Check(report->get_Text(text.ReleaseAndGetAddressOf()), "IApplyReport::Text");
    std::printf("%s", Narrow(text).c_str());
    VARIANT_BOOL succeeded = VARIANT_FALSE;
    Check(report->get_Succeeded(&succeeded), "IApplyReport::Succeeded");
    return succeeded ? kDone : kSwitchFailed;
}

int Delete(const CBstr& name) {
    auto profiles = LoadProfiles();
    long index = -1;
    auto profile = FindStored(profiles.Get(), name, index);
    if (!profile) return kNoProfile;
    Check(profiles->NetProfileRemoveAt(index), "INetProfilesList::NetProfileRemoveAt");
    Check(profiles->Save(), "INetProfilesList::Save");
    // The store of profiles knows nothing of the proxy remembered with one.
    Check(Create<IProfileSwitch2>(CLSID_CProfileSwitch)->ForgetProxy(profile.Get()), "IProfileSwitch2::ForgetProxy");
    std::printf("Deleted \"%s\".\n", Narrow(name).c_str());
    return kDone;
}

int Proxy(const CBstr* server, const CBstr* port) {
    // Only the HTTP server and port are exchanged with the machine.
    auto proxy = Create<IProxyProperty>(CLSID_CProxyProperty);
    if (server) {
        Check(proxy->put_HTTPServer(server->Get()), "IProxyProperty::HTTPServer");
        Check(proxy->put_HTTPPort(port->Get()), "IProxyProperty::HTTPPort");
        Check(proxy->Apply(), "IProxyProperty::Apply");
        std::printf("Proxy set.\n");
    }
    Check(proxy->GetCurrent(), "IProxyProperty::GetCurrent");
    CBstr host, number;
    Check(proxy->get_HTTPServer(host.ReleaseAndGetAddressOf()), "IProxyProperty::HTTPServer");
    Check(proxy->get_HTTPPort(number.ReleaseAndGetAddressOf()), "IProxyProperty::HTTPPort");
    std::printf("proxy %s  port %s\n", OrNone(host).c_str(), OrNone(number).c_str());

    // The current user's whole setting, as the proxy settings screen shows it.
    auto user = Create<IUserProxy>(CLSID_CUserProxy);
    Check(user->GetCurrent(), "IUserProxy::GetCurrent");
    std::printf("user's proxy: %s\n", UserProxyText(user.Get()).c_str());
    return kDone;
}

int Shares() {
    auto shares = Create<INetShareList>(CLSID_CNetShareList);
    Check(shares->GetCurrent(), "INetShareList::GetCurrent");  // appends to the (new, empty) list
    long count = 0;
    Check(shares->get_Count(&count), "INetShareList::Count");
    if (count == 0) std::printf("No shares.\n");
    for (long i = 0; i < count; ++i) {
        CBstr name, path;
        Check(shares->NameGetAt(i, name.ReleaseAndGetAddressOf()), "INetShareList::NameGetAt");
        Check(shares->PathGetAt(i, path.ReleaseAndGetAddressOf()), "INetShareList::PathGetAt");
        std::printf("%s  %s\n", Narrow(name).c_str(), path.Length() ? Narrow(path).c_str() : "(no path)");
    }
    return kDone;
}

int Usage() {
    std::printf("usage: VarquelClient list | current | capture NAME | show NAME | apply NAME | delete NAME\n"
                "                     | preview NAME | switch NAME | proxy [SERVER PORT] | shares\n");
    return kUsage;
}

int Run(const std::vector<std::string>& args) {
    const std::string command = args.empty() ? "" : args[0];
    const size_t n = args.size();
    if (command == "list" && n == 1) return List();
    if (command == "current" && n == 1) return Current();
    if (command == "shares" && n == 1) return Shares();
    if (command == "proxy" && n == 1) return Proxy(nullptr, nullptr);
    if (command == "proxy" && n == 3) {
        CBstr server = Wide(args[1].c_str()), port = Wide(args[2].c_str());
        return Proxy(&server, &port);
    }
    if (n != 2 || args[1].empty()) return Usage();
    CBstr name = Wide(args[1].c_str());
    if (command == "capture") return Capture(name);
    if (command == "show") return Show(name);
    if (command == "apply") return Apply(name);
    if (command == "delete") return Delete(name);
    if (command == "preview") return Preview(name);
    if (command == "switch") return Switch(name);
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        CApartment apartment;
        int status = Run(args);
        std::fflush(stdout);
        return status;
    } catch (const CallFailed& failure) {
        std::printf("Failed: %s returned 0x%08lX\n", failure.call, static_cast<unsigned long>(failure.hr));
        return kFailed;
    }
}
