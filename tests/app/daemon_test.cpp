// `tarvimo-cli daemon`: the automatic runs without a display, in process with a clock of
// the test's own, and as the real program stopped by SIGTERM.
#include "app/daemon.h"

#include "app/cli.h"
#include "app/cli_support.h"
#include "app/desktop_start.h"
#include "automation_support.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <csignal>
#include <regex>
#include <sstream>

using namespace tarvimo;
using test::g;

TEST(Daemon, StartsTheStartupTasksAtOnceAndTheDailyOnesAtTheirMinute)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("early", site, {"/c/e"}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}});
    h.task("daily", site, {"/c/d1", "/c/d2"},
           {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
    h.task("off", site, {"/c/o"}, {{"", "autotask", "0"}, {"", "autorunsystem", "1"}});

    QDateTime now = QDateTime::fromString("2026-12-10 09:58:00", "yyyy-MM-dd HH:mm:ss");
    automation::AutomationOptions options;
    options.clock = [&] { return now; };
    options.minuteMs = 20;
    options.secondMs = 5;
    std::ostringstream err;
    cli::Daemon daemon(h.env(), err, options);
    int looks = 0;
    const int status = daemon.exec([&] {
        ++looks;
        const auto early = daemon.runOf(g("early"));
        if (early.frame && early.frame->finished() && now.time().minute() == 58)
            now = now.addSecs(130);  // 10:00:10
        const auto daily = daemon.runOf("daily");
        return (daily.frame && daily.frame->finished()) || looks > 300;
    });
    EXPECT_EQ(status, 0);
    const std::string out = err.str();
    EXPECT_EQ(out.find("tarvimo-cli: 2026-12-10 09:58:00 daily tasks: daily 10:00\n"
                       "tarvimo-cli: 2026-12-10 09:58:00 tasks that run at start: early\n"),
              0u)
        << out;
    EXPECT_NE(out.find("tarvimo-cli: 2026-12-10 09:58:00 [early] starting\n"), std::string::npos) << out;
    EXPECT_NE(out.find("tarvimo-cli: 2026-12-10 10:00:10 [daily] starting\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[daily] 2 rows, elapsed"), std::string::npos) << out;
    EXPECT_FALSE(daemon.runOf("off").frame);
    // Rows that reach no table are kept in files of their own.
    const std::string kept = test::readFile(h.dir.file("AutoSaveData/daily-20261210-100010.txt"));
    EXPECT_NE(kept.find("company d1"), std::string::npos) << kept;
    EXPECT_NE(kept.find("company d2"), std::string::npos) << kept;
    EXPECT_NE(out.find("[daily] 本次运行的 2 行保存在 "), std::string::npos) << out;
    EXPECT_NE(out.find("stopping; the rows collected so far are kept"), std::string::npos) << out;
}

TEST(Daemon, RefusesAHomeAnotherTarvimoProgramWorksOn)
{
    test::AutoHome h;
    const app::SingleInstance desktop(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString(),
                                      h.dir.path());
    ASSERT_TRUE(desktop.acquired());
    const auto r = test::runCommandLine(h.dir.path(), "daemon", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvimo-cli: another Tarvimo program is running on " + h.dir.path() + "\n");
    EXPECT_EQ(test::runCommandLine(h.dir.path(), "daemon", {"extra"}).status, 2);
}

TEST(Daemon, SigtermStopsEveryRunAndKeepsTheRowsCollected)
{
    test::AutoHome h;
    test::TitleSite site;
    // The second page is held until the server goes, so the run is still going when
    // the signal comes.
    h.task("slow", site, {"/c/a", "/held/b"}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}});
    const std::string log = h.dir.file("daemon.log");
    fixtures::ChildProcess daemon({TARVIMO_CLI, "--home", h.dir.path(), "daemon"}, log);
    ASSERT_TRUE(test::spinUntil([&] {
        std::string text;
        return files::tryReadAll(log, text) && text.find("[slow] 1 rows") != std::string::npos;
    })) << test::readFile(log);
    ::kill(daemon.pid(), SIGTERM);
    EXPECT_EQ(daemon.wait(), 0);
    const std::string out = test::readFile(log);
    const std::string kept = test::readFile(h.dir.file("AutoSaveData/slow.txt"));
    const std::string firstRow = "\t" + g("序号\t标题\tURL\t采集时间") + "\r\n\t1\tcompany a\t" + site.url("/c/a") + "\t";
    EXPECT_EQ(kept.substr(0, firstRow.size()), firstRow);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 2) << kept;
    const std::regex stamped("tarvimo-cli: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\[slow\\] 1 rows kept in " +
                             h.dir.path() + "/AutoSaveData/slow.txt\n");
    EXPECT_TRUE(std::regex_search(out, stamped)) << out;
    EXPECT_NE(out.find("stopping; the rows collected so far are kept"), std::string::npos) << out;
}
