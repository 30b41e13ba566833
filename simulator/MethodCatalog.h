#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace VarquelSim {

// One WMI method of the simulated classes.
struct CMethodInfo {
    std::string className;
    std::string name;
    bool isStatic;                      // callable on the class object
    std::vector<std::string> inParameters;  // empty: the method has no in-parameters class
};

// The method of a class, names compared without case; null when unknown.
const CMethodInfo* FindMethod(std::string_view className, std::string_view method) noexcept;

} // namespace VarquelSim
