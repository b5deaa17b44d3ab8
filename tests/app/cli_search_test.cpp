// The keyword search headless, end to end against the demo world in this process.
#include "cli_support.h"

#include "base/files.h"
#include "demo_world/demo_world.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace tarvimo;
using test::CliResult;

namespace {

// The rows of a --utf8 table: cells of each line after the title line.
std::vector<std::vector<std::string>> rowsOf(const std::string& table)
{
    std::vector<std::vector<std::string>> rows;
    const auto lines = text::splitLines(table);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> cells;
        std::string line = lines[i];
        std::size_t from = 0;
        while (from < line.size()) {
            if (line[from] == '\t')
                ++from;
            const std::size_t tab = line.find('\t', from);
            cells.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos)
                break;
            from = tab;
        }
        rows.push_back(cells);
    }
    return rows;
}

class CliSearch : public ::testing::Test {
protected:
    void startWorld(demo::WorldOptions options = {})
    {
        world = std::make_unique<demo::DemoWorld>(std::move(options));
        ASSERT_TRUE(world->start());
        test::writeFile(home.file("sites.ini"), world->sitesIni());
    }
    CliResult search(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--utf8", "--time", "T"});
        return test::runCommandLine(home.path(), "search", args);
    }
    // Every company a site lists for the keyword is in the table once, in its columns.
    void expectSite(const std::vector<std::vector<std::string>>& rows, const std::string& label, const std::string& keyword)
    {
        const auto truth = demo::companies(label, keyword);
        ASSERT_FALSE(truth.empty()) << label;
        std::map<std::string, const std::vector<std::string>*> byName;
        for (const auto& r : rows)
            if (r.size() > 1)
                byName[r[1]] = &r;
        int found = 0;
        for (const auto& c : truth) {
            auto it = byName.find(c.name);
            if (it == byName.end())
                continue;
            ++found;
            const auto& r = *it->second;
            ASSERT_EQ(r.size(), 7u) << label << " " << c.name;
            EXPECT_EQ(r[2], c.contact.empty() ? " " : c.contact) << label << " " << c.name;
            EXPECT_EQ(r[4], c.address.empty() ? " " : c.address) << label << " " << c.name;
        }
        EXPECT_EQ(found, static_cast<int>(truth.size())) << label << ": every company of the site is in the table";
    }

    test::TempDir home;
    std::unique_ptr<demo::DemoWorld> world;
};

} // namespace

TEST_F(CliSearch, OneKeywordGivesOneTableOfEveryDirectorySite)
{
    startWorld();
    const std::string keyword(demo::kDefaultKeyword);
    const CliResult r = search({keyword});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rowsOf(r.out);
    for (const char* label : {"D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8", "D9", "D10", "D11", "D12"})
        expectSite(rows, label, keyword);
    // Serial numbers run on without a gap over every site's rows.
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i].at(0), std::to_string(i + 1));
    EXPECT_EQ(rows.front().back(), "T");
    // The primary task and its eleven companions are in the library.
    for (const char* f : {"机械.tak", "机械.dll", "机械1.dll", "机械6.dll", "机械10.dll"})
        EXPECT_TRUE(files::exists(home.file(std::string("Task/") + f))) << f;
    EXPECT_NE(r.err.find("tasks 12"), std::string::npos) << r.err;
}

TEST_F(CliSearch, TheMobileNumberSearchCollectsItsTwoSites)
{
    startWorld();
    const CliResult r = search({std::string(demo::kDefaultKeyword), "--single", "--name", "mobiles"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rowsOf(r.out);
    std::set<std::string> titles;
    for (const auto& row : rows)
        titles.insert(row.at(1));
    for (const char* label : {"S1", "S2"}) {
        const auto truth = demo::companies(label, demo::kDefaultKeyword);
        ASSERT_FALSE(truth.empty());
        const int present = static_cast<int>(std::count_if(truth.begin(), truth.end(), [&](const demo::DemoCompany& c) {
            return std::any_of(titles.begin(), titles.end(), [&](const std::string& t) { return t.find(c.name) != std::string::npos; });
        }));
        EXPECT_EQ(present, static_cast<int>(truth.size())) << label;
    }
    EXPECT_TRUE(files::exists(home.file("Task/mobiles.tak")));
    EXPECT_TRUE(files::exists(home.file("Task/mobiles1.dtp")));
}

TEST_F(CliSearch, KeywordsWithReservedAndRareCharactersReachEverySite)
{
    startWorld();
    // Blanks, %, &, +, quotes and a four-byte GB18030 character, in every keyword form.
    const std::string keyword = "机械 50%&\"a+b' \xF0\xA0\x80\x80";
    const CliResult r = search({keyword, "--name", "odd"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rowsOf(r.out);
    for (const char* label : {"D1", "D2", "D4", "D6", "D12"})
        expectSite(rows, label, keyword);
}

TEST_F(CliSearch, SitesThatFailAreLeftOutAndNamed)
{
    demo::WorldOptions o;
    o.siteFaults["D3"] = demo::SiteFault::ServerError;
    o.templateFaults["258.dll"] = demo::TemplateFault::BothFail;
    o.templateFaults["soqi.dll"] = demo::TemplateFault::Garbage;
    o.templateFaults["huangye.dll"] = demo::TemplateFault::PrimaryFails;
    startWorld(o);
    const std::string keyword(demo::kDefaultKeyword);
    const CliResult r = search({keyword});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rowsOf(r.out);
    for (const char* label : {"D1", "D2", "D4", "D5", "D6", "D7", "D8", "D10", "D11"})
        expectSite(rows, label, keyword);
    for (const char* label : {"D3", "D9", "D12"})
        EXPECT_NE(r.err.find(std::string("网站 ") + label + " 未加入"), std::string::npos) << label << "\n" << r.err;
    EXPECT_FALSE(files::exists(home.file("Task/机械7.dll"))) << "garbage is not stored as a task";
}

TEST_F(CliSearch, TheDialogsRefusalsEndWithStatusOne)
{
    startWorld();
    CliResult r = search({"   "});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("请输入关键词"), std::string::npos);
    r = search({"k", "--name", "../../escape"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("任务名称不能"), std::string::npos) << r.err;
    EXPECT_FALSE(files::exists(home.file("escape.tak")));
    EXPECT_FALSE(files::exists(home.file("../escape.tak")));

    demo::WorldOptions o;
    o.templateFaults["hc360.dll"] = demo::TemplateFault::BothFail;
    startWorld(o);
    r = search({"k"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("搜索引擎加载失败，请检查网络连接是否正常"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}
