#pragma once
#include <windows.h>
#include <string>

namespace Varquel {

// The WMI methods whose answers this server reads.
enum class WmiMethod : unsigned char {
    ReleaseDHCPLease,
    RenewDHCPLease,
    EnableDHCP,
    EnableStatic,
    SetGateways,
    SetDNSServerSearchOrder,
    SetWINSServer,
    SetDefaultPrinter,
};

// The method's WMI name.
const wchar_t* WmiMethodName(WmiMethod method) noexcept;
// Whether it takes in-parameters (it is called through a prepared call);
// the others are called without any.
bool TakesInParameters(WmiMethod method) noexcept;

// What the machine answered one call.
struct CWmiAnswer {
    HRESULT hr = S_OK;      // of ExecMethod_
    long returnValue = -1;  // the out-parameters' ReturnValue; -1 when none was read
};

// What an answer means, as Windows documents it.
enum class WmiVerdict : unsigned char {
    Done,           // 0, and the answers documented as harmless (81 from EnableStatic, 100 from the lease methods)
    RestartNeeded,  // 1: done, in effect after a restart
    AccessDenied,   // 91, or WBEM_E_ACCESS_DENIED from ExecMethod_: administrator rights are needed
    LockHeld,       // 2147786788: another program holds the network configuration's write lock
    Failed,         // anything else
};

struct CWmiMeaning {
    WmiVerdict verdict;
    std::wstring text;  // short English, with the number: "invalid IP address (70)"
};

// The one table of answers. An answer without a ReturnValue is judged by its
// HRESULT alone.
WmiVerdict VerdictOf(WmiMethod method, const CWmiAnswer& answer) noexcept;
CWmiMeaning MeaningOf(WmiMethod method, const CWmiAnswer& answer);

// An HRESULT as the messages show it: "0x80041003".
std::wstring Hex(HRESULT hr);

inline bool Succeeded(WmiVerdict verdict) noexcept {
    return verdict == WmiVerdict::Done || verdict == WmiVerdict::RestartNeeded;
}

} // namespace Varquel
