#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include <optional>
#include <span>
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

    // How stored adapters meet the machine's, here and in a switch: for each
    // machine adapter, the stored adapter whose Name it takes, if any. The
    // first stored adapter of a Name goes to the first machine adapter of
    // it, the second to the second...
    static std::vector<std::optional<size_t>> MatchByName(std::span<const BSTR> machine, std::span<const BSTR> stored);
    static std::vector<BSTR> Names(const std::vector<ComPtr<CNetAdapterProperty>>& adapters);
    // Adapters that Apply leaves alone: machine adapters that a stored
    // profile gave no settings to.
    bool HoldsNoSettings(const CNetAdapterProperty* adapter) const noexcept;
    // DetectAdapters for callers inside the server. With `withoutIp`, the
    // names of the adapters it leaves out because IP is not enabled on them
    // (unplugged or disabled): present, but not connected.
    void Detect(std::vector<CBstr>* withoutIp = nullptr);

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    void TakeStoredSettings(std::vector<ComPtr<CNetAdapterProperty>> stored);

    std::vector<ComPtr<CNetAdapterProperty>> m_adapters;
    bool m_detected = false;
    // Machine adapters that a stored profile had no settings for: applying
    // them would write detection's defaults (static, no addresses) over a
    // working connection, so Apply leaves them alone until GetCurrent has
    // read their real settings.
    std::vector<const CNetAdapterProperty*> m_withoutSettings;
};

} // namespace Varquel
