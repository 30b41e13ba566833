#include "wmi/WmiReturnValue.h"
#include <iterator>

namespace Varquel {

namespace {

struct CMeaning {
    long value;
    const wchar_t* text;
};

// "EnableStatic method of the Win32_NetworkAdapterConfiguration class" and its
// siblings share one table.
constexpr CMeaning kConfigurationResults[] = {
    {0, L"done"},
    {1, L"done; the change takes effect after a restart"},
    {64, L"not supported by this adapter in its current state"},
    {65, L"unknown failure"},
    {66, L"invalid subnet mask"},
    {67, L"an error occurred while processing an instance"},
    {68, L"invalid input parameter"},
    {69, L"more than five gateways"},
    {70, L"invalid IP address"},
    {71, L"invalid gateway address"},
    {72, L"an error occurred while reading the registry"},
    {73, L"invalid domain name"},
    {74, L"invalid host name"},
    {75, L"no primary or secondary WINS server defined"},
    {76, L"invalid file"},
    {77, L"invalid system path"},
    {78, L"file copy failed"},
    {79, L"invalid security parameter"},
    {80, L"unable to configure the TCP/IP service"},
    {81, L"unable to configure the DHCP service"},
    {82, L"unable to renew the DHCP lease"},
    {83, L"unable to release the DHCP lease"},
    {84, L"IP is not enabled on this adapter"},
    {85, L"IPX is not enabled on this adapter"},
    {86, L"frame or network number out of bounds"},
    {87, L"invalid frame type"},
    {88, L"invalid network number"},
    {89, L"duplicate network number"},
    {90, L"parameter out of bounds"},
    {91, L"access denied: administrator rights are needed"},
    {92, L"out of memory"},
    {93, L"already exists"},
    {94, L"path, file or object not found"},
    {95, L"unable to notify the service"},
    {96, L"unable to notify the DNS service"},
    {97, L"this interface cannot be configured"},
    {98, L"not all DHCP leases could be released or renewed"},
    {100, L"DHCP is not enabled on this adapter"},
};

// Win32_Printer's methods answer Win32 error codes.
constexpr CMeaning kPrinterResults[] = {
    {0, L"done"},
    {5, L"access denied"},
    {1801, L"invalid printer name"},
};

const wchar_t* Meaning(WmiMethodFamily family, long value) noexcept {
    const CMeaning* begin = family == WmiMethodFamily::Printer ? std::begin(kPrinterResults)
                                                               : std::begin(kConfigurationResults);
    const CMeaning* end = family == WmiMethodFamily::Printer ? std::end(kPrinterResults)
                                                             : std::end(kConfigurationResults);
    for (const CMeaning* meaning = begin; meaning != end; ++meaning)
        if (meaning->value == value) return meaning->text;
    return nullptr;
}

} // namespace

bool ReturnValueSucceeded(WmiMethodFamily family, long returnValue) noexcept {
    return returnValue == 0 || (returnValue == 1 && family == WmiMethodFamily::AdapterConfiguration);
}

std::wstring ReturnValueMessage(WmiMethodFamily family, long returnValue) {
    // The write lock's value, 2147786788, arrives as a negative 32-bit number.
    if (family == WmiMethodFamily::AdapterConfiguration && static_cast<unsigned long>(returnValue) == 2147786788ul)
        return L"another program is changing the network configuration; try again (2147786788)";
    const wchar_t* meaning = Meaning(family, returnValue);
    return std::wstring(meaning ? meaning : L"unknown result") + L" (" + std::to_wstring(returnValue) + L")";
}

} // namespace Varquel
