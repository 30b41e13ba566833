#include "simulator/LocatorFactory.h"
#include "simulator/Locator.h"

namespace VarquelSim {

CLocatorFactory::CLocatorFactory(Provider provider) : m_provider(std::move(provider)) {}

HRESULT CLocatorFactory::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG CLocatorFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG CLocatorFactory::Release() {
    LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CLocatorFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    return Guarded([&]() -> HRESULT {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        std::shared_ptr<CMachine> machine;
        HRESULT hr = m_provider(machine);
        if (FAILED(hr)) return hr;
        return New<CLocator>(machine)->QueryInterface(riid, object);
    });
}

HRESULT CLocatorFactory::LockServer(BOOL lock) {
    if (lock) ++s_locks;
    else --s_locks;
    return S_OK;
}

} // namespace VarquelSim
