// The SQL text of the database export: created columns and their types by database kind,
// the exact CREATE and INSERT statements, and the names that may not reach SQL.
#include "output/sql_text.h"

#include "base/text.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::output;

namespace {
std::string typeFor(int kind, const std::string& entry, std::string_view connection = {})
{
    return columnTypeText(SqlDialect::of(kind, connection), &entry);
}
} // namespace

TEST(ColumnTypes, FollowTheLongestValueByDatabaseKind)
{
    EXPECT_EQ(typeFor(kOracle, "5000(3)"), " VARCHAR2(4000), ");
    EXPECT_EQ(typeFor(kSqlServer, "5000(3)"), " varchar(6000), ");
    EXPECT_EQ(typeFor(kAccess, "5000(3)"), " Ntext, ");
    EXPECT_EQ(typeFor(kAccess, "255(1)"), " varchar(255), ");
    EXPECT_EQ(typeFor(kAccess, "256(1)"), " Ntext, ");
    EXPECT_EQ(typeFor(kDb2, "256(9)"), " varchar(2000), ");
    EXPECT_EQ(typeFor(kDb2, "2000(9)"), " varchar(2000), ");
    EXPECT_EQ(typeFor(kSqlServer, "2001(9)"), " varchar(4000), ");
    EXPECT_EQ(typeFor(kSqlServer, "8000(9)"), " varchar(8000), ");
    EXPECT_EQ(typeFor(kSqlServer, "8001(9)"), " Ntext, ");
    EXPECT_EQ(typeFor(kOracle, "8001(9)"), " Ntext, ");
    EXPECT_EQ(typeFor(kOracle, "300(9)"), " VARCHAR2(2000), ");
    // An ODBC string naming an .mdb file follows the desktop-database rules.
    EXPECT_EQ(typeFor(kSqlServer, "900(1)", "Driver={x};Dbq=c:\\a.mdb"), " Ntext, ");
    // MySQL keeps long columns out of the 64 KB row limit.
    EXPECT_EQ(typeFor(kMySql, "12(1)"), " varchar(255), ");
    EXPECT_EQ(typeFor(kMySql, "5000(1)"), " text, ");
    EXPECT_EQ(typeFor(kMySql, "9000(1)"), " mediumtext, ");
}

TEST(ColumnTypes, UnreadableEntriesAndMissingRecords)
{
    EXPECT_EQ(typeFor(kSqlServer, "5000"), " varchar(255), ") << "no '(' reads as 255";
    EXPECT_EQ(typeFor(kSqlServer, "abc(2)"), " varchar(255), ") << "no number reads as 255";
    EXPECT_EQ(columnTypeText(SqlDialect::of(kSqlServer, ""), nullptr), " varchar(8000), ")
        << "a record without the column's entry is size class 8000";
    EXPECT_EQ(columnTypeText(SqlDialect::of(kOracle, ""), nullptr), " VARCHAR2(4000), ");
    EXPECT_EQ(columnTypeText(SqlDialect::of(kAccess, ""), nullptr), " Ntext, ");
    for (int kind : {kSqlServer, kAccess, kDb2, kOracle, kMySql})
        EXPECT_EQ(columnTypeText(SqlDialect::of(kind, ""), nullptr, true), " varchar(255), ") << kind;
}

TEST(CreateTable, ExactTextPerKind)
{
    const std::vector<std::string> record{"3(1)", "10(1)", "20(2)"};
    EXPECT_EQ(createTableText(SqlDialect::of(kSqlServer, ""), "t", {1, 2}, &record),
              "Create Table [t]( col01 varchar(255), col02 varchar(255) )");
    EXPECT_EQ(createTableText(SqlDialect::of(kAccess, "Data Source=/x.db"), "t", {1, 2}, &record),
              "Create Table t( col01 varchar(255), col02 varchar(255) )");
    EXPECT_EQ(createTableText(SqlDialect::of(kSqlServer, "Data Source=a.mdb"), "t", {1}, &record),
              "Create Table t( col01 varchar(255) )");
    EXPECT_EQ(createTableText(SqlDialect::of(kMySql, ""), "t", {1}, nullptr),
              "Create Table t( col01 varchar(255) ) default charset=utf8mb4");
    EXPECT_EQ(createdColumnName(9), "col09");
    EXPECT_EQ(createdColumnName(10), "col10");
}

TEST(CreateTable, ColumnsComeFromTheRangeAndStopAt255)
{
    EXPECT_EQ(createdColumns(5, 1, 3), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(createdColumns(2, 1, 9), (std::vector<int>{1, 2}));
    EXPECT_EQ(createdColumns(5, 4, 2), std::vector<int>{});
    EXPECT_EQ(createdColumns(5, -3, 1), (std::vector<int>{0, 1}));
    const auto wide = createdColumns(299, 1, 299);
    ASSERT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide.back(), 255);
}

TEST(InsertText, ExactStatement)
{
    EXPECT_EQ(insertText("t", {"a", "b"}), "insert into t( a , b  ) values(:p1 , :p2 )");
    EXPECT_EQ(insertText("[t]", {"col01"}), "insert into [t]( col01  ) values(:p1 )");
    EXPECT_EQ(insertText("t", {"a", "b"}, 2), "insert into t( a , b  ) values(:p1 , :p2 ),(:p3 , :p4 )");
}

TEST(SafeNames, RefuseWhatCouldEndOrExtendAStatement)
{
    for (const char* bad : {"a'b", "a\"b", "a[b", "a]b", "a;drop", "a`b", "a\tb", "a\x7f", "", "   "})
        EXPECT_TRUE(unsafeName(bad).has_value()) << bad;
    for (const char* good : {"t", "my_table", "Table 1", "col01"})
        EXPECT_FALSE(unsafeName(good).has_value()) << good;
    // A double-byte character whose second byte is '[' or ']' is a letter, not a bracket.
    EXPECT_FALSE(unsafeName(text::utf8ToGbk("公司表")).has_value());
    EXPECT_FALSE(unsafeName("\x81\x5B\x81\x5D").has_value());
}
