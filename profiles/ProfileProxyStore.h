#pragma once
#include <optional>
#include "settings/UserProxySetting.h"

namespace Varquel {

// The proxies remembered with profiles: HKCU "Software\" → "Ostrel2" →
// "Quoran" → "ProfileProxies", one key per profile name, beside "Profiles"
// and never inside it, since a Save rewrites "Profiles" whole. A key holds
// "AutoDetect", "AutoConfigEnabled" and "ProxyEnabled" (REG_DWORD 0 or 1) and
// "AutoConfigURL", "ProxyServer" and "ProxyBypass" (REG_SZ). Key names go
// through the ANSI code page exactly as the profiles' do, so a profile and its
// proxy always find each other; names that differ only in case are one key.
// A name that cannot be one key name (empty, or holding a backslash) is
// refused with CComError(E_INVALIDARG).
namespace ProfileProxyStore {

// Whether a proxy can be stored for the profile name: it is one key name.
bool CanHold(const wchar_t* profileName);
// The proxy stored for the profile name; none when there is none.
std::optional<UserProxySetting> Find(const wchar_t* profileName);
// Stores the proxy for the profile name, replacing what was there.
void Remember(const wchar_t* profileName, const UserProxySetting& proxy);
// Removes the proxy stored for the profile name; nothing when there is none.
void Forget(const wchar_t* profileName);

} // namespace ProfileProxyStore
} // namespace Varquel
