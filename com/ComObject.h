#pragma once
#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>
#include <new>
#include <span>
#include "com/Boundary.h"
#include "com/Module.h"

namespace Varquel {

using Microsoft::WRL::ComPtr;

class CComObjectRoot;

// Takes over a reference the caller already owns. (ComPtr::Attach of this
// toolchain adds a reference of its own, so it cannot serve for that.)
template <class T>
ComPtr<T> Adopt(T* owned) noexcept {
    ComPtr<T> holder;
    *holder.GetAddressOf() = owned;
    return holder;
}

// One row of a class's QueryInterface table.
struct InterfaceEntry {
    const IID* iid;
    void* (*cast)(CComObjectRoot* root);
};

template <class Derived, class Itf, class Via = Itf>
void* CastTo(CComObjectRoot* root) noexcept {
    return static_cast<Itf*>(static_cast<Via*>(static_cast<Derived*>(root)));
}

// Reference counting, QueryInterface from the class's table, aggregation and
// the module's object count for every object of this server.
class CComObjectRoot {
public:
    CComObjectRoot() noexcept : m_inner(this) { Module::AddLock(); }
    virtual ~CComObjectRoot() { Module::ReleaseLock(); }
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    // Runs once after construction; a failure destroys the object.
    virtual HRESULT FinalConstruct() { return S_OK; }

    // The IUnknown of the object as its interfaces see it: the outer object's
    // when aggregated.
    HRESULT OuterQueryInterface(REFIID riid, void** ppv) noexcept {
        return m_outer ? m_outer->QueryInterface(riid, ppv) : InternalQueryInterface(riid, ppv);
    }
    ULONG OuterAddRef() noexcept { return m_outer ? m_outer->AddRef() : InternalAddRef(); }
    ULONG OuterRelease() noexcept { return m_outer ? m_outer->Release() : InternalRelease(); }

    HRESULT InternalQueryInterface(REFIID riid, void** ppv) noexcept;
    ULONG InternalAddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG InternalRelease() noexcept {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    IUnknown* InnerUnknown() noexcept { return &m_inner; }
    void SetOuter(IUnknown* outer) noexcept { m_outer = outer; }

protected:
    virtual std::span<const InterfaceEntry> Interfaces() const noexcept = 0;

private:
    // The non-delegating IUnknown that an aggregating object holds.
    struct CInner final : IUnknown {
        explicit CInner(CComObjectRoot* owner) noexcept : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override { return m_owner->InternalAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_owner->InternalRelease(); }
        CComObjectRoot* m_owner;
    };

    LONG m_refs = 0;
    IUnknown* m_outer = nullptr;
    CInner m_inner;
};

// The IUnknown members of a class, all routed to its root.
#define VARQUEL_IUNKNOWN                                                                  \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                      \
        return OuterQueryInterface(riid, ppv);                                            \
    }                                                                                     \
    STDMETHODIMP_(ULONG) AddRef() override { return OuterAddRef(); }                     \
    STDMETHODIMP_(ULONG) Release() override { return OuterRelease(); }

// Creates an object of class T (aggregated into `outer` when given) and
// answers `riid` on it: the body of every class factory.
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    T* object = nullptr;
    try {
        object = new T();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    object->SetOuter(outer);
    object->InternalAddRef();
    HRESULT hr = ComBoundary([&] { return object->FinalConstruct(); });
    if (SUCCEEDED(hr)) {
        if (outer) {
            *ppv = object->InnerUnknown();
            object->InternalAddRef();
        } else {
            hr = object->InternalQueryInterface(riid, ppv);
        }
    }
    object->InternalRelease();
    return hr;
}

// Another object's state, reached through its private implementation IID.
// Null when `unknown` is not an object of class T of this server.
template <class T>
ComPtr<T> ImplOf(IUnknown* unknown) noexcept {
    ComPtr<T> impl;
    if (unknown) unknown->QueryInterface(T::kImplIid, reinterpret_cast<void**>(impl.GetAddressOf()));
    return impl;
}

// Creates an object of this server through the platform (every child is made
// this way) and returns its implementation; throws on failure.
template <class T, class Itf>
ComPtr<T> CreateServerObject(REFCLSID clsid) {
    ComPtr<Itf> itf;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(Itf),
                                  reinterpret_cast<void**>(itf.GetAddressOf()));
    if (FAILED(hr)) ThrowComError(hr);
    ComPtr<T> impl = ImplOf<T>(itf.Get());
    if (!impl) ThrowComError(E_NOINTERFACE);
    return impl;
}

// Makes an object of class T of this server directly, for the classes that
// clients cannot create (they are not registered); throws on failure.
template <class T, class Itf>
ComPtr<T> MakeServerObject() {
    ComPtr<Itf> itf;
    ThrowIfFailed(CreateComObject<T>(nullptr, __uuidof(Itf), reinterpret_cast<void**>(itf.GetAddressOf())));
    ComPtr<T> impl = ImplOf<T>(itf.Get());
    if (!impl) ThrowComError(E_NOINTERFACE);
    return impl;
}

} // namespace Varquel
