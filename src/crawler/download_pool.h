// The crawler's download side: a pool of slots (TMFDwnld) that takes addresses from its
// queue, runs one GET per slot on a request thread (THTTPGetThread), watches each for
// inactivity, retries failures, counts results and tells its owner (the scan controller)
// when a page has arrived and when the scan has gone idle.
//
// Threads: the pool, its slots and its queue belong to the main thread, which calls
// tick() every 200 ms; every event reaches the owner there, from tick(). A request thread
// touches only its own request object, which the slot reads after joining it (results)
// or through atomics (the deadline, the head). Aborting cancels the transfer; a request
// thread is always joined before its slot or client goes, never suspended.
#pragma once

#include "crawler/crack_url.h"
#include "crawler/url_lists.h"
#include "net/http_client.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvimo::crawler {

struct PoolSettings {
    int slotCount = 3;          // ConcurrentDownloads
    int depthLimit = 2;         // DepthSearchLevel; kept here, read by the scan controller
    int retries = 3;            // attempts after the first
    int timeOutSeconds = 300;   // inactivity
    bool leavesFirst = false;
    std::string agent;
    std::string userName, password;
    int proxyType = 2;          // 0 direct, 1 the named proxy, 2 the system's
    std::string proxyAddress;
    int proxyPort = 80;
    std::string proxyUser, proxyPassword;
    bool htmlMode = true;       // log lines begin "HTML: ", else "OTHER: "
    // A body or head larger than this ends the download as an error.
    std::size_t maxBodyBytes = 32u * 1024u * 1024u;
};

struct PoolStatistics {
    int inQueue = 0, downloading = 0, toAnalyze = 0, done = 0, retries = 0, errors = 0;
    bool operator==(const PoolStatistics&) const = default;
};

// A page answered with status 200.
struct DownloadedPage {
    std::string url;
    TCrackUrl split;
    TUrlObject object;
    std::string header;
    std::string body;
};

class TMFDwnld;

// What the pool tells its owner; all calls on the main thread, from TMFDwnld::tick().
class PoolEvents {
public:
    virtual ~PoolEvents() = default;
    virtual void pageDone(const DownloadedPage& page) = 0;
    virtual void headerComplete(const std::string& url, long status, const std::string& header) = 0;
    virtual void downloadError(TMFDwnld& pool, const std::string& urlText, std::uint32_t code,
                               const std::string& message) = 0;
    virtual void logLine(const std::string& line) = 0;
    virtual void workingChanged(TMFDwnld& pool, bool working) = 0;
    virtual void statistics(const PoolStatistics& stats) = 0;
};

// One request on its own thread. The slot creates it, reads its state, and joins it.
class THTTPGetThread : private net::TransferObserver {
public:
    struct Outcome {
        bool success = false;
        bool rejected = false;      // refused (not HTML) or stopped: not an error
        bool tooLarge = false;      // body or head over the limit: asking again cannot help
        long status = 0;
        std::string header, body;
    };

    THTTPGetThread(net::HttpClient& client, const PoolSettings& settings, std::string url,
                   const TUrlObject& object, std::chrono::steady_clock::time_point deadline);
    ~THTTPGetThread();   // stops and joins

    void stop();                       // any thread
    bool finished() const { return finished_.load(); }
    void join();
    std::chrono::steady_clock::time_point deadline() const;
    // The response's head, handed out once: false until it has arrived, and after.
    bool takeHead(long& status, std::string& header);
    // After join().
    Outcome& outcome() { return outcome_; }

private:
    void run();
    bool headerComplete(long status, std::string_view contentType, long long contentLength,
                        std::string_view headerBlock) override;
    void bodyChunk(std::size_t before, std::size_t bytes) override;

    net::HttpClient& client_;
    PoolSettings settings_;
    std::string url_;
    TUrlObject object_;
    std::chrono::milliseconds timeout_;
    std::atomic<std::int64_t> deadlineNs_;
    std::atomic<long> status_{0};
    std::atomic<bool> finished_{false};
    std::atomic<bool> stopRequested_{false};
    std::mutex headMutex_;
    bool headReady_ = false, headTaken_ = false;
    std::string headText_;
    int chunks_ = 0;
    Outcome outcome_;
    std::thread thread_;
};

// One download slot.
class TMFHttpGet {
public:
    enum State { Retired = 0, Free = 1, Assigning = 2, Running = 3, Finished = 4, Answered = 5, Failed = 6 };
    State state = Free;
    TCrackUrl split;
    std::string url;
    TUrlObject object;
    bool aborted = false;
    net::HttpClient client;
    std::unique_ptr<THTTPGetThread> request;
    THTTPGetThread::Outcome result;

    void abort();
    bool busy() const { return state > Free; }
};

class TMFDwnld {
public:
    explicit TMFDwnld(PoolEvents& events);
    ~TMFDwnld();   // aborts and joins every request
    TMFDwnld(const TMFDwnld&) = delete;
    TMFDwnld& operator=(const TMFDwnld&) = delete;

    PoolSettings& settings() { return settings_; }
    const PoolSettings& settings() const { return settings_; }

    // Queues an address; dropped (still true) while stopping. The first address of a scan
    // resets the counters and makes the pool working.
    bool add(const std::string& url, const std::string& referrer, int depth, int retries, char linkKind,
             bool keepBody, int areaNumber);
    std::size_t queueLength() const { return queue_.count(); }
    void tick();
    // False once the scan has been idle for 11 ticks.
    bool idleCheck();
    void stop();
    void setWorking(bool working);
    bool working() const { return working_; }
    bool stopping() const { return stopping_; }
    std::size_t slotCount() const { return slots_.size(); }
    const PoolStatistics& lastStatistics() const { return last_; }

private:
    void reset();
    void tryStart(TMFHttpGet& slot);
    void visit(TMFHttpGet& slot, std::size_t index);
    void log(const std::string& line);

    PoolEvents& events_;
    PoolSettings settings_;
    TUrlInQueue queue_;
    std::vector<std::unique_ptr<TMFHttpGet>> slots_;
    bool working_ = false;
    bool stopping_ = false;
    int done_ = 0, errors_ = 0, retries_ = 0;
    PoolStatistics last_;
    int idleCountdown_ = 10;
};

} // namespace tarvimo::crawler
