#include "simulator/Enumerator.h"
#include "simulator/ObjectSet.h"
#include "simulator/Values.h"

namespace VarquelSim {

CEnumerator::CEnumerator(std::shared_ptr<CMachine> machine, Microsoft::WRL::ComPtr<CObjectSet> set)
    : CSimObject(std::move(machine)), m_set(std::move(set)) {}

HRESULT CEnumerator::Next(ULONG count, VARIANT* elements, ULONG* fetched) {
    return Guarded([&]() -> HRESULT {
        CMachine::CCall call(*m_machine);
        if (fetched) *fetched = 0;
        if (call.Failed()) return WBEM_E_FAILED;
        if (!elements) return E_INVALIDARG;
        const auto& all = m_set->Elements();
        ULONG done = 0;
        for (; done < count && m_position < all.size(); ++done, ++m_position) {
            CopyValue(&elements[done], *all[m_position]);
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    });
}

HRESULT CEnumerator::Skip(ULONG count) {
    CMachine::CCall call(*m_machine);
    if (call.Failed()) return WBEM_E_FAILED;
    size_t size = m_set->Elements().size();
    size_t left = size - m_position;
    m_position += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
}

HRESULT CEnumerator::Reset() {
    CMachine::CCall call(*m_machine);
    if (call.Failed()) return WBEM_E_FAILED;
    m_position = 0;
    return S_OK;
}

} // namespace VarquelSim
