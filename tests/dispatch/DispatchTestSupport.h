#pragma once
// Raw IDispatch calls for the dispatch tests: an argument array built in the
// caller's order (index 0 is the last parameter), and Invoke with its outputs.
#include <windows.h>
#include <oleauto.h>
#include <span>
#include <string>
#include <vector>
#include "com/Dispatch.h"
#include "com/Variant.h"
#include "tests/support/TestSupport.h"

namespace DispatchTest {

using VarquelTest::ComPtr;

constexpr UINT kArgErrUnset = 0xDEADBEEF;

// The caller's argument array. Arguments are appended at the next index.
class CArgs {
public:
    CArgs() noexcept;
    ~CArgs();
    CArgs(const CArgs&) = delete;
    CArgs& operator=(const CArgs&) = delete;

    CArgs& I4(LONG value);
    CArgs& Bstr(const wchar_t* text);          // null gives a VT_BSTR holding a null string
    CArgs& Bool(VARIANT_BOOL value);
    CArgs& Dispatch(IDispatch* object);        // one reference of its own
    CArgs& Unknown(IUnknown* object);
    CArgs& Empty();
    CArgs& Null();
    CArgs& ByRefVariant(VARIANT* target);      // VT_BYREF | VT_VARIANT
    CArgs& ByRefI4(LONG* target);              // VT_BYREF | VT_I4
    CArgs& Named(DISPID id);                   // rgdispidNamedArgs in order
    VARIANT& Slot();                           // the next argument, VT_EMPTY, to fill by hand

    VARIANT& operator[](UINT index) { return m_args[index]; }
    UINT Count() const noexcept { return m_count; }
    DISPPARAMS* Params();

private:
    static constexpr UINT kCapacity = 4;
    VARIANT m_args[kCapacity];
    UINT m_count = 0;
    DISPID m_named[kCapacity] = {};
    UINT m_namedCount = 0;
    DISPPARAMS m_params{};
};

struct CInvokeResult {
    HRESULT hr = E_UNEXPECTED;
    Varquel::CVariant value;
    UINT argErr = kArgErrUnset;
};

CInvokeResult Invoke(IDispatch* object, DISPID member, WORD flags, CArgs& args);
inline CInvokeResult Invoke(IDispatch* object, DISPID member, WORD flags) {
    CArgs none;
    return Invoke(object, member, flags, none);
}

// GetIDsOfNames for a list of names: the HRESULT and one DISPID per name.
HRESULT IdsOfNames(IDispatch* object, const std::vector<std::wstring>& names, std::vector<DISPID>& ids);
DISPID IdOfName(IDispatch* object, const wchar_t* name);

// The current reference count of an object (through a probe reference).
ULONG RefCount(IUnknown* object);

template <class Itf>
ComPtr<IDispatch> CreateDispatch(REFCLSID clsid) {
    ComPtr<Itf> object = VarquelTest::Create<Itf>(clsid);
    ComPtr<IDispatch> dispatch;
    if (object) object.As(&dispatch);
    return dispatch;
}

std::string Text(const VARIANT& value);  // the BSTR of a VT_BSTR, readable

// The eight classes with their dual interface and its dispatch table.
struct InterfaceCase {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    const Varquel::Dispatch::InterfaceTable& (*table)() noexcept;
};
// The interfaces of the creatable classes.
std::span<const InterfaceCase> AllInterfaces();
// The interfaces of a switch's report and its changes, which clients cannot create.
std::span<const InterfaceCase> ReportInterfaces();
// Published interfaces that a class's default interface derives from, which
// the class still answers.
std::span<const InterfaceCase> BaseInterfaces();
const InterfaceCase& InterfaceNamed(const char* name);

// A new object of the case's class, as its IDispatch (null if creation fails).
ComPtr<IDispatch> CreateDispatch(const InterfaceCase& c);

} // namespace DispatchTest
