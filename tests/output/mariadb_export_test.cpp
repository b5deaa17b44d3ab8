// The database export against a real MariaDB server started for each test on 127.0.0.1
// and a free port (so the stored port must reach the driver): new tables, the mapped
// insert with its no-duplicate field, the MySQL dialog's test, and a server that dies in
// the middle of an export.
#include "output/db_forms.h"
#include "output/db_interface.h"
#include "output/export_form.h"

#include "export_support.h"
#include "store/settings.h"
#include "support/mariadb_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::output;
using test::g;
using Entry = RecordedMessages::Entry;

namespace {

struct MariaFixture {
    test::TempDir dir{"tarvimo-maria"};
    std::unique_ptr<fixtures::MariaDbServer> server;
    std::string settings = dir.file("DefaultSet.ini");
    RecordedMessages said;
    run::ResultGrid grid;

    MariaFixture()
    {
        server = std::make_unique<fixtures::MariaDbServer>(dir.file("maria"));
        server->sql("create database rows_db");
        store::settings::writeMySqlSettings(settings, {"127.0.0.1", "tarvimo", "", "rows_db", std::to_string(server->port())});
        test::fillGrid(grid, {{g("甲公司"), "O'Brien; `x`", "13912345678"}, {"\x95\x32\x82\x36" + g("号"), g("李四"), ""}});
    }
    TexportForm form() { return TexportForm(grid, kDatabase, settings, said, nullptr, {}); }
};

} // namespace

TEST(MariaDbExport, NewTableThenMappedInsertWithoutDuplicates)
{
    if (!fixtures::MariaDbServer::available())
        GTEST_SKIP() << "mariadb-server is not installed";
    MariaFixture f;
    {
        TexportForm form = f.form();
        form.refresh();
        EXPECT_EQ(form.dbType, kMySql);
        EXPECT_TRUE(form.tableList.empty());
        form.useNewTable = true;
        form.newTableName = "firms";
        form.rowTo = "2";
        ASSERT_TRUE(form.save()) << f.said.entries.back().text;
        EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Information, "导入数据库完毕. 成功保存2行."}));
    }
    EXPECT_EQ(f.server->sql("select col01, col02, col03 from firms order by col03 desc", "rows_db"),
              "甲公司\tO'Brien; `x`\t13912345678\n" + std::string("\xF0\xA0\x80\x80") + "号\t李四\t \n")
        << "Chinese, quotes, backticks and a four-byte character arrive intact";

    // MySQL without a mapping or a chosen table: the warning, then a finished export of 0 rows.
    {
        TexportForm form = f.form();
        form.refresh();
        EXPECT_EQ(form.tableList, std::vector<std::string>{"firms"});
        EXPECT_TRUE(form.save());
        EXPECT_EQ(f.said.entries[f.said.entries.size() - 2],
                  (Entry{Entry::Warning, "请设置mysql数据库表的对应关系, 即定义数据库接口"}));
        EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Information, "导入数据库完毕. 成功保存0行."}));
    }

    // The mapping dialog of MySQL: table and fields typed.
    f.grid.appendRow({"3", g("丙公司"), "", "137"});
    for (int round = 0; round < 2; ++round) {
        TexportForm form = f.form();
        form.refresh();
        form.rowTo = std::to_string(f.grid.dataRowCount());
        TDBinterfaceForm mapping("", {}, form.mapping, f.said, &f.grid);
        EXPECT_FALSE(mapping.tableGiven());
        EXPECT_FALSE(mapping.confirm());
        EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "mysql数据库要手工输入表名称"}));
        mapping.tableBox = "firms";
        mapping.typeField(2, "col01");
        mapping.typeField(4, "col03");
        ASSERT_TRUE(mapping.confirm());
        form.mapping.uniqueFields = {"col01"};  // typed tables have no check list; set as a template would
        ASSERT_TRUE(form.save()) << f.said.entries.back().text;
        EXPECT_EQ(form.rowsStored(), round == 0 ? 1 : 0);
    }
    EXPECT_EQ(f.server->sql("select count(*) from firms where col01='丙公司' and col03='137'", "rows_db"), "1\n");

    // A typed name that would break the statement is refused before anything runs.
    TexportForm form = f.form();
    form.refresh();
    form.mapping = {{"1"}, {"col01) values(1);drop table firms;--"}, {}, "firms"};
    EXPECT_FALSE(form.save());
    EXPECT_NE(f.said.entries.back().text.find("不能用于数据库"), std::string::npos);
    EXPECT_EQ(f.server->sql("select count(*) from firms", "rows_db"), "3\n");

    // A typed field the table does not have: the MySQL wording of the failure.
    form.mapping = {{"1"}, {"nofield"}, {}, "firms"};
    EXPECT_FALSE(form.save());
    EXPECT_EQ(f.said.entries.back(),
              (Entry{Entry::Warning, "导入数据库出现异常！出现在第1行.\r\n导入数据库异常问题请参看本窗口的帮助"}));
}

TEST(MariaDbExport, ServerLostMidExportCommitsNothing)
{
    if (!fixtures::MariaDbServer::available())
        GTEST_SKIP() << "mariadb-server is not installed";
    MariaFixture f;
    for (int i = 0; i < 2000; ++i)
        f.grid.appendRow({std::to_string(i + 3), "firm " + std::to_string(i), "x", "1"});
    f.server->sql("create table big(col01 varchar(255), col02 varchar(255), col03 varchar(255))", "rows_db");
    TexportForm::Hooks hooks;
    bool killed = false;
    hooks.progress = [&](int position, int) {
        if (position == 500 && !killed) {
            killed = true;
            f.server->kill();
        }
    };
    TexportForm form(f.grid, kDatabase, f.settings, f.said, nullptr, hooks);
    form.refresh();
    form.checkTable(0);
    EXPECT_FALSE(form.save());
    EXPECT_TRUE(killed);
    // Rows go to MySQL in groups, so the row named is where the last whole group ended.
    const std::string prefix = "导入数据库出现异常！第", suffix = "行.\r\n导入数据库异常问题请参看本窗口的帮助";
    const Entry said = f.said.entries.back();
    EXPECT_EQ(said.kind, Entry::Warning);
    ASSERT_EQ(said.text.rfind(prefix, 0), 0u) << said.text;
    ASSERT_GT(said.text.size(), prefix.size() + suffix.size());
    EXPECT_EQ(said.text.substr(said.text.size() - suffix.size()), suffix);
    const int row = std::stoi(said.text.substr(prefix.size()));
    EXPECT_GT(row, 0);
    EXPECT_LE(row, 500);
    f.server->start();
    EXPECT_EQ(f.server->sql("select count(*) from big", "rows_db"), "0\n");
}

TEST(MariaDbExport, MySqlDialogTestsWithThePortItStores)
{
    if (!fixtures::MariaDbServer::available())
        GTEST_SKIP() << "mariadb-server is not installed";
    MariaFixture f;
    TDBconnectForm dialog(f.settings, f.said);
    EXPECT_EQ(dialog.port, std::to_string(f.server->port()));
    dialog.test();
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Information, "测试连接成功"}));
    dialog.port = std::to_string(f.server->port() == 1 ? 2 : 1);
    dialog.test();
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "连接测试失败"}));
    dialog.database = "no_such_db";
    dialog.port = std::to_string(f.server->port());
    dialog.test();
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "连接测试失败"}));
}
