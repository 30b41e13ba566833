#pragma once
#include <oaidl.h>
#include "simulator/SimObject.h"

namespace VarquelSim {

class CObjectSet;

// The _NewEnum of an object set.
class CEnumerator : public CSimObject<IEnumVARIANT> {
public:
    CEnumerator(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CObjectSet> set);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return NotImplemented(); }

private:
    Microsoft::WRL::ComPtr<CObjectSet> m_set;
    size_t m_position = 0;
};

} // namespace VarquelSim
