// The SQL text of the database export: the CREATE TABLE statement with the column-type
// choice, the parameterised INSERT statement, and the check of names placed in SQL.
// Pure functions, no database; names and texts are GBK like the grid.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::output {

// The database kinds of section DB, and "not yet connected".
enum DbKind : int { kSqlServer = 0, kAccess = 1, kDb2 = 2, kOracle = 3, kMySql = 4, kNotConnected = 255 };

// How a kind writes names and types. Access rules hold for kind 1 whatever the file is
// called, and for kinds 0 and 2 on a connection string naming an ".mdb" file.
struct SqlDialect {
    int kind = kSqlServer;
    bool access = false;
    static SqlDialect of(int dbType, std::string_view connectionString);
    // SQL Server and DB2 (not Access) enclose table names in "[" and "]".
    bool bracketsNames() const { return kind < kOracle && !access; }
    std::string tableName(std::string_view name) const;
};

// The type text of a created column, e.g. " varchar(255), ", from its entry of the grid's
// length record ("length(row)"). 'entry' is null when the record holds no entry for the
// column (size class 8000); 'recordMissing' when there is no record at all (varchar(255)).
std::string columnTypeText(const SqlDialect& dialect, const std::string* entry, bool recordMissing = false);

// "col01" .. "col09", "col10", ...
std::string createdColumnName(int index);

// The grid columns a new table gets: 0 .. lastCandidate that lie in colFrom..colTo and are
// at most 255.
std::vector<int> createdColumns(int lastCandidate, int colFrom, int colTo);

// "Create Table " + name + "( col01 varchar(255), ... )". 'lengthRecord' null: no record.
std::string createTableText(const SqlDialect& dialect, std::string_view table, const std::vector<int>& columns,
                            const std::vector<std::string>* lengthRecord);

// "insert into t( a , b  ) values(:p1 , :p2 )"; with rows > 1 the value lists of that many
// rows, numbered on: "values(:p1 , :p2 ),(:p3 , :p4 )".
std::string insertText(std::string_view table, const std::vector<std::string>& fields, std::size_t rows = 1);

// Why a name may not be placed in SQL text (a quote, bracket, semicolon, backtick or control
// character, or blank), as a UTF-8 message; nothing when it may.
std::optional<std::string> unsafeName(std::string_view name);

} // namespace tarvimo::output
