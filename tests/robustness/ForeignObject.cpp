#include "tests/robustness/ForeignObject.h"
#include <atomic>

namespace VarquelRobustness {

namespace {

std::atomic<long> g_callsOnReleased{0};

template <class T>
HRESULT NoObject(T** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

} // namespace

Microsoft::WRL::ComPtr<CForeignObject> CForeignObject::Create(Offers offers) {
    // Born with no reference: the pointer's constructor takes the first.
    return Microsoft::WRL::ComPtr<CForeignObject>(new CForeignObject(offers, nullptr));
}

long CForeignObject::CallsOnReleasedTearOffs() noexcept { return g_callsOnReleased; }

bool CForeignObject::Alive() const noexcept {
    if (!m_released) return true;
    ++g_callsOnReleased;
    return false;
}

STDMETHODIMP CForeignObject::QueryInterface(REFIID riid, void** ppv) {
    if (!Alive()) return E_NOINTERFACE;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (m_owner) {  // a tear-off: its object answers for identity and IDispatch
        if (IsEqualIID(riid, IID_INetProfile)) {
            *ppv = static_cast<INetProfile*>(this);
            AddRef();
            return S_OK;
        }
        return m_owner->QueryInterface(riid, ppv);
    }
    if (m_offers == Offers::TearOffProfile && IsEqualIID(riid, IID_INetProfile)) {
        auto* tearOff = new CForeignObject(Offers::Profile, this);
        AddRef();
        *ppv = static_cast<INetProfile*>(tearOff);
        tearOff->AddRef();
        return S_OK;
    }
    bool offered = IsEqualIID(riid, IID_IUnknown) ||
                   (m_offers != Offers::Unknown && IsEqualIID(riid, IID_IDispatch)) ||
                   (m_offers == Offers::Profile && IsEqualIID(riid, IID_INetProfile));
    if (!offered) return E_NOINTERFACE;
    *ppv = static_cast<INetProfile*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CForeignObject::AddRef() {
    if (!Alive()) return 0;
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CForeignObject::Release() {
    if (!Alive()) return 0;
    LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) {
        if (m_owner) {
            // Kept, not freed, so that a later call is seen instead of crashing.
            m_released = true;
            m_owner->Release();
        } else {
            delete this;
        }
    }
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CForeignObject::GetTypeInfoCount(UINT* pctinfo) {
    if (!Alive()) return E_UNEXPECTED;
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CForeignObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (!Alive()) return E_UNEXPECTED;
    return NoObject(ppTInfo);
}

STDMETHODIMP CForeignObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    if (!Alive()) return E_UNEXPECTED;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CForeignObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    if (!Alive()) return E_UNEXPECTED;
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CForeignObject::get_NetAdaptersList(INetAdaptersList** pVal) { Alive(); return NoObject(pVal); }
STDMETHODIMP CForeignObject::get_PrintersProperty(IPrintersProperty** pVal) { Alive(); return NoObject(pVal); }
STDMETHODIMP CForeignObject::get_ProxyProperty(IProxyProperty** pVal) { Alive(); return NoObject(pVal); }
STDMETHODIMP CForeignObject::get_NetShareList(INetShareList** pVal) { Alive(); return NoObject(pVal); }
STDMETHODIMP CForeignObject::GetCurrent() { Alive(); return E_NOTIMPL; }
STDMETHODIMP CForeignObject::Apply() { Alive(); return E_NOTIMPL; }
STDMETHODIMP CForeignObject::get_Name(BSTR* pVal) { Alive(); return NoObject(pVal); }
STDMETHODIMP CForeignObject::put_Name(BSTR) { Alive(); return E_NOTIMPL; }
STDMETHODIMP CForeignObject::GetDuplicate(INetProfile** ppVal) { Alive(); return NoObject(ppVal); }

} // namespace VarquelRobustness
