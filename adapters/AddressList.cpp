#include "adapters/AddressList.h"
#include "com/SafeArray.h"

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
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_entries.Count();
        return S_OK;
    });
}

STDMETHODIMP CAddressList::Add(BSTR Value) {
    return ComBoundary([&] {
        m_entries.AppendToNul(Value);
        return S_OK;
    });
}

STDMETHODIMP CAddressList::GetAt(long nIndex, BSTR *pValue) {
    if (!pValue) return E_POINTER;
    *pValue = nullptr;
    // A copy that cannot be made leaves the result null; the read still succeeds.
    Tolerate([&] {
        *pValue = (m_entries.InRange(nIndex) ? CBstr::CopyWhole(m_entries.At(nIndex)) : CBstr::Empty()).Detach();
    });
    return S_OK;
}

STDMETHODIMP CAddressList::RemoveAll() {
    m_entries.RemoveAll();
    return S_OK;
}

STDMETHODIMP CAddressList::RemoveAt(long nIndex) {
    return ComBoundary([&] {
        if (!m_entries.InRange(nIndex)) return E_INVALIDARG;
        m_entries.RemoveAt(nIndex);
        return S_OK;
    });
}

void CAddressList::Append(BSTR text) { m_entries.Append(text); }

CVariant VariantArrayOf(const CStringArray& entries) {
    const LONG count = entries.Count();
    CSafeArray array = CSafeArray::Variants(static_cast<ULONG>(count));
    if (count > 0) {
        CSafeArrayLock lock(array.Get());
        VARIANT* elements = lock.Data<VARIANT>();
        for (LONG i = 0; i < count; ++i) {
            // The element owns its copy from here on; a null entry stays a null string.
            V_BSTR(&elements[i]) = CBstr::CopyWhole(entries.At(i)).Detach();
            V_VT(&elements[i]) = VT_BSTR;
        }
    }
    CVariant value;
    V_ARRAY(value.Get()) = array.Detach();
    V_VT(value.Get()) = VT_ARRAY | VT_VARIANT;
    return value;
}

void StringsFromVariantArray(const VARIANT& value, CStringArray& entries) {
    entries.RemoveAll();
    // Anything but an array of variants (VT_NULL above all: a property without value) leaves the list empty.
    if (V_VT(&value) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&value)) return;
    SAFEARRAY* array = V_ARRAY(&value);
    ULONG total = 1;
    for (USHORT d = 0; d < array->cDims; ++d) total *= array->rgsabound[d].cElements;
    if (array->cDims == 0) total = 0;
    CSafeArrayLock lock(array);
    const VARIANT* elements = lock.Data<VARIANT>();
    for (ULONG i = 0; i < total; ++i) {
        // A non-string element still takes its place (as a null entry), so
        // an address keeps its position relative to its subnet mask.
        if (V_VT(&elements[i]) == VT_BSTR)
            entries.AppendToNul(V_BSTR(&elements[i]));
        else
            entries.Append(CBstr());
    }
}

HRESULT CAddressList::FromVariantArray(const VARIANT& value) {
    m_entries.RemoveAll();
    return ComBoundary([&] {
        StringsFromVariantArray(value, m_entries);
        return S_OK;
    });
}

void CAddressList::CopyFrom(const CAddressList& other) { m_entries.CopyFrom(other.m_entries); }

} // namespace Varquel
