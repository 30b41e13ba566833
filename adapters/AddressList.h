#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CAddressList final : public CComObjectRoot,
                    public CDispatchImpl<IAddressList>,
                    public CProvideClassInfoImpl<CAddressList> {
public:
    static inline const CLSID& kClsid = CLSID_CAddressList;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // IAddressList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP Add(BSTR Value) override;
    STDMETHODIMP GetAt(long nIndex, BSTR *pValue) override;
    STDMETHODIMP RemoveAll() override;
    STDMETHODIMP RemoveAt(long nIndex) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
