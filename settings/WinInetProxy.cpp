#include "settings/WinInetProxy.h"
#include <wininet.h>
#include <memory>

namespace Varquel {

namespace {

// WinINet hands out the texts of a per-connection query from GlobalAlloc.
struct GlobalFreer {
    void operator()(wchar_t* text) const noexcept { GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

INTERNET_PER_CONN_OPTION_LISTW LanOptions(INTERNET_PER_CONN_OPTIONW* items, DWORD count) noexcept {
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof list;
    list.pszConnection = nullptr;  // the default (LAN) connection
    list.dwOptionCount = count;
    list.pOptions = items;
    return list;
}

} // namespace

// WinINet asks for the connection type to be read as the settings' user
// interface shows it (INTERNET_PER_CONN_FLAGS_UI, Internet Explorer 8 and
// later) and, where that is refused, as INTERNET_PER_CONN_FLAGS; it is set
// with INTERNET_PER_CONN_FLAGS either way.
std::optional<UserProxySetting> ReadUserProxy(IInternetOptions& options) {
    for (DWORD flagsOption : {DWORD{INTERNET_PER_CONN_FLAGS_UI}, DWORD{INTERNET_PER_CONN_FLAGS}}) {
        INTERNET_PER_CONN_OPTIONW items[2] = {};
        items[0].dwOption = flagsOption;
        items[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
        INTERNET_PER_CONN_OPTION_LISTW list = LanOptions(items, 2);
        DWORD length = sizeof list;
        const BOOL read = options.Query(INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &length);
        // Wine hands out the texts it read even when it refuses an option.
        GlobalText servers(items[1].Value.pszValue);
        if (!read) continue;
        UserProxySetting setting;
        setting.flags = items[0].Value.dwValue;
        if (servers) setting.servers = servers.get();
        return setting;
    }
    return std::nullopt;
}

void WriteUserProxy(IInternetOptions& options, DWORD flags, const std::wstring* servers) {
    std::wstring text = servers ? *servers : std::wstring();
    INTERNET_PER_CONN_OPTIONW items[2] = {};
    items[0].dwOption = INTERNET_PER_CONN_FLAGS;
    items[0].Value.dwValue = flags;
    items[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    items[1].Value.pszValue = text.data();
    INTERNET_PER_CONN_OPTION_LISTW list = LanOptions(items, servers ? 2 : 1);
    if (!options.Set(INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list)) return;
    // The notices' own answers say nothing about the setting, which is made
    // (Wine answers FALSE to the refresh).
    options.Set(INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    options.Set(INTERNET_OPTION_REFRESH, nullptr, 0);
}

} // namespace Varquel
