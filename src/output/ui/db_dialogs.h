// The connection dialogs' windows: DbSetDialog ("配置数据库连接", over TDBsetForm), the
// Oracle and MySQL dialogs ("设置数据库", over TDBconnectFormOracle and TDBconnectForm) and
// the connection-string editor the first opens for kinds 0 .. 2 (ODBC drivers and data
// sources, or the desktop database file). Each writes section DB of the settings file
// through its model. Main thread only.
#pragma once

#include "output/db_forms.h"
#include "output/odbc_sources.h"
#include "output/ui/desktop.h"

#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarvimo::output::ui {

// "配置数据库连接": ComboBox1 (the kinds of kDbKindNames), Edit1 ("连接脚本 ：", read-only),
// Button1 ("..."), Button2 ("连接测试"), BitBtn1 ("确定"), BitBtn2 ("取消") and CheckBox1
// ("设置为默认连接", checked; every connection is the default one).
class DbSetDialog : public OutputDialog {
    Q_OBJECT
public:
    explicit DbSetDialog(std::string settingsPath, QWidget* parent = nullptr, Services services = {});
    ~DbSetDialog() override;

    TDBsetForm& form() { return *form_; }

private:
    void showForm();

    std::string settingsPath_;
    std::unique_ptr<TDBsetForm> form_;
    QComboBox* kinds_;
    QLineEdit* script_;
};

// The Oracle dialog: Edit1 "服务名:", Edit2 "用户名:", Edit3 "密码:" (masked), Button1
// "测试连接...", Button2 "保存" (Accepted when saved), Button3 "关闭" (Rejected).
class OracleDialog : public OutputDialog {
    Q_OBJECT
public:
    explicit OracleDialog(std::string settingsPath, QWidget* parent = nullptr, Services services = {});
    ~OracleDialog() override;
    TDBconnectFormOracle& form() { return form_; }

private:
    TDBconnectFormOracle form_;
    QLineEdit* edits_[3];
};

// The MySQL dialog: Edit1 "服务器:", Edit2 "用户名:", Edit3 "密码:" (masked), Edit4 "数据库:",
// Edit5 "端口:", and the buttons of the Oracle dialog.
class MySqlDialog : public OutputDialog {
    Q_OBJECT
public:
    explicit MySqlDialog(std::string settingsPath, QWidget* parent = nullptr, Services services = {});
    ~MySqlDialog() override;
    TDBconnectForm& form() { return form_; }

private:
    TDBconnectForm form_;
    QLineEdit* edits_[5];
};

// The connection-string editor ("数据链接属性"). Kinds 0 and 2: "sources" lists the ODBC
// data sources and drivers (headings not selectable), with the boxes "database", "user"
// and "password" (masked). Kind 1: the database file in "file", chosen with "browse".
// "connectionString" shows the result (GBK inside, as the models keep it); "ok" is enabled
// once there is one.
class ConnectionStringDialog : public OutputDialog {
    Q_OBJECT
public:
    ConnectionStringDialog(int kind, OdbcSources sources, QWidget* parent = nullptr, Services services = {});

    // The connection string made from the choices so far (GBK); empty without a choice.
    std::string connectionString() const { return result_; }

    // Runs the editor for a kind with the sources unixODBC knows: the string on "确定",
    // nothing on "取消".
    static std::optional<std::string> edit(QWidget* parent, int kind, Services services = {});

private:
    void update();

    int kind_;
    std::string result_;
    QListWidget* sources_ = nullptr;
    QLineEdit* database_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLineEdit* shown_;
    QPushButton* ok_;
};

// "配置数据库连接" over the settings file, modal; the dialog's result code.
int execDbSetDialog(QWidget* parent, const std::string& settingsPath);

} // namespace tarvimo::output::ui
