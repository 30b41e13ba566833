#include "settings/PrintersProperty.h"

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
} // namespace

std::span<const InterfaceEntry> CPrintersProperty::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CPrintersProperty::get_PrintersCount(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::get_PrinterNumber(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::put_PrinterNumber(long newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::get_Name(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::get_Default(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::put_Default(long newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::DetectPrinters() {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::SetDefault(BSTR DeviceID) {
    return E_NOTIMPL;
}

STDMETHODIMP CPrintersProperty::GetDefault(BSTR *DeviceID) {
    return E_NOTIMPL;
}

} // namespace Varquel
