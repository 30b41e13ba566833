#include "com/ComObject.h"

namespace Varquel {

HRESULT CComObjectRoot::InternalQueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::span<const InterfaceEntry> table = Interfaces();
    if (table.empty()) return E_NOINTERFACE;
    // IUnknown is the first interface of the table: one identity per object.
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = table.front().cast(this);
    } else {
        for (const InterfaceEntry& entry : table) {
            if (IsEqualIID(riid, *entry.iid)) {
                *ppv = entry.cast(this);
                break;
            }
        }
    }
    if (!*ppv) return E_NOINTERFACE;
    // The pointer handed out is released through its own Release, which goes
    // to the outer object when aggregated: count it there too.
    OuterAddRef();
    return S_OK;
}

HRESULT CComObjectRoot::CInner::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return m_owner->InternalQueryInterface(riid, ppv);
}

} // namespace Varquel
