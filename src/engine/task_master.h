// The runtime controller of one task file inside a running task: builds the task's
// addresses, gathers detail links from listing pages when the task asks for it, owns the
// fetch workers and the work list they share (their WorkQueue), and delivers their rows to
// its owner on the main thread.
//
// Life: construction takes the loaded task and starts nothing; start() builds the
// addresses and starts the workers. A master whose task could not be read stays idle.
//
// Threads: the master lives on the main thread (create, start, destroy, controlRun, row
// delivery, worker end). Workers and the gatherer are std::threads; they reach the main
// thread with callOnMain(), which blocks the caller until the call has run or the master
// is closing, so a worker never waits for a wake-up that may not come. No event loop runs
// inside the master: the pause after the last worker is a timed continuation. Pause is
// honoured at safe points; stop aborts transfers in flight; the destructor joins every
// thread.
#pragma once

#include "base/messages.h"
#include "engine/contact_rows.h"
#include "engine/environment.h"
#include "engine/get_url_list.h"
#include "engine/link_scanner.h"
#include "engine/master_owner.h"
#include "engine/task.h"
#include "engine/task_exec.h"
#include "engine/url_list.h"
#include "engine/work_queue.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarvimo::net {
class TinternetControl;
}

namespace tarvimo::engine {

class MasterOwner;
class TtaskThread;

class TtaskMaster : public QObject, public ScanEvents {
public:
    // 'task' is the loaded task file 'taskFile' (null: it could not be read; the master
    // stays idle). 'env' must outlive the master. 'scanner' is the link-scanning crawler
    // for gather-mode tasks that set `urlScan` (null: such a task gathers with TGetUrlList).
    TtaskMaster(std::string taskFile, TaskPtr task, const Environment& env, MasterOwner* owner,
                std::unique_ptr<LinkScanner> scanner = nullptr, QObject* parent = nullptr);
    ~TtaskMaster() override;

    // Builds the addresses and starts collecting (once).
    void start();
    void controlRun(RunCommand command);

    // Appends new links to the detail list and starts or wakes the workers.
    void addGatheredUrls(std::vector<std::string>& links);
    // The gatherer's results (its thread): estimates urlTotal on the first call, then
    // addGatheredUrls; and the end of the listing pages.
    void addDetailAddresses(std::vector<std::string>& links);
    void gatheringDone();

    // ScanEvents (gather mode with a link-scanning crawler).
    void scanLinkFound(const std::string& url) override;
    void scanUpdatedStats(const ScanStats& stats) override;
    void scanWorking(bool working) override;

    // Delivers handed-over rows to the owner's grid, one at a time, shaped for the task's
    // site (main thread; the workers' hand-over ends here).
    void deliverRows(std::vector<Row> rows);

    // Shows a downloader's status as the second message line.
    void showDownloadStatus(const std::string& text);

    // State read by the owner and tests.
    bool loaded() const { return task_ != nullptr; }
    const TaskPtr& task() const { return task_; }
    bool finished() const { return finished_.load(); }
    RunStatus runState() const { return runState_.load(); }
    bool stopRequested() const { return stopRequested_.load(); }
    bool directMode() const { return config_.directMode; }
    bool urlGenerationDone() const { return urlGenerationDone_.load(); }
    const TaskConfig& config() const { return config_; }
    int taktype() const { return config_.taktype; }
    int nextSerial() const { return nextSerial_; }
    int urlTotal() const { return urlTotal_.load(); }
    // Addresses the workers have taken from the work list so far.
    int pagesTaken() const;
    const std::string& taskFile() const { return taskFile_; }
    // Snapshots, taken under the list lock.
    std::vector<std::string> urlList() const;
    std::vector<std::string> gatheredUrls() const;
    std::vector<std::string> failedUrls() const;
    // Distinct addresses that could not be had.
    int failedCount() const;
    std::size_t workerCount() const;
    // Workers whose thread has not ended yet.
    int liveWorkers() const;
    // Blocks (processing events) until every worker and the gatherer have ended; used by
    // the owner after a stop and by tests. False when 'timeoutMs' passed first.
    bool waitForThreads(int timeoutMs);

    // True when loading succeeded but nothing was started (script task, no address),
    // or when the task could not be loaded.
    bool idle() const;

    // The directory site the task collects from (kNoSite: none), and how its rows look
    // when it is none.
    int siteCode() const { return siteCode_; }
    const PlainRowLayout& plainLayout() const;

    // The milliseconds the master waits after its last worker has finished before it
    // reports its end (the main thread goes on meanwhile).
    void setFinishDelayMs(int ms) { finishDelayMs_ = ms; }

    // Runs 'fn' on the main thread and waits for it; false when the master closed first.
    // Exceptions thrown by 'fn' are rethrown in the caller.
    bool callOnMain(const std::function<void()>& fn);

protected:
    // Runs the calls workers are waiting for.
    void customEvent(QEvent* event) override;

    // The work queue its fetchers see.
    WorkQueue& workQueue() { return queue_; }

private:
    // The fetchers' side of the master. A member rather than a base: a fetcher still
    // running while the master's destructor stops it calls into an object whose
    // destruction has not begun.
    class Queue final : public WorkQueue {
    public:
        explicit Queue(TtaskMaster& m) : m_(m) {}
        bool takeNext(std::string& address) override { return m_.takeNext(address); }
        bool complete() const override { return m_.urlGenerationDone_.load(); }
        void waitForWork(const std::function<bool()>& giveUp) override { m_.waitForWork(giveUp); }
        void waitUntil(const std::function<bool()>& until, std::chrono::milliseconds limit) override
        {
            m_.waitUntil(until, limit);
        }
        void wake() override { m_.wakeWorkers(); }
        void addSubPages(const std::vector<std::string>& links, const std::vector<std::string>& filter) override
        {
            m_.addSubPages(links, filter);
        }
        void handOverRows(std::vector<Row> rows) override { m_.handOverRows(std::move(rows)); }
        void pageFailed(const std::string& address, const std::string& reason) override { m_.pageFailed(address, reason); }
        void workerFinished() override { m_.workerFinished(); }
        void workerEnded() override { m_.workerEnded(); }
        void downloadStatus(const std::string& line) override { m_.showDownloadStatus(line); }

    private:
        TtaskMaster& m_;
    };

    // The gatherer's side of the master, a member for the same reason.
    class Gather final : public GatherSink {
    public:
        explicit Gather(TtaskMaster& m) : m_(m) {}
        void addDetailAddresses(std::vector<std::string>& links) override { m_.addDetailAddresses(links); }
        void gatheringDone() override { m_.gatheringDone(); }
        void listingFailed(const std::string& page, const std::string& reason) override { m_.pageFailed(page, reason); }

    private:
        TtaskMaster& m_;
    };

    // Fetcher side (any thread).
    bool takeNext(std::string& address);
    void waitForWork(const std::function<bool()>& giveUp);
    void waitUntil(const std::function<bool()>& until, std::chrono::milliseconds limit);
    void addSubPages(const std::vector<std::string>& links, const std::vector<std::string>& filter);
    void handOverRows(std::vector<Row> rows);
    void pageFailed(const std::string& address, const std::string& reason);
    void workerFinished();
    void workerEnded();

    void buildUrlList();
    void startCollection();
    void startWorkers();
    void startGathering();
    void wakeWorkers();
    // The list the workers walk (call with listMutex_ held).
    UrlList& workList() { return config_.directMode ? urlList_ : gatheredUrls_; }
    const UrlList& workList() const { return config_.directMode ? urlList_ : gatheredUrls_; }
    bool hasWorkLocked() const { return static_cast<std::size_t>(urlCursor_) < workList().size(); }
    // A line for the owner's message list, from any thread (UTF-8).
    void report(const std::string& line);
    // Main thread.
    void rowsReady();
    void lastWorkerFinished();
    void reportEnd();
    void deliverRow(int siteCode);
    void keepNumbering();
    void closeThreads();

    MasterOwner* owner_;
    const Environment& env_;
    std::string taskFile_;
    TaskPtr task_;
    const TaskConfig& config_;  // the task's (the defaults when it could not be read)
    RunState runState0_;  // shared with the workers' engines (charType)
    std::unique_ptr<ContactShaper> shaper_;
    int siteCode_ = kNoSite;
    RunOptions options_;
    std::string referer_;
    std::unique_ptr<net::TinternetControl> internet_;
    std::unique_ptr<LinkScanner> scanner_;
    std::vector<std::string> pageLinks_;
    int scanPage_ = 0;
    std::vector<std::string> knownUrls_;

    std::atomic<RunStatus> runState_{RunStatus::Running};
    std::atomic<bool> finished_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> urlGenerationDone_{false};
    std::atomic<int> urlTotal_{0};
    int nextSerial_ = 1;
    int finishDelayMs_ = 1000;
    bool startCalled_ = false;

    // Lists and the cursor, guarded by listMutex_; waiting workers sleep on wake_.
    mutable std::mutex listMutex_;
    std::condition_variable wake_;
    UrlList urlList_;
    UrlList gatheredUrls_;
    UrlList failedUrls_;
    int urlCursor_ = 0;
    // The rows being delivered (main thread only).
    std::vector<Row> pendingRows_;
    std::vector<std::string> outRow_;

    mutable std::mutex workersMutex_;  // guards workers_ and gatherer_
    std::vector<std::unique_ptr<TtaskThread>> workers_;
    std::atomic<int> liveWorkers_{0};
    std::size_t workersFinished_ = 0;  // main thread only
    std::unique_ptr<TGetUrlList> gatherer_;
    bool started_ = false;

    // Calls waiting for the main thread; closing_ releases every waiting caller.
    // Each call has its own condition variable: one shared by every waiting worker would
    // wake them all for each row.
    struct MainCall {
        const std::function<void()>* fn = nullptr;
        bool done = false;
        std::exception_ptr error;
        std::condition_variable doneCv;
    };
    std::mutex callMutex_;
    std::deque<MainCall*> calls_;
    bool closing_ = false;

    Queue queue_{*this};
    Gather gatherSink_{*this};
};

} // namespace tarvimo::engine
