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
    {&IID_IConnectionPointContainer, &CastTo<CNetProfile, IConnectionPointContainer>},
    {&CNetProfile::kImplIid, &CastTo<CNetProfile, CNetProfile>},
};
} // namespace

std::span<const InterfaceEntry> CNetProfile::Interfaces() const noexcept { return kInterfaces; }

HRESULT CNetProfile::FinalConstruct() {
    // A profile is useless without its parts: no profile rather than one
    // that fails later.
    m_adapters = CreateServerObject<CNetAdaptersList, INetAdaptersList>(CLSID_CNetAdaptersList);
    m_printers = CreateServerObject<CPrintersProperty, IPrintersProperty>(CLSID_CPrintersProperty);
    m_name = CBstr::Empty();
    return S_OK;
}

STDMETHODIMP CNetProfile::get_NetAdaptersList(INetAdaptersList **pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = ComPtr<INetAdaptersList>(m_adapters).Detach();
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::get_PrintersProperty(IPrintersProperty **pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = ComPtr<IPrintersProperty>(m_printers).Detach();
        return S_OK;
    });
}

// Proxy settings and shares are never part of a profile: the client keeps
// stand-alone objects for them.
STDMETHODIMP CNetProfile::get_ProxyProperty(IProxyProperty **pVal) {
    return ComBoundaryOut(pVal, [] { return S_OK; });
}

STDMETHODIMP CNetProfile::get_NetShareList(INetShareList **pVal) {
    return ComBoundaryOut(pVal, [] { return S_OK; });
}

// The parts report their own trouble: a capture or an apply goes on with the
// printers whatever the adapters did.
STDMETHODIMP CNetProfile::GetCurrent() {
    return ComBoundary([&] {
        Tolerate([&] { m_adapters->CaptureMachine(); });
        Tolerate([&] { m_printers->CaptureMachine(); });
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::Apply() {
    return ComBoundary([&] {
        Tolerate([&] { m_adapters->ApplyToMachine(); });
        Tolerate([&] { m_printers->ApplyToMachine(); });
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::get_Name(BSTR *pVal) { return CopyStringOut(m_name.Get(), pVal); }

STDMETHODIMP CNetProfile::put_Name(BSTR newVal) { return PutString(m_name, newVal); }

STDMETHODIMP CNetProfile::GetDuplicate(INetProfile **ppVal) {
    return ComBoundaryOut(ppVal, [&] {
        *ppVal = ComPtr<INetProfile>(Duplicate()).Detach();
        return S_OK;
    });
}

ComPtr<CNetProfile> CNetProfile::Duplicate() const {
    const ComPtr<CNetProfile> copy = CreateServerObject<CNetProfile, INetProfile>(CLSID_CNetProfile);
    copy->m_name = CBstr::CopyWhole(m_name.Get());
    copy->m_adapters->CopyFrom(Adapters());
    copy->m_printers->CopyStateFrom(Printers());
    return copy;
}

} // namespace Varquel
