#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetProfilesList final : public CComObjectRoot,
                    public CDispatchImpl<INetProfilesList>,
                    public CProvideClassInfoImpl<CNetProfilesList> {
public:
    static inline const CLSID& kClsid = CLSID_CNetProfilesList;
    static inline const IID* const kSourceIid = &DIID__INetProfilesListEvents;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetProfilesList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP NetProfileGetAt(long nIndex, INetProfile **ppNetProfile) override;
    STDMETHODIMP Add(INetProfile *pNetProfile) override;
    STDMETHODIMP Load() override;
    STDMETHODIMP Save() override;
    STDMETHODIMP NetProfileRemoveAt(long nIndex) override;
    STDMETHODIMP NetProfileSetAt(long nIndex, INetProfile *pVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
