#pragma once
// Builds dispatch tables: a row from a pointer to an interface member (the
// parameter and result types are deduced from the member's signature, and the
// thunk calls the member through the interface's vtable), and an interface's
// index by DISPID. The generated tables are written with these.
#include <windows.h>
#include <oleauto.h>
#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>
#include "com/Bstr.h"
#include "com/Dispatch.h"

namespace Varquel::Dispatch {
namespace Detail {

template <class I>
const IID& IidOf() {
    return __uuidof(I);
}

template <class I>
concept DualInterface = std::is_base_of_v<IDispatch, I>;

// Parameters that take an argument.
template <class T>
struct InParam;

template <>
struct InParam<LONG> {
    static constexpr ParamType kType{VT_I4, nullptr};
    static LONG From(const ArgValue& value) noexcept { return value.i4; }
};

template <>
struct InParam<BSTR> {
    static constexpr ParamType kType{VT_BSTR, nullptr};
    static BSTR From(const ArgValue& value) noexcept { return value.bstr; }
};

template <>
struct InParam<VARIANT_BOOL> {
    static constexpr ParamType kType{VT_BOOL, nullptr};
    static VARIANT_BOOL From(const ArgValue& value) noexcept { return value.boolean; }
};

template <DualInterface I>
struct InParam<I*> {
    static constexpr ParamType kType{VT_DISPATCH, &IidOf<I>};
    static I* From(const ArgValue& value) noexcept { return static_cast<I*>(value.itf); }
};

// Results: stored in the caller's VARIANT, which takes over strings and
// interface references, or released when nobody takes them.
template <class T>
struct Result {
    static constexpr bool kIsResult = false;
};

template <>
struct Result<LONG> {
    static constexpr bool kIsResult = true;
    static constexpr VARTYPE kType = VT_I4;
    static void Store(VARIANT* out, LONG value) noexcept {
        V_VT(out) = VT_I4;
        V_I4(out) = value;
    }
    static void Discard(LONG) noexcept {}
};

template <>
struct Result<VARIANT_BOOL> {
    static constexpr bool kIsResult = true;
    static constexpr VARTYPE kType = VT_BOOL;
    static void Store(VARIANT* out, VARIANT_BOOL value) noexcept {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = value;
    }
    static void Discard(VARIANT_BOOL) noexcept {}
};

template <>
struct Result<BSTR> {
    static constexpr bool kIsResult = true;
    static constexpr VARTYPE kType = VT_BSTR;
    static void Store(VARIANT* out, BSTR value) noexcept {
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = value;
    }
    static void Discard(BSTR value) noexcept { CBstr().Reset(value); }
};

// Interface results, as VT_DISPATCH (every dual interface) or VT_UNKNOWN.
template <class I, VARTYPE Vt>
struct InterfaceResult {
    static constexpr bool kIsResult = true;
    static constexpr VARTYPE kType = Vt;
    static void Store(VARIANT* out, I* value) noexcept {
        V_VT(out) = Vt;
        if constexpr (Vt == VT_DISPATCH)
            V_DISPATCH(out) = value;
        else
            V_UNKNOWN(out) = value;
    }
    // A bare Release: this toolchain's ComPtr::Attach adds a reference of
    // its own, so it cannot adopt one.
    static void Discard(I* value) noexcept {
        if (value) value->Release();
    }
};

template <DualInterface I>
struct Result<I*> : InterfaceResult<I, VT_DISPATCH> {};

template <>
struct Result<IUnknown*> : InterfaceResult<IUnknown, VT_UNKNOWN> {};

template <class T>
constexpr bool IsResultPointer() {
    if constexpr (std::is_pointer_v<T>)
        return Result<std::remove_pointer_t<T>>::kIsResult;
    else
        return false;
}

template <class F>
struct Signature;

// STDMETHODCALLTYPE: x86 COM members are __stdcall; on x64 it changes nothing.
template <class Itf, class... Params>
struct Signature<HRESULT (STDMETHODCALLTYPE Itf::*)(Params...)> {
    using Interface = Itf;
    using ParamList = std::tuple<Params...>;
    static constexpr std::size_t kCount = sizeof...(Params);
};

template <auto Fn>
struct Member {
    using Sig = Signature<decltype(Fn)>;
    using Itf = typename Sig::Interface;
    template <std::size_t I>
    using Param = std::tuple_element_t<I, typename Sig::ParamList>;

    static constexpr bool kHasResult = [] {
        if constexpr (Sig::kCount == 0)
            return false;
        else
            return IsResultPointer<Param<Sig::kCount - 1>>();
    }();
    static constexpr std::size_t kInputs = Sig::kCount - (kHasResult ? 1 : 0);
    static_assert(kInputs <= kMaxInputs, "a member with more parameters than the engine carries");
    static constexpr VARTYPE kResultType = [] {
        if constexpr (kHasResult)
            return Result<std::remove_pointer_t<Param<Sig::kCount - 1>>>::kType;
        else
            return VARTYPE{VT_EMPTY};
    }();

    template <std::size_t... I>
    static HRESULT CallWith(Itf* self, [[maybe_unused]] const ArgValue* args, [[maybe_unused]] VARIANT* result,
                            std::index_sequence<I...>) noexcept {
        if constexpr (kHasResult) {
            using Out = std::remove_pointer_t<Param<Sig::kCount - 1>>;
            Out out{};
            HRESULT hr = (self->*Fn)(InParam<Param<I>>::From(args[I])..., &out);
            if (SUCCEEDED(hr) && result)
                Result<Out>::Store(result, out);
            else
                Result<Out>::Discard(out);
            return hr;
        } else {
            return (self->*Fn)(InParam<Param<I>>::From(args[I])...);
        }
    }

    static HRESULT Call(IDispatch* self, const ArgValue* args, VARIANT* result) noexcept {
        return CallWith(static_cast<Itf*>(self), args, result, std::make_index_sequence<kInputs>{});
    }

    template <std::size_t... I>
    static constexpr MemberEntry Make(DISPID id, MemberKind kind, std::index_sequence<I...>) {
        return MemberEntry{id, kind, static_cast<std::uint8_t>(kInputs), kResultType,
                           {InParam<Param<I>>::kType...}, &Call};
    }
};

} // namespace Detail

// One row of an interface's member table. A getter has only its result, a
// setter only its value: anything else fails to compile.
template <auto Fn>
consteval MemberEntry MemberOf(DISPID id, MemberKind kind) {
    using M = Detail::Member<Fn>;
    if (kind == MemberKind::PropertyGet && (M::kInputs != 0 || !M::kHasResult)) throw "not a getter";
    if (kind == MemberKind::PropertyPut && (M::kInputs != 1 || M::kHasResult)) throw "not a setter";
    return M::Make(id, kind, std::make_index_sequence<M::kInputs>{});
}

// Whether a row, deduced from the compiled member, takes the argument types
// and gives the result type that the IDL declares.
constexpr bool HasShape(const MemberEntry& member, std::initializer_list<VARTYPE> inputs, VARTYPE result) {
    if (member.result != result || member.inputs != inputs.size()) return false;
    const ParamType* param = member.params;
    for (VARTYPE type : inputs)
        if ((param++)->vt != type) return false;
    return true;
}

// DISPID - Lowest -> index of the first member with that DISPID (a getter
// comes before its setter), -1 where no member has it.
template <DISPID Lowest, DISPID Highest, std::size_t N>
consteval std::array<std::int16_t, static_cast<std::size_t>(Highest - Lowest) + 1> IndexByDispid(
    const MemberEntry (&members)[N]) {
    static_assert(N <= 0x7FFF, "more members than the index holds");
    std::array<std::int16_t, static_cast<std::size_t>(Highest - Lowest) + 1> index{};
    for (std::int16_t& slot : index) slot = -1;
    for (std::size_t i = N; i-- > 0;) {
        if (members[i].id < Lowest || members[i].id > Highest) throw "a DISPID outside the index";
        index[static_cast<std::size_t>(members[i].id - Lowest)] = static_cast<std::int16_t>(i);
    }
    return index;
}

template <std::size_t Names, std::size_t N, std::size_t Slots>
consteval InterfaceTable MakeTable(const NameEntry (&names)[Names], const MemberEntry (&members)[N],
                                   const std::array<std::int16_t, Slots>& index, DISPID lowestId, UINT maxArgs,
                                   NamedArgs namedArgs) {
    UINT most = 0;
    for (const MemberEntry& m : members) most = std::max<UINT>(most, m.inputs + (m.result != VT_EMPTY ? 1u : 0u));
    if (most != maxArgs) throw "the argument limit is not the most parameters of any member";
    // Invoke keeps one slot per argument.
    if (maxArgs > kMaxArgs) throw "more arguments than Invoke carries";
    return InterfaceTable{names, members, index, lowestId, maxArgs, namedArgs};
}

} // namespace Varquel::Dispatch
