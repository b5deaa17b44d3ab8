// The template server: its two locations (the primary lacks some templates, the fallback
// has them all) and the templates themselves, each an encrypted task file for its site
// whose published start address collects the default keyword in this world.
#include "demo_world/demo_world.h"

#include "catalogue_rows.h"
#include "store/encrypt_inifile.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace tarvimo;
using namespace tarvimo::worldtest;

namespace {

std::string primaryUrl(const demo::DemoWorld& world, const std::string& name)
{
    return world.baseUrl("templates.demo.localhost") + "/files/QovCompany/demo/" + name;
}

std::string fallbackUrl(const demo::DemoWorld& world, const std::string& name)
{
    return world.baseUrl("mirror.demo.localhost") + "/downloads/files/QovCompany/" + name;
}

constexpr const char* kAbsent = "\x01" "absent";

} // namespace

TEST(DemoWorldTemplates, ThePrimaryLacksSomeTemplatesAndTheFallbackServesEveryOne)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    ASSERT_EQ(demo::templateNames().size(), 14u);
    for (const auto& name : demo::templateNames()) {
        SCOPED_TRACE(name);
        const bool lacking = name == "qy6.dll" || name == "258.dll" || name == "single-edeng.dll";
        const auto primary = fetch(primaryUrl(world, name));
        EXPECT_EQ(primary.status, lacking ? 404 : 200);
        const auto fallback = fetch(fallbackUrl(world, name));
        EXPECT_EQ(fallback.status, 200);
        EXPECT_TRUE(store::startsAsZlibStream(fallback.body));
        if (!lacking) {
            EXPECT_EQ(primary.body, fallback.body) << "both locations publish the same file";
        }
    }
    EXPECT_EQ(fetch(primaryUrl(world, "none.dll")).status, 404);
    EXPECT_EQ(fetch(fallbackUrl(world, "none.dll")).status, 404);
    EXPECT_EQ(fetch(world.baseUrl("templates.demo.localhost") + "/downloads/files/QovCompany/hc360.dll").status, 404)
        << "each location has its own path";
}

TEST(DemoWorldTemplates, WhatThePrimaryLacksCanBeChosen)
{
    demo::WorldOptions options;
    options.primaryLacks = {"hc360.dll"};
    demo::DemoWorld world(options);
    ASSERT_TRUE(world.start());
    EXPECT_EQ(fetch(primaryUrl(world, "hc360.dll")).status, 404);
    EXPECT_EQ(fetch(primaryUrl(world, "qy6.dll")).status, 200);
    EXPECT_EQ(fetch(fallbackUrl(world, "hc360.dll")).status, 200);

    demo::WorldOptions none;
    none.primaryLacks.clear();
    demo::DemoWorld complete(none);
    ASSERT_TRUE(complete.start());
    for (const auto& name : demo::templateNames())
        EXPECT_EQ(fetch(primaryUrl(complete, name)).status, 200) << name;
}

TEST(DemoWorldTemplates, EveryTemplateIsAnEncryptedTaskForItsSiteWithThisWorldsAddresses)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    test::TempDir dir;
    for (const auto& label : labels()) {
        SCOPED_TRACE(label);
        const std::string name = demo::templateName(label);
        const auto r = fetch(fallbackUrl(world, name));
        ASSERT_EQ(r.status, 200);
        const std::string file = dir.file(name);
        test::writeFile(file, r.body);
        store::TEncryptInifile ini(file);
        ASSERT_FALSE(ini.plainMode()) << "a container, not plain INI";
        // The container holds exactly the published text, line by line, in GBK.
        std::vector<std::string> published;
        for (const auto& line : text::splitLines(world.templateIni(name)))
            published.push_back(text::utf8ToGbk(line));
        EXPECT_EQ(ini.lines(), published);

        const auto read = [&](const char* section, const char* key) { return ini.ReadString(section, key, kAbsent); };
        const bool search = label == "S1" || label == "S2";
        EXPECT_EQ(read("master", "taktype"), search ? "1" : "0");
        EXPECT_EQ(read("master", "tasktypes"), "0");
        EXPECT_EQ(read("master", "taskmainurl"), world.baseUrl(hostOf(label)) + "/");
        EXPECT_EQ(read("url", "urlgetword"), "1");
        EXPECT_EQ(read("url", "lb_urlgetword"), demo::gatherWord(label));
        for (const char* key : {"urlkeyword", "urlpagebegin", "urlpageend"})
            EXPECT_EQ(read("url", key), kAbsent) << "no page-number navigation: " << key;
        // The published start address: the default keyword with the range its count gives.
        const int count = demo::resultCount(label, "机械");
        const int size = demo::pageSize(label);
        const int value = countsPages(label) ? (count + size - 1) / size : count;
        EXPECT_EQ(read("url", "urlbegin"),
                  world.baseUrl(hostOf(label)) + startRequest(label, "机械", rangeOf(label, value)));
        // A rule table of r rules: r + 1 rows, r + 2 items per column.
        const int rows = std::stoi(read("rule", "rowcount"));
        for (const char* column : {"ruledata0", "ruledata1", "ruledata2", "ruledata3", "ruledata4", "ruledata5"}) {
            const std::string v = read("rule", column);
            EXPECT_EQ(std::count(v.begin(), v.end(), '^'), rows) << column;
        }
        // At least the items the site's shaping takes from the rules (the e-mail scan adds
        // the last item of company rows).
        static const std::map<std::string, int> shapingNeeds{{"D1", 8},  {"D2", 5},  {"D3", 8},  {"D4", 7}, {"D5", 8},
                                                             {"D6", 7},  {"D7", 4},  {"D8", 6},  {"D9", 8}, {"D10", 8},
                                                             {"D11", 9}, {"D12", 9}, {"S1", 4},  {"S2", 4}};
        EXPECT_GE(rows - 1, shapingNeeds.at(label));
        EXPECT_EQ(read("rule", "ruleloop"), "0");
        const bool utf8 = utf8Site(label);
        EXPECT_TRUE(read("SuperSet", "charType") == (utf8 ? "1" : "0") ||
                    (utf8 && read("SuperSet", "autogetCharType") == "1"))
            << "the pages' encoding";
    }
}
