// The automatic import of an automatic run's rows into the table its task names
// (`autorunTableName`) of the configured database, through the task's column mapping:
// item k of data1 is a result column title, of data2 the table field it fills, and a "*"
// as item k of data0 makes that field no-duplicate, so rows whose value the table already
// holds are left out and a later run imports only what is new.
//
// Main thread (the database connection is opened and closed inside the call).
#pragma once

#include "automation/schedule.h"
#include "run/result_grid.h"

#include <string>
#include <vector>

namespace tarvimo::automation {

// The mapping resolved against a grid's titles.
struct ImportMapping {
    std::vector<std::string> columns;       // grid column indices, decimal text
    std::vector<std::string> fields;        // the table field of each (GBK)
    std::vector<std::string> uniqueFields;  // the no-duplicate ones
    std::vector<std::string> unknownTitles; // mapped titles the grid does not have (GBK)
};
ImportMapping resolveMapping(const run::ResultGrid& grid, const Schedule& schedule);

struct ImportResult {
    bool ok = false;
    int inserted = 0;     // rows the table received
    int leftOut = 0;      // rows left out as duplicates
    std::string message;  // one line for the run's message list (UTF-8)
};

// Inserts the grid's data rows into schedule.tableName in one transaction; on any failure
// nothing is committed and the message says why.
ImportResult importRows(const run::ResultGrid& grid, const std::string& settingsPath, const Schedule& schedule);

} // namespace tarvimo::automation
