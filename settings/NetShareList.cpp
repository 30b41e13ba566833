#include "settings/NetShareList.h"
#include "wmi/WmiMethodCall.h"
#include "wmi/WmiPropertySet.h"
#include "wmi/WmiQuery.h"

namespace Varquel {

// {8BAE8003-8623-45C5-99FC-B051D087AF70}
const IID CNetShareList::kImplIid = {0x8BAE8003, 0x8623, 0x45C5, {0x99, 0xFC, 0xB0, 0x51, 0xD0, 0x87, 0xAF, 0x70}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetShareList, &CastTo<CNetShareList, INetShareList>},
    {&IID_IDispatch, &CastTo<CNetShareList, IDispatch, INetShareList>},
    {&IID_IProvideClassInfo, &CastTo<CNetShareList, IProvideClassInfo, IProvideClassInfo2>},
    {&CNetShareList::kImplIid, &CastTo<CNetShareList, CNetShareList>},
};

constexpr wchar_t kShareQuery[] = L"SELECT * FROM Win32_Share";
constexpr long kDiskDriveShare = 0;
} // namespace

std::span<const InterfaceEntry> CNetShareList::Interfaces() const noexcept { return kInterfaces; }

void CNetShareList::AppendShare(CBstr&& name, CBstr&& path) {
    m_names.Append(std::move(name));
    try {
        m_paths.Append(std::move(path));
    } catch (...) {
        m_names.RemoveAt(m_names.Count() - 1);  // the two arrays stay parallel
        throw;
    }
}

// A null out pointer is answered with success and nothing written; an index
// outside the list reads as a null string.
HRESULT CNetShareList::EntryAt(const CStringArray& entries, long index, BSTR* out) noexcept {
    return CopyStringOut(entries.InRange(index) ? entries.At(index) : nullptr, out);
}

STDMETHODIMP CNetShareList::GetCurrent() {
    return ComBoundary([&] {
        // Every share is listed, administrative ones included.
        CWmiQuery query(kShareQuery);
        while (ComPtr<ISWbemObject> share = query.Next()) {
            CWmiPropertySet properties(share.Get());
            CBstr name = properties.GetString(L"Name");
            CBstr path = properties.GetString(L"Path");
            AppendShare(std::move(name), std::move(path));
        }
        return S_OK;
    });
}

STDMETHODIMP CNetShareList::Apply() {
    return ComBoundary([&] {
        DeleteMachineShares();
        // Create is static: any share left will do as its target, and when
        // CloseAll removed them all the class object serves instead.
        CWmiQuery query(kShareQuery);
        ComPtr<ISWbemObject> target = query.Next();
        if (!target && m_names.Count() > 0) target = GetWmiClassObject(L"Win32_Share");
        if (!target) return S_OK;
        for (LONG i = 0; i < m_names.Count(); ++i) {
            CWmiMethodCall call(target.Get(), L"Create");
            call.SetParameter(L"Name", m_names.At(i));
            call.SetParameter(L"Path", m_paths.At(i));
            call.SetParameter(L"Type", kDiskDriveShare);
            call.Execute();  // a share that cannot be created is skipped
        }
        return S_OK;
    });
}

STDMETHODIMP CNetShareList::RemoveAt(long nIndex) {
    if (!m_names.InRange(nIndex)) return E_INVALIDARG;
    m_names.RemoveAt(nIndex);
    m_paths.RemoveAt(nIndex);
    return S_OK;
}

STDMETHODIMP CNetShareList::RemoveAll() {
    m_names.RemoveAll();
    m_paths.RemoveAll();
    return S_OK;
}

STDMETHODIMP CNetShareList::get_Count(long *pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = m_names.Count();
        return S_OK;
    });
}

STDMETHODIMP CNetShareList::NameGetAt(long nIndex, BSTR *Name) { return EntryAt(m_names, nIndex, Name); }

STDMETHODIMP CNetShareList::PathGetAt(long nIndex, BSTR *Path) { return EntryAt(m_paths, nIndex, Path); }

STDMETHODIMP CNetShareList::CloseAll() {
    DeleteMachineShares();
    return S_OK;
}

void CNetShareList::DeleteMachineShares() noexcept {
    // A share that refuses deletion simply stays; the list is not touched.
    CWmiQuery query(kShareQuery);
    while (ComPtr<ISWbemObject> share = query.Next()) ExecMethodNoParams(share.Get(), L"Delete");
}

STDMETHODIMP CNetShareList::Add(BSTR Name, BSTR Path) {
    return ComBoundary([&] {
        CBstr name = CBstr::CopyToNul(Name);
        CBstr path = CBstr::CopyToNul(Path);
        AppendShare(std::move(name), std::move(path));
        return S_OK;
    });
}

} // namespace Varquel
