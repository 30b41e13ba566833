#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace Varquel {

// A manual proxy's server list as WinINet keeps it: "host:port" for every
// protocol, or one entry per protocol, "http=host:port;https=host:port;...".

// One protocol's proxy: a server and a port, either of them empty.
struct ProxyEndpoint {
    std::wstring server;
    std::wstring port;
};

// The protocols of Internet Options' proxy settings, in this order:
// HTTP, secure, FTP, Gopher, SOCKS.
inline constexpr std::size_t kProxyProtocols = 5;
using ProxyEndpoints = std::array<ProxyEndpoint, kProxyProtocols>;

struct ProxyServerList {
    bool oneProxy = false;  // a single "host:port" for every protocol
    ProxyEndpoints endpoints;
};

// One proxy gives HTTP, secure, FTP and Gopher the same endpoint and SOCKS
// none, as Internet Options shows it; a per-protocol list gives each protocol
// it names its endpoint (entries for other protocols are ignored).
ProxyServerList ParseProxyServerList(std::wstring_view list);

// "host:port", or "host" alone when the port is empty.
std::wstring FormatOneProxy(const ProxyEndpoint& endpoint);
// The per-protocol list of the endpoints whose server is not empty.
std::wstring FormatProxyList(const ProxyEndpoints& endpoints);

// A server text that leaves a list's meaning as it is: no ";", "=",
// whitespace or control character.
bool IsListableServer(std::wstring_view server) noexcept;
// Empty, or a decimal port from 1 to 65535.
bool IsListablePort(std::wstring_view port) noexcept;

// A whole list as it is set: no whitespace or control character, and every
// port it gives (after an entry's last colon outside brackets) a decimal
// port from 1 to 65535.
bool IsWritableServerList(std::wstring_view list);

// C0, DEL or C1.
bool IsControlCharacter(wchar_t c) noexcept;

} // namespace Varquel
