// The export dialog's window ("数据输出", over TexportForm): the rows of a result grid to a
// text file, a workbook or a database table. Controls by component name: title; the ranges
// LabeledEdit1 / LabeledEdit2 (rows) and LabeledEdit3 / LabeledEdit4 (columns, disabled);
// CheckBox3 "输出列标题"; for text files LabeledEdit5 "数据分割符：" with Label2; for
// databases CheckListBox1 "现有表：" (one table at most is checked), CheckBox5 "使用新表",
// LabeledEdit6 "表名称：", Button4 "配置连接...", Button5 "刷新", BitBtn1 "定义数据接口";
// the busy label qsh; saveok "确定" and Button2 "取消". The dialog reads the grid and never
// changes it. Main thread only.
#pragma once

#include "output/export_form.h"
#include "output/ui/desktop.h"

#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace tarvimo::output::ui {

class ProgressWindow;

class ExportDialog : public OutputDialog {
    Q_OBJECT
public:
    // 'targetKind': kTextFile, kWorkbook or kDatabase. Set form().accessFile (a path) and
    // accessTable before showing for the quick export into the desktop database file,
    // which runs 10 ms after the dialog is up and closes it when done.
    ExportDialog(const run::ResultGrid& grid, int targetKind, std::string settingsPath, engine::TaskPtr task = nullptr,
                 QWidget* parent = nullptr, Services services = {});
    ~ExportDialog() override;

    TexportForm& form() { return *form_; }
    ProgressWindow* progressWindow() const { return progress_; }

    // Escape and closing are refused while an export runs.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showForm();
    void showTables();
    void configureConnection();

    const run::ResultGrid& grid_;
    std::string settingsPath_;
    std::unique_ptr<TexportForm> form_;
    bool shownOnce_ = false;

    QLineEdit* rowFrom_;
    QLineEdit* rowTo_;
    QLineEdit* colFrom_;
    QLineEdit* colTo_;
    QCheckBox* titles_;
    QLineEdit* separator_;
    QListWidget* tables_;
    QCheckBox* newTable_;
    QLineEdit* newTableName_;
    QPushButton* refresh_;
    QLabel* busy_;
    QPushButton* save_;
    ProgressWindow* progress_;
};

// The export dialog, modal; the dialog's result code. 'accessFile' and 'accessTable' ask
// for the quick export into that database file and table.
int execExportDialog(QWidget* parent, const run::ResultGrid& grid, int targetKind, const std::string& settingsPath,
                     engine::TaskPtr task, const std::string& accessFile = {}, const std::string& accessTable = {});

} // namespace tarvimo::output::ui
