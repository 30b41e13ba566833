#include "profiles/NetProfilesList.h"

namespace Varquel {

// {AA248895-BD3F-4ED6-9413-294151487EEF}
const IID CNetProfilesList::kImplIid = {0xAA248895, 0xBD3F, 0x4ED6, {0x94, 0x13, 0x29, 0x41, 0x51, 0x48, 0x7E, 0xEF}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetProfilesList, &CastTo<CNetProfilesList, INetProfilesList>},
    {&IID_IDispatch, &CastTo<CNetProfilesList, IDispatch, INetProfilesList>},
    {&IID_IProvideClassInfo2, &CastTo<CNetProfilesList, IProvideClassInfo2>},
    {&IID_IProvideClassInfo, &CastTo<CNetProfilesList, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetProfilesList::kImplIid, &CastTo<CNetProfilesList, CNetProfilesList>},
};
} // namespace

std::span<const InterfaceEntry> CNetProfilesList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetProfilesList::get_Count(long *pVal) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::NetProfileGetAt(long nIndex, INetProfile **ppNetProfile) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::Add(INetProfile *pNetProfile) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::Load() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::Save() {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::NetProfileRemoveAt(long nIndex) {
    return E_NOTIMPL;
}

STDMETHODIMP CNetProfilesList::NetProfileSetAt(long nIndex, INetProfile *pVal) {
    return E_NOTIMPL;
}

} // namespace Varquel
