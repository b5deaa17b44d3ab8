#include "base/home.h"
#include "base/text.h"
#include "engine/page_text.h"
#include "engine/url_generation.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::engine;
using Urls = std::vector<std::string>;

namespace {

UrlNavigation pages(std::string begin, std::string keyword, std::string from, std::string to, int inc = 1)
{
    UrlNavigation n;
    n.begin = std::move(begin);
    n.keyword = std::move(keyword);
    n.pageBegin = std::move(from);
    n.pageEnd = std::move(to);
    n.increment = inc;
    return n;
}

} // namespace

TEST(UrlGeneration, ExamplesOfPageNumbersAndBraceRanges)
{
    EXPECT_EQ(buildUrlList(pages("X/list.asp?page=1&kw=x", "page", "1", "3")).urls,
              (Urls{"X/list.asp?page=1&kw=x", "X/list.asp?page=2&kw=x", "X/list.asp?page=3&kw=x"}));
    EXPECT_EQ(buildUrlList(pages("X/list.asp?page1.htm", "page", "1", "3")).urls,
              (Urls{"X/list.asp?page1.htm", "X/list.asp?page2.htm", "X/list.asp?page3.htm"}));
    EXPECT_EQ(buildUrlList(pages("X/list.asp?page=5", "page", "01", "3")).urls,
              (Urls{"X/list.asp?page=5", "X/list.asp?page=01", "X/list.asp?page=2", "X/list.asp?page=3"}))
        << "the first page as typed, later pages plain decimal";
    EXPECT_EQ(buildUrlList(pages("X/p{1,3}.html", "", "", "")).urls, (Urls{"X/p1.html", "X/p2.html", "X/p3.html"}));
    EXPECT_EQ(buildUrlList(pages("X/s?pn={0,20,10}", "", "", "")).urls, (Urls{"X/s?pn=0", "X/s?pn=10", "X/s?pn=20"}));
}

TEST(UrlGeneration, EdgeCases)
{
    // A start address with braces and a page range: only the braces are expanded.
    EXPECT_EQ(buildUrlList(pages("X/page=1&p={1,2}", "page", "1", "3")).urls, (Urls{"X/page=1&p=1", "X/page=1&p=2"}));
    EXPECT_EQ(buildUrlList(pages("X/{1,10,4}", "", "", "")).urls, (Urls{"X/1", "X/5", "X/9"}));
    EXPECT_TRUE(buildUrlList(pages("X/{5,1}", "", "", "")).urls.empty()) << "from above to: no address, template gone";
    EXPECT_EQ(buildUrlList(pages("X/{1,2}/{3,4}", "", "", "")).urls, (Urls{"X/1/{3,4}", "X/2/{3,4}"}))
        << "an expansion is not expanded again";
    EXPECT_EQ(buildUrlList(pages("X/{1,3,-1}", "", "", "")).urls, (Urls{"X/1", "X/2", "X/3"})) << "a falling step is bounded";

    // Hand-added addresses: a copy of the start address in another letter case is dropped;
    // consecutive templates are both expanded, after all plain addresses.
    UrlNavigation n = pages("http://H/a", "", "", "");
    n.extraUrls = {"http://h/A", "X/b{1,2}", "X/c{7,8}", "X/plain"};
    EXPECT_EQ(buildUrlList(n).urls, (Urls{"http://H/a", "X/plain", "X/b1", "X/b2", "X/c7", "X/c8"}));

    // A page bound that is no number builds only the start address and starts nothing.
    auto bad = buildUrlList(pages("X/page=1", "page", "1", "x"));
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.urls, (Urls{"X/page=1"}));
    // A step of 0 counts as 1.
    EXPECT_EQ(buildUrlList(pages("X/page=1", "page", "1", "2", 0)).urls, (Urls{"X/page=1", "X/page=2"}));
}

TEST(UrlGeneration, AddressFiles)
{
    test::TempDir dir;
    std::string lines = "http://a/1\r\n\r\n  \r\nhttp://a/2\n";
    for (int i = 0; i < 100000; ++i)
        lines += "http://b/" + std::to_string(i) + "\r\n";
    test::writeFile(dir.file("list.txt"), lines);
    auto r = buildUrlList(pages("C:\\" + dir.file("list.txt").substr(1), "", "", ""));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.urls.size(), 100002u) << "blank lines are skipped";
    EXPECT_EQ(r.urls[1], "http://a/2");

    test::writeFile(dir.file("empty.txt"), "\r\n");
    EXPECT_FALSE(buildUrlList(pages("C:" + text::replaceAll(dir.file("empty.txt"), "/", "\\"), "", "", "")).ok);
    EXPECT_FALSE(buildUrlList(pages("C:\\no\\such\\file.txt", "", "", "")).ok);
}

TEST(UrlRewriting, PlainAndWildcard)
{
    EXPECT_EQ(rewriteUrl("X/a.asp?id=123&p=2", {true, "X/a.asp?id=*&", "X/b.asp?id=*"}), "X/b.asp?id=123");
    EXPECT_EQ(rewriteUrl("http://h1/123.html", {true, "http://h1/*.html", "http://h2/*.htm"}), "http://h2/123.htm");
    EXPECT_EQ(rewriteUrl("X/a/a", {true, "a", "b"}), "X/b/b");
    EXPECT_EQ(rewriteUrl("X/A", {true, "a", "b"}), "X/A") << "plain replacement minds letter case";
    EXPECT_EQ(rewriteUrl("X/a.asp?id=1", {true, "X/a.asp?id=*", "Y/*"}), "X/a.asp?id=1") << "a trailing * never matches";
    EXPECT_EQ(rewriteUrl("X/a", {false, "a", "b"}), "X/a");
    EXPECT_EQ(rewriteUrl("X/a", {true, " ", "b"}), "X/a");
    EXPECT_EQ(rewriteUrl("X/q?id=9", {true, "Z/*", "Y/*"}), "X/q?id=9") << "a missing piece leaves the address";
}

TEST(UrlRequests, PostNotationAndFormLines)
{
    Request r = parseRequest("http://h/p.asp?a=1 [post]x=1&y=2[/post]");
    EXPECT_TRUE(r.post);
    EXPECT_EQ(r.url, "http://h/p.asp?a=1");
    EXPECT_EQ(r.body, "x=1&y=2");
    r.body = std::string(600, 'v');
    auto lines = r.formLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 255u);
    EXPECT_EQ(lines[2].size(), 90u);
    Request g = parseRequest("http://h/a b");
    EXPECT_FALSE(g.post);
    EXPECT_EQ(g.url, "http://h/ab");
}

TEST(ListingLinks, GatherAndFilterWords)
{
    const std::string page = "<a href='/x/y.html'>1</a><A HREF=\"Detail/Co1.html\" target=_blank>2</a>"
                             "<a href=pic.jpg>3</a><a href=http://localhost/detail/2.html>4</a><a href=detail/co1.html>dup</a>"
                             "<a href=http://localhost/detail/ad.html>5</a>";
    UrlList found;
    EXPECT_EQ(extractLinks(page, "http://127.0.0.1/a", "", found), 4u);
    EXPECT_EQ(found.items(), (Urls{"http://127.0.0.1/a/x/y.html", "http://127.0.0.1/a/Detail/Co1.html",
                                   "http://localhost/detail/2.html", "http://localhost/detail/ad.html"}))
        << "pictures and a repeat in other letter case are skipped; the page's letter case is kept";

    found.clear();
    // Gather words are case-sensitive: "Detail/Co1" is not gathered, its lower-case twin is.
    extractLinks(page, "http://127.0.0.1/a/", "detail,x/", found, "ad.html");
    EXPECT_EQ(found.items(), (Urls{"http://127.0.0.1/a/x/y.html", "http://localhost/detail/2.html",
                                   "http://127.0.0.1/a/detail/co1.html"}));
    EXPECT_EQ(extractLinks("no links", "http://127.0.0.1/", "", found), 0u);
}

TEST(ListingLinks, HowALinkIsCut)
{
    UrlList found;
    // From "href=" to '>': quotes and every further "href=" go, the first blank ends it; the
    // second "href=" is read again as a link of its own.
    extractLinks("<a HREF=\"a b.html\" href=c>", "http://127.0.0.1", "", found);
    // Letter case of the endings does not matter, and a base naming a picture spoils every
    // relative link while absolute ones stay.
    extractLinks("<a href=x.JPG><a href=y.Jpeg?s=1><a href=z.MP3x><a href=ok.htm>", "http://127.0.0.1/", "", found);
    extractLinks("<a href=rel.htm><a href=http://127.0.0.1/abs.htm>", "http://127.0.0.1/p.GIF/", "", found);
    EXPECT_EQ(found.items(),
              (Urls{"http://127.0.0.1/a", "http://127.0.0.1/c", "http://127.0.0.1/ok.htm", "http://127.0.0.1/abs.htm"}));
}

TEST(ListingLinks, HrefInsideDoubleByteTextAndTheRoundLimit)
{
    UrlList found;
    // An 'H' that is the second byte of a double-byte character is no letter; a lower-case
    // 'h' in the same place still reads as "href=", and after a whole character 'H' counts.
    EXPECT_EQ(extractLinks("\xC4HREF=a.htm>", "http://127.0.0.1/", "", found), 0u);
    extractLinks("\xC4href=b.htm>\xC4\xC4HREF=c.htm>", "http://127.0.0.1/", "", found);
    EXPECT_EQ(found.items(), (Urls{"http://127.0.0.1/b.htm", "http://127.0.0.1/c.htm"}));

    // Addresses already listed, in any letter case, are not added; the count is the list's.
    EXPECT_EQ(extractLinks("<a href=B.HTM><a href=d.htm>", "http://127.0.0.1/", "", found), 3u);

    std::string page;
    for (int i = 0; i < 5001; ++i)
        page += "<a href=" + std::to_string(i) + ".htm>";
    found.clear();
    EXPECT_EQ(extractLinks(page, "http://127.0.0.1/", "", found), 5000u) << "a page is read for 5000 links at most";
}

TEST(UrlGeneration, LimitsAndEmptyRangesAreNoted)
{
    UrlNavigation n = pages("X/page=1", "page", "1", "1000000000");
    n.maxAddresses = 50;
    auto cut = buildUrlList(n);
    EXPECT_EQ(cut.urls.size(), 50u) << "the start address and 49 more: page 1 is the start address";
    EXPECT_EQ(cut.notes, (Urls{"页码范围 1 至 1000000000 太大, 只生成前 50 个网址"}));

    n = pages("X/{1,100}", "", "", "");
    n.extraUrls = {"Y/{1,100}", "Z/{1,100}"};
    n.maxAddresses = 150;
    auto braces = buildUrlList(n);
    EXPECT_EQ(braces.urls.size(), 150u) << "the limit holds for all ranges together";
    EXPECT_EQ(braces.notes, (Urls{"网址范围 {1,100} 太大, 只生成前 150 个网址"})) << "said once";

    auto falling = buildUrlList(pages("X/a{5,1,-1}", "", "", ""));
    EXPECT_TRUE(falling.ok);
    EXPECT_TRUE(falling.urls.empty());
    EXPECT_EQ(falling.notes, (Urls{"网址范围 {5,1,-1} 不生成任何网址: X/a{5,1,-1}"}));

    EXPECT_TRUE(buildUrlList(pages("X/{1,3}", "", "", "")).notes.empty());
    EXPECT_TRUE(buildUrlList(pages("X/page=1", "page", "1", "3")).notes.empty());
}

TEST(UrlGeneration, AnAddressFileMayBeNamedByALinuxPathOrAFileAddress)
{
    test::TempDir dir;
    test::writeFile(dir.file("list.txt"), "http://a/1\r\nhttp://a/2\r\n");
    for (const std::string& begin : {dir.file("list.txt"), " " + dir.file("list.txt"), "file://" + dir.file("list.txt")}) {
        auto r = buildUrlList(pages(begin, "", "", ""));
        ASSERT_TRUE(r.ok) << begin << ": " << r.error;
        EXPECT_EQ(r.urls, (Urls{"http://a/1", "http://a/2"})) << begin;
    }
    EXPECT_FALSE(buildUrlList(pages("/no/such/list.txt", "", "", "")).ok) << "a missing file starts nothing";
    EXPECT_EQ(buildUrlList(pages("http://a/x/list.txt", "", "", "")).urls, (Urls{"http://a/x/list.txt"}));
}

TEST(ListingLinks, AStrayHrefRunIsNoLink)
{
    // "href=a" for 1.8 MB without a '>' once made every candidate copy the rest of the page.
    std::string page;
    while (page.size() < 1800000)
        page += "href=a";
    UrlList found;
    EXPECT_EQ(extractLinks(page, "http://127.0.0.1/", "", found), 0u);

    // A shorter run ending in a '>': only the candidates within reach of it are links
    // (every "href=" inside one is removed, so each is a run of "a").
    page.resize(6 * 3000);
    page += ">";
    EXPECT_EQ(extractLinks(page, "http://127.0.0.1/", "", found), kMaxLinkBytes / 6);
    for (const auto& link : found.items())
        EXPECT_LE(link.size(), std::string("http://127.0.0.1/").size() + kMaxLinkBytes);

    // A long link below the bound is still a link.
    const std::string longPath(3000, 'p');
    found.clear();
    extractLinks("<a href=" + longPath + ">", "http://127.0.0.1/", "", found);
    EXPECT_EQ(found.items(), (Urls{"http://127.0.0.1/" + longPath}));
}
