#pragma once
#include <wbemdisp.h>
#include <vector>
#include "com/StringArray.h"
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "wmi/WmiMethodCall.h"
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

    // The stored default DeviceID (null when no default was ever set).
    BSTR DefaultDeviceId() const noexcept { return m_defaultDeviceId.Get(); }
    // The duplicate of a profile's printers part: names, default index,
    // PrinterNumber, default DeviceID and the same printer objects; the copy
    // stays not detected, so its first GetCurrent or Apply detects again.
    void CopyStateFrom(const CPrintersProperty& other);
    // GetCurrent, Apply and SetDefault for callers inside the server; they
    // throw what they cannot absorb.
    void CaptureMachine();
    // With an observer, SetDefaultPrinter's answer is told to it.
    void ApplyToMachine(const MethodObserver* observer = nullptr);
    void ChooseDefault(BSTR deviceId);

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

private:
    LONG PrinterObjectCount() const noexcept { return static_cast<LONG>(m_printers.size()); }
    void Detect();

    // Parallel: the DeviceID (null when unreadable) and the Win32_Printer
    // instance of each detected printer, in detection order.
    CStringArray m_names;
    std::vector<ComPtr<ISWbemObject>> m_printers;
    LONG m_printerNumber = 0;
    bool m_detected = false;
    // The default index and DeviceID describe one choice; SetDefault before
    // detection knows only the DeviceID.
    LONG m_defaultIndex = -1;
    CBstr m_defaultDeviceId;
};

} // namespace Varquel
