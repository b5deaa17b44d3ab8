// The two insert operations of the database export. Each prepares one parameterised
// statement and runs it once per exported row (rows rowFrom .. rowTo ascending, clipped to
// the grid), advancing the caller's row counter for each row stored. Over MySQL, where each
// statement is a network round trip, rows go in groups of up to 200 per statement and the
// counter advances by group. A failed statement throws DbError; the counter then says how
// many rows went in before it.
#pragma once

#include "output/db_connection.h"
#include "output/grid_export.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvimo::output {

// Called at the start of each row with (row - rowFrom, rowTo - 1).
using InsertProgress = std::function<void(int position, int maximum)>;

// Inserts in table-field order: parameter k takes the cell of grid column colFrom + k - 1;
// a field beyond the column range gets empty text. 'table' is the name as placed in SQL.
void insertRowsByFields(const run::ResultGrid& grid, QSqlDatabase db, int& counter, int colTo, int colFrom,
                        int rowTo, int rowFrom, bool withTitles, const std::vector<std::string>& tableFields,
                        const std::string& table, const InsertProgress& progress = {});

// Inserts through the column mapping: parameter k takes the cell of grid column
// mapColumns[k]. A row is skipped when, for a field named in uniqueFields (blank entries
// ignored), the table already holds that value; the values of each such field are read
// once into a set that also takes every inserted row, so the cost per row stays flat.
void insertRowsByMapping(const run::ResultGrid& grid, QSqlDatabase db, int& counter,
                         const std::vector<std::string>& uniqueFields, const std::vector<std::string>& mapFields,
                         const std::vector<std::string>& mapColumns, int colTo, int colFrom, int rowTo, int rowFrom,
                         bool withTitles, const std::vector<std::string>& tableFields, const std::string& table,
                         const InsertProgress& progress = {});

} // namespace tarvimo::output
