// The connection dialogs' logic: TDBsetForm (kind and connection string), the Oracle
// dialog (TDBconnectFormOracle) and the MySQL dialog (TDBconnectForm). They write section
// DB of DefaultSet.ini; connection tests open a real connection. Texts GBK.
#pragma once

#include "base/messages.h"
#include "output/db_connection.h"

#include <functional>
#include <optional>
#include <string>

namespace tarvimo::output {

// The kind list shown by the dialog, in DbType order.
inline constexpr const char* kDbKindNames[] = {"SqlServer", "Access", "DB2", "Oracel", "MySql"};

class TDBsetForm {
public:
    // What the view provides: the connection-string editor for kinds 0 .. 2 (starting from
    // an empty string; nothing when cancelled) and the Oracle and MySQL dialogs (true when
    // they ended with "保存").
    struct Hooks {
        std::function<std::optional<std::string>(int kind)> editConnectionString;
        std::function<bool()> openOracle;
        std::function<bool()> openMySql;
    };

    TDBsetForm(std::string settingsPath, UserMessages& messages, Hooks hooks);

    int kind = 0;
    std::string connectionString;  // the read-only box "连接脚本 ："

    // "...": true when this dialog closes too (an Oracle or MySQL dialog saved).
    bool browse();
    // "连接测试": true when this dialog closes (kinds 3, 4 as browse()).
    bool test();
    // "确定": writes DBType and DBConnectStr ("保存失败！" on failure); the dialog closes.
    void ok();

private:
    std::string settingsPath_;
    UserMessages& messages_;
    Hooks hooks_;
    DbConnection connection_;
};

// The boxes are the stored values themselves.
class TDBconnectFormOracle : public store::settings::OracleSettings {
public:
    TDBconnectFormOracle(std::string settingsPath, UserMessages& messages);
    // "保存": writes DBType = 3 and the values; false (with "保存失败！") when it cannot.
    bool save();
    void test();

private:
    std::string settingsPath_;
    UserMessages& messages_;
};

class TDBconnectForm : public store::settings::MySqlSettings {
public:
    TDBconnectForm(std::string settingsPath, UserMessages& messages);
    // "保存": writes DBType = 4 and the values; false (with "保存失败！") when it cannot.
    bool save();
    void test();

private:
    std::string settingsPath_;
    UserMessages& messages_;
};

} // namespace tarvimo::output
