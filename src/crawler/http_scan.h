// THttpScan: the link-scanning crawler. From one or more starting addresses it downloads
// pages through its download pool, finds the links in each page by markers, reports every
// new link (OnLinkFound), writes a results file and queues the HTML links it may follow,
// down to a depth limit.
//
// Threads: everything here runs on the thread that owns the object (the Qt main thread):
// its 200 ms timer, the pool's reports and every event. Handlers must not block for long.
#pragma once

#include "crawler/download_pool.h"
#include "crawler/url_lists.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace tarvimo {
class UserMessages;
}

namespace tarvimo::crawler {

enum TProxyType { PROXY_DIRECT, PROXY_USEPROXY, PROXY_DEFAULT };
enum TLinkScan { scanAllLinks, scanInitialSite, scanInitialPath };
enum TLinkReport { reportAllLinks, reportCurrentSiteLinks, reportCurrentPathLinks };

struct LinkFoundEvent {
    std::string UrlFound, TypeLink, FromUrl, HostName, UrlPath, UrlPathWithFile, ExtraInfos;
    std::string WriteToFile;       // in and out: "x" writes the standard results line
    char HrefOrSrc = ' ';          // 'H' for an href, 'S' for a src, blank otherwise
    int CountArea = 0;
    bool FollowIfHtmlLink = true;  // in and out: false keeps the link out of the queue
};

struct MetaTagEvent {
    std::string Url, ReferringUrl, TagType;
    std::string Tag1stAttrib, Tag1stValue, Tag2ndAttrib, Tag2ndValue, Tag3rdAttrib, Tag3rdValue;
};

class THttpScan : public QObject, private PoolEvents {
    Q_OBJECT
public:
    // 'home' is the folder whose Download/ folder takes a results file given by name only;
    // 'messages' shows the start's problems (null: standard error).
    explicit THttpScan(std::string home, UserMessages* messages = nullptr, QObject* parent = nullptr);
    ~THttpScan() override;

    // ---- Published properties (setters keep the rules; invalid values are ignored) ----
    int TimeOut() const { return pool_.settings().timeOutSeconds; }
    void setTimeOut(int seconds);                   // below 10 ignored
    const std::string& FileOfResults() const { return fileOfResults_; }
    void setFileOfResults(const std::string& value); // a bare name goes to home/Download/
    bool LeavesFirst() const { return pool_.settings().leavesFirst; }
    void setLeavesFirst(bool on) { pool_.settings().leavesFirst = on; }
    const std::string& UserName() const { return pool_.settings().userName; }
    void setUserName(const std::string& v) { pool_.settings().userName = v; }
    const std::string& Password() const { return pool_.settings().password; }
    void setPassword(const std::string& v) { pool_.settings().password = v; }
    const std::string& Agent() const { return pool_.settings().agent; }
    void setAgent(const std::string& v) { pool_.settings().agent = v; }
    std::string Referer;
    std::string StartingUrl;
    int HttpPort = 80;
    int Retries() const { return pool_.settings().retries; }
    void setRetries(int n);                         // below 1 ignored
    TLinkScan LinkScan = scanAllLinks;
    TLinkReport LinkReport = reportAllLinks;
    int DepthSearchLevel() const { return pool_.settings().depthLimit; }
    void setDepthSearchLevel(int n);                // below 1 ignored
    bool TypeFilterEnabled = false;
    bool KeywordsFilterEnabled = false;
    bool KeywordsLimiterEnabled = false;
    TProxyType ProxyType() const { return static_cast<TProxyType>(pool_.settings().proxyType); }
    void setProxyType(TProxyType t) { pool_.settings().proxyType = static_cast<int>(t); }
    const std::string& ProxyAddress() const { return pool_.settings().proxyAddress; }
    void setProxyAddress(const std::string& v) { pool_.settings().proxyAddress = v; }
    int ProxyPort() const { return pool_.settings().proxyPort; }
    void setProxyPort(int p) { pool_.settings().proxyPort = p; }
    const std::string& ProxyUser() const { return pool_.settings().proxyUser; }
    void setProxyUser(const std::string& v) { pool_.settings().proxyUser = v; }
    const std::string& ProxyPassword() const { return pool_.settings().proxyPassword; }
    void setProxyPassword(const std::string& v) { pool_.settings().proxyPassword = v; }
    int MaxQueueSize() const { return maxQueueSize_; }
    void setMaxQueueSize(int n);                    // below 10 ignored
    bool SeekRobotsTxt = false;
    int ConcurrentDownloads() const { return pool_.settings().slotCount; }
    void setConcurrentDownloads(int n);             // below 1 ignored

    // ---- Further settings ----
    // One keyword per line; lower-cased and sorted, empty lines dropped.
    void setKeywordsFilter(const std::string& lines);
    void setKeywordsLimiter(const std::string& lines);
    const TMFStringList& KeywordsFilter() const { return filter_; }
    const TMFStringList& KeywordsLimiter() const { return limiter_; }
    bool LogEnabled = false;
    // Largest body or head a download may have.
    void setMaxPageBytes(std::size_t bytes) { pool_.settings().maxBodyBytes = bytes; }
    // The pacing timer's interval; 200 ms unless a test or a measurement changes it.
    void setTickIntervalMs(int ms) { timer_.setInterval(ms); }

    // ---- Events ----
    std::function<void(THttpScan&, const MetaTagEvent&)> OnMetaTag;
    std::function<void(THttpScan&, LinkFoundEvent&)> OnLinkFound;
    std::function<void(THttpScan&, const std::string& host, const std::string& url, const std::string& head,
                       const std::string& body)>
        OnPageReceived;
    std::function<void(THttpScan&, const PoolStatistics&)> OnUpdatedStats;
    std::function<void(THttpScan&, const std::string&)> OnLog;
    std::function<void(TMFDwnld&, const std::string& url, std::uint32_t code, const std::string& message)> OnError;
    std::function<void(TMFDwnld&, bool working)> OnWorking;

    // ---- Control ----
    bool Start(const std::string& url = {});
    bool Stop();
    bool Working() const { return pool_.working(); }
    bool Stopping() const { return pool_.stopping(); }
    // One pacing step, as the timer runs it.
    void tick();

private:
    // PoolEvents
    void pageDone(const DownloadedPage& page) override;
    void headerComplete(const std::string& url, long status, const std::string& header) override;
    void downloadError(TMFDwnld& pool, const std::string& urlText, std::uint32_t code,
                       const std::string& message) override;
    void logLine(const std::string& line) override;
    void workingChanged(TMFDwnld& pool, bool working) override;
    void statistics(const PoolStatistics& stats) override;

    struct PageContext {
        TCrackUrl split;   // the page, or its base address once one was read
        std::string url;
        int depth = 1;
    };
    void foundLink(PageContext& page, const std::string& value, char kind);
    void metaTags(const DownloadedPage& page);
    void log(const std::string& line);
    bool openResults();
    void closeResults();
    void writeResult(const std::string& line);
    void message(const std::string& text);

    std::string home_;
    UserMessages* messages_;
    TMFDwnld pool_;
    QTimer timer_;
    std::string fileOfResults_;
    std::FILE* results_ = nullptr;
    int maxQueueSize_ = 5000;
    TCrackUrl start_;
    TMFStringList visited_, hosts_, filter_, limiter_, types_;
    bool inStart_ = false, inTick_ = false;
};

} // namespace tarvimo::crawler
