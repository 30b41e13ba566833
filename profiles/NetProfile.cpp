#include "profiles/NetProfile.h"

namespace Varquel {

// {7D2862C6-5CA4-403E-8DBD-621820343E6F}
const IID CNetProfile::kImplIid = {0x7D2862C6, 0x5CA4, 0x403E, {0x8D, 0xBD, 0x62, 0x18, 0x20, 0x34, 0x3E, 0x6F}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetProfile, &CastTo<CNetProfile, INetProfile>},
    {&IID_IDispatch, &CastTo<CNetProfile, IDispatch, INetProfile>},
    {&IID_IProvideClassInfo2, &CastTo<CNetProfile, IProvideClassInfo2>},
    {&IID_IProvideClassInfo, &CastTo<CNetProfile, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetProfile::kImplIid, &CastTo<CNetProfile, CNetProfile>},
};
} // namespace

std::span<const InterfaceEntry> CNetProfile::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetProfile::get_NetAdaptersList(INetAdaptersList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::get_PrintersProperty(IPrintersProperty **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::get_ProxyProperty(IProxyProperty **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::get_NetShareList(INetShareList **pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::get_Name(BSTR *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::put_Name(BSTR newVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfile::GetDuplicate(INetProfile **ppVal) {
    return E_NOTIMPL;
}

} // namespace Varquel
