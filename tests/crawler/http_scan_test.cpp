// The scan controller crawling local sites: what it fetches (each page once, down to the
// depth), what it reports and writes, its settings, its events and its stop.
#include "crawler/http_scan.h"

#include "base/files.h"
#include "base/messages.h"
#include "support/local_http_server.h"
#include "support/raw_sockets.h"
#include "support/spin.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <map>
#include <set>

using namespace tarvimo;
using namespace tarvimo::crawler;
using fixtures::LocalHttpServer;

namespace {

struct Found {
    std::string link, type, from;
    char hrefOrSrc;
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Found& f)
{
    return os << "{" << f.link << ", " << f.type << ", " << f.from << ", '" << f.hrefOrSrc << "'}";
}

class Scan : public ::testing::Test {
protected:
    Scan() : scan(dir.path(), &messages)
    {
        scan.setTickIntervalMs(5);
        scan.setFileOfResults(dir.file("results.txt"));
        scan.OnLinkFound = [this](THttpScan&, LinkFoundEvent& e) {
            found.push_back({e.UrlFound, e.TypeLink, e.FromUrl, e.HrefOrSrc});
            if (onLink)
                onLink(e);
        };
        scan.OnWorking = [this](TMFDwnld&, bool w) { working.push_back(w); };
        scan.OnError = [this](TMFDwnld&, const std::string& url, std::uint32_t code, const std::string&) {
            errors.push_back(url + " " + std::to_string(code));
        };
    }
    void crawl(const std::string& url)
    {
        ASSERT_TRUE(scan.Start(url));
        ASSERT_TRUE(test::spinUntil([&] { return !scan.Working(); })) << "the scan did not end";
    }
    // How often each path was asked for.
    std::map<std::string, int> fetches(const LocalHttpServer& server) const
    {
        std::map<std::string, int> n;
        for (const auto& r : server.requests())
            ++n[r.path];
        return n;
    }
    std::set<std::string> links() const
    {
        std::set<std::string> s;
        for (const auto& f : found)
            s.insert(f.link);
        return s;
    }
    std::string results() const { return files::readAll(dir.file("results.txt")); }

    test::TempDir dir;
    RecordedMessages messages;
    THttpScan scan;
    std::vector<Found> found;
    std::vector<bool> working;
    std::vector<std::string> errors;
    std::function<void(LinkFoundEvent&)> onLink;
};

} // namespace

TEST_F(Scan, EachPageOfALinkGraphWithCyclesIsFetchedAndReportedOnce)
{
    LocalHttpServer server;
    // Self-links, links back, another letter case, fragments, a link written three ways.
    server.setPage("/index.html", "<a href=\"a.html\">a</a> <A HREF=b.html>b</A> <a href='index.html'>me</a>"
                                  "<a href=\"A.HTML\">A</a> <a href=\"a.html#top\">a again</a>");
    server.setPage("/a.html", "<a href=\"/index.html\">home</a> <a href=\"b.html\">b</a> <a href=\"a.html\">self</a>"
                              "<a href=\"c/\">c</a>");
    server.setPage("/b.html", "<a href=\"a.html\">a</a> <a href=\"./c/#x\">c</a> <img src=\"logo.gif\">");
    server.setPage("/c/", "<a href=\"../index.html\">up</a> <a href=\"../b.html\">b</a>");
    scan.setConcurrentDownloads(1);   // one download at a time: the order of the reports is fixed
    crawl(server.url("/index.html"));

    const auto n = fetches(server);
    EXPECT_EQ(n, (std::map<std::string, int>{{"/index.html", 1}, {"/a.html", 1}, {"/b.html", 1}, {"/c/", 1}}));
    const std::string u = server.url("");
    EXPECT_EQ(found, (std::vector<Found>{{u + "/a.html", "htm", u + "/index.html", 'H'},
                                         {u + "/b.html", "htm", u + "/index.html", 'H'},
                                         {u + "/c/", "htm", u + "/a.html", 'H'},
                                         {u + "/logo.gif", "gif", u + "/b.html", 'S'}}));
    EXPECT_EQ(results(), "\"htm\";\"" + u + "/a.html\"\n\"htm\";\"" + u + "/b.html\"\n\"htm\";\"" + u +
                             "/c/\"\n\"gif\";\"" + u + "/logo.gif\"\n");
    EXPECT_EQ(working, (std::vector<bool>{true, false}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(Scan, NoPageBeyondTheDepthIsFetched)
{
    LocalHttpServer server;
    server.setPage("/d1.html", "<a href=d2.html>2</a> <a href=other.html>o</a>");
    server.setPage("/d2.html", "<a href=d3.html>3</a>");
    server.setPage("/d3.html", "<a href=d4.html>4</a>");
    server.setPage("/other.html", "<p>o</p>");
    scan.setDepthSearchLevel(2);
    crawl(server.url("/d1.html"));
    EXPECT_EQ(fetches(server), (std::map<std::string, int>{{"/d1.html", 1}, {"/d2.html", 1}, {"/other.html", 1}}));
    EXPECT_EQ(links(), (std::set<std::string>{server.url("/d2.html"), server.url("/other.html"), server.url("/d3.html")}))
        << "the link at the limit is reported, not fetched";

    // Depth 1: only the starting page; everything on it reported, nothing queued.
    found.clear();
    LocalHttpServer second;
    second.setPage("/d1.html", "<a href=d2.html>2</a> <a href=other.html>o</a>");
    scan.setDepthSearchLevel(1);
    crawl(second.url("/d1.html"));
    EXPECT_EQ(fetches(second), (std::map<std::string, int>{{"/d1.html", 1}}));
    EXPECT_EQ(links(), (std::set<std::string>{second.url("/d2.html"), second.url("/other.html")}));
}

TEST_F(Scan, LinksOfOtherSitesFollowTheScanAndReportSettings)
{
    LocalHttpServer home, other;
    // "localhost" is another site than 127.0.0.1 by the site rule.
    const std::string away = "http://localhost:" + std::to_string(other.port()) + "/away.html";
    home.setPage("/index.html", "<a href=\"" + away + "\">away</a> <a href=\"local.html\">local</a>");
    home.setPage("/local.html", "<p>l</p>");
    other.setPage("/away.html", "<p>a</p>");
    scan.LinkReport = reportCurrentSiteLinks;
    crawl(home.url("/index.html"));
    EXPECT_EQ(links(), std::set<std::string>{home.url("/local.html")});
    EXPECT_EQ(results().find("away"), std::string::npos) << "not written either";
    EXPECT_EQ(other.requestCount(), 1u) << "but followed, with every link allowed to be scanned";

    found.clear();
    LocalHttpServer third;
    third.setPage("/index.html", "<a href=\"" + away + "\">away</a>");
    scan.LinkScan = scanInitialSite;
    crawl(third.url("/index.html"));
    EXPECT_EQ(other.requestCount(), 1u) << "only the first site is scanned";
}

TEST_F(Scan, TheTypeFilterAndTheHandlerDecideWhatIsReportedWrittenAndQueued)
{
    LocalHttpServer server;
    server.setPage("/index.html", "<a href=page.html>p</a> <img src=pic.gif> <a href=keep.html>k</a> "
                                  "<a href=own.html>o</a>");
    server.setPage("/page.html", "<p></p>");
    server.setPage("/keep.html", "<p></p>");
    server.setPage("/own.html", "<p></p>");
    scan.TypeFilterEnabled = true;
    crawl(server.url("/index.html"));
    ASSERT_EQ(found.size(), 1u) << "only the gif raises the event";
    EXPECT_EQ(found[0].type, "gif");
    EXPECT_NE(results().find("\"htm\";\"" + server.url("/page.html") + "\""), std::string::npos)
        << "an html link is still written: " << results();

    found.clear();
    LocalHttpServer second;
    second.setPage("/index.html", "<a href=page.html>p</a> <a href=keep.html>k</a> <a href=own.html>o</a>");
    for (const char* p : {"/page.html", "/keep.html", "/own.html"})
        second.setPage(p, "<p></p>");
    scan.TypeFilterEnabled = false;
    onLink = [](LinkFoundEvent& e) {
        if (e.UrlFound.ends_with("page.html")) {
            e.WriteToFile.clear();
            e.FollowIfHtmlLink = false;
        } else if (e.UrlFound.ends_with("own.html")) {
            e.WriteToFile = "own line";
        }
    };
    crawl(second.url("/index.html"));
    EXPECT_EQ(results(), "\"htm\";\"" + second.url("/keep.html") + "\"\nown line\n");
    EXPECT_EQ(fetches(second).count("/page.html"), 0u) << "kept out of the queue by the handler";
    EXPECT_EQ(fetches(second).count("/keep.html"), 1u);
}

TEST_F(Scan, KeywordListsFilterAndLimitLinks)
{
    LocalHttpServer server;
    server.setPage("/index.html", "<a href=shop/a.html>a</a> <a href=shop/stats.html>s</a> <a href=news/b.html>n</a>");
    scan.setDepthSearchLevel(1);
    scan.KeywordsFilterEnabled = true;   // the default words: track, hitbox, referer, stat, count
    scan.KeywordsLimiterEnabled = true;
    scan.setKeywordsLimiter("SHOP\n\n");
    EXPECT_EQ(scan.KeywordsLimiter().count(), 1u);
    EXPECT_EQ(scan.KeywordsLimiter()[0], "shop") << "lower-cased, empty lines dropped";
    crawl(server.url("/index.html"));
    EXPECT_EQ(links(), std::set<std::string>{server.url("/shop/a.html")});
}

TEST_F(Scan, SettersKeepTheirRules)
{
    EXPECT_EQ(scan.TimeOut(), 300);
    scan.setTimeOut(5);
    EXPECT_EQ(scan.TimeOut(), 300);
    scan.setTimeOut(10);
    EXPECT_EQ(scan.TimeOut(), 10);
    scan.setMaxQueueSize(9);
    EXPECT_EQ(scan.MaxQueueSize(), 5000);
    scan.setRetries(0);
    EXPECT_EQ(scan.Retries(), 3);
    scan.setDepthSearchLevel(0);
    EXPECT_EQ(scan.DepthSearchLevel(), 3);
    scan.setConcurrentDownloads(0);
    EXPECT_EQ(scan.ConcurrentDownloads(), 6);
    EXPECT_EQ(scan.Agent(), "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)");
    EXPECT_EQ(scan.ProxyType(), PROXY_DEFAULT);
    EXPECT_EQ(scan.KeywordsFilter().count(), 5u);

    THttpScan fresh(dir.path());
    EXPECT_EQ(fresh.FileOfResults(), dir.file("Download/results.txt")) << "the default lands in the home";
    fresh.setFileOfResults("links.txt");
    EXPECT_EQ(fresh.FileOfResults(), dir.file("Download/links.txt"));
    fresh.setFileOfResults("c:\\scans\\links.txt");
    EXPECT_EQ(fresh.FileOfResults(), dir.file("scans/links.txt"));
    fresh.setFileOfResults("/tmp/x/links.txt");
    EXPECT_EQ(fresh.FileOfResults(), "/tmp/x/links.txt");
    fresh.setFileOfResults("");
    EXPECT_EQ(fresh.FileOfResults(), "");
}

TEST_F(Scan, AStartThatCannotBeginSaysWhyAndQueuesNothing)
{
    test::writeFile(dir.file("plain"), "x");
    scan.setFileOfResults(dir.file("plain/results.txt"));
    EXPECT_FALSE(scan.Start("http://127.0.0.1:1/"));
    THttpScan other(dir.path(), &messages);
    other.setFileOfResults("");
    EXPECT_FALSE(other.Start());
    EXPECT_FALSE(other.Start("no scheme here"));
    EXPECT_FALSE(other.Working());
    const std::vector<RecordedMessages::Entry> expected{
        {RecordedMessages::Entry::Warning, "unable to create file: " + dir.file("plain/results.txt")},
        {RecordedMessages::Entry::Warning, "no URL specified"},
        {RecordedMessages::Entry::Warning, "Invalid Url : no scheme here"}};
    EXPECT_EQ(messages.entries, expected);
    EXPECT_FALSE(scan.Working());
    EXPECT_TRUE(working.empty());
    EXPECT_FALSE(scan.Stop()) << "no scan runs";
}

TEST_F(Scan, RobotsTxtIsAskedOfEachNewHostAndReported)
{
    LocalHttpServer server;
    server.setPage("/index.html", "<a href=a.html>a</a> <a href=b.html>b</a>");
    server.setPage("/a.html", "<p></p>");
    server.setPage("/b.html", "<p></p>");
    server.setPage("/robots.txt", "<p>User-agent: *</p>");   // as HTML, so it is read
    scan.SeekRobotsTxt = true;
    crawl(server.url("/index.html"));
    EXPECT_EQ(fetches(server)["/robots.txt"], 1);
    EXPECT_TRUE(links().contains(server.url("/robots.txt")));
    const auto it = std::find_if(found.begin(), found.end(), [](const Found& f) { return f.type == "txt"; });
    EXPECT_NE(it, found.end());
}

TEST_F(Scan, TitleMetaTagsRefreshAndBaseAddress)
{
    LocalHttpServer server;
    server.setPage("/index.html",
                   "<HTML><HEAD><TITLE>The Title</TITLE>\n<META NAME=\"Keywords\" CONTENT=\"a b\">\n"
                   "<meta http-equiv=\"refresh\" content=\"0; URL=moved.html\"></HEAD>"
                   "<body><base href=\"" + server.url("/sub/") + "\"><a href=x.html>x</a></body></HTML>");
    server.setPage("/moved.html", "<p></p>");
    server.setPage("/sub/x.html", "<p></p>");
    std::vector<std::string> tags;
    scan.OnMetaTag = [&](THttpScan&, const MetaTagEvent& e) {
        tags.push_back(e.TagType + "|" + e.Tag1stAttrib + "=" + e.Tag1stValue + "|" + e.Tag2ndAttrib + "=" + e.Tag2ndValue);
    };
    crawl(server.url("/index.html"));
    ASSERT_GE(tags.size(), 3u);
    EXPECT_EQ(tags[0], "TITLE|TITLE=The Title|=");
    EXPECT_EQ(tags[1], "META|NAME=Keywords|CONTENT=a b");
    EXPECT_EQ(fetches(server)["/moved.html"], 1) << "the refresh target is fetched";
    const auto x = std::find_if(found.begin(), found.end(), [&](const Found& f) { return f.link == server.url("/sub/x.html"); });
    ASSERT_NE(x, found.end()) << "a link after the base resolves against it";
    EXPECT_EQ(x->from, server.url("/sub/")) << "and names the base as its page";
    EXPECT_EQ(fetches(server)["/sub/x.html"], 1);
}

TEST_F(Scan, ANewScanReportsLinksAgainAndAnotherStartJoinsARunningScan)
{
    LocalHttpServer server;
    server.setPage("/a.html", "<a href=x.html>x</a>");
    server.setPage("/b.html", "<a href=y.html>y</a>");
    scan.setDepthSearchLevel(1);
    crawl(server.url("/a.html"));
    crawl(server.url("/a.html"));
    EXPECT_EQ(found.size(), 2u) << "the visited set is emptied when a scan ends";

    found.clear();
    ASSERT_TRUE(scan.Start(server.url("/a.html")));
    ASSERT_TRUE(scan.Start(server.url("/b.html")));
    ASSERT_TRUE(test::spinUntil([&] { return !scan.Working(); }));
    EXPECT_EQ(links(), (std::set<std::string>{server.url("/x.html"), server.url("/y.html")}));
    EXPECT_EQ(std::count(working.begin(), working.end(), false), 3) << "one scan each time";
}

// Every kind of misbehaving server, stopped in the middle: the stop is prompt, the scan
// ends, what was written stays, and nothing is reported after it.
TEST_F(Scan, AStopInTheMiddleEndsPromptlyWhateverTheServerDoes)
{
    LocalHttpServer server;
    server.on("GET", "/endless.html", [&server](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [&server](std::size_t, httplib::DataSink& sink) {
            static const std::string block(4096, 'x');
            return server.pause(std::chrono::milliseconds(1)) && sink.write(block.data(), block.size());
        });
    });
    server.on("GET", "/html-status/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.path.substr(13));
        res.set_content("<p></p>", "text/html");
    });
    fixtures::RefusingPort refusing;
    fixtures::RawSocketServer resetting("", fixtures::RawSocketServer::Ending::Reset);
    const std::vector<std::string> bad{server.url("/stall-headers"), server.url("/stall?bytes=10"),
                                       server.url("/endless.html"), server.url("/html-status/500"),
                                       server.url("/html-status/401"), server.url("/html-status/404"),
                                       server.url("/redirect-loop"), refusing.url("/x.html"),
                                       resetting.url("/x.html")};
    for (const std::string& url : bad) {
        SCOPED_TRACE(url);
        LocalHttpServer site;
        std::string page = "<a href=\"" + url + "\">bad</a>";
        for (int i = 0; i < 30; ++i)
            page += " <a href=p" + std::to_string(i) + ".html>p</a>";
        site.setPage("/index.html", page);
        site.on("GET", "/p[0-9]+.html", [&site](const httplib::Request&, httplib::Response& res) {
            site.pause(std::chrono::milliseconds(50));
            res.set_content("<a href=index.html>i</a>", "text/html");
        });
        scan.setConcurrentDownloads(2);
        errors.clear();
        ASSERT_TRUE(scan.Start(site.url("/index.html")));
        ASSERT_TRUE(test::spinUntil([&] { return site.requestCount() >= 3; }));
        EXPECT_TRUE(scan.Stop());
        EXPECT_FALSE(scan.Stop()) << "a stop is already under way";
        const std::size_t reported = found.size();
        const std::vector<std::string> errorsBefore = errors;
        const auto stopped = std::chrono::steady_clock::now();
        ASSERT_TRUE(test::spinUntil([&] { return !scan.Working(); }, 10000));
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
        EXPECT_EQ(found.size(), reported) << "nothing reported after the stop";
        EXPECT_LT(site.requestCount(), 31u) << "the queue was emptied";
        EXPECT_EQ(errors, errorsBefore) << "a stop is no error";
        const std::string written = results();
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), static_cast<long>(reported))
            << "every reported link is in the results file";
        found.clear();
    }
}
