#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include "settings/InternetOptions.h"

namespace Varquel {

// The current user's proxy for the default (LAN) connection, as WinINet's
// per-connection options hold it.
struct UserProxySetting {
    DWORD flags = 0;       // PROXY_TYPE_*: PROXY_TYPE_PROXY is the manual proxy
    std::wstring servers;  // the manual proxy's server list
};

// Reads the flags and the server list; nullopt when WinINet cannot.
std::optional<UserProxySetting> ReadUserProxy(IInternetOptions& options);

// Sets the flags, and the server list when one is given (no other option is
// sent, so auto-detection, the setup script and the bypass list stay), then
// tells running programs. A setting WinINet refuses is not made, and nobody
// is told.
void WriteUserProxy(IInternetOptions& options, DWORD flags, const std::wstring* servers);

} // namespace Varquel
