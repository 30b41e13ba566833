#pragma once
#include <wbemdisp.h>
#include <string>
#include <string_view>
#include <vector>

namespace VarquelSim {

// One in-parameter as the method's documentation declares it. A spawned
// in-parameters instance holds it, NULL until set, with its type fixed.
struct CParameterInfo {
    std::string name;
    WbemCimtypeEnum cimType;
    bool isArray;
    bool required;
    bool typed = true;  // false: takes any value, and Add as a string array
};

// One WMI method of the simulated classes.
struct CMethodInfo {
    std::string className;
    std::string name;
    bool isStatic;                             // callable on the class object only
    std::vector<CParameterInfo> inParameters;  // empty: the method has no in-parameters class
    long missingParameter = 0;                 // the ReturnValue for a required parameter left NULL

    const CParameterInfo* Parameter(std::string_view name) const noexcept;
};

// The method of a class, names compared without case; null when unknown.
const CMethodInfo* FindMethod(std::string_view className, std::string_view method) noexcept;

// Whether a value may be put into the parameter: NULL always; otherwise a
// string as VT_BSTR, an array as VT_ARRAY|VT_VARIANT, a uint32 as an integer,
// an object as VT_DISPATCH or VT_UNKNOWN.
bool Fits(const CParameterInfo& parameter, const VARIANT& value) noexcept;

} // namespace VarquelSim
