#pragma once
#include <windows.h>
#include <wrl/client.h>
#include "Varquel_h.h"

namespace VarquelRobustness {

// An object that is not this server's: what a script passes when it hands
// the wrong thing to a member. It can answer IUnknown only, IDispatch, or
// INetProfile (every member failing), and it counts its references so a test
// sees whether the server kept one.
//
// With Offers::TearOffProfile it answers INetProfile with a tear-off: a
// separate small object with its own count, as COM allows. A released
// tear-off is kept (not freed) and counts every call made on it afterwards,
// so a test sees a pointer used after its reference was given back.
class CForeignObject final : public INetProfile {
public:
    enum class Offers { Unknown, Dispatch, Profile, TearOffProfile };

    static Microsoft::WRL::ComPtr<CForeignObject> Create(Offers offers);

    LONG References() const noexcept { return m_refs; }
    Offers Kind() const noexcept { return m_offers; }
    // Calls made on released tear-offs, by any object, since the program began.
    static long CallsOnReleasedTearOffs() noexcept;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // INetProfile
    STDMETHODIMP get_NetAdaptersList(INetAdaptersList** pVal) override;
    STDMETHODIMP get_PrintersProperty(IPrintersProperty** pVal) override;
    STDMETHODIMP get_ProxyProperty(IProxyProperty** pVal) override;
    STDMETHODIMP get_NetShareList(INetShareList** pVal) override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP get_Name(BSTR* pVal) override;
    STDMETHODIMP put_Name(BSTR newVal) override;
    STDMETHODIMP GetDuplicate(INetProfile** ppVal) override;

private:
    CForeignObject(Offers offers, CForeignObject* owner) noexcept : m_offers(offers), m_owner(owner) {}
    ~CForeignObject() = default;
    // False, and the call counted, on a released tear-off.
    bool Alive() const noexcept;

    LONG m_refs = 0;
    Offers m_offers;
    CForeignObject* m_owner;  // a tear-off's object, which it keeps a reference on
    bool m_released = false;
};

} // namespace VarquelRobustness
