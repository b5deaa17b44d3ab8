// One page fetcher of a task master: takes the next address of the master's work list,
// gets the page (GET, form POST or a local file), converts it to GBK, widens it with
// linked and frame pages, adds sub-page addresses to the work list and hands the page to
// its own extraction engine, whose rows go to the master on the main thread.
#pragma once

#include "net/http_client.h"
#include "engine/url_generation.h"
#include "engine/url_list.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarvimo::engine {

class TtaskMaster;
class TtaskExec;

class TtaskThread {
public:
    // Starts the thread at once.
    TtaskThread(TtaskMaster& master, int index);
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
    std::optional<std::string> fetchPage(const std::string& address);
    std::optional<std::string> fetchSubPage(const std::string& address);
    void widen(std::string& page, const std::string& address);
    void appendLinked(std::string& page, UrlList& links);
    void handOver(const std::vector<std::string>& row);
    // Sleeps 'ms' unless the worker is told to end first.
    void pauseFor(int ms);
    void waitWhilePaused();

    TtaskMaster& master_;
    const int index_;
    UrlRewrite rewrite_;
    std::unique_ptr<TtaskExec> exec_;
    std::unique_ptr<net::HttpClient> http_;
    std::mutex httpMutex_;  // guards replacing http_ against cancel from another thread
    int requestCount_ = 0;
    std::vector<std::string> filter_;  // sub-page filter words, when the task filters
    std::atomic<bool> terminated_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace tarvimo::engine
