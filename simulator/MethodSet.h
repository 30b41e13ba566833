#pragma once
#include <wbemdisp.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

class CWbemObject;

// Methods_ of one object.
class CMethodSet : public CSimDispatch<ISWbemMethodSet> {
public:
    CMethodSet(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner);

    HRESULT STDMETHODCALLTYPE Item(BSTR name, LONG flags, ISWbemMethod** method) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return NotImplemented(); }

private:
    Microsoft::WRL::ComPtr<CWbemObject> m_owner;
};

} // namespace VarquelSim
