#include "settings/WinInetProxy.h"
#include <wininet.h>
#include <memory>
#include "com/Boundary.h"

namespace Varquel {

namespace {

// WinINet hands out the texts of a per-connection query from GlobalAlloc.
struct GlobalFreer {
    void operator()(wchar_t* text) const noexcept { GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

// Each text's option and field, in the order of WinInetProxyParts.
struct TextOption {
    DWORD option;
    std::wstring WinInetProxySetting::*field;
};
constexpr TextOption kTexts[] = {
    {INTERNET_PER_CONN_PROXY_SERVER, &WinInetProxySetting::servers},
    {INTERNET_PER_CONN_PROXY_BYPASS, &WinInetProxySetting::bypass},
    {INTERNET_PER_CONN_AUTOCONFIG_URL, &WinInetProxySetting::script},
};
constexpr DWORD kMaxOptions = 1 + std::size(kTexts);

DWORD TextCount(WinInetProxyParts parts) noexcept {
    switch (parts) {
    case WinInetProxyParts::Flags: return 0;
    case WinInetProxyParts::Servers: return 1;
    case WinInetProxyParts::Whole: break;
    }
    return std::size(kTexts);
}

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
std::optional<WinInetProxySetting> ReadWinInetProxy(IInternetOptions& options, WinInetProxyParts parts) {
    const DWORD texts = TextCount(parts);
    DWORD error = ERROR_SUCCESS;
    for (DWORD flagsOption : {DWORD{INTERNET_PER_CONN_FLAGS_UI}, DWORD{INTERNET_PER_CONN_FLAGS}}) {
        INTERNET_PER_CONN_OPTIONW items[kMaxOptions] = {};
        items[0].dwOption = flagsOption;
        for (DWORD i = 0; i < texts; ++i) items[1 + i].dwOption = kTexts[i].option;
        INTERNET_PER_CONN_OPTION_LISTW list = LanOptions(items, 1 + texts);
        DWORD length = sizeof list;
        const BOOL read = options.Query(INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &length);
        if (!read) error = GetLastError();
        // Wine hands out the texts it read even when it refuses an option.
        GlobalText held[std::size(kTexts)];
        for (DWORD i = 0; i < texts; ++i) held[i].reset(items[1 + i].Value.pszValue);
        if (!read) continue;
        WinInetProxySetting setting;
        setting.flags = items[0].Value.dwValue;
        for (DWORD i = 0; i < texts; ++i)
            if (held[i]) setting.*kTexts[i].field = held[i].get();
        return setting;
    }
    SetLastError(error);
    return std::nullopt;
}

HRESULT WriteWinInetProxy(IInternetOptions& options, const WinInetProxySetting& setting, WinInetProxyParts parts) {
    const DWORD texts = TextCount(parts);
    // WinINet takes the texts as writable pointers.
    std::wstring copies[std::size(kTexts)];
    INTERNET_PER_CONN_OPTIONW items[kMaxOptions] = {};
    items[0].dwOption = INTERNET_PER_CONN_FLAGS;
    items[0].Value.dwValue = setting.flags;
    for (DWORD i = 0; i < texts; ++i) {
        copies[i] = setting.*kTexts[i].field;
        items[1 + i].dwOption = kTexts[i].option;
        items[1 + i].Value.pszValue = copies[i].data();
    }
    INTERNET_PER_CONN_OPTION_LISTW list = LanOptions(items, 1 + texts);
    if (!options.Set(INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list))
        return HResultFromWin32Error(GetLastError());
    // The notices' own answers say nothing about the setting, which is made
    // (Wine answers FALSE to the refresh).
    options.Set(INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    options.Set(INTERNET_OPTION_REFRESH, nullptr, 0);
    return S_OK;
}

} // namespace Varquel
