#pragma once
#include <windows.h>
#include <unknwn.h>

namespace Varquel {

using CreatorFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// The class object of every class. A factory cached by the server counts in
// the module's lock count while a client holds it (the cache's own reference
// does not); one registered by a test program never counts.
class CClassFactory final : public IClassFactory {
public:
    CClassFactory(CreatorFn create, bool countsClientReferences) noexcept
        : m_create(create), m_counts(countsClientReferences) {}
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~CClassFactory() = default;
    LONG m_refs = 1;
    CreatorFn m_create;
    bool m_counts;
};

} // namespace Varquel
