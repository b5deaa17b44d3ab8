// A page fetcher against a fake work queue: what it takes, hands over and reports.
#include "engine/task_thread.h"

#include "engine/task_exec.h"
#include "support/local_http_server.h"
#include "support/raw_sockets.h"
#include "support/master_support.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

using namespace tarvimo;
using namespace std::chrono_literals;

namespace {

class FakeQueue : public engine::WorkQueue {
public:
    explicit FakeQueue(std::vector<std::string> addresses, bool complete = true)
        : addresses_(addresses.begin(), addresses.end()), complete_(complete)
    {
    }
    bool takeNext(std::string& address) override
    {
        std::lock_guard lk(m_);
        if (addresses_.empty())
            return false;
        address = addresses_.front();
        addresses_.pop_front();
        ++taken;
        return true;
    }
    bool complete() const override
    {
        std::lock_guard lk(m_);
        return complete_;
    }
    void waitForWork(const std::function<bool()>& giveUp) override
    {
        std::unique_lock lk(m_);
        cv_.wait(lk, [&] { return !addresses_.empty() || complete_ || giveUp(); });
    }
    void waitUntil(const std::function<bool()>& until, std::chrono::milliseconds limit) override
    {
        std::unique_lock lk(m_);
        if (limit.count() > 0)
            cv_.wait_for(lk, limit, until);
        else
            cv_.wait(lk, until);
    }
    void wake() override
    {
        { std::lock_guard lk(m_); }
        cv_.notify_all();
    }
    void addSubPages(const std::vector<std::string>& links, const std::vector<std::string>&) override
    {
        std::lock_guard lk(m_);
        addresses_.insert(addresses_.end(), links.begin(), links.end());
    }
    void handOverRows(std::vector<engine::Row> r) override
    {
        std::lock_guard lk(m_);
        rows.insert(rows.end(), r.begin(), r.end());
    }
    void pageFailed(const std::string& address, const std::string& reason) override
    {
        std::lock_guard lk(m_);
        failed.emplace_back(address, reason);
    }
    void workerFinished() override { ++finished; }
    void workerEnded() override { ++ended; }

    std::vector<engine::Row> rows;
    std::vector<std::pair<std::string, std::string>> failed;
    std::atomic<int> taken{0}, finished{0}, ended{0};

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::string> addresses_;
    bool complete_;
};

bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(5ms);
    return done();
}

} // namespace

TEST(Fetcher, TakesEveryAddressHandsOverRowsAndReportsFailures)
{
    fixtures::LocalHttpServer server;
    server.on("GET", "/p/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<title>page " + req.path.substr(3) + "</title>", "text/html");
    });
    test::TempDir dir;
    const auto env = test::testEnvironment(dir, "T");
    engine::RunState state;
    const std::string task = test::listTask(dir, {});
    FakeQueue queue({server.url("/p/1"), server.url("/status/404"), dir.file("gone.html"), server.url("/p/2")});
    {
        engine::TtaskThread fetcher(queue, {engine::loadTask(task).task, &env, &state, ""}, 0);
        ASSERT_TRUE(waitFor([&] { return queue.ended.load() == 1; }));
        EXPECT_TRUE(fetcher.ended());
    }
    EXPECT_EQ(queue.taken.load(), 4);
    EXPECT_EQ(queue.rows, (std::vector<engine::Row>{{"page 1"}, {"page 2"}})) << "in page order, one fetcher";
    ASSERT_EQ(queue.failed.size(), 2u);
    EXPECT_EQ(queue.failed[0], (std::pair<std::string, std::string>{server.url("/status/404"), "HTTP 404"}));
    EXPECT_EQ(queue.failed[1], (std::pair<std::string, std::string>{dir.file("gone.html"), "cannot read the file"}));
    EXPECT_EQ(queue.finished.load(), 1) << "the list was complete and used up";
}

TEST(Fetcher, WaitsForWorkAndEndsWhenTerminated)
{
    test::TempDir dir;
    const auto env = test::testEnvironment(dir, "T");
    engine::RunState state;
    FakeQueue queue({}, false);
    engine::TtaskThread fetcher(queue, {engine::loadTask(test::listTask(dir, {})).task, &env, &state, ""}, 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(fetcher.ended()) << "an incomplete list keeps the fetcher waiting";
    fetcher.terminate();
    queue.wake();
    ASSERT_TRUE(waitFor([&] { return fetcher.ended(); }));
    EXPECT_EQ(queue.finished.load(), 0) << "a terminated fetcher did not finish the list";
    EXPECT_EQ(queue.ended.load(), 1);
}

namespace {

// Runs one fetcher over 'addresses' to its end with 'tryCount' in the settings file.
void fetchAll(FakeQueue& queue, test::TempDir& dir, const std::string& tryCount)
{
    test::writeFile(dir.file("DefaultSet.ini"), "[urltype]\r\ntryCount=" + tryCount + "\r\ntimeout=5\r\n");
    const auto env = test::testEnvironment(dir, "T");
    engine::RunState state;
    engine::TtaskThread fetcher(queue, {engine::loadTask(test::listTask(dir, {})).task, &env, &state, ""}, 0);
    ASSERT_TRUE(waitFor([&] { return queue.ended.load() == 1; }));
}

} // namespace

TEST(Fetcher, APageIsAttemptedTryCountTimesBeforeItFails)
{
    // Every connection is closed without an answer.
    fixtures::RawSocketServer closing("", fixtures::RawSocketServer::Ending::Close);
    test::TempDir dir;
    {
        FakeQueue queue({closing.url("/a")});
        fetchAll(queue, dir, "3");
        EXPECT_EQ(closing.connections(), 3);
        ASSERT_EQ(queue.failed.size(), 1u);
        EXPECT_TRUE(queue.failed[0].second.ends_with(", after 3 attempts")) << queue.failed[0].second;
    }
    {
        FakeQueue queue({closing.url("/b")});
        fetchAll(queue, dir, "1");
        EXPECT_EQ(closing.connections(), 4) << "one attempt more";
        ASSERT_EQ(queue.failed.size(), 1u);
        EXPECT_EQ(queue.failed[0].second.find("attempts"), std::string::npos) << queue.failed[0].second;
    }
}

TEST(Fetcher, ABusyServerIsAskedAgainAndADeliberateAnswerIsNot)
{
    fixtures::LocalHttpServer server;
    std::atomic<int> asked{0};
    server.on("GET", "/busy", [&](const httplib::Request&, httplib::Response& res) {
        if (++asked < 3) {
            res.status = 503;
            res.set_content("busy", "text/plain");
        } else {
            res.set_content("<title>at last</title>", "text/html");
        }
    });
    test::TempDir dir;
    FakeQueue queue({server.url("/busy"), server.url("/status/403"), server.url("/status/404")});
    fetchAll(queue, dir, "5");
    EXPECT_EQ(asked.load(), 3);
    EXPECT_EQ(queue.rows, (std::vector<engine::Row>{{"at last"}}));
    ASSERT_EQ(queue.failed.size(), 2u);
    EXPECT_EQ(queue.failed[0].second, "HTTP 403");
    EXPECT_EQ(queue.failed[1].second, "HTTP 404");
    std::size_t forbidden = 0;
    for (const auto& r : server.requests())
        forbidden += r.path == "/status/403";
    EXPECT_EQ(forbidden, 1u) << "a refusal is not asked for again";
}

TEST(Fetcher, AnEmptyPageGivesNoRowAndIsReported)
{
    fixtures::LocalHttpServer server;
    server.setPage("/empty", "");
    server.setPage("/blank", " \r\n\t ");
    server.setPage("/full", "<title>x</title>");
    test::TempDir dir;
    FakeQueue queue({server.url("/empty"), server.url("/blank"), server.url("/full")});
    fetchAll(queue, dir, "1");
    EXPECT_EQ(queue.rows, (std::vector<engine::Row>{{"x"}})) << "no blank rows";
    EXPECT_EQ(queue.failed, (std::vector<std::pair<std::string, std::string>>{{server.url("/empty"), "empty page"},
                                                                             {server.url("/blank"), "empty page"}}));
}
