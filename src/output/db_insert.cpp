#include "output/db_insert.h"

#include "base/text.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
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

// Rows on their way into the table. Over a network (MySQL) each statement costs a round
// trip, so rows go in groups of one multi-row statement; elsewhere one row per statement.
class RowSink {
public:
    RowSink(QSqlDatabase db, const std::string& table, const std::vector<std::string>& fields, int& counter)
        : db_(db), table_(table), fields_(fields), counter_(counter)
    {
        const std::size_t perRow = std::max<std::size_t>(1, fields.size());
        if (db.driverName() == QLatin1String("QMYSQL") || db.driverName() == QLatin1String("QMARIADB"))
            groupRows_ = std::clamp<std::size_t>(kMaxGroupParameters / perRow, 1, kMaxGroupRows);
        single_ = prepared(db_, insertText(table_, fields_));
        if (groupRows_ > 1)
            group_ = prepared(db_, insertText(table_, fields_, groupRows_));
    }

    void add(std::vector<QString>& row)
    {
        pending_.insert(pending_.end(), std::make_move_iterator(row.begin()), std::make_move_iterator(row.end()));
        ++pendingRows_;
        if (pendingRows_ == groupRows_)
            flush();
    }

    // Sends the rows still held, one statement each when they do not fill a group.
    void flush()
    {
        const bool whole = groupRows_ > 1 && pendingRows_ == groupRows_;
        QSqlQuery& query = whole ? group_ : single_;
        const std::size_t perStatement = whole ? pendingRows_ : 1;
        const std::size_t width = fields_.size();
        for (std::size_t first = 0; first < pendingRows_; first += perStatement) {
            for (std::size_t k = 0; k < perStatement * width; ++k)
                query.bindValue(static_cast<int>(k), pending_[first * width + k]);
            if (!query.exec())
                throw DbError(query.lastError().text().toStdString());
            counter_ += static_cast<int>(perStatement);
        }
        pending_.clear();
        pendingRows_ = 0;
    }

private:
    static constexpr std::size_t kMaxGroupRows = 200;
    static constexpr std::size_t kMaxGroupParameters = 30000;
    QSqlDatabase db_;
    std::string table_;
    std::vector<std::string> fields_;
    int& counter_;
    std::size_t groupRows_ = 1;
    QSqlQuery single_, group_;
    std::vector<QString> pending_;
    std::size_t pendingRows_ = 0;
};

// Walks the rows, reporting (row - rowFrom, rowTo - 1) to the progress window first.
template <typename Each>
void forEachRow(const run::ResultGrid& grid, int rowTo, int rowFrom, const InsertProgress& progress, Each each)
{
    forEachRowInRange(grid, rowFrom, rowTo, [&](int row) {
        if (progress)
            progress(clampToInt(static_cast<long long>(row) - rowFrom), clampToInt(static_cast<long long>(rowTo) - 1));
        each(row);
    });
}

struct QStringHash {
    std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

} // namespace

void insertRowsByFields(const run::ResultGrid& grid, QSqlDatabase db, int& counter, int colTo, int colFrom,
                        int rowTo, int rowFrom, bool /*withTitles*/, const std::vector<std::string>& tableFields,
                        const std::string& table, const InsertProgress& progress)
{
    RowSink sink(db, table, tableFields, counter);
    const int fieldCount = static_cast<int>(tableFields.size());
    std::vector<QString> values;
    forEachRow(grid, rowTo, rowFrom, progress, [&](int row) {
        values.clear();
        for (int k = 1; k <= fieldCount; ++k) {
            const long long column = static_cast<long long>(colFrom) + k - 1;
            const bool inRange = column >= 0 && column <= colTo && column <= kMaxColumn;
            values.push_back(sqlValue(inRange ? std::string_view(grid.cell(row, static_cast<int>(column)))
                                              : std::string_view()));
        }
        sink.add(values);
    });
    sink.flush();
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

    RowSink sink(db, table, std::vector<std::string>(mapFields.begin(), mapFields.begin() + static_cast<std::ptrdiff_t>(count)),
                 counter);
    std::vector<QString> values(count);
    forEachRow(grid, rowTo, rowFrom, progress, [&](int row) {
        values.resize(count);
        for (std::size_t k = 0; k < count; ++k)
            values[k] = sqlValue(columns[k] >= 0 ? std::string_view(grid.cell(row, columns[k])) : std::string_view());
        for (const Unique& u : uniques)
            if (u.values.count(values[u.parameter]))
                return;
        for (Unique& u : uniques)
            u.values.insert(values[u.parameter]);
        sink.add(values);
    });
    sink.flush();
}

} // namespace tarvimo::output
