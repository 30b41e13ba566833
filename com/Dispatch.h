#pragma once
#include <windows.h>
#include <oaidl.h>

namespace Varquel::Dispatch {

// The constant description of one dual interface: its name table, members,
// argument limit and named-argument rule. Defined with the dispatch tables.
struct InterfaceTable;
template <class Itf> const InterfaceTable& TableOf() noexcept;

HRESULT GetTypeInfoCount(REFIID iid, UINT* pctinfo) noexcept;
HRESULT GetTypeInfo(REFIID iid, UINT iTInfo, ITypeInfo** ppTInfo) noexcept;
HRESULT GetIDsOfNames(const InterfaceTable& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT Invoke(const InterfaceTable& table, IDispatch* self, DISPID member, WORD flags,
               DISPPARAMS* params, VARIANT* result, UINT* argErr) noexcept;

} // namespace Varquel::Dispatch
