#include "profiles/ApplyChange.h"

namespace Varquel {

// {2161B479-CCAC-49D8-86EC-D422B156BCF0}
const IID CApplyChange::kImplIid = {0x2161B479, 0xCCAC, 0x49D8, {0x86, 0xEC, 0xD4, 0x22, 0xB1, 0x56, 0xBC, 0xF0}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_IApplyChange, &CastTo<CApplyChange, IApplyChange>},
    {&IID_IDispatch, &CastTo<CApplyChange, IDispatch, IApplyChange>},
    {&IID_IProvideClassInfo, &CastTo<CApplyChange, IProvideClassInfo, IProvideClassInfo2>},
    {&CApplyChange::kImplIid, &CastTo<CApplyChange, CApplyChange>},
};

HRESULT LongOut(long value, long* out) noexcept {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

// Never null: an empty text stands for nothing to show.
HRESULT TextOut(const CBstr& text, BSTR* out) noexcept {
    return ComBoundaryOut(out, [&] {
        *out = (text.IsNull() ? CBstr::Empty() : CBstr::CopyWhole(text.Get())).Detach();
        return S_OK;
    });
}
} // namespace

std::span<const InterfaceEntry> CApplyChange::Interfaces() const noexcept { return kInterfaces; }

ComPtr<CApplyChange> CApplyChange::Make(CData data) {
    ComPtr<CApplyChange> change = MakeServerObject<CApplyChange, IApplyChange>();
    change->m_data = std::move(data);
    return change;
}

STDMETHODIMP CApplyChange::get_Adapter(BSTR *pVal) { return TextOut(m_data.adapter, pVal); }
STDMETHODIMP CApplyChange::get_NetConnectionID(BSTR *pVal) { return TextOut(m_data.netConnectionId, pVal); }
STDMETHODIMP CApplyChange::get_Setting(BSTR *pVal) { return TextOut(m_data.setting, pVal); }
STDMETHODIMP CApplyChange::get_Before(BSTR *pVal) { return TextOut(m_data.before, pVal); }
STDMETHODIMP CApplyChange::get_Planned(BSTR *pVal) { return TextOut(m_data.planned, pVal); }
STDMETHODIMP CApplyChange::get_After(BSTR *pVal) { return TextOut(m_data.after, pVal); }
STDMETHODIMP CApplyChange::get_Status(long *pVal) { return LongOut(m_data.status, pVal); }
STDMETHODIMP CApplyChange::get_WmiMethod(BSTR *pVal) { return TextOut(m_data.wmiMethod, pVal); }
STDMETHODIMP CApplyChange::get_WmiReturnValue(long *pVal) { return LongOut(m_data.wmiReturnValue, pVal); }
STDMETHODIMP CApplyChange::get_Message(BSTR *pVal) { return TextOut(m_data.message, pVal); }

} // namespace Varquel
