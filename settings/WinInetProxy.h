#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include "settings/InternetOptions.h"

namespace Varquel {

// The current user's proxy for the default (LAN) connection, as WinINet's
// per-connection options hold it.
struct WinInetProxySetting {
    DWORD flags = 0;       // PROXY_TYPE_*
    std::wstring servers;  // the manual proxy's server list
    std::wstring bypass;   // the hosts reached without the manual proxy
    std::wstring script;   // the setup script's URL
};

// How much of the setting a read or a write covers: always the flags, then
// the texts up to the one named, in the order of the fields above.
enum class WinInetProxyParts { Flags, Servers, Whole };

// Reads the flags and the texts of `parts` (the others stay empty); nullopt,
// with WinINet's last error set, when WinINet cannot.
std::optional<WinInetProxySetting> ReadWinInetProxy(IInternetOptions& options, WinInetProxyParts parts);

// Sets the flags and the texts of `parts` (no other option is sent, so the
// rest stays as it is), then tells running programs. A setting WinINet
// refuses is not made, nobody is told, and its error is returned.
HRESULT WriteWinInetProxy(IInternetOptions& options, const WinInetProxySetting& setting, WinInetProxyParts parts);

} // namespace Varquel
