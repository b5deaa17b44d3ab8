// Shared pieces of the export tests: grids, settings files, and reading tables and
// workbooks back.
#pragma once

#include "base/text.h"
#include "run/result_grid.h"
#include "support/child_process.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <stdexcept>
#include <string>
#include <vector>

namespace tarvimo::test {

inline std::string g(const char* utf8) { return text::utf8ToGbk(utf8); }

// Titles 序号, 公司名称, 联系人, 手机号 and the rows given (serial numbers added).
inline void fillGrid(run::ResultGrid& grid, const std::vector<std::vector<std::string>>& rows)
{
    grid.setTitles({g("序号"), g("公司名称"), g("联系人"), g("手机号")}, 4);
    int serial = 1;
    for (const auto& r : rows) {
        std::vector<std::string> fields{std::to_string(serial++)};
        fields.insert(fields.end(), r.begin(), r.end());
        grid.appendRow(fields);
    }
}

using Table = std::vector<std::vector<std::string>>;

// Every row of a query, each value as GBK text ("<null>" for NULL).
inline Table queryRows(QSqlDatabase db, const std::string& sql)
{
    QSqlQuery q(db);
    if (!q.exec(QString::fromStdString(sql)))
        throw std::runtime_error("query failed: " + q.lastError().text().toStdString());
    Table out;
    while (q.next()) {
        std::vector<std::string> row;
        for (int i = 0; i < q.record().count(); ++i)
            row.push_back(q.value(i).isNull() ? std::string("<null>") : text::utf8ToGbk(q.value(i).toString().toStdString()));
        out.push_back(row);
    }
    return out;
}

// A SQLite file opened for reading back, closed with the object.
class SqliteFile {
public:
    explicit SqliteFile(const std::string& path) : name_(QString::fromStdString("readback-" + path))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        db.setDatabaseName(QString::fromStdString(path));
        if (!db.open())
            throw std::runtime_error("cannot open " + path);
    }
    ~SqliteFile()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    Table rows(const std::string& sql) const { return queryRows(QSqlDatabase::database(name_, false), sql); }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

// The XML of the first worksheet of a workbook.
inline std::string sheetXml(const std::string& workbook, const std::string& scratch)
{
    const auto r = fixtures::runProgram({fixtures::findProgram("unzip"), "-p", workbook, "xl/worksheets/sheet1.xml"}, scratch);
    if (r.exitCode != 0)
        throw std::runtime_error("unzip failed: " + r.output);
    return r.output;
}

// The text of a cell ("B2") of an inline-string worksheet; "<none>" when absent.
inline std::string cellOf(const std::string& xml, const std::string& ref)
{
    const std::string open = "<c r=\"" + ref + "\"";
    const auto at = xml.find(open);
    if (at == std::string::npos)
        return "<none>";
    const auto t = xml.find("<t", at);
    const auto begin = xml.find('>', t) + 1;
    const auto end = xml.find("</t>", begin);
    std::string value = xml.substr(begin, end - begin);
    for (const auto& [entity, ch] : std::vector<std::pair<std::string, std::string>>{
             {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
        std::size_t p = 0;
        while ((p = value.find(entity, p)) != std::string::npos) {
            value.replace(p, entity.size(), ch);
            p += ch.size();
        }
    }
    return value;
}

} // namespace tarvimo::test
