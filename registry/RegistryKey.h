#pragma once
#include <windows.h>
#include <cstddef>
#include <iterator>
#include <memory>
#include "registry/CountedRegKey.h"
#include "registry/Win32Exception.h"

namespace Wexmoor {

// One open registry key. Copies share the handle, which is closed when the
// last copy and the last iterator over it are gone. Every failing registry
// call throws CRegistryKey::Exception; all names and texts are narrow (ANSI).
class CRegistryKey {
public:
    // Every failure of the wrapper; catchable as CWin32Exception as well.
    class Exception : public CWin32Exception {
    public:
        using CWin32Exception::CWin32Exception;
    };

    // Walks the names of a key's direct subkeys in the registry's order.
    class SubkeyIterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = const char*;
        using difference_type = std::ptrdiff_t;
        using pointer = const char* const*;
        using reference = const char*;

        // The end of every walk.
        SubkeyIterator() noexcept = default;
        SubkeyIterator(const SubkeyIterator& other);
        SubkeyIterator& operator=(const SubkeyIterator& other);
        virtual ~SubkeyIterator();

        // The current subkey's name; valid until the iterator moves or dies.
        const char* operator*() const noexcept { return m_name.get(); }
        SubkeyIterator& operator++();
        SubkeyIterator operator++(int);

        bool operator==(const SubkeyIterator& other) const noexcept {
            return m_key == other.m_key && m_index == other.m_index;
        }
        bool operator!=(const SubkeyIterator& other) const noexcept { return !(*this == other); }

        // The subkey the iterator stands on.
        CRegistryKey OpenKey(REGSAM samDesired) const;

        // Fetches the entry at the current index; false when there is none.
        bool GetSubkeyInfo();

    private:
        friend class CRegistryKey;
        explicit SubkeyIterator(CCountedRegKey* key);

        void Swap(SubkeyIterator& other) noexcept;
        void DropKey() noexcept;
        // Re-reads the longest name and class; false when no subkey is left.
        bool FitBuffersToKey(const char* location);

        CCountedRegKey* m_key = nullptr;
        DWORD m_index = 0;
        std::unique_ptr<char[]> m_name;
        DWORD m_nameCapacity = 0;
        std::unique_ptr<char[]> m_className;
        DWORD m_classNameCapacity = 0;
    };

    // Adopts hKey; it is closed even if the adoption itself fails.
    explicit CRegistryKey(HKEY hKey);
    CRegistryKey(HKEY hKey, LPCSTR subKey, REGSAM samDesired, LPCSTR remoteMachine);
    CRegistryKey(const CRegistryKey& other) noexcept;
    CRegistryKey& operator=(const CRegistryKey& other) noexcept;
    ~CRegistryKey();

    operator HKEY() const noexcept { return m_key->GetHKey(); }

    CRegistryKey OpenKey(LPCSTR subKey, REGSAM samDesired) const;
    CRegistryKey CreateOrOpenKey(LPCSTR subKey, LPDWORD pDisposition, LPSTR className, DWORD options,
                                 REGSAM samDesired, LPSECURITY_ATTRIBUTES securityAttributes) const;
    // Like CreateOrOpenKey, but an existing subkey is an error (183).
    CRegistryKey CreateKey(LPCSTR subKey, LPSTR className, DWORD options, REGSAM samDesired,
                           LPSECURITY_ATTRIBUTES securityAttributes) const;
    // Deletes a subkey that has no subkeys of its own.
    void DeleteKey(LPCSTR subKey) const;
    // Deletes a subkey and everything below it.
    void DeleteKeyTree(LPCSTR subKey) const;

    // A REG_SZ or REG_EXPAND_SZ value (unexpanded) as a NUL-terminated block
    // that the caller frees with free(); false, value untouched, for other types.
    bool QueryValue(LPCSTR valueName, char*& value) const;
    // A REG_DWORD or REG_DWORD_BIG_ENDIAN value as stored; false, value
    // untouched, for other types.
    bool QueryValue(LPCSTR valueName, DWORD& value) const;
    void SetValue(LPCSTR valueName, LPCSTR value, DWORD type) const;
    void SetValue(LPCSTR valueName, DWORD value, DWORD type) const;

    SubkeyIterator begin() const;
    SubkeyIterator end() const noexcept;

private:
    static CCountedRegKey* NewCCountedRegKey(HKEY hKey, bool closeOnFailure);

    CCountedRegKey* m_key;
};

} // namespace Wexmoor
