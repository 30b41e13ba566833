#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetAdaptersList final : public CComObjectRoot,
                    public CDispatchImpl<INetAdaptersList>,
                    public CProvideClassInfoImpl<CNetAdaptersList> {
public:
    static inline const CLSID& kClsid = CLSID_CNetAdaptersList;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetAdaptersList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP NetAdapterPropertyGetAt(long nIndex, INetAdapterProperty **Param) override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP DetectAdapters() override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
