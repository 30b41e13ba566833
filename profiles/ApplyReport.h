#pragma once
#include <optional>
#include <vector>
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "profiles/ApplyChange.h"
#include "profiles/NetProfile.h"
#include "settings/UserProxySetting.h"
#include "Varquel_h.h"

namespace Varquel {

// What a switch previewed or did, setting by setting. Clients cannot create
// it; a switch makes it filled and it never changes afterwards. IApplyReport2
// adds to the published IApplyReport; late binding sees every member.
class CApplyReport final : public CComObjectRoot,
                           public CDispatchImpl<IApplyReport2>,
                           public CProvideClassInfoImpl<CApplyReport> {
public:
    static inline const CLSID& kClsid = CLSID_CApplyReport;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    struct CData {
        std::vector<ComPtr<CApplyChange>> changes;
        bool preview = false;
        bool succeeded = false;
        bool rolledBack = false;
        bool accessDenied = false;   // a change was refused for lack of rights
        bool restartNeeded = false;  // a method answered that a restart is needed
        ComPtr<CNetProfile> before;  // the snapshot; null for a preview
        CBstr text;
        // What a rollback has to put back: the snapshot's adapters (by
        // position) and whether the default printer was set.
        std::vector<bool> touchedAdapters;
        bool touchedPrinter = false;
        // The user's proxy as it was, when the switch carried one (the
        // report has a Proxy row), and whether the switch changed it.
        std::optional<UserProxySetting> proxyBefore;
        bool touchedProxy = false;
        CBstr notRestorable;  // what the snapshot cannot put back, for the text
    };

    VARQUEL_IUNKNOWN

    static ComPtr<CApplyReport> Make(CData data);
    const CData& Data() const noexcept { return m_data; }

    // IApplyReport
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP Item(long Index, IApplyChange **ppChange) override;
    STDMETHODIMP get__NewEnum(IUnknown **ppEnum) override;
    STDMETHODIMP get_Succeeded(VARIANT_BOOL *pVal) override;
    STDMETHODIMP get_RolledBack(VARIANT_BOOL *pVal) override;
    STDMETHODIMP get_Before(INetProfile **ppProfile) override;
    STDMETHODIMP get_Text(BSTR *pVal) override;
    // IApplyReport2
    STDMETHODIMP get_AccessDenied(VARIANT_BOOL *pVal) override;
    STDMETHODIMP get_RestartNeeded(VARIANT_BOOL *pVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    CData m_data;
};

} // namespace Varquel
