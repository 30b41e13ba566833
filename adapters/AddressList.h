#pragma once
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "com/Variant.h"
#include "com/StringArray.h"
#include "Varquel_h.h"

namespace Varquel {

// VT_ARRAY|VT_VARIANT, lower bound 0, one VT_BSTR per entry (a whole copy; a
// null entry stays a null string), zero elements when there are none.
CVariant VariantArrayOf(const CStringArray& entries);
// Empties `entries`, then takes the strings of a VT_ARRAY|VT_VARIANT value up
// to their first NUL (a non-string element as a null entry); any other value
// leaves it empty.
void StringsFromVariantArray(const VARIANT& value, CStringArray& entries);

class CAddressList final : public CComObjectRoot,
                    public CDispatchImpl<IAddressList>,
                    public CProvideClassInfoImpl<CAddressList> {
public:
    static inline const CLSID& kClsid = CLSID_CAddressList;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // IAddressList
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP Add(BSTR Value) override;
    STDMETHODIMP GetAt(long nIndex, BSTR *pValue) override;
    STDMETHODIMP RemoveAll() override;
    STDMETHODIMP RemoveAt(long nIndex) override;

    // In-process operations (adapter, profile duplicate, profile store).
    void Append(BSTR text);  // whole copy; null appends a null entry
    const CStringArray& Entries() const noexcept { return m_entries; }
    CVariant ToVariantArray() const { return VariantArrayOf(m_entries); }
    // Empties the list, then takes the strings of a VT_ARRAY|VT_VARIANT value.
    HRESULT FromVariantArray(const VARIANT& value);
    void CopyFrom(const CAddressList& other);

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    CStringArray m_entries;
};

} // namespace Varquel
