#include "adapters/AddressList.h"

namespace Varquel {

// {2B424288-174F-447C-B70D-8CEDD18CD097}
const IID CAddressList::kImplIid = {0x2B424288, 0x174F, 0x447C, {0xB7, 0x0D, 0x8C, 0xED, 0xD1, 0x8C, 0xD0, 0x97}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IAddressList, &CastTo<CAddressList, IAddressList>},
    {&IID_IDispatch, &CastTo<CAddressList, IDispatch, IAddressList>},
    {&IID_IProvideClassInfo, &CastTo<CAddressList, IProvideClassInfo, IProvideClassInfo2>},
    {&CAddressList::kImplIid, &CastTo<CAddressList, CAddressList>},
};
} // namespace

std::span<const InterfaceEntry> CAddressList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CAddressList::get_Count(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CAddressList::Add(BSTR Value) {
    return E_NOTIMPL;
}

STDMETHODIMP CAddressList::GetAt(long nIndex, BSTR *pValue) {
    return E_NOTIMPL;
}

STDMETHODIMP CAddressList::RemoveAll() {
    return E_NOTIMPL;
}

STDMETHODIMP CAddressList::RemoveAt(long nIndex) {
    return E_NOTIMPL;
}

} // namespace Varquel
