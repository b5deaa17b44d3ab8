// A page fetcher against a fake work queue: what it takes, hands over and reports.
#include "engine/task_thread.h"

#include "engine/task_exec.h"
#include "support/local_http_server.h"
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
