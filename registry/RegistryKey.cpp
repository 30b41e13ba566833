#include "registry/RegistryKey.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace Wexmoor {

namespace {

const char kNewHolder[] = "CRegistryKey::NewCCountedRegKey()";
const char kConnect[] = "CRegistryKey::CRegistryKey() - RegConnectRegistry";
const char kOpen[] = "CRegistryKey::CRegistryKey(HKEY hKey ...)";
const char kCreateOrOpen[] = "CRegistryKey::CreateOrOpenKey()";
const char kCreate[] = "CRegistryKey::CreateKey()";
const char kDelete[] = "CRegistryKey::DeleteKey()";
const char kQuery[] = "CRegistryKey::QueryValue()";
const char kSet[] = "CRegistryKey::SetValue()";
const char kIteratorCreate[] = "CRegistryKey::SubkeyIterator::SubkeyIterator()";
const char kIteratorFetch[] = "CRegistryKey::SubkeyIterator::GetSubkeyInfo()";

// Past this size a buffer that still does not fit is not a matter of
// code-page widths any more; the walk gives up instead of growing for ever.
constexpr DWORD kMaxFetchBuffer = 64 * 1024;

struct FreeDeleter {
    void operator()(char* block) const noexcept { std::free(block); }
};

char* AllocateZeroed(DWORD size, const char* location) {
    char* block = new (std::nothrow) char[size]();
    if (!block) throw CRegistryKey::Exception(location, ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

// Buffers only grow, and a grown buffer starts empty: its old contents are
// never needed again.
void Grow(std::unique_ptr<char[]>& buffer, DWORD& capacity, DWORD wanted, const char* location) {
    if (wanted <= capacity) return;
    buffer.reset(AllocateZeroed(wanted, location));
    capacity = wanted;
}

std::unique_ptr<char[]> CopyBuffer(const std::unique_ptr<char[]>& source, DWORD capacity) {
    if (capacity == 0) return nullptr;
    std::unique_ptr<char[]> copy(AllocateZeroed(capacity, kIteratorCreate));
    std::memcpy(copy.get(), source.get(), capacity);
    return copy;
}

} // namespace

// ---- CRegistryKey ----

CCountedRegKey* CRegistryKey::NewCCountedRegKey(HKEY hKey, bool closeOnFailure) {
    CCountedRegKey* holder = nullptr;
    try {
        holder = new (std::nothrow) CCountedRegKey(hKey);
    } catch (...) {
        holder = nullptr;
    }
    if (!holder) {
        if (closeOnFailure) RegCloseKey(hKey);
        throw Exception(kNewHolder, ERROR_NOT_ENOUGH_MEMORY);
    }
    return holder;
}

CRegistryKey::CRegistryKey(HKEY hKey) : m_key(NewCCountedRegKey(hKey, true)) {}

CRegistryKey::CRegistryKey(HKEY hKey, LPCSTR subKey, REGSAM samDesired, LPCSTR remoteMachine)
    : m_key(nullptr) {
    HKEY connection = nullptr;
    if (remoteMachine) {
        const LONG result = RegConnectRegistryA(remoteMachine, hKey, &connection);
        if (result != ERROR_SUCCESS) throw Exception(kConnect, static_cast<DWORD>(result));
    }
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(connection ? connection : hKey, subKey, 0, samDesired, &opened);
    // The connection only serves as the parent of the open.
    if (connection && connection != opened) RegCloseKey(connection);
    if (result != ERROR_SUCCESS) throw Exception(kOpen, static_cast<DWORD>(result));
    m_key = NewCCountedRegKey(opened, true);
}

CRegistryKey::CRegistryKey(const CRegistryKey& other) noexcept : m_key(other.m_key) {
    m_key->AddReference();
}

CRegistryKey& CRegistryKey::operator=(const CRegistryKey& other) noexcept {
    if (this != &other) {
        // Referencing the source first keeps a shared holder alive.
        other.m_key->AddReference();
        m_key->DropReference();
        m_key = other.m_key;
    }
    return *this;
}

CRegistryKey::~CRegistryKey() {
    m_key->DropReference();
    m_key = nullptr;
}

CRegistryKey CRegistryKey::OpenKey(LPCSTR subKey, REGSAM samDesired) const {
    return CRegistryKey(m_key->GetHKey(), subKey, samDesired, nullptr);
}

CRegistryKey CRegistryKey::CreateOrOpenKey(LPCSTR subKey, LPDWORD pDisposition, LPSTR className, DWORD options,
                                           REGSAM samDesired, LPSECURITY_ATTRIBUTES securityAttributes) const {
    DWORD disposition = 0;
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(m_key->GetHKey(), subKey, 0, className, options, samDesired,
                                        securityAttributes, &created, pDisposition ? pDisposition : &disposition);
    if (result != ERROR_SUCCESS) throw Exception(kCreateOrOpen, static_cast<DWORD>(result));
    return CRegistryKey(created);
}

CRegistryKey CRegistryKey::CreateKey(LPCSTR subKey, LPSTR className, DWORD options, REGSAM samDesired,
                                     LPSECURITY_ATTRIBUTES securityAttributes) const {
    DWORD disposition = 0;
    {
        CRegistryKey key = CreateOrOpenKey(subKey, &disposition, className, options, samDesired, securityAttributes);
        if (disposition == REG_CREATED_NEW_KEY) return key;
    }
    // The existing subkey was only opened, and is closed again untouched.
    throw Exception(kCreate, ERROR_ALREADY_EXISTS);
}

void CRegistryKey::DeleteKey(LPCSTR subKey) const {
    {
        const CRegistryKey key = OpenKey(subKey, KEY_ALL_ACCESS);
        if (key.begin() != key.end()) throw Exception(kDelete, ERROR_ACCESS_DENIED);
    }
    const LONG result = RegDeleteKeyA(m_key->GetHKey(), subKey);
    if (result != ERROR_SUCCESS) throw Exception(kDelete, static_cast<DWORD>(result));
}

void CRegistryKey::DeleteKeyTree(LPCSTR subKey) const {
    {
        const CRegistryKey key = OpenKey(subKey, KEY_ALL_ACCESS);
        // Deleting a child shifts the indexes of the others, so every round
        // starts again from the first child.
        for (;;) {
            const SubkeyIterator child = key.begin();
            if (child == key.end()) break;
            key.DeleteKeyTree(*child);
        }
    }
    DeleteKey(subKey);
}

bool CRegistryKey::QueryValue(LPCSTR valueName, char*& value) const {
    const HKEY hKey = m_key->GetHKey();
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(hKey, valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) throw Exception(kQuery, static_cast<DWORD>(result));
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;

    // One byte beyond the data, so that a text stored without its NUL, or
    // with no data at all, still reaches the caller terminated.
    std::unique_ptr<char, FreeDeleter> block(static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1)));
    if (!block) throw Exception(kQuery, ERROR_NOT_ENOUGH_MEMORY);
    DWORD read = size;
    result = RegQueryValueExA(hKey, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(block.get()), &read);
    if (result != ERROR_SUCCESS) throw Exception(kQuery, static_cast<DWORD>(result));
    block.get()[std::min(read, size)] = '\0';
    value = block.release();
    return true;
}

bool CRegistryKey::QueryValue(LPCSTR valueName, DWORD& value) const {
    const HKEY hKey = m_key->GetHKey();
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(hKey, valueName, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) throw Exception(kQuery, static_cast<DWORD>(result));
    if (type != REG_DWORD && type != REG_DWORD_BIG_ENDIAN) return false;
    if (size != sizeof(DWORD)) throw Exception(kQuery, 0);

    DWORD number = 0;
    DWORD read = sizeof number;
    result = RegQueryValueExA(hKey, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &read);
    if (result != ERROR_SUCCESS) throw Exception(kQuery, static_cast<DWORD>(result));
    value = number;
    return true;
}

void CRegistryKey::SetValue(LPCSTR valueName, LPCSTR value, DWORD type) const {
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Exception(kSet, ERROR_INVALID_FLAGS);
    const char* text = value ? value : "";
    // The size covers the terminating NUL, so it is stored too.
    const LONG result = RegSetValueExA(m_key->GetHKey(), valueName, 0, type, reinterpret_cast<const BYTE*>(text),
                                       static_cast<DWORD>(std::strlen(text) + 1));
    if (result != ERROR_SUCCESS) throw Exception(kSet, static_cast<DWORD>(result));
}

void CRegistryKey::SetValue(LPCSTR valueName, DWORD value, DWORD type) const {
    if (type != REG_DWORD && type != REG_DWORD_BIG_ENDIAN) throw Exception(kSet, ERROR_INVALID_FLAGS);
    const LONG result = RegSetValueExA(m_key->GetHKey(), valueName, 0, type, reinterpret_cast<const BYTE*>(&value),
                                       sizeof value);
    if (result != ERROR_SUCCESS) throw Exception(kSet, static_cast<DWORD>(result));
}

CRegistryKey::SubkeyIterator CRegistryKey::begin() const {
    SubkeyIterator first(m_key);
    ++first;
    return first;
}

CRegistryKey::SubkeyIterator CRegistryKey::end() const noexcept {
    return SubkeyIterator();
}

// ---- CRegistryKey::SubkeyIterator ----

CRegistryKey::SubkeyIterator::SubkeyIterator(CCountedRegKey* key) : m_key(key) {
    m_key->AddReference();
    try {
        FitBuffersToKey(kIteratorCreate);
    } catch (...) {
        DropKey();
        throw;
    }
}

CRegistryKey::SubkeyIterator::SubkeyIterator(const SubkeyIterator& other)
    : m_index(other.m_index),
      m_name(CopyBuffer(other.m_name, other.m_nameCapacity)),
      m_nameCapacity(other.m_nameCapacity),
      m_className(CopyBuffer(other.m_className, other.m_classNameCapacity)),
      m_classNameCapacity(other.m_classNameCapacity) {
    // Referenced last: nothing can fail after this.
    m_key = other.m_key;
    if (m_key) m_key->AddReference();
}

CRegistryKey::SubkeyIterator& CRegistryKey::SubkeyIterator::operator=(const SubkeyIterator& other) {
    SubkeyIterator copy(other);
    Swap(copy);
    return *this;
}

CRegistryKey::SubkeyIterator::~SubkeyIterator() {
    DropKey();
}

void CRegistryKey::SubkeyIterator::Swap(SubkeyIterator& other) noexcept {
    std::swap(m_key, other.m_key);
    std::swap(m_index, other.m_index);
    std::swap(m_name, other.m_name);
    std::swap(m_nameCapacity, other.m_nameCapacity);
    std::swap(m_className, other.m_className);
    std::swap(m_classNameCapacity, other.m_classNameCapacity);
}

void CRegistryKey::SubkeyIterator::DropKey() noexcept {
    if (m_key) {
        m_key->DropReference();
        m_key = nullptr;
    }
}

bool CRegistryKey::SubkeyIterator::FitBuffersToKey(const char* location) {
    DWORD subkeys = 0;
    DWORD longestName = 0;
    DWORD longestClass = 0;
    const LONG result = RegQueryInfoKeyA(m_key->GetHKey(), nullptr, nullptr, nullptr, &subkeys, &longestName,
                                         &longestClass, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) throw Exception(location, static_cast<DWORD>(result));
    if (subkeys == 0) return false;
    Grow(m_name, m_nameCapacity, longestName + 1, location);
    Grow(m_className, m_classNameCapacity, longestClass + 1, location);
    return true;
}

bool CRegistryKey::SubkeyIterator::GetSubkeyInfo() {
    if (!m_key) return false;
    // No buffer yet: the key had no subkeys when the walk began.
    if (m_nameCapacity == 0 && !FitBuffersToKey(kIteratorFetch)) return false;
    for (;;) {
        DWORD nameLength = m_nameCapacity;
        DWORD classLength = m_classNameCapacity;
        FILETIME lastWrite;
        const LONG result = RegEnumKeyExA(m_key->GetHKey(), m_index, m_name.get(), &nameLength, nullptr,
                                          m_className.get(), &classLength, &lastWrite);
        if (result == ERROR_SUCCESS) return true;
        if (result == ERROR_NO_MORE_ITEMS) return false;
        if (result != ERROR_MORE_DATA) throw Exception(kIteratorFetch, static_cast<DWORD>(result));

        // A longer name or class appeared since the buffers were sized.
        const DWORD nameBefore = m_nameCapacity;
        const DWORD classBefore = m_classNameCapacity;
        if (!FitBuffersToKey(kIteratorFetch)) {
            // Emptied under the walk: the failed fetch may have left a partial name.
            m_name[0] = '\0';
            return false;
        }
        if (m_nameCapacity == nameBefore && m_classNameCapacity == classBefore) {
            // The longest lengths count characters; in a multi-byte code page a
            // name can take more bytes than that.
            if (nameBefore >= kMaxFetchBuffer && classBefore >= kMaxFetchBuffer)
                throw Exception(kIteratorFetch, ERROR_MORE_DATA);
            Grow(m_name, m_nameCapacity, std::min(nameBefore * 2, kMaxFetchBuffer), kIteratorFetch);
            Grow(m_className, m_classNameCapacity, std::min(classBefore * 2, kMaxFetchBuffer), kIteratorFetch);
        }
    }
}

CRegistryKey::SubkeyIterator& CRegistryKey::SubkeyIterator::operator++() {
    if (!m_key) return *this;
    if (GetSubkeyInfo()) {
        ++m_index;
    } else {
        DropKey();
        m_index = 0;
        if (m_name) m_name[0] = '\0';
    }
    return *this;
}

CRegistryKey::SubkeyIterator CRegistryKey::SubkeyIterator::operator++(int) {
    SubkeyIterator before(*this);
    ++*this;
    return before;
}

CRegistryKey CRegistryKey::SubkeyIterator::OpenKey(REGSAM samDesired) const {
    if (!m_key) throw Exception(kOpen, ERROR_INVALID_HANDLE);
    return CRegistryKey(m_key->GetHKey(), m_name.get(), samDesired, nullptr);
}

} // namespace Wexmoor
