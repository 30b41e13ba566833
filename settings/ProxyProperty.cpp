#include "settings/ProxyProperty.h"
#include <wininet.h>
#include "settings/WinInetProxy.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace Varquel {

// {75F0528E-8335-4BC2-BF77-245083A24EA2}
const IID CProxyProperty::kImplIid = {0x75F0528E, 0x8335, 0x4BC2, {0xBF, 0x77, 0x24, 0x50, 0x83, 0xA2, 0x4E, 0xA2}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IProxyProperty, &CastTo<CProxyProperty, IProxyProperty>},
    {&IID_IDispatch, &CastTo<CProxyProperty, IDispatch, IProxyProperty>},
    {&IID_IProvideClassInfo, &CastTo<CProxyProperty, IProvideClassInfo, IProvideClassInfo2>},
    {&CProxyProperty::kImplIid, &CastTo<CProxyProperty, CProxyProperty>},
};

constexpr wchar_t kProxyQuery[] = L"SELECT * FROM Win32_Proxy";

std::wstring Text(const CBstr& text) { return text.IsNull() ? std::wstring() : std::wstring(text.Get(), text.Length()); }
} // namespace

const CProxyProperty::ProxyPair CProxyProperty::kPairs[kProxyProtocols] = {
    {&CProxyProperty::m_httpServer, &CProxyProperty::m_httpPort},
    {&CProxyProperty::m_secureServer, &CProxyProperty::m_securePort},
    {&CProxyProperty::m_ftpServer, &CProxyProperty::m_ftpPort},
    {&CProxyProperty::m_gopherServer, &CProxyProperty::m_gopherPort},
    {&CProxyProperty::m_socksServer, &CProxyProperty::m_socksPort},
};

std::span<const InterfaceEntry> CProxyProperty::Interfaces() const noexcept { return kInterfaces; }

HRESULT CProxyProperty::FinalConstruct() {
    // Every text starts empty, not null.
    for (const ProxyPair& pair : kPairs) {
        this->*pair.server = CBstr::Empty();
        this->*pair.port = CBstr::Empty();
    }
    return S_OK;
}

// A null out pointer is answered with success and nothing written.
STDMETHODIMP CProxyProperty::GetCurrent() {
    return ComBoundary([&] {
        CWmiQuery query(kProxyQuery);
        ComPtr<ISWbemObject> proxy = query.Next();
        if (!proxy) return query.ClassMissing() ? GetCurrentUserProxy() : S_OK;
        CWmiPropertySet properties(proxy.Get());
        CBstr server = properties.GetString(L"ProxyServer");
        CBstr port = properties.GetString(L"ProxyPortNumber");
        // Without a port the machine has no usable proxy to report: keep
        // what the client has.
        if (port.IsNull() || port.Length() == 0) return S_OK;
        m_httpPort = std::move(port);
        m_httpServer = std::move(server);
        return S_OK;
    });
}

STDMETHODIMP CProxyProperty::Apply() {
    return ComBoundary([&] {
        CWmiQuery query(kProxyQuery);
        ComPtr<ISWbemObject> proxy = query.Next();
        if (!proxy) return query.ClassMissing() ? ApplyUserProxy() : S_OK;
        CWmiMethodCall call(proxy.Get(), L"SetProxySetting");
        call.SetParameter(L"ProxyServer", m_httpServer.Get());
        call.SetParameter(L"ProxyPortNumber", m_httpPort.Get());
        call.Execute();  // the machine's answer is not reported to the client
        return S_OK;
    });
}

// With the manual proxy off, every text is empty; IsUseOneProxy tells the
// list's form only when there is a list.
HRESULT CProxyProperty::GetCurrentUserProxy() {
    const std::optional<WinInetProxySetting> setting =
        ReadWinInetProxy(InternetOptions(), WinInetProxyParts::Servers);
    if (!setting) return S_OK;
    const bool manual = (setting->flags & PROXY_TYPE_PROXY) != 0;
    const ProxyServerList list = manual ? ParseProxyServerList(setting->servers) : ProxyServerList{};
    // Every text is copied before any field changes, so running out of
    // memory leaves the object as it was.
    CBstr texts[kProxyProtocols][2];
    for (size_t i = 0; i < kProxyProtocols; ++i) {
        const ProxyEndpoint& endpoint = list.endpoints[i];
        texts[i][0] = CBstr(endpoint.server.data(), static_cast<UINT>(endpoint.server.size()));
        texts[i][1] = CBstr(endpoint.port.data(), static_cast<UINT>(endpoint.port.size()));
    }
    for (size_t i = 0; i < kProxyProtocols; ++i) {
        this->*kPairs[i].server = std::move(texts[i][0]);
        this->*kPairs[i].port = std::move(texts[i][1]);
    }
    if (manual) m_isUseOneProxy = list.oneProxy ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// A text that would change the list's meaning is refused before anything is
// read or set. The flags' other bits (auto-detection, the setup script) are
// written back as read.
HRESULT CProxyProperty::ApplyUserProxy() {
    const bool oneProxy = m_isUseOneProxy != VARIANT_FALSE;
    ProxyEndpoints sent;
    bool anyServer = false;
    for (size_t i = 0; i < (oneProxy ? 1 : kProxyProtocols); ++i) {
        std::wstring server = Text(this->*kPairs[i].server);
        if (server.empty()) continue;
        std::wstring port = Text(this->*kPairs[i].port);
        if (!IsListableServer(server) || !IsListablePort(port)) return E_INVALIDARG;
        sent[i] = {std::move(server), std::move(port)};
        anyServer = true;
    }
    IInternetOptions& options = InternetOptions();
    std::optional<WinInetProxySetting> setting = ReadWinInetProxy(options, WinInetProxyParts::Servers);
    if (!setting) return S_OK;
    // WinINet's refusal is not reported, as the machine's answer never is.
    if (!anyServer) {
        // Off: the stored server list stays for the user to turn back on.
        setting->flags &= ~DWORD{PROXY_TYPE_PROXY};
        WriteWinInetProxy(options, *setting, WinInetProxyParts::Flags);
        return S_OK;
    }
    setting->flags |= PROXY_TYPE_PROXY;
    setting->servers = oneProxy ? FormatOneProxy(sent[0]) : FormatProxyList(sent);
    WriteWinInetProxy(options, *setting, WinInetProxyParts::Servers);
    return S_OK;
}

STDMETHODIMP CProxyProperty::get_HTTPServer(BSTR *pVal) { return CopyStringOut(m_httpServer.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_HTTPServer(BSTR newVal) { return PutString(m_httpServer, newVal); }
STDMETHODIMP CProxyProperty::get_HTTPPort(BSTR *pVal) { return CopyStringOut(m_httpPort.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_HTTPPort(BSTR newVal) { return PutString(m_httpPort, newVal); }
STDMETHODIMP CProxyProperty::get_SecureServer(BSTR *pVal) { return CopyStringOut(m_secureServer.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_SecureServer(BSTR newVal) { return PutString(m_secureServer, newVal); }
STDMETHODIMP CProxyProperty::get_SecurePort(BSTR *pVal) { return CopyStringOut(m_securePort.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_SecurePort(BSTR newVal) { return PutString(m_securePort, newVal); }
STDMETHODIMP CProxyProperty::get_FTPServer(BSTR *pVal) { return CopyStringOut(m_ftpServer.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_FTPServer(BSTR newVal) { return PutString(m_ftpServer, newVal); }
STDMETHODIMP CProxyProperty::get_FTPPort(BSTR *pVal) { return CopyStringOut(m_ftpPort.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_FTPPort(BSTR newVal) { return PutString(m_ftpPort, newVal); }
STDMETHODIMP CProxyProperty::get_GopherServer(BSTR *pVal) { return CopyStringOut(m_gopherServer.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_GopherServer(BSTR newVal) { return PutString(m_gopherServer, newVal); }
STDMETHODIMP CProxyProperty::get_GopherPort(BSTR *pVal) { return CopyStringOut(m_gopherPort.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_GopherPort(BSTR newVal) { return PutString(m_gopherPort, newVal); }
STDMETHODIMP CProxyProperty::get_SocksServer(BSTR *pVal) { return CopyStringOut(m_socksServer.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_SocksServer(BSTR newVal) { return PutString(m_socksServer, newVal); }
STDMETHODIMP CProxyProperty::get_SocksPort(BSTR *pVal) { return CopyStringOut(m_socksPort.Get(), pVal); }
STDMETHODIMP CProxyProperty::put_SocksPort(BSTR newVal) { return PutString(m_socksPort, newVal); }

STDMETHODIMP CProxyProperty::get_IsUseOneProxy(VARIANT_BOOL *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_isUseOneProxy;
        return S_OK;
    });
}

STDMETHODIMP CProxyProperty::put_IsUseOneProxy(VARIANT_BOOL newVal) {
    m_isUseOneProxy = newVal;  // kept as given, not normalised
    return S_OK;
}

} // namespace Varquel
