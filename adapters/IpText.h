#pragma once
#include <windows.h>
#include "com/StringArray.h"

// How the machine writes the entries of an adapter's address lists. Windows
// reports an adapter's IPv6 addresses (and their prefix lengths, in the
// masks) beside the IPv4 ones, but its configuration methods take IPv4 only.
namespace Varquel::IpText {

// Four dot-separated decimal numbers, each 0 to 255.
bool IsIPv4(BSTR entry) noexcept;
// Any entry that holds a colon.
bool IsIPv6(BSTR entry) noexcept;
// Decimal digits only, such as "64": an IPv6 prefix length, never a mask.
bool IsPrefixLength(BSTR entry) noexcept;

// What an IPv4-only method is sent of a list: every entry in order but the
// IPv6 ones and the prefix lengths. Anything else stays, for the machine to
// judge.
CStringArray ForIPv4Methods(const CStringArray& entries);

} // namespace Varquel::IpText
