#include "output/db_interface.h"

#include "base/text.h"
#include "store/delimited.h"
#include "store/tinifile.h"

#include <algorithm>

namespace tarvimo::output {

TDBinterfaceForm::TDBinterfaceForm(std::string table, std::vector<std::string> fields, ColumnMapping& target,
                                   UserMessages& messages, const run::ResultGrid* grid)
    : target_(target), messages_(messages), tableGiven_(!table.empty())
{
    rows.push_back({text::gbk("采集数据列"), ">>>", text::gbk("数据库表列")});
    if (grid) {
        for (int c = 0; c < grid->gridColumnCount(); ++c) {
            const std::string& title = grid->title(c);
            rows.push_back({text::trimView(title).empty() ? std::string() : title, std::string(), std::string()});
        }
    }
    dropDown.emplace_back();
    dropDown.insert(dropDown.end(), fields.begin(), fields.end());
    checkList = std::move(fields);
    checked.assign(checkList.size(), false);
    tableBox = std::move(table);
}

void TDBinterfaceForm::choose(int row, int entry)
{
    if (row <= 0 || row >= static_cast<int>(rows.size()) || entry < 0 || entry >= static_cast<int>(dropDown.size()))
        return;
    auto& cells = rows[static_cast<std::size_t>(row)];
    if (text::trimView(cells[kCaption]).empty())
        return;
    const std::string& field = dropDown[static_cast<std::size_t>(entry)];
    if (!field.empty()) {
        for (const auto& r : rows)
            if (&r != &rows.front() && r[kField] == field) {
                messages_.warning("数据库表指定重复，请指定其他的列");
                return;
            }
    }
    cells[kField] = field;
    cells[kMark] = field.empty() ? std::string() : text::gbk("对应");
}

void TDBinterfaceForm::typeField(int row, std::string value)
{
    if (row <= 0 || row >= static_cast<int>(rows.size()))
        return;
    auto& cells = rows[static_cast<std::size_t>(row)];
    cells[kMark] = text::trimView(value).empty() ? std::string() : text::gbk("对应");
    cells[kField] = std::move(value);
}

bool TDBinterfaceForm::confirm()
{
    if (!tableGiven_ && text::trimView(tableBox).empty()) {
        messages_.warning("mysql数据库要手工输入表名称");
        return false;
    }
    std::vector<std::string> sources, targets, uniques;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (text::trimView(rows[r][kField]).empty())
            continue;
        sources.push_back(std::to_string(r - 1));
        targets.push_back(rows[r][kField]);
    }
    if (sources.empty()) {
        messages_.warning("请选择导入数据库对应的列");
        return false;
    }
    for (std::size_t i = 0; i < checkList.size(); ++i)
        if (checked[i])
            uniques.push_back(checkList[i]);
    target_.clear();
    target_.mapColumns = std::move(sources);
    target_.mapFields = std::move(targets);
    target_.uniqueFields = std::move(uniques);
    target_.mapTable = text::trim(tableBox);
    return true;
}

std::string TDBinterfaceForm::templateName(std::string path)
{
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".tpl") != 0)
        path += ".tpl";
    return path;
}

bool TDBinterfaceForm::saveTemplate(std::string path)
{
    std::array<std::vector<std::string>, 3> columns;
    for (const auto& r : rows)
        for (std::size_t c = 0; c < 3; ++c)
            columns[c].push_back(r[c]);
    std::vector<std::string> marks;
    for (bool b : checked)
        marks.push_back(b ? "1" : "0");
    try {
        store::TIniFile ini(templateName(std::move(path)));
        ini.WriteString("col", "data1", store::joinDelimited(columns[0], ','));
        ini.WriteString("col", "data2", store::joinDelimited(columns[1], ','));
        ini.WriteString("col", "data3", store::joinDelimited(columns[2], ','));
        ini.WriteString("colsingle", "data", store::joinDelimited(marks, ','));
        return true;
    } catch (const std::exception&) {
        messages_.warning("保存失败");
        return false;
    }
}

void TDBinterfaceForm::loadTemplate(std::string path)
{
    try {
        store::TIniFile ini(templateName(std::move(path)));
        std::array<std::vector<std::string>, 3> columns;
        columns[0] = store::splitDelimited(ini.ReadString("col", "data1", ""), ',');
        columns[1] = store::splitDelimited(ini.ReadString("col", "data2", ""), ',');
        columns[2] = store::splitDelimited(ini.ReadString("col", "data3", ""), ',');
        std::size_t count = 0;
        for (auto& column : columns) {
            if (column.size() > kMaxTemplateRows)
                column.resize(kMaxTemplateRows);
            count = std::max(count, column.size());
        }
        if (count > 0) {
            rows.assign(count, {});
            for (std::size_t c = 0; c < 3; ++c)
                for (std::size_t r = 0; r < columns[c].size(); ++r)
                    rows[r][c] = columns[c][r];
        }
        const std::vector<std::string> marks = store::splitDelimited(ini.ReadString("colsingle", "data", ""), ',');
        for (std::size_t i = 0; i < checked.size(); ++i)
            checked[i] = i < marks.size() && marks[i] == "1";
    } catch (const std::exception&) {
        // A template that cannot be read leaves the grid as it was.
    }
}

} // namespace tarvimo::output
