#pragma once
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

// One setting of a switch's report. Clients cannot create it; a switch makes
// it filled and it never changes afterwards.
class CApplyChange final : public CComObjectRoot,
                           public CDispatchImpl<IApplyChange>,
                           public CProvideClassInfoImpl<CApplyChange> {
public:
    static inline const CLSID& kClsid = CLSID_CApplyChange;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    // What the Status property says.
    enum Status : long { kAlreadyAsPlanned = 0, kChanged = 1, kFailed = 2, kNotApplied = 3 };

    struct CData {
        CBstr adapter, netConnectionId, setting, before, planned, after, wmiMethod, message;
        long status = kAlreadyAsPlanned;
        long wmiReturnValue = -1;
    };

    VARQUEL_IUNKNOWN

    // A new change holding `data`.
    static ComPtr<CApplyChange> Make(CData data);
    const CData& Data() const noexcept { return m_data; }

    // IApplyChange
    STDMETHODIMP get_Adapter(BSTR *pVal) override;
    STDMETHODIMP get_NetConnectionID(BSTR *pVal) override;
    STDMETHODIMP get_Setting(BSTR *pVal) override;
    STDMETHODIMP get_Before(BSTR *pVal) override;
    STDMETHODIMP get_Planned(BSTR *pVal) override;
    STDMETHODIMP get_After(BSTR *pVal) override;
    STDMETHODIMP get_Status(long *pVal) override;
    STDMETHODIMP get_WmiMethod(BSTR *pVal) override;
    STDMETHODIMP get_WmiReturnValue(long *pVal) override;
    STDMETHODIMP get_Message(BSTR *pVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    CData m_data;
};

} // namespace Varquel
