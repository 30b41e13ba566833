#pragma once
#include <windows.h>
#include <oleauto.h>
#include "com/ComError.h"

namespace Varquel {

// Owns one VARIANT; cleared on destruction.
class CVariant {
public:
    CVariant() noexcept { VariantInit(&m_var); }
    CVariant(const CVariant& other) : CVariant() { ThrowIfFailed(VariantCopy(&m_var, const_cast<VARIANT*>(&other.m_var))); }
    CVariant& operator=(const CVariant& other) {
        if (this != &other) ThrowIfFailed(VariantCopy(&m_var, const_cast<VARIANT*>(&other.m_var)));
        return *this;
    }
    CVariant(CVariant&& other) noexcept : m_var(other.m_var) { VariantInit(&other.m_var); }
    CVariant& operator=(CVariant&& other) noexcept {
        if (this != &other) {
            Clear();
            m_var = other.m_var;
            VariantInit(&other.m_var);
        }
        return *this;
    }
    ~CVariant() { Clear(); }

    void Clear() noexcept { VariantClear(&m_var); }
    VARTYPE Type() const noexcept { return V_VT(&m_var); }
    VARIANT* Get() noexcept { return &m_var; }
    const VARIANT* Get() const noexcept { return &m_var; }
    const VARIANT& operator*() const noexcept { return m_var; }
    // Moves the value out to a caller-owned VARIANT.
    void Detach(VARIANT* out) noexcept {
        *out = m_var;
        VariantInit(&m_var);
    }

private:
    VARIANT m_var;
};

} // namespace Varquel
