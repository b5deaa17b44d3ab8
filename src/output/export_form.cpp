#include "output/export_form.h"

#include "base/files.h"
#include "base/text.h"
#include "output/db_insert.h"

#include <QSqlDatabase>

#include <algorithm>

namespace tarvimo::output {

namespace {

// The file name with the extension appended unless the name's extension is exactly it.
std::string withExtension(std::string name, const std::string& extension)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (!hasDot || name.compare(dot, std::string::npos, extension) != 0)
        name += extension;
    return name;
}

const char* kInsertFailed = "导入数据库出现异常！第";
const char* kInsertFailedMySql = "导入数据库出现异常！出现在第";
const char* kInsertFailedHelp = "行.\r\n导入数据库异常问题请参看本窗口的帮助";

} // namespace

bool TexportForm::namesSafe(const std::vector<const std::string*>& names)
{
    for (const std::string* name : names)
        if (auto why = unsafeName(*name)) {
            messages_.warning(*why);
            return false;
        }
    for (const auto* list : {&mapping.mapFields, &mapping.uniqueFields})
        for (const std::string& name : *list)
            if (!text::trimView(name).empty())
                if (auto why = unsafeName(name)) {
                    messages_.warning(*why);
                    return false;
                }
    return true;
}

bool TexportForm::runInsert(const std::function<void(QSqlDatabase&)>& insert, bool mysqlWords)
{
    setBusy(true);
    counter_ = 0;
    bool ok = true;
    try {
        connection_.inTransaction(insert);
    } catch (const DbError&) {
        ok = false;  // nothing of a failed export is committed
    }
    connection_.close();
    dbType = kNotConnected;
    if (hooks_.progressDone)
        hooks_.progressDone();
    if (!ok) {
        messages_.warning((mysqlWords ? kInsertFailedMySql : kInsertFailed) + std::to_string(std::max(counter_, 1)) +
                          kInsertFailedHelp);
        return false;
    }
    messages_.information("导入数据库完毕. 成功保存" + std::to_string(counter_) + "行.");
    return true;
}

TexportForm::TexportForm(const run::ResultGrid& grid, int targetKind, std::string settingsPath,
                         UserMessages& messages, engine::TaskPtr task, Hooks hooks)
    : grid_(grid), kind_(targetKind), settingsPath_(std::move(settingsPath)), messages_(messages),
      task_(std::move(task)), hooks_(std::move(hooks))
{
    rowFrom = "1";
    rowTo = std::to_string(grid_.gridRowCount() - 1);
    colFrom = "1";
    colTo = std::to_string(grid_.gridColumnCount() - 1);
}

std::string TexportForm::title() const
{
    switch (kind_) {
    case kTextFile:
        return text::gbk("数据输出到文本");
    case kWorkbook:
        return text::gbk("数据输出到Excel");
    default:
        return text::gbk("数据输出到数据库");
    }
}

void TexportForm::checkTable(int index)
{
    checked_ = index >= 0 && index < static_cast<int>(tableList.size()) ? index : -1;
    if (hooks_.changed)
        hooks_.changed();
}

std::string TexportForm::checkedTableName() const
{
    return checked_ >= 0 && checked_ < static_cast<int>(tableList.size()) ? tableList[static_cast<std::size_t>(checked_)]
                                                                             : std::string();
}

void TexportForm::setBusy(bool on)
{
    busy_ = on;
    if (hooks_.changed)
        hooks_.changed();
}

bool TexportForm::shown()
{
    if (text::trimView(accessFile).empty())
        return false;
    // The desktop database file: an empty one is made when it does not exist yet.
    if (!files::exists(accessFile)) {
        try {
            files::writeAtomic(accessFile, {});
        } catch (const files::FileError& e) {
            messages_.warning(std::string("数据库文件无法建立: ") + e.what());
            return false;
        }
    }
    useNewTable = true;
    newTableName = accessTable;
    return save();
}

bool TexportForm::connect()
{
    setBusy(true);
    DbTarget target = DbTarget::fromSettings(settingsPath_);
    dbType = target.kind;
    std::string wanted = target.connectionString;
    if (!text::trimView(accessFile).empty()) {
        dbType = kAccess;
        // The connection string is GBK text like the stored one.
        wanted = accessConnectionString(text::utf8ToGbk(accessFile));
    }
    target.kind = dbType;
    target.connectionString = wanted;
    if (dbType < kOracle && wanted.empty()) {
        messages_.warning("没有配置数据库连接！");
        dbType = kNotConnected;
        setBusy(false);
        return false;
    }
    try {
        if (!connection_.isOpen() || connection_.kind() != dbType || connection_.target().connectionString != wanted)
            connection_.open(target);
        if (dbType < kOracle)
            connectionString = wanted;
        tableList = connection_.tables();
        if (checked_ >= static_cast<int>(tableList.size()))
            checked_ = -1;
    } catch (...) {
        dbType = kNotConnected;
        setBusy(false);
        throw;
    }
    setBusy(false);
    return true;
}

bool TexportForm::connectSaying()
{
    try {
        return connect();
    } catch (const DbError& e) {
        messages_.warning(std::string("连接失败！\r\n") + e.what());
        return false;
    }
}

void TexportForm::refresh()
{
    refreshEnabled_ = false;
    connectSaying();
    refreshEnabled_ = true;
    if (hooks_.changed)
        hooks_.changed();
}

void TexportForm::openMapping()
{
    mapping.mapTable.clear();
    if (dbType == kNotConnected && !connectSaying())
        return;
    if (dbType == kMySql) {
        if (hooks_.openMapping)
            hooks_.openMapping(*this, std::string(), {});
        return;
    }
    const std::string table = checkedTableName();
    if (table.empty()) {
        messages_.warning("请指定表名");
        return;
    }
    std::vector<std::string> fields;
    try {
        fields = tableFields(table);
    } catch (const DbError& e) {
        messages_.warning(std::string("连接失败！\r\n") + e.what());
        return;
    }
    if (hooks_.openMapping)
        hooks_.openMapping(*this, table, fields);
}

bool TexportForm::save()
{
    int rFrom = 0, rTo = 0, cFrom = 0, cTo = 0;
    if (!text::parseInt32(rowFrom, rFrom, false) || !text::parseInt32(rowTo, rTo, false) ||
        !text::parseInt32(colFrom, cFrom, false) || !text::parseInt32(colTo, cTo, false)) {
        messages_.warning("请指定正确的行和列范围");
        return false;
    }
    if (kind_ == kTextFile || kind_ == kWorkbook)
        return exportToFile(rFrom, rTo, cFrom, cTo);
    saveEnabled_ = false;
    if (hooks_.changed)
        hooks_.changed();
    const bool closes = exportToDatabase(rFrom, rTo, cFrom, cTo);
    saveEnabled_ = true;
    setBusy(false);
    return closes;
}

bool TexportForm::exportToFile(int rFrom, int rTo, int cFrom, int cTo)
{
    const bool text = kind_ == kTextFile;
    const std::string filter = text ? "文本文件(*.txt)|*.txt" : "Excel文件(*.xlsx)|*.xlsx";
    if (!hooks_.saveFileName)
        return false;
    const std::optional<std::string> chosen = hooks_.saveFileName(filter);
    if (!chosen)
        return false;
    const std::string file = withExtension(*chosen, text ? ".txt" : ".xlsx");
    ExportHooks writerHooks;
    writerHooks.progress = hooks_.progress;
    writerHooks.openFile = hooks_.openFile;
    writerHooks.notice = [this](const std::string& line) { messages_.information(line); };
    try {
        writeGridToFile(grid_, false, true, cTo, cFrom, rTo, rFrom, true, withTitles, file, separator, kind_,
                        writerHooks, [this](const std::string& why) { messages_.warning(why); });
    } catch (const WorkbookSaveError&) {
        messages_.warning("文件名无效!");
    } catch (const ExportError&) {
        messages_.warning("数据导出异常！");
    }
    if (hooks_.progressDone)
        hooks_.progressDone();
    return false;
}

int TexportForm::lastCreatedCandidate() const
{
    if (!task_)
        return grid_.gridColumnCount() - 1;
    const auto& rules = task_->rules;
    return static_cast<int>(rules.columns.captions.size()) - (rules.saveUrl ? 0 : 1) - (rules.autoTime ? 0 : 1);
}

bool TexportForm::exportMySqlMapping(int rFrom, int rTo, int cFrom, int cTo)
{
    counter_ = 0;
    if (mapping.empty() && mapping.mapTable.empty()) {
        messages_.warning("请设置mysql数据库表的对应关系, 即定义数据库接口");
        messages_.information("导入数据库完毕. 成功保存0行.");
        return true;
    }
    if (!namesSafe({&mapping.mapTable}))
        return false;
    return runInsert(
        [&](QSqlDatabase& db) {
            insertRowsByMapping(grid_, db, counter_, mapping.uniqueFields, mapping.mapFields, mapping.mapColumns, cTo,
                                cFrom, rTo, rFrom, withTitles, {}, mapping.mapTable, hooks_.progress);
        },
        true);
}

bool TexportForm::exportToDatabase(int rFrom, int rTo, int cFrom, int cTo)
{
    // MySQL takes its table from the mapping unless a new or listed table is named.
    if (dbType == kMySql && !useNewTable && (!mapping.empty() || checkedTableName().empty()))
        return exportMySqlMapping(rFrom, rTo, cFrom, cTo);

    const std::string table = useNewTable ? text::trim(newTableName) : checkedTableName();
    if (table.empty()) {
        messages_.warning("请指定表名");
        return false;
    }
    if (useNewTable) {
        if (auto why = unsafeName(table)) {
            messages_.warning(*why);
            return false;
        }
        // The list must be the database's own before a name is called new.
        if (dbType == kNotConnected && !connectSaying())
            return false;
        for (const std::string& listed : tableList)
            if (text::equalsNoCase(listed, table)) {
                messages_.warning("指定的表在数据库中已经存在，请指定其他名称");
                return false;
            }
    }
    if (!useNewTable && !mapping.empty() && !namesSafe({}))
        return false;

    if (useNewTable) {
        if (!connectSaying())
            return false;
        const SqlDialect dialect = connection_.dialect();
        const std::vector<std::string> record = grid_.lengthRecord();
        const std::string sql = createTableText(dialect, table, createdColumns(lastCreatedCandidate(), cFrom, cTo), &record);
        try {
            connection_.exec(sql);
        } catch (const DbError&) {
            messages_.warning("创建表 " + text::gbkToUtf8(dialect.tableName(table)) + " 失败！有可能数据库处于打开或锁定状态");
            return false;
        }
        if (!connectSaying())
            return false;
    } else if (dbType == kNotConnected && !connectSaying()) {
        return false;
    }

    const std::string placed = connection_.dialect().tableName(table);
    return runInsert(
        [&](QSqlDatabase& db) {
            const std::vector<std::string> fields = connection_.fields(table);
            if (mapping.empty() || useNewTable)
                insertRowsByFields(grid_, db, counter_, cTo, cFrom, rTo, rFrom, withTitles, fields, placed,
                                   hooks_.progress);
            else
                insertRowsByMapping(grid_, db, counter_, mapping.uniqueFields, mapping.mapFields, mapping.mapColumns,
                                    cTo, cFrom, rTo, rFrom, withTitles, fields, placed, hooks_.progress);
        },
        false);
}

} // namespace tarvimo::output
