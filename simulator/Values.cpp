#include "simulator/Values.h"
#include <cstdio>
#include <cstring>
#include "com/SafeArray.h"

using Varquel::CBstr;
using Varquel::CSafeArray;
using Varquel::CSafeArrayLock;
using Varquel::CVariant;
using Varquel::ThrowIfFailed;

namespace VarquelSim {

std::string Utf8(const wchar_t* text, size_t length) {
    if (!text || length == 0) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

std::string Utf8(BSTR text) { return Utf8(text, SysStringLen(text)); }

std::wstring Wide(std::string_view text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

CBstr MakeBstr(std::string_view text) {
    std::wstring wide = Wide(text);
    return CBstr(wide.data(), static_cast<UINT>(wide.size()));
}

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsPropertyValue(const Json& value) noexcept {
    if (value.is_object()) return false;
    if (!value.is_array()) return true;
    for (const Json& element : value)
        if (element.is_object() || element.is_array()) return false;
    return true;
}

void JsonToVariant(const Json& value, VARIANT* out) {
    VariantInit(out);
    switch (value.type()) {
    case Json::value_t::string:
        V_BSTR(out) = MakeBstr(value.get_ref<const std::string&>()).Detach();
        V_VT(out) = VT_BSTR;
        break;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
        V_VT(out) = VT_I4;
        V_I4(out) = static_cast<LONG>(value.get<long long>());
        break;
    case Json::value_t::number_float:
        V_VT(out) = VT_R8;
        V_R8(out) = value.get<double>();
        break;
    case Json::value_t::boolean:
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case Json::value_t::array: {
        CSafeArray array = CSafeArray::Variants(static_cast<ULONG>(value.size()));
        if (!value.empty()) {
            CSafeArrayLock lock(array.Get());
            VARIANT* elements = lock.Data<VARIANT>();
            for (size_t i = 0; i < value.size(); ++i) JsonToVariant(value[i], &elements[i]);
        }
        V_VT(out) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(out) = array.Detach();
        break;
    }
    default:
        V_VT(out) = VT_NULL;
        break;
    }
}

Json VariantToJson(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_BSTR:
        return V_BSTR(&value) ? Json(Utf8(V_BSTR(&value))) : Json(nullptr);
    case VT_I4:
        return Json(static_cast<long long>(V_I4(&value)));
    case VT_BOOL:
        return Json(V_BOOL(&value) != VARIANT_FALSE);
    default:
        break;
    }
    if (auto elements = ArrayElements(value)) {
        Json array = Json::array();
        for (const CVariant& element : *elements) array.push_back(VariantToJson(*element));
        return array;
    }
    return Json(nullptr);
}

void CopyValue(VARIANT* out, const VARIANT& value) {
    VariantInit(out);
    const VARIANT* source = &value;
    if (V_VT(source) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(source)) source = V_VARIANTREF(source);
    if (V_VT(source) == VT_BSTR) {
        V_BSTR(out) = CBstr::CopyWhole(V_BSTR(source)).Detach();
        V_VT(out) = VT_BSTR;
        return;
    }
    if (V_VT(source) == (VT_ARRAY | VT_VARIANT)) {
        auto elements = ArrayElements(*source);
        CSafeArray array = CSafeArray::Variants(static_cast<ULONG>(elements->size()));
        if (!elements->empty()) {
            CSafeArrayLock lock(array.Get());
            VARIANT* data = lock.Data<VARIANT>();
            for (size_t i = 0; i < elements->size(); ++i) CopyValue(&data[i], *(*elements)[i]);
        }
        V_ARRAY(out) = array.Detach();
        V_VT(out) = VT_ARRAY | VT_VARIANT;
        return;
    }
    ThrowIfFailed(VariantCopyInd(out, const_cast<VARIANT*>(source)));
}

namespace {

std::string TypeName(VARTYPE type) {
    static const struct {
        VARTYPE type;
        const char* name;
    } names[] = {
        {VT_EMPTY, "VT_EMPTY"},     {VT_NULL, "VT_NULL"},   {VT_I2, "VT_I2"},       {VT_I4, "VT_I4"},
        {VT_R4, "VT_R4"},           {VT_R8, "VT_R8"},       {VT_CY, "VT_CY"},       {VT_DATE, "VT_DATE"},
        {VT_BSTR, "VT_BSTR"},       {VT_DISPATCH, "VT_DISPATCH"}, {VT_ERROR, "VT_ERROR"},
        {VT_BOOL, "VT_BOOL"},       {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"},
        {VT_DECIMAL, "VT_DECIMAL"}, {VT_I1, "VT_I1"},       {VT_UI1, "VT_UI1"},     {VT_UI2, "VT_UI2"},
        {VT_UI4, "VT_UI4"},         {VT_I8, "VT_I8"},       {VT_UI8, "VT_UI8"},     {VT_INT, "VT_INT"},
        {VT_UINT, "VT_UINT"},
    };
    std::string prefix;
    if (type & VT_BYREF) prefix += "VT_BYREF|";
    if (type & VT_ARRAY) prefix += "VT_ARRAY|";
    VARTYPE base = type & VT_TYPEMASK;
    for (const auto& entry : names)
        if (entry.type == base) return prefix + entry.name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "VT_0x%X", static_cast<unsigned>(base));
    return prefix + buffer;
}

std::string Quoted(BSTR text) { return "\"" + Utf8(text) + "\""; }

} // namespace

std::string FormatValue(const VARIANT& value) {
    VARTYPE type = V_VT(&value);
    if (type & VT_ARRAY) {
        std::string text = TypeName(type) + "[";
        if (auto elements = ArrayElements(value)) {
            bool first = true;
            for (const CVariant& element : *elements) {
                if (!first) text += ",";
                first = false;
                if (element.Type() == VT_BSTR && V_BSTR(element.Get()))
                    text += Quoted(V_BSTR(element.Get()));
                else
                    text += FormatValue(*element);
            }
        }
        return text + "]";
    }
    if (type & VT_BYREF) return TypeName(type);
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return TypeName(type);
    case VT_BSTR:
        return V_BSTR(&value) ? "VT_BSTR" + Quoted(V_BSTR(&value)) : "VT_BSTR null";
    case VT_BOOL:
        return V_BOOL(&value) != VARIANT_FALSE ? "VT_BOOL true" : "VT_BOOL false";
    default:
        break;
    }
    CVariant text;
    if (SUCCEEDED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return TypeName(type) + " " + Utf8(V_BSTR(text.Get()));
    return TypeName(type);
}

std::optional<std::vector<CVariant>> ArrayElements(const VARIANT& value) {
    if (!(V_VT(&value) & VT_ARRAY) || (V_VT(&value) & VT_BYREF)) return std::nullopt;
    SAFEARRAY* array = V_ARRAY(&value);
    std::vector<CVariant> elements;
    if (!array) return elements;
    VARTYPE elementType = V_VT(&value) & VT_TYPEMASK;
    ULONG count = 1;
    for (UINT d = 0; d < SafeArrayGetDim(array); ++d) count *= array->rgsabound[d].cElements;
    CSafeArrayLock lock(array);
    const BYTE* data = lock.Data<BYTE>();
    for (ULONG i = 0; i < count; ++i) {
        CVariant element;
        const void* item = data + static_cast<size_t>(i) * array->cbElements;
        if (elementType == VT_VARIANT) {
            CopyValue(element.Get(), *static_cast<const VARIANT*>(item));
        } else {
            // A view of the typed element, copied so the caller owns it.
            VARIANT view;
            VariantInit(&view);
            V_VT(&view) = elementType;
            std::memcpy(&V_I8(&view), item, array->cbElements <= sizeof(LONGLONG) ? array->cbElements : 0);
            if (array->cbElements > sizeof(LONGLONG)) V_VT(&view) = VT_EMPTY;
            CopyValue(element.Get(), view);
        }
        elements.push_back(std::move(element));
    }
    return elements;
}

} // namespace VarquelSim
