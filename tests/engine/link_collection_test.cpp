#include "engine/get_url_list.h"
#include "engine/link_collection.h"

#include "support/local_http_server.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace tarvimo;
using engine::collectLinks;
using engine::UrlList;

namespace {
std::vector<std::string> links(const std::string& page, const std::string& base, const std::string& words = "")
{
    UrlList found;
    collectLinks(page, base, words, found);
    return found.items();
}
} // namespace

TEST(CollectLinks, RelativeLinksResolveAgainstThePageDirectory)
{
    EXPECT_EQ(links("<a href='/x/y.html'>", "http://h/a/"), std::vector<std::string>{"http://h/a/x/y.html"});
    EXPECT_EQ(links("<a href=pic.jpg>", "http://h/a/"), std::vector<std::string>{});
    EXPECT_EQ(links("<a href=\"b.html\" target=_blank>", "http://h/a"), std::vector<std::string>{"http://h/a/b.html"});
    // An https page keeps its scheme.
    EXPECT_EQ(links("<a href='c.html'>", "https://h/a/"), std::vector<std::string>{"https://h/a/c.html"});
    EXPECT_EQ(links("<a href=\"https://other/x\">", "http://h/"), std::vector<std::string>{"https://other/x"});
}

TEST(CollectLinks, ScriptOpenersCountAsLinks)
{
    const std::string page = "<a HREF=\"one.html\">1</a><div onclick=\"window.location='two.html'\">"
                             "<a href=\"javascript:openurl('three.html');\">3</a><a Href=four.htm>4</a>";
    EXPECT_EQ(links(page, "http://h/d/"),
              (std::vector<std::string>{"http://h/d/one.html", "http://h/d/two.html", "http://h/d/javascript:three.html",
                                        "http://h/d/four.htm"}));
}

TEST(CollectLinks, KeywordsDuplicatesMediaAndStrayBrackets)
{
    const std::string page = "x> <a href=/p/1.html>a</a> <a href='/p/1.html'>again</a> <a href=/q/2.html>"
                             "<a href=/p/3.mp3> <a href=/p/4.html,> <a href=/p/5.html";
    EXPECT_EQ(links(page, "http://h/", "/p/, ,"),
              (std::vector<std::string>{"http://h/p/1.html", "http://h/p/4.html"}))
        << "a link without a closing '>' ends the collection";
    EXPECT_EQ(links("no links at all", "http://h/"), std::vector<std::string>{});
    // Found links accumulate over several calls, each once.
    UrlList found;
    collectLinks("<a href=/a.html>", "http://h/", "", found);
    collectLinks("<a href=/A.html>", "http://h/", "", found);
    EXPECT_EQ(found.size(), 1u);
}

TEST(ListingBase, SchemeAndHostOrTheFixedBase)
{
    EXPECT_EQ(engine::listingBaseUrl("http://h/list/1.html", true, ""), "http://h/");
    EXPECT_EQ(engine::listingBaseUrl("HTTP://h:81/x", true, ""), "http://h:81/");
    EXPECT_EQ(engine::listingBaseUrl("https://h/x/y", true, ""), "https://h/");
    EXPECT_EQ(engine::listingBaseUrl("http://h", true, ""), "http://");
    EXPECT_EQ(engine::listingBaseUrl("http://h/x", false, " http://fixed/ "), "http://fixed/");
    EXPECT_EQ(engine::listingBaseUrl("http://h/x", false, "  "), "http://h/");
}

namespace {
class Sink : public engine::GatherSink {
public:
    void addDetailAddresses(std::vector<std::string>& l) override
    {
        std::lock_guard lk(mu);
        pages.push_back(l);
        l.clear();
    }
    void gatheringDone() override
    {
        std::lock_guard lk(mu);
        done = true;
        cv.notify_all();
    }
    void listingFailed(const std::string& page, const std::string& reason) override
    {
        std::lock_guard lk(mu);
        failed.emplace_back(page, reason);
    }
    bool waitDone()
    {
        std::unique_lock lk(mu);
        return cv.wait_for(lk, std::chrono::seconds(20), [&] { return done; });
    }
    std::mutex mu;
    std::condition_variable cv;
    std::vector<std::vector<std::string>> pages;
    std::vector<std::pair<std::string, std::string>> failed;
    bool done = false;
};
} // namespace

TEST(GetUrlList, KeepsGetWordsDropsFilterWordsAndSkipsFailedPages)
{
    fixtures::LocalHttpServer server;
    server.setPage("/list/1.html", "<a href=\"http://h/detail/1.html\">1</a><a href=\"http://h/detail/ad.html\">ad</a>"
                                   "<a href=\"http://h/list/2.html\">next</a><a href=\"/p/3.html\">rel</a>");
    Sink sink;
    engine::GatherSetup setup;
    setup.listingPages = {server.url("/list/1.html"), server.url("/missing.html"), server.url("/list/1.html")};
    setup.getWords = "detail,/p/";
    setup.filterWords = "ad";
    {
        engine::TGetUrlList gatherer(sink, setup);
        ASSERT_TRUE(sink.waitDone());
    }
    const std::vector<std::string> expected{"http://h/detail/1.html", server.url("/p/3.html")};
    ASSERT_EQ(sink.pages.size(), 2u) << "the page that cannot be fetched is skipped";
    EXPECT_EQ(sink.pages[0], expected);
    EXPECT_EQ(sink.pages[1], expected) << "each page is handed over on its own";
    EXPECT_EQ(sink.failed, (std::vector<std::pair<std::string, std::string>>{{server.url("/missing.html"), "HTTP 404"}}))
        << "skipped, but said";
}

TEST(GetUrlList, TerminateAbortsAStalledListingPage)
{
    fixtures::LocalHttpServer server;
    Sink sink;
    engine::GatherSetup setup;
    setup.listingPages = {server.url("/stall-headers"), server.url("/x")};
    auto gatherer = std::make_unique<engine::TGetUrlList>(sink, setup);
    ASSERT_TRUE(server.waitForRequest("/stall-headers"));
    const auto t0 = std::chrono::steady_clock::now();
    gatherer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(sink.done) << "a terminated gatherer does not report the end of gathering";
    EXPECT_EQ(server.requestCount(), 1u);
}
