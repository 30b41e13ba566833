#pragma once
#include <functional>
#include "com/StringArray.h"
#include "com/Bstr.h"
#include "com/ClassInfo.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "Varquel_h.h"

namespace Varquel {

class CWmiPropertySet;

class CNetShareList final : public CComObjectRoot,
                    public CDispatchImpl<INetShareList>,
                    public CProvideClassInfoImpl<CNetShareList> {
public:
    static inline const CLSID& kClsid = CLSID_CNetShareList;
    static inline const IID* const kSourceIid = nullptr;
    static const IID kImplIid;

    VARQUEL_IUNKNOWN

    // INetShareList
    STDMETHODIMP GetCurrent() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP RemoveAt(long nIndex) override;
    STDMETHODIMP RemoveAll() override;
    STDMETHODIMP get_Count(long *pVal) override;
    STDMETHODIMP NameGetAt(long nIndex, BSTR *Name) override;
    STDMETHODIMP PathGetAt(long nIndex, BSTR *Path) override;
    STDMETHODIMP CloseAll() override;
    STDMETHODIMP Add(BSTR Name, BSTR Path) override;

protected:
    std::span<const InterfaceEntry> Interfaces() const noexcept override;

private:
    void AppendShare(CBstr&& name, CBstr&& path);
    // Walks the machine's shares and deletes each for which `doomed`
    // (properties, name, administrative) answers true.
    static void ForEachMachineShare(const std::function<bool(CWmiPropertySet&, BSTR, bool)>& doomed);
    static HRESULT EntryAt(const CStringArray& entries, long index, BSTR* out) noexcept;

    // Parallel: entry i of each is one share; either may be null.
    CStringArray m_names;
    CStringArray m_paths;
};

} // namespace Varquel
