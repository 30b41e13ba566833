#pragma once
#include <windows.h>
#include <memory>

namespace VarquelSim {

class CMachine;

// Makes a machine the process's SWbemLocator (CoRegisterClassObject, in-process,
// multiple use) for the life of the object. COM must be initialised on the
// thread. Throws Varquel::CComError when the registration fails.
class CInstall {
public:
    explicit CInstall(std::shared_ptr<CMachine> machine);
    ~CInstall();
    CInstall(const CInstall&) = delete;
    CInstall& operator=(const CInstall&) = delete;

private:
    DWORD m_cookie = 0;
};

} // namespace VarquelSim
