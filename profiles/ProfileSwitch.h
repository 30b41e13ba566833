#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "profiles/ApplyReport.h"
#include "profiles/NetProfile.h"
#include "Varquel_h.h"

namespace Varquel {

// Switches the machine to a profile and tells the truth about it: a preview
// of every setting, an apply whose every WMI answer is kept and whose result
// is read back from the machine, and a rollback to the machine as it was.
class CProfileSwitch final : public CComObjectRoot,
                             public CDispatchImpl<IProfileSwitch2>,
                             public CProvideClassInfoImpl<CProfileSwitch> {
public:
    static inline const CLSID& kClsid = CLSID_CProfileSwitch;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    static constexpr long kDefaultVerifyTimeout = 10000;  // milliseconds

    VARQUEL_IUNKNOWN

    // IProfileSwitch
    STDMETHODIMP Preview(INetProfile *Profile, IApplyReport **ppReport) override;
    STDMETHODIMP Apply(INetProfile *Profile, IApplyReport **ppReport) override;
    STDMETHODIMP Rollback(IApplyReport *Report, IApplyReport **ppReport) override;
    STDMETHODIMP get_RollbackOnFailure(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_RollbackOnFailure(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_VerifyTimeout(long *pVal) override;
    STDMETHODIMP put_VerifyTimeout(long newVal) override;

    // IProfileSwitch2
    STDMETHODIMP get_IncludeProxy(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_IncludeProxy(VARIANT_BOOL newVal) override;
    STDMETHODIMP SetProxy(INetProfile *Profile, IUserProxy *Proxy) override;
    STDMETHODIMP ForgetProxy(INetProfile *Profile) override;
    STDMETHODIMP GetProxy(INetProfile *Profile, IUserProxy **ppProxy) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    HRESULT Run(IUnknown* input, bool preview, bool rollback, IApplyReport** ppReport) noexcept;
    // The name of this server's profile, which its stored proxy goes by.
    static CBstr ProfileName(INetProfile* profile);

    VARIANT_BOOL m_rollbackOnFailure = VARIANT_TRUE;
    long m_verifyTimeout = kDefaultVerifyTimeout;
    VARIANT_BOOL m_includeProxy = VARIANT_FALSE;
};

} // namespace Varquel
