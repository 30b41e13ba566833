#include "settings/UserProxy.h"
#include "com/Bstr.h"
#include "settings/InternetOptions.h"

namespace Varquel {

// {ECA8C004-A038-489F-A25E-FAD6BB6E27DA}
const IID CUserProxy::kImplIid = {0xECA8C004, 0xA038, 0x489F, {0xA2, 0x5E, 0xFA, 0xD6, 0xBB, 0x6E, 0x27, 0xDA}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IUserProxy, &CastTo<CUserProxy, IUserProxy>},
    {&IID_IDispatch, &CastTo<CUserProxy, IDispatch, IUserProxy>},
    {&IID_IProvideClassInfo, &CastTo<CUserProxy, IProvideClassInfo, IProvideClassInfo2>},
    {&CUserProxy::kImplIid, &CastTo<CUserProxy, CUserProxy>},
};
} // namespace

std::span<const InterfaceEntry> CUserProxy::Interfaces() const noexcept { return kInterfaces; }

HRESULT CUserProxy::GetFlag(bool flag, VARIANT_BOOL* out) noexcept {
    if (!out) return E_POINTER;
    *out = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// Any value but 0 is true.
HRESULT CUserProxy::PutFlag(bool& flag, VARIANT_BOOL value) noexcept {
    flag = value != VARIANT_FALSE;
    return S_OK;
}

HRESULT CUserProxy::GetText(const std::wstring& text, BSTR* out, std::source_location where) noexcept {
    return ComBoundaryOut(
        out,
        [&] {
            *out = CBstr(text.data(), static_cast<UINT>(text.size())).Detach();
            return S_OK;
        },
        where);
}

// WinINet knows no null text: a null string is kept as an empty one.
HRESULT CUserProxy::PutText(std::wstring& text, BSTR value, std::source_location where) noexcept {
    return ComBoundary(
        [&] {
            text = value ? value : L"";  // up to the first NUL
            return S_OK;
        },
        where);
}

STDMETHODIMP CUserProxy::get_AutoDetect(VARIANT_BOOL *pVal) { return GetFlag(m_setting.autoDetect, pVal); }
STDMETHODIMP CUserProxy::put_AutoDetect(VARIANT_BOOL newVal) { return PutFlag(m_setting.autoDetect, newVal); }
STDMETHODIMP CUserProxy::get_AutoConfigEnabled(VARIANT_BOOL *pVal) {
    return GetFlag(m_setting.autoConfigEnabled, pVal);
}
STDMETHODIMP CUserProxy::put_AutoConfigEnabled(VARIANT_BOOL newVal) {
    return PutFlag(m_setting.autoConfigEnabled, newVal);
}
STDMETHODIMP CUserProxy::get_AutoConfigURL(BSTR *pVal) { return GetText(m_setting.autoConfigUrl, pVal); }
STDMETHODIMP CUserProxy::put_AutoConfigURL(BSTR newVal) { return PutText(m_setting.autoConfigUrl, newVal); }
STDMETHODIMP CUserProxy::get_ProxyEnabled(VARIANT_BOOL *pVal) { return GetFlag(m_setting.proxyEnabled, pVal); }
STDMETHODIMP CUserProxy::put_ProxyEnabled(VARIANT_BOOL newVal) { return PutFlag(m_setting.proxyEnabled, newVal); }
STDMETHODIMP CUserProxy::get_ProxyServer(BSTR *pVal) { return GetText(m_setting.proxyServer, pVal); }
STDMETHODIMP CUserProxy::put_ProxyServer(BSTR newVal) { return PutText(m_setting.proxyServer, newVal); }
STDMETHODIMP CUserProxy::get_ProxyBypass(BSTR *pVal) { return GetText(m_setting.proxyBypass, pVal); }
STDMETHODIMP CUserProxy::put_ProxyBypass(BSTR newVal) { return PutText(m_setting.proxyBypass, newVal); }

// Nothing changes unless all six are read.
STDMETHODIMP CUserProxy::GetCurrent() {
    return ComBoundary([&] {
        UserProxySetting found;
        ThrowIfFailed(ReadUserProxy(InternetOptions(), found));
        std::optional<UserProxySetting> read(found);
        m_read.swap(read);
        m_setting = std::move(found);
        return S_OK;
    });
}

// A refused setting is neither written nor announced.
STDMETHODIMP CUserProxy::Apply() {
    return ComBoundary([&] {
        ThrowIfFailed(CheckUserProxy(m_setting, LastRead()));
        ThrowIfFailed(WriteUserProxy(InternetOptions(), m_setting));
        return S_OK;
    });
}

} // namespace Varquel
