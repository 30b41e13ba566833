#include "tests/support/TestSupport.h"
#include <gtest/gtest.h>
#include <vector>
#include "tests/support/InProcessServer.h"
#include "com/Module.h"

namespace VarquelTest {

CScratchKey::CScratchKey(const wchar_t* name) : m_path(std::wstring(L"Software\\VarquelTests\\") + name) {
    DeleteTreeHkcu(m_path.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
}

CScratchKey::~CScratchKey() {
    if (m_key) RegCloseKey(m_key);
    DeleteTreeHkcu(m_path.c_str());
}

std::string CScratchKey::PathA() const { return Narrow(m_path); }

void DeleteTreeHkcu(const wchar_t* path) {
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
    RegDeleteKeyW(HKEY_CURRENT_USER, path);
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
    VarquelTest::CInProcessServer server;
    if (!server.Ready()) return 2;
    return RUN_ALL_TESTS();
}
