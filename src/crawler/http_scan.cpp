#include "crawler/http_scan.h"

#include "base/files.h"
#include "base/messages.h"
#include "crawler/ascii.h"
#include "crawler/page_scan.h"

#include <algorithm>

namespace tarvimo::crawler {

namespace {

using ascii::lowerCase;

bool anyWordIn(const TMFStringList& words, const std::string& text)
{
    for (std::size_t i = 0; i < words.count(); ++i)
        if (text.find(words[i]) != std::string::npos)
            return true;
    return false;
}

// Sets a flag for its lifetime, so a handler that calls back in does not start over.
class ReentryGuard {
public:
    explicit ReentryGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~ReentryGuard() { flag_ = false; }
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;

private:
    bool& flag_;
};

void setWords(TMFStringList& list, const std::string& lines)
{
    list.setText(lowerCase(lines));
    list.Sort();
}

} // namespace

THttpScan::THttpScan(std::string home, UserMessages* messages, QObject* parent)
    : QObject(parent), home_(std::move(home)), messages_(messages), pool_(*this)
{
    PoolSettings& s = pool_.settings();
    s.agent = "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";
    s.slotCount = 6;
    s.depthLimit = 3;
    s.htmlMode = true;
    setFileOfResults("results.txt");
    visited_.reserve(32000);
    hosts_.reserve(10000);
    setKeywordsFilter("track\nhitbox\nreferer\nstat\ncount");
    types_.add("gif");
    timer_.setInterval(200);
    connect(&timer_, &QTimer::timeout, this, &THttpScan::tick);
    timer_.start();
}

THttpScan::~THttpScan()
{
    timer_.stop();
    closeResults();
}

// ---- Properties -----------------------------------------------------------------------

void THttpScan::setTimeOut(int seconds)
{
    if (seconds >= 10)
        pool_.settings().timeOutSeconds = seconds;
}

void THttpScan::setFileOfResults(const std::string& value)
{
    if (value.empty()) {
        fileOfResults_.clear();
        return;
    }
    if (value.find('/') == std::string::npos && value.find('\\') == std::string::npos) {
        fileOfResults_ = files::joinPath(files::joinPath(home_, "Download"), value);
        return;
    }
    if (value.find('\\') == std::string::npos) {
        fileOfResults_ = value[0] == '/' ? value : files::joinPath(home_, value);
        return;
    }
    // A Windows path: its separators turned and its drive dropped, taken from the home.
    std::string path = value;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && path[1] == ':')
        path.erase(0, 2);
    while (!path.empty() && path[0] == '/')
        path.erase(0, 1);
    fileOfResults_ = files::joinPath(home_, path);
}

void THttpScan::setRetries(int n)
{
    if (n >= 1)
        pool_.settings().retries = n;
}

void THttpScan::setDepthSearchLevel(int n)
{
    if (n >= 1)
        pool_.settings().depthLimit = n;
}

void THttpScan::setMaxQueueSize(int n)
{
    if (n >= 10)
        maxQueueSize_ = n;
}

void THttpScan::setConcurrentDownloads(int n)
{
    // Each slot holds one connection of its own, so n slots never open more than n
    // connections to one server: the connection limit follows from the slot count.
    if (n >= 1)
        pool_.settings().slotCount = n;
}

void THttpScan::setKeywordsFilter(const std::string& lines) { setWords(filter_, lines); }
void THttpScan::setKeywordsLimiter(const std::string& lines) { setWords(limiter_, lines); }

// ---- Start and stop ---------------------------------------------------------------------

void THttpScan::message(const std::string& text)
{
    if (messages_) {
        messages_->warning(text);
    } else {
        StderrMessages fallback;
        fallback.warning(text);
    }
}

bool THttpScan::openResults()
{
    const std::string dir = files::dirName(fileOfResults_);
    if (!dir.empty())
        files::makeDirs(dir);
    results_ = std::fopen(fileOfResults_.c_str(), "wb");
    return results_ != nullptr;
}

void THttpScan::closeResults()
{
    if (results_) {
        std::fclose(results_);
        results_ = nullptr;
    }
}

void THttpScan::writeResult(const std::string& line)
{
    if (!results_)
        return;
    std::fwrite(line.data(), 1, line.size(), results_);
    std::fputc('\n', results_);
}

bool THttpScan::Start(const std::string& url)
{
    if (inStart_)
        return true;
    const ReentryGuard guard(inStart_);

    if (!url.empty())
        StartingUrl = url;
    if (!pool_.stopping() && !results_ && !fileOfResults_.empty() && !openResults()) {
        message("unable to create file: " + fileOfResults_);
        return false;
    }
    if (StartingUrl.empty()) {
        message("no URL specified");
        return false;
    }
    if (!start_.Crack(StartingUrl)) {
        message("Invalid Url : " + StartingUrl);
        return false;
    }
    if (!visited_.FindOrAdd(StartingUrl, true, 1).found) {
        pool_.add(StartingUrl, StartingUrl, 1, 0, ' ', true, 0);
    }
    return true;
}

bool THttpScan::Stop()
{
    if (!pool_.working() || pool_.stopping())
        return false;
    closeResults();
    pool_.stop();
    return true;
}

void THttpScan::tick()
{
    if (inTick_)
        return;
    const ReentryGuard guard(inTick_);
    if (!pool_.working())
        return;
    pool_.tick();
    if (results_)
        std::fflush(results_);   // what was reported is on disk however the program ends
    if (!pool_.idleCheck()) {
        closeResults();
        pool_.setWorking(false);
    }
}

// ---- Pool reports -----------------------------------------------------------------------

void THttpScan::workingChanged(TMFDwnld& pool, bool working)
{
    if (!working) {
        // Emptied first, so a handler that starts the next scan starts it afresh.
        visited_.clear();
        hosts_.clear();
    }
    if (OnWorking)
        OnWorking(pool, working);
}

void THttpScan::statistics(const PoolStatistics& stats)
{
    if (OnUpdatedStats)
        OnUpdatedStats(*this, stats);
}

void THttpScan::downloadError(TMFDwnld& pool, const std::string& urlText, std::uint32_t code,
                              const std::string& msg)
{
    if (OnError)
        OnError(pool, urlText, code, msg);
}

void THttpScan::log(const std::string& line)
{
    if (LogEnabled && OnLog)
        OnLog(*this, line);
}

void THttpScan::logLine(const std::string& line) { log(line); }

void THttpScan::headerComplete(const std::string& url, long status, const std::string&)
{
    log("html head complete (" + std::to_string(status) + "):" + url);
}

void THttpScan::pageDone(const DownloadedPage& page)
{
    if (OnPageReceived)
        OnPageReceived(*this, page.split.HostName(), page.url, page.header, page.body);
    if (OnMetaTag)
        metaTags(page);
    log("page received, processing:" + page.url);

    PageContext ctx{page.split, page.url, page.object.depth};
    std::string lowerUrl = lowerCase(page.url);
    if (lowerUrl.ends_with("robots.txt"))
        foundLink(ctx, page.url, ' ');
    scanPage(page.body, [&](const FoundValue& v) {
        if (pool_.stopping())
            return false;
        if (v.kind == kBaseAddress) {
            // Later relative links resolve against the base, and name it as their page.
            TCrackUrl base;
            if (base.Crack(v.value)) {
                ctx.split = base;
                ctx.url = v.value;
            }
        }
        foundLink(ctx, v.value, v.kind);
        return true;
    });
}

void THttpScan::foundLink(PageContext& page, const std::string& value, char kind)
{
    const ResolvedLink resolved = ResolveLink(page.split, value);
    std::string link = resolved.link;
    if (link.empty())
        return;
    const std::string lower = lowerCase(link);
    if (KeywordsFilterEnabled && !filter_.empty() && anyWordIn(filter_, lower))
        return;
    if (KeywordsLimiterEnabled && !limiter_.empty() && !anyWordIn(limiter_, lower))
        return;

    std::string type = resolved.type;
    bool http = false;
    TCrackUrl split;
    if (type != "mail") {
        const LinkClass cls = ClassifyLink(link);
        type = cls.type;
        if (type == "unknown")
            return;
        http = cls.scheme.starts_with("http");
        if (http) {
            if (link.ends_with(')'))
                link.pop_back();
            if (!split.Crack(link))
                return;
        }
    }
    bool newHost = false;
    if (http && !hosts_.FindOrAdd(split.HostName(), true).found)
        newHost = true;
    if (visited_.FindOrAdd(link, true, 0).found)
        return;

    const bool sameSiteStart = http && split.SiteDomain() == start_.SiteDomain();
    const bool sameSitePage = http && split.SiteDomain() == page.split.SiteDomain();
    const bool insideStartPath = sameSiteStart && link.find(start_.DirectoryPath()) != std::string::npos;
    const bool insidePagePath = sameSitePage && link.find(page.split.DirectoryPath()) != std::string::npos;
    const bool mayScan = LinkScan == scanAllLinks || (LinkScan == scanInitialSite && sameSiteStart)
                         || (LinkScan == scanInitialPath && insideStartPath);
    const bool report = LinkReport == reportAllLinks || (LinkReport == reportCurrentSiteLinks && sameSitePage)
                        || (LinkReport == reportCurrentPathLinks && insidePagePath);

    // The marker kind as the event and the queue name it.
    const char linkKind = kind == kLinkAttribute ? 'H' : kind == kEmbedAttribute ? 'S' : ' ';
    LinkFoundEvent e;
    if (report) {
        e.WriteToFile = "x";
        e.HrefOrSrc = linkKind;
        if (!TypeFilterEnabled || types_.FindOrAdd(type, false).found) {
            e.UrlFound = link;
            e.TypeLink = type;
            e.FromUrl = page.url;
            if (http) {
                e.HostName = split.HostName();
                e.UrlPath = split.DirectoryPath();
                e.UrlPathWithFile = split.UrlPath();
                e.ExtraInfos = split.ExtraInfo();
            }
            if (OnLinkFound)
                OnLinkFound(*this, e);
        }
        if (e.WriteToFile == "x")
            writeResult("\"" + type + "\";\"" + link + "\"");
        else if (!e.WriteToFile.empty())
            writeResult(e.WriteToFile);
    }

    if (!e.FollowIfHtmlLink || !http)
        return;
    const auto entry = visited_.FindOrAdd(link, false);
    if (type != "htm") {
        if (entry.found)
            visited_.setObject(static_cast<std::size_t>(entry.index), 0);
        return;
    }
    if (entry.found)
        visited_.setObject(static_cast<std::size_t>(entry.index), 1);
    if (!mayScan)
        return;
    if (newHost && SeekRobotsTxt) {
        std::string robots = split.Scheme() + "://" + split.HostName();
        if (split.Port() != TCrackUrl::defaultPort(split.Scheme()))
            robots += ":" + std::to_string(split.Port());
        pool_.add(robots + "/robots.txt", "", page.depth + 1, pool_.settings().retries, linkKind, true, 0);
    }
    if (static_cast<int>(pool_.queueLength()) < maxQueueSize_ && page.depth < pool_.settings().depthLimit
        && !pool_.stopping())
        pool_.add(link, page.url, page.depth + 1, 0, linkKind, true, 0);
}

void THttpScan::metaTags(const DownloadedPage& page)
{
    const HeadInfo head = readHead(page.body);
    for (const MetaTag& m : head.tags) {
        MetaTagEvent e{page.url, page.object.referrer, m.type, m.attrib[0], m.value[0], m.attrib[1],
                       m.value[1], m.attrib[2], m.value[2]};
        if (OnMetaTag)
            OnMetaTag(*this, e);
    }
    for (const std::string& target : head.refresh) {
        // Resolved like any link of the page, so a path is not glued onto a file name.
        const std::string link = ResolveLink(page.split, target).link;
        if (link.empty() || visited_.FindOrAdd(link, true, 1).found)
            continue;
        pool_.add(link, page.url, page.object.depth, 0, 'H', true, 0);
    }
}

} // namespace tarvimo::crawler
