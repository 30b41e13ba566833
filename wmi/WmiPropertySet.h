#pragma once
#include <windows.h>
#include <wbemdisp.h>
#include <wrl/client.h>
#include "com/Bstr.h"
#include "com/Variant.h"

namespace Varquel {

// The property set of one WMI object (none when it cannot be obtained).
class CWmiPropertySet {
public:
    explicit CWmiPropertySet(ISWbemObject* object) noexcept;
    bool IsValid() const noexcept { return m_set != nullptr; }

    // Item(name, 0) then get_Value into `value` (cleared first); the HRESULT
    // of the failing step, or S_OK.
    HRESULT ReadProperty(const wchar_t* name, CVariant& value) const noexcept;

    // The property's string; null when it cannot be read or is not VT_BSTR.
    // Throws CComError(E_OUTOFMEMORY) only when the copy cannot be made.
    CBstr GetString(const wchar_t* name) const;

private:
    Microsoft::WRL::ComPtr<ISWbemPropertySet> m_set;
};

} // namespace Varquel
