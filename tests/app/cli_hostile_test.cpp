// Headless runs against hostile conditions: too few descriptors, servers that drip, refuse
// or fail every page, output that cannot be written. Every run must end, say what failed
// and keep every collected row.
#include "app/cli.h"

#include "app/cli_support.h"
#include "base/files.h"
#include "base/text.h"
#include "support/child_process.h"
#include "support/local_http_server.h"
#include "support/master_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::g;
using test::runCommandLine;

namespace {

class CliHostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.on("GET", "/c/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<h1>" + req.path.substr(3) + "</h1>", "text/html");
        });
    }
    // A list task over these pages: one rule, the company name.
    std::string task(const std::vector<std::string>& paths, std::vector<test::Key> extra = {},
                     const std::string& name = "hostile.tak")
    {
        std::string list;
        for (const auto& p : paths)
            list += server.url(p) + "\r\n";
        test::writeFile(dir.file(name + ".txt"), list);
        std::vector<test::Key> keys{{"master", "tasktypes", "2"}, {"master", "taktype", "2"},
                                    {"list", "listfile", dir.file(name + ".txt")}, {"master", "taskAutoSave", "0"}};
        keys.insert(keys.end(), extra.begin(), extra.end());
        return test::TaskFile(dir, {{"公司", "<h1>", "</h1>", ""}}, keys, name).path();
    }
    void settings(const std::string& urltype) { test::writeFile(dir.file("DefaultSet.ini"), "[urltype]\r\n" + urltype); }
    std::size_t requestsFor(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const auto& r : server.requests())
            n += r.path.starts_with(prefix);
        return n;
    }

    test::TempDir dir;
    LocalHttpServer server;
};

} // namespace

TEST_F(CliHostile, RunningOutOfDescriptorsFailsPagesNotTheProgram)
{
    // 20 workers under a limit of 40 descriptors: some connections cannot be set up. The
    // program once ended in terminate() with nothing written.
    std::vector<std::string> pages;
    for (int i = 1; i <= 60; ++i)
        pages.push_back("/c/" + std::to_string(i));
    const std::string t = task(pages);
    settings("tryCount=1\r\n");
    const std::string log = dir.file("cli.log");
    const std::string command = "ulimit -n 40 && exec '" + std::string(TARVIMO_CLI) + "' --home '" + dir.path() +
                                "' run '" + t + "' --threads 20 --time T --out '" + dir.file("rows.txt") + "'";
    // The dynamic type check of the undefined-behaviour sanitizer probes memory through a
    // pipe; out of descriptors, the probe fails and the check reports a member call on an
    // object that is not of its type (a freed object would be reported by the address
    // sanitizer first). Such a run says nothing about the program and is made again; any
    // other report fails.
    int status = -1;
    for (int attempt = 0; attempt < 10; ++attempt) {
        fixtures::ChildProcess cli({fixtures::findProgram("sh"), "-c", command}, log);
        status = cli.wait();
        const std::string text = test::readFile(log);
        const bool probeFailed = text.find("which does not point to an object of type") != std::string::npos &&
                                 text.find("AddressSanitizer") == std::string::npos;
        if (!probeFailed)
            break;
    }
    ASSERT_EQ(status, 0) << test::readFile(log);
    EXPECT_EQ(test::readFile(log).find("runtime error"), std::string::npos) << test::readFile(log);
    const std::string err = test::readFile(log);
    const std::string rows = test::readFile(dir.file("rows.txt"));
    ASSERT_TRUE(rows.starts_with("\t" + g("序号\t公司\t采集时间") + "\r\n")) << rows;
    const int written = static_cast<int>(text::splitLines(rows).size()) - 1;
    // Every page is a row or a named failure; none is lost without a word.
    int failed = 0;
    for (std::size_t at = err.find("页面失败 "); at != std::string::npos; at = err.find("页面失败 ", at + 1))
        ++failed;
    EXPECT_EQ(written + failed, 60) << err;
    EXPECT_GT(written, 0) << err;
    EXPECT_EQ(err.find("terminate"), std::string::npos) << err;
}

TEST_F(CliHostile, ADrippingServerCannotHoldARunForEver)
{
    // A byte every 100 ms: no silence reaches the 1 s read time-out; the page's overall
    // deadline (five times the time-out) ends it.
    settings("timeout=1\r\ntryCount=1\r\n");
    const auto r = runCommandLine(dir.path(), "run", {task({"/c/1", "/drip?interval_ms=100", "/c/2"}), "--threads", "1",
                                                      "--time", "T", "--out", dir.file("rows.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("页面失败 " + server.url("/drip?interval_ms=100") +
                         " (transfer time-out: the request took longer than 5000 ms)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), "\t" + g("序号\t公司\t采集时间") + "\r\n\t1\t1\tT\r\n\t2\t2\tT\r\n");
}

TEST_F(CliHostile, ARunWhosePagesAllFailSaysSoAndWritesTheTitles)
{
    settings("tryCount=2\r\n");
    const auto r = runCommandLine(dir.path(), "run", {task({"/status/403", "/status/500"}), "--threads", "1", "--time",
                                                      "T", "--out", dir.file("rows.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), "\t" + g("序号\t公司\t采集时间") + "\r\n")
        << "no row, but the columns are named";
    EXPECT_NE(r.err.find("页面失败 " + server.url("/status/403") + " (HTTP 403)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("页面失败 " + server.url("/status/500") + " (HTTP 500, after 2 attempts)"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("失败页面 2 个"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("0 rows, elapsed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", 2 failed"), std::string::npos) << r.err;
    EXPECT_EQ(requestsFor("/status/500"), 2u);
}

TEST_F(CliHostile, AnOutputFileThatCannotBeWrittenStopsTheRunBeforeItStarts)
{
    test::writeFile(dir.file("plain-file"), "x");
    const std::string t = task({"/c/1"});
    for (const std::string& out : {dir.file("plain-file") + "/rows.txt", dir.path()}) {
        const auto r = runCommandLine(dir.path(), "run", {t, "--out", out});
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_TRUE(r.err.starts_with("tarvimo-cli: cannot write " + out + ": ")) << r.err;
    }
    EXPECT_EQ(server.requestCount(), 0u) << "nothing was fetched";
}

TEST_F(CliHostile, RowsSurviveAnOutputFolderThatVanishesDuringTheRun)
{
    // The folder is writable when the run starts and replaced by a file while it runs.
    files::makeDirs(dir.file("out"));
    server.on("GET", "/swap", [this](const httplib::Request&, httplib::Response& res) {
        std::filesystem::remove_all(dir.file("out"));
        test::writeFile(dir.file("out"), "in the way");
        res.set_content("<h1>swapped</h1>", "text/html");
    });
    const auto r = runCommandLine(dir.path(), "run",
                                  {task({"/c/1", "/swap"}), "--threads", "1", "--time", "T", "--out", dir.file("out/rows.txt")});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string kept = dir.file("AutoSaveData/hostile.txt");
    EXPECT_NE(r.err.find("the 2 rows are kept in " + kept), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(kept), "\t" + g("序号\t公司\t采集时间") + "\r\n\t1\t1\tT\r\n\t2\tswapped\tT\r\n");
}
