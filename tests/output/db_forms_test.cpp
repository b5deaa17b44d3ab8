// The connection dialogs and the column-mapping dialog: what they write to DefaultSet.ini,
// their connection tests, the mapping rules and the template files.
#include "output/db_forms.h"
#include "output/db_interface.h"

#include "export_support.h"
#include "store/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::output;
using test::g;
using Entry = RecordedMessages::Entry;
namespace settings = store::settings;

TEST(ConnectionDialogs, WriteSectionDbAndKeepOtherKinds)
{
    test::TempDir dir;
    const std::string ini = dir.file("DefaultSet.ini");
    RecordedMessages said;

    TDBconnectFormOracle oracle(ini, said);
    EXPECT_EQ(oracle.serverName, "server") << "the settings default on an empty file";
    EXPECT_EQ(oracle.userName, "system");
    EXPECT_EQ(oracle.password, "kelvora");
    oracle.test();
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "连接测试失败"})) << "no Oracle here";

    TDBconnectForm mysql(ini, said);
    EXPECT_EQ(mysql.serverName, "localHost");
    EXPECT_EQ(mysql.port, "3306");
    mysql.serverName = "db.local";
    mysql.port = "3307";
    ASSERT_TRUE(mysql.save());

    TDBsetForm set(ini, said, {});
    EXPECT_EQ(set.kind, kMySql);
    set.kind = kMySql;
    set.ok();
    EXPECT_EQ(settings::readMySqlSettings(ini).serverName, "db.local") << "the MySQL keys stay as they were";
    EXPECT_EQ(settings::readMySqlSettings(ini).port, "3307");

    set.kind = kAccess;
    set.connectionString = "Data Source=" + dir.file("a.db");
    set.ok();
    EXPECT_EQ(settings::readDbKind(ini).dbType, kAccess);
    EXPECT_EQ(settings::readDbKind(ini).connectStr, "Data Source=" + dir.file("a.db"));
    set.test();
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Information, "测试连接成功！"}));

    TDBsetForm bad(ini, said, {});
    bad.kind = kSqlServer;
    bad.connectionString = "DRIVER=NoSuchDriver;";
    bad.test();
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "连接失败！"}));

    test::writeFile(dir.file("x"), "");
    TDBsetForm unwritable(dir.file("x") + "/DefaultSet.ini", said, {});
    unwritable.ok();
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "保存失败！"}));
}

TEST(ConnectionDialogs, BrowseOpensTheKindsOwnDialog)
{
    test::TempDir dir;
    RecordedMessages said;
    std::vector<std::string> opened;
    TDBsetForm::Hooks hooks;
    hooks.editConnectionString = [&](int kind) {
        opened.push_back("editor" + std::to_string(kind));
        return std::optional<std::string>("DSN=x;");
    };
    hooks.openOracle = [&] { return opened.push_back("oracle"), true; };
    hooks.openMySql = [&] { return opened.push_back("mysql"), false; };
    TDBsetForm form(dir.file("DefaultSet.ini"), said, hooks);
    form.kind = kDb2;
    EXPECT_FALSE(form.browse());
    EXPECT_EQ(form.connectionString, "DSN=x;");
    form.kind = kOracle;
    EXPECT_TRUE(form.test()) << "a saved Oracle dialog closes this one";
    form.kind = kMySql;
    EXPECT_FALSE(form.browse());
    EXPECT_EQ(opened, (std::vector<std::string>{"editor2", "oracle", "mysql"}));
}

TEST(MappingDialog, ChoosingConfirmingAndTemplates)
{
    test::TempDir dir;
    RecordedMessages said;
    run::ResultGrid grid;
    test::fillGrid(grid, {});
    ColumnMapping target{{"9"}, {"old"}, {"old"}, "old"};
    TDBinterfaceForm form("firms", {"name", "phone"}, target, said, &grid);
    ASSERT_EQ(form.rows.size(), 5u);
    EXPECT_EQ(form.rows[2][0], g("公司名称"));
    EXPECT_EQ(form.dropDown, (std::vector<std::string>{"", "name", "phone"}));

    EXPECT_FALSE(form.confirm());
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "请选择导入数据库对应的列"}));
    form.choose(2, 1);
    EXPECT_EQ(form.rows[2][1], g("对应"));
    form.choose(3, 1);
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "数据库表指定重复，请指定其他的列"}));
    EXPECT_EQ(form.rows[3][2], "");
    form.choose(4, 2);
    form.choose(4, 0);
    EXPECT_EQ(form.rows[4][1], "") << "the empty entry clears the mark";
    form.choose(4, 2);
    form.checked[0] = true;
    ASSERT_TRUE(form.confirm());
    EXPECT_EQ(target.mapColumns, (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(target.mapFields, (std::vector<std::string>{"name", "phone"}));
    EXPECT_EQ(target.uniqueFields, (std::vector<std::string>{"name"}));
    EXPECT_EQ(target.mapTable, "firms");

    ASSERT_TRUE(form.saveTemplate(dir.file("map")));
    const std::string stored = test::readFile(dir.file("map.tpl"));
    EXPECT_NE(stored.find("data3=" + g("数据库表列") + ",,name,,phone"), std::string::npos) << stored;
    EXPECT_NE(stored.find("data=1,0"), std::string::npos);

    // Another task's dialog loads the rows exactly as saved.
    run::ResultGrid other;
    other.setTitles({g("序号"), "a"}, 2);
    ColumnMapping second;
    TDBinterfaceForm loaded("firms", {"name", "phone"}, second, said, &other);
    loaded.loadTemplate(dir.file("map.tpl"));
    EXPECT_EQ(loaded.rows, form.rows);
    EXPECT_EQ(loaded.checked, (std::vector<bool>{true, false}));

    // Garbage leaves a usable dialog behind.
    std::string garbage = "[col]\r\ndata1=";
    for (int i = 0; i < 10000; ++i)
        garbage += "\"x,";
    garbage += "\r\n\x01\xff[colsingle\r\ndata=\"\r\n";
    test::writeFile(dir.file("bad.tpl"), garbage);
    loaded.loadTemplate(dir.file("bad.tpl"));
    EXPECT_LE(loaded.rows.size(), TDBinterfaceForm::kMaxTemplateRows);
    loaded.loadTemplate(dir.file("missing.tpl"));
    EXPECT_EQ(TDBinterfaceForm::templateName("a.TPL"), "a.TPL.tpl");
    EXPECT_EQ(TDBinterfaceForm::templateName("a.tpl"), "a.tpl");

    test::writeFile(dir.file("plain"), "");
    EXPECT_FALSE(form.saveTemplate(dir.file("plain") + "/x.tpl"));
    EXPECT_EQ(said.entries.back(), (Entry{Entry::Warning, "保存失败"}));
}

TEST(MappingDialog, BlankCaptionsTakeNoField)
{
    RecordedMessages said;
    run::ResultGrid grid;  // 20 columns, untitled past the first
    grid.setTitles({g("序号")}, 3);
    ColumnMapping target;
    TDBinterfaceForm form("t", {"a"}, target, said, &grid);
    form.choose(2, 1);
    EXPECT_EQ(form.rows[2][2], "");
    TDBinterfaceForm noTab("t", {"a"}, target, said, nullptr);
    EXPECT_EQ(noTab.rows.size(), 1u) << "only the title row without a task tab";
}
