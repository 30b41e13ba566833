#include "adapters/NetAdaptersList.h"

namespace Varquel {

// {4EE31473-E331-4C4F-A840-AB654F80E5B4}
const IID CNetAdaptersList::kImplIid = {0x4EE31473, 0xE331, 0x4C4F, {0xA8, 0x40, 0xAB, 0x65, 0x4F, 0x80, 0xE5, 0xB4}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetAdaptersList, &CastTo<CNetAdaptersList, INetAdaptersList>},
    {&IID_IDispatch, &CastTo<CNetAdaptersList, IDispatch, INetAdaptersList>},
    {&IID_IProvideClassInfo, &CastTo<CNetAdaptersList, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetAdaptersList::kImplIid, &CastTo<CNetAdaptersList, CNetAdaptersList>},
};
} // namespace

std::span<const InterfaceEntry> CNetAdaptersList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetAdaptersList::get_Count(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdaptersList::NetAdapterPropertyGetAt(long nIndex, INetAdapterProperty **Param) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdaptersList::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdaptersList::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetAdaptersList::DetectAdapters() {
    return E_NOTIMPL;
}

} // namespace Varquel
