#include "settings/ProxyProperty.h"

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
} // namespace

std::span<const InterfaceEntry> CProxyProperty::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CProxyProperty::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_HTTPServer(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_HTTPServer(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_HTTPPort(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_HTTPPort(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_SecureServer(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_SecureServer(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_SecurePort(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_SecurePort(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_FTPServer(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_FTPServer(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_FTPPort(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_FTPPort(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_GopherServer(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_GopherServer(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_GopherPort(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_GopherPort(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_SocksServer(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_SocksServer(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_SocksPort(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_SocksPort(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::get_IsUseOneProxy(VARIANT_BOOL *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CProxyProperty::put_IsUseOneProxy(VARIANT_BOOL newVal) {
    return E_NOTIMPL;
}

} // namespace Varquel
