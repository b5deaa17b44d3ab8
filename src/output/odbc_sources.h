// What the connection-string editor offers for ODBC kinds: the drivers and data sources
// unixODBC knows, and the connection string made from a choice. Texts UTF-8 (unixODBC's).
#pragma once

#include <string>
#include <vector>

namespace tarvimo::output {

struct OdbcSources {
    std::vector<std::string> drivers;
    std::vector<std::string> dataSources;
};

// Asks the ODBC driver manager; empty lists when it knows none.
OdbcSources listOdbcSources();

// "DSN=name;" or "DRIVER={name};" followed by DATABASE, UID and PWD when given.
std::string odbcConnectionString(const std::string& name, bool isDataSource, const std::string& database,
                                  const std::string& user, const std::string& password);

} // namespace tarvimo::output
