#include "settings/NetShareList.h"

namespace Varquel {

// {8BAE8003-8623-45C5-99FC-B051D087AF70}
const IID CNetShareList::kImplIid = {0x8BAE8003, 0x8623, 0x45C5, {0x99, 0xFC, 0xB0, 0x51, 0xD0, 0x87, 0xAF, 0x70}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetShareList, &CastTo<CNetShareList, INetShareList>},
    {&IID_IDispatch, &CastTo<CNetShareList, IDispatch, INetShareList>},
    {&IID_IProvideClassInfo, &CastTo<CNetShareList, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetShareList::kImplIid, &CastTo<CNetShareList, CNetShareList>},
};
} // namespace

std::span<const InterfaceEntry> CNetShareList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetShareList::GetCurrent() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::Apply() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::RemoveAt(long nIndex) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::RemoveAll() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::get_Count(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::NameGetAt(long nIndex, BSTR *Name) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::PathGetAt(long nIndex, BSTR *Path) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::CloseAll() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetShareList::Add(BSTR Name, BSTR Path) {
    return E_NOTIMPL;
}

} // namespace Varquel
