#include "settings/UserProxySetting.h"
#include <wininet.h>
#include <cwctype>
#include <optional>
#include <string_view>
#include "com/Boundary.h"
#include "settings/ProxyServerList.h"
#include "settings/WinInetProxy.h"

namespace Varquel {

namespace {

bool HasControlCharacter(std::wstring_view text) noexcept {
    for (wchar_t c : text)
        if (IsControlCharacter(c)) return true;
    return false;
}

bool HasWhitespace(std::wstring_view text) noexcept {
    for (wchar_t c : text)
        if (std::iswspace(c)) return true;
    return false;
}

bool IsAsciiLetter(wchar_t c) noexcept { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "scheme:rest": a scheme of two or more letters, digits, "+", "-" or "."
// that starts with a letter (a single letter is a drive, "C:\proxy.pac"), and
// something after it, and after "//" where that follows ("file:///C:/p.pac").
bool IsAbsoluteUrl(std::wstring_view url) noexcept {
    const std::size_t colon = url.find(L':');
    if (colon == std::wstring_view::npos || colon < 2 || !IsAsciiLetter(url[0])) return false;
    for (wchar_t c : url.substr(1, colon - 1))
        if (!IsAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') return false;
    const std::wstring_view rest = url.substr(colon + 1);
    return !rest.empty() && rest != L"//";
}

} // namespace

HRESULT ReadUserProxy(IInternetOptions& options, UserProxySetting& setting) {
    std::optional<WinInetProxySetting> read = ReadWinInetProxy(options, WinInetProxyParts::Whole);
    if (!read) return HResultFromWin32Error(GetLastError());
    UserProxySetting found;
    found.autoDetect = (read->flags & PROXY_TYPE_AUTO_DETECT) != 0;
    found.autoConfigEnabled = (read->flags & PROXY_TYPE_AUTO_PROXY_URL) != 0;
    found.autoConfigUrl = std::move(read->script);
    found.proxyEnabled = (read->flags & PROXY_TYPE_PROXY) != 0;
    found.proxyServer = std::move(read->servers);
    found.proxyBypass = std::move(read->bypass);
    setting = std::move(found);
    return S_OK;
}

HRESULT WriteUserProxy(IInternetOptions& options, const UserProxySetting& setting) {
    WinInetProxySetting sent;
    sent.flags = PROXY_TYPE_DIRECT;
    if (setting.proxyEnabled) sent.flags |= PROXY_TYPE_PROXY;
    if (setting.autoConfigEnabled) sent.flags |= PROXY_TYPE_AUTO_PROXY_URL;
    if (setting.autoDetect) sent.flags |= PROXY_TYPE_AUTO_DETECT;
    sent.servers = setting.proxyServer;
    sent.bypass = setting.proxyBypass;
    sent.script = setting.autoConfigUrl;
    return WriteWinInetProxy(options, sent, WinInetProxyParts::Whole);
}

// WinINet itself takes lists parted by spaces, and the registry can be
// edited by hand: what was found is always taken back.
HRESULT CheckUserProxy(const UserProxySetting& setting, const UserProxySetting* read) {
    const auto found = [&](std::wstring UserProxySetting::*text) { return read && setting.*text == read->*text; };
    const std::wstring& url = setting.autoConfigUrl;
    const bool urlFit = found(&UserProxySetting::autoConfigUrl) ||
                        (!HasControlCharacter(url) && !HasWhitespace(url) && (url.empty() || IsAbsoluteUrl(url)));
    const bool serverFit = found(&UserProxySetting::proxyServer) || IsWritableServerList(setting.proxyServer);
    // A bypass list may hold spaces, as WinINet's own separator.
    const bool bypassFit = found(&UserProxySetting::proxyBypass) || !HasControlCharacter(setting.proxyBypass);
    const bool scriptFit = !setting.autoConfigEnabled || !url.empty() ||
                           (read && read->autoConfigEnabled && read->autoConfigUrl.empty());
    return urlFit && serverFit && bypassFit && scriptFit ? S_OK : E_INVALIDARG;
}

} // namespace Varquel
