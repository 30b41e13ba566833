#include "profiles/NetProfilesList.h"
#include <string>
#include <utility>
#include "profiles/ProfileStore.h"
#include "profiles/RegistrySeam.h"
#include "profiles/StoreLayout.h"
#include "profiles/StoreText.h"

namespace Varquel {

// {AA248895-BD3F-4ED6-9413-294151487EEF}
const IID CNetProfilesList::kImplIid = {0xAA248895, 0xBD3F, 0x4ED6, {0x94, 0x13, 0x29, 0x41, 0x51, 0x48, 0x7E, 0xEF}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetProfilesList, &CastTo<CNetProfilesList, INetProfilesList>},
    {&IID_IDispatch, &CastTo<CNetProfilesList, IDispatch, INetProfilesList>},
    {&IID_IProvideClassInfo2, &CastTo<CNetProfilesList, IProvideClassInfo2>},
    {&IID_IProvideClassInfo, &CastTo<CNetProfilesList, IProvideClassInfo, IProvideClassInfo2>},
    {&IID_IConnectionPointContainer, &CastTo<CNetProfilesList, IConnectionPointContainer>},
    {&CNetProfilesList::kImplIid, &CastTo<CNetProfilesList, CNetProfilesList>},
};
} // namespace

std::span<const InterfaceEntry> CNetProfilesList::Interfaces() const noexcept { return kInterfaces; }

STDMETHODIMP CNetProfilesList::get_Count(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = static_cast<long>(m_profiles.size());
        return S_OK;
    });
}

STDMETHODIMP CNetProfilesList::NetProfileGetAt(long nIndex, INetProfile **ppNetProfile) {
    return ComBoundaryOut(ppNetProfile, [&] {
        if (InRange(nIndex)) *ppNetProfile = ComPtr<INetProfile>(m_profiles[static_cast<size_t>(nIndex)]).Detach();
        return S_OK;
    });
}

STDMETHODIMP CNetProfilesList::Add(INetProfile *pNetProfile) {
    return ComBoundary([&] {
        ComPtr<CNetProfile> profile = ImplOf<CNetProfile>(pNetProfile);
        if (!profile) return E_INVALIDARG;
        m_profiles.push_back(std::move(profile));
        return S_OK;
    });
}

STDMETHODIMP CNetProfilesList::Load() {
    return ComBoundary([&] {
        return ThroughRegistry([&] {
            const CProfileStore store;
            const Wexmoor::CRegistryKey profilesKey = store.OpenProfiles();
            // Stored profiles follow the entries already in the list, in the
            // registry's order.
            for (Wexmoor::CRegistryKey::SubkeyIterator it = profilesKey.begin(); it != profilesKey.end(); ++it) {
                ComPtr<CNetProfile> profile = CreateServerObject<CNetProfile, INetProfile>(CLSID_CNetProfile);
                CStoreLayout::LoadFromRegistry(*profile.Get(), it);
                m_profiles.push_back(std::move(profile));
            }
            return S_OK;
        });
    });
}

STDMETHODIMP CNetProfilesList::Save() {
    return ComBoundary([&] {
        CheckStorable();
        return ThroughRegistry([&] {
            const CProfileStore store;
            store.Replace([&](const Wexmoor::CRegistryKey& profilesKey) {
                for (const ComPtr<CNetProfile>& profile : m_profiles)
                    CStoreLayout::SaveToRegistry(*profile.Get(), profilesKey);
            });
            return S_OK;
        });
    });
}

STDMETHODIMP CNetProfilesList::NetProfileRemoveAt(long nIndex) {
    return ComBoundary([&] {
        if (!InRange(nIndex)) return E_INVALIDARG;
        // Released once the list is consistent again.
        const ComPtr<CNetProfile> removed = std::move(m_profiles[static_cast<size_t>(nIndex)]);
        m_profiles.erase(m_profiles.begin() + nIndex);
        return S_OK;
    });
}

STDMETHODIMP CNetProfilesList::NetProfileSetAt(long nIndex, INetProfile *pVal) {
    return ComBoundary([&] {
        if (!InRange(nIndex)) return E_INVALIDARG;
        ComPtr<CNetProfile> profile = ImplOf<CNetProfile>(pVal);
        if (!profile) return E_INVALIDARG;
        std::swap(m_profiles[static_cast<size_t>(nIndex)], profile);
        return S_OK;
    });
}

void CNetProfilesList::CheckStorable() const {
    // Profiles whose names differ only in case would share one key.
    std::vector<std::wstring> keys;
    keys.reserve(m_profiles.size());
    for (const ComPtr<CNetProfile>& profile : m_profiles)
        if (!StoreText::AddDistinctKeyName(keys, CStoreLayout::CheckStorable(*profile.Get())))
            ThrowComError(E_INVALIDARG);
}

} // namespace Varquel
