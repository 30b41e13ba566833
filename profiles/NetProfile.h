#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetProfile final : public CComObjectRoot,
                    public CDispatchImpl<INetProfile>,
                    public CProvideClassInfoImpl<CNetProfile> {
public:
    static inline const CLSID& kClsid = CLSID_CNetProfile;
    static inline const IID* const kSourceIid = &DIID__INetProfileEvents;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetProfile
    STDMETHODIMP get_NetAdaptersList(INetAdaptersList **pVal) override;
    STDMETHODIMP get_PrintersProperty(IPrintersProperty **pVal) override;
    STDMETHODIMP get_ProxyProperty(IProxyProperty **pVal) override;
    STDMETHODIMP get_NetShareList(INetShareList **pVal) override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP get_Name(BSTR *pVal) override;
    STDMETHODIMP put_Name(BSTR newVal) override;
    STDMETHODIMP GetDuplicate(INetProfile **ppVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
