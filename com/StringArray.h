#pragma once
#include <windows.h>
#include <oleauto.h>
#include <vector>
#include "com/Bstr.h"

namespace Varquel {

// The system's growable array of owned automation strings: address lists,
// printer names, share names and paths. Entries may be null.
class CStringArray {
public:
    LONG Count() const noexcept { return static_cast<LONG>(m_items.size()); }
    bool InRange(LONG index) const noexcept { return index >= 0 && index < Count(); }
    // The stored string itself (not a copy); index must be in range.
    BSTR At(LONG index) const noexcept { return m_items[static_cast<size_t>(index)].Get(); }

    void Append(BSTR text) { m_items.push_back(CBstr::CopyWhole(text)); }       // every character
    void AppendToNul(BSTR text) { m_items.push_back(CBstr::CopyToNul(text)); }  // up to the first NUL
    void Append(CBstr&& text) { m_items.push_back(std::move(text)); }
    void RemoveAt(LONG index) { m_items.erase(m_items.begin() + index); }
    void RemoveAll() noexcept { m_items.clear(); }
    void CopyFrom(const CStringArray& other) {
        std::vector<CBstr> copy(other.m_items);
        m_items.swap(copy);
    }

    // Entries compare as the machine's texts do: exactly, a null one empty.
    static bool SameEntry(BSTR a, BSTR b) noexcept { return VarBstrCmp(a, b, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ; }
    bool SameEntries(const CStringArray& other) const noexcept {
        if (Count() != other.Count()) return false;
        for (LONG i = 0; i < Count(); ++i)
            if (!SameEntry(At(i), other.At(i))) return false;
        return true;
    }
    bool Holds(BSTR entry) const noexcept {
        for (LONG i = 0; i < Count(); ++i)
            if (SameEntry(At(i), entry)) return true;
        return false;
    }

private:
    std::vector<CBstr> m_items;
};

} // namespace Varquel
