#pragma once
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "settings/ProxyServerList.h"
#include "Varquel_h.h"

namespace Varquel {

class CProxyProperty final : public CComObjectRoot,
                    public CDispatchImpl<IProxyProperty>,
                    public CProvideClassInfoImpl<CProxyProperty> {
public:
    static inline const CLSID& kClsid = CLSID_CProxyProperty;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    HRESULT FinalConstruct() override;

    // IProxyProperty
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP get_HTTPServer(BSTR *pVal) override;
    STDMETHODIMP put_HTTPServer(BSTR newVal) override;
    STDMETHODIMP get_HTTPPort(BSTR *pVal) override;
    STDMETHODIMP put_HTTPPort(BSTR newVal) override;
    STDMETHODIMP get_SecureServer(BSTR *pVal) override;
    STDMETHODIMP put_SecureServer(BSTR newVal) override;
    STDMETHODIMP get_SecurePort(BSTR *pVal) override;
    STDMETHODIMP put_SecurePort(BSTR newVal) override;
    STDMETHODIMP get_FTPServer(BSTR *pVal) override;
    STDMETHODIMP put_FTPServer(BSTR newVal) override;
    STDMETHODIMP get_FTPPort(BSTR *pVal) override;
    STDMETHODIMP put_FTPPort(BSTR newVal) override;
    STDMETHODIMP get_GopherServer(BSTR *pVal) override;
    STDMETHODIMP put_GopherServer(BSTR newVal) override;
    STDMETHODIMP get_GopherPort(BSTR *pVal) override;
    STDMETHODIMP put_GopherPort(BSTR newVal) override;
    STDMETHODIMP get_SocksServer(BSTR *pVal) override;
    STDMETHODIMP put_SocksServer(BSTR newVal) override;
    STDMETHODIMP get_SocksPort(BSTR *pVal) override;
    STDMETHODIMP put_SocksPort(BSTR newVal) override;
    STDMETHODIMP get_IsUseOneProxy(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_IsUseOneProxy(VARIANT_BOOL newVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    // Where Win32_Proxy is gone (every Windows since Vista), the object works
    // on the current user's proxy instead.
    HRESULT GetCurrentUserProxy();
    HRESULT ApplyUserProxy();

    // One protocol's server and port, in the protocols' order.
    struct ProxyPair {
        CBstr CProxyProperty::*server;
        CBstr CProxyProperty::*port;
    };
    static const ProxyPair kPairs[kProxyProtocols];

    // Win32_Proxy exchanges only the HTTP pair; there, the other texts and
    // IsUseOneProxy are kept for the client.
    CBstr m_httpServer;
    CBstr m_httpPort;
    CBstr m_secureServer;
    CBstr m_securePort;
    CBstr m_ftpServer;
    CBstr m_ftpPort;
    CBstr m_gopherServer;
    CBstr m_gopherPort;
    CBstr m_socksServer;
    CBstr m_socksPort;
    VARIANT_BOOL m_isUseOneProxy = VARIANT_TRUE;
};

} // namespace Varquel
