#pragma once
#include <utility>
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/ConnectionPoint.h"
#include "com/DispatchImpl.h"
#include "adapters/NetAdaptersList.h"
#include "settings/PrintersProperty.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetProfile final : public CComObjectRoot,
                    public CDispatchImpl<INetProfile>,
                    public CProvideClassInfoImpl<CNetProfile>,
                    public CConnectionPointContainer {
public:
    static inline const CLSID& kClsid = CLSID_CNetProfile;
    static inline const IID* const kSourceIid = &DIID__INetProfileEvents;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    CNetProfile() noexcept : CConnectionPointContainer(this, DIID__INetProfileEvents) {}

    HRESULT FinalConstruct() override;

    // INetProfile
    STDMETHODIMP get_NetAdaptersList(INetAdaptersList **pVal) override;
    STDMETHODIMP get_PrintersProperty(IPrintersProperty **pVal) override;
    STDMETHODIMP get_ProxyProperty(IProxyProperty **pVal) override;
    STDMETHODIMP get_NetShareList(INetShareList **pVal) override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP get_Name(BSTR *pVal) override;
    STDMETHODIMP put_Name(BSTR newVal) override;
    STDMETHODIMP GetDuplicate(INetProfile **ppVal) override;

    // The two parts, created with the profile and never replaced.
    CNetAdaptersList& Adapters() const noexcept { return *m_adapters.Get(); }
    CPrintersProperty& Printers() const noexcept { return *m_printers.Get(); }
    BSTR Name() const noexcept { return m_name.Get(); }

    void SetName(CBstr name) noexcept { m_name = std::move(name); }
    // GetDuplicate for callers inside the server.
    ComPtr<CNetProfile> Duplicate() const;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    CBstr m_name;
    ComPtr<CNetAdaptersList> m_adapters;
    ComPtr<CPrintersProperty> m_printers;
};

} // namespace Varquel
