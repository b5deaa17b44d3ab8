#include "output/data_query.h"

#include "base/text.h"

#include <QSqlQuery>

namespace tarvimo::output {

TDBdataQuery::TDBdataQuery(std::string settingsPath, UserMessages& messages)
    : settingsPath_(std::move(settingsPath)), messages_(messages)
{
}

TDBdataQuery::~TDBdataQuery()
{
    // The model's query must go before its connection.
    model_.clear();
}

void TDBdataQuery::refresh()
{
    const DbTarget target = DbTarget::fromSettings(settingsPath_);
    if (target.kind < kOracle && target.connectionString.empty()) {
        messages_.warning("没有配置数据库连接！");
        return;
    }
    try {
        model_.clear();
        connection_.open(target);
        tables = connection_.tables();
    } catch (const DbError& e) {
        tables.clear();
        messages_.warning(std::string("连接失败！\r\n") + e.what());
    }
}

void TDBdataQuery::openTable(const std::string& table)
{
    model_.clear();
    if (!connection_.isOpen() || unsafeName(table))
        return;
    QSqlQuery query(connection_.database());
    if (!query.exec(sqlValue("select * from " + connection_.dialect().tableName(table))))
        return;
    model_.setQuery(std::move(query));
    while (model_.canFetchMore())
        model_.fetchMore();
}

} // namespace tarvimo::output
