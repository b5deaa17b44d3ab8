// The run frame: starting a task with its siblings, pause, resume, stop, restart, the
// close rules, the end of the run, numbering across runs and the counters.
#include "run/frame_task_data.h"

#include "base/home.h"
#include "base/messages.h"
#include "base/text.h"
#include "support/master_support.h"
#include "support/local_http_server.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using run::TFrameTaskData;
using test::g;
using test::Key;
using test::listTask;
using test::spinUntil;
using test::TaskFile;

namespace {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = std::make_unique<TFrameTaskData>(boxes, test::testEnvironment(dir, "T0"));
        frame->setMasterFinishDelayMs(0);
        frame->setRunOptions({0});
        connect();
    }
    void TearDown() override { frame.reset(); }
    void connect()
    {
        QObject::connect(frame.get(), &TFrameTaskData::runEnded, [this] { ++ended; });
    }
    // Runs the task to its end.
    void runToEnd(const std::string& task)
    {
        frame->startRun(task, false, "class");
        ASSERT_TRUE(spinUntil([&] { return frame->finished(); })) << "the run did not end";
        ASSERT_TRUE(frame->waitForThreads(20000)) << "a worker was left behind";
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> v;
        for (const auto& [name, m] : frame->masters())
            v.push_back(name);
        return v;
    }
    // Column c of every data row.
    std::vector<std::string> column(int c) const
    {
        std::vector<std::string> v;
        for (int r = 1; r < frame->grid().gridRowCount() - 1; ++r)
            v.push_back(frame->grid().cell(r, c));
        return v;
    }
    static std::vector<std::string> sorted(std::vector<std::string> v)
    {
        std::sort(v.begin(), v.end());
        return v;
    }
    // An address-list task that starts nothing (its list is switched off).
    std::string idleTask(const std::string& name, const std::string& taktype)
    {
        TaskFile t(dir, {{"标题", "<title>", "</title>", ""}},
                   {{"master", "tasktypes", "2"}, {"master", "taktype", taktype}, {"list", "listuse", "0"}}, name);
        return t.path();
    }

    test::TempDir dir;
    RecordedMessages boxes;
    std::unique_ptr<TFrameTaskData> frame;
    int ended = 0;
};

std::string titled(const std::string& title) { return "<html><title>" + title + "</title></html>"; }

void servePages(LocalHttpServer& server)
{
    server.on("GET", "/p/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(titled("page " + req.path.substr(3)), "text/html");
    });
}

} // namespace

TEST(ElapsedText, HoursMinutesAndSecondsLeaveOutZeroParts)
{
    EXPECT_EQ(run::elapsedText(3725), "1时2分5秒");
    EXPECT_EQ(run::elapsedText(60), "1分");
    EXPECT_EQ(run::elapsedText(3600 * 30 + 7), "30时7秒");
    EXPECT_EQ(run::elapsedText(0), "");
}

TEST_F(FrameTest, SiblingTaskFilesGetMastersNamedByTheirPlace)
{
    const std::string task = idleTask("X.tak", "0");
    idleTask("X.dll", "0");
    idleTask("X3.dll", "0");
    idleTask("X1.dtp", "0");  // another kind's sibling: not taken
    test::writeFile(dir.file("extra.tak"), "");
    store::TIniFile(task).WriteString("master", "AdditionalTask", dir.file("extra.tak") + "," + dir.file("missing.tak"));
    EXPECT_TRUE(frame->startRun(task, false, "class"));
    EXPECT_EQ(names(), (std::vector<std::string>{"X.tak", "extra.tak", "0", "3"}));
    EXPECT_EQ(frame->typeText(), "[企业名录]");
    // The empty extra task has one blank address: its worker cannot fetch it, says so and ends.
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
    EXPECT_TRUE(frame->waitForThreads(10000));
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_EQ(frame->progressEstimate(), 100);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(frame->failedPages(), 1);
    const auto& lines = frame->messages();
    ASSERT_EQ(lines.size(), 8u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "正在启动任务,请稍候...");
    // Each of the three idle tasks says why it fetches nothing, naming itself.
    std::vector<std::string> idle(lines.begin() + 1, lines.begin() + 4);
    std::sort(idle.begin(), idle.end());
    EXPECT_EQ(idle, (std::vector<std::string>{
                        "无法生成采集网址: X3: the task names no address file (list/listfile is empty)",
                        "无法生成采集网址: X: the task names no address file (list/listfile is empty)",
                        "无法生成采集网址: X: the task names no address file (list/listfile is empty)"}));
    EXPECT_EQ(lines[4], "页面失败  (malformed address: URL using bad/illegal format or missing URL)")
        << "a refused address is not asked for again";
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.end()),
              (std::vector<std::string>{std::string(28, '-'), "失败页面 1 个", "over "}));
    EXPECT_TRUE(frame->requestClose());
}

TEST_F(FrameTest, ATaskListNamingAFileAgainRunsItOnce)
{
    // A company list naming itself a hundred times once made a hundred masters with five
    // workers each, until the process ran out of descriptors.
    const std::string task = idleTask("Self.tak", "0");
    test::writeFile(dir.file("extra.tak"), "");
    std::string list;
    for (int i = 0; i < 100; ++i)
        list += "Self.tak,extra.tak," + dir.file("./extra.tak") + ",";
    store::TIniFile(task).WriteString("master", "AdditionalTask", list);
    frame->startRun(task, false, "");
    EXPECT_EQ(names(), (std::vector<std::string>{"Self.tak", "extra.tak"}));
    EXPECT_NE(std::find(frame->messages().begin(), frame->messages().end(),
                        "附加任务重复 299 次, 每个任务文件只采集一次"),
              frame->messages().end())
        << testing::PrintToString(frame->messages());
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->waitForThreads(10000));
}

TEST_F(FrameTest, ARangeThatYieldsNoAddressSaysSo)
{
    TaskFile t(dir, {{"标题", "<title>", "</title>", ""}},
               {{"master", "tasktypes", "0"}, {"master", "taktype", "2"}, {"url", "urlbegin", "http://127.0.0.1:9/p{5,1,-1}"}},
               "falling.tak");
    frame->startRun(t.path(), false, "");
    EXPECT_TRUE(frame->finished());
    EXPECT_EQ(frame->messages(),
              (std::vector<std::string>{"正在启动任务,请稍候...",
                                        "网址范围 {5,1,-1} 不生成任何网址: http://127.0.0.1:9/p{5,1,-1}",
                                        "任务没有可采集的网址", std::string(28, '-'), "over "}));
}

TEST_F(FrameTest, ProgressFollowsThePagesTakenUntilThereIsAnEstimate)
{
    LocalHttpServer server;
    servePages(server);
    frame->setRunOptions({1});
    frame->startRun(listTask(dir, {server.url("/p/1"), server.url("/stall-headers"), server.url("/p/3"),
                                   server.url("/p/4")}),
                    false, "");
    // The main thread must keep turning: the worker hands its rows over through it.
    ASSERT_TRUE(spinUntil([&] { return server.waitForRequest("/stall-headers", std::chrono::milliseconds(0)); }));
    EXPECT_EQ(frame->progressEstimate(), 0);
    EXPECT_EQ(frame->progressPercent(), 50) << "two of four pages taken";
    frame->setProgressEstimate(30);
    EXPECT_EQ(frame->progressPercent(), 30) << "an estimate wins";
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->waitForThreads(10000));
}

TEST_F(FrameTest, ATaskThatStartsNothingEndsAtOnceAndSaysWhy)
{
    frame->startRun(idleTask("idle.tak", "0"), false, "");
    EXPECT_TRUE(frame->finished());
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_EQ(frame->progressEstimate(), 100);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(frame->messages(),
              (std::vector<std::string>{"正在启动任务,请稍候...",
                                        "无法生成采集网址: idle: the task names no address file (list/listfile is empty)",
                                        "任务没有可采集的网址", std::string(28, '-'), "over "}));
}

TEST_F(FrameTest, PhoneNumberTasksTakeTheirNumberedSiblings)
{
    const std::string task = idleTask("Y.tak", "1");
    idleTask("Y1.dtp", "1");
    idleTask("Y10.dtp", "1");
    idleTask("Y.dll", "1");
    // A sibling that is no task at all is read with every default: it fetches nothing.
    test::writeFile(dir.file("Y2.dtp"), std::string("\x00\x01\x02garbage\xff\xfe", 12));
    frame->startRun(task, false, "");
    EXPECT_EQ(names(), (std::vector<std::string>{"Y.tak", "1", "2", "10"}));
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
    EXPECT_TRUE(frame->waitForThreads(10000));
    EXPECT_EQ(frame->grid().dataRowCount(), 0);
    EXPECT_EQ(frame->typeText(), "[手机号]");
    // A task of no directory site shows its rules' captions and the time it adds.
    EXPECT_EQ(frame->grid().gridColumnCount(), 3);
    EXPECT_EQ(frame->grid().title(1), g("标题"));
    EXPECT_EQ(frame->grid().title(2), g("采集时间"));
}

TEST_F(FrameTest, MissingTaskFileEndsTheRunWithAMessage)
{
    frame->startRun(dir.file("nothing.tak"), false, "");
    EXPECT_TRUE(frame->finished());
    EXPECT_EQ(frame->messages().at(1), "无法读取任务文件 " + dir.file("nothing.tak"));
    EXPECT_EQ(frame->typeText(), "[企业名录]") << "an unreadable task counts as a company-directory task";
}

TEST_F(FrameTest, DirectorySiteRowsAreShapedNumberedAndFreedOfDuplicates)
{
    LocalHttpServer server;
    const auto page = [](const std::string& company) {
        std::string p = "<f0>x</f0><f1>" + company + "</f1><f2>Zhang</f2><f3>" + g("中国杭州") +
                        "</f3><f4>4</f4><f5>5</f5><f6>6</f6><f7>13912345678</f7> mail: info@" + company + ".example.cn";
        return p;
    };
    server.setPage("/c/1", page("Acme"));
    server.setPage("/c/2", page("ACME"));
    server.setPage("/c/3", page("Beta"));
    std::vector<test::Rule> rules;
    for (int i = 0; i < 8; ++i)
        rules.push_back({"f" + std::to_string(i), "<f" + std::to_string(i) + ">", "</f" + std::to_string(i) + ">", ""});
    // The task's start address names the first directory site; its pages come from here.
    const std::string site = "http://d1.demo.localhost:" + std::to_string(server.port());
    test::writeFile(dir.file("l.txt"), site + "/c/1\r\n" + site + "/c/2\r\n" + site + "/c/3\r\n");
    TaskFile task(dir, rules,
                  {{"master", "tasktypes", "2"}, {"master", "taktype", "0"}, {"list", "listfile", dir.file("l.txt")},
                   {"url", "urlbegin", site + "/c/1"}},
                  "d1.tak");
    frame->setRunOptions({1});  // one worker: the duplicate always arrives second
    runToEnd(task.path());
    EXPECT_TRUE(frame->contactTask());
    EXPECT_TRUE(frame->grid().markMobiles());
    EXPECT_EQ(frame->grid().title(1), g("公司名称"));
    EXPECT_EQ(frame->grid().gridColumnCount(), 7);
    ASSERT_EQ(frame->grid().gridRowCount(), 4) << "two rows and the append row";
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "2"}));
    // Company, contact, mobile, address without its leading "中国", the page's e-mail, time.
    EXPECT_EQ(frame->grid().cell(1, 1), "acme");
    EXPECT_EQ(frame->grid().cell(1, 2), "zhang");
    EXPECT_EQ(frame->grid().cell(1, 3), "13912345678");
    EXPECT_EQ(frame->grid().cell(1, 4), g("杭州"));
    EXPECT_EQ(frame->grid().cell(1, 5), "info@Acme.example.cn") << "the e-mail is found in the page as it arrived";
    EXPECT_EQ(frame->grid().cell(1, 6), "T0");
    EXPECT_EQ(frame->grid().cell(2, 1), "beta");
    EXPECT_EQ(frame->messages().back(), "over ");
    EXPECT_EQ(ended, 1);
}

TEST_F(FrameTest, PauseResumeStopAndTheCloseRules)
{
    LocalHttpServer server;
    const std::string task = listTask(dir, {server.url("/stall-headers")});
    frame->startRun(task, false, "");
    EXPECT_TRUE(frame->active());
    EXPECT_FALSE(frame->requestClose());
    EXPECT_EQ(boxes.entries.back().text, "请先停止该任务再关闭");

    frame->controlRun(engine::RunCommand::Pause);
    frame->controlRun(engine::RunCommand::Pause);
    EXPECT_EQ(frame->runState(), engine::RunStatus::Paused) << "pausing twice leaves the run paused";
    EXPECT_FALSE(frame->timermain().isActive());
    EXPECT_FALSE(frame->timer1().isActive());
    frame->timermainTick();
    const int elapsed = frame->elapsedSeconds();
    frame->controlRun(engine::RunCommand::Resume);
    EXPECT_EQ(frame->runState(), engine::RunStatus::Running);
    EXPECT_TRUE(frame->timermain().isActive());
    EXPECT_TRUE(frame->timer1().isActive());

    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->finished());
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_FALSE(frame->timer1().isActive());
    EXPECT_EQ(ended, 1);
    frame->controlRun(engine::RunCommand::Resume);
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended) << "resume after stop changes nothing";
    frame->timermainTick();
    EXPECT_EQ(frame->elapsedSeconds(), elapsed) << "a finished run's clock stands still";
    EXPECT_TRUE(frame->waitForThreads(10000)) << "stop aborts the stalled transfer";
    EXPECT_TRUE(frame->requestClose());
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_EQ(ended, 1) << "the end is announced once";
}

TEST_F(FrameTest, ClosingWaitsForTheFramesOwnCrawler)
{
    // HSSecond is a real crawler; while it works, closing the tab stops it and stays.
    LocalHttpServer server;
    frame->startRun(listTask(dir, {server.url("/stall?bytes=1")}), false, "");
    frame->controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(frame->waitForThreads(10000));
    ASSERT_TRUE(frame->requestClose()) << "the run has ended and the crawler is idle";
    auto* crawler = frame->crawler();
    ASSERT_NE(crawler, nullptr);
    crawler->start(server.url("/stall-headers"));
    ASSERT_TRUE(crawler->running());
    ASSERT_TRUE(test::spinUntil([&] { return server.waitForRequest("/stall-headers", std::chrono::milliseconds(0)); }, 10000));
    EXPECT_FALSE(frame->requestClose());
    EXPECT_EQ(boxes.entries.back().text, "正在停止任务中，请梢侯关闭");
    EXPECT_TRUE(test::spinUntil([&] { return !crawler->running(); }, 10000)) << "the crawler was told to stop";
    EXPECT_TRUE(frame->requestClose());
}

TEST_F(FrameTest, StoppingARunThatWaitsForAddressesEndsIt)
{
    LocalHttpServer server;
    // A gather-mode task whose listing page never answers: its workers wait for links.
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "0"}, {"master", "taktype", "1"}, {"url", "urlbegin", server.url("/stall-headers")},
                   {"url", "urlgetword", "1"}, {"url", "lb_urlgetword", "/p/"}});
    frame->startRun(task.path(), false, "");
    ASSERT_FALSE(frame->finished());
    frame->controlRun(engine::RunCommand::Pause);
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->finished());
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_TRUE(frame->requestClose());
    EXPECT_TRUE(frame->waitForThreads(10000));
    frame.reset();  // frees the masters with nothing left running
}

TEST_F(FrameTest, FramesFreedWhileRunningLeaveNoWorkerBehind)
{
    LocalHttpServer server;
    frame->startRun(listTask(dir, {server.url("/stall-headers"), server.url("/stall?bytes=10")}), false, "");
    frame->controlRun(engine::RunCommand::Pause);
    EXPECT_EQ(frame->runState(), engine::RunStatus::Paused);
    QPointer<engine::TtaskMaster> master = frame->masters().front().second.get();
    EXPECT_GT(master->liveWorkers(), 0) << "its workers are alive, held by the pause or a stalled page";
    frame.reset();  // joins every thread; a hang would time the test out
    EXPECT_TRUE(master.isNull()) << "the master went with its frame";
}

TEST_F(FrameTest, ARunEndsWhenItsLastMasterIsDoneAndSaysWhichAreLeft)
{
    LocalHttpServer server;
    servePages(server);
    const std::string task = listTask(dir, {server.url("/p/1")}, {{"master", "taktype", "0"}}, "Z.tak");
    listTask(dir, {server.url("/stall-headers")}, {{"master", "taktype", "0"}}, "Z.dll");
    frame->setRunOptions({1});
    frame->startRun(task, false, "");
    ASSERT_TRUE(spinUntil([&] { return frame->masters()[0].second->finished(); }));
    ASSERT_TRUE(spinUntil([&] { return frame->messages().size() >= 3; }));
    EXPECT_EQ(frame->messages()[1], "over 返回1") << "the stalled sibling is still at work";
    EXPECT_EQ(frame->messages()[2], std::string(28, '-'));
    EXPECT_FALSE(frame->finished());
    EXPECT_EQ(frame->grid().dataRowCount(), 1);
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->waitForThreads(10000));
}

TEST_F(FrameTest, RestartRunsTheTaskAgainWithNewMasters)
{
    LocalHttpServer server;
    servePages(server);
    const std::string task = listTask(dir, {server.url("/p/1"), server.url("/p/2")});
    runToEnd(task);
    EXPECT_EQ(sorted(column(1)), (std::vector<std::string>{"page 1", "page 2"}));
    QPointer<engine::TtaskMaster> first = frame->masters()[0].second.get();
    frame->timermainTick();

    frame->restartRun();
    EXPECT_TRUE(frame->restarted());
    EXPECT_EQ(frame->runNumber(), 2);
    EXPECT_TRUE(frame->timer4().isActive());
    EXPECT_EQ(frame->elapsedSeconds(), 0);
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
    EXPECT_TRUE(frame->waitForThreads(10000));
    EXPECT_TRUE(first.isNull()) << "the first run's master is gone";
    EXPECT_EQ(frame->masters().size(), 1u);
    EXPECT_EQ(sorted(column(0)), (std::vector<std::string>{"1", "2"})) << "a fresh grid numbers from the start";
    EXPECT_EQ(sorted(column(1)), (std::vector<std::string>{"page 1", "page 2"}));
    EXPECT_EQ(ended, 2);
}

TEST_F(FrameTest, TheRestartWatchEndsARunWhoseEstimateReachedItsEnd)
{
    LocalHttpServer server;
    servePages(server);
    const std::string task = listTask(dir, {server.url("/p/1"), server.url("/stall-headers")});
    frame->setRunOptions({2});
    frame->setTimer4WaitMs(0);
    frame->startRun(task, false, "");
    frame->controlRun(engine::RunCommand::Stop);
    frame->waitForThreads(10000);
    frame->setExpectedRows(1);
    frame->restartRun();
    ASSERT_TRUE(spinUntil([&] { return frame->grid().dataRowCount() == 1; }));
    EXPECT_EQ(frame->progressEstimate(), 100);
    EXPECT_FALSE(frame->finished());
    frame->timer4Tick();
    EXPECT_FALSE(frame->timer4().isActive());
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); })) << "the watch ends the run after its wait";
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_TRUE(frame->waitForThreads(10000));
}

TEST_F(FrameTest, ATabClosedWhileAWaitIsDueIsFreedSafely)
{
    LocalHttpServer server;
    servePages(server);
    // The last worker has finished and its master waits before it reports: the user stops
    // the run and closes the tab in that moment.
    frame->setMasterFinishDelayMs(300);
    frame->startRun(listTask(dir, {server.url("/p/1")}), false, "");
    ASSERT_TRUE(spinUntil([&] { return frame->masters()[0].second->finished(); }));
    EXPECT_FALSE(frame->finished()) << "the master's report is still due";
    frame->controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(frame->requestClose());
    frame.reset();
    EXPECT_TRUE(spinUntil([] { return false; }, 500) == false);  // the report would be due now
    EXPECT_EQ(ended, 1) << "the stop ended the run once; the freed master reported nothing";

    // The restart watch: its wait is due when the tab is closed.
    frame = std::make_unique<TFrameTaskData>(boxes, test::testEnvironment(dir, "T0"));
    frame->setMasterFinishDelayMs(0);
    frame->setTimer4WaitMs(300);
    frame->setRunOptions({2});
    connect();
    frame->startRun(listTask(dir, {server.url("/p/2"), server.url("/stall-headers")}, {}, "watch.tak"), false, "");
    frame->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(frame->waitForThreads(10000));
    frame->setExpectedRows(1);
    frame->restartRun();
    ASSERT_TRUE(spinUntil([&] { return frame->grid().dataRowCount() == 1; }));
    ASSERT_EQ(frame->progressEstimate(), 100);
    frame->timer4Tick();  // the watch's wait begins
    frame->controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(frame->requestClose());
    frame.reset();
    spinUntil([] { return false; }, 500);
    EXPECT_EQ(ended, 3);
}

TEST_F(FrameTest, NumberingContinuesAcrossRunsInBothFileForms)
{
    LocalHttpServer server;
    servePages(server);
    for (bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted);
        const std::string task = listTask(dir, {server.url("/p/1"), server.url("/p/2")},
                                          {{"master", "autoSaveNo", "1"}, {"master", "NOvalue", "5"}},
                                          encrypted ? "enc.tak" : "plain.tak");
        if (encrypted)
            test::encryptInPlace(task);
        frame = std::make_unique<TFrameTaskData>(boxes, test::testEnvironment(dir, "T0"));
        frame->setMasterFinishDelayMs(0);
        connect();
        runToEnd(task);
        EXPECT_EQ(sorted(column(0)), (std::vector<std::string>{"5", "6"}));
        frame->restartRun();
        ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
        EXPECT_TRUE(frame->waitForThreads(10000));
        EXPECT_EQ(sorted(column(0)), (std::vector<std::string>{"7", "8"}));
        store::TEncryptInifile ini(task);
        EXPECT_EQ(ini.ReadString("master", "NowNO", ""), "9");
        EXPECT_EQ(encrypted, test::readFile(task).find("NowNO") == std::string::npos)
            << "the container stays a container";
    }
}

TEST_F(FrameTest, CountersFollowTheGrid)
{
    LocalHttpServer server;
    servePages(server);
    runToEnd(listTask(dir, {server.url("/p/1"), server.url("/p/2"), server.url("/p/3")}));
    EXPECT_EQ(frame->dataRowCount(), 0) << "the count is taken by the clock";
    frame->timermainTick();
    EXPECT_EQ(frame->dataRowCount(), 3);
    EXPECT_EQ(frame->elapsedSeconds(), 0) << "the run has ended";
    frame->setProgressEstimate(250);
    frame->timer3Tick();
    EXPECT_EQ(frame->progressEstimate(), 100);
}

TEST_F(FrameTest, TasksMadeByTheTaskCreatorArriveAsNumberedMasters)
{
    LocalHttpServer server;
    servePages(server);
    std::vector<std::string> asked;
    frame->setTaskCreator([&](run::TFrameTaskData&, const std::string& name, const std::string& keyword) {
        asked = {name, keyword};
        return std::make_unique<run::BackgroundWork>();
    });
    frame->setKeyword("pumps");
    frame->startRun(idleTask("W.tak", "1"), true, "");
    EXPECT_EQ(asked, (std::vector<std::string>{"W", "pumps"}));
    EXPECT_FALSE(frame->finished()) << "the run waits for the tasks being made";
    frame->addMaster(listTask(dir, {server.url("/p/1")}, {}, "made1.tak"));
    frame->addMaster(listTask(dir, {server.url("/p/2")}, {}, "made2.tak"));
    EXPECT_EQ(names(), (std::vector<std::string>{"W.tak", "1", "2"}));
    ASSERT_TRUE(spinUntil([&] { return frame->grid().dataRowCount() == 2; }));
    EXPECT_FALSE(frame->finished()) << "more tasks may still come";
    frame->creationEnded(40);
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
    EXPECT_EQ(frame->expectedRows(), 40);
    EXPECT_TRUE(frame->waitForThreads(10000));
    EXPECT_EQ(frame->grid().dataRowCount(), 2);
}

TEST_F(FrameTest, TasksMadeLateJoinTheRunInItsState)
{
    LocalHttpServer server;
    servePages(server);
    frame->setTaskCreator([](run::TFrameTaskData&, const std::string&, const std::string&) {
        return std::make_unique<run::BackgroundWork>();
    });
    frame->startRun(idleTask("P.tak", "1"), true, "");
    frame->controlRun(engine::RunCommand::Pause);
    frame->addMaster(listTask(dir, {server.url("/p/1")}, {}, "late1.tak"));
    // A paused run takes it paused: no row comes until resume.
    EXPECT_FALSE(spinUntil([&] { return frame->grid().dataRowCount() > 0; }, 500));
    frame->controlRun(engine::RunCommand::Resume);
    ASSERT_TRUE(spinUntil([&] { return frame->grid().dataRowCount() == 1; }));
    frame->controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(frame->finished());
    frame->addMaster(listTask(dir, {server.url("/p/2")}, {}, "late2.tak"));
    EXPECT_EQ(frame->masters().size(), 2u) << "a stopped run is not started again";
    EXPECT_EQ(frame->messages().back(), "任务已停止, 未加入: late2.tak");
    EXPECT_TRUE(frame->waitForThreads(10000));
    EXPECT_EQ(frame->grid().dataRowCount(), 1);
}
