#pragma once
#include <windows.h>
#include <string>
#include "settings/InternetOptions.h"

namespace Varquel {

// The current user's whole proxy setting for the LAN connection, as the
// proxy settings screen shows it: what a CUserProxy holds, a value that can be
// kept, compared and written back on its own.
struct UserProxySetting {
    bool autoDetect = false;         // "Automatically detect settings"
    bool autoConfigEnabled = false;  // "Use setup script"
    std::wstring autoConfigUrl;      // the script's address, kept while unused
    bool proxyEnabled = false;       // "Use a proxy server"
    std::wstring proxyServer;        // WinINet's server list
    std::wstring proxyBypass;        // WinINet's bypass list

    bool operator==(const UserProxySetting&) const = default;
};

// Reads the whole setting into `setting`, which is changed only on success;
// WinINet's error when it cannot.
HRESULT ReadUserProxy(IInternetOptions& options, UserProxySetting& setting);

// Writes the whole setting as it is, unchecked, then tells running programs;
// WinINet's error, with nothing changed, when it refuses.
HRESULT WriteUserProxy(IInternetOptions& options, const UserProxySetting& setting);

// S_OK for a setting fit to be written, else E_INVALIDARG. A text equal to
// the one in `read` (what was found, or null) is taken as it is, and so is a
// script in use without an address when that is what was found.
HRESULT CheckUserProxy(const UserProxySetting& setting, const UserProxySetting* read);

} // namespace Varquel
