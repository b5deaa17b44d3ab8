#include "output/odbc_sources.h"

#include <sql.h>
#include <sqlext.h>

namespace tarvimo::output {

OdbcSources listOdbcSources()
{
    OdbcSources out;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return out;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[512];
    SQLCHAR attributes[1024];
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &nameLength, attributes, sizeof attributes,
                                  &attributesLength));
         direction = SQL_FETCH_NEXT)
        out.drivers.emplace_back(reinterpret_cast<const char*>(name));
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, attributes, sizeof attributes,
                                      &attributesLength));
         direction = SQL_FETCH_NEXT)
        out.dataSources.emplace_back(reinterpret_cast<const char*>(name));
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
}

namespace {
// A value that holds ';' or braces is enclosed in braces, the ODBC way.
std::string odbcValue(const std::string& v)
{
    if (v.find_first_of(";{}=") == std::string::npos)
        return v;
    std::string out = "{";
    for (char c : v) {
        out += c;
        if (c == '}')
            out += '}';
    }
    return out + "}";
}
} // namespace

std::string odbcConnectionString(const std::string& name, bool isDataSource, const std::string& database,
                                 const std::string& user, const std::string& password)
{
    std::string s = isDataSource ? "DSN=" + odbcValue(name) + ";" : "DRIVER={" + name + "};";
    if (!database.empty())
        s += "DATABASE=" + odbcValue(database) + ";";
    if (!user.empty())
        s += "UID=" + odbcValue(user) + ";";
    if (!password.empty())
        s += "PWD=" + odbcValue(password) + ";";
    return s;
}

} // namespace tarvimo::output
