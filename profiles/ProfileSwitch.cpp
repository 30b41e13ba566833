#include "profiles/ProfileSwitch.h"
#include "profiles/SwitchRun.h"
#include "profiles/SwitchWait.h"

namespace Varquel {

// {CC7B9FE8-B02A-46D8-8681-0CD3BB86C0C8}
const IID CProfileSwitch::kImplIid = {0xCC7B9FE8, 0xB02A, 0x46D8, {0x86, 0x81, 0x0C, 0xD3, 0xBB, 0x86, 0xC0, 0xC8}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IProfileSwitch, &CastTo<CProfileSwitch, IProfileSwitch>},
    {&IID_IDispatch, &CastTo<CProfileSwitch, IDispatch, IProfileSwitch>},
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
        const CSwitchRun::COptions options{m_rollbackOnFailure != VARIANT_FALSE,
                                           static_cast<DWORD>(m_verifyTimeout > 0 ? m_verifyTimeout : 0)};
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
            report = preview ? CSwitchRun::Preview(*profile.Get()) : CSwitchRun::Apply(*profile.Get(), options);
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

} // namespace Varquel
