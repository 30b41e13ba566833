#include "profiles/NetProfile.h"
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>
#include "adapters/AddressList.h"
#include "adapters/IpText.h"
#include "adapters/NetAdapterProperty.h"
#include "profiles/StoreText.h"

namespace Varquel {

// {7D2862C6-5CA4-403E-8DBD-621820343E6F}
const IID CNetProfile::kImplIid = {0x7D2862C6, 0x5CA4, 0x403E, {0x8D, 0xBD, 0x62, 0x18, 0x20, 0x34, 0x3E, 0x6F}};

namespace {
constexpr InterfaceEntry kInterfaces[] = {
    {&IID_INetProfile, &CastTo<CNetProfile, INetProfile>},
    {&IID_IDispatch, &CastTo<CNetProfile, IDispatch, INetProfile>},
    {&IID_IProvideClassInfo2, &CastTo<CNetProfile, IProvideClassInfo2>},
    {&IID_IProvideClassInfo, &CastTo<CNetProfile, IProvideClassInfo, IProvideClassInfo2>},
    {&IID_IConnectionPointContainer, &CastTo<CNetProfile, IConnectionPointContainer>},
    {&CNetProfile::kImplIid, &CastTo<CNetProfile, CNetProfile>},
};

using Wexmoor::CRegistryKey;
using AddressKind = CNetAdapterProperty::AddressKind;

// Names of the stored profile's keys and values.
const char kNetAdapterList[] = "NetAdapterList";
const char kIsDhcp[] = "IsDHCP";
const char kNetConnectionId[] = "NetConnectionID";
const char kPrinters[] = "Printers";
const char kDefault[] = "Default";
// In the order of AddressKind.
const char* const kListKeys[CNetAdapterProperty::kAddressKinds] = {
    "IPAddresses", "SubnetMasks", "GateWayAddresses", "DNSAddresses", "WINSServers",
};

struct FreeDeleter {
    void operator()(char* block) const noexcept { std::free(block); }
};
using CQueriedText = std::unique_ptr<char, FreeDeleter>;

// Every key of a stored profile is made the same way.
CRegistryKey CreateOrOpen(const CRegistryKey& parent, const char* name) {
    char noClass[] = "";
    return parent.CreateOrOpenKey(name, nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

CRegistryKey CreateNew(const CRegistryKey& parent, const char* name) {
    char noClass[] = "";
    return parent.CreateKey(name, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

// Runs a step of the store whose failures are not the caller's: whatever
// fails ends the step, and what it did before stays done.
template <class Step>
void Tolerating(Step&& step) noexcept {
    try {
        step();
    } catch (const Wexmoor::CWin32Exception&) {
    } catch (const CComError&) {
    } catch (const std::bad_alloc&) {
    }
}

// An address list is stored as the names of empty subkeys, so its order is
// lost, a repeated entry is stored once and an empty one not at all.
void WriteEntries(const CRegistryKey& listKey, const CStringArray& entries) {
    for (LONG i = 0; i < entries.Count(); ++i) {
        Tolerating([&] {
            const BSTR entry = entries.At(i);
            // Anything else would not be one empty key (a backslash makes a path).
            if (!StoreText::IsKeyName(StoreText::AsStoredName(entry))) return;
            CreateNew(listKey, StoreText::ToAnsi(entry).c_str());
        });
    }
}

} // namespace

std::span<const InterfaceEntry> CNetProfile::Interfaces() const noexcept { return kInterfaces; }

HRESULT CNetProfile::FinalConstruct() {
    // A profile is useless without its parts: no profile rather than one
    // that fails later.
    m_adapters = CreateServerObject<CNetAdaptersList, INetAdaptersList>(CLSID_CNetAdaptersList);
    m_printers = CreateServerObject<CPrintersProperty, IPrintersProperty>(CLSID_CPrintersProperty);
    m_name = CBstr::Empty();
    return S_OK;
}

STDMETHODIMP CNetProfile::get_NetAdaptersList(INetAdaptersList **pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = ComPtr<INetAdaptersList>(m_adapters).Detach();
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::get_PrintersProperty(IPrintersProperty **pVal) {
    return ComBoundaryOut(pVal, [&] {
        *pVal = ComPtr<IPrintersProperty>(m_printers).Detach();
        return S_OK;
    });
}

// Proxy settings and shares are never part of a profile: the client keeps
// stand-alone objects for them.
STDMETHODIMP CNetProfile::get_ProxyProperty(IProxyProperty **pVal) {
    return ComBoundaryOut(pVal, [] { return S_OK; });
}

STDMETHODIMP CNetProfile::get_NetShareList(INetShareList **pVal) {
    return ComBoundaryOut(pVal, [] { return S_OK; });
}

// The parts report their own trouble: a capture or an apply goes on with the
// printers whatever the adapters did.
STDMETHODIMP CNetProfile::GetCurrent() {
    return ComBoundary([&] {
        m_adapters->GetCurrent();
        m_printers->GetCurrent();
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::Apply() {
    return ComBoundary([&] {
        m_adapters->Apply();
        m_printers->Apply();
        return S_OK;
    });
}

STDMETHODIMP CNetProfile::get_Name(BSTR *pVal) { return CopyStringOut(m_name.Get(), pVal); }

STDMETHODIMP CNetProfile::put_Name(BSTR newVal) { return PutString(m_name, newVal); }

STDMETHODIMP CNetProfile::GetDuplicate(INetProfile **ppVal) {
    return ComBoundaryOut(ppVal, [&] {
        const ComPtr<CNetProfile> copy = CreateServerObject<CNetProfile, INetProfile>(CLSID_CNetProfile);
        copy->m_name = CBstr::CopyWhole(m_name.Get());
        copy->m_adapters->CopyFrom(Adapters());
        copy->m_printers->CopyStateFrom(Printers());
        *ppVal = ComPtr<INetProfile>(copy).Detach();
        return S_OK;
    });
}

std::wstring CNetProfile::CheckStorable() const {
    std::wstring key = StoreText::AsStoredName(m_name.Get());
    if (!StoreText::IsKeyName(key)) ThrowComError(E_INVALIDARG);
    std::vector<std::wstring> adapterKeys;
    for (const ComPtr<CNetAdapterProperty>& adapter : m_adapters->Adapters()) {
        std::wstring adapterKey = StoreText::AsStoredName(adapter->Name());
        if (!StoreText::IsKeyName(adapterKey) || !StoreText::AddDistinctKeyName(adapterKeys, std::move(adapterKey)))
            ThrowComError(E_INVALIDARG);
    }
    return key;
}

void CNetProfile::SaveToRegistry(const CRegistryKey& profilesKey) const {
    const CRegistryKey profileKey = CreateOrOpen(profilesKey, StoreText::ToAnsi(m_name.Get()).c_str());
    const CRegistryKey adaptersKey = CreateOrOpen(profileKey, kNetAdapterList);
    for (const ComPtr<CNetAdapterProperty>& adapter : m_adapters->Adapters()) {
        const CRegistryKey adapterKey = CreateNew(adaptersKey, StoreText::ToAnsi(adapter->Name()).c_str());
        // Sign-extended: true (-1) is stored as 0xFFFFFFFF.
        adapterKey.SetValue(kIsDhcp, static_cast<DWORD>(static_cast<LONG>(adapter->IsDhcp())), REG_DWORD);
        adapterKey.SetValue(kNetConnectionId, StoreText::ToAnsi(adapter->NetConnectionID()).c_str(), REG_SZ);
        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
            const CRegistryKey listKey = CreateNew(adapterKey, kListKeys[kind]);
            WriteEntries(listKey, adapter->List(static_cast<AddressKind>(kind)).Entries());
        }
    }
    // A profile without a default printer still has "Printers", without "Default".
    Tolerating([&] {
        const CRegistryKey printersKey = CreateNew(profileKey, kPrinters);
        if (const BSTR deviceId = m_printers->DefaultDeviceId())
            printersKey.SetValue(kDefault, StoreText::ToAnsi(deviceId).c_str(), REG_SZ);
    });
}

void CNetProfile::LoadFromRegistry(const CRegistryKey::SubkeyIterator& position) {
    m_name = StoreText::FromAnsi(*position);
    const CRegistryKey profileKey = position.OpenKey(KEY_ALL_ACCESS);
    // A damaged stored profile is read as far as it goes.
    Tolerating([&] { ReadAdapters(profileKey); });
    Tolerating([&] { ReadDefaultPrinter(profileKey); });
}

void CNetProfile::ReadAdapters(const CRegistryKey& profileKey) {
    const CRegistryKey adaptersKey = profileKey.OpenKey(kNetAdapterList, KEY_ALL_ACCESS);
    for (CRegistryKey::SubkeyIterator it = adaptersKey.begin(); it != adaptersKey.end(); ++it) {
        const CRegistryKey adapterKey = it.OpenKey(KEY_ALL_ACCESS);
        const ComPtr<CNetAdapterProperty> adapter = m_adapters->AppendNewAdapter();
        adapter->SetName(StoreText::FromAnsi(*it));

        char* text = nullptr;
        if (adapterKey.QueryValue(kNetConnectionId, text)) {
            const CQueriedText owned(text);
            adapter->SetNetConnectionID(StoreText::FromAnsi(owned.get()));
        }
        // A value that is no number leaves the flag false.
        DWORD isDhcp = 0;
        adapterKey.QueryValue(kIsDhcp, isDhcp);
        adapter->SetIsDhcp(static_cast<VARIANT_BOOL>(LOWORD(isDhcp)));

        for (int kind = 0; kind < CNetAdapterProperty::kAddressKinds; ++kind) {
            const CRegistryKey listKey = adapterKey.OpenKey(kListKeys[kind], KEY_ALL_ACCESS);
            CAddressList& list = adapter->List(static_cast<AddressKind>(kind));
            for (CRegistryKey::SubkeyIterator entry = listKey.begin(); entry != listKey.end(); ++entry)
                list.Append(StoreText::FromAnsi(*entry).Get());
        }
        RepeatSharedMask(*adapter.Get());
    }
}

// Address lists are stored as sets of key names, so IPv4 addresses that
// shared one subnet mask come back with it once, and the machine refuses
// addresses and masks of unequal counts. When the one mask sent to the
// machine is a single IPv4 mask, it was every address's: give it back to
// each address that is sent. IPv6 entries and their prefix lengths are never
// sent, so they do not count. (Several masks cannot be paired again.)
void CNetProfile::RepeatSharedMask(CNetAdapterProperty& adapter) {
    CAddressList& masks = adapter.List(AddressKind::SubnetMasks);
    const CStringArray sentMasks = IpText::ForIPv4Methods(masks.Entries());
    if (sentMasks.Count() != 1 || !IpText::IsIPv4(sentMasks.At(0))) return;
    const LONG sentAddresses = IpText::ForIPv4Methods(adapter.List(AddressKind::IPAddresses).Entries()).Count();
    for (LONG i = 1; i < sentAddresses; ++i) masks.Append(sentMasks.At(0));
}

void CNetProfile::ReadDefaultPrinter(const CRegistryKey& profileKey) {
    const CRegistryKey printersKey = profileKey.OpenKey(kPrinters, KEY_ALL_ACCESS);
    char* text = nullptr;
    if (printersKey.QueryValue(kDefault, text)) {
        const CQueriedText owned(text);
        const CBstr deviceId = StoreText::FromAnsi(owned.get());
        m_printers->SetDefault(deviceId.Get());
    }
}

} // namespace Varquel
