#include "settings/NetShareList.h"
#include <vector>
#include "com/TextCompare.h"
#include "com/Variant.h"
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
// Type's bit of the shares the machine makes itself (C$, ADMIN$, IPC$).
constexpr unsigned long kAdministrativeShare = 0x80000000ul;

// ADMIN$, IPC$, or one drive letter and "$".
bool HasAdministrativeName(BSTR name) noexcept {
    const std::wstring_view text = TextOf(name);
    if (EqualsNoCase(text, L"ADMIN$") || EqualsNoCase(text, L"IPC$")) return true;
    return text.size() == 2 && text[1] == L'$' && ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
}

// A share's Type tells; where it cannot be read, its name does. WMI hands a
// uint32 out as VT_I4, so the machine's own shares read negative: widened,
// either form keeps its bits.
bool IsAdministrative(CWmiPropertySet& properties, BSTR name) {
    CVariant type;
    if (SUCCEEDED(properties.ReadProperty(L"Type", type)) && type.Type() != VT_NULL &&
        SUCCEEDED(VariantChangeType(type.Get(), type.Get(), 0, VT_I8)))
        return (static_cast<unsigned long long>(V_I8(type.Get())) & kAdministrativeShare) != 0;
    return HasAdministrativeName(name);
}

bool Same(BSTR a, BSTR b) noexcept { return EqualsNoCase(TextOf(a), TextOf(b)); }
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
        // The machine's own shares stay, and so does every share the list
        // holds with the same name and path; deleting and re-creating one
        // would lose its permissions and description.
        std::vector<bool> present(static_cast<size_t>(m_names.Count()), false);
        ForEachMachineShare([&](CWmiPropertySet& properties, BSTR name, bool administrative) {
            if (administrative) return false;
            CBstr path = properties.GetString(L"Path");
            for (LONG i = 0; i < m_names.Count(); ++i) {
                if (Same(m_names.At(i), name) && Same(m_paths.At(i), path.Get())) {
                    present[static_cast<size_t>(i)] = true;
                    return false;
                }
            }
            return true;
        });
        // Create is a static method, called on the class.
        ComPtr<ISWbemObject> target;
        for (LONG i = 0; i < m_names.Count(); ++i) {
            if (present[static_cast<size_t>(i)] || HasAdministrativeName(m_names.At(i))) continue;
            if (!target) target = GetWmiClassObject(L"Win32_Share");
            if (!target) return S_OK;
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
    return ComBoundary([&] {
        ForEachMachineShare([](CWmiPropertySet&, BSTR, bool administrative) { return !administrative; });
        return S_OK;
    });
}

void CNetShareList::ForEachMachineShare(const std::function<bool(CWmiPropertySet&, BSTR, bool)>& doomed) {
    // A share that refuses deletion simply stays; the list is not touched.
    CWmiQuery query(kShareQuery);
    while (ComPtr<ISWbemObject> share = query.Next()) {
        CWmiPropertySet properties(share.Get());
        CBstr name = properties.GetString(L"Name");
        if (doomed(properties, name.Get(), IsAdministrative(properties, name.Get())))
            ExecMethodNoParams(share.Get(), L"Delete");
    }
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
