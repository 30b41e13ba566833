#pragma once
#include <wbemdisp.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

class CWbemObject;
struct CMethodInfo;

// One method of an object; hands out its in-parameters class.
class CMethod : public CSimDispatch<ISWbemMethod> {
public:
    CMethod(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CWbemObject> owner, const CMethodInfo* info);

    HRESULT STDMETHODCALLTYPE get_InParameters(ISWbemObject** inParameters) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Origin(BSTR*) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_OutParameters(ISWbemObject**) override { return NotImplemented(); }
    HRESULT STDMETHODCALLTYPE get_Qualifiers_(ISWbemQualifierSet**) override { return NotImplemented(); }

private:
    Microsoft::WRL::ComPtr<CWbemObject> m_owner;
    const CMethodInfo* m_info;
};

} // namespace VarquelSim
