#include "output/db_forms.h"

#include "base/files.h"

namespace tarvimo::output {

namespace settings = store::settings;

TDBsetForm::TDBsetForm(std::string settingsPath, UserMessages& messages, Hooks hooks)
    : settingsPath_(std::move(settingsPath)), messages_(messages), hooks_(std::move(hooks))
{
    const settings::DbKindSettings s = settings::readDbKind(settingsPath_);
    kind = s.dbType;
    connectionString = s.connectStr;
}

bool TDBsetForm::browse()
{
    if (kind < kOracle) {
        connection_.close();
        if (hooks_.editConnectionString)
            if (auto edited = hooks_.editConnectionString(kind))
                connectionString = *edited;
        return false;
    }
    const auto& open = kind == kOracle ? hooks_.openOracle : hooks_.openMySql;
    return open && open();
}

bool TDBsetForm::test()
{
    if (kind >= kOracle)
        return browse();
    try {
        if (!connection_.isOpen()) {
            DbTarget target;
            target.kind = kind;
            target.connectionString = connectionString;
            connection_.open(target);
        }
        messages_.information("测试连接成功！");
    } catch (const DbError&) {
        messages_.warning("连接失败！");
    }
    return false;
}

void TDBsetForm::ok()
{
    try {
        settings::writeDbKind(settingsPath_, {kind, connectionString});
    } catch (const files::FileError&) {
        messages_.warning("保存失败！");
    }
}

namespace {

// Opens a throw-away connection and reports the result in the dialogs' words.
void testConnection(const DbTarget& target, UserMessages& messages)
{
    DbConnection connection;
    try {
        connection.open(target);
        messages.information("测试连接成功");
    } catch (const DbError&) {
        messages.warning("连接测试失败");
    }
}

// A settings write that fails is said, never passed over as saved.
template <typename Write>
bool saved(Write write, UserMessages& messages)
{
    try {
        write();
        return true;
    } catch (const files::FileError&) {
        messages.warning("保存失败！");
        return false;
    }
}

} // namespace

TDBconnectFormOracle::TDBconnectFormOracle(std::string settingsPath, UserMessages& messages)
    : OracleSettings(settings::readOracleSettings(settingsPath)), settingsPath_(std::move(settingsPath)),
      messages_(messages)
{
}

bool TDBconnectFormOracle::save()
{
    return saved([&] { settings::writeOracleSettings(settingsPath_, *this); }, messages_);
}

void TDBconnectFormOracle::test()
{
    DbTarget target;
    target.kind = kOracle;
    target.oracle = *this;
    testConnection(target, messages_);
}

TDBconnectForm::TDBconnectForm(std::string settingsPath, UserMessages& messages)
    : MySqlSettings(settings::readMySqlSettings(settingsPath)), settingsPath_(std::move(settingsPath)),
      messages_(messages)
{
}

bool TDBconnectForm::save()
{
    return saved([&] { settings::writeMySqlSettings(settingsPath_, *this); }, messages_);
}

void TDBconnectForm::test()
{
    DbTarget target;
    target.kind = kMySql;
    target.mysql = *this;
    testConnection(target, messages_);
}

} // namespace tarvimo::output
