// The one configured database, reached through Qt SQL: ODBC for SQL Server and DB2 (the
// connection string is an ODBC connection string), SQLite for the desktop database file
// (kind 1, "Data Source=PATH"), the Oracle driver when installed, the MySQL driver for
// MySQL and MariaDB. Names and texts crossing this interface are GBK; the database sees
// UTF-8.
//
// A connection belongs to the thread that opened it.
#pragma once

#include "output/sql_text.h"
#include "store/settings.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvimo::output {

// A database failure: the driver's own words (UTF-8).
class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything needed to connect, as section DB holds it.
struct DbTarget {
    int kind = kSqlServer;
    std::string connectionString;  // kinds 0 .. 2
    store::settings::OracleSettings oracle;
    store::settings::MySqlSettings mysql;
    // Reads section DB of the settings file with each reader's defaults.
    static DbTarget fromSettings(const std::string& settingsPath);
};

// The file a kind-1 connection string names: the value of "Data Source=" (the Jet form
// reads the same), or the whole string when it holds no "=". Empty when there is none.
std::string dataSourceFile(std::string_view connectionString);

// The connection string of the desktop database file.
std::string accessConnectionString(std::string_view file);

// The cell text as the database receives it: UTF-8, an empty cell an empty string (never
// NULL).
QString sqlValue(std::string_view gbk);

class DbConnection {
public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Connects; throws DbError with the driver's words. A connection already open is
    // closed first.
    void open(const DbTarget& target);
    bool isOpen() const;
    void close();
    int kind() const { return kind_; }
    const DbTarget& target() const { return target_; }
    QSqlDatabase database() const;
    SqlDialect dialect() const { return SqlDialect::of(kind_, target_.connectionString); }

    // The user tables (system tables left out), GBK.
    std::vector<std::string> tables() const;
    // The fields of a table in the catalogue's order, GBK; Oracle looks the name up in
    // upper case. Throws DbError when the table has no fields (it does not exist).
    std::vector<std::string> fields(const std::string& table) const;
    // Runs one statement; throws DbError.
    void exec(const std::string& sql);
    // Runs 'work' in one transaction and commits it. When 'work' or the commit throws
    // DbError, everything is rolled back and the error passes on.
    void inTransaction(const std::function<void(QSqlDatabase&)>& work);

private:
    QString name_;
    int kind_ = kNotConnected;
    DbTarget target_;
};

// The driver's error text of the last failure, UTF-8.
std::string driverError(const QSqlDatabase& db);

} // namespace tarvimo::output
