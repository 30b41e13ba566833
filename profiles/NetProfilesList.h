#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/ConnectionPoint.h"
#include "com/DispatchImpl.h"
#include <vector>
#include "profiles/NetProfile.h"
#include "Varquel_h.h"

namespace Varquel {

class CNetProfilesList final : public CComObjectRoot,
                    public CDispatchImpl<INetProfilesList>,
                    public CProvideClassInfoImpl<CNetProfilesList>,
                    public CConnectionPointContainer {
public:
    static inline const CLSID& kClsid = CLSID_CNetProfilesList;
    static inline const IID* const kSourceIid = &DIID__INetProfilesListEvents;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    CNetProfilesList() noexcept : CConnectionPointContainer(this, DIID__INetProfilesListEvents) {}

    // INetProfilesList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP NetProfileGetAt(long nIndex, INetProfile **ppNetProfile) override;
    STDMETHODIMP Add(INetProfile *pNetProfile) override;
    STDMETHODIMP Load() override;
    STDMETHODIMP Save() override;
    STDMETHODIMP NetProfileRemoveAt(long nIndex) override;
    STDMETHODIMP NetProfileSetAt(long nIndex, INetProfile *pVal) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    bool InRange(long index) const noexcept {
        return index >= 0 && static_cast<size_t>(index) < m_profiles.size();
    }
    // Refuses, before the store is touched, what the store could not hold.
    void CheckStorable() const;

    // Only this server's profiles: the store reaches into their state.
    std::vector<ComPtr<CNetProfile>> m_profiles;
};

} // namespace Varquel
