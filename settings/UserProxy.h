#pragma once
#include <optional>
#include <source_location>
#include <string>
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "settings/UserProxySetting.h"
#include "Varquel_h.h"

namespace Varquel {

// The current user's whole proxy setting, read and written through WinINet.
class CUserProxy final : public CComObjectRoot,
                         public CDispatchImpl<IUserProxy>,
                         public CProvideClassInfoImpl<CUserProxy> {
public:
    static inline const CLSID& kClsid = CLSID_CUserProxy;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // IUserProxy
    STDMETHODIMP get_AutoDetect(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_AutoDetect(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_AutoConfigEnabled(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_AutoConfigEnabled(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_AutoConfigURL(BSTR *pVal) override;
    STDMETHODIMP put_AutoConfigURL(BSTR newVal) override;
    STDMETHODIMP get_ProxyEnabled(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_ProxyEnabled(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_ProxyServer(BSTR *pVal) override;
    STDMETHODIMP put_ProxyServer(BSTR newVal) override;
    STDMETHODIMP get_ProxyBypass(BSTR *pVal) override;
    STDMETHODIMP put_ProxyBypass(BSTR newVal) override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;

    // For the other objects of this server, through kImplIid: the setting
    // held, and what the last GetCurrent read (null before any), which Apply
    // takes back unchecked.
    const UserProxySetting& Setting() const noexcept { return m_setting; }
    void SetSetting(UserProxySetting setting) noexcept { m_setting = std::move(setting); }
    const UserProxySetting* LastRead() const noexcept { return m_read ? &*m_read : nullptr; }

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    static HRESULT GetFlag(bool flag, VARIANT_BOOL* out) noexcept;
    static HRESULT PutFlag(bool& flag, VARIANT_BOOL value) noexcept;
    static HRESULT GetText(const std::wstring& text, BSTR* out,
                           std::source_location where = std::source_location::current()) noexcept;
    static HRESULT PutText(std::wstring& text, BSTR value,
                           std::source_location where = std::source_location::current()) noexcept;

    UserProxySetting m_setting;  // "direct" until read or put
    std::optional<UserProxySetting> m_read;
};

} // namespace Varquel
