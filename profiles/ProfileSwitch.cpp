#include "profiles/ProfileSwitch.h"
#include "profiles/ProfileProxyStore.h"
#include "settings/UserProxy.h"
#include "profiles/SwitchRun.h"
#include "profiles/SwitchWait.h"

namespace Varquel {

// {CC7B9FE8-B02A-46D8-8681-0CD3BB86C0C8}
const IID CProfileSwitch::kImplIid = {0xCC7B9FE8, 0xB02A, 0x46D8, {0x86, 0x81, 0x0C, 0xD3, 0xBB, 0x86, 0xC0, 0xC8}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IProfileSwitch2, &CastTo<CProfileSwitch, IProfileSwitch2>},
    {&IID_IProfileSwitch, &CastTo<CProfileSwitch, IProfileSwitch, IProfileSwitch2>},
    {&IID_IDispatch, &CastTo<CProfileSwitch, IDispatch, IProfileSwitch2>},
    {&IID_IProvideClassInfo, &CastTo<CProfileSwitch, IProvideClassInfo, IProvideClassInfo2>},
    {&CProfileSwitch::kImplIid, &CastTo<CProfileSwitch, CProfileSwitch>},
};
} // namespace

std::span<const InterfaceEntry> CProfileSwitch::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CProfileSwitch::Preview(INetProfile *Profile, IApplyReport **ppReport) {
    return Run(Profile, true, false, ppReport);
}

STDMETHODIMP CProfileSwitch::Apply(INetProfile *Profile, IApplyReport **ppReport) {
    return Run(Profile, false, false, ppReport);
}

STDMETHODIMP CProfileSwitch::Rollback(IApplyReport *Report, IApplyReport **ppReport) {
    return Run(Report, false, true, ppReport);
}

HRESULT CProfileSwitch::Run(IUnknown* input, bool preview, bool rollback, IApplyReport** ppReport) noexcept {
    return ComBoundaryOut(ppReport, [&] {
        // A switch of this apartment is waiting for the machine, and this
        // call came from a message it dispatched meanwhile.
        if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
        if (!input) return E_POINTER;
        CSwitchRun::COptions options{m_rollbackOnFailure != VARIANT_FALSE,
                                     static_cast<DWORD>(m_verifyTimeout > 0 ? m_verifyTimeout : 0),
                                     m_includeProxy != VARIANT_FALSE};
        ComPtr<CApplyReport> report;
        if (rollback) {
            // Only this server's reports of an Apply hold a snapshot to put back.
            const ComPtr<CApplyReport> earlier = ImplOf<CApplyReport>(input);
            if (!earlier || earlier->Data().preview || !earlier->Data().before) return E_INVALIDARG;
            report = CSwitchRun::Rollback(*earlier.Get(), options);
        } else {
            // The switch reaches into the profile's parts, so it takes only this server's profiles.
            const ComPtr<CNetProfile> profile = ImplOf<CNetProfile>(input);
            if (!profile) return E_INVALIDARG;
            // The proxy stored under the profile's name, which a name that
            // cannot be a key name never has.
            std::optional<UserProxySetting> proxy;
            if (options.includeProxy && ProfileProxyStore::CanHold(profile->Name()))
                proxy = ProfileProxyStore::Find(profile->Name());
            options.proxy = proxy ? &*proxy : nullptr;
            report = preview ? CSwitchRun::Preview(*profile.Get(), options) : CSwitchRun::Apply(*profile.Get(), options);
        }
        *ppReport = ComPtr<IApplyReport>(report).Detach();
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::get_RollbackOnFailure(VARIANT_BOOL *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_rollbackOnFailure;
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::put_RollbackOnFailure(VARIANT_BOOL newVal) {
    if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
    m_rollbackOnFailure = newVal;  // kept as given: any non-zero value means true
    return S_OK;
}

STDMETHODIMP CProfileSwitch::get_VerifyTimeout(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_verifyTimeout;
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::put_VerifyTimeout(long newVal) {
    if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
    if (newVal < 0) return E_INVALIDARG;
    m_verifyTimeout = newVal;
    return S_OK;
}

STDMETHODIMP CProfileSwitch::get_IncludeProxy(VARIANT_BOOL *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_includeProxy;
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::put_IncludeProxy(VARIANT_BOOL newVal) {
    if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
    m_includeProxy = newVal;  // kept as given: any non-zero value means true
    return S_OK;
}

CBstr CProfileSwitch::ProfileName(INetProfile* profile) {
    if (!profile) ThrowComError(E_POINTER);
    // Another server's profile might name itself anything: only this server's are taken.
    const ComPtr<CNetProfile> own = ImplOf<CNetProfile>(profile);
    if (!own) ThrowComError(E_INVALIDARG);
    return CBstr::CopyWhole(own->Name());
}

STDMETHODIMP CProfileSwitch::SetProxy(INetProfile *Profile, IUserProxy *Proxy) {
    return ComBoundary([&] {
        if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
        const CBstr name = ProfileName(Profile);
        if (!Proxy) return E_POINTER;
        const ComPtr<CUserProxy> proxy = ImplOf<CUserProxy>(Proxy);
        if (!proxy) return E_INVALIDARG;
        // A copy: the client's object may change afterwards.
        ProfileProxyStore::Remember(name.Get(), proxy->Setting());
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::ForgetProxy(INetProfile *Profile) {
    return ComBoundary([&] {
        if (CSwitchWait::Busy()) return RPC_E_CALL_REJECTED;
        ProfileProxyStore::Forget(ProfileName(Profile).Get());
        return S_OK;
    });
}

STDMETHODIMP CProfileSwitch::GetProxy(INetProfile *Profile, IUserProxy **ppProxy) {
    return ComBoundaryOut(ppProxy, [&] {
        const std::optional<UserProxySetting> stored = ProfileProxyStore::Find(ProfileName(Profile).Get());
        if (!stored) return S_OK;  // none stored: a null object
        const ComPtr<CUserProxy> copy = CreateServerObject<CUserProxy, IUserProxy>(CLSID_CUserProxy);
        copy->SetSetting(*stored);
        *ppProxy = ComPtr<IUserProxy>(copy).Detach();
        return S_OK;
    });
}

} // namespace Varquel
