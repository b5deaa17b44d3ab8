// `tarvimo-cli scan`, and a whole `tarvimo-cli run` of a task that gathers its detail
// addresses with the crawler.
#include "app/cli_support.h"

#include "base/files.h"
#include "support/child_process.h"
#include "support/local_http_server.h"
#include "support/master_support.h"
#include "support/task_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::g;
using test::runCommandLine;

namespace {

// A directory: two listing pages whose detail links are the ones to collect.
void directorySite(LocalHttpServer& server)
{
    server.setPage("/list/1.html", "<a href=\"/detail/1.html\">1</a> <a href=\"/detail/2.html\">2</a>"
                                   " <a href=\"/about.html\">about</a> <a href=\"/detail/1.html#top\">again</a>");
    server.setPage("/list/2.html", "<a href=\"/detail/2.html\">2</a> <a href=\"/detail/3.html\">3</a>");
    for (int i = 1; i <= 3; ++i)
        server.setPage("/detail/" + std::to_string(i) + ".html", "<title>Firm " + std::to_string(i) + "</title>");
    server.setPage("/about.html", "<title>About</title>");
}

} // namespace

TEST(CliScan, PrintsEachReportedLinkWithItsKindAndPage)
{
    test::TempDir dir;
    LocalHttpServer server;
    server.setPage("/index.html", "<a href=a.html>a</a> <img src=logo.gif> <a href=\"mailto:x@y.cn?s=1\">m</a>"
                                  " <a href=stats.html>s</a>");
    server.setPage("/a.html", "<a href=index.html>back</a> <a href=b.html>b</a>");
    server.setPage("/b.html", "<p>end</p>");
    const auto r = runCommandLine(dir.path(), "scan", {server.url("/index.html"), "--depth", "2", "--filter", "stat,zzz"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string u = server.url("");
    EXPECT_EQ(r.out, u + "/a.html\thtm\t" + u + "/index.html\n" + u + "/logo.gif\tgif\t" + u + "/index.html\n" +
                         "x@y.cn\tmail\t" + u + "/index.html\n" + u + "/b.html\thtm\t" + u + "/a.html\n");
    EXPECT_NE(r.err.find("tarvimo-cli: scan ended: 2 pages, 4 links, 0 retries, 0 errors, "), std::string::npos) << r.err;
    EXPECT_EQ(server.requestCount(), 2u) << "b.html is at depth 3";
    const std::string results = test::readFile(dir.file("Download/results.txt"));
    EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 4) << results;
    EXPECT_NE(results.find("\"mail\";\"x@y.cn\""), std::string::npos);
}

TEST(CliScan, ScanAndReportLimitsAndTheResultsFileOption)
{
    test::TempDir dir;
    LocalHttpServer server;
    // Started at a folder: a file's address would itself be the folder the rule compares.
    server.setPage("/shop/", "<a href=a.html>a</a> <a href=/news/n.html>n</a>");
    server.setPage("/shop/a.html", "<p></p>");
    server.setPage("/news/n.html", "<a href=/news/deeper.html>d</a>");
    const auto r = runCommandLine(dir.path(), "scan", {server.url("/shop/"), "--scan", "path", "--report", "path",
                                                       "--results", dir.file("out/links.txt"), "--limit", "shop,news"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, server.url("/shop/a.html") + "\thtm\t" + server.url("/shop/") + "\n")
        << "the news link is outside the page's folder";
    EXPECT_EQ(server.requestCount(), 2u) << "and outside the starting folder, so not followed";
    EXPECT_EQ(test::readFile(dir.file("out/links.txt")), "\"htm\";\"" + server.url("/shop/a.html") + "\"\n");
}

TEST(CliScan, WrongUsageAndAddressesThatCannotStart)
{
    test::TempDir dir;
    EXPECT_EQ(runCommandLine(dir.path(), "scan", {}).status, 2);
    EXPECT_EQ(runCommandLine(dir.path(), "scan", {"http://127.0.0.1:1/", "--scan", "everything"}).status, 2);
    EXPECT_EQ(runCommandLine(dir.path(), "scan", {"http://127.0.0.1:1/", "--depth", "0"}).status, 2);

    const auto bad = runCommandLine(dir.path(), "scan", {"http://127.0.0.1:1/", "www.example"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "tarvimo-cli: Invalid Url : www.example\n");

    test::writeFile(dir.file("file"), "x");
    const auto noFile = runCommandLine(dir.path(), "scan", {"http://127.0.0.1:1/", "--results", dir.file("file/r.txt")});
    EXPECT_EQ(noFile.status, 1);
    EXPECT_EQ(noFile.err, "tarvimo-cli: unable to create file: " + dir.file("file/r.txt") + "\n");
}

TEST(CliScan, CtrlCStopsTheCrawlAndKeepsWhatWasReported)
{
    test::TempDir dir;
    LocalHttpServer server;
    std::string page = "<a href=/stall-headers>held</a>";
    for (int i = 0; i < 20; ++i)
        page += " <a href=/p" + std::to_string(i) + ".html>p</a>";
    server.setPage("/index.html", page);
    server.on("GET", "/p[0-9]+.html", [&server](const httplib::Request&, httplib::Response& res) {
        server.pause(std::chrono::milliseconds(3000));
        res.set_content("<p></p>", "text/html");
    });
    const std::string log = dir.file("scan.log");
    fixtures::ChildProcess scan({TARVIMO_CLI, "--home", dir.path(), "scan", server.url("/index.html")}, log);
    ASSERT_TRUE(server.waitForRequest("/stall-headers", std::chrono::seconds(20)));
    ::kill(scan.pid(), SIGINT);
    EXPECT_EQ(scan.wait(), 0);
    const std::string out = test::readFile(log);
    EXPECT_NE(out.find(server.url("/p19.html") + "\thtm\t" + server.url("/index.html") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("stopping; the links reported so far are kept"), std::string::npos) << out;
    EXPECT_NE(out.find("scan stopped: 1 pages, 21 links"), std::string::npos) << out;
    const std::string results = test::readFile(dir.file("Download/results.txt"));
    EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 21) << results;
}

TEST(CliScan, ARunGathersItsDetailAddressesWithTheCrawler)
{
    test::TempDir dir;
    LocalHttpServer server;
    directorySite(server);
    test::TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                        {{"master", "tasktypes", "0"}, {"master", "taktype", "1"},
                         {"url", "urlbegin", server.url("/list/{1,2}.html")}, {"url", "lb_urlgetword", "detail"},
                         {"SuperSet", "urlScan", "1"}, {"master", "taskAutoSave", "0"}},
                        "firms.tak");
    const auto r = runCommandLine(dir.path(), "run", {task.path(), "--out", dir.file("rows.txt"), "--threads", "1",
                                                      "--time", "2026-12-10 09:00:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rows = test::readFile(dir.file("rows.txt"));
    for (int i = 1; i <= 3; ++i)
        EXPECT_NE(rows.find("\tfirm " + std::to_string(i) + "\t"), std::string::npos) << rows;
    EXPECT_EQ(rows.find("about"), std::string::npos) << "only links with a gather word are collected";
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4) << "a header and one row per detail page: " << rows;
    const auto requests = server.requests();
    for (int i = 1; i <= 2; ++i)
        EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                                [&](const auto& q) { return q.path == "/list/" + std::to_string(i) + ".html"; }),
                  1)
            << "each listing page is crawled once, at depth 1";
    EXPECT_EQ(test::readFile(dir.file("Files/firms.txt")),
              "\"htm\";\"" + server.url("/detail/2.html") + "\"\n\"htm\";\"" + server.url("/detail/3.html") + "\"\n")
        << "the results file holds the last listing page's links";
    EXPECT_NE(r.err.find("3 rows written to " + dir.file("rows.txt")), std::string::npos) << r.err;
}
