#include "simulator/Install.h"
#include <wbemdisp.h>
#include <wrl/client.h>
#include "com/ComError.h"
#include "simulator/LocatorFactory.h"

namespace VarquelSim {

CInstall::CInstall(std::shared_ptr<CMachine> machine) {
    Microsoft::WRL::ComPtr<CLocatorFactory> factory(new CLocatorFactory([machine](std::shared_ptr<CMachine>& out) {
        out = machine;
        return S_OK;
    }));
    Varquel::ThrowIfFailed(CoRegisterClassObject(CLSID_SWbemLocator, factory.Get(), CLSCTX_INPROC_SERVER,
                                                 REGCLS_MULTIPLEUSE, &m_cookie));
}

CInstall::~CInstall() { CoRevokeClassObject(m_cookie); }

} // namespace VarquelSim
