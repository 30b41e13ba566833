#include "wmi/WmiPropertySet.h"

using Microsoft::WRL::ComPtr;

namespace Varquel {

CWmiPropertySet::CWmiPropertySet(ISWbemObject* object) noexcept {
    if (!object) return;
    if (FAILED(object->get_Properties_(m_set.GetAddressOf()))) m_set.Reset();
}

HRESULT CWmiPropertySet::ReadProperty(const wchar_t* name, CVariant& value) const noexcept {
    value.Clear();
    if (!m_set) return E_POINTER;
    CBstr itemName;
    try {
        itemName = CBstr(name);
    } catch (const CComError& e) {
        return e.Result();
    }
    ComPtr<ISWbemProperty> property;
    HRESULT hr = m_set->Item(itemName.Get(), 0, property.GetAddressOf());
    if (FAILED(hr)) return hr;
    if (!property) return E_POINTER;
    return property->get_Value(value.Get());
}

CBstr CWmiPropertySet::GetString(const wchar_t* name) const {
    CVariant value;
    if (FAILED(ReadProperty(name, value)) || value.Type() != VT_BSTR) return CBstr();
    return CBstr::CopyWhole(V_BSTR(value.Get()));
}

} // namespace Varquel
