#include "engine/task_thread.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "engine/link_collection.h"
#include "engine/news_media_down.h"
#include "engine/page_text.h"
#include "engine/task_exec.h"
#include "store/delimited.h"
#include "store/settings.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace tarvimo::engine {

namespace {
// A connection is replaced after this many requests, so a long run never rides on one
// socket or one handle's state for ever.
constexpr int kRecycleAfter = 500;
constexpr int kFailedPagePauseMs = 10;
// The pause before another attempt at a page grows with each attempt.
constexpr int kRetryPauseMs = 100;

// A failure another attempt may cure: the connection broke or timed out, or the server
// said it is busy. A deliberate answer (404, 403) and an oversized page stay as they are.
bool worthRetrying(const net::HttpResult& r)
{
    if (r.cancelled || r.tooLarge || r.badAddress)
        return false;
    if (!r.ok)
        return true;
    return r.status >= 500 || r.status == 408 || r.status == 429;
}

std::optional<std::string> readLocalPage(const std::string& path)
{
    std::string raw;
    if (!files::tryReadAll(path, raw))
        return std::nullopt;
    std::string page;
    page.reserve(raw.size() + raw.size() / 16);
    bool first = true;
    for (auto& line : text::splitLines(raw)) {
        if (!first)
            page += "\r\n";
        page += line;
        first = false;
    }
    return page;
}
} // namespace

TtaskThread::TtaskThread(WorkQueue& queue, FetcherSetup setup, int index)
    : queue_(queue), setup_(std::move(setup)), config_(setup_.task->config), index_(index)
{
    const TaskConfig& c = config_;
    rewrite_ = UrlRewrite{c.urlreplace, c.urlKeywordOrinal, c.urlKeywordNow};
    if (c.urlfilterword)
        filter_ = store::splitDelimited(c.filterWords, ',');
    thread_ = std::thread([this] { run(); });
}

TtaskThread::~TtaskThread()
{
    terminate();
    join();
}

void TtaskThread::terminate()
{
    terminated_.store(true);
    cancelTransfer();
}

void TtaskThread::cancelTransfer()
{
    std::lock_guard lk(httpMutex_);
    if (http_)
        http_->cancel();
    if (exec_)
        exec_->cancel();
}

void TtaskThread::join()
{
    if (thread_.joinable())
        thread_.join();
}

void TtaskThread::pauseFor(int ms)
{
    queue_.waitUntil([this] { return shouldEnd(); }, std::chrono::milliseconds(ms));
}

void TtaskThread::waitWhilePaused()
{
    queue_.waitUntil([this] { return !pauseFlag.load() || shouldEnd(); }, std::chrono::milliseconds(0));
}

void TtaskThread::newConnection()
{
    const auto s = store::settings::readFetcherSettings(setup_.env->settingsPath);
    auto client = std::make_unique<net::HttpClient>();
    client->setUserAgent(net::kUserAgent);
    client->setFollowRedirects(true);
    client->setHttp10(s.http10);
    client->setConnectTimeoutMs(s.timeoutMs);
    client->setReadTimeoutMs(s.timeoutMs);
    client->setMaxBodyBytes(s.maxBodyBytes);
    if (!config_.cookie.empty())
        client->setExtraHeader("cookie", config_.cookie);
    if (s.proxy.use) {
        net::ProxySettings p;
        p.host = s.proxy.host;
        p.port = s.proxy.port;
        p.user = s.proxy.user;
        p.password = s.proxy.password;
        p.basicAuth = s.proxy.basicAuth;
        client->setProxy(p);
    }
    client->setReferer(setup_.referer);
    attempts_ = std::clamp(s.tryCount, 1, 10);
    std::lock_guard lk(httpMutex_);
    http_ = std::move(client);
    // A stop that came while the connection was being made still reaches it.
    if (shouldEnd())
        http_->cancel();
}

void TtaskThread::dropConnection()
{
    std::unique_ptr<net::HttpClient> old;
    {
        std::lock_guard lk(httpMutex_);
        old = std::move(http_);
    }
    if (old) {
        try {
            old->disconnect();
        } catch (const std::exception&) {
        }
    }
}

void TtaskThread::refreshConnection()
{
    if (++requestCount_ >= kRecycleAfter && http_) {
        dropConnection();
        pauseFor(100);
        requestCount_ = 0;
    }
    if (!http_)
        newConnection();
}

void TtaskThread::run()
{
    try {
        auto exec = std::make_unique<TtaskExec>(*setup_.state, *setup_.env);
        exec->setTask(setup_.task);
        news_ = std::make_unique<TnewsMediaDown>(
            setup_.task, *setup_.env, [this](const std::string& line) { queue_.downloadStatus(line); },
            [this] { return shouldEnd(); });
        std::lock_guard lk(httpMutex_);
        exec_ = std::move(exec);
    } catch (const std::exception&) {
        terminated_.store(true);
    }

    while (!shouldEnd()) {
        waitWhilePaused();
        if (shouldEnd())
            break;
        std::string item;
        if (!queue_.takeNext(item)) {
            if (stopFlag.load() || terminated_.load())
                break;
            if (queue_.complete()) {
                queue_.workerFinished();
                break;
            }
            queue_.waitForWork([this] { return shouldEnd(); });
            continue;
        }
        if (terminated_.load())
            break;
        refreshConnection();
        processAddress(rewriteUrl(text::trim(item), rewrite_));
    }
    dropConnection();
    {
        // The engine may be cancelled from the main thread until this point.
        std::lock_guard lk(httpMutex_);
        exec_.reset();
    }
    ended_.store(true);
    queue_.workerEnded();
}

std::optional<std::string> TtaskThread::fetchPage(const std::string& address, std::string& why)
{
    if (home::isLocalPath(address)) {
        auto page = readLocalPage(setup_.env->nativePath(address));
        if (!page)
            why = "cannot read the file";
        return page;
    }
    const Request req = parseRequest(address);
    int attempt = 1;
    for (;; ++attempt) {
        net::HttpResult r = req.post ? http_->post(req.url, req.formLines()) : http_->get(req.url);
        if (r.success())
            return std::move(r.body);
        why = r.ok ? "HTTP " + std::to_string(r.status) : r.error;
        http_->disconnect();
        if (attempt >= attempts_ || !worthRetrying(r) || shouldEnd())
            break;
        pauseFor(kRetryPauseMs * attempt);
    }
    if (attempt > 1)
        why += ", after " + std::to_string(attempt) + " attempts";
    return std::nullopt;
}

std::optional<std::string> TtaskThread::fetchSubPage(const std::string& address)
{
    net::HttpResult r = http_->get(parseRequest(address).url);
    if (!r.success()) {
        http_->disconnectSocket();
        return std::nullopt;
    }
    // Linked and frame pages come in the task's encoding too; without this a UTF-8 site
    // would append undecoded bytes to GBK text. No detection: the page itself decided.
    return convertPage(std::move(r.body), false, setup_.state->charType);
}

void TtaskThread::appendLinked(std::string& page, UrlList& links)
{
    for (const auto& link : links.items()) {
        if (shouldEnd())
            return;
        if (auto body = fetchSubPage(rewriteUrl(link, rewrite_)))
            page += *body;
    }
}

void TtaskThread::widen(std::string& page, const std::string& address)
{
    const TaskConfig& c = config_;
    if (!c.useChild && !c.unionUrl && !c.getFrame)
        return;  // most tasks widen nothing: no per-page work
    const std::string base = pageBaseUrl(address, c.autogetmainURL, c.getmainURL);

    if (c.useChild && !text::trim(c.childWords).empty()) {
        UrlList found;
        collectLinks(page, base, c.childWords, found);
        queue_.addSubPages(found.items(), filter_);
    }
    if (!c.unionUrl && !c.getFrame)
        return;
    const std::string lower = text::toLower(page);
    if (c.unionUrl && !text::trim(c.unionWords).empty()) {
        for (const auto& word : store::splitDelimited(c.unionWords, ',')) {
            if (text::trim(word).empty())
                continue;
            const std::size_t at = lower.find(text::toLower(word));
            if (at == std::string::npos)
                continue;
            const std::size_t from = at > 150 ? at - 150 : 0;
            UrlList links;
            collectLinks(lower.substr(from, 350), base, "", links);
            appendLinked(page, links);
        }
    }
    if (c.getFrame) {
        std::size_t pos = 0;
        while ((pos = lower.find("<iframe", pos)) != std::string::npos) {
            const std::size_t end = lower.find("</iframe>", pos);
            if (end == std::string::npos)
                break;
            std::string segment = text::replaceAllNoCase(std::string_view(lower).substr(pos, end - pos), "src=", "href=");
            UrlList links;
            collectLinks(std::move(segment), base, c.frameKeyWord, links);
            appendLinked(page, links);
            pos = end + 9;
        }
    }
}

void TtaskThread::processAddress(const std::string& address)
{
    std::string why;
    std::optional<std::string> raw = fetchPage(address, why);
    if (shouldEnd())
        return;
    if (!raw) {
        queue_.pageFailed(address, why);  // a failed request only skips the address
        return;
    }
    if (text::trimView(*raw).empty()) {
        // Nothing to cut fields from: a row of blanks would pass for a collected record.
        queue_.pageFailed(address, "empty page");
        return;
    }
    try {
        std::string page = convertPage(std::move(*raw), config_.autogetCharType, setup_.state->charType);
        widen(page, address);
        if (shouldEnd())
            return;
        std::vector<Row> rows = exec_->extractPage(std::move(page), http_.get(), address);
        // The connection stays open for the next page when the server keeps it: a new
        // TCP connection per page would halve the throughput. It is still renewed every
        // kRecycleAfter requests and after any failure.
        download(rows, address);
        waitWhilePaused();
        for (const auto& row : rows)
            handOver(row);
    } catch (const std::exception&) {
        if (shouldEnd())
            return;
        http_->disconnectSocket();
        for (int i = 0; i < 600 && http_->isConnected(); ++i)
            pauseFor(1);
        if (terminated_.load())
            return;
        dropConnection();
        newConnection();
        queue_.pageFailed(address, "the page could not be read");
        pauseFor(kFailedPagePauseMs);
    }
}

void TtaskThread::download(std::vector<Row>& rows, const std::string& address)
{
    if (!news_ || (!news_->wantsArticles() && !news_->wantsMedia()))
        return;
    // Records of a loop task are downloaded one by one like the rows of single pages: a
    // listing of articles is the common case of such tasks.
    for (Row& row : rows) {
        if (shouldEnd())
            return;
        try {
            news_->downloadArticles(exec_->outputCaptions(), exec_->types(), address, *http_, row);
        } catch (const std::exception&) {
            dropConnection();
            newConnection();
            pauseFor(kFailedPagePauseMs);
        }
        try {
            news_->downloadMedia(exec_->types(), row, *http_);
        } catch (const std::exception&) {
        }
    }
}

void TtaskThread::handOver(const std::vector<std::string>& row)
{
    if (config_.taktype == 0) {
        // Company directories are read slowly, one row at a time, as a person would.
        thread_local std::mt19937 rng{std::random_device{}()};
        pauseFor(500 + static_cast<int>(rng() % 1000));
    }
    waitWhilePaused();
    if (shouldEnd())
        return;
    queue_.handOverRows({row});
}

} // namespace tarvimo::engine
