// The demo world's directory sites as the directory search meets them: each row's
// first-page request answered in the row's encoding with the count its rule reads, the
// range that count gives listing every matching company once, and company pages that
// show what the templates cut out.
#include "demo_world/demo_world.h"

#include "catalogue_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

class DemoWorldSites : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(world.start()); }

    std::string base(const std::string& label) const { return world.baseUrl(hostOf(label)); }
    std::string detailUrl(const demo::DemoCompany& c) const { return world.baseUrl(c.host) + c.path; }

    demo::DemoWorld world;
};

int pagesFor(const std::string& label, int count)
{
    const int size = demo::pageSize(label);
    return std::max(1, (count + size - 1) / size);
}

} // namespace

TEST_F(DemoWorldSites, EveryRowIsAnsweredInItsEncodingWithTheCountItsRuleReads)
{
    std::set<std::string> utf8Forms;
    for (const std::string keyword : {"机械", "不锈钢 阀门", "全部"}) {
        for (const auto& label : labels()) {
            SCOPED_TRACE(label + " " + keyword);
            const auto r = fetch(base(label) + firstPageRequest(label, keyword));
            ASSERT_EQ(r.status, 200) << r.error;
            const int count = demo::resultCount(label, keyword);
            if (utf8Site(label)) {
                const bool plain = r.body.find("charset=utf-8") != std::string::npos;
                const bool quoted = r.body.find("charset=\"utf-8\"") != std::string::npos;
                EXPECT_TRUE(conversionOf(label) == "U" ? plain : plain || quoted) << "the row would not convert it";
                utf8Forms.insert(plain ? "plain" : "quoted");
                EXPECT_EQ(r.contentType, "text/html; charset=utf-8");
                EXPECT_EQ(text::gbkToUtf8(text::utf8ToGbk(r.body)), r.body) << "not UTF-8 text";
            } else {
                EXPECT_NE(r.body.find("charset=gbk"), std::string::npos);
                EXPECT_EQ(r.contentType, "text/html; charset=gbk");
                EXPECT_EQ(text::gbkToUtf8(r.body).find("\xEF\xBF\xBD"), std::string::npos) << "not GBK text";
            }
            if (label == "D5" || label == "D7" || label == "S1")
                continue;  // their rows take a fixed range and read nothing
            const auto value = countRule(label, r.body);
            ASSERT_TRUE(value) << "the count rule finds no number: " << pageText(label, r.body).substr(0, 900);
            EXPECT_EQ(*value, countsPages(label) ? pagesFor(label, count) : count);
            // The range the count gives reaches the last company, with whole pages on D1.
            const Range range = rangeOf(label, *value);
            EXPECT_GE((range.last - range.first + 1) * demo::pageSize(label), count);
            if (label == "D1") {
                EXPECT_EQ(range.last * 24, count);
            }
        }
    }
    EXPECT_EQ(utf8Forms, (std::set<std::string>{"plain", "quoted"})) << "both ways of naming UTF-8 are served";
}

TEST_F(DemoWorldSites, LargeCountsCarryAThousandsCommaWhereTheRuleRemovesOne)
{
    ASSERT_EQ(demo::resultCount("D9", "全部"), demo::kDirectorySize);
    for (const std::string label : {"D9", "D10"}) {
        const auto r = fetch(base(label) + firstPageRequest(label, "全部"));
        ASSERT_EQ(r.status, 200);
        EXPECT_NE(r.body.find(label == "D9" ? "<em>1,056</em>" : "<b>1,056</b>"), std::string::npos) << label;
        EXPECT_EQ(countRule(label, r.body), 1056) << label;
    }
    // Everyone else prints the count plainly.
    const auto d3 = fetch(base("D3") + firstPageRequest("D3", "全部"));
    EXPECT_NE(d3.body.find("相关记录1056条"), std::string::npos);
}

TEST_F(DemoWorldSites, TheRangeOfEveryRowListsEachMatchingCompanyOnceWithAbsoluteLinks)
{
    for (const std::string keyword : {"机械", "不锈钢 阀门"}) {
        for (const auto& label : labels()) {
            SCOPED_TRACE(label + " " + keyword);
            const auto first = fetch(base(label) + firstPageRequest(label, keyword));
            ASSERT_EQ(first.status, 200);
            const int count = demo::resultCount(label, keyword);
            const auto value = countRule(label, first.body);
            const Range range = rangeOf(label, value.value_or(0));
            const std::string word = demo::gatherWord(label);
            std::vector<std::string> listed;
            int pageIndex = 0;
            for (const auto& page : rangePages(label, keyword, range)) {
                const auto r = fetch(base(label) + page);
                ASSERT_EQ(r.status, 200) << page;
                int companyLinks = 0, otherLinks = 0;
                for (const auto& link : links(pageText(label, r.body))) {
                    if (link.find(word) == std::string::npos) {
                        ++otherLinks;
                        continue;
                    }
                    ++companyLinks;
                    if (std::find(listed.begin(), listed.end(), link) == listed.end())
                        listed.push_back(link);
                }
                EXPECT_GE(otherLinks, 4) << "links a task must not take: about, news, help, paging";
                if (pageIndex * demo::pageSize(label) >= count) {
                    EXPECT_EQ(companyLinks, 0) << "a page past the results lists nobody: " << page;
                }
                ++pageIndex;
            }
            std::vector<std::string> expected;
            for (const auto& c : demo::companies(label, keyword))
                expected.push_back(detailUrl(c));
            EXPECT_EQ(listed, expected);
        }
    }
}

TEST_F(DemoWorldSites, CompanyPagesShowTheCompanyWithTheDecorationOfTheirSite)
{
    // Company pages do not depend on the keyword; the whole directory holds every kind.
    for (const auto& label : labels()) {
        SCOPED_TRACE(label);
        const auto all = demo::companies(label, "全部");
        ASSERT_EQ(all.size(), static_cast<std::size_t>(demo::kDirectorySize));
        // One with every value, one without mobile number and one without e-mail.
        const auto find = [&](auto pred) { return *std::find_if(all.begin(), all.end(), pred); };
        const auto full = find([](const demo::DemoCompany& c) { return !c.mobile.empty() && !c.email.empty(); });
        const auto noMobile = find([](const demo::DemoCompany& c) { return c.mobile.empty(); });
        const auto noMail = find([](const demo::DemoCompany& c) { return c.email.empty(); });
        for (const auto& c : {full, noMobile, noMail}) {
            const auto r = fetch(detailUrl(c));
            ASSERT_EQ(r.status, 200) << detailUrl(c);
            const std::string page = pageText(label, r.body);
            for (const auto& value : {c.name, c.contact, c.address, c.mobile, c.email})
                EXPECT_NE(page.find(value), std::string::npos) << value;
            // The page-wide e-mail scan must find the company's address and nothing else.
            const long mails = c.email.empty() ? 0 : page.find("mailto:") == std::string::npos ? 1 : 2;
            EXPECT_EQ(std::count(page.begin(), page.end(), '@'), mails);
        }
        const std::string page = pageText(label, fetch(detailUrl(full)).body);
        if (label == "D1") {
            EXPECT_NE(page.find("地址：中国" + full.address + "<"), std::string::npos);
        }
        if (label == "D3") {
            EXPECT_NE(pageText(label, fetch(detailUrl(noMobile)).body).find("<td>未填写</td>"), std::string::npos);
            const auto shop = find([](const demo::DemoCompany& c) { return c.level == "生意旺铺"; });
            EXPECT_NE(pageText(label, fetch(detailUrl(shop)).body).find(shop.name + "<em class=\"badge\">生意旺铺</em>"),
                      std::string::npos);
        }
        if (label == "D7") {
            EXPECT_NE(page.find(full.contact + "<a href="), std::string::npos);
        }
        if (label == "D8") {
            const auto offline = find([](const demo::DemoCompany& c) { return c.level == "离线"; });
            EXPECT_NE(pageText(label, fetch(detailUrl(offline)).body).find(offline.contact + "<span class=\"im\">[离线]</span>"),
                      std::string::npos);
        }
        if (label == "D9") {
            EXPECT_NE(page.find("<title>" + full.name + "- 搜企网</title>"), std::string::npos);
            EXPECT_NE(page.find(full.address + "<a href=\"/map/"), std::string::npos);
            EXPECT_NE(page.find(">查看地图</a>"), std::string::npos);
        }
        if (label == "D11") {
            EXPECT_NE(page.find("<title>" + full.name + "-书生商务网</title>"), std::string::npos);
        }
        if (label == "D12") {
            EXPECT_NE(page.find("<title>" + full.name + "-d12.demo.localhost</title>"), std::string::npos);
        }
        if (label == "S1") {
            EXPECT_EQ(full.host, "city58.demo.localhost") << "the search finds the directory's pages";
            EXPECT_NE(page.find("<title>" + full.name + "-58企业网站</title>"), std::string::npos);
        }
    }
}

TEST_F(DemoWorldSites, OtherPathsAndHostsAreNotFound)
{
    EXPECT_EQ(fetch(base("D1") + "/company/hc99999/index.html").status, 404);
    EXPECT_EQ(fetch(base("D2") + "/gongsi/007.html").status, 404);
    EXPECT_EQ(fetch(base("D3") + "/no/such/page").status, 404);
    EXPECT_EQ(fetch(world.baseUrl("d13.demo.localhost") + "/").status, 404);
    EXPECT_EQ(fetch(base("D4") + "/about.html").status, 200);
}

TEST(DemoWorldDirectories, AKeywordAlwaysGivesTheSameCompaniesAndAnotherGivesOthers)
{
    std::set<std::string> names;
    for (const auto& label : labels()) {
        SCOPED_TRACE(label);
        const auto a = demo::companies(label, "机械");
        const auto again = demo::companies(label, "机械");
        const auto b = demo::companies(label, "电子元件");
        ASSERT_EQ(a.size(), again.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            EXPECT_EQ(a[i].name, again[i].name);
        EXPECT_NE(a.front().name, b.front().name);
        for (const auto* list : {&a, &b}) {
            EXPECT_GE(list->size(), static_cast<std::size_t>(demo::kFewestMatches));
            EXPECT_LE(list->size(), static_cast<std::size_t>(demo::kMostMatches));
            if (label == "D1") {
                EXPECT_EQ(list->size(), 24u) << "D1 lists a whole page";
            }
        }
        EXPECT_EQ(demo::resultCount(label, "机械"), static_cast<int>(a.size()));
        // Each site has its own companies: no name twice anywhere in the world.
        for (const auto& c : demo::companies(label, "全部"))
            EXPECT_TRUE(names.insert(c.name).second) << c.name;
    }
    EXPECT_EQ(names.size(), labels().size() * demo::kDirectorySize);
    EXPECT_TRUE(demo::companies("D13", "机械").empty());
}

TEST(DemoWorldDirectories, MobileNumbersAreMostlyValidWithAFewMalformedOrMissing)
{
    int valid = 0, malformed = 0, missing = 0;
    for (const auto& c : demo::companies("D2", "全部")) {
        const bool ok = c.mobile.size() == 11 && c.mobile[0] == '1' && c.mobile[1] >= '3' && c.mobile[1] <= '9' &&
                        std::all_of(c.mobile.begin(), c.mobile.end(), [](char d) { return d >= '0' && d <= '9'; });
        (c.mobile.empty() ? missing : ok ? valid : malformed)++;
    }
    EXPECT_GT(valid, demo::kDirectorySize * 8 / 10);
    EXPECT_GT(malformed, 10);
    EXPECT_GT(missing, 10);
}
