#include <gtest/gtest.h>
#include <string>
#include "wmi/WqlStringLiteral.h"

namespace {

std::wstring Literal(const std::wstring& text) { return Varquel::WqlStringLiteral(text.data(), text.size()); }

TEST(WqlStringLiteral, QuotesAndEscapesBackslashesAndSingleQuotes) {
    EXPECT_EQ(L"''", Literal(L""));
    EXPECT_EQ(L"'Office Laser'", Literal(L"Office Laser"));
    EXPECT_EQ(LR"('\\\\print-srv\\floor2')", Literal(LR"(\\print-srv\floor2)"));
    EXPECT_EQ(LR"('Bob\'s \\ "Laser"')", Literal(LR"(Bob's \ "Laser")"));
    EXPECT_EQ(LR"('\'\'\\')", Literal(LR"(''\)"));
}

} // namespace
