// The query dialog's window ("数据查询", over TDBdataQuery): the configured database's
// tables in ListBox1 ("当前数据库表："), Button1 "刷新..", Button2 "数据库连接配置...",
// Button3 "关闭"; a double click on a table shows its rows in DBGrid1, every column
// TDBdataQuery::kColumnChars characters wide. Main thread only.
#pragma once

#include "output/data_query.h"
#include "output/ui/desktop.h"

#include <string>

class QListWidget;
class QTableView;

namespace tarvimo::output::ui {

class DataQueryDialog : public OutputDialog {
    Q_OBJECT
public:
    explicit DataQueryDialog(std::string settingsPath, QWidget* parent = nullptr, Services services = {});
    ~DataQueryDialog() override;

    TDBdataQuery& query() { return query_; }

private:
    void refresh();
    void openTable(int row);

    std::string settingsPath_;
    TDBdataQuery query_;
    QListWidget* tables_;
    QTableView* rows_;
};

// The query dialog, modal; the dialog's result code.
int execDataQueryDialog(QWidget* parent, const std::string& settingsPath);

} // namespace tarvimo::output::ui
