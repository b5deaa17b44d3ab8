// Keywords reach every site in the site's own form and come back as the user typed them:
// blanks, %, &, +, quotes, GBK characters whose second byte is an ASCII character, and a
// four-byte GB18030 character. A text that is no keyword still gets a listing of its own.
#include "demo_world/demo_world.h"
#include "demo_world/world_internal.h"

#include "catalogue_rows.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

// The company names a listing page shows, in page order.
std::vector<std::string> listedNames(const std::string& label, const std::string& page, const std::string& host)
{
    std::vector<std::string> names;
    const std::string word = demo::gatherWord(label);
    const std::string anchor = "<a href=\"http://" + host;
    for (std::size_t at = page.find(anchor); at != std::string::npos; at = page.find(anchor, at + 1)) {
        const std::size_t hrefEnd = page.find('"', at + 9);
        const std::size_t textBegin = page.find('>', hrefEnd) + 1;
        const std::string text = page.substr(textBegin, page.find('<', textBegin) - textBegin);
        if (page.substr(at, hrefEnd - at).find(word) == std::string::npos || text == "联系方式")
            continue;
        names.push_back(label == "S1" ? text.substr(0, text.size() - std::string("-58企业网站").size()) : text);
    }
    return names;
}

} // namespace

TEST(DemoWorldKeywords, EveryFormCarriesBlanksPunctuationGbkAndFourByteCharacters)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    const std::vector<std::string> keywords{
        "机 械 配件",       // blanks: %20, 20 and +
        "100%纯棉",         // a percent sign
        "R&D 中心",         // an ampersand, which would end a query value
        "五金+配件",        // a plus sign, which the UTF-8 form uses for blanks
        "C++ 培训",         // (see below for the bare hexadecimal form)
        "\"精密\" '铸造'",  // both quotes
        "開關 這乗",        // GBK characters whose second byte is '_', 'P', '@' or '\'
        "𠮷野家",           // a four-byte GB18030 character, a surrogate pair in UTF-16
    };
    for (const auto& keyword : keywords) {
        for (const auto& label : labels()) {
            SCOPED_TRACE(label + " " + keyword);
            const auto r = fetch(world.baseUrl(hostOf(label)) + firstPageRequest(label, keyword));
            ASSERT_EQ(r.status, 200) << r.error;
            const std::string page = pageText(label, r.body);
            // The bare hexadecimal form leaves letters and digits as they are, so C2B2B2...
            // of "C++" also reads as the GBK character C2B2 and a "B"; D4 takes characters
            // first. Its listing is still the one the world holds for what it read.
            const std::string shown = label == "D4" && keyword == "C++ 培训" ? "虏B 培训" : demo::detail::htmlEscape(keyword);
            EXPECT_NE(page.find("<div class=\"search\">搜索词：" + shown + "</div>"), std::string::npos)
                << page.substr(page.find("<div class=\"search\">"), 120);
            const auto truth = demo::companies(label, keyword);
            std::vector<std::string> expected;
            for (std::size_t i = 0; i < truth.size() && i < static_cast<std::size_t>(demo::pageSize(label)); ++i)
                expected.push_back(truth[i].name);
            const std::string host = label == "S1" ? "city58.demo.localhost" : hostOf(label);
            EXPECT_EQ(listedNames(label, page, host), expected);
        }
    }
}

TEST(DemoWorldKeywords, TheSameKeywordInAnotherFormListsTheSameCompanies)
{
    // D4 reads its bare hexadecimal form back: the page for 机械 is the page for BBFAD0B5.
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    const auto bare = fetch(world.baseUrl("d4.demo.localhost") + "/gongsi_search/-BBFAD0B5.html?beginPage=1");
    const auto lower = fetch(world.baseUrl("d4.demo.localhost") + "/gongsi_search/-bbfad0b5.html?beginPage=1");
    ASSERT_EQ(bare.status, 200);
    EXPECT_EQ(listedNames("D4", bare.body, "d4.demo.localhost"), listedNames("D4", lower.body, "d4.demo.localhost"))
        << "hexadecimal digits in either case";
    EXPECT_NE(lower.body.find("搜索词：机械<"), std::string::npos);
    std::vector<std::string> expected;
    for (const auto& c : demo::companies("D4", "机械"))
        expected.push_back(c.name);
    expected.resize(std::min<std::size_t>(expected.size(), 30));
    EXPECT_EQ(listedNames("D4", bare.body, "d4.demo.localhost"), expected);
    // A blank written %20 where the UTF-8 form has +.
    const auto plus = fetch(world.baseUrl("d2.demo.localhost") + "/search.html?kw=a+b&type=company&page=1");
    const auto escapedBlank = fetch(world.baseUrl("d2.demo.localhost") + "/search.html?kw=a%20b&type=company&page=1");
    EXPECT_EQ(listedNames("D2", plus.body, "d2.demo.localhost"), listedNames("D2", escapedBlank.body, "d2.demo.localhost"));
    EXPECT_NE(plus.body.find("搜索词：a b<"), std::string::npos);
}

TEST(DemoWorldKeywords, TextThatIsNoKeywordGetsAListingOfItsOwn)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    const std::string d6 = world.baseUrl("d6.demo.localhost"), d2 = world.baseUrl("d2.demo.localhost");
    // No UTF-16 code units, and bytes that are no UTF-8.
    const auto notUtf16 = fetch(d6 + "/results_T2__-ZZ9_1.html");
    const auto notUtf8 = fetch(d2 + "/search.html?kw=%FF%FE&type=company&page=1");
    const auto other = fetch(d2 + "/search.html?kw=%FF%FD&type=company&page=1");
    for (const auto* r : {&notUtf16, &notUtf8, &other})
        ASSERT_EQ(r->status, 200);
    EXPECT_NE(notUtf16.body.find("搜索词：-ZZ9<"), std::string::npos) << "shown as sent";
    EXPECT_NE(notUtf8.body.find("搜索词：%FF%FE<"), std::string::npos);
    const int n = *countRule("D2", notUtf8.body);
    EXPECT_GE(n, 2) << "a listing like any other";
    EXPECT_EQ(fetch(d2 + "/search.html?kw=%FF%FE&type=company&page=1").body, notUtf8.body) << "the same every time";
    EXPECT_NE(listedNames("D2", notUtf8.body, "d2.demo.localhost"), listedNames("D2", other.body, "d2.demo.localhost"));
}
