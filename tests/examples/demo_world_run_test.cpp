// A whole collection from each site of the demo world, as a search leaves it to the
// command line: the site's template fetched from the template server and stored as a
// task, its start address set to the row's first-page request with the range the count
// gives, then `tarvimo-cli run --utf8` in a home whose sites.ini names this world. Every
// company the site lists for the keyword must come out once, its values in the right
// columns and the site's decoration gone.
#include "demo_world/demo_world.h"

#include "app/cli_support.h"
#include "base/files.h"
#include "catalogue_rows.h"
#include "store/encrypt_inifile.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

struct Grid {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> rows;  // cells trimmed
};

std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', from)) {
        out.push_back(text::trim(line.substr(from, tab - from)));
        from = tab + 1;
    }
    out.push_back(text::trim(line.substr(from)));
    if (!out.empty() && out.front().empty())
        out.erase(out.begin());  // every line starts with the separator
    return out;
}

Grid gridOf(const std::string& output)
{
    Grid g;
    const auto lines = text::splitLines(output);
    if (lines.empty())
        return g;
    g.titles = cells(lines[0]);
    for (std::size_t i = 1; i < lines.size(); ++i)
        g.rows.push_back(cells(lines[i]));
    return g;
}

class WorldHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.start());
        test::writeFile(home.file("sites.ini"), world.sitesIni());
        ASSERT_TRUE(files::makeDirs(home.file("Task")));
    }

    // The template as a search stores it: from the primary location, else the fallback.
    std::string storeTemplate(const std::string& label)
    {
        const std::string name = demo::templateName(label);
        auto r = fetch(world.baseUrl("templates.demo.localhost") + "/files/QovCompany/demo/" + name);
        if (!r.success())
            r = fetch(world.baseUrl("mirror.demo.localhost") + "/downloads/files/QovCompany/" + name);
        EXPECT_TRUE(r.success()) << name;
        const std::string task = home.file("Task/" + name.substr(0, name.size() - 4) + ".tak");
        test::writeFile(task, r.body);
        return task;
    }

    test::CliResult run(const std::string& task)
    {
        return test::runCommandLine(home.path(), "run", {task, "--utf8", "--threads", "16", "--time", "T"});
    }

    // Every company once, in the site's columns, whatever order the workers delivered them in.
    void expectCompanies(const std::string& label, const Grid& grid, const std::vector<demo::DemoCompany>& companies)
    {
        const bool contacts = label != "S1" && label != "S2";
        const std::vector<std::string> titles = contacts
            ? std::vector<std::string>{"序号", "公司名称", "联系人", "手机号", "地址", "邮箱", "采集时间"}
            : std::vector<std::string>{"序号", "标题", "手机号", "邮件", "采集时间", ""};  // and an untitled sixth
        ASSERT_EQ(grid.titles, titles);
        std::map<std::string, const std::vector<std::string>*> byName;
        std::set<std::string> serials;
        for (const auto& row : grid.rows) {
            ASSERT_EQ(row.size(), titles.size());
            EXPECT_TRUE(byName.emplace(row[1], &row).second) << "twice: " << row[1];
            serials.insert(row[0]);
            EXPECT_EQ(row[titles.size() - (contacts ? 1 : 2)], "T");
        }
        EXPECT_EQ(grid.rows.size(), companies.size());
        EXPECT_EQ(serials.size(), grid.rows.size()) << "each row its own number";
        for (const auto& c : companies) {
            const auto it = byName.find(c.name);
            if (it == byName.end()) {
                ADD_FAILURE() << "missing: " << c.name << " " << c.path;
                continue;
            }
            const auto& row = *it->second;
            if (contacts) {
                EXPECT_EQ(row, (std::vector<std::string>{row[0], c.name, c.contact, c.mobile, c.address, c.email, "T"}));
            }
            else {
                EXPECT_EQ(row, (std::vector<std::string>{row[0], c.name, c.mobile, c.email, "T", ""}));
            }
        }
    }

    demo::DemoWorld world;
    test::TempDir home{"tarvimo-world-home"};
};

class DemoWorldRun : public WorldHome, public ::testing::WithParamInterface<std::string> {};
class DemoWorldPublishedTemplate : public WorldHome {};

} // namespace

TEST_P(DemoWorldRun, CollectsEveryCompanyOfTheSiteIntoItsColumns)
{
    const std::string label = GetParam();
    const std::string keyword(demo::kDefaultKeyword);
    const std::string task = storeTemplate(label);
    // The start address a search writes: the first-page request with the range the
    // row's count rule gives for the site's result count.
    const int count = demo::resultCount(label, keyword);
    const int size = demo::pageSize(label);
    const Range range = rangeOf(label, countsPages(label) ? (count + size - 1) / size : count);
    {
        store::TEncryptInifile ini(task);
        ASSERT_FALSE(ini.plainMode());
        ini.WriteString("master", "taskname", text::utf8ToGbk("机械-" + label));
        ini.WriteString("url", "urlbegin", world.baseUrl(hostOf(label)) + startRequest(label, keyword, range));
        ini.UpdateFile();
    }
    const auto r = run(task);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("页面失败"), std::string::npos) << "no page failed: " << r.err;
    expectCompanies(label, gridOf(r.out), demo::companies(label, keyword));
}

INSTANTIATE_TEST_SUITE_P(EverySite, DemoWorldRun, ::testing::ValuesIn(labels()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_F(DemoWorldPublishedTemplate, CollectsTheDefaultKeywordAsPublished)
{
    // qy6.dll comes from the fallback location; its start address is left as published.
    const std::string task = storeTemplate("D7");
    const auto r = run(task);
    ASSERT_EQ(r.status, 0) << r.err;
    expectCompanies("D7", gridOf(r.out), demo::companies("D7", demo::kDefaultKeyword));
}
