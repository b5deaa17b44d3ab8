// The schedule of task files and the minute tick, with an injected clock so a whole day of
// ticks takes milliseconds.
#include "automation/auto_task.h"
#include "automation/schedule.h"

#include "automation_support.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::automation;
using test::g;

namespace {

QDateTime at(const char* text) { return QDateTime::fromString(QString::fromLatin1(text), "yyyy-MM-dd HH:mm:ss"); }

} // namespace

TEST(RunTimeText, HoursAndMinutesWithAColon)
{
    EXPECT_EQ(parseRunTime("10:00"), (RunTime{10, 0}));
    EXPECT_EQ(parseRunTime(" 7:5 "), (RunTime{7, 5}));
    EXPECT_EQ(parseRunTime("23:59:30"), (RunTime{23, 59}));
    EXPECT_EQ(parseRunTime("00:00"), (RunTime{0, 0}));
    for (const char* bad : {"", "10", "24:00", "10:60", "10:00:60", "1000", "10:0a", "-1:00", "10::00", "a:b", "1:2:3:4",
                            "100:00"})
        EXPECT_FALSE(parseRunTime(bad)) << bad;
}

TEST(DialogInterval, TextThatIsNoNumberCountsAsOneSecond)
{
    EXPECT_EQ(intervalSeconds("1"), 1);
    EXPECT_EQ(intervalSeconds(" 5 "), 5);
    EXPECT_EQ(intervalSeconds("0"), 0);
    EXPECT_EQ(intervalSeconds("abc"), 1);
    EXPECT_EQ(intervalSeconds(""), 1);
    EXPECT_EQ(intervalSeconds("-3"), 0);
    EXPECT_EQ(intervalSeconds("99999999"), 24 * 60 * 60);
}

TEST(StartupScan, SortsTasksIntoTheDailyListAndTheDialog)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("daily", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "08:30"}});
    // No autorunsystem key: the scan reads false, so the task joins the daily list; every
    // other reader takes the key's own default, true.
    h.task("nokey", site, {}, {{"", "autotask", "1"}});
    h.task("first", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}, {"", "autoruncount", "3"}});
    h.task("second", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}, {"", "autorunPauseTime", "5"}});
    h.task("off", site, {}, {{"", "autotask", "0"}, {"", "autorunsystem", "1"}, {"", "autorunTime", "00:00"}});
    h.task("plain", site, {});
    // Encrypted, as the search wizard stores its tasks: read all the same.
    test::encryptInPlace(h.task("sealed", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}}));
    // A damaged container is skipped without a word.
    test::writeFile(h.dir.file("Task/damaged.tak"), std::string("\x78\xDA\x01\x02", 4));
    test::writeFile(h.dir.file("Task/notes.txt"), "[schedule]\r\nautotask=1\r\nautorunsystem=1\r\n");

    const ScanResult scan = scanScheduledTasks(h.dir.path());
    EXPECT_EQ(scan.dailyTasks, (std::vector<std::string>{"daily", "nokey", "sealed"}));
    EXPECT_TRUE(scan.dialogWanted);

    const auto rows = startupTasks(h.dir.path());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "first");
    EXPECT_EQ(rows[0].runCount, 3);
    EXPECT_EQ(rows[0].pauseMinutes, 1);
    EXPECT_EQ(rows[1].name, "nokey");
    EXPECT_EQ(rows[2].name, "second");
    EXPECT_EQ(rows[2].pauseMinutes, 5);

    // Only daily tasks: no dialog.
    for (const char* n : {"first", "second", "nokey"})
        std::filesystem::remove(h.path(n));
    EXPECT_FALSE(scanScheduledTasks(h.dir.path()).dialogWanted);
    EXPECT_TRUE(startupTasks(h.dir.path()).empty());
}

TEST(StartupScan, ReadsTheImportMappingAsCommaLists)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("t", site, {},
           {{"", "autorunTableName", " firms "}, {"", "data0", "*,"}, {"", "data1", "标题,序号"}, {"", "data2", "name,serial"}});
    const auto s = readSchedule(h.path("t"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->tableName, "firms");
    EXPECT_EQ(s->noDuplicate, (std::vector<std::string>{"*", ""}));
    EXPECT_EQ(s->columnTitles, (std::vector<std::string>{g("标题"), g("序号")}));
    EXPECT_EQ(s->tableFields, (std::vector<std::string>{"name", "serial"}));
    EXPECT_FALSE(readSchedule(h.dir.file("Task/none.tak")));
}

namespace {

// A tick over the test home whose starts are recorded with the clock's time.
struct Ticker {
    explicit Ticker(const std::string& home)
        : tick(home, [this] { return now; }, [this](const std::string& n) {
              starts.push_back(text::gbkToUtf8(n) + " " + now.toString("HH:mm:ss").toStdString());
          })
    {
    }
    QDateTime now;
    std::vector<std::string> starts;
    TAutoTask tick;
};

} // namespace

TEST(MinuteTick, ADayOfTicksStartsEachDailyTaskOnceAtItsMinute)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("ten", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
    h.task("late", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "23:59"}});
    h.task("atstart", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}, {"", "autorunTime", "10:00"}});
    h.task("off", site, {}, {{"", "autotask", "0"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
    h.task("badtime", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10h00"}});
    h.task("gone", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "12:00"}});
    Ticker t(h.dir.path());
    int listChanges = 0;
    QObject::connect(&t.tick, &TAutoTask::listChanged, [&] { ++listChanges; });
    for (const char* n : {"ten", "late", "atstart", "off", "badtime", "gone", "ten"})
        t.tick.add(n);
    EXPECT_EQ(t.tick.tasks().size(), 6u) << "a name joins the list once";
    EXPECT_EQ(listChanges, 6);

    // The program started at 00:00:30; a tick every minute for two days. The task "gone"
    // is deleted in the morning, "ten" moved to 10:05 on the second day.
    t.now = at("2026-12-10 00:00:30");
    for (int minute = 1; minute <= 2 * 24 * 60; ++minute) {
        t.now = t.now.addSecs(60);
        if (t.now == at("2026-12-10 11:00:30"))
            std::filesystem::remove(h.path("gone"));
        if (t.now == at("2026-12-11 00:00:30"))
            h.set("ten", "autorunTime", "10:05");
        t.tick.tick();
    }
    EXPECT_EQ(t.starts, (std::vector<std::string>{"ten 10:00:30", "late 23:59:30", "ten 10:05:30", "late 23:59:30"}));
}

TEST(MinuteTick, TwoTicksInTheSameMinuteStartTheTaskOnce)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("ten", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
    Ticker t(h.dir.path());
    t.tick.add("ten");
    for (const char* when : {"2026-12-10 09:59:59", "2026-12-10 10:00:00", "2026-12-10 10:00:59", "2026-12-10 10:01:00",
                             "2026-12-11 10:00:02", "2026-12-11 10:00:58"}) {
        t.now = at(when);
        t.tick.tick();
    }
    EXPECT_EQ(t.starts, (std::vector<std::string>{"ten 10:00:00", "ten 10:00:02"}));
}

TEST(MinuteTick, AProgramStartedInsideTheMinuteMissesThatDay)
{
    test::AutoHome h;
    test::TitleSite site;
    h.task("ten", site, {}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
    // The real timer, a millisecond standing for a minute; each tick's clock is a minute on.
    QDateTime start = at("2026-12-10 10:00:30");
    int ticks = 0;
    std::vector<std::string> starts;
    TAutoTask tick(
        h.dir.path(), [&] { return start.addSecs(60 * ++ticks); },
        [&](const std::string& n) { starts.push_back(n + " " + start.addSecs(60 * ticks).toString().toStdString()); }, 1);
    tick.add("ten");
    tick.startTicking();
    ASSERT_TRUE(test::spinUntil([&] { return ticks >= 24 * 60 + 1; }));
    tick.timer().stop();
    ASSERT_EQ(starts.size(), 1u) << "the first tick came at 10:01:30, after the minute";
    EXPECT_NE(starts[0].find("Dec 11 10:00:30"), std::string::npos) << starts[0];
}
