// What follows an automatic run, with real runs against a local server: the import into a
// real SQLite file and a real MariaDB server (only new rows the second time), a failed
// import that keeps the rows and the repeats, the repeats with their pause, a stopped run,
// and the start of the tasks set to run at start, in order.
#include "automation/auto_import.h"
#include "automation/automatic_runs.h"

#include "automation_support.h"
#include "output/db_connection.h"
#include "store/settings.h"
#include "support/mariadb_server.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace tarvimo;
using namespace tarvimo::automation;
using test::g;

namespace {

class AutomaticRunsTest : public ::testing::Test {
protected:
    AutomaticRunsTest()
    {
        QObject::connect(&runs, &AutomaticRuns::runHandled, [this](const QString& n) { handled.push_back(n.toStdString()); });
    }
    ~AutomaticRunsTest() override { host.runs.clear(); }

    // Waits until 'count' automatic runs have been handled.
    bool handledRuns(std::size_t count) { return test::spinUntil([&] { return handled.size() >= count; }); }
    // The event loop runs a while with nothing expected to happen.
    void idle(int ms) { test::spinUntil([] { return false; }, ms); }

    void useSqlite()
    {
        database = h.dir.file("rows.db");
        store::settings::writeDbKind(h.env().settingsPath, {1, "Data Source=" + database});
        sql("create table firms (name varchar(255), page varchar(255))");
    }
    std::string sql(const std::string& statement)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(QString::fromStdString(database));
        std::string out;
        if (db.open()) {
            QSqlQuery q(db);
            if (!q.exec(QString::fromStdString(statement)))
                out = "error";
            while (q.next())
                out += q.value(0).toString().toStdString() + "\n";
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("check");
        return out;
    }

    test::AutoHome h;
    test::TitleSite site;
    QDateTime now = QDateTime::fromString("2026-12-10 10:00:00", "yyyy-MM-dd HH:mm:ss");
    AutomationOptions options{[this] { return now; }, 50, 10};
    test::FrameHost host{h.env()};
    AutomaticRuns runs{h.env(), host, options};
    std::vector<std::string> handled;
    std::string database;
};

const std::vector<test::Key> kImport{{"", "autotask", "1"},
                                     {"", "autorunsystem", "0"},
                                     {"", "autorunTableName", "firms"},
                                     {"", "data0", "*,"},
                                     {"", "data1", "标题,URL"},
                                     {"", "data2", "name,page"}};

} // namespace

TEST_F(AutomaticRunsTest, RepeatsAfterThePauseUntilTheDaysCountIsReached)
{
    h.task("rep", site, {"/c/a"}, {{"", "autotask", "1"}, {"", "autoruncount", "3"}, {"", "autorunPauseTime", "2"}});
    runs.start("rep");
    ASSERT_TRUE(handledRuns(1));
    // The next run waits for its pause.
    EXPECT_TRUE(host.frame("rep").finished());
    EXPECT_EQ(host.starts.size(), 1u);
    EXPECT_TRUE(host.hasMessage("rep", "2 分钟后自动运行第 2 次 (共 3 次)"));
    ASSERT_TRUE(handledRuns(3));
    idle(400);
    EXPECT_EQ(host.starts, (std::vector<std::string>{"rep", "rep", "rep"}));
    EXPECT_EQ(runs.runsToday("rep"), 3);
    EXPECT_EQ(host.frame("rep").runNumber(), 3);
    EXPECT_EQ(host.frame("rep").grid().dataRowCount(), 1);

    // The next day counts again; a run count of 0 asks for no repeat.
    now = now.addDays(1);
    EXPECT_EQ(runs.runsToday("rep"), 0);
    h.set("rep", "autoruncount", "0");
    runs.start("rep");
    ASSERT_TRUE(handledRuns(4));
    idle(400);
    EXPECT_EQ(host.starts.size(), 4u);
    EXPECT_EQ(runs.runsToday("rep"), 1);
}

TEST_F(AutomaticRunsTest, AStartOfARunningTaskResumesItAndIsNotCounted)
{
    h.task("held", site, {"/held/a"}, {{"", "autotask", "1"}, {"", "autoruncount", "5"}});
    runs.start("held");
    ASSERT_TRUE(site.server.waitForRequest("/held/a"));
    runs.start("held");
    EXPECT_EQ(runs.runsToday("held"), 1);
    site.released = true;
    ASSERT_TRUE(handledRuns(1));
    EXPECT_EQ(host.frame("held").grid().dataRowCount(), 1);
}

TEST_F(AutomaticRunsTest, AStoppedRunIsNeitherImportedNorRepeated)
{
    useSqlite();
    auto keys = kImport;
    keys.push_back({"", "autoruncount", "3"});
    h.task("stop", site, {"/c/a", "/held/b"}, keys);
    runs.start("stop");
    ASSERT_TRUE(test::spinUntil([&] { return host.frame("stop").grid().dataRowCount() == 1; }));
    host.frame("stop").controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(handledRuns(1));
    site.released = true;
    idle(400);
    EXPECT_TRUE(host.hasMessage("stop", "自动运行已停止: 不导入数据库, 不再重复运行"));
    EXPECT_EQ(sql("select count(*) from firms"), "0\n");
    EXPECT_EQ(host.starts.size(), 1u);
    EXPECT_EQ(host.frame("stop").grid().dataRowCount(), 1) << "the rows stay in the grid";
}

TEST_F(AutomaticRunsTest, ImportsIntoSqliteAndTheSecondRunOnlyWhatIsNew)
{
    useSqlite();
    h.task("imp", site, {"/c/a", "/c/b"}, kImport);
    runs.start("imp");
    ASSERT_TRUE(handledRuns(1));
    EXPECT_TRUE(host.hasMessage("imp", "自动导入数据库: 表 firms 新增 2 行"));
    EXPECT_EQ(sql("select name from firms order by name"), "company a\ncompany b\n");
    EXPECT_EQ(sql("select page from firms where name = 'company a'"), site.url("/c/a") + "\n");

    // Another day: B again, and C.
    now = now.addDays(1);
    h.setPages("imp", site, {"/c/b", "/c/c"});
    runs.start("imp");
    ASSERT_TRUE(handledRuns(2));
    EXPECT_TRUE(host.hasMessage("imp", "自动导入数据库: 表 firms 新增 1 行, 1 行已在表中, 未重复导入"));
    EXPECT_EQ(sql("select name from firms order by name"), "company a\ncompany b\ncompany c\n");
    EXPECT_EQ(host.frame("imp").grid().dataRowCount(), 2) << "imported rows stay in the grid too";
    EXPECT_FALSE(std::filesystem::exists(h.dir.file("AutoSaveData"))) << "imported rows need no file of their own";
}

TEST_F(AutomaticRunsTest, AFailedImportKeepsTheRowsAndDoesNotStopTheRepeats)
{
    useSqlite();
    auto keys = kImport;
    keys.push_back({"", "autorunTableName", "nosuch"});
    keys.push_back({"", "autoruncount", "2"});
    h.task("fail", site, {"/c/a"}, keys);
    runs.start("fail");
    ASSERT_TRUE(handledRuns(1));
    const auto& lines = host.frame("fail").messages();
    const auto failed = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& l) { return l.find("自动导入数据库失败: 表 nosuch: ") == 0; });
    ASSERT_NE(failed, lines.end());
    EXPECT_NE(failed->find("(未保存任何行)"), std::string::npos) << *failed;

    const std::string kept = h.dir.file("AutoSaveData/fail.txt");
    const std::string copy = h.dir.file("AutoSaveData/fail-20261210-100000.txt");
    const std::string rows =
        "\t" + g("序号\t标题\tURL\t采集时间") + "\r\n\t1\tcompany a\t" + site.url("/c/a") + "\tT\r\n";
    EXPECT_EQ(test::readFile(kept), rows);
    EXPECT_EQ(test::readFile(copy), rows);
    EXPECT_TRUE(host.hasMessage("fail", "本次运行的 1 行保存在 " + copy));
    EXPECT_EQ(host.frame("fail").grid().dataRowCount(), 1);

    // The repeat comes all the same; its rows get a file of their own.
    ASSERT_TRUE(handledRuns(2));
    EXPECT_EQ(host.starts.size(), 2u);
    EXPECT_EQ(test::readFile(h.dir.file("AutoSaveData/fail-20261210-100000-2.txt")), rows);
}

TEST(AutoImport, AMappingThatDoesNotFitIsRefusedBeforeTheDatabaseIsTouched)
{
    run::ResultGrid grid;
    grid.setTitles({g("序号"), g("标题"), "URL"}, 3);
    grid.appendRow({"1", "company a", "http://127.0.0.1/a"});
    // No database is configured: each of these must fail before connecting.
    const std::string settings = "/nonexistent/DefaultSet.ini";
    Schedule s;
    s.tableName = "firms";
    s.noDuplicate = {"*", ""};
    s.columnTitles = {g(" 标题 "), "url", g("电话"), ""};
    s.tableFields = {"name", "page", "phone", "x"};

    const ImportMapping m = resolveMapping(grid, s);
    EXPECT_EQ(m.fields, (std::vector<std::string>{"name", "page"})) << "titles compare trimmed, letters in any case";
    EXPECT_EQ(m.uniqueFields, (std::vector<std::string>{"name"}));
    EXPECT_EQ(m.unknownTitles, (std::vector<std::string>{g("电话")}));
    EXPECT_EQ(importRows(grid, settings, s).message, "自动导入数据库失败: 结果中没有这些列: 电话");

    s.columnTitles.resize(2);
    s.tableFields = {"name", "page;drop table firms"};
    ImportResult r = importRows(grid, settings, s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind("自动导入数据库失败: 字段 page;drop table firms: ", 0), 0u) << r.message;

    s.tableName = "firms`";
    EXPECT_EQ(importRows(grid, settings, s).message.rfind("自动导入数据库失败: 表名 firms`: ", 0), 0u);

    s.tableName = "firms";
    s.columnTitles.clear();
    EXPECT_EQ(importRows(grid, settings, s).message, "自动导入数据库失败: 任务没有设置列对应关系 (data1, data2)");

    // A fitting mapping reaches the database, which is not there.
    s.columnTitles = {g("标题")};
    s.tableFields = {"name"};
    r = importRows(grid, settings, s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind("自动导入数据库失败: ", 0), 0u) << r.message;
}

TEST_F(AutomaticRunsTest, TheStartupTasksStartInOrderAfterTheirWaits)
{
    h.task("one", site, {"/c/a"});
    h.task("two", site, {"/c/b"});
    int done = 0;
    runs.startInOrder({"two", "one"}, 3, [&] { ++done; });
    EXPECT_TRUE(runs.startingInOrder());
    EXPECT_EQ(host.list, (std::vector<std::string>{"two"})) << "a task joins the list before its wait";
    EXPECT_TRUE(host.starts.empty());
    ASSERT_TRUE(test::spinUntil([&] { return done == 1; }));
    EXPECT_FALSE(runs.startingInOrder());
    EXPECT_EQ(host.starts, (std::vector<std::string>{"two", "one"}));
    EXPECT_EQ(host.list, (std::vector<std::string>{"two", "one"}));
    ASSERT_TRUE(handledRuns(2));
    idle(200);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(host.starts.size(), 2u) << "a run count of 0: no repeat";
}

TEST(AutoImportMariaDb, OnlyNewRowsReachTheTableOnTheSecondRun)
{
    if (!fixtures::MariaDbServer::available())
        GTEST_SKIP() << "mariadb-server is not installed";
    test::AutoHome h;
    test::TitleSite site;
    fixtures::MariaDbServer server(h.dir.file("maria"));
    server.sql("create database rows_db; create table rows_db.firms (name varchar(255), page varchar(255))");
    store::settings::writeMySqlSettings(h.env().settingsPath,
                                        {"127.0.0.1", "tarvimo", "", "rows_db", std::to_string(server.port())});
    test::FrameHost host(h.env());
    AutomaticRuns runs(h.env(), host);
    int handled = 0;
    QObject::connect(&runs, &AutomaticRuns::runHandled, [&] { ++handled; });
    h.task("maria", site, {"/c/a", "/c/b"}, kImport);
    runs.start("maria");
    ASSERT_TRUE(test::spinUntil([&] { return handled == 1; }));
    EXPECT_TRUE(host.hasMessage("maria", "自动导入数据库: 表 firms 新增 2 行"));
    h.setPages("maria", site, {"/c/a", "/c/c", "/c/d"});
    runs.start("maria");
    ASSERT_TRUE(test::spinUntil([&] { return handled == 2; }));
    EXPECT_TRUE(host.hasMessage("maria", "自动导入数据库: 表 firms 新增 2 行, 1 行已在表中, 未重复导入"));
    EXPECT_EQ(server.sql("select name from firms order by name", "rows_db"),
              "company a\ncompany b\ncompany c\ncompany d\n");
    host.runs.clear();
}
