#include "output/db_insert.h"

#include "base/text.h"

#include <QSqlError>
#include <QSqlQuery>

#include <unordered_set>

namespace tarvimo::output {

namespace {

QSqlQuery prepared(QSqlDatabase& db, const std::string& sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sqlValue(sql)))
        throw DbError(query.lastError().text().toStdString());
    return query;
}

void execOrThrow(QSqlQuery& query)
{
    if (!query.exec())
        throw DbError(query.lastError().text().toStdString());
}

// Walks rows rowFrom .. rowTo clipped to the grid, calling 'each' with the row index.
template <typename Each>
void forEachRow(const run::ResultGrid& grid, int rowTo, int rowFrom, const InsertProgress& progress, Each each)
{
    for (long long r = rowFrom; r <= rowTo; ++r) {
        if (r < 0)
            continue;
        if (r >= grid.gridRowCount())
            break;
        if (progress)
            progress(static_cast<int>(r - rowFrom), rowTo - 1);
        each(static_cast<int>(r));
    }
}

struct QStringHash {
    std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

} // namespace

void insertRowsByFields(const run::ResultGrid& grid, QSqlDatabase db, int& counter, int colTo, int colFrom,
                        int rowTo, int rowFrom, bool /*withTitles*/, const std::vector<std::string>& tableFields,
                        const std::string& table, const InsertProgress& progress)
{
    QSqlQuery query = prepared(db, insertText(table, tableFields));
    const int fieldCount = static_cast<int>(tableFields.size());
    forEachRow(grid, rowTo, rowFrom, progress, [&](int row) {
        for (int k = 1; k <= fieldCount; ++k) {
            const long long column = static_cast<long long>(colFrom) + k - 1;
            const bool inRange = column >= 0 && column <= colTo && column <= kMaxColumn;
            query.bindValue(k - 1, sqlValue(inRange ? std::string_view(grid.cell(row, static_cast<int>(column)))
                                                    : std::string_view()));
        }
        execOrThrow(query);
        ++counter;
    });
}

void insertRowsByMapping(const run::ResultGrid& grid, QSqlDatabase db, int& counter,
                         const std::vector<std::string>& uniqueFields, const std::vector<std::string>& mapFields,
                         const std::vector<std::string>& mapColumns, int /*colTo*/, int /*colFrom*/, int rowTo,
                         int rowFrom, bool /*withTitles*/, const std::vector<std::string>& /*tableFields*/,
                         const std::string& table, const InsertProgress& progress)
{
    std::vector<int> columns;
    for (const std::string& c : mapColumns) {
        int value = -1;
        columns.push_back(text::parseInt32(text::trim(c), value, false) ? value : -1);
    }
    const std::size_t count = std::min(columns.size(), mapFields.size());

    // Each no-duplicate field that the mapping fills: its parameter and the values held.
    struct Unique {
        std::size_t parameter;
        std::unordered_set<QString, QStringHash> values;
    };
    std::vector<Unique> uniques;
    for (const std::string& field : uniqueFields) {
        const std::string name = text::trim(field);
        if (name.empty())
            continue;
        std::size_t parameter = count;
        for (std::size_t k = 0; k < count; ++k)
            if (text::equalsNoCase(text::trim(mapFields[k]), name))
                parameter = k;
        if (parameter == count)
            continue;
        Unique u{parameter, {}};
        QSqlQuery lookup(db);
        lookup.setForwardOnly(true);
        if (!lookup.exec(sqlValue("select " + name + " from " + table)))
            throw DbError(lookup.lastError().text().toStdString());
        while (lookup.next())
            u.values.insert(lookup.value(0).toString());
        uniques.push_back(std::move(u));
    }

    QSqlQuery query = prepared(db, insertText(table, std::vector<std::string>(mapFields.begin(), mapFields.begin() + static_cast<std::ptrdiff_t>(count))));
    std::vector<QString> values(count);
    forEachRow(grid, rowTo, rowFrom, progress, [&](int row) {
        for (std::size_t k = 0; k < count; ++k)
            values[k] = sqlValue(columns[k] >= 0 ? std::string_view(grid.cell(row, columns[k])) : std::string_view());
        for (const Unique& u : uniques)
            if (u.values.count(values[u.parameter]))
                return;
        for (std::size_t k = 0; k < count; ++k)
            query.bindValue(static_cast<int>(k), values[k]);
        execOrThrow(query);
        ++counter;
        for (Unique& u : uniques)
            u.values.insert(values[u.parameter]);
    });
}

} // namespace tarvimo::output
