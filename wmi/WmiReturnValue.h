#pragma once
#include <windows.h>
#include <string>

namespace Varquel {

// The WMI classes whose methods report a ReturnValue that this server reads.
enum class WmiMethodFamily { AdapterConfiguration, Printer };

// Whether a method's ReturnValue says it did what it was asked: 0, and 1
// (done, a reboot is needed) for the adapter configuration.
bool ReturnValueSucceeded(WmiMethodFamily family, long returnValue) noexcept;

// A short English text for a ReturnValue, as Windows documents the methods'
// results, with the number: "access denied: administrator rights are needed
// (91)". An undocumented value gives "unknown result (n)".
std::wstring ReturnValueMessage(WmiMethodFamily family, long returnValue);

} // namespace Varquel
