#include "adapters/NetAdapterProperty.h"

namespace Varquel {

// {2C63F2FE-D141-4AC2-BF87-9BFFA3677051}
const IID CNetAdapterProperty::kImplIid = {0x2C63F2FE, 0xD141, 0x4AC2, {0xBF, 0x87, 0x9B, 0xFF, 0xA3, 0x67, 0x70, 0x51}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetAdapterProperty, &CastTo<CNetAdapterProperty, INetAdapterProperty>},
    {&IID_IDispatch, &CastTo<CNetAdapterProperty, IDispatch, INetAdapterProperty>},
    {&IID_IProvideClassInfo, &CastTo<CNetAdapterProperty, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetAdapterProperty::kImplIid, &CastTo<CNetAdapterProperty, CNetAdapterProperty>},
};
} // namespace

std::span<const InterfaceEntry> CNetAdapterProperty::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetAdapterProperty::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_IPAddresses(IAddressList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_SubnetMasks(IAddressList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_GateWayAddresses(IAddressList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_DNSAddresses(IAddressList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_WINSServers(IAddressList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_IsDHCP(VARIANT_BOOL *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::put_IsDHCP(VARIANT_BOOL newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_Name(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdapterProperty::get_NetConnectionID(BSTR *pVal) {
    return E_NOTIMPL;
}

} // namespace Varquel
