// What a page fetcher needs of the master it works for: the shared work list, the
// hand-over of rows to the main thread and the reports of failed pages and of its end.
// The master implements it; tests put a fake queue behind a real fetcher.
//
// Threads: every call comes from a fetcher's own thread; an implementation guards its
// state itself. The waits end early when 'giveUp' answers true; whoever changes what
// 'giveUp' tests calls wake() afterwards.
#pragma once

#include "engine/row.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarvimo::engine {

class WorkQueue {
public:
    virtual ~WorkQueue() = default;

    // Takes the next address of the work list; false when none is waiting now.
    virtual bool takeNext(std::string& address) = 0;
    // True once no address will be added any more (the list may still hold some).
    virtual bool complete() const = 0;
    // Blocks until an address is waiting, the list is complete or 'giveUp' answers true.
    virtual void waitForWork(const std::function<bool()>& giveUp) = 0;
    // Blocks until 'until' answers true, or 'limit' has passed (zero: no limit).
    virtual void waitUntil(const std::function<bool()>& until, std::chrono::milliseconds limit) = 0;
    // Wakes every waiting fetcher so it tests its conditions again.
    virtual void wake() = 0;

    // Appends sub-page addresses that are new and hold none of the filter words.
    virtual void addSubPages(const std::vector<std::string>& links, const std::vector<std::string>& filter) = 0;
    // Hands rows to the main thread and returns once they are delivered (or the run closes).
    virtual void handOverRows(std::vector<Row> rows) = 0;
    // A page that could not be fetched or read, and why (UTF-8).
    virtual void pageFailed(const std::string& address, const std::string& reason) = 0;
    // The fetcher found the list used up and complete: its part of the run is done.
    virtual void workerFinished() = 0;
    // The fetcher's thread is about to end (for whatever reason).
    virtual void workerEnded() = 0;
    // A status line of the article and media downloads (UTF-8), shown while the run's
    // message list is short.
    virtual void downloadStatus(const std::string& /*line*/) {}
};

} // namespace tarvimo::engine
