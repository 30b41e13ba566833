#pragma once
#include <windows.h>
#include <oaidl.h>
#include <cstdint>
#include <span>
#include <string_view>
// TableOf<Itf> of every dual interface, generated from the IDL with the tables.
#include "DispatchTables.h"

namespace Varquel::Dispatch {

// One name that GetIDsOfNames knows: a member's name (also in its "get_" and
// "put_" forms) mapping to the member's DISPID, or a parameter's name mapping
// to its position.
struct NameEntry {
    std::wstring_view name;
    DISPID id;
};

enum class MemberKind : std::uint8_t { Method, PropertyGet, PropertyPut };

// An argument after conversion, as the member receives it. Interface
// arguments hold the pointer queried for the parameter's own interface.
union ArgValue {
    LONG i4;
    BSTR bstr;
    VARIANT_BOOL boolean;
    void* itf;
};

// Calls one member through the interface's own vtable with converted
// arguments (in parameter order) and stores its result, if it has one and
// succeeded, in `result` (which may be null).
using Thunk = HRESULT (*)(IDispatch* self, const ArgValue* args, VARIANT* result) noexcept;

constexpr int kMaxInputs = 2;   // parameters of a member that take an argument
constexpr UINT kMaxArgs = 2;    // arguments any interface accepts (InterfaceTable::maxArgs)

struct ParamType {
    VARTYPE vt;                // VT_I4, VT_BSTR, VT_BOOL or VT_DISPATCH
    const IID& (*iid)();       // for VT_DISPATCH: the interface the argument is queried for
};

struct MemberEntry {
    DISPID id;
    MemberKind kind;
    std::uint8_t inputs;       // parameters that take an argument
    VARTYPE result;            // of the [out, retval] parameter after the inputs; VT_EMPTY for none
    ParamType params[kMaxInputs];
    Thunk thunk;
};

// How Invoke treats named arguments on an interface.
enum class NamedArgs : std::uint8_t {
    ByPosition,  // a named DISPID is the position of the parameter it supplies
    Ignored,     // every argument is taken by position
    Refused,     // DISP_E_NONAMEDARGS, except a single DISPID_PROPERTYPUT
};

// The constant description of one dual interface.
struct InterfaceTable {
    std::span<const NameEntry> names;
    std::span<const MemberEntry> members;       // member order; a getter precedes its setter
    std::span<const std::int16_t> memberIndex;  // DISPID - lowestId -> first member with it, -1 for none
    DISPID lowestId;                            // of any member; DISPIDs may be negative
    UINT maxArgs;                               // most parameters of any member, retval counted
    NamedArgs namedArgs;
};

HRESULT GetTypeInfoCount(REFIID iid, UINT* pctinfo) noexcept;
HRESULT GetTypeInfo(REFIID iid, UINT iTInfo, ITypeInfo** ppTInfo) noexcept;
HRESULT GetIDsOfNames(const InterfaceTable& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT Invoke(const InterfaceTable& table, IDispatch* self, DISPID member, WORD flags,
               DISPPARAMS* params, VARIANT* result, UINT* argErr) noexcept;

} // namespace Varquel::Dispatch
