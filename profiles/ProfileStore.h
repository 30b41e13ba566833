#pragma once
#include <windows.h>
#include <functional>
#include <optional>
#include <string>
#include "registry/RegistryKey.h"

namespace Varquel {

// The root of the stored profiles: HKCU "Software\" → "Ostrel2" → "Quoran" →
// "Profiles", one subkey per profile.
//
// A Save never edits "Profiles" in place. It writes the new store under the
// sibling "Profiles.New" and swaps it in only once it is complete, keeping the
// previous store as "Profiles.Old" until the new one is in place. Whatever a
// crash leaves behind is sorted out by the next Load or Save, before either
// looks at "Profiles":
//   - "Profiles.New" is never more than a draft: it is discarded.
//   - "Profiles.Old" is the last complete store whenever "Profiles" is missing
//     or the marker "Profiles.Restore" exists; otherwise it is garbage.
// "Profiles.Restore" is needed only where the swap has to copy trees (no
// RegRenameKey): while it exists, "Profiles" may be half copied.
class CProfileStore {
public:
    // How the finished store takes the place of the old one.
    enum class SwapMethod {
        Rename,  // RegRenameKey: each step is atomic
        Copy,    // RegCopyTreeW and delete, guarded by "Profiles.Restore"
    };
    static SwapMethod AvailableSwapMethod() noexcept;

    // Opens "Software\" and creates "Ostrel2" and "Quoran" where missing.
    explicit CProfileStore(SwapMethod method = AvailableSwapMethod());
    // "Quoran" itself, created where missing: the home of the profiles and of
    // what is kept beside them.
    static Wexmoor::CRegistryKey OpenProduct();
    // A key below "Quoran" (`path` relative to it), opened with `access`;
    // none when it or the product key is missing. Creates nothing.
    static std::optional<Wexmoor::CRegistryKey> OpenExisting(const std::string& path, REGSAM access);

    // "Profiles", created when missing, after an interrupted Save is undone.
    Wexmoor::CRegistryKey OpenProfiles() const;

    // Replaces "Profiles" by what `write` puts under the key it receives. When
    // anything fails, the previous store stays as it was.
    void Replace(const std::function<void(const Wexmoor::CRegistryKey&)>& write) const;

private:
    void Recover(bool cleanUpStrictly) const;
    void RestorePrevious() const;
    void SwapByRename() const;
    void SwapByCopy() const;

    bool Exists(const wchar_t* name) const;
    void DeleteTree(const wchar_t* name) const;         // no error when missing
    void DeleteTreeQuietly(const wchar_t* name) const noexcept;
    void CreateEmpty(const wchar_t* name) const;
    void Rename(const wchar_t* from, const wchar_t* to) const;
    void CopyTree(const wchar_t* from, const wchar_t* to) const;

    SwapMethod m_method;
    Wexmoor::CRegistryKey m_quoran;
};

} // namespace Varquel
