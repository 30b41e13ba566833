#include "settings/ProxyServerList.h"
#include <windows.h>
#include <cwctype>
#include <vector>
#include "com/TextCompare.h"

namespace Varquel {

namespace {

// Each protocol's name in a per-protocol list, in the protocols' order.
constexpr std::wstring_view kSchemes[kProxyProtocols] = {L"http", L"https", L"ftp", L"gopher", L"socks"};
constexpr std::size_t kSocks = 4;

bool IsSeparator(wchar_t c) noexcept { return c == L';' || std::iswspace(c); }

// In "host:port", "host", or "[v6]:port", the colon before the port: the
// last one outside brackets; npos when there is no port.
std::size_t PortColon(std::wstring_view text) noexcept {
    std::size_t hostEnd = 0;
    if (!text.empty() && text[0] == L'[') {
        const std::size_t close = text.find(L']');
        hostEnd = close == std::wstring_view::npos ? text.size() : close + 1;
    }
    const std::size_t colon = text.rfind(L':');
    return colon == std::wstring_view::npos || colon < hostEnd ? std::wstring_view::npos : colon;
}

ProxyEndpoint SplitEndpoint(std::wstring_view text) {
    const std::size_t colon = PortColon(text);
    if (colon == std::wstring_view::npos) return {std::wstring(text), {}};
    return {std::wstring(text.substr(0, colon)), std::wstring(text.substr(colon + 1))};
}

// The list's entries, whatever separates them.
std::vector<std::wstring_view> Entries(std::wstring_view list) {
    std::vector<std::wstring_view> entries;
    for (std::size_t i = 0; i < list.size();) {
        if (IsSeparator(list[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < list.size() && !IsSeparator(list[end])) ++end;
        entries.push_back(list.substr(i, end - i));
        i = end;
    }
    return entries;
}

} // namespace

ProxyServerList ParseProxyServerList(std::wstring_view list) {
    const std::vector<std::wstring_view> entries = Entries(list);
    ProxyServerList parsed;
    if (list.find(L'=') == std::wstring_view::npos) {
        if (entries.empty()) return parsed;
        parsed.oneProxy = true;
        const ProxyEndpoint endpoint = SplitEndpoint(entries.front());
        for (std::size_t i = 0; i < kProxyProtocols; ++i)
            if (i != kSocks) parsed.endpoints[i] = endpoint;
        return parsed;
    }
    bool named[kProxyProtocols] = {};
    for (std::wstring_view entry : entries) {
        const std::size_t equals = entry.find(L'=');
        if (equals == std::wstring_view::npos) continue;
        for (std::size_t i = 0; i < kProxyProtocols; ++i) {
            if (named[i] || !EqualsNoCase(entry.substr(0, equals), kSchemes[i])) continue;
            parsed.endpoints[i] = SplitEndpoint(entry.substr(equals + 1));
            named[i] = true;
        }
    }
    return parsed;
}

std::wstring FormatOneProxy(const ProxyEndpoint& endpoint) {
    return endpoint.port.empty() ? endpoint.server : endpoint.server + L":" + endpoint.port;
}

std::wstring FormatProxyList(const ProxyEndpoints& endpoints) {
    std::wstring list;
    for (std::size_t i = 0; i < kProxyProtocols; ++i) {
        if (endpoints[i].server.empty()) continue;
        if (!list.empty()) list += L';';
        list += kSchemes[i];
        list += L'=';
        list += FormatOneProxy(endpoints[i]);
    }
    return list;
}

bool IsListableServer(std::wstring_view server) noexcept {
    for (wchar_t c : server)
        if (c == L';' || c == L'=' || IsControlCharacter(c) || std::iswspace(c)) return false;
    return true;
}

bool IsListablePort(std::wstring_view port) noexcept {
    if (port.empty()) return true;
    unsigned long value = 0;
    for (wchar_t c : port) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
        if (value > 65535) return false;
    }
    return value >= 1;
}

bool IsWritableServerList(std::wstring_view list) {
    for (wchar_t c : list)
        if (IsControlCharacter(c) || std::iswspace(c)) return false;
    for (std::wstring_view entry : Entries(list)) {
        const std::size_t equals = entry.find(L'=');
        if (equals != std::wstring_view::npos) entry.remove_prefix(equals + 1);
        const std::size_t colon = PortColon(entry);
        if (colon == std::wstring_view::npos) continue;
        const std::wstring_view port = entry.substr(colon + 1);
        if (port.empty() || !IsListablePort(port)) return false;
    }
    return true;
}

bool IsControlCharacter(wchar_t c) noexcept { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

} // namespace Varquel
