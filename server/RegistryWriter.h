#pragma once
#include <windows.h>
#include <span>
#include <string>
#include <string_view>
#include <vector>
#include "registry/UniqueRegKey.h"

namespace Varquel {

// One entry the server writes below a classes root. Key path, value name and
// data are templates whose %NAME% parts are replaced by the parameters of the
// registration (%MODULE%, %MODULETYPE%, %MODULEGUID%, %APPID%, and for a class
// %CLSID%, %ProgID%, %VersionIndependentProgID%, %FriendlyName%).
// A null value name is the key's default value; null data writes the key alone.
struct RegistryEntry {
    const wchar_t* key;
    const wchar_t* valueName;
    const wchar_t* data;
    // The key is deleted with everything below it before it is written, so
    // nothing stale under it survives a registration.
    bool freshKey;
};

struct Parameter {
    std::wstring_view name;
    std::wstring value;
};
using Parameters = std::vector<Parameter>;

// Replaces every %NAME% of `text` by its parameter; an unknown name stays as written.
std::wstring Expand(const wchar_t* text, const Parameters& parameters);

// The braced, upper-case text of a GUID.
std::wstring GuidText(const GUID& guid);

// The keys an unregistration takes away in one pass: those that 64-bit
// Windows keeps apart for each bitness, or those both bitnesses share.
enum class Keys { PerBitness, Shared };

// Writes and removes entries below one classes root: HKEY_CLASSES_ROOT (the
// machine's classes) or HKEY_CURRENT_USER\Software\Classes (the user's).
// Failures are thrown as the registry's error.
class CRegistryWriter {
public:
    static CRegistryWriter Machine() noexcept;
    // The user's classes key, created where it is missing (Windows always has it).
    static CRegistryWriter User();

    HKEY Root() const noexcept { return m_owned ? m_owned.Get() : HKEY_CLASSES_ROOT; }
    bool IsUser() const noexcept { return static_cast<bool>(m_owned); }

    void Write(std::span<const RegistryEntry> entries, const Parameters& parameters) const;
    // Removes the entries' keys of one kind: each entry's top key, or, inside
    // a shared key (CLSID, AppID), the server's own key below it.
    void Remove(std::span<const RegistryEntry> entries, const Parameters& parameters, Keys which) const;
    // A key with everything below it; a key that is not there is no failure.
    void DeleteTree(const std::wstring& key) const;
    // A key with neither values nor subkeys; anything else is left.
    void DeleteIfEmpty(const std::wstring& key) const;
    // Whether the key is there, in the registry view `view` (0: the caller's own).
    bool Exists(const std::wstring& key, REGSAM view = 0) const;

private:
    explicit CRegistryWriter(Wexmoor::CUniqueRegKey owned) noexcept : m_owned(std::move(owned)) {}
    void WriteEntry(const RegistryEntry& entry, const Parameters& parameters) const;

    Wexmoor::CUniqueRegKey m_owned;  // the user's root; none for HKEY_CLASSES_ROOT
};

} // namespace Varquel
