// The query dialog's window against a real SQLite file: its tables after "刷新..", a table's
// rows after a double click with every column 30 characters wide, and a database that is
// not configured.
#include "output/ui/data_query_dialog.h"

#include "../export_support.h"
#include "output/ui/db_dialogs.h"
#include "ui_support.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTableView>

using namespace tarvimo;
using namespace tarvimo::test;
using tarvimo::output::ui::DataQueryDialog;
using Entry = RecordedMessages::Entry;

namespace {

class DataQueryDialogTest : public ::testing::Test {
protected:
    TempDir dir{"tarvimo-query-ui"};
    std::string settings = dir.file("DefaultSet.ini");
    std::string database = dir.file("rows.db");
    RecordedMessages said;
    RecordedDesktop desktop;
};

} // namespace

TEST_F(DataQueryDialogTest, RefreshListsTheTablesAndADoubleClickShowsTheRows)
{
    writeSettings(settings, "[DB]\nDbType=1\nDBConnectStr=Data Source=" + database + "\n");
    {
        SqliteFile db(database);
        QSqlQuery(db.db()).exec("create table company (name varchar(255), phone varchar(255))");
        QSqlQuery(db.db()).exec(QString::fromUtf8("insert into company values ('甲公司', '13900000001')"));
        QSqlQuery(db.db()).exec(QString::fromUtf8("insert into company values ('乙公司', '13900000002')"));
        QSqlQuery(db.db()).exec("create table empty (x varchar(10))");
    }
    DataQueryDialog d(settings, nullptr, {&said, &desktop});
    d.show();
    EXPECT_EQ(d.windowTitle(), q("数据查询"));
    auto* tables = control<QListWidget>(&d, "ListBox1");
    EXPECT_EQ(captionOf(tables), q("当前数据库表："));
    bool note = false;
    for (QLabel* l : d.findChildren<QLabel*>())
        note |= l->text() == q("注：双击表名实现查询");
    EXPECT_TRUE(note);
    EXPECT_EQ(control<QPushButton>(&d, "Button1")->text(), q("刷新.."));
    EXPECT_EQ(control<QPushButton>(&d, "Button2")->text(), q("数据库连接配置..."));
    EXPECT_EQ(control<QPushButton>(&d, "Button3")->text(), q("关闭"));
    EXPECT_EQ(tables->count(), 0);

    click(control<QPushButton>(&d, "Button1"));
    ASSERT_EQ(tables->count(), 2);
    EXPECT_EQ(tables->item(0)->text() + "," + tables->item(1)->text(), "company,empty");

    doubleClick(tables->viewport(), tables->visualItemRect(tables->item(0)).center());
    auto* grid = control<QTableView>(&d, "DBGrid1");
    QAbstractItemModel* rows = grid->model();
    ASSERT_EQ(rows->rowCount(), 2);
    ASSERT_EQ(rows->columnCount(), 2);
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "name");
    EXPECT_EQ(rows->index(0, 0).data().toString(), q("甲公司"));
    EXPECT_EQ(rows->index(1, 1).data().toString(), "13900000002");
    const int width = 30 * grid->fontMetrics().averageCharWidth();
    EXPECT_EQ(grid->columnWidth(0), width);
    EXPECT_EQ(grid->columnWidth(1), width);

    doubleClick(tables->viewport(), tables->visualItemRect(tables->item(1)).center());
    EXPECT_EQ(rows->rowCount(), 0);
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "x");
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(DataQueryDialogTest, WithoutAConfiguredDatabaseRefreshSaysSo)
{
    DataQueryDialog d(settings, nullptr, {&said, &desktop});
    d.show();
    click(control<QPushButton>(&d, "Button1"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "没有配置数据库连接！"}}));
    EXPECT_EQ(control<QListWidget>(&d, "ListBox1")->count(), 0);

    OnModal<output::ui::DbSetDialog> connection([](output::ui::DbSetDialog& c) { c.reject(); });
    click(control<QPushButton>(&d, "Button2"));
    EXPECT_TRUE(connection.seen);
}
