// The export dialog's logic against real files and real SQLite databases (directly and
// through unixODBC's SQLite driver): ranges, every failure message, new tables, inserts by
// field and by mapping, the no-duplicate fields, and values that must arrive intact.
#include "output/export_form.h"

#include "base/files.h"
#include "export_support.h"
#include "output/db_interface.h"
#include "store/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tarvimo;
using namespace tarvimo::output;
using test::g;
using Entry = RecordedMessages::Entry;

namespace {

struct Fixture {
    test::TempDir dir{"tarvimo-export"};
    std::string settings = dir.file("DefaultSet.ini");
    std::string database = dir.file("rows.db");
    RecordedMessages said;
    run::ResultGrid grid;
    std::string chosen;  // what the save dialog answers
    int progressCalls = 0;

    Fixture()
    {
        test::fillGrid(grid, {{g("甲公司"), g("张三"), "13912345678"}, {"O'Brien \"Ltd\"; --", g("李四"), ""}});
    }
    void useSqlite(const std::string& connection = {})
    {
        store::settings::writeDbKind(settings, {kAccess, connection.empty() ? "Data Source=" + database : connection});
    }
    TexportForm form(int kind)
    {
        TexportForm::Hooks hooks;
        hooks.saveFileName = [this](const std::string&) { return std::optional<std::string>(chosen); };
        hooks.openFile = [](const std::string&) { return true; };
        hooks.progress = [this](int, int) { ++progressCalls; };
        return TexportForm(grid, kind, settings, said, nullptr, hooks);
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& e : said.entries)
            out.push_back(e.text);
        return out;
    }
};

// The SQLite ODBC driver by its file, so the test does not depend on its registration.
std::string sqliteOdbcDriver()
{
    for (const auto& dir : std::filesystem::directory_iterator("/usr/lib"))
        if (std::filesystem::exists(dir.path() / "odbc/libsqlite3odbc.so"))
            return (dir.path() / "odbc/libsqlite3odbc.so").string();
    return "SQLite3";
}

} // namespace

TEST(ExportDialog, InitialValuesAndRangeChecks)
{
    Fixture f;
    TexportForm text = f.form(kTextFile);
    EXPECT_EQ(text.title(), g("数据输出到文本"));
    EXPECT_EQ(f.form(kWorkbook).title(), g("数据输出到Excel"));
    EXPECT_EQ(f.form(kDatabase).title(), g("数据输出到数据库"));
    EXPECT_EQ(text.rowFrom, "1");
    EXPECT_EQ(text.rowTo, "3") << "two rows and the empty append row";
    EXPECT_EQ(text.colTo, "3");
    EXPECT_EQ(text.separator, "\t");
    EXPECT_EQ(text.dbType, kNotConnected);
    text.separatorClicked();
    EXPECT_EQ(text.separator, "\x1B");

    for (const char* bad : {"x", "", "1.5", "99999999999"}) {
        TexportForm form = f.form(kDatabase);
        form.colTo = bad;
        EXPECT_FALSE(form.save());
        EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "请指定正确的行和列范围"})) << bad;
    }
    EXPECT_FALSE(files::exists(f.database));
}

TEST(ExportDialog, TextFileByDefaultRangesAndReversedRanges)
{
    Fixture f;
    f.chosen = f.dir.file("out");
    TexportForm form = f.form(kTextFile);
    form.withTitles = true;
    form.save();
    EXPECT_EQ(test::readFile(f.dir.file("out.txt")),
              "\t" + g("序号") + "\t" + g("公司名称") + "\t" + g("联系人") + "\t" + g("手机号") + "\r\n" + "\t1\t" +
                  g("甲公司") + "\t" + g("张三") + "\t13912345678\r\n" + "\t2\tO'Brien \"Ltd\"; --\t" + g("李四") +
                  "\t \r\n" + "\t\t\t\t\r\n")
        << "the empty append row is a line of separators";
    EXPECT_TRUE(f.said.entries.empty());

    form.rowFrom = "3";
    form.rowTo = "2";
    f.chosen = f.dir.file("reversed.TXT");
    form.save();
    EXPECT_EQ(test::readFile(f.dir.file("reversed.TXT.txt")), "") << "no title line either";

    // A folder that cannot take the file: the old file stays, the export says so.
    test::writeFile(f.dir.file("plain"), "x");
    f.chosen = f.dir.file("plain/a.txt");
    form.save();
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "数据导出异常！"}));
}

TEST(ExportDialog, WorkbookCellsLandAtGridCoordinates)
{
    Fixture f;
    f.grid.appendRow({"3", "\x95\x32\x82\x36", "", "x"});  // a four-byte GB18030 character
    f.chosen = f.dir.file("book");
    TexportForm form = f.form(kWorkbook);
    form.withTitles = true;
    form.colFrom = "2";
    form.save();
    const std::string xml = test::sheetXml(f.dir.file("book.xlsx"), f.dir.file("unzip.log"));
    EXPECT_EQ(test::cellOf(xml, "A1"), "序号") << "column 0 always takes part";
    EXPECT_EQ(test::cellOf(xml, "B1"), "<none>") << "column 1 is outside the range";
    EXPECT_EQ(test::cellOf(xml, "C1"), "联系人");
    EXPECT_EQ(test::cellOf(xml, "A2"), "1");
    EXPECT_EQ(test::cellOf(xml, "C2"), "张三");
    EXPECT_EQ(test::cellOf(xml, "D3"), " ");
    EXPECT_EQ(test::cellOf(xml, "A4"), "3");
    EXPECT_EQ(test::cellOf(xml, "B4"), "<none>");
    EXPECT_EQ(test::cellOf(xml, "D4"), "x");
    EXPECT_GT(f.progressCalls, 0);
    EXPECT_TRUE(f.said.entries.empty());

    test::writeFile(f.dir.file("plain"), "x");
    f.chosen = f.dir.file("plain/b.xlsx");
    form.save();
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "文件名无效!"}));
}

TEST(ExportDialog, WorkbookOfManyColumnsStopsAtColumn255)
{
    Fixture f;
    f.grid.setColumnCount(300);
    std::vector<std::string> wide;
    for (int c = 0; c < 300; ++c)
        wide.push_back("v" + std::to_string(c));
    f.grid.appendRow(wide);
    f.chosen = f.dir.file("wide.xlsx");
    TexportForm form = f.form(kWorkbook);
    EXPECT_EQ(form.colTo, "299");
    form.save();
    const std::string xml = test::sheetXml(f.chosen, f.dir.file("unzip.log"));
    EXPECT_EQ(test::cellOf(xml, "IV4"), "v255");
    EXPECT_EQ(test::cellOf(xml, "IW4"), "<none>");
}

TEST(DatabaseExport, ConnectionAndTableNameMessages)
{
    Fixture f;
    {
        TexportForm form = f.form(kDatabase);
        form.useNewTable = true;
        form.newTableName = "t";
        EXPECT_FALSE(form.save());
        EXPECT_EQ(f.texts(), std::vector<std::string>{"没有配置数据库连接！"});
        EXPECT_EQ(form.dbType, kNotConnected);
    }
    f.useSqlite();
    {
        TexportForm form = f.form(kDatabase);
        EXPECT_FALSE(form.save());
        EXPECT_EQ(f.said.entries.back().text, "请指定表名");
        form.useNewTable = true;
        form.newTableName = "  ";
        EXPECT_FALSE(form.save());
        EXPECT_EQ(f.said.entries.back().text, "请指定表名");
        form.newTableName = "t; drop table x";
        EXPECT_FALSE(form.save());
        EXPECT_NE(f.said.entries.back().text.find("不能用于数据库"), std::string::npos);
    }
    test::SqliteFile db(f.database);
    EXPECT_TRUE(db.rows("select name from sqlite_master").empty()) << "nothing was executed";
}

TEST(DatabaseExport, NewTableHoldsEveryValueIntactAndRefusesItsNameTwice)
{
    Fixture f;
    f.useSqlite();
    std::string junk;
    for (int b = 1; b < 256; ++b)
        junk += static_cast<char>(b);
    f.grid.appendRow({"3", "\x95\x32\x82\x36" + g("号"), junk, std::string(5000, 'z')});
    TexportForm form = f.form(kDatabase);
    form.useNewTable = true;
    form.newTableName = " Firms ";
    ASSERT_TRUE(form.save());
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Information, "导入数据库完毕. 成功保存4行."}))
        << "three rows and the empty append row";

    test::SqliteFile db(f.database);
    EXPECT_EQ(db.rows("select sql from sqlite_master where name='Firms'"),
              (test::Table{{"CREATE TABLE Firms( col01 varchar(255), col02 varchar(255), col03 Ntext )"}}))
        << "bare names and Ntext above 255 bytes in the desktop database";
    const test::Table rows = db.rows("select col01, col02, col03 from Firms order by rowid");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{g("甲公司"), g("张三"), "13912345678"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"O'Brien \"Ltd\"; --", g("李四"), " "}));
    EXPECT_EQ(rows[2][0], "\x95\x32\x82\x36" + g("号"));
    EXPECT_EQ(rows[2][2], std::string(5000, 'z'));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"", "", ""})) << "empty strings, not NULL";
    // The junk went in as GB18030 decoded text; it comes back as the same characters.
    EXPECT_EQ(text::gbkToUtf8(rows[2][1]), text::gbkToUtf8(junk));

    TexportForm again = f.form(kDatabase);
    again.useNewTable = true;
    again.newTableName = "FIRMS";
    EXPECT_FALSE(again.save());
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "指定的表在数据库中已经存在，请指定其他名称"}));
}

TEST(DatabaseExport, ByTableFieldsIntoAListedTable)
{
    Fixture f;
    f.useSqlite();
    {
        test::SqliteFile db(f.database);
        db.rows("create table people(name text, contact text, mobile text, extra text)");
    }
    TexportForm form = f.form(kDatabase);
    form.refresh();
    ASSERT_EQ(form.tableList, std::vector<std::string>{"people"});
    form.checkTable(0);
    form.rowTo = "2";
    form.colTo = "2";
    ASSERT_TRUE(form.save());
    test::SqliteFile db(f.database);
    EXPECT_EQ(db.rows("select * from people"), (test::Table{{g("甲公司"), g("张三"), "", ""}, {"O'Brien \"Ltd\"; --", g("李四"), "", ""}}))
        << "fields beyond the column range get empty text";
}

TEST(DatabaseExport, MappingSkipsValuesAlreadyInTheTable)
{
    Fixture f;
    f.useSqlite();
    {
        test::SqliteFile db(f.database);
        db.rows("create table firms(id integer primary key, company text, phone text)");
        db.rows("insert into firms(company, phone) values('" + text::gbkToUtf8(g("甲公司")) + "', 'old')");
    }
    const auto exportMapped = [&](run::ResultGrid& grid) {
        TexportForm::Hooks hooks;
        TexportForm form(grid, kDatabase, f.settings, f.said, nullptr, hooks);
        form.refresh();
        form.checkTable(0);
        form.rowTo = std::to_string(grid.dataRowCount());
        TDBinterfaceForm mapping("firms", form.tableFields("firms"), form.mapping, f.said, &grid);
        mapping.choose(2, 2);  // 公司名称 -> company
        mapping.choose(4, 3);  // 手机号 -> phone
        mapping.checked[1] = true;
        EXPECT_TRUE(mapping.confirm());
        EXPECT_TRUE(form.save());
        return form.rowsStored();
    };
    EXPECT_EQ(exportMapped(f.grid), 1) << "甲公司 was there already";
    f.grid.appendRow({"3", g("丙公司"), "", "139"});
    f.grid.appendRow({"4", g("丙公司"), "", "138"});
    EXPECT_EQ(exportMapped(f.grid), 1) << "only the new company, and only once";
    test::SqliteFile db(f.database);
    EXPECT_EQ(db.rows("select company, phone from firms order by id"),
              (test::Table{{g("甲公司"), "old"}, {"O'Brien \"Ltd\"; --", " "}, {g("丙公司"), "139"}}));
}

TEST(DatabaseExport, FailedInsertCommitsNothingAndNamesTheRow)
{
    Fixture f;
    f.useSqlite();
    {
        test::SqliteFile db(f.database);
        db.rows("create table strict(a text check (a <> '" + text::gbkToUtf8(g("李四")) + "'), b text)");
    }
    TexportForm form = f.form(kDatabase);
    form.refresh();
    form.checkTable(0);
    form.colFrom = "2";
    EXPECT_FALSE(form.save());
    EXPECT_EQ(f.said.entries.back(),
              (Entry{Entry::Warning, "导入数据库出现异常！第1行.\r\n导入数据库异常问题请参看本窗口的帮助"}));
    EXPECT_EQ(form.dbType, kNotConnected);
    test::SqliteFile db(f.database);
    EXPECT_TRUE(db.rows("select * from strict").empty()) << "the first row is not committed either";
}

TEST(DatabaseExport, LockedDatabaseCannotTakeANewTable)
{
    Fixture f;
    f.useSqlite();
    test::SqliteFile holder(f.database);
    holder.rows("create table other(x)");
    holder.rows("begin exclusive");
    TexportForm form = f.form(kDatabase);
    form.useNewTable = true;
    form.newTableName = "t";
    EXPECT_FALSE(form.save());
    EXPECT_EQ(f.said.entries.back(), (Entry{Entry::Warning, "创建表 t 失败！有可能数据库处于打开或锁定状态"}));
    holder.rows("rollback");
}

TEST(DatabaseExport, AccessQuickExportMakesTheFileAndTheTable)
{
    Fixture f;
    TexportForm form = f.form(kDatabase);
    form.accessFile = f.dir.file("新建/quick.mdb");
    form.accessTable = g("公司");
    ASSERT_TRUE(form.shown());
    EXPECT_EQ(f.said.entries.back().text, "导入数据库完毕. 成功保存3行.");
    test::SqliteFile db(form.accessFile);
    EXPECT_EQ(db.rows("select count(*) from " + text::gbkToUtf8(g("公司"))), (test::Table{{"3"}}));

    TexportForm plain = f.form(kDatabase);
    EXPECT_FALSE(plain.shown()) << "no file, no quick export";
}

TEST(DatabaseExport, OdbcKindsUseBracketedNamesThroughUnixOdbc)
{
    Fixture f;
    for (int kind : {kSqlServer, kDb2}) {
        store::settings::writeDbKind(f.settings, {kind, "DRIVER=" + sqliteOdbcDriver() + ";Database=" + f.database + ";"});
        TexportForm form = f.form(kDatabase);
        form.useNewTable = true;
        form.newTableName = "odbc" + std::to_string(kind);
        ASSERT_TRUE(form.save()) << (f.said.entries.empty() ? "" : f.said.entries.back().text);
        EXPECT_EQ(f.said.entries.back().text, "导入数据库完毕. 成功保存3行.");
    }
    test::SqliteFile db(f.database);
    EXPECT_EQ(db.rows("select sql from sqlite_master where name='odbc0'"),
              (test::Table{{"CREATE TABLE [odbc0]( col01 varchar(255), col02 varchar(255), col03 varchar(255) )"}}));
    EXPECT_EQ(db.rows("select col01, col02 from odbc2 where rowid=1"), (test::Table{{g("甲公司"), g("张三")}}));

    store::settings::writeDbKind(f.settings, {kSqlServer, "DRIVER=NoSuchDriver;"});
    TexportForm form = f.form(kDatabase);
    form.refresh();
    EXPECT_EQ(f.said.entries.back().text.rfind("连接失败！", 0), 0u);
    EXPECT_EQ(form.dbType, kNotConnected);
}

TEST(DatabaseExport, TheGridIsNeverChanged)
{
    Fixture f;
    f.useSqlite();
    const std::vector<std::string> before{f.grid.cell(1, 1), f.grid.cell(2, 1)};
    const int rows = f.grid.gridRowCount();
    TexportForm form = f.form(kDatabase);
    form.useNewTable = true;
    form.newTableName = "t";
    // Ranges far beyond the grid are clipped to it.
    form.rowFrom = "-2147483648";
    form.rowTo = "2147483647";
    ASSERT_TRUE(form.save());
    EXPECT_EQ(form.rowsStored(), 4) << "the title row too, as the range starts below row 1";
    EXPECT_EQ(f.grid.gridRowCount(), rows);
    EXPECT_EQ((std::vector<std::string>{f.grid.cell(1, 1), f.grid.cell(2, 1)}), before);
}
