#include "settings/PrintersProperty.h"
#include <string>
#include "wmi/WqlStringLiteral.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace Varquel {

// {A2FBCEAB-E129-49AB-A717-952A20C462BA}
const IID CPrintersProperty::kImplIid = {0xA2FBCEAB, 0xE129, 0x49AB, {0xA7, 0x17, 0x95, 0x2A, 0x20, 0xC4, 0x62, 0xBA}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IPrintersProperty, &CastTo<CPrintersProperty, IPrintersProperty>},
    {&IID_IDispatch, &CastTo<CPrintersProperty, IDispatch, IPrintersProperty>},
    {&IID_IProvideClassInfo, &CastTo<CPrintersProperty, IProvideClassInfo, IProvideClassInfo2>},
    {&CPrintersProperty::kImplIid, &CastTo<CPrintersProperty, CPrintersProperty>},
};

// Case-sensitive and locale-aware; a null name equals an empty one.
bool NamesMatch(BSTR left, BSTR right) noexcept {
    return VarBstrCmp(left, right, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ;
}
} // namespace

std::span<const InterfaceEntry> CPrintersProperty::Interfaces() const noexcept { return kInterfaces; }

void CPrintersProperty::CopyStateFrom(const CPrintersProperty& other) {
    // Everything that can fail is copied first, so a failure leaves this
    // object as it was.
    CStringArray names;
    names.CopyFrom(other.m_names);
    CBstr deviceId = CBstr::CopyWhole(other.m_defaultDeviceId.Get());
    std::vector<ComPtr<ISWbemObject>> printers(other.m_printers);

    m_names = std::move(names);
    m_defaultIndex = other.m_defaultIndex;
    m_printerNumber = other.m_printerNumber;
    m_defaultDeviceId = std::move(deviceId);
    m_printers.swap(printers);
}

STDMETHODIMP CPrintersProperty::get_PrintersCount(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_names.Count();
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::get_PrinterNumber(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_printerNumber;
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::put_PrinterNumber(long newVal) {
    m_printerNumber = newVal;  // checked when Name reads it
    return S_OK;
}

STDMETHODIMP CPrintersProperty::get_Name(BSTR *pVal) {
    // A cursor outside the list reads as a null name.
    return CopyStringOut(m_names.InRange(m_printerNumber) ? m_names.At(m_printerNumber) : nullptr, pVal);
}

STDMETHODIMP CPrintersProperty::get_Default(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_defaultIndex;
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::put_Default(long newVal) {
    return ComBoundary([&] {
        if (!m_names.InRange(newVal)) return S_OK;
        m_defaultDeviceId = CBstr::CopyWhole(m_names.At(newVal));
        m_defaultIndex = newVal;
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::GetCurrent() {
    return ComBoundary([&] {
        CaptureMachine();
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::Apply() {
    return ComBoundary([&] {
        ApplyToMachine();
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::DetectPrinters() {
    return ComBoundary([&] {
        Detect();
        return S_OK;
    });
}

STDMETHODIMP CPrintersProperty::SetDefault(BSTR DeviceID) {
    return ComBoundary([&] {
        ChooseDefault(DeviceID);
        return S_OK;
    });
}

void CPrintersProperty::CaptureMachine() {
    if (!m_detected) Detect();
    // No default found leaves an empty DeviceID, which Apply skips.
    CBstr deviceId = CBstr::Empty();
    m_defaultIndex = -1;
    m_defaultDeviceId = std::move(deviceId);
    for (LONG i = 0; i < PrinterObjectCount(); ++i) {
        CWmiPropertySet properties(m_printers[static_cast<size_t>(i)].Get());
        if (!properties.IsValid()) continue;
        CVariant isDefault;
        if (FAILED(properties.ReadProperty(L"Default", isDefault))) continue;
        if (isDefault.Type() != VT_BOOL || V_BOOL(isDefault.Get()) != VARIANT_TRUE) continue;
        if (m_names.InRange(i)) m_defaultDeviceId = CBstr::CopyWhole(m_names.At(i));
        m_defaultIndex = i;
        break;
    }
}

void CPrintersProperty::ApplyToMachine(const MethodObserver* observer) {
    auto setDefault = [&](ISWbemObject* printer) {
        CWmiAnswer answer;
        answer.hr = ExecMethodNoParams(printer, WmiMethodName(WmiMethod::SetDefaultPrinter),
                                       observer ? &answer.returnValue : nullptr);
        if (observer) (*observer)(WmiMethod::SetDefaultPrinter, answer);
    };
    if (m_defaultIndex >= 0 && m_defaultIndex < PrinterObjectCount()) {
        // Only a duplicate gets here undetected: its printer objects may
        // no longer be the machine's.
        if (!m_detected) Detect();
        // That detection may have left fewer printers than the index.
        if (m_defaultIndex < PrinterObjectCount()) setDefault(m_printers[static_cast<size_t>(m_defaultIndex)].Get());
        return;
    }
    // No detected printer is chosen: find the stored one by DeviceID.
    if (m_defaultDeviceId.IsEmpty()) return;
    const std::wstring wql = L"SELECT * FROM Win32_Printer WHERE DeviceID = " +
                             WqlStringLiteral(m_defaultDeviceId.Get(), m_defaultDeviceId.Length());
    CWmiQuery query(wql.c_str());
    if (ComPtr<ISWbemObject> printer = query.Next()) setDefault(printer.Get());
}

void CPrintersProperty::Detect() {
    m_names.RemoveAll();
    m_printers.clear();
    CWmiQuery query(L"SELECT * FROM Win32_Printer");
    while (ComPtr<ISWbemObject> printer = query.Next()) {
        CWmiPropertySet properties(printer.Get());
        m_printers.push_back(printer);
        try {
            m_names.Append(properties.GetString(L"DeviceID"));
        } catch (...) {
            m_printers.pop_back();  // the two arrays stay parallel
            throw;
        }
    }
    // The last printer whose name matches is the default. No choice made
    // (an empty DeviceID) matches no printer, not one without DeviceID.
    for (LONG i = 0; i < m_names.Count() && !m_defaultDeviceId.IsEmpty(); ++i)
        if (NamesMatch(m_names.At(i), m_defaultDeviceId.Get())) m_defaultIndex = i;
    m_detected = true;
}

void CPrintersProperty::ChooseDefault(BSTR deviceId) {
    m_defaultDeviceId.AssignToNul(deviceId);
    if (!m_detected || m_defaultDeviceId.IsEmpty()) return;
    // The first printer whose name matches is the default.
    for (LONG i = 0; i < m_names.Count(); ++i) {
        if (NamesMatch(m_names.At(i), m_defaultDeviceId.Get())) {
            m_defaultIndex = i;
            break;
        }
    }
}

STDMETHODIMP CPrintersProperty::GetDefault(BSTR *DeviceID) {
    return CopyStringOut(m_defaultDeviceId.Get(), DeviceID);
}

} // namespace Varquel
