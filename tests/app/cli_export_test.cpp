// `tarvimo-cli export`: a rows file into a SQLite database (new table, listed table, through
// a mapping template twice), a workbook and a text file; exit statuses and messages.
#include "cli_support.h"

#include "base/files.h"
#include "output/db_interface.h"
#include "output/rows_file.h"
#include "store/settings.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace tarvimo;
using test::runCommandLine;

namespace {

std::string g(const char* utf8) { return text::utf8ToGbk(utf8); }

struct ExportHome {
    test::TempDir home{"tarvimo-cli-export"};
    std::string rows = home.file("rows.txt");
    std::string db = home.file("firms.db");
    ExportHome()
    {
        test::writeFile(rows, "\t" + g("序号") + "\t" + g("公司名称") + "\t" + g("手机号") + "\r\n" + "\t1\t" +
                                  g("甲公司") + "\t13912345678\r\n" + "\t2\tO'Brien\t \r\n");
        store::settings::writeDbKind(home.file("DefaultSet.ini"), {1, "Data Source=" + db});
    }
    test::CliResult exportRows(std::vector<std::string> args)
    {
        args.insert(args.begin(), rows);
        return runCommandLine(home.path(), "export", args);
    }
    long long count(const std::string& sql)
    {
        long long n = -1;
        {
            QSqlDatabase d = QSqlDatabase::addDatabase("QSQLITE", "check");
            d.setDatabaseName(QString::fromStdString(db));
            d.open();
            QSqlQuery q(d);
            if (q.exec(QString::fromStdString(sql)) && q.next())
                n = q.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase("check");
        return n;
    }
};

} // namespace

TEST(CliExport, NewTableThenTheSameNameAgain)
{
    ExportHome h;
    const auto made = h.exportRows({"--db", "firms", "--new"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("导入数据库完毕. 成功保存2行."), std::string::npos) << made.err;
    EXPECT_EQ(h.count("select count(*) from firms where col01='甲公司' and col02='13912345678'"), 1);

    const auto again = h.exportRows({"--db", "FIRMS", "--new"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("指定的表在数据库中已经存在，请指定其他名称"), std::string::npos);

    const auto listed = h.exportRows({"--db", "Firms", "--rows", "2-2"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(h.count("select count(*) from firms"), 3);

    const auto missing = h.exportRows({"--db", "nothere"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nothere"), std::string::npos);
}

TEST(CliExport, MappingTemplateImportsOnlyNewValues)
{
    ExportHome h;
    ASSERT_EQ(h.exportRows({"--db", "firms", "--new", "--rows", "1-1"}).status, 0);
    // The template as the mapping dialog saves it: 公司名称 -> col01, no duplicates of col01.
    run::ResultGrid grid;
    output::loadRowsFile(h.rows, grid);
    output::ColumnMapping mapping;
    RecordedMessages said;
    output::TDBinterfaceForm form("firms", {"col01", "col02"}, mapping, said, &grid);
    form.choose(2, 1);
    form.checked[0] = true;
    ASSERT_TRUE(form.saveTemplate(h.home.file("map")));

    const auto first = h.exportRows({"--db", "firms", "--map", h.home.file("map.tpl")});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("成功保存1行."), std::string::npos) << first.err;
    const auto second = h.exportRows({"--db", "firms", "--map", h.home.file("map.tpl")});
    EXPECT_NE(second.err.find("成功保存0行."), std::string::npos) << second.err;
    EXPECT_EQ(h.count("select count(*) from firms"), 2);
    EXPECT_EQ(h.count("select count(*) from firms where col02 is null"), 1) << "the mapping fills col01 only";
}

TEST(CliExport, WorkbookAndTextFiles)
{
    ExportHome h;
    // A UTF-8 rows file with a byte-order mark reads the same.
    test::writeFile(h.rows, "\xEF\xBB\xBF" + text::gbkToUtf8(test::readFile(h.rows)));
    const auto text = h.exportRows({"--text", h.home.file("out"), "--sep", ";", "--titles", "--cols", "2-2"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(test::readFile(h.home.file("out.txt")),
              ";" + g("序号") + ";" + g("手机号") + "\r\n;1;13912345678\r\n;2; \r\n");
    const auto book = h.exportRows({"--xlsx", h.home.file("book")});
    EXPECT_EQ(book.status, 0) << book.err;
    EXPECT_TRUE(files::exists(h.home.file("book.xlsx")));
    h.exportRows({"--text", h.home.file("joined.txt"), "--sep", ""});
    EXPECT_EQ(test::readFile(h.home.file("joined.txt")), "1" + g("甲公司") + "13912345678\r\n2O'Brien \r\n");
}

TEST(CliExport, UsageAndFailures)
{
    ExportHome h;
    EXPECT_EQ(h.exportRows({}).status, 2);
    EXPECT_EQ(h.exportRows({"--text", "a", "--xlsx", "b"}).status, 2);
    EXPECT_EQ(h.exportRows({"--text", "a", "--new"}).status, 2);
    EXPECT_EQ(h.exportRows({"--db", "t", "--rows", "7"}).status, 2);
    const auto notNumbers = h.exportRows({"--db", "t", "--new", "--rows", "a-b"});
    EXPECT_EQ(notNumbers.status, 1);
    EXPECT_NE(notNumbers.err.find("请指定正确的行和列范围"), std::string::npos);
    const auto noFile = runCommandLine(h.home.path(), "export", {h.home.file("none.txt"), "--text", "x"});
    EXPECT_EQ(noFile.status, 1);
    store::settings::writeDbKind(h.home.file("DefaultSet.ini"), {0, ""});
    const auto unconfigured = h.exportRows({"--db", "t", "--new"});
    EXPECT_EQ(unconfigured.status, 1);
    EXPECT_NE(unconfigured.err.find("没有配置数据库连接！"), std::string::npos);
}
