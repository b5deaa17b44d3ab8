// One page fetcher of a task master: takes the next address of the work queue, gets the
// page (GET, form POST or a local file), converts it to GBK, widens it with linked and
// frame pages, adds sub-page addresses to the queue and hands the page to its own
// extraction engine. Its rows pass the article and media downloader and go through the
// queue to the main thread. A page that cannot be had is reported to the queue with its
// reason and skipped.
#pragma once

#include "engine/environment.h"
#include "engine/task.h"
#include "engine/url_generation.h"
#include "engine/url_list.h"
#include "engine/work_queue.h"
#include "net/http_client.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarvimo::engine {

class TtaskExec;
class TnewsMediaDown;
struct RunState;

// What a fetcher works with: all of it outlives the fetcher.
struct FetcherSetup {
    TaskPtr task;
    const Environment* env = nullptr;
    RunState* state = nullptr;  // shared with the master (page encoding, run counter)
    std::string referer;
};

class TtaskThread {
public:
    // Starts the thread at once.
    TtaskThread(WorkQueue& queue, FetcherSetup setup, int index);
    // Terminates and joins.
    ~TtaskThread();
    TtaskThread(const TtaskThread&) = delete;
    TtaskThread& operator=(const TtaskThread&) = delete;

    std::atomic<bool> stopFlag{false};
    std::atomic<bool> pauseFlag{false};

    // Asks the thread to end at its next test and aborts the transfer in flight.
    void terminate();
    // Aborts the transfer in flight (stop).
    void cancelTransfer();
    void join();
    bool ended() const { return ended_.load(); }
    bool terminated() const { return terminated_.load(); }
    int index() const { return index_; }

    bool shouldEnd() const { return stopFlag.load() || terminated_.load(); }

private:
    void run();
    void refreshConnection();
    void newConnection();
    void dropConnection();
    void processAddress(const std::string& address);
    // The page, or nothing with 'why' set.
    std::optional<std::string> fetchPage(const std::string& address, std::string& why);
    std::optional<std::string> fetchSubPage(const std::string& address);
    void widen(std::string& page, const std::string& address);
    void appendLinked(std::string& page, UrlList& links);
    void handOver(const std::vector<std::string>& row);
    // Article and media downloads of the page's rows, which they may rewrite.
    void download(std::vector<Row>& rows, const std::string& address);
    // Sleeps 'ms' unless the worker is told to end first.
    void pauseFor(int ms);
    void waitWhilePaused();

    WorkQueue& queue_;
    const FetcherSetup setup_;
    const TaskConfig& config_;
    const int index_;
    UrlRewrite rewrite_;
    std::unique_ptr<TtaskExec> exec_;
    std::unique_ptr<TnewsMediaDown> news_;
    std::unique_ptr<net::HttpClient> http_;
    std::mutex httpMutex_;  // guards replacing http_ against cancel from another thread
    int requestCount_ = 0;
    int attempts_ = 1;  // tries per page, from the settings read for each connection
    std::vector<std::string> filter_;  // sub-page filter words, when the task filters
    std::atomic<bool> terminated_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace tarvimo::engine
