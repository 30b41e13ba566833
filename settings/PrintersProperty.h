#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CPrintersProperty final : public CComObjectRoot,
                    public CDispatchImpl<IPrintersProperty>,
                    public CProvideClassInfoImpl<CPrintersProperty> {
public:
    static inline const CLSID& kClsid = CLSID_CPrintersProperty;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // IPrintersProperty
    STDMETHODIMP get_PrintersCount(long *pVal) override;
    STDMETHODIMP get_PrinterNumber(long *pVal) override;
    STDMETHODIMP put_PrinterNumber(long newVal) override;
    STDMETHODIMP get_Name(BSTR *pVal) override;
    STDMETHODIMP get_Default(long *pVal) override;
    STDMETHODIMP put_Default(long newVal) override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP DetectPrinters() override;
    STDMETHODIMP SetDefault(BSTR DeviceID) override;
    STDMETHODIMP GetDefault(BSTR *DeviceID) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
