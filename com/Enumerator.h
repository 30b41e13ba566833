#pragma once
#include <windows.h>
#include <ocidl.h>
#include <vector>
#include "com/ComObject.h"

namespace Varquel {

// One connection of a snapshot: the sink with a reference of its own.
struct Connection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};

inline void CopyOut(const ComPtr<IConnectionPoint>& item, IConnectionPoint** out) noexcept {
    *out = item.Get();
    (*out)->AddRef();
}
inline void CopyOut(const ComPtr<IDispatch>& item, VARIANT* out) noexcept {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = item.Get();
    if (item) item->AddRef();
}
inline void CopyOut(const Connection& item, CONNECTDATA* out) noexcept {
    out->pUnk = item.sink.Get();
    out->pUnk->AddRef();
    out->dwCookie = item.cookie;
}

// An IEnumXxx over a snapshot of items; a live object of the server while it
// exists. Out is what Next hands out (each with a reference of its own).
template <class Itf, class Item, class Out>
class CEnumerator final : public CComObjectRoot, public Itf {
public:
    VARQUEL_IUNKNOWN

    static HRESULT Create(const std::vector<Item>& items, size_t position, Itf** ppEnum) noexcept {
        *ppEnum = nullptr;
        CEnumerator* created = nullptr;
        try {
            created = new CEnumerator();
            created->m_items = items;
        } catch (...) {
            delete created;
            return E_OUTOFMEMORY;
        }
        created->m_position = position;
        return created->InternalQueryInterface(__uuidof(Itf), reinterpret_cast<void**>(ppEnum));
    }

    STDMETHODIMP Next(ULONG count, Out* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!items || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        for (; done < count && m_position < m_items.size(); ++done) CopyOut(m_items[m_position++], &items[done]);
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = m_items.size() - m_position;
        m_position += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Itf** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        return Create(m_items, m_position, ppEnum);
    }

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override {
        static const InterfaceEntry table[] = {{&__uuidof(Itf), &CastTo<CEnumerator, Itf>}};
        return table;
    }

private:
    CEnumerator() = default;
    std::vector<Item> m_items;
    size_t m_position = 0;
};

using CEnumConnectionPoints = CEnumerator<IEnumConnectionPoints, ComPtr<IConnectionPoint>, IConnectionPoint*>;
using CEnumConnections = CEnumerator<IEnumConnections, Connection, CONNECTDATA>;
// For VBScript's For Each and JScript's Enumerator over a collection.
using CEnumVariant = CEnumerator<IEnumVARIANT, ComPtr<IDispatch>, VARIANT>;

} // namespace Varquel
