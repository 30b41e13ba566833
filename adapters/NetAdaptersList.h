#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include <vector>
#include "adapters/NetAdapterProperty.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetAdaptersList final : public CComObjectRoot,
                    public CDispatchImpl<INetAdaptersList>,
                    public CProvideClassInfoImpl<CNetAdaptersList> {
public:
    static inline const CLSID& kClsid = CLSID_CNetAdaptersList;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetAdaptersList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP NetAdapterPropertyGetAt(long nIndex, INetAdapterProperty **Param) override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP DetectAdapters() override;

    // In-process operations (profile, profile duplicate, profile store).
    const std::vector<ComPtr<CNetAdapterProperty>>& Adapters() const noexcept { return m_adapters; }
    // A new detached adapter, created through COM and appended.
    ComPtr<CNetAdapterProperty> AppendNewAdapter();
    void CopyFrom(const CNetAdaptersList& other);
    bool Detected() const noexcept { return m_detected; }
    // GetCurrent and Apply for callers inside the server; they throw what
    // they cannot absorb.
    void CaptureMachine();
    void ApplyToMachine();

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    void Detect();
    void TakeStoredSettings(std::vector<ComPtr<CNetAdapterProperty>> stored);
    bool HoldsNoSettings(const CNetAdapterProperty* adapter) const noexcept;

    std::vector<ComPtr<CNetAdapterProperty>> m_adapters;
    bool m_detected = false;
    // Machine adapters that a stored profile had no settings for: applying
    // them would write detection's defaults (static, no addresses) over a
    // working connection, so Apply leaves them alone until GetCurrent has
    // read their real settings.
    std::vector<const CNetAdapterProperty*> m_withoutSettings;
};

} // namespace Varquel
