#include "engine/task_master.h"

#include "base/files.h"
#include "base/text.h"
#include "engine/address_list.h"
#include "net/internet_control.h"
#include "engine/master_owner.h"
#include "engine/task_thread.h"
#include "engine/url_generation.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/schema.h"
#include "store/settings.h"
#include "store/task_schema.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <chrono>
#include <exception>

namespace tarvimo::engine {

namespace {

const TaskConfig& configOf(const TaskPtr& task)
{
    static const TaskConfig defaults;
    return task ? task->config : defaults;
}

std::vector<std::string> lowerSorted(const std::string& commaList)
{
    std::vector<std::string> words;
    for (auto& w : store::splitDelimited(commaList, ','))
        words.push_back(text::toLower(w));
    std::sort(words.begin(), words.end());
    return words;
}

} // namespace

TtaskMaster::TtaskMaster(std::string taskFile, TaskPtr task, const Environment& env, MasterOwner* owner,
                         std::unique_ptr<LinkScanner> scanner, QObject* parent)
    : QObject(parent), owner_(owner), env_(env), taskFile_(std::move(taskFile)), task_(std::move(task)),
      config_(configOf(task_)), scanner_(std::move(scanner))
{
    referer_ = env_.catalogue.baseUrl("D1");
    shaper_ = std::make_unique<ContactShaper>(env_.catalogue);
    internet_ = std::make_unique<net::TinternetControl>();
    if (scanner_)
        scanner_->setEvents(this);
    if (owner_) {
        runState0_.restarted.store(owner_->restarted());
        runState0_.runCounter.store(owner_->runCounter());
        options_ = owner_->runOptions();
    }
    if (!task_)
        return;
    runState0_.charType.store(config_.charType);
    nextSerial_ = config_.nextSerial;
    siteCode_ = shaper_->siteCode(config_.urlbegin);
    if (config_.taktype == 0 && owner_)
        owner_->setContactTask(true);
}

const PlainRowLayout& TtaskMaster::plainLayout() const
{
    static const PlainRowLayout none;
    return task_ ? task_->layout : none;
}

TtaskMaster::~TtaskMaster()
{
    closeThreads();
}

void TtaskMaster::closeThreads()
{
    {
        std::lock_guard wl(workersMutex_);
        stopRequested_.store(true);  // nothing starts any more
    }
    {
        std::lock_guard lk(callMutex_);
        closing_ = true;
        for (MainCall* call : calls_)
            call->doneCv.notify_one();
    }
    std::vector<std::unique_ptr<TtaskThread>> workers;
    std::unique_ptr<TGetUrlList> gatherer;
    {
        std::lock_guard wl(workersMutex_);
        for (auto& w : workers_)
            w->terminate();
        if (gatherer_)
            gatherer_->terminate();
    }
    wakeWorkers();
    {
        std::lock_guard wl(workersMutex_);
        workers.swap(workers_);
        gatherer.swap(gatherer_);
    }
    workers.clear();   // joins
    gatherer.reset();  // joins
    if (scanner_ && scanner_->running())
        scanner_->stop();
}

// ---- Start ---------------------------------------------------------------------------

void TtaskMaster::start()
{
    if (startCalled_ || !task_)
        return;
    startCalled_ = true;
    std::string error;
    if (!writeLoadTimeChanges(*task_, &error) && !error.empty())
        report("无法写入任务文件 " + error);
    if (scanner_) {
        LinkScanner::Setup s;
        s.resultsFile = files::joinPath(files::joinPath(env_.home, "Files"), task_->name + ".txt");
        try {
            files::makeDirs(files::dirName(s.resultsFile));
        } catch (const std::exception&) {
            s.resultsFile = files::joinPath(env_.home, task_->name + ".txt");
        }
        s.limiterWords = lowerSorted(config_.getWords);
        s.filterEnabled = config_.urlfilterword;
        s.filterWords = lowerSorted(config_.filterWords);
        scanner_->configure(s);
    }
    urlCursor_ = 0;
    try {
        if (config_.tasktypes != 1)  // a script task starts nothing
            buildUrlList();
    } catch (const std::exception& e) {
        // Whatever was built stays; nothing more is started.
        report(std::string("无法生成采集网址: ") + e.what());
    }
}

void TtaskMaster::buildUrlList()
{
    UrlListResult r = taskAddresses(config_, env_, *internet_);
    for (const auto& note : r.notes)
        report(note);
    bool none = false;
    {
        std::lock_guard lk(listMutex_);
        urlList_.reserve(r.urls.size());
        for (auto& u : r.urls)
            urlList_.append(std::move(u));
        none = urlList_.empty();
    }
    if (!r.ok) {
        report("无法生成采集网址: " + task_->name + ": " + text::gbkToUtf8(r.error));
        return;  // whatever was built stays; nothing is started
    }
    if (none)
        return;  // nothing to fetch: the master stays idle and the frame says so
    if (config_.tasktypes != 2) {
        startCollection();
        return;
    }
    {
        std::lock_guard lk(listMutex_);
        urlTotal_.store(static_cast<int>(urlList_.size()));
        urlGenerationDone_.store(true);
    }
    if (config_.listuse)
        startWorkers();
}

void TtaskMaster::startCollection()
{
    if (config_.directMode) {
        {
            std::lock_guard lk(listMutex_);
            if (!config_.getType && !knownUrls_.empty()) {
                UrlList kept;
                UrlList known;
                for (const auto& k : knownUrls_)
                    known.add(k);
                for (const auto& u : urlList_.items())
                    if (!known.contains(u))
                        kept.append(u);
                urlList_ = std::move(kept);
            }
            urlTotal_.store(static_cast<int>(urlList_.size()));
            urlGenerationDone_.store(true);
        }
        startWorkers();
    } else if (!urlList_.empty()) {
        startGathering();
    }
}

void TtaskMaster::startWorkers()
{
    try {
        std::lock_guard wl(workersMutex_);
        if (runState_.load() == RunStatus::Ended || finished_.load() || stopRequested_.load())
            return;
        started_ = true;
        if (!workers_.empty()) {
            for (auto& w : workers_)
                w->stopFlag.store(false);
        } else {
            int n = options_.threads > 0 ? options_.threads
                                         : store::settings::readTaskMasterThreadCount(env_.settingsPath);
            if ((config_.directMode && config_.ruleloop) || !config_.cookie.empty())
                n = 1;
            else if (n < 1)
                n = 5;
            else if (n > 20)
                n = 20;
            for (int i = 0; i < n; ++i) {
                liveWorkers_.fetch_add(1);
                try {
                    workers_.push_back(std::make_unique<TtaskThread>(queue_, FetcherSetup{task_, &env_, &runState0_, referer_}, i));
                } catch (...) {
                    liveWorkers_.fetch_sub(1);  // never started, so it never ends
                    throw;
                }
            }
        }
    } catch (const std::exception& e) {
        // A worker that could not be made leaves the others running.
        report(std::string("无法启动采集线程: ") + e.what());
    }
    wakeWorkers();
}

void TtaskMaster::startGathering()
{
    if (config_.urlScan && scanner_) {
        {
            // Gathering is under way: the run waits for the crawler's end.
            std::lock_guard wl(workersMutex_);
            started_ = true;
        }
        std::string first;
        {
            std::lock_guard lk(listMutex_);
            first = urlList_[0];
        }
        scanner_->start(first);
        return;
    }
    std::vector<std::string> pages;
    {
        std::lock_guard lk(listMutex_);
        pages = urlList_.items();
    }
    const auto fetch = store::settings::readFetcherSettings(env_.settingsPath);
    GatherSetup setup = gatherSetupOf(config_, std::move(pages), fetch.timeoutMs, fetch.maxBodyBytes);
    std::lock_guard wl(workersMutex_);
    started_ = true;
    gatherer_ = std::make_unique<TGetUrlList>(gatherSink_, std::move(setup));
}

void TtaskMaster::wakeWorkers()
{
    // Taking the lock orders the notification after any flag a waiter tests.
    { std::lock_guard lk(listMutex_); }
    wake_.notify_all();
}

// ---- Gathered addresses -----------------------------------------------------------------

void TtaskMaster::addGatheredUrls(std::vector<std::string>& links)
{
    {
        std::lock_guard lk(listMutex_);
        for (auto& l : links)
            gatheredUrls_.add(std::move(l));
    }
    links.clear();
    startWorkers();
}

void TtaskMaster::addDetailAddresses(std::vector<std::string>& links)
{
    if (urlTotal_.load() == 0) {
        std::lock_guard lk(listMutex_);
        urlTotal_.store(static_cast<int>(urlList_.size() * links.size()));
    }
    addGatheredUrls(links);
}

void TtaskMaster::gatheringDone()
{
    {
        std::lock_guard lk(listMutex_);
        urlGenerationDone_.store(true);
    }
    wakeWorkers();
    // When no listing page gave a link no worker exists yet; one is started so the run
    // still reaches its end.
    bool none;
    {
        std::lock_guard wl(workersMutex_);
        none = workers_.empty();
    }
    if (none)
        startWorkers();
}

void TtaskMaster::scanLinkFound(const std::string& url)
{
    if (std::find(pageLinks_.begin(), pageLinks_.end(), url) != pageLinks_.end())
        return;
    if (config_.getType || std::find(knownUrls_.begin(), knownUrls_.end(), url) == knownUrls_.end())
        pageLinks_.push_back(url);
}

void TtaskMaster::scanUpdatedStats(const ScanStats& stats)
{
    if (stats.retries > 3 && scanner_)
        scanner_->stop();
}

void TtaskMaster::scanWorking(bool working)
{
    if (working || stopRequested_.load())
        return;
    std::size_t pages;
    {
        std::lock_guard lk(listMutex_);
        pages = urlList_.size();
    }
    if (!pageLinks_.empty() && urlTotal_.load() == 0)
        urlTotal_.store(static_cast<int>(pages * pageLinks_.size()));
    addGatheredUrls(pageLinks_);
    ++scanPage_;
    if (static_cast<std::size_t>(scanPage_) < pages) {
        pageLinks_.clear();
        std::string next;
        {
            std::lock_guard lk(listMutex_);
            next = urlList_[scanPage_];
        }
        scanner_->start(next);
    } else {
        gatheringDone();
    }
}

// ---- Worker side ----------------------------------------------------------------------

bool TtaskMaster::takeNext(std::string& address)
{
    std::lock_guard lk(listMutex_);
    if (!hasWorkLocked())
        return false;
    address = workList()[urlCursor_++];
    return true;
}

void TtaskMaster::waitForWork(const std::function<bool()>& giveUp)
{
    std::unique_lock lk(listMutex_);
    wake_.wait(lk, [&] { return hasWorkLocked() || urlGenerationDone_.load() || giveUp(); });
}

void TtaskMaster::waitUntil(const std::function<bool()>& until, std::chrono::milliseconds limit)
{
    std::unique_lock lk(listMutex_);
    if (limit.count() > 0)
        wake_.wait_for(lk, limit, until);
    else
        wake_.wait(lk, until);
}

void TtaskMaster::addSubPages(const std::vector<std::string>& links, const std::vector<std::string>& filter)
{
    bool added = false;
    {
        std::lock_guard lk(listMutex_);
        UrlList& list = workList();
        for (const auto& link : links) {
            if (list.contains(link))
                continue;
            if (!text::containsAnyWord(link, filter)) {
                list.append(link);
                added = true;
            }
        }
        if (added)
            urlTotal_.store(static_cast<int>(list.size()) - 1);
    }
    if (added)
        wake_.notify_all();
}

void TtaskMaster::pageFailed(const std::string& address, const std::string& reason)
{
    {
        std::lock_guard lk(listMutex_);
        failedUrls_.add(address);
    }
    callOnMain([&] {
        if (owner_)
            owner_->pageFailed(address, reason);
    });
}

void TtaskMaster::report(const std::string& line)
{
    callOnMain([&] {
        if (owner_)
            owner_->addMessage(line);
    });
}

bool TtaskMaster::callOnMain(const std::function<void()>& fn)
{
    if (QThread::currentThread() == thread()) {
        fn();
        return true;
    }
    MainCall call;
    call.fn = &fn;
    {
        std::lock_guard lk(callMutex_);
        if (closing_)
            return false;
        calls_.push_back(&call);
    }
    // The event carries nothing: the call itself is handed over under callMutex_.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    std::unique_lock lk(callMutex_);
    call.doneCv.wait(lk, [&] { return call.done || closing_; });
    if (!call.done) {
        std::erase(calls_, &call);  // never to run: the master is closing
        return false;
    }
    if (call.error)
        std::rethrow_exception(call.error);
    return true;
}

void TtaskMaster::customEvent(QEvent*)
{
    for (;;) {
        MainCall* call;
        {
            std::lock_guard lk(callMutex_);
            if (closing_ || calls_.empty())
                return;
            call = calls_.front();
            calls_.pop_front();
        }
        // The caller waits until 'done', so its function is alive here.
        std::exception_ptr error;
        try {
            (*call->fn)();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lk(callMutex_);
        call->error = error;
        call->done = true;
        call->doneCv.notify_one();
    }
}

void TtaskMaster::handOverRows(std::vector<Row> rows)
{
    // The worker waits until its rows are in the grid. Workers queue their hand-overs
    // rather than take turns, so the main thread appends several rows per wake-up; rows
    // still arrive one at a time, in the order the workers queued them.
    callOnMain([&] { deliverRows(std::move(rows)); });
}

void TtaskMaster::workerFinished()
{
    callOnMain([this] { lastWorkerFinished(); });
}

void TtaskMaster::workerEnded()
{
    liveWorkers_.fetch_sub(1);
}

// ---- Main thread --------------------------------------------------------------------

void TtaskMaster::deliverRows(std::vector<Row> rows)
{
    pendingRows_ = std::move(rows);
    rowsReady();
}

void TtaskMaster::rowsReady()
{
    deliverRow(siteCode_);
}

void TtaskMaster::deliverRow(int siteCode)
{
    std::vector<Row> rows;
    rows.swap(pendingRows_);
    if (!owner_)
        return;
    // What every row of this hand-over is shaped against; only the serial number changes.
    ContactShaper::Target target;
    target.time = env_.now();
    target.appendTime = plainLayout().appendTime;
    target.delimiter = config_.ruleDelimiter;
    target.columnHolds = [this](int column, const std::string& value) { return owner_->columnHolds(column, value); };
    // Rows are delivered one at a time; the rows of a page keep their order.
    for (auto& row : rows) {
        outRow_.clear();
        if (finished_.load() || stopRequested_.load())
            return;
        target.serial = owner_->gridRowCount() - 2 + nextSerial_;
        if (!shaper_->shape(siteCode, row, target, outRow_) || outRow_.empty())
            continue;
        if (const int expected = owner_->expectedRows(); expected > 0)
            owner_->setProgressEstimate(static_cast<int>(static_cast<long long>(target.serial) * 100 / expected));
        owner_->appendRow(outRow_);
    }
}

void TtaskMaster::lastWorkerFinished()
{
    // The master's part of the run ends with its last worker, so no worker is still
    // delivering rows when the owner closes the run.
    std::size_t count;
    {
        std::lock_guard wl(workersMutex_);
        count = workers_.size();
    }
    if (++workersFinished_ < count || finished_.load())
        return;
    finished_.store(true);
    runState_.store(RunStatus::Ended);
    // A timed continuation, not a wait: the main thread goes on, and a master freed in
    // the meantime takes its timer with it.
    if (finishDelayMs_ > 0)
        QTimer::singleShot(finishDelayMs_, this, [this] { reportEnd(); });
    else
        reportEnd();
}

void TtaskMaster::reportEnd()
{
    // The numbering is kept first: the owner may free this master when it hears the end.
    keepNumbering();
    if (owner_)
        owner_->mastersReport();
}

void TtaskMaster::keepNumbering()
{
    // The numbering is kept through the store that matches the file, so an encrypted
    // task stays an encrypted task.
    if (!config_.autoSaveNo)
        return;
    const int n = owner_ ? owner_->lastSerialNumber() : 0;
    // A task deleted from the library while it ran stays deleted: writing the number
    // would make the file again.
    std::error_code ec;
    if (!std::filesystem::exists(taskFile_, ec)) {
        report("任务文件已删除, 下一个序号 " + std::to_string(n + 1) + " 不再保存");
        return;
    }
    try {
        store::TEncryptInifile ini(taskFile_);
        store::writeInt(ini, store::task::NowNO, n + 1);
        ini.UpdateFile();
        nextSerial_ = n + 1;
    } catch (const std::exception& e) {
        report("无法保存下一个序号 " + std::to_string(n + 1) + ": " + e.what());
    }
}

void TtaskMaster::controlRun(RunCommand command)
{
    std::lock_guard wl(workersMutex_);
    switch (command) {
    case RunCommand::Pause:
        for (auto& w : workers_)
            w->pauseFlag.store(true);
        break;
    case RunCommand::Resume:
        for (auto& w : workers_)
            w->pauseFlag.store(false);
        break;
    case RunCommand::Stop:
        stopRequested_.store(true);
        if (scanner_ && scanner_->running()) {
            scanner_->stop();
            if (scanner_->running() && !scanner_->paused())
                scanner_->stop();
        }
        urlGenerationDone_.store(true);
        if (gatherer_)
            gatherer_->terminate();
        for (auto& w : workers_) {
            w->stopFlag.store(true);
            w->pauseFlag.store(false);
            w->cancelTransfer();
        }
        break;
    default:
        return;
    }
    wakeWorkers();
}

void TtaskMaster::showDownloadStatus(const std::string& text)
{
    callOnMain([&] {
        if (owner_ && owner_->messageCount() < 2)
            owner_->addMessage(text);
    });
}

// ---- Queries ----------------------------------------------------------------------------

std::vector<std::string> TtaskMaster::urlList() const
{
    std::lock_guard lk(listMutex_);
    return urlList_.items();
}

std::vector<std::string> TtaskMaster::gatheredUrls() const
{
    std::lock_guard lk(listMutex_);
    return gatheredUrls_.items();
}

std::vector<std::string> TtaskMaster::failedUrls() const
{
    std::lock_guard lk(listMutex_);
    return failedUrls_.items();
}

int TtaskMaster::failedCount() const
{
    std::lock_guard lk(listMutex_);
    return static_cast<int>(failedUrls_.size());
}

std::size_t TtaskMaster::workerCount() const
{
    std::lock_guard wl(workersMutex_);
    return workers_.size();
}

int TtaskMaster::pagesTaken() const
{
    std::lock_guard lk(listMutex_);
    return urlCursor_;
}

int TtaskMaster::liveWorkers() const { return liveWorkers_.load(); }

bool TtaskMaster::idle() const
{
    std::lock_guard wl(workersMutex_);
    return !started_;
}

bool TtaskMaster::waitForThreads(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        bool gathering;
        {
            std::lock_guard wl(workersMutex_);
            gathering = gatherer_ && gatherer_->running();
        }
        if (liveWorkers_.load() == 0 && !gathering)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

} // namespace tarvimo::engine
