// The link-scanning crawler as the task master sees it: started on one listing page, it
// reports each link it finds, its statistics and when it stops working. The master
// implements ScanEvents; a crawler implements LinkScanner.
#pragma once

#include <string>
#include <vector>

namespace tarvimo::engine {

struct ScanStats {
    int retries = 0;
};

class ScanEvents {
public:
    virtual ~ScanEvents() = default;
    virtual void scanLinkFound(const std::string& url) = 0;
    virtual void scanUpdatedStats(const ScanStats& stats) = 0;
    virtual void scanWorking(bool working) = 0;
    virtual void scanError(const std::string&) {}
};

class LinkScanner {
public:
    virtual ~LinkScanner() = default;
    struct Setup {
        int depth = 1;
        int concurrentDownloads = 1;
        std::string resultsFile;
        std::vector<std::string> limiterWords;  // lower-cased, sorted
        bool filterEnabled = false;
        std::vector<std::string> filterWords;  // lower-cased, sorted
    };
    virtual void configure(const Setup& setup) = 0;
    // Events are delivered on the main thread.
    virtual void setEvents(ScanEvents* events) = 0;
    virtual void start(const std::string& url) = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;
    virtual bool paused() const { return false; }
};

} // namespace tarvimo::engine
