// IDispatch served from constant tables: names looked up in one flat table
// per interface, members selected by DISPID, arguments converted in place.
#include "com/Dispatch.h"
#include <wrl/client.h>
#include <atomic>
#include <cstdint>
#include <vector>
#include "com/Module.h"
#include "com/Variant.h"

namespace Varquel::Dispatch {
namespace {

using Microsoft::WRL::ComPtr;

// ---- Names ----

constexpr bool IsIdentifierChar(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

constexpr wchar_t FoldAscii(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool LocaleEqualIgnoringCase(const wchar_t* name, int length, std::wstring_view entry) noexcept {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, length, entry.data(),
                          static_cast<int>(entry.size())) == CSTR_EQUAL;
}

// Whether the user's locale, ignoring case, equates exactly the ASCII letters
// that differ only in case (not so where I and i are different letters).
// Then two names made of letters, digits and underscores are equal exactly
// when they are equal after folding ASCII case, and no locale comparison is
// needed. Remembered for the last locale seen.
bool LocaleFoldsAsciiPlainly() noexcept {
    static std::atomic<std::uint64_t> known{0};  // (lcid << 2) | 2 | answer, 0 = nothing known
    const LCID lcid = GetUserDefaultLCID();
    const std::uint64_t seen = known.load(std::memory_order_relaxed);
    if (seen != 0 && (seen >> 2) == lcid) return (seen & 1) != 0;
    const bool plain = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 26,
                                      L"abcdefghijklmnopqrstuvwxyz", 26) == CSTR_EQUAL;
    known.store((std::uint64_t{lcid} << 2) | 2 | (plain ? 1 : 0), std::memory_order_relaxed);
    return plain;
}

bool AsciiEqualIgnoringCase(const wchar_t* name, std::wstring_view entry) noexcept {
    for (std::size_t i = 0; i < entry.size(); ++i)
        if (FoldAscii(name[i]) != FoldAscii(entry[i])) return false;
    return true;
}

DISPID LookUpName(const InterfaceTable& table, const wchar_t* name) noexcept {
    if (!name) return DISPID_UNKNOWN;
    std::size_t length = 0;
    bool identifier = true;
    for (; name[length]; ++length) identifier = identifier && IsIdentifierChar(name[length]);

    if (identifier) {
        // Letters, digits and underscores are never ignored by a comparison,
        // so only entries of the same length can match.
        const bool plain = LocaleFoldsAsciiPlainly();
        for (const NameEntry& entry : table.names) {
            if (entry.name.size() != length || !AsciiEqualIgnoringCase(name, entry.name)) continue;
            if (plain || LocaleEqualIgnoringCase(name, static_cast<int>(length), entry.name)) return entry.id;
        }
        return DISPID_UNKNOWN;
    }
    // Other characters may be ignorable or fold in ways only the locale knows.
    for (const NameEntry& entry : table.names)
        if (LocaleEqualIgnoringCase(name, -1, entry.name)) return entry.id;
    return DISPID_UNKNOWN;
}

// ---- Arguments ----

// Converts one argument to its parameter's type, writing a converted value
// back into the caller's array. False refuses the argument.
bool ConvertArgument(VARIANT& argument, const ParamType& type, ArgValue& value, ComPtr<IUnknown>& held) noexcept {
    VARIANT* source = &argument;
    if (V_VT(source) == (VT_BYREF | VT_VARIANT)) {
        source = V_VARIANTREF(source);
        if (!source) return false;
    }
    if (V_VT(source) != type.vt) {
        if (V_VT(source) & VT_BYREF) return false;
        CVariant converted;
        if (FAILED(VariantChangeType(converted.Get(), source, 0, type.vt))) return false;
        VariantClear(source);
        converted.Detach(source);
    }
    switch (type.vt) {
    case VT_I4:
        value.i4 = V_I4(source);
        return true;
    case VT_BSTR:
        value.bstr = V_BSTR(source);
        return true;
    case VT_BOOL:
        value.boolean = V_BOOL(source);
        return true;
    case VT_DISPATCH: {
        IDispatch* object = V_DISPATCH(source);
        if (!object) return false;
        // The query's reference is held until the member returns: the queried
        // interface may be a tear-off that the caller's argument does not keep
        // alive. The member takes a reference of its own if it keeps it.
        if (FAILED(object->QueryInterface(type.iid(), reinterpret_cast<void**>(held.ReleaseAndGetAddressOf()))) ||
            !held)
            return false;
        value.itf = held.Get();
        return true;
    }
    default:
        return false;
    }
}

const MemberEntry* SelectMember(const InterfaceTable& table, DISPID id, WORD flags, UINT argCount) noexcept {
    // Unsigned, so that a DISPID below the lowest also falls outside the index.
    const std::uint32_t slot = static_cast<std::uint32_t>(id) - static_cast<std::uint32_t>(table.lowestId);
    if (slot >= table.memberIndex.size()) return nullptr;
    const int index = table.memberIndex[slot];
    if (index < 0) return nullptr;
    const MemberEntry* member = &table.members[static_cast<std::size_t>(index)];
    const bool hasSetter = member->kind == MemberKind::PropertyGet &&
                           static_cast<std::size_t>(index) + 1 < table.members.size() && member[1].id == id &&
                           member[1].kind == MemberKind::PropertyPut;
    if (!hasSetter) return member;
    if (flags & DISPATCH_PROPERTYGET) return member;
    if (flags & DISPATCH_PROPERTYPUT) return member + 1;
    // Neither flag (a plain method call, or a put by reference): script
    // engines call a property this way to read it without an argument and to
    // set it with one.
    return argCount == 0 ? member : member + 1;
}

// ---- Type information ----

HRESULT LoadInterfaceTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    ComPtr<ITypeLib> library;
    HRESULT hr = Module::LoadOwnTypeLib(&library);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(iid, info);
}

} // namespace

HRESULT GetTypeInfoCount(REFIID iid, UINT* pctinfo) noexcept {
    if (!pctinfo) return E_POINTER;
    ComPtr<ITypeInfo> info;
    *pctinfo = SUCCEEDED(LoadInterfaceTypeInfo(iid, &info)) ? 1 : 0;
    return S_OK;
}

HRESULT GetTypeInfo(REFIID iid, UINT iTInfo, ITypeInfo** ppTInfo) noexcept {
    if (iTInfo != 0) return DISP_E_BADINDEX;
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    return LoadInterfaceTypeInfo(iid, ppTInfo);
}

HRESULT GetIDsOfNames(const InterfaceTable& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    bool allKnown = true;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = LookUpName(table, names[i]);
        allKnown = allKnown && ids[i] != DISPID_UNKNOWN;
    }
    return allKnown ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT Invoke(const InterfaceTable& table, IDispatch* self, DISPID member, WORD flags, DISPPARAMS* params,
               VARIANT* result, UINT* argErr) noexcept {
    if (!params) return DISP_E_BADVARTYPE;
    const UINT argCount = params->cArgs;
    if (argCount > table.maxArgs) return DISP_E_BADPARAMCOUNT;
    if (result) *result = VARIANT{};  // VT_EMPTY, as VariantInit leaves it, without a call into oleaut32
    if (argCount > 0 && !params->rgvarg) return E_INVALIDARG;

    // Where in the caller's array each parameter's argument is: positional
    // arguments stand last parameter first.
    UINT position[kMaxArgs];
    for (UINT p = 0; p < argCount; ++p) position[p] = argCount - 1 - p;

    const UINT namedCount = params->cNamedArgs;
    switch (table.namedArgs) {
    case NamedArgs::ByPosition:
        if (namedCount == 0) break;
        if (namedCount > argCount) return DISP_E_BADPARAMCOUNT;
        if (!params->rgdispidNamedArgs) return E_INVALIDARG;
        for (UINT i = 0; i < namedCount; ++i) {
            const DISPID named = params->rgdispidNamedArgs[i];
            if (i == 0 && named == DISPID_PROPERTYPUT) {
                position[argCount - 1] = 0;
            } else if (named < 0 || static_cast<UINT>(named) >= argCount) {
                if (argErr) *argErr = i;
                return DISP_E_PARAMNOTFOUND;
            } else {
                position[named] = i;
            }
        }
        break;
    case NamedArgs::Refused:
        if (namedCount == 0) break;
        if (namedCount != 1 || !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_NONAMEDARGS;
        break;
    case NamedArgs::Ignored:
        break;
    }

    const MemberEntry* entry = SelectMember(table, member, flags, argCount);
    if (!entry) return DISP_E_MEMBERNOTFOUND;
    if (argCount != entry->inputs) return DISP_E_BADPARAMCOUNT;

    ArgValue values[kMaxInputs];
    ComPtr<IUnknown> held[kMaxInputs];
    for (UINT p = 0; p < argCount; ++p) {
        if (!ConvertArgument(params->rgvarg[position[p]], entry->params[p], values[p], held[p])) {
            if (argErr) *argErr = position[p];
            return DISP_E_TYPEMISMATCH;
        }
    }
    return entry->thunk(self, values, result);
}

} // namespace Varquel::Dispatch
