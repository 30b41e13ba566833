#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace VarquelSim {

// The WQL the system sends: "SELECT * FROM <class>", optionally followed by
// "WHERE <property> = '<literal>'" or "WHERE <property> = <number>". Keywords
// ignore case; inside the literal \\ stands for a backslash and \' (or \")
// for a quote, and any other backslash makes the query invalid, as in WMI.
class CWqlQuery {
public:
    static std::optional<CWqlQuery> Parse(std::string_view text);

    const std::string& ClassName() const noexcept { return m_class; }
    bool HasCondition() const noexcept { return !m_property.empty(); }
    const std::string& Property() const noexcept { return m_property; }
    const std::string& Literal() const noexcept { return m_literal; }
    // The condition compares with a number (its decimal digits in Literal).
    bool IsNumber() const noexcept { return m_number; }

private:
    std::string m_class;
    std::string m_property;
    std::string m_literal;
    bool m_number = false;
};

} // namespace VarquelSim
