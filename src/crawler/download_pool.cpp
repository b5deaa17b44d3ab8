#include "crawler/download_pool.h"

#include <algorithm>
#include <limits>

namespace tarvimo::crawler {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::int64_t toNs(SteadyClock::time_point t) { return t.time_since_epoch().count(); }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

} // namespace

// ---- THTTPGetThread ---------------------------------------------------------------------

THTTPGetThread::THTTPGetThread(net::HttpClient& client, const PoolSettings& settings, std::string url,
                               const TUrlObject& object, SteadyClock::time_point deadline)
    : client_(client), settings_(settings), url_(std::move(url)), object_(object),
      timeout_(std::chrono::seconds(settings.timeOutSeconds)), deadlineNs_(toNs(deadline))
{
    client_.resetCancel();
    thread_ = std::thread([this] { run(); });
}

THTTPGetThread::~THTTPGetThread()
{
    stop();
    join();
}

void THTTPGetThread::stop()
{
    stopRequested_.store(true);
    client_.cancel();
}

void THTTPGetThread::join()
{
    if (thread_.joinable())
        thread_.join();
}

SteadyClock::time_point THTTPGetThread::deadline() const
{
    return SteadyClock::time_point(SteadyClock::duration(deadlineNs_.load()));
}

bool THTTPGetThread::takeHead(long& status, std::string& header)
{
    std::lock_guard lock(headMutex_);
    if (!headReady_ || headTaken_)
        return false;
    headTaken_ = true;
    status = status_.load();
    header = headText_;
    return true;
}

void THTTPGetThread::run()
{
    Outcome& out = outcome_;
    client_.setUserAgent(settings_.agent);
    client_.setReferer(object_.referrer);
    client_.setHttp10(true);
    // Always from the network, never from a cache on the way.
    client_.setExtraHeader("Pragma", "no-cache");
    client_.setFollowRedirects(true);
    // The pool's tick judges inactivity against the deadline; libcurl's own limits stay
    // out of its way.
    client_.setConnectTimeoutMs(2 * static_cast<long>(timeout_.count()) * 1000);
    client_.setReadTimeoutMs(0);
    client_.setTotalTimeoutMs(0);
    client_.setMaxBodyBytes(settings_.maxBodyBytes);
    client_.setCredentials(settings_.userName, settings_.password);
    client_.setObserver(this);
    bool proxyOk = true;
    switch (settings_.proxyType) {
    case 0: client_.clearProxy(); break;
    case 1: {
        net::ProxySettings p;
        p.host = settings_.proxyAddress;
        p.port = settings_.proxyPort;
        p.user = settings_.proxyUser;
        p.password = settings_.proxyPassword;
        client_.setProxy(p);
        proxyOk = !p.host.empty();
        break;
    }
    case 2: client_.useSystemProxy(); break;
    default: proxyOk = false; break;
    }
    if (proxyOk && !stopRequested_.load()) {
        net::HttpResult r = client_.get(url_);
        out.status = r.status;
        out.rejected = r.rejected || r.cancelled || stopRequested_.load();
        out.tooLarge = r.tooLarge;
        // A server still asking for a name and password after they were offered (or with
        // none to offer) has refused the download.
        const bool refused = r.status == 401 || r.status == 407;
        out.success = r.ok && !refused && !out.rejected && (!object_.keepBody || !r.body.empty());
        if (object_.keepBody) {
            // The text ends at the first zero byte, as a page's text does.
            const std::size_t zero = r.body.find('\0');
            if (zero != std::string::npos)
                r.body.resize(zero);
            out.body = std::move(r.body);
        }
    } else {
        out.rejected = stopRequested_.load();
    }
    client_.setObserver(nullptr);
    status_.store(out.status);
    finished_.store(true);
}

bool THTTPGetThread::headerComplete(long status, std::string_view contentType, long long,
                                    std::string_view headerBlock)
{
    status_.store(status);
    outcome_.header = std::string(headerBlock);
    {
        std::lock_guard lock(headMutex_);
        headText_ = outcome_.header;
        headReady_ = true;
    }
    return contains(contentType, "text/html");
}

void THTTPGetThread::bodyChunk(std::size_t, std::size_t)
{
    // The deadline measures inactivity: every tenth chunk moves it on.
    if (++chunks_ % 10 == 0)
        deadlineNs_.store(toNs(SteadyClock::now() + timeout_));
}

// ---- TMFHttpGet ---------------------------------------------------------------------------

void TMFHttpGet::abort()
{
    aborted = true;
    if (request)
        request->stop();
}

// ---- TMFDwnld ---------------------------------------------------------------------------

TMFDwnld::TMFDwnld(PoolEvents& events) : events_(events) {}

TMFDwnld::~TMFDwnld()
{
    for (auto& slot : slots_)
        slot->abort();
    slots_.clear();   // each request joins as it goes
}

void TMFDwnld::log(const std::string& line)
{
    if (!stopping_)
        events_.logLine((settings_.htmlMode ? "HTML: " : "OTHER: ") + line);
}

void TMFDwnld::reset()
{
    done_ = errors_ = retries_ = 0;
    constexpr int kUnseen = 99999;   // so the next idle check reports
    last_ = PoolStatistics{kUnseen, kUnseen, kUnseen, kUnseen, kUnseen, kUnseen};
    events_.statistics(PoolStatistics{});
    queue_.clear();
    idleCountdown_ = 10;
    setWorking(true);
}

bool TMFDwnld::add(const std::string& url, const std::string& referrer, int depth, int retries, char linkKind,
                   bool keepBody, int areaNumber)
{
    if (stopping_)
        return true;
    if (!working_)
        reset();
    queue_.add(url, TUrlObject{referrer, depth, retries, linkKind, keepBody, areaNumber});
    return true;
}

void TMFDwnld::stop()
{
    stopping_ = true;
    for (auto& slot : slots_)
        slot->abort();
}

void TMFDwnld::setWorking(bool working)
{
    working_ = working;
    if (!working)
        stopping_ = false;
    events_.workingChanged(*this, working);
}

void TMFDwnld::tryStart(TMFHttpGet& slot)
{
    if (slot.state != TMFHttpGet::Free || queue_.count() == 0 || stopping_)
        return;
    slot.state = TMFHttpGet::Assigning;
    std::size_t pick = 0;
    if (settings_.leavesFirst) {
        // The deepest address first, the oldest among equals.
        for (std::size_t i = 1; i < queue_.count(); ++i)
            if (queue_[i].object.depth > queue_[pick].object.depth)
                pick = i;
    }
    TUrlInQueue::Entry entry = queue_[pick];
    queue_.remove(pick);
    slot.url = std::move(entry.url);
    slot.object = std::move(entry.object);
    slot.aborted = false;
    slot.result = {};
    log("starting download for " + slot.url);
    if (!slot.split.Crack(slot.url)) {
        slot.state = TMFHttpGet::Free;   // an address that cannot be split is dropped
        return;
    }
    const auto deadline = SteadyClock::now() + std::chrono::seconds(settings_.timeOutSeconds);
    slot.state = TMFHttpGet::Running;
    slot.request = std::make_unique<THTTPGetThread>(slot.client, settings_, slot.url, slot.object, deadline);
}

void TMFDwnld::visit(TMFHttpGet& slot, std::size_t index)
{
    const bool mayStart = index < static_cast<std::size_t>(std::max(0, settings_.slotCount));
    // A slot goes on through its states within one visit (a finished page is examined,
    // handed on and the slot takes the next address), so each page costs one tick.
    for (int steps = 0; steps < 8; ++steps) {
        switch (slot.state) {
        case TMFHttpGet::Retired:
        case TMFHttpGet::Assigning:
            return;
        case TMFHttpGet::Free:
            if (mayStart)
                tryStart(slot);
            return;
        case TMFHttpGet::Running: {
            long status = 0;
            std::string header;
            if (slot.request->takeHead(status, header))
                events_.headerComplete(slot.url, status, header);
            if (slot.request->finished()) {
                slot.request->join();
                slot.result = std::move(slot.request->outcome());
                slot.request.reset();
                slot.state = TMFHttpGet::Finished;
                break;
            }
            if (SteadyClock::now() > slot.request->deadline() && !slot.aborted) {
                events_.downloadError(*this, "timeout : " + slot.url, 0, "TimeOut");
                ++errors_;
                slot.abort();
            } else if (stopping_) {
                slot.abort();
            }
            return;
        }
        case TMFHttpGet::Finished:
            if (slot.result.success) {
                slot.state = TMFHttpGet::Answered;
            } else if (slot.result.rejected || slot.aborted) {
                slot.state = TMFHttpGet::Free;
            } else {
                // Asking again for a page over the limit cannot help: given up at once.
                if (slot.result.tooLarge)
                    slot.object.retries = std::max(slot.object.retries, settings_.retries);
                slot.state = TMFHttpGet::Failed;
            }
            break;
        case TMFHttpGet::Answered: {
            const long status = slot.result.status;
            slot.state = TMFHttpGet::Free;
            if (status == 200) {
                ++done_;
                DownloadedPage page{slot.url, slot.split, slot.object, std::move(slot.result.header),
                                    std::move(slot.result.body)};
                slot.result = {};
                events_.pageDone(page);
            } else if ((status >= 201 && status <= 299) || (status >= 500 && status <= 599)) {
                slot.state = TMFHttpGet::Failed;
            } else if (!stopping_) {
                events_.downloadError(*this, slot.url, static_cast<std::uint32_t>(status), "ERROR");
            }
            break;
        }
        case TMFHttpGet::Failed:
            if (slot.object.retries >= settings_.retries) {
                if (!stopping_) {
                    events_.downloadError(*this, slot.url, static_cast<std::uint32_t>(slot.result.status), "");
                    log("GetHttp_Error " + slot.url);
                    ++errors_;
                }
            } else if (!stopping_) {
                TUrlObject again = slot.object;
                ++again.retries;
                queue_.add(slot.url, again);
                ++retries_;
            }
            slot.state = TMFHttpGet::Free;
            break;
        }
    }
}

void TMFDwnld::tick()
{
    const std::size_t wanted = static_cast<std::size_t>(std::max(1, settings_.slotCount));
    if (slots_.size() < wanted) {
        while (slots_.size() < wanted)
            slots_.push_back(std::make_unique<TMFHttpGet>());
    } else if (slots_.size() > wanted) {
        bool allRetired = true;
        for (std::size_t i = wanted; i < slots_.size(); ++i) {
            if (slots_[i]->state == TMFHttpGet::Free)
                slots_[i]->state = TMFHttpGet::Retired;
            if (slots_[i]->state != TMFHttpGet::Retired)
                allRetired = false;
        }
        if (allRetired)
            slots_.resize(wanted);
    }
    if (stopping_) {
        queue_.clear();
    } else {
        for (std::size_t i = 0; i < wanted && i < slots_.size(); ++i)
            tryStart(*slots_[i]);
    }
    // An event handler may add addresses but never frees the pool: the slot list stays.
    for (std::size_t i = 0; i < slots_.size(); ++i)
        visit(*slots_[i], i);
}

bool TMFDwnld::idleCheck()
{
    PoolStatistics now;
    now.inQueue = static_cast<int>(queue_.count());
    bool busy = false;
    for (const auto& slot : slots_) {
        if (slot->state == TMFHttpGet::Running)
            ++now.downloading;
        if (slot->state == TMFHttpGet::Answered)
            ++now.toAnalyze;
        if (slot->busy())
            busy = true;
    }
    now.done = done_;
    now.retries = retries_;
    now.errors = errors_;
    const bool changed = !(now == last_);
    if (changed) {
        last_ = now;
        events_.statistics(now);
    }
    if (now.inQueue > 0 || now.downloading > 0 || changed || busy) {
        idleCountdown_ = 10;
        return true;
    }
    if (idleCountdown_ == 0)
        return false;
    --idleCountdown_;
    return true;
}

} // namespace tarvimo::crawler
