#include "automation/auto_import.h"

#include "base/text.h"
#include "output/db_connection.h"
#include "output/db_insert.h"
#include "output/sql_text.h"

namespace tarvimo::automation {

namespace {

std::string utf8(std::string_view gbk) { return text::gbkToUtf8(gbk); }

ImportResult failed(std::string why)
{
    ImportResult r;
    r.message = "自动导入数据库失败: " + why;
    return r;
}

} // namespace

ImportMapping resolveMapping(const run::ResultGrid& grid, const Schedule& schedule)
{
    ImportMapping m;
    const std::size_t count = std::min(schedule.columnTitles.size(), schedule.tableFields.size());
    for (std::size_t k = 0; k < count; ++k) {
        const std::string title = text::trim(schedule.columnTitles[k]);
        const std::string field = text::trim(schedule.tableFields[k]);
        if (title.empty() || field.empty())
            continue;  // a result column left unmapped
        int column = -1;
        for (int c = 0; c < grid.gridColumnCount() && column < 0; ++c)
            if (text::equalsNoCase(text::trim(grid.title(c)), title))
                column = c;
        if (column < 0) {
            m.unknownTitles.push_back(title);
            continue;
        }
        m.columns.push_back(std::to_string(column));
        m.fields.push_back(field);
        if (k < schedule.noDuplicate.size() && text::trim(schedule.noDuplicate[k]) == "*")
            m.uniqueFields.push_back(field);
    }
    return m;
}

ImportResult importRows(const run::ResultGrid& grid, const std::string& settingsPath, const Schedule& schedule)
{
    const std::string& table = schedule.tableName;
    if (auto why = output::unsafeName(table))
        return failed("表名 " + utf8(table) + ": " + *why);
    const ImportMapping mapping = resolveMapping(grid, schedule);
    if (!mapping.unknownTitles.empty()) {
        std::string titles;
        for (const auto& t : mapping.unknownTitles)
            titles += (titles.empty() ? "" : ", ") + utf8(t);
        return failed("结果中没有这些列: " + titles);
    }
    if (mapping.columns.empty())
        return failed("任务没有设置列对应关系 (data1, data2)");
    for (const std::string& field : mapping.fields)
        if (auto why = output::unsafeName(field))
            return failed("字段 " + utf8(field) + ": " + *why);

    const int rows = grid.dataRowCount();
    if (rows < 1) {
        ImportResult r;
        r.ok = true;
        r.message = "自动导入数据库: 没有数据行";
        return r;
    }

    output::DbConnection connection;
    int counter = 0;
    try {
        connection.open(output::DbTarget::fromSettings(settingsPath));
    } catch (const output::DbError& e) {
        return failed(std::string("无法连接数据库: ") + e.what());
    }
    try {
        connection.inTransaction([&](QSqlDatabase& db) {
            output::insertRowsByMapping(grid, db, counter, mapping.uniqueFields, mapping.fields, mapping.columns, 0, 0,
                                        rows, 1, false, {}, connection.dialect().tableName(table));
        });
    } catch (const output::DbError& e) {
        return failed("表 " + utf8(table) + ": " + e.what() + " (未保存任何行)");
    }
    ImportResult r;
    r.ok = true;
    r.inserted = counter;
    r.leftOut = rows - counter;
    r.message = "自动导入数据库: 表 " + utf8(table) + " 新增 " + std::to_string(counter) + " 行";
    if (r.leftOut > 0)
        r.message += ", " + std::to_string(r.leftOut) + " 行已在表中, 未重复导入";
    return r;
}

} // namespace tarvimo::automation
