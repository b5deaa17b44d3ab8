// The listing-page gatherer: a background thread that fetches each listing page of a task
// in order, keeps the links that pass the task's link words and hands them to its sink
// while the fetchers already work on them.
#pragma once

#include "net/http_client.h"
#include "engine/task_config.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tarvimo::engine {

// Receives the gatherer's results; called on the gatherer's thread.
class GatherSink {
public:
    virtual ~GatherSink() = default;
    // The links of one listing page (the sink may empty the list).
    virtual void addDetailAddresses(std::vector<std::string>& links) = 0;
    // The last listing page has been passed (not called after terminate()).
    virtual void gatheringDone() = 0;
    // A listing page could not be fetched; gathering goes on with the next one.
    virtual void listingFailed(const std::string& page, const std::string& reason) = 0;
};

struct GatherSetup {
    std::vector<std::string> listingPages;
    std::string getWords;     // comma-delimited; empty: every link
    std::string filterWords;  // comma-delimited; empty: none dropped
    bool autoBase = true;     // autogetmainURL
    std::string fixedBase;    // getmainURL
    long timeoutMs = 60000;
    std::size_t maxBodyBytes = 32u << 20;
};

// The gatherer's set-up for a task: its get words unless `urlgetall` was cleared, its
// filter words when `urlfilterword` is on, its base rule, and the fetch limits.
GatherSetup gatherSetupOf(const TaskConfig& config, std::vector<std::string> listingPages, long timeoutMs,
                          std::size_t maxBodyBytes);

// The base address of a listing page: 'fixedBase' when automatic derivation is off and it
// is not blank, else the scheme and host of the page address with a trailing "/".
std::string listingBaseUrl(std::string_view pageAddress, bool autoBase, std::string_view fixedBase);

class TGetUrlList {
public:
    // Starts the thread at once.
    TGetUrlList(GatherSink& sink, GatherSetup setup);
    // Terminates and joins.
    ~TGetUrlList();
    TGetUrlList(const TGetUrlList&) = delete;
    TGetUrlList& operator=(const TGetUrlList&) = delete;

    // Asks the thread to end at its next step and aborts the fetch in flight.
    void terminate();
    void join();
    bool running() const { return !ended_.load(); }

private:
    void run();

    GatherSink& sink_;
    GatherSetup setup_;
    net::HttpClient client_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace tarvimo::engine
