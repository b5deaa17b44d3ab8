// Automatic saving of a run's rows.
#include "output/auto_save.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "support/master_support.h"
#include "support/local_http_server.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::listTask;
using test::spinUntil;

namespace {

class AutoSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.on("GET", "/p/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<title>page " + req.path.substr(3) + "</title>", "text/html");
        });
        frame.setMasterFinishDelayMs(0);
        frame.setRunOptions({1});
    }

    test::TempDir dir;
    LocalHttpServer server;
    RecordedMessages boxes;
    run::TFrameTaskData frame{boxes, test::testEnvironment(dir, "T0")};
};

} // namespace

TEST_F(AutoSaveTest, TheEndOfARunWritesEveryRowWithTitles)
{
    output::AutoSave save(frame);
    const std::string task = listTask(dir, {server.url("/p/1"), server.url("/p/2")},
                                      {{"master", "taskAutoSavePL", "3"}, {"master", "taskAutoSaveName", dir.file("saved/rows")}});
    frame.startRun(task, false, "");
    EXPECT_EQ(save.fileName(), dir.file("saved/rows.txt"));
    EXPECT_EQ(save.periodMinutes(), 3);
    ASSERT_TRUE(spinUntil([&] { return frame.finished(); }));
    frame.waitForThreads(10000);
    EXPECT_EQ(test::readFile(save.fileName()), "\t" + text::utf8ToGbk("序号\t标题\t采集时间") + "\r\n" +
                                                   "\t1\tpage 1\tT0\r\n\t2\tpage 2\tT0\r\n")
        << "the append row is not saved";
}

TEST_F(AutoSaveTest, AStoppedRunIsSavedAndTheDefaultNameIsInTheHomeFolder)
{
    output::AutoSave save(frame);
    const std::string task = listTask(dir, {server.url("/p/1"), server.url("/stall-headers")}, {}, "named.tak");
    frame.setRunOptions({2});
    frame.startRun(task, false, "");
    EXPECT_EQ(save.fileName(), dir.file("AutoSaveData/named.txt"));
    ASSERT_TRUE(spinUntil([&] { return frame.grid().dataRowCount() == 1; }));
    EXPECT_FALSE(files::exists(save.fileName())) << "nothing is written before a period ends";
    frame.controlRun(engine::RunCommand::Stop);
    EXPECT_NE(test::readFile(save.fileName()).find("\t1\tpage 1\tT0\r\n"), std::string::npos);
    frame.waitForThreads(10000);
}

TEST_F(AutoSaveTest, TasksThatDoNotSaveWriteNothingAndFailuresAreReported)
{
    {
        output::AutoSave save(frame);
        frame.startRun(listTask(dir, {server.url("/p/1")}, {{"master", "taskAutoSave", "0"}}, "off.tak"), false, "");
        EXPECT_EQ(save.fileName(), "");
        EXPECT_FALSE(save.save());
        ASSERT_TRUE(spinUntil([&] { return frame.finished(); }));
        frame.waitForThreads(10000);
    }
    test::writeFile(dir.file("blocker"), "a file where a folder should be");
    run::TFrameTaskData second(boxes, test::testEnvironment(dir, "T0"));
    second.setMasterFinishDelayMs(0);
    output::AutoSave save(second);
    second.startRun(listTask(dir, {server.url("/p/1")}, {{"master", "taskAutoSaveName", dir.file("blocker/x")}}, "bad.tak"),
                    false, "");
    ASSERT_TRUE(spinUntil([&] { return second.finished(); }));
    second.waitForThreads(10000);
    EXPECT_EQ(second.messages().back().rfind("自动保存失败", 0), 0u) << "the failure is on the message list";
}
