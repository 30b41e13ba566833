#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <vector>
#include "tests/support/InProcessServer.h"
#include "com/Module.h"

namespace VarquelTest {

namespace {

constexpr const wchar_t* kScratchParent = L"Software\\VarquelTests";
constexpr const wchar_t* kStoreRoot = L"Software\\Ostrel2";
constexpr const wchar_t* kKeptStore = L"Software\\VarquelTests\\KeptStore";

bool KeyExistsHkcu(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

} // namespace

CScratchKey::CScratchKey(const wchar_t* name) : m_path(std::wstring(kScratchParent) + L"\\" + name) {
    DeleteTreeHkcu(m_path.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
}

CScratchKey::~CScratchKey() {
    if (m_key) RegCloseKey(m_key);
    DeleteTreeHkcu(m_path.c_str());
}

std::string CScratchKey::PathA() const { return Narrow(m_path); }

bool CopyTreeHkcu(const wchar_t* from, const wchar_t* to) {
    HKEY source = nullptr, target = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return status == ERROR_SUCCESS;
}

void DeleteTreeHkcu(const wchar_t* path) {
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
    RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

CUserKeysKeeper::CUserKeysKeeper() : m_scratchParentExisted(KeyExistsHkcu(kScratchParent)) {
    DeleteTreeHkcu(kKeptStore);
    m_storeKept = KeyExistsHkcu(kStoreRoot) && CopyTreeHkcu(kStoreRoot, kKeptStore);
}

CUserKeysKeeper::~CUserKeysKeeper() {
    DeleteTreeHkcu(kStoreRoot);
    if (m_storeKept && CopyTreeHkcu(kKeptStore, kStoreRoot)) DeleteTreeHkcu(kKeptStore);
    // Fails, leaving the key for the prefix check to name, when a scratch key is left in it.
    if (!m_scratchParentExisted) RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (!text || length == 0) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

LONG ModuleLockCount() { return Varquel::Module::LockCount(); }

} // namespace VarquelTest

// Every test program runs in a single-threaded apartment with the server's
// classes registered in-process, so objects created by CoCreateInstance are
// this program's own copy of the code.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    VarquelTest::CUserKeysKeeper userKeys;
    VarquelTest::CInProcessServer server;
    if (!server.Ready()) return 2;
    return RUN_ALL_TESTS();
}
