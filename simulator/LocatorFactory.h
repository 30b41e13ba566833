#pragma once
#include <windows.h>
#include <objbase.h>
#include <atomic>
#include <functional>
#include <memory>

namespace VarquelSim {

class CMachine;

// Class object of the simulated SWbemLocator. Its calls are not counted and
// it is not one of the machine's live objects.
class CLocatorFactory : public IClassFactory {
public:
    // Gives the machine that new locators serve, or the failure to report.
    using Provider = std::function<HRESULT(std::shared_ptr<CMachine>&)>;
    explicit CLocatorFactory(Provider provider);
    CLocatorFactory(const CLocatorFactory&) = delete;
    CLocatorFactory& operator=(const CLocatorFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // LockServer locks of all factories.
    static long Locks() noexcept { return s_locks; }

private:
    virtual ~CLocatorFactory() = default;
    LONG m_refs = 0;
    Provider m_provider;
    static inline std::atomic<long> s_locks{0};
};

} // namespace VarquelSim
