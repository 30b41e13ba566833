// Placeholder dispatch: replaced by the table-driven dispatcher.
#include "com/Dispatch.h"
#include "Varquel_h.h"

namespace Varquel::Dispatch {

struct InterfaceTable {
    const IID* iid;
};

namespace {
constexpr InterfaceTable kAddressList{&IID_IAddressList};
constexpr InterfaceTable kNetAdapterProperty{&IID_INetAdapterProperty};
constexpr InterfaceTable kNetAdaptersList{&IID_INetAdaptersList};
constexpr InterfaceTable kPrintersProperty{&IID_IPrintersProperty};
constexpr InterfaceTable kProxyProperty{&IID_IProxyProperty};
constexpr InterfaceTable kNetShareList{&IID_INetShareList};
constexpr InterfaceTable kNetProfile{&IID_INetProfile};
constexpr InterfaceTable kNetProfilesList{&IID_INetProfilesList};
} // namespace

template <> const InterfaceTable& TableOf<IAddressList>() noexcept { return kAddressList; }
template <> const InterfaceTable& TableOf<INetAdapterProperty>() noexcept { return kNetAdapterProperty; }
template <> const InterfaceTable& TableOf<INetAdaptersList>() noexcept { return kNetAdaptersList; }
template <> const InterfaceTable& TableOf<IPrintersProperty>() noexcept { return kPrintersProperty; }
template <> const InterfaceTable& TableOf<IProxyProperty>() noexcept { return kProxyProperty; }
template <> const InterfaceTable& TableOf<INetShareList>() noexcept { return kNetShareList; }
template <> const InterfaceTable& TableOf<INetProfile>() noexcept { return kNetProfile; }
template <> const InterfaceTable& TableOf<INetProfilesList>() noexcept { return kNetProfilesList; }

HRESULT GetTypeInfoCount(REFIID, UINT* pctinfo) noexcept {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}
HRESULT GetTypeInfo(REFIID, UINT, ITypeInfo** ppTInfo) noexcept {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    return E_NOTIMPL;
}
HRESULT GetIDsOfNames(const InterfaceTable&, LPOLESTR*, UINT, DISPID*) noexcept { return E_NOTIMPL; }
HRESULT Invoke(const InterfaceTable&, IDispatch*, DISPID, WORD, DISPPARAMS*, VARIANT*, UINT*) noexcept {
    return E_NOTIMPL;
}

} // namespace Varquel::Dispatch
