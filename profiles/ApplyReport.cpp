#include "profiles/ApplyReport.h"
#include "com/Enumerator.h"

namespace Varquel {

// {EAD3126E-393E-4456-B6E6-E09097C4571D}
const IID CApplyReport::kImplIid = {0xEAD3126E, 0x393E, 0x4456, {0xB6, 0xE6, 0xE0, 0x90, 0x97, 0xC4, 0x57, 0x1D}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IApplyReport2, &CastTo<CApplyReport, IApplyReport2>},
    {&IID_IApplyReport, &CastTo<CApplyReport, IApplyReport, IApplyReport2>},
    {&IID_IDispatch, &CastTo<CApplyReport, IDispatch, IApplyReport2>},
    {&IID_IProvideClassInfo, &CastTo<CApplyReport, IProvideClassInfo, IProvideClassInfo2>},
    {&CApplyReport::kImplIid, &CastTo<CApplyReport, CApplyReport>},
};

HRESULT FlagOut(bool value, VARIANT_BOOL* out) noexcept {
    if (!out) return E_POINTER;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
} // namespace

std::span<const InterfaceEntry> CApplyReport::Interfaces() const noexcept { return kInterfaces; }

ComPtr<CApplyReport> CApplyReport::Make(CData data) {
    ComPtr<CApplyReport> report = MakeServerObject<CApplyReport, IApplyReport2>();
    report->m_data = std::move(data);
    return report;
}

STDMETHODIMP CApplyReport::get_Count(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = static_cast<long>(m_data.changes.size());
        return S_OK;
    });
}

STDMETHODIMP CApplyReport::Item(long Index, IApplyChange **ppChange) {
    return ComBoundaryOut(ppChange, [&] {
        if (Index >= 0 && static_cast<size_t>(Index) < m_data.changes.size())
            *ppChange = ComPtr<IApplyChange>(m_data.changes[static_cast<size_t>(Index)]).Detach();
        return S_OK;
    });
}

STDMETHODIMP CApplyReport::get__NewEnum(IUnknown **ppEnum) {
    return ComBoundaryOut(ppEnum, [&] {
        std::vector<ComPtr<IDispatch>> items;
        items.reserve(m_data.changes.size());
        for (const ComPtr<CApplyChange>& change : m_data.changes) items.emplace_back(change.Get());
        ComPtr<IEnumVARIANT> enumerator;
        ThrowIfFailed(CEnumVariant::Create(items, 0, enumerator.GetAddressOf()));
        *ppEnum = ComPtr<IUnknown>(enumerator).Detach();
        return S_OK;
    });
}

STDMETHODIMP CApplyReport::get_Succeeded(VARIANT_BOOL *pVal) { return FlagOut(m_data.succeeded, pVal); }
STDMETHODIMP CApplyReport::get_RolledBack(VARIANT_BOOL *pVal) { return FlagOut(m_data.rolledBack, pVal); }
STDMETHODIMP CApplyReport::get_AccessDenied(VARIANT_BOOL *pVal) { return FlagOut(m_data.accessDenied, pVal); }
STDMETHODIMP CApplyReport::get_RestartNeeded(VARIANT_BOOL *pVal) { return FlagOut(m_data.restartNeeded, pVal); }

STDMETHODIMP CApplyReport::get_Before(INetProfile **ppProfile) {
    return ComBoundaryOut(ppProfile, [&] {
        *ppProfile = ComPtr<INetProfile>(m_data.before).Detach();
        return S_OK;
    });
}

STDMETHODIMP CApplyReport::get_Text(BSTR *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = CBstr::CopyWhole(m_data.text.Get()).Detach();
        return S_OK;
    });
}

} // namespace Varquel
