// The column-mapping dialog's window ("数据列接口设置", over TDBinterfaceForm). StringGrid1
// shows the mapping rows: its header is the model's title row 0, so table row i is model
// row i + 1. With a table given, a click into the third column puts the drop-down
// ComboBox1 over the cell; without one, the field names are typed into the cells.
// CheckListBox1 holds the fields that must not be imported twice, Edit1 the table name.
// Buttons: BitBtn1 "确定", Button1 "保存模板", Button2 "导入模板", BitBtn2 "关闭".
// Main thread only.
#pragma once

#include "output/db_interface.h"
#include "output/ui/desktop.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QTableWidget;

namespace tarvimo::output::ui {

class DbInterfaceDialog : public OutputDialog {
    Q_OBJECT
public:
    // See TDBinterfaceForm; the mapping goes to 'target' on "确定".
    DbInterfaceDialog(std::string table, std::vector<std::string> fields, ColumnMapping& target,
                      const run::ResultGrid* grid, QWidget* parent = nullptr, Services services = {});
    ~DbInterfaceDialog() override;

    TDBinterfaceForm& form() { return form_; }

private:
    void showRows();
    void showChecks();
    void placeDropDown(int tableRow);

    TDBinterfaceForm form_;
    QTableWidget* grid_;
    QComboBox* dropDown_;
    QListWidget* checks_;
    QLineEdit* table_;
    int dropDownRow_ = -1;
};

} // namespace tarvimo::output::ui
