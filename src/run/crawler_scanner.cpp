#include "run/crawler_scanner.h"

#include <QTimer>

namespace tarvimo::run {

namespace {

std::string lines(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& w : words)
        out += w + "\n";
    return out;
}

} // namespace

CrawlerScanner::CrawlerScanner(const std::string& home, UserMessages& messages)
    : scan_(std::make_unique<crawler::THttpScan>(home, &messages))
{
    scan_->LogEnabled = false;
    scan_->OnLinkFound = [this](crawler::THttpScan&, crawler::LinkFoundEvent& e) {
        if (events_)
            events_->scanLinkFound(e.UrlFound);
    };
    scan_->OnUpdatedStats = [this](crawler::THttpScan&, const crawler::PoolStatistics& s) {
        if (events_)
            events_->scanUpdatedStats(engine::ScanStats{s.retries});
    };
    scan_->OnWorking = [this](crawler::TMFDwnld&, bool working) {
        if (events_)
            events_->scanWorking(working);
    };
    scan_->OnError = [this](crawler::TMFDwnld&, const std::string& url, std::uint32_t, const std::string&) {
        if (events_)
            events_->scanError(url);
    };
}

CrawlerScanner::~CrawlerScanner() = default;

void CrawlerScanner::configure(const Setup& setup)
{
    scan_->setDepthSearchLevel(setup.depth);
    scan_->setConcurrentDownloads(setup.concurrentDownloads);
    scan_->setFileOfResults(setup.resultsFile);
    scan_->KeywordsLimiterEnabled = true;
    scan_->setKeywordsLimiter(lines(setup.limiterWords));
    scan_->KeywordsFilterEnabled = setup.filterEnabled;
    scan_->setKeywordsFilter(lines(setup.filterWords));
}

void CrawlerScanner::start(const std::string& url)
{
    if (scan_->Start(url))
        return;
    QTimer::singleShot(0, scan_.get(), [this] {
        if (events_ && !scan_->Working())
            events_->scanWorking(false);
    });
}

} // namespace tarvimo::run
