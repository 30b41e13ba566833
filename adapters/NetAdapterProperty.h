#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include <array>
#include <wbemdisp.h>
#include "com/Bstr.h"
#include "adapters/AddressList.h"
#include "adapters/AdapterSettings.h"
#include "adapters/WritePlan.h"
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

    HRESULT FinalConstruct() override;

    // In-process operations (adapters list, profile duplicate, profile store).
    using AddressKind = Varquel::AddressKind;
    static constexpr int kAddressKinds = Varquel::kAddressKinds;

    CAddressList& List(AddressKind kind) const noexcept { return *m_lists[static_cast<size_t>(kind)].Get(); }
    // Binds this new adapter to a Win32_NetworkAdapter object and reads its identity; 0 / 1.
    int AttachToAdapter(ISWbemObject* adapterObject);
    void CopyFrom(const CNetAdapterProperty& other);

    BSTR Name() const noexcept { return m_name.Get(); }
    void SetName(CBstr name) noexcept { m_name = std::move(name); }
    BSTR NetConnectionID() const noexcept { return m_netConnectionId.Get(); }
    void SetNetConnectionID(CBstr id) noexcept { m_netConnectionId = std::move(id); }
    VARIANT_BOOL IsDhcp() const noexcept { return m_isDhcp; }
    void SetIsDhcp(VARIANT_BOOL v) noexcept { m_isDhcp = v; }
    VARIANT_BOOL IPEnabled() const noexcept { return m_ipEnabled; }
    // IsDHCP and the five list objects move here from a stored adapter.
    void TakeSettingsFrom(CNetAdapterProperty& stored) noexcept;

    // GetCurrent and Apply for callers inside the server: S_FALSE when the
    // adapter is detached or a reading or parameterless method fails; other
    // failures are thrown.
    HRESULT ReadConfiguration();
    HRESULT WriteConfiguration();
    // The fields as settings to plan with.
    CAdapterSettings Settings() const;
    // For a switch, which plans with what the machine shows: the five lists
    // as the held configuration has them, whatever the mode (what GetCurrent
    // leaves alone on a DHCP adapter), without touching the fields; false when
    // detached or a property cannot be read. Its Index, to read it afresh.
    // Running a plan on it.
    bool ReadMachineLists(CAdapterSettings& settings) const;
    std::optional<long> ConfigurationIndex() const;
    std::vector<CCallResult> RunPlan(const CWritePlan& plan, const CPlanRun& how) const;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    HRESULT HandOutList(AddressKind kind, IAddressList** pVal) const;
    // What the held configuration shows of the mode, the addresses and the
    // gateways, when it shows the adapter static; none otherwise.
    std::optional<CAdapterSettings> StaticReading() const;

    ComPtr<ISWbemObject> m_adapterObject;
    ComPtr<ISWbemObject> m_configurationObject;
    CBstr m_name;
    CBstr m_netConnectionId;
    VARIANT_BOOL m_ipEnabled = VARIANT_TRUE;
    VARIANT_BOOL m_isDhcp = VARIANT_FALSE;
    std::array<ComPtr<CAddressList>, kAddressKinds> m_lists;
};

} // namespace Varquel
