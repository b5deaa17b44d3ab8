// The column-mapping dialog's logic (TDBinterfaceForm): which grid column goes to which
// table field, which fields must not be imported twice, and its ".tpl" template files.
// It never touches the database; it works on the field list its opener read. Texts GBK.
#pragma once

#include "base/messages.h"
#include "run/result_grid.h"

#include <array>
#include <string>
#include <vector>

namespace tarvimo::output {

// What the mapping dialog hands to the export dialog.
struct ColumnMapping {
    std::vector<std::string> mapColumns;    // grid column indices, decimal text
    std::vector<std::string> mapFields;     // the table field of each, same order
    std::vector<std::string> uniqueFields;  // fields whose values must not be imported twice
    std::string mapTable;
    bool empty() const { return mapColumns.empty() && mapFields.empty(); }
    void clear() { *this = ColumnMapping(); }
};

class TDBinterfaceForm {
public:
    static constexpr int kCaption = 0, kMark = 1, kField = 2;
    // A template may name at most this many rows; the rest is left out.
    static constexpr std::size_t kMaxTemplateRows = 4096;

    // 'table' empty: the MySQL form, where the table and field names are typed. 'grid' is
    // the active task tab's grid, null when only the start page is open (no rows then).
    TDBinterfaceForm(std::string table, std::vector<std::string> fields, ColumnMapping& target,
                     UserMessages& messages, const run::ResultGrid* grid);

    // Grid rows; row 0 holds the titles "采集数据列", ">>>", "数据库表列".
    std::vector<std::array<std::string, 3>> rows;
    // The drop-down list: an empty entry, then the table's fields.
    std::vector<std::string> dropDown;
    // The no-duplicate check list and its marks.
    std::vector<std::string> checkList;
    std::vector<bool> checked;
    std::string tableBox;
    // A table was given: field cells open the drop-down list; else they are typed.
    bool tableGiven() const { return tableGiven_; }

    // Chooses drop-down entry 'entry' for a row's field cell.
    void choose(int row, int entry);
    // The text typed into a row's field cell (key released), the MySQL form.
    void typeField(int row, std::string text);
    // "确定": true when the mapping went to the opener and the dialog closes.
    bool confirm();
    // "保存模板" / "导入模板" with the chosen file (".tpl" appended unless present).
    bool saveTemplate(std::string path);
    void loadTemplate(std::string path);

    // The name with ".tpl" appended unless it ends with exactly ".tpl".
    static std::string templateName(std::string path);

private:
    ColumnMapping& target_;
    UserMessages& messages_;
    bool tableGiven_;
};

} // namespace tarvimo::output
