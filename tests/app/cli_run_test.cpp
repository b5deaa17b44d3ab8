// `tarvimo-cli run`: a whole collection without a display.
#include "app/cli.h"

#include "base/files.h"
#include "base/text.h"
#include "engine/master_support.h"
#include "fixtures/child_process.h"
#include "fixtures/local_http_server.h"
#include "app/cli_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::g;
using test::runCommandLine;

namespace {

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.on("GET", "/c/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
            const std::string n = req.path.substr(3);
            res.set_content("<h1>" + text::utf8ToGbk("公司") + n + "</h1><li>" + text::utf8ToGbk("手机：") + "1391234567" + n +
                                "</li>",
                            "text/html");
        });
    }
    // A company list of the given pages: name and mobile number, the page address kept.
    std::string task(const std::vector<std::string>& paths, const std::string& name = "companies.tak")
    {
        std::vector<std::string> urls;
        for (const auto& p : paths)
            urls.push_back(server.url(p));
        return test::listTask(dir, urls,
                              {{"master", "taktype", "2"}, {"rule", "rulesaveurl", "1"}, {"master", "taskAutoSave", "0"}},
                              name);
    }

    test::TempDir dir;
    LocalHttpServer server;
};

} // namespace

TEST_F(CliRun, WritesTheCollectedRowsByteForByte)
{
    std::string list;
    for (const char* p : {"/c/1", "/c/2", "/missing", "/c/3"})
        list += server.url(p) + "\r\n";
    test::writeFile(dir.file("companies.txt"), list);
    test::TaskFile rules(dir, {{"公司", "<h1>", "</h1>", ""}, {"手机", "手机：", "</li>", ""}},
                         {{"master", "tasktypes", "2"}, {"master", "taktype", "2"}, {"list", "listfile", dir.file("companies.txt")},
                          {"rule", "rulesaveurl", "1"}, {"master", "taskAutoSave", "0"}},
                         "companies.tak");
    const auto r = runCommandLine(dir.path(), "run",
                                  {rules.path(), "--out", dir.file("rows.txt"), "--threads", "1", "--time", "2026-12-09 08:00:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string u = server.url("/c/");
    const std::string expected = "\t" + g("序号\t公司\t手机\tURL\t采集时间") + "\r\n" +                 //
                                 "\t1\t" + g("公司") + "1\t13912345671\t" + u + "1\t2026-12-09 08:00:00\r\n" +  //
                                 "\t2\t" + g("公司") + "2\t13912345672\t" + u + "2\t2026-12-09 08:00:00\r\n" +  //
                                 "\t3\t" + g("公司") + "3\t13912345673\t" + u + "3\t2026-12-09 08:00:00\r\n";
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), expected) << "the failed page gives no row";
    EXPECT_NE(r.err.find("3 rows written to " + dir.file("rows.txt")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("over "), std::string::npos) << "the message lines are shown";
    EXPECT_EQ(r.out, "");

    // To standard output, as UTF-8.
    const auto u8 = runCommandLine(dir.path(), "run", {rules.path(), "--utf8", "--threads", "1", "--time", "T"});
    ASSERT_EQ(u8.status, 0) << u8.err;
    EXPECT_EQ(u8.out.substr(0, u8.out.find("\r\n")), "\t序号\t公司\t手机\tURL\t采集时间");
    EXPECT_NE(u8.out.find("\t3\t公司3\t13912345673\t"), std::string::npos);
}

TEST_F(CliRun, WrongUsageAndUnreadableTasks)
{
    const std::string t = task({"/c/1"});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {t, t}, {t, "--threads", "0"}, {t, "--threads", "x"}, {t, "--out"}, {t, "--bogus"}}) {
        const auto r = runCommandLine(dir.path(), "run", args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("usage: tarvimo-cli run"), std::string::npos) << r.err;
    }
    const auto missing = runCommandLine(dir.path(), "run", {dir.file("none.tak")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the task file"), std::string::npos);
    const auto unwritable = runCommandLine(dir.path(), "run", {t, "--out", dir.file("companies.tak") + "/x.txt"});
    EXPECT_EQ(unwritable.status, 1) << unwritable.err;
}

TEST_F(CliRun, CtrlCStopsTheRunAndKeepsWhatWasCollected)
{
    test::TaskFile rules(dir, {{"公司", "<h1>", "</h1>", ""}},
                         {{"master", "tasktypes", "2"}, {"master", "taktype", "2"}, {"list", "listfile", dir.file("l.txt")},
                          {"master", "taskAutoSave", "0"}},
                         "slow.tak");
    test::writeFile(dir.file("l.txt"), server.url("/c/1") + "\r\n" + server.url("/stall-headers") + "\r\n");
    const std::string log = dir.file("cli.log");
    fixtures::ChildProcess cli({TARVIMO_CLI, "--home", dir.path(), "run", rules.path(), "--out", dir.file("rows.txt"),
                                "--threads", "2", "--time", "T"},
                               log);
    ASSERT_TRUE(test::spinUntil([&] {
        std::string text;
        return files::tryReadAll(log, text) && text.find("1 rows") != std::string::npos;
    })) << "the first row did not arrive";
    ::kill(cli.pid(), SIGINT);
    EXPECT_EQ(cli.wait(), 0);
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), "\t" + g("序号\t公司\t采集时间") + "\r\n\t1\t" + g("公司") + "1\tT\r\n");
    EXPECT_NE(test::readFile(log).find("stopping"), std::string::npos);
}
