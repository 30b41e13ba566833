#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetAdapterProperty final : public CComObjectRoot,
                    public CDispatchImpl<INetAdapterProperty>,
                    public CProvideClassInfoImpl<CNetAdapterProperty> {
public:
    static inline const CLSID& kClsid = CLSID_CNetAdapterProperty;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetAdapterProperty
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP get_IPAddresses(IAddressList **pVal) override;
    STDMETHODIMP get_SubnetMasks(IAddressList **pVal) override;
    STDMETHODIMP get_GateWayAddresses(IAddressList **pVal) override;
    STDMETHODIMP get_DNSAddresses(IAddressList **pVal) override;
    STDMETHODIMP get_WINSServers(IAddressList **pVal) override;
    STDMETHODIMP get_IsDHCP(VARIANT_BOOL *pVal) override;
    STDMETHODIMP put_IsDHCP(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_Name(BSTR *pVal) override;
    STDMETHODIMP get_NetConnectionID(BSTR *pVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;
};

} // namespace Varquel
