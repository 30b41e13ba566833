#include <gtest/gtest.h>
#include "simulator/WqlQuery.h"

using VarquelSim::CWqlQuery;

namespace {

TEST(WqlQuery, SelectAllFromAClass) {
    auto query = CWqlQuery::Parse("SELECT * FROM Win32_NetworkAdapter");
    ASSERT_TRUE(query);
    EXPECT_EQ("Win32_NetworkAdapter", query->ClassName());
    EXPECT_FALSE(query->HasCondition());
}

TEST(WqlQuery, KeywordsIgnoreCaseAndSpacing) {
    auto query = CWqlQuery::Parse("  select\t*   from Win32_Share  ");
    ASSERT_TRUE(query);
    EXPECT_EQ("Win32_Share", query->ClassName());
    auto where = CWqlQuery::Parse("Select * From Win32_Printer where DeviceID='x'");
    ASSERT_TRUE(where);
    EXPECT_EQ("DeviceID", where->Property());
    EXPECT_EQ("x", where->Literal());
}

TEST(WqlQuery, WhereLiteralTakesWqlEscapes) {
    auto query = CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = '\\\\print-srv\\floor2')");
    ASSERT_TRUE(query);
    EXPECT_TRUE(query->HasCondition());
    EXPECT_EQ(R"(\\print-srv\floor2)", query->Literal());

    auto quoted = CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = 'Bob\'s printer')");
    ASSERT_TRUE(quoted);
    EXPECT_EQ("Bob's printer", quoted->Literal());

    auto doubleQuoted = CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = "say \"hi\" 'x'")");
    ASSERT_TRUE(doubleQuoted);
    EXPECT_EQ(R"(say "hi" 'x')", doubleQuoted->Literal());

    auto empty = CWqlQuery::Parse("SELECT * FROM Win32_Printer WHERE DeviceID = ''");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->HasCondition());
    EXPECT_EQ("", empty->Literal());
}

// A key is compared with a number.
TEST(WqlQuery, WhereNumberComparesANumber) {
    auto query = CWqlQuery::Parse("SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 12");
    ASSERT_TRUE(query);
    EXPECT_TRUE(query->IsNumber());
    EXPECT_EQ("12", query->Literal());
    auto text = CWqlQuery::Parse("SELECT * FROM Win32_Printer WHERE DeviceID = '12'");
    ASSERT_TRUE(text);
    EXPECT_FALSE(text->IsNumber());
    EXPECT_FALSE(CWqlQuery::Parse("SELECT * FROM Win32_NetworkAdapterConfiguration WHERE Index = 12a"));
}

// What the printers part sends for a network printer (the identifier put in
// verbatim) and for a name with a quote is not valid WQL.
TEST(WqlQuery, UnescapedLiteralsAreInvalid) {
    EXPECT_FALSE(CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = '\\print-srv\floor2')"));
    EXPECT_FALSE(CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = 'Bob's printer')"));
    EXPECT_FALSE(CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = 'open)"));
    EXPECT_FALSE(CWqlQuery::Parse(R"(SELECT * FROM Win32_Printer WHERE DeviceID = 'ends\')"));
}

TEST(WqlQuery, OtherFormsAreInvalid) {
    for (const char* text : {
             "",
             "SELECT",
             "SELECT * FROM",
             "SELECT Name FROM Win32_Share",
             "SELECT *, Name FROM Win32_Share",
             "DELETE * FROM Win32_Share",
             "SELECT * FROM Win32_Share WHERE",
             "SELECT * FROM Win32_Share WHERE Name",
             "SELECT * FROM Win32_Share WHERE Name = ",
             "SELECT * FROM Win32_Share WHERE Name = Path",
             "SELECT * FROM Win32_Share WHERE Name = 'a' AND Path = 'b'",
             "SELECT * FROM Win32_Share WHERE Name <> 'a'",
             "SELECT * FROM Win32_Share;",
             "SELECT * FROM WHERE Name = 'a'",
             "SELECT * FROM 9Share",
         })
        EXPECT_FALSE(CWqlQuery::Parse(text)) << text;
}

} // namespace
