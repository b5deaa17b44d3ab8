// The query dialog's logic (TDBdataQuery, "数据查询"): the configured database's tables
// and the rows of one of them, as a Qt SQL model a view shows. Texts GBK.
#pragma once

#include "base/messages.h"
#include "output/db_connection.h"

#include <QSqlQueryModel>

#include <memory>
#include <string>
#include <vector>

namespace tarvimo::output {

class TDBdataQuery {
public:
    TDBdataQuery(std::string settingsPath, UserMessages& messages);
    ~TDBdataQuery();

    std::vector<std::string> tables;
    // "刷新..": connects as the export dialog does and fills the table list, for MySQL too.
    // A refused connection is said.
    void refresh();
    // A double click on a table: its rows in the model; errors leave the model empty.
    void openTable(const std::string& table);
    QSqlQueryModel& model() { return model_; }
    // The display width of every data column, in characters.
    static constexpr int kColumnChars = 30;

private:
    std::string settingsPath_;
    UserMessages& messages_;
    DbConnection connection_;
    QSqlQueryModel model_;
};

} // namespace tarvimo::output
