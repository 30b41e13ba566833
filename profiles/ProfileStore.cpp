#include "profiles/ProfileStore.h"
#include "registry/UniqueRegKey.h"

namespace Varquel {

namespace {

using Wexmoor::CRegistryKey;

const char kSoftware[] = "Software\\";
const char kMaker[] = "Ostrel2";
const char kProduct[] = "Quoran";
const char kProfilesA[] = "Profiles";
const char kNewA[] = "Profiles.New";

const wchar_t kProfiles[] = L"Profiles";
const wchar_t kNew[] = L"Profiles.New";
const wchar_t kOld[] = L"Profiles.Old";
const wchar_t kRestore[] = L"Profiles.Restore";

const char kWhereExists[] = "CProfileStore - RegOpenKeyExW";
const char kWhereDelete[] = "CProfileStore - RegDeleteTreeW";
const char kWhereCreate[] = "CProfileStore - RegCreateKeyExW";
const char kWhereRename[] = "CProfileStore - RegRenameKey";
const char kWhereCopy[] = "CProfileStore - RegCopyTreeW";

using RenameKeyFn = LONG(WINAPI*)(HKEY, LPCWSTR, LPCWSTR);

// Looked up rather than linked: older systems lack it.
RenameKeyFn RenameKeyFunction() noexcept {
    static const RenameKeyFn function = [] {
        const HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
        return advapi ? reinterpret_cast<RenameKeyFn>(GetProcAddress(advapi, "RegRenameKey")) : nullptr;
    }();
    return function;
}

void Check(LONG result, const char* where) {
    if (result != ERROR_SUCCESS) throw CRegistryKey::Exception(where, static_cast<DWORD>(result));
}

} // namespace

CRegistryKey CProfileStore::OpenProduct() {
    char noClass[] = "";
    const CRegistryKey software(HKEY_CURRENT_USER, kSoftware, KEY_ALL_ACCESS, nullptr);
    const CRegistryKey maker = software.CreateOrOpenKey(kMaker, nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
    return maker.CreateOrOpenKey(kProduct, nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

std::optional<CRegistryKey> CProfileStore::OpenExisting(const std::string& path, REGSAM access) {
    const std::string full = std::string(kSoftware) + kMaker + "\\" + kProduct + "\\" + path;
    try {
        return CRegistryKey(HKEY_CURRENT_USER, full.c_str(), access, nullptr);
    } catch (const CRegistryKey::Exception& e) {
        if (e.GetError() == ERROR_FILE_NOT_FOUND) return std::nullopt;
        throw;
    }
}

CProfileStore::SwapMethod CProfileStore::AvailableSwapMethod() noexcept {
    return RenameKeyFunction() ? SwapMethod::Rename : SwapMethod::Copy;
}

CProfileStore::CProfileStore(SwapMethod method) : m_method(method), m_quoran(OpenProduct()) {
    if (m_method == SwapMethod::Rename && !RenameKeyFunction()) m_method = SwapMethod::Copy;
}

CRegistryKey CProfileStore::OpenProfiles() const {
    // A leftover that cannot be removed hides nothing, so it does not stop a Load.
    Recover(false);
    char noClass[] = "";
    return m_quoran.CreateOrOpenKey(kProfilesA, nullptr, noClass, 0, KEY_ALL_ACCESS, nullptr);
}

void CProfileStore::Replace(const std::function<void(const CRegistryKey&)>& write) const {
    Recover(true);
    try {
        char noClass[] = "";
        const CRegistryKey draft = m_quoran.CreateKey(kNewA, noClass, 0, KEY_ALL_ACCESS, nullptr);
        write(draft);
    } catch (...) {
        DeleteTreeQuietly(kNew);
        throw;
    }
    if (m_method == SwapMethod::Rename)
        SwapByRename();
    else
        SwapByCopy();
}

void CProfileStore::Recover(bool cleanUpStrictly) const {
    if (Exists(kRestore) || (!Exists(kProfiles) && Exists(kOld))) RestorePrevious();
    if (cleanUpStrictly) {
        DeleteTree(kNew);
        DeleteTree(kOld);
    } else {
        DeleteTreeQuietly(kNew);
        DeleteTreeQuietly(kOld);
    }
}

// Puts the last complete store back in place; safe to run again after a
// crash at any point, because "Profiles.Old" outlives the marker.
void CProfileStore::RestorePrevious() const {
    if (m_method == SwapMethod::Copy) CreateEmpty(kRestore);
    DeleteTree(kProfiles);
    if (!Exists(kOld)) {
        // There was no store before the interrupted Save.
        DeleteTree(kRestore);
        return;
    }
    if (m_method == SwapMethod::Rename) {
        // Without "Profiles", "Profiles.Old" alone says what to restore.
        DeleteTree(kRestore);
        Rename(kOld, kProfiles);
    } else {
        CopyTree(kOld, kProfiles);
        DeleteTree(kRestore);
        DeleteTree(kOld);
    }
}

void CProfileStore::SwapByRename() const {
    const bool hadStore = Exists(kProfiles);
    if (hadStore) {
        try {
            Rename(kProfiles, kOld);
        } catch (...) {
            DeleteTreeQuietly(kNew);
            throw;
        }
    }
    try {
        Rename(kNew, kProfiles);
    } catch (...) {
        // Should the way back fail too, the next Load or Save restores
        // "Profiles.Old".
        if (hadStore) {
            try {
                Rename(kOld, kProfiles);
            } catch (...) {
            }
        }
        DeleteTreeQuietly(kNew);
        throw;
    }
    DeleteTreeQuietly(kOld);
}

void CProfileStore::SwapByCopy() const {
    try {
        if (Exists(kProfiles)) CopyTree(kProfiles, kOld);
        CreateEmpty(kRestore);
    } catch (...) {
        // "Profiles" has not been touched yet.
        DeleteTreeQuietly(kRestore);
        DeleteTreeQuietly(kOld);
        DeleteTreeQuietly(kNew);
        throw;
    }
    try {
        DeleteTree(kProfiles);
        CopyTree(kNew, kProfiles);
        DeleteTree(kRestore);
    } catch (...) {
        try {
            RestorePrevious();
        } catch (...) {
        }
        DeleteTreeQuietly(kNew);
        throw;
    }
    DeleteTreeQuietly(kOld);
    DeleteTreeQuietly(kNew);
}

bool CProfileStore::Exists(const wchar_t* name) const {
    Wexmoor::CUniqueRegKey key;
    const LONG result = RegOpenKeyExW(m_quoran, name, 0, KEY_READ, key.Put());
    if (result == ERROR_FILE_NOT_FOUND) return false;
    Check(result, kWhereExists);
    return true;
}

void CProfileStore::DeleteTree(const wchar_t* name) const {
    const LONG result = RegDeleteTreeW(m_quoran, name);
    if (result != ERROR_FILE_NOT_FOUND) Check(result, kWhereDelete);
}

void CProfileStore::DeleteTreeQuietly(const wchar_t* name) const noexcept {
    RegDeleteTreeW(m_quoran, name);
}

void CProfileStore::CreateEmpty(const wchar_t* name) const {
    Wexmoor::CUniqueRegKey key;
    Check(RegCreateKeyExW(m_quoran, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr), kWhereCreate);
}

void CProfileStore::Rename(const wchar_t* from, const wchar_t* to) const {
    Check(RenameKeyFunction()(m_quoran, from, to), kWhereRename);
}

void CProfileStore::CopyTree(const wchar_t* from, const wchar_t* to) const {
    HKEY target = nullptr;
    DWORD disposition = 0;
    Check(RegCreateKeyExW(m_quoran, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, &disposition), kWhereCreate);
    const CRegistryKey targetKey(target);
    if (disposition != REG_CREATED_NEW_KEY) throw CRegistryKey::Exception(kWhereCreate, ERROR_ALREADY_EXISTS);
    Check(RegCopyTreeW(m_quoran, from, targetKey), kWhereCopy);
}

} // namespace Varquel
