#include "directory/result_counter.h"

#include "base/text.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>


using namespace tarvimo;
using namespace tarvimo::directory;

namespace {

std::string g(std::string_view utf8) { return text::utf8ToGbk(utf8); }

const CatalogueRow& row(const char* label) { return *findRow(label); }

PageCount gbkPage(const char* label, std::string_view utf8) { return readResultPage(row(label), g(utf8)); }
PageCount utf8Page(const char* label, std::string_view utf8)
{
    return readResultPage(row(label), "<meta charset=utf-8>" + std::string(utf8));
}

} // namespace

TEST(ResultPage, MarkerRuleOfTheFirstSite)
{
    EXPECT_EQ(gbkPage("D1", "<p>共找到<b>100</b>条</p>").range, "{1,4}");
    EXPECT_EQ(gbkPage("D1", "<p>共找到<b>100</b>条</p>").count, 100);
    EXPECT_EQ(gbkPage("D1", "共找到 2,400 条").count, 100) << "a comma is no number: the default";
    EXPECT_EQ(gbkPage("D1", "没有结果").range, "{1,4}") << "no marker: the default 100";
    // The end marker first: the count is searched again in the 255 bytes from the start.
    EXPECT_EQ(gbkPage("D1", "1条新消息 ... 共找到&nbsp;480&nbsp;条").count, 480);
    EXPECT_EQ(gbkPage("D1", "共找到$30条").count, 48) << "a $ number is hexadecimal";
    // A result count below one page still collects the first page.
    EXPECT_EQ(gbkPage("D1", "共找到10条").range, "{1,1}");
}

TEST(ResultPage, RegexRulesReadTheirNumberOrTheirDefaults)
{
    EXPECT_EQ(utf8Page("D2", "<div>共 7 页</div>").range, "{1,100}") << "' 7 ' has a trailing blank: default";
    EXPECT_EQ(utf8Page("D2", "<div>共7页</div>").range, "{1,7}");
    EXPECT_EQ(utf8Page("D2", "nothing").count, 10);
    EXPECT_EQ(utf8Page("D3", "相关记录60条").range, "{1,3}");
    EXPECT_EQ(utf8Page("D3", "none").range, "{1,100}");
    EXPECT_EQ(utf8Page("D3", "none").count, 2000);
    EXPECT_EQ(readResultPage(row("D4"), "charset=\"utf-8\" " + std::string("共找到<span>61</span>家")).range, "{1,3}");
    EXPECT_EQ(utf8Page("D4", "none").count, 30);
    EXPECT_EQ(utf8Page("D6", "共找到 <em id=\"resultCount\">35</em>").range, "{1,4}");
    EXPECT_EQ(utf8Page("D8", "共 123 条/13页").range, "{1,13}");
    EXPECT_EQ(utf8Page("D8", "共 123 条/13页").count, 130);
    EXPECT_EQ(utf8Page("D9", "搜索到<b>1,234</b>项结果").count, 1234);
    EXPECT_EQ(utf8Page("D9", "搜索到<b>1,234</b>项结果").range, "{1,124}");
    EXPECT_EQ(utf8Page("D10", "nothing here").range, "{1,100}");
    EXPECT_EQ(utf8Page("D10", "nothing here").count, 1000);
    EXPECT_EQ(utf8Page("D10", "头部 共<em>1,000</em>条").range, "{1,51}");
    EXPECT_EQ(utf8Page("D11", "<a href='?page=1&cid=0'>1</a> 下一页 <a href='?keywords=x&page=7&cid=0'>尾页</a>").count, 70);
    EXPECT_EQ(utf8Page("D12", "下一页</a><a href=\"javascript:gotoPage(17, 'x')\">").range, "{1,17}");
    EXPECT_EQ(utf8Page("D12", "下一页</a><a href=\"javascript:gotoPage(17, 'x')\">").count, 340);
    EXPECT_EQ(utf8Page("D12", "no paging").range, "{1,1}");
    EXPECT_EQ(utf8Page("S2", "共<b>50</b>条").range, "{1,3}");
}

TEST(ResultPage, SitesThatAreNotAskedHaveFixedRanges)
{
    EXPECT_EQ(gbkPage("D5", "anything").range, "{1,100}");
    EXPECT_FALSE(gbkPage("D5", "anything").count);
    EXPECT_EQ(gbkPage("D7", "").range, "{0,50}");
    EXPECT_EQ(gbkPage("S1", "").range, "{0,500,10}");
    EXPECT_FALSE(gbkPage("S1", "").count);
}

TEST(ResultPage, OutsideNumbersAreBounded)
{
    // Past 32 bits the number is not read at all; within them the pages are capped.
    EXPECT_EQ(utf8Page("D3", "相关记录1000000000000条").range, "{1,101}") << "the default 2500";
    EXPECT_EQ(utf8Page("D3", "相关记录2000000000条").range, "{1,1000}");
    EXPECT_EQ(utf8Page("D3", "相关记录2000000000条").count, 2000000000);
    EXPECT_EQ(utf8Page("D2", "共-5页").range, "{1,1}");
    EXPECT_EQ(utf8Page("D2", "共-5页").count, 0);
    // Binary garbage reads as no match.
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    for (const auto& r : catalogueRows())
        EXPECT_FALSE(readResultPage(r, garbage).range.empty()) << r.label;
}

TEST(ResultPage, UnconvertedPagesAreMatchedAsGbk)
{
    // Without the charset the UTF-8 bytes are not the GBK markers.
    EXPECT_EQ(readResultPage(row("D2"), "共7页").count, 10);
    EXPECT_EQ(readResultPage(row("D2"), "<META CHARSET=UTF-8>共7页").count, 7);
    EXPECT_EQ(readResultPage(row("D2"), g("共7页")).count, 7);
    // The quoted value is known only to the sites that look for it.
    EXPECT_EQ(readResultPage(row("D6"), "charset=\"utf-8\" 共找到 <em id=\"resultCount\">35</em>").count, 10);
}

TEST(ResultPage, TagRemovalStepsOverStrayClosers)
{
    EXPECT_EQ(StripMarkedSpans("a&NBSP;<b>c</b>d", "<", ">"), "acd");
    EXPECT_EQ(StripMarkedSpans("x> 12 <i>", "<", ">"), " 12 ");
    EXPECT_EQ(StripMarkedSpans("no tags >", "<", ">"), "");
}

TEST(PagedAddress, EachSitePutsItsRangeWhereItsPageIs)
{
    const std::string r = "{1,9}";
    EXPECT_EQ(pagedAddress(row("D1"), "http://h/?w=%D6&mc=enterprise&ee=1", r), "http://h/?w=%D6&mc=enterprise&ee={1,9}");
    EXPECT_EQ(pagedAddress(row("D3"), "http://h/s?terms=p&p=1", r), "http://h/s?terms=p&p={1,9}");
    EXPECT_EQ(pagedAddress(row("D4"), "http://h/gongsi_search/-D6D0.html?beginPage=1", r),
              "http://h/gongsi_search/-D6D0.html?beginPage={1,9}");
    EXPECT_EQ(pagedAddress(row("D6"), "http://h/results_T2__-0031_1.html?a=&b=", r), "http://h/results_T2__-0031_{1,9}.html?a=&b=");
    EXPECT_EQ(pagedAddress(row("D11"), "http://h/search?keywords=x&search_type=3&page=1&$cid=0", r),
              "http://h/search?keywords=x&search_type=3&page={1,9}&$cid=0");
    EXPECT_EQ(pagedAddress(row("D12"), "http://h:81/company/0/search/x/p/1/", r), "http://h:81/company/0/search/x/p/{1,9}/");
    EXPECT_EQ(pagedAddress(row("S2"), "http://h/nf/c/G1C0R1/x/1/", r), "http://h/nf/c/G1C0R1/x/{1,9}/");
    EXPECT_EQ(pagedAddress(row("S1"), "http://h/s?wd=a&tn=baiduadv&ie=utf-8&pn=0", "{0,500,10}"),
              "http://h/s?wd=a&tn=baiduadv&ie=utf-8&pn={0,500,10}");
}

TEST(Catalogue, FirstPageRequestsFollowTheDeploymentValues)
{
    auto c = engine::SiteCatalogue::shipped();
    EXPECT_EQ(firstPageRequest(c, row("D1"), "K"), "http://d1.demo.localhost/?w=K&mc=enterprise&ee=1");
    EXPECT_EQ(firstPageRequest(c, row("D7"), "K"), "http://d7.demo.localhost/cse/search?q=K&p=0&s=00000000000000000001");
    EXPECT_EQ(firstPageRequest(c, row("S1"), "%20K"),
              "http://search.demo.localhost/s?wd=site%3A(city58.demo.localhost)%20K&tn=baiduadv&ie=utf-8&pn=0");
    EXPECT_EQ(companionRows().size(), 11u);
    EXPECT_STREQ(companionRows().front()->label, "D2");
    EXPECT_STREQ(companionRows().back()->label, "D12");
    // Every request names exactly one site, so a counter always knows whose page it has.
    const TqovCpOther counter(c);
    for (const auto& r : catalogueRows())
        EXPECT_EQ(counter.rowFor(firstPageRequest(c, r, "%20K")), &r) << r.label;
}

// ---- Against a live server --------------------------------------------------------------

class CounterTest : public ::testing::Test {
protected:
    CounterTest()
        : catalogue([&] {
              const std::string path = dir.file("sites.ini");
              test::writeFile(path, engine::SiteCatalogue::shippedText(server.port()));
              return engine::SiteCatalogue::load(path);
          }()),
          counter(catalogue)
    {
    }
    fixtures::LocalHttpServer server;
    test::TempDir dir;
    engine::SiteCatalogue catalogue;
    TqovCpOther counter;
};

TEST_F(CounterTest, AsksTheSiteWithAReferrerAndBuildsThePagedAddress)
{
    server.on("GET", "/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(text::utf8ToGbk("<html>共找到<b>72</b>条</html>"), "text/html");
    });
    const std::string request = firstPageRequest(catalogue, row("D1"), "%BB%FA");
    long long count = -1;
    std::string start = "old";
    counter.CountResultPages(request, "%BB%FA", count, start);
    EXPECT_EQ(count, 72);
    EXPECT_EQ(start, "http://d1.demo.localhost:" + std::to_string(server.port()) + "/?w=%BB%FA&mc=enterprise&ee={1,3}");
    const auto req = server.requests().at(0);
    EXPECT_EQ(req.header("Referer"), "http://d1.demo.localhost:" + std::to_string(server.port()) + "/");
    EXPECT_EQ(req.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)");
    EXPECT_EQ(req.header("Host"), "d1.demo.localhost:" + std::to_string(server.port()));
}

TEST_F(CounterTest, AKeywordThatLooksLikeThePageParameterIsNotTakenForIt)
{
    server.on("GET", "/search/index.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<meta charset=utf-8>" + std::string("相关记录30条"), "text/html");
    });
    const std::string k = "p%3D1+%26p%3D1";
    long long count = 0;
    std::string start;
    counter.CountResultPages(firstPageRequest(catalogue, row("D3"), k), k, count, start);
    EXPECT_TRUE(start.ends_with("terms=" + k + "&p={1,2}")) << start;
}

TEST_F(CounterTest, RowsThatReportNoCountLeaveItAlone)
{
    server.on("GET", "/cse/search", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("共找到99条", "text/html");
    });
    long long count = 5;
    std::string start;
    counter.CountResultPages(firstPageRequest(catalogue, row("D7"), "k"), "k", count, start);
    EXPECT_EQ(count, 5) << "the page is asked for but not examined";
    EXPECT_TRUE(start.ends_with("/cse/search?q=k&p={0,50}&s=00000000000000000001")) << start;
}

TEST_F(CounterTest, FailedRequestsRaiseAndReturnNothing)
{
    long long count = 0;
    std::string start = "x";
    server.on("GET", "/search.html", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    EXPECT_THROW(counter.CountResultPages(firstPageRequest(catalogue, row("D2"), "k"), "k", count, start), CountError);
    EXPECT_TRUE(start.empty());
    // A refused connection: a port nobody listens on.
    EXPECT_THROW(counter.CountResultPages("http://d2.demo.localhost:1/search.html?kw=k&type=company&page=1", "k", count, start),
                 CountError);
    // An address no row knows: asked, but no start address.
    server.setPage("/other", "共找到5条");
    counter.CountResultPages(server.url("/other"), "k", count, start);
    EXPECT_TRUE(start.empty());
    EXPECT_EQ(count, 0);
}

TEST_F(CounterTest, ASiteThatHangsPastTheTimeOutFails)
{
    // The real ten seconds of the counter: the one slow test of this file.
    long long count = 0;
    std::string start;
    try {
        counter.CountResultPages("http://d2.demo.localhost:" + std::to_string(server.port()) + "/stall-headers", "k",
                                 count, start);
        ADD_FAILURE() << "a silent site counted";
    } catch (const CountError& e) {
        EXPECT_NE(std::string(e.what()).find("time-out"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(start.empty());
}
