#include "wmi/WmiReturnValue.h"
#include <wbemcli.h>
#include <cstdio>
#include <iterator>

namespace Varquel {

namespace {

enum class Family { Configuration, Printer };

struct CMethodInfo {
    WmiMethod method;
    const wchar_t* name;
    Family family;
    bool inParameters;
};

constexpr CMethodInfo kMethods[] = {
    {WmiMethod::ReleaseDHCPLease, L"ReleaseDHCPLease", Family::Configuration, false},
    {WmiMethod::RenewDHCPLease, L"RenewDHCPLease", Family::Configuration, false},
    {WmiMethod::EnableDHCP, L"EnableDHCP", Family::Configuration, false},
    {WmiMethod::EnableStatic, L"EnableStatic", Family::Configuration, true},
    {WmiMethod::SetGateways, L"SetGateways", Family::Configuration, true},
    {WmiMethod::SetDNSServerSearchOrder, L"SetDNSServerSearchOrder", Family::Configuration, true},
    {WmiMethod::SetWINSServer, L"SetWINSServer", Family::Configuration, true},
    {WmiMethod::SetDefaultPrinter, L"SetDefaultPrinter", Family::Printer, false},
};

const CMethodInfo& Info(WmiMethod method) noexcept {
    for (const CMethodInfo& info : kMethods)
        if (info.method == method) return info;
    return kMethods[0];
}

// "Write lock not enabled": another network-configuration client holds the
// lock. The uint32 arrives as a negative 32-bit number.
constexpr unsigned long kWriteLockHeld = 2147786788ul;

struct CEntry {
    long value;
    WmiVerdict verdict;
    const wchar_t* text;
};

// Answers that mean something else from one method than from its siblings.
struct CMethodEntry {
    WmiMethod method;
    CEntry entry;
};
constexpr CMethodEntry kMethodEntries[] = {
    // "the function still succeeds in setting with the new operation"
    {WmiMethod::EnableStatic, {81, WmiVerdict::Done, L"done: the adapter was static already, and the addresses are set"}},
    {WmiMethod::ReleaseDHCPLease, {100, WmiVerdict::Done, L"not needed: the adapter is static"}},
    {WmiMethod::RenewDHCPLease, {100, WmiVerdict::Done, L"not needed: the adapter is static"}},
};

// "EnableStatic method of the Win32_NetworkAdapterConfiguration class" and
// its siblings share one table.
constexpr CEntry kConfigurationResults[] = {
    {0, WmiVerdict::Done, L"done"},
    {1, WmiVerdict::RestartNeeded, L"done; the change takes effect after a restart"},
    {64, WmiVerdict::Failed, L"not supported by this adapter in its current state"},
    {65, WmiVerdict::Failed, L"unknown failure"},
    {66, WmiVerdict::Failed, L"invalid subnet mask"},
    {67, WmiVerdict::Failed, L"an error occurred while processing an instance"},
    {68, WmiVerdict::Failed, L"invalid input parameter"},
    {69, WmiVerdict::Failed, L"more than five gateways"},
    {70, WmiVerdict::Failed, L"invalid IP address"},
    {71, WmiVerdict::Failed, L"invalid gateway address"},
    {72, WmiVerdict::Failed, L"an error occurred while reading the registry"},
    {73, WmiVerdict::Failed, L"invalid domain name"},
    {74, WmiVerdict::Failed, L"invalid host name"},
    {75, WmiVerdict::Failed, L"no primary or secondary WINS server defined"},
    {76, WmiVerdict::Failed, L"invalid file"},
    {77, WmiVerdict::Failed, L"invalid system path"},
    {78, WmiVerdict::Failed, L"file copy failed"},
    {79, WmiVerdict::Failed, L"invalid security parameter"},
    {80, WmiVerdict::Failed, L"unable to configure the TCP/IP service"},
    {81, WmiVerdict::Failed, L"unable to configure the DHCP service"},
    {82, WmiVerdict::Failed, L"unable to renew the DHCP lease"},
    {83, WmiVerdict::Failed, L"unable to release the DHCP lease"},
    {84, WmiVerdict::Failed, L"IP is not enabled on this adapter"},
    {85, WmiVerdict::Failed, L"IPX is not enabled on this adapter"},
    {86, WmiVerdict::Failed, L"frame or network number out of bounds"},
    {87, WmiVerdict::Failed, L"invalid frame type"},
    {88, WmiVerdict::Failed, L"invalid network number"},
    {89, WmiVerdict::Failed, L"duplicate network number"},
    {90, WmiVerdict::Failed, L"parameter out of bounds"},
    {91, WmiVerdict::AccessDenied, L"access denied: administrator rights are needed"},
    {92, WmiVerdict::Failed, L"out of memory"},
    {93, WmiVerdict::Failed, L"already exists"},
    {94, WmiVerdict::Failed, L"path, file or object not found"},
    {95, WmiVerdict::Failed, L"unable to notify the service"},
    {96, WmiVerdict::Failed, L"unable to notify the DNS service"},
    {97, WmiVerdict::Failed, L"this interface cannot be configured"},
    {98, WmiVerdict::Failed, L"not all DHCP leases could be released or renewed"},
    {100, WmiVerdict::Failed, L"DHCP is not enabled on this adapter"},
    {static_cast<long>(kWriteLockHeld), WmiVerdict::LockHeld,
     L"another program is changing the network configuration; try again"},
};

// Win32_Printer's methods answer Win32 error codes.
constexpr CEntry kPrinterResults[] = {
    {0, WmiVerdict::Done, L"done"},
    {5, WmiVerdict::AccessDenied, L"access denied"},
    {1801, WmiVerdict::Failed, L"invalid printer name"},
};

CEntry Lookup(WmiMethod method, long value) noexcept {
    for (const CMethodEntry& special : kMethodEntries)
        if (special.method == method && special.entry.value == value) return special.entry;
    const bool printer = Info(method).family == Family::Printer;
    const CEntry* begin = printer ? std::begin(kPrinterResults) : std::begin(kConfigurationResults);
    const CEntry* end = printer ? std::end(kPrinterResults) : std::end(kConfigurationResults);
    for (const CEntry* entry = begin; entry != end; ++entry)
        if (entry->value == value) return *entry;
    return {value, WmiVerdict::Failed, L"unknown result"};
}

} // namespace

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

const wchar_t* WmiMethodName(WmiMethod method) noexcept { return Info(method).name; }

bool TakesInParameters(WmiMethod method) noexcept { return Info(method).inParameters; }

WmiVerdict VerdictOf(WmiMethod method, const CWmiAnswer& answer) noexcept {
    if (answer.hr == static_cast<HRESULT>(WBEM_E_ACCESS_DENIED)) return WmiVerdict::AccessDenied;
    if (FAILED(answer.hr)) return WmiVerdict::Failed;
    if (answer.returnValue == -1) return WmiVerdict::Done;  // ran, and nobody asked what it said
    return Lookup(method, answer.returnValue).verdict;
}

CWmiMeaning MeaningOf(WmiMethod method, const CWmiAnswer& answer) {
    const WmiVerdict verdict = VerdictOf(method, answer);
    if (answer.hr == static_cast<HRESULT>(WBEM_E_ACCESS_DENIED))
        return {verdict, L"access denied: administrator rights are needed (" + Hex(answer.hr) + L")"};
    if (FAILED(answer.hr)) return {verdict, L"the call failed (" + Hex(answer.hr) + L")"};
    if (answer.returnValue == -1) return {verdict, L"done"};
    const std::wstring number = std::to_wstring(static_cast<unsigned long>(answer.returnValue));
    return {verdict, std::wstring(Lookup(method, answer.returnValue).text) + L" (" + number + L")"};
}

} // namespace Varquel
