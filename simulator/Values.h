#pragma once
#include <windows.h>
#include <oleauto.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "com/Bstr.h"
#include "com/Variant.h"

// Conversions between the machine description (JSON, UTF-8) and the values
// the scripting objects hand out (VARIANT, BSTR), and the journal's text form.
namespace VarquelSim {

using Json = nlohmann::ordered_json;

std::string Utf8(const wchar_t* text, size_t length);
std::string Utf8(BSTR text);  // whole string; null gives ""
std::wstring Wide(std::string_view text);
Varquel::CBstr MakeBstr(std::string_view text);

// ASCII case folding: WMI names and WQL comparisons ignore case.
bool EqualsNoCase(std::string_view a, std::string_view b) noexcept;

// A property value of the description as WMI reports it: string VT_BSTR,
// integer VT_I4, bool VT_BOOL, null VT_NULL, array VT_ARRAY|VT_VARIANT.
void JsonToVariant(const Json& value, VARIANT* out);
// The description's form of a value a client sent (unsupported types: null).
Json VariantToJson(const VARIANT& value);
// True for what JsonToVariant accepts (scalars and arrays of scalars).
bool IsPropertyValue(const Json& value) noexcept;

// A deep copy that, unlike the platform's VariantCopy, keeps a null BSTR null
// (also inside arrays); references are followed.
void CopyValue(VARIANT* out, const VARIANT& value);

// Journal form: VT_BSTR"text", VT_I4 5, VT_BOOL true, VT_NULL,
// VT_ARRAY|VT_VARIANT["a","b"] ...
std::string FormatValue(const VARIANT& value);

// The elements of an array value, each copied into a VARIANT; nullopt when
// the value is not an array.
std::optional<std::vector<Varquel::CVariant>> ArrayElements(const VARIANT& value);

} // namespace VarquelSim
