// The download pool against real local servers, driven tick by tick as the scan
// controller's timer drives it: retries, errors, time-outs, refusals, the slot count and
// the end of a scan.
#include "crawler/download_pool.h"

#include "support/local_http_server.h"
#include "support/raw_sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tarvimo;
using namespace tarvimo::crawler;
using fixtures::LocalHttpServer;

namespace {

struct Recorder : PoolEvents {
    struct Error {
        std::string url;
        std::uint32_t code;
        std::string message;
        bool operator==(const Error&) const = default;
    };
    std::vector<DownloadedPage> pages;
    std::vector<std::string> heads;
    std::vector<Error> errors;
    std::vector<std::string> log;
    std::vector<bool> working;
    std::vector<PoolStatistics> stats;

    void pageDone(const DownloadedPage& page) override { pages.push_back(page); }
    void headerComplete(const std::string& url, long status, const std::string&) override
    {
        heads.push_back(std::to_string(status) + " " + url);
    }
    void downloadError(TMFDwnld&, const std::string& url, std::uint32_t code, const std::string& message) override
    {
        errors.push_back({url, code, message});
    }
    void logLine(const std::string& line) override { log.push_back(line); }
    void workingChanged(TMFDwnld&, bool w) override { working.push_back(w); }
    void statistics(const PoolStatistics& s) override { stats.push_back(s); }
};

// A page of the given status as HTML, so the pool examines it rather than refusing it.
void htmlStatus(LocalHttpServer& server)
{
    server.on("GET", "/html-status/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.path.substr(13));
        res.set_content("<p>status</p>", "text/html");
    });
}

class Pool : public ::testing::Test {
protected:
    Pool()
    {
        pool.settings().agent = "test-agent";
        pool.settings().retries = 3;
        pool.settings().timeOutSeconds = 30;
    }
    // Ticks as the scan controller does, until the scan ends or 'limit' passes; the
    // number of ticks taken.
    int runToEnd(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int ticks = 0;
        while (pool.working() && std::chrono::steady_clock::now() < deadline) {
            pool.tick();
            ++ticks;
            if (!pool.idleCheck())
                pool.setWorking(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ticks;
    }
    void add(const std::string& url, int depth = 1) { pool.add(url, "http://referrer.test/", depth, 0, 'H', true, 0); }

    Recorder events;
    TMFDwnld pool{events};
};

} // namespace

TEST_F(Pool, AnHtmlPageArrivesOnceWithItsHeadAndTheRequestAsSent)
{
    LocalHttpServer server;
    server.setPage("/a.html", "<a href=b.html>b</a>");
    add(server.url("/a.html"), 2);
    runToEnd();
    ASSERT_EQ(events.pages.size(), 1u);
    const DownloadedPage& p = events.pages[0];
    EXPECT_EQ(p.url, server.url("/a.html"));
    EXPECT_EQ(p.body, "<a href=b.html>b</a>");
    EXPECT_EQ(p.object.depth, 2);
    EXPECT_EQ(p.object.linkKind, 'H');
    EXPECT_NE(p.header.find("Content-Type: text/html"), std::string::npos) << p.header;
    EXPECT_EQ(events.heads, std::vector<std::string>{"200 " + server.url("/a.html")});
    EXPECT_TRUE(events.errors.empty());
    ASSERT_EQ(server.requests().size(), 1u);
    const auto r = server.requests()[0];
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.header("Referer"), "http://referrer.test/");
    EXPECT_EQ(r.header("User-Agent"), "test-agent");
    EXPECT_EQ(r.header("Pragma"), "no-cache");
    EXPECT_EQ(events.log.front(), "HTML: starting download for " + server.url("/a.html"));
    EXPECT_EQ(events.working, (std::vector<bool>{true, false}));
    EXPECT_EQ(events.stats.back().done, 1);
}

TEST_F(Pool, FailuresAreRetriedAtTheEndOfTheQueueThenGivenUpWithOneError)
{
    LocalHttpServer server;
    htmlStatus(server);
    add(server.url("/html-status/503"));
    runToEnd();
    EXPECT_EQ(server.requestCount(), 4u) << "the first attempt and three retries";
    EXPECT_EQ(events.errors, (std::vector<Recorder::Error>{{server.url("/html-status/503"), 503, ""}}));
    EXPECT_EQ(events.stats.back().retries, 3);
    EXPECT_EQ(events.stats.back().errors, 1);
    EXPECT_EQ(events.stats.back().done, 0);
    EXPECT_EQ(events.log.back(), "HTML: GetHttp_Error " + server.url("/html-status/503"));
    EXPECT_TRUE(events.pages.empty());
}

TEST_F(Pool, OtherStatusesGiveOneErrorWithoutRetryOrCount)
{
    LocalHttpServer server;
    htmlStatus(server);
    pool.settings().slotCount = 1;
    add(server.url("/html-status/404"));
    add(server.url("/html-status/403"));
    runToEnd();
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(events.errors, (std::vector<Recorder::Error>{{server.url("/html-status/404"), 404, "ERROR"},
                                                           {server.url("/html-status/403"), 403, "ERROR"}}));
    EXPECT_EQ(events.stats.back().retries, 0);
    EXPECT_EQ(events.stats.back().errors, 0);
}

TEST_F(Pool, ANonHtmlAnswerIsDroppedSilently)
{
    LocalHttpServer server;
    server.setPage("/logo.gif", "GIF89a....", "image/gif");
    add(server.url("/logo.gif"));
    runToEnd();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(events.pages.empty());
    EXPECT_TRUE(events.errors.empty());
    EXPECT_EQ(events.stats.back(), PoolStatistics{});
}

TEST_F(Pool, ServersThatRefuseOrResetAreRetriedThenGivenUp)
{
    fixtures::RefusingPort refusing;
    fixtures::RawSocketServer resetting("", fixtures::RawSocketServer::Ending::Reset);
    pool.settings().slotCount = 1;
    add(refusing.url("/r.html"));
    add(resetting.url("/x.html"));
    runToEnd();
    EXPECT_EQ(resetting.connections(), 4);
    ASSERT_EQ(events.errors.size(), 2u);
    EXPECT_EQ(events.errors[0], (Recorder::Error{refusing.url("/r.html"), 0, ""}));
    EXPECT_EQ(events.errors[1], (Recorder::Error{resetting.url("/x.html"), 0, ""}));
    EXPECT_EQ(events.stats.back().retries, 6);
    EXPECT_EQ(events.stats.back().errors, 2);
}

TEST_F(Pool, AServerStalledPastTheTimeOutIsAbortedOnceWithoutRetry)
{
    LocalHttpServer server;
    pool.settings().timeOutSeconds = 1;
    add(server.url("/stall-headers"));
    const auto started = std::chrono::steady_clock::now();
    runToEnd();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(events.errors, (std::vector<Recorder::Error>{{"timeout : " + server.url("/stall-headers"), 0, "TimeOut"}}));
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(events.stats.back().errors, 1);
    EXPECT_EQ(events.stats.back().retries, 0);
}

TEST_F(Pool, AnUnauthorisedPageFailsUntilTheRightNameIsOffered)
{
    LocalHttpServer server;
    server.on("GET", "/private.html", [](const httplib::Request& req, httplib::Response& res) {
        // "user:secret"
        if (req.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
            res.set_content("<p>inside</p>", "text/html");
            return;
        }
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"test\"");
        res.set_content("<p>who are you</p>", "text/html");
    });
    add(server.url("/private.html"));
    runToEnd();
    EXPECT_EQ(events.errors, (std::vector<Recorder::Error>{{server.url("/private.html"), 401, ""}}));
    EXPECT_TRUE(events.pages.empty());

    events = Recorder{};
    pool.settings().userName = "user";
    pool.settings().password = "secret";
    add(server.url("/private.html"));
    runToEnd();
    ASSERT_EQ(events.pages.size(), 1u);
    EXPECT_EQ(events.pages[0].body, "<p>inside</p>");
    EXPECT_TRUE(events.errors.empty());
}

TEST_F(Pool, ARedirectLoopFailsAndARedirectIsFollowed)
{
    LocalHttpServer server;
    pool.settings().retries = 1;
    server.setPage("/redirect/0", "<p>arrived</p>");
    add(server.url("/redirect-loop"));
    add(server.url("/redirect/2"));
    runToEnd();
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].url, server.url("/redirect-loop"));
    EXPECT_EQ(events.stats.back().retries, 1);
    ASSERT_EQ(events.pages.size(), 1u);
    EXPECT_EQ(events.pages[0].body, "<p>arrived</p>");
}

TEST_F(Pool, AnEndlessBodyEndsAtThePageLimitAndIsNotAskedForAgain)
{
    LocalHttpServer server;
    server.on("GET", "/endless.html", [&server](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [&server](std::size_t, httplib::DataSink& sink) {
            static const std::string block(8192, 'x');
            return server.pause(std::chrono::milliseconds(0)) && sink.write(block.data(), block.size());
        });
    });
    pool.settings().maxBodyBytes = 256 * 1024;
    add(server.url("/endless.html"));
    runToEnd();
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(events.errors, (std::vector<Recorder::Error>{{server.url("/endless.html"), 200, ""}}));
    EXPECT_EQ(events.stats.back().errors, 1);
    EXPECT_EQ(events.stats.back().retries, 0);
    EXPECT_TRUE(events.pages.empty());
}

TEST_F(Pool, AStopAbortsEveryDownloadEmptiesTheQueueAndDropsLaterAddresses)
{
    LocalHttpServer server;
    pool.settings().slotCount = 2;
    add(server.url("/stall-headers"));
    add(server.url("/stall-headers?second"));
    add(server.url("/never-asked.html"));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.requestCount() < 2 && std::chrono::steady_clock::now() < until) {
        pool.tick();
        pool.idleCheck();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(server.requestCount(), 2u);
    pool.stop();
    add(server.url("/dropped.html"));
    const auto started = std::chrono::steady_clock::now();
    runToEnd();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "the stalled requests were cancelled";
    EXPECT_FALSE(pool.working());
    EXPECT_FALSE(pool.stopping()) << "the end of work clears the stop";
    EXPECT_EQ(server.requestCount(), 2u) << "nothing queued was fetched after the stop";
    EXPECT_TRUE(events.errors.empty()) << "a stop is no error";
    EXPECT_EQ(events.working.back(), false);
}

TEST_F(Pool, FewerSlotsWaitForTheBusyOnesToFinish)
{
    LocalHttpServer server;
    server.on("GET", "/slow([0-9]).html", [&server](const httplib::Request&, httplib::Response& res) {
        server.pause(std::chrono::milliseconds(400));
        res.set_content("<p>slow</p>", "text/html");
    });
    pool.settings().slotCount = 3;
    for (int i = 1; i <= 3; ++i)
        add(server.url("/slow" + std::to_string(i) + ".html"));
    while (server.requestCount() < 3) {
        pool.tick();
        pool.idleCheck();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pool.settings().slotCount = 1;
    pool.tick();
    EXPECT_EQ(pool.slotCount(), 3u) << "busy slots are not taken away";
    runToEnd();
    EXPECT_EQ(pool.slotCount(), 1u);
    EXPECT_EQ(events.pages.size(), 3u) << "every download that was running finished";
}

TEST_F(Pool, TheScanEndsOnTheEleventhIdleTickAfterTheLastChange)
{
    LocalHttpServer server;
    server.setPage("/a.html", "<p>a</p>");
    add(server.url("/a.html"));
    int ticksAfterChange = 0;
    std::size_t seen = 0;
    while (pool.working()) {
        pool.tick();
        const bool busy = pool.idleCheck();
        if (events.stats.size() != seen) {
            seen = events.stats.size();
            ticksAfterChange = 0;
        } else {
            ++ticksAfterChange;
        }
        if (!busy)
            pool.setWorking(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(ticksAfterChange, 11);
    EXPECT_EQ(events.working, (std::vector<bool>{true, false}));
    EXPECT_EQ(events.stats.front(), PoolStatistics{}) << "a new scan reports zeros first";
}

TEST_F(Pool, TheDeepestAddressGoesFirstWhenLeavesFirstIsSet)
{
    LocalHttpServer server;
    for (const char* p : {"/d1.html", "/d3.html", "/d2.html"})
        server.setPage(p, "<p></p>");
    pool.settings().slotCount = 1;
    pool.settings().leavesFirst = true;
    add(server.url("/d1.html"), 1);
    add(server.url("/d3.html"), 3);
    add(server.url("/d2.html"), 2);
    runToEnd();
    ASSERT_EQ(events.pages.size(), 3u);
    EXPECT_EQ(events.pages[0].object.depth, 3);
    EXPECT_EQ(events.pages[1].object.depth, 2);
    EXPECT_EQ(events.pages[2].object.depth, 1);
}
