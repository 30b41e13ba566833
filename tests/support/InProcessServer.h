#pragma once
#include <windows.h>
#include <vector>

namespace VarquelTest {

// Hosts the server's code in this program: a single-threaded apartment with
// the eight class objects registered in-process, so CoCreateInstance reaches
// this program's own copy of the classes. Their references do not count in
// the module's lock count. Everything is undone in reverse on destruction.
class CInProcessServer {
public:
    CInProcessServer();
    ~CInProcessServer();
    CInProcessServer(const CInProcessServer&) = delete;
    CInProcessServer& operator=(const CInProcessServer&) = delete;
    bool Ready() const noexcept { return m_comReady; }

private:
    bool m_comReady = false;
    std::vector<DWORD> m_cookies;
};

} // namespace VarquelTest
