// The export dialog's logic (TexportForm, "数据输出"): the rows of a result grid to a
// text file (kind 0), a workbook (kind 1) or a database table (kind 3). It reads the grid
// and never changes it; rows added while it is open beyond the row range are not
// exported. Everything runs on the thread that owns the grid. Control texts are GBK.
#pragma once

#include "base/messages.h"
#include "engine/task.h"
#include "output/db_connection.h"
#include "output/db_interface.h"
#include "output/grid_export.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvimo::output {

class TexportForm {
public:
    // What the view provides.
    struct Hooks {
        // A save dialog with the filter (e.g. "文本文件(*.txt)|*.txt"); the chosen path, or
        // nothing when cancelled.
        std::function<std::optional<std::string>(const std::string& filter)> saveFileName;
        // Opens a written file with the desktop's program for it; false when refused.
        std::function<bool(const std::string& path)> openFile;
        // The progress window: shown on the first call, (position, maximum) per row, and
        // hidden by progressDone.
        std::function<void(int position, int maximum)> progress;
        std::function<void()> progressDone;
        // "定义数据接口": the mapping dialog for the table (empty for MySQL) and its fields;
        // it writes the form's mapping on confirmation.
        std::function<void(TexportForm& form, const std::string& table, const std::vector<std::string>& fields)>
            openMapping;
        // Something changed that the view shows (busy label, table list, buttons).
        std::function<void()> changed;
    };

    // 'task' is the task of the grid's tab, used to size a created table; null sizes it by
    // the grid's columns.
    TexportForm(const run::ResultGrid& grid, int targetKind, std::string settingsPath, UserMessages& messages,
                engine::TaskPtr task = nullptr, Hooks hooks = {});

    // The title at the top: "数据输出到文本", "数据输出到Excel", "数据输出到数据库".
    std::string title() const;
    int targetKind() const { return kind_; }

    // The controls.
    std::string rowFrom, rowTo, colFrom, colTo;   // "行范围：" .. "到 ", "列范围：" .. "到 "
    bool withTitles = false;                      // "输出列标题"
    std::string separator = "\t";                 // "数据分割符："
    std::vector<std::string> tableList;           // "现有表："
    bool useNewTable = false;                     // "使用新表"
    std::string newTableName;                     // "表名称："
    bool busy() const { return busy_; }           // "正在进行，请稍候..."
    bool saveEnabled() const { return saveEnabled_; }
    bool refreshEnabled() const { return refreshEnabled_; }

    // Single choice: checking an item unchecks the others; -1 for none.
    void checkTable(int index);
    int checkedTable() const { return checked_; }
    // A click into the separator box.
    void separatorClicked() { separator = "\x1B"; }

    // The connection state.
    int dbType = kNotConnected;
    std::string connectionString;
    ColumnMapping mapping;
    // The desktop-database quick export: the file (a path, UTF-8 like every path) and the
    // table (GBK).
    std::string accessFile, accessTable;

    // The first tick after showing: runs the Access quick export when accessFile is set.
    // True when the dialog closes.
    bool shown();
    // The connecting step: reads section DB, connects, fills the table list. False with
    // the warning said; throws DbError for a connection the driver refused.
    bool connect();
    // The fields of a table of the open connection; throws DbError.
    std::vector<std::string> tableFields(const std::string& table) const { return connection_.fields(table); }
    // "刷新": connects and refills the list; a refused connection is said.
    void refresh();
    // "定义数据接口".
    void openMapping();
    // "确定": true when the dialog closes (a finished database export).
    bool save();

    // The rows stored by the last database export.
    int rowsStored() const { return counter_; }

private:
    bool exportToFile(int rFrom, int rTo, int cFrom, int cTo);
    bool exportToDatabase(int rFrom, int rTo, int cFrom, int cTo);
    bool exportMySqlMapping(int rFrom, int rTo, int cFrom, int cTo);
    bool connectSaying();
    // Says why the first unsafe name (the given ones, then the mapping's fields) may not be used.
    bool namesSafe(const std::vector<const std::string*>& names);
    // Runs an insert in one transaction, then closes the connection and says the result.
    bool runInsert(const std::function<void(QSqlDatabase&)>& insert, bool mysqlWords);
    void setBusy(bool on);
    std::string checkedTableName() const;
    int lastCreatedCandidate() const;

    const run::ResultGrid& grid_;
    int kind_;
    std::string settingsPath_;
    UserMessages& messages_;
    engine::TaskPtr task_;
    Hooks hooks_;
    DbConnection connection_;
    int checked_ = -1;
    int counter_ = 0;
    bool busy_ = false;
    bool saveEnabled_ = true;
    bool refreshEnabled_ = true;
};

} // namespace tarvimo::output
