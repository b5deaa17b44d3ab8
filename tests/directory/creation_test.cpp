#include "directory/task_creator.h"
#include "directory/wizard.h"

#include "base/files.h"
#include "store/encrypt_inifile.h"
#include "store/task_paths.h"
#include "support/master_support.h"
#include "fake_world.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace tarvimo;
using namespace tarvimo::directory;
using test::FakeWorld;

namespace {

std::string g(std::string_view utf8) { return text::utf8ToGbk(utf8); }

std::string keyOf(const std::string& path, const char* section, const char* key)
{
    store::TEncryptInifile ini(path);
    return ini.ReadString(section, key, "");
}

// Counts for every site, each readable by its row's rule, all small.
void answerEverySite(FakeWorld& world)
{
    world.setPage("D1", "共找到48条");
    world.setPage("D2", "<i>共2页</i>");
    world.setPage("D3", "相关记录30条");
    world.setPage("D4", "共找到<span>40</span>家");
    world.setPage("D6", "共找到 <em id=\"resultCount\">12</em>");
    world.setPage("D8", "共12条/2页");
    world.setPage("D9", "搜索到<b>15</b>项结果");
    world.setPage("D10", "共<em>25</em>条");
    world.setPage("D11", "下一页 <a href=\"?kw=x&page=2&cid=0\">");
    world.setPage("D12", "下一页 gotoPage(2,'a')");
    world.setPage("S1", "results");
    world.setPage("S2", "共30条");
}

// D2 2, D3 30, D4 40, D6 12, D8 20, D9 15, D10 25, D11 20, D12 40 (D5, D7: none).
constexpr int kTotalOfAnsweredCounts = 2 + 30 + 40 + 12 + 20 + 15 + 25 + 20 + 40;

class CreationTest : public ::testing::Test {
protected:
    CreationTest() : world(home), env(world.environment()) { answerEverySite(world); }

    std::unique_ptr<run::TFrameTaskData> frameFor(const std::string& keyword)
    {
        auto frame = std::make_unique<run::TFrameTaskData>(boxes, env);
        frame->setMasterFinishDelayMs(0);
        frame->setKeyword(g(keyword));
        frame->setTaskCreator(TcreateTask::creatorWithTimeouts(2000));
        return frame;
    }
    // The primary task as the wizard leaves it.
    std::string primary(const std::string& name)
    {
        const std::string path = storedTaskPath(home.path(), g(name), *findRow("D1"));
        test::TaskFile t(home, {{"名称", "<h1>", "</h1>", ""}}, {{"master", "taktype", "0"}}, "primary-source.ini");
        files::makeDirs(files::dirName(path));
        test::writeFile(path, test::readFile(t.path()));
        return path;
    }
    std::string companion(const std::string& name, const char* label)
    {
        return storedTaskPath(home.path(), g(name), *findRow(label));
    }
    std::vector<std::string> masterNames(const run::TFrameTaskData& f)
    {
        std::vector<std::string> out;
        for (const auto& m : f.masters())
            out.push_back(m.first);
        return out;
    }

    test::TempDir home;
    FakeWorld world;
    engine::Environment env;
    RecordedMessages boxes;
};

} // namespace

TEST_F(CreationTest, EveryCompanionIsMadeInOrderAndJoinsTheRun)
{
    auto frame = frameFor("泵 阀");
    frame->startRun(primary("泵阀"), true, "");
    EXPECT_TRUE(frame->creating());
    ASSERT_TRUE(test::spinUntil([&] { return !frame->creating(); }, 60000));
    EXPECT_EQ(masterNames(*frame), (std::vector<std::string>{"泵阀.tak", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                                              "10", "11"}));
    EXPECT_EQ(frame->expectedRows(), kTotalOfAnsweredCounts);
    const std::string k = "%E6%B3%B5+%E9%98%80";
    const std::string port = std::to_string(world.server.port());
    EXPECT_EQ(keyOf(companion("泵阀", "D2"), "url", "urlbegin"),
              "http://d2.demo.localhost:" + port + "/search.html?kw=" + k + "&type=company&page={1,2}");
    EXPECT_EQ(keyOf(companion("泵阀", "D4"), "url", "urlbegin"),
              "http://d4.demo.localhost:" + port + "/gongsi_search/-" + "B1C320B7A7" + ".html?beginPage={1,2}");
    EXPECT_TRUE(keyOf(companion("泵阀", "D6"), "url", "urlbegin")
                    .starts_with("http://d6.demo.localhost:" + port + "/results_T2__-6CF5-0020-9600_{1,2}.html?"));
    EXPECT_EQ(keyOf(companion("泵阀", "D12"), "master", "taskname"), g("泵阀"));
    EXPECT_TRUE(store::startsAsZlibStream(test::readFile(companion("泵阀", "D12")))) << "the container stays enciphered";
    ASSERT_TRUE(test::spinUntil([&] { return frame->finished(); }, 60000));
    EXPECT_TRUE(frame->waitForThreads(10000));
}

TEST_F(CreationTest, TemplatesComeFromTheFallbackAndFailedRowsAreSkipped)
{
    world.primaryLacks({"huangye.dll", "toocle.dll"});
    world.noneHas({"toocle.dll", "qiyenet.dll"});
    world.garbage({"zhuohi.dll"});
    world.setAnswer("D8", FakeWorld::Answer::Status500);
    world.setAnswer("D4", FakeWorld::Answer::Garbage);  // counts as a page without a count
    auto frame = frameFor("x");
    frame->startRun(primary("x"), true, "");
    ASSERT_TRUE(test::spinUntil([&] { return !frame->creating(); }, 60000));
    EXPECT_TRUE(files::exists(companion("x", "D2"))) << "from the fallback";
    EXPECT_FALSE(files::exists(companion("x", "D3"))) << "neither location has it";
    EXPECT_FALSE(files::exists(companion("x", "D5")));
    EXPECT_FALSE(files::exists(companion("x", "D6"))) << "an error page is no template";
    // A site whose count fails keeps the template as published, and it is not run.
    EXPECT_EQ(keyOf(companion("x", "D8"), "master", "taskname"), "published");
    // 12 rows less one per skipped site (D3, D5, D6, D8).
    EXPECT_EQ(frame->masters().size(), 8u);
    const auto& lines = frame->messages();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("网站 D8 未加入"); }),
              lines.end());
    EXPECT_EQ(frame->expectedRows(), kTotalOfAnsweredCounts - 30 - 12 - 20 - 40 + 30)
        << "D4's garbage page reports its no-match count of 30";
    ASSERT_TRUE(test::spinUntil([&] { return frame->finished(); }, 60000));
}

TEST_F(CreationTest, TheFourthSiteFallsBackToFiftyPagesWhenItsCountFails)
{
    world.setAnswer("D4", FakeWorld::Answer::Status500);
    auto frame = frameFor("ab");
    frame->startRun(primary("ab"), true, "");
    ASSERT_TRUE(test::spinUntil([&] { return !frame->creating(); }, 60000));
    EXPECT_TRUE(keyOf(companion("ab", "D4"), "url", "urlbegin").ends_with("/gongsi_search/-ab.html?beginPage={1,50}"));
    EXPECT_EQ(frame->masters().size(), 12u);
    EXPECT_EQ(frame->expectedRows(), kTotalOfAnsweredCounts - 40);
}

TEST_F(CreationTest, AnUnreachableTemplateServerLeavesThePrimaryAloneWithNoEstimate)
{
    world.noneHas({"huangye.dll", "toocle.dll", "m1688.dll", "qiyenet.dll", "zhuohi.dll", "qy6.dll", "56ye.dll",
                   "soqi.dll", "qiyegu.dll", "shusheng.dll", "258.dll"});
    auto frame = frameFor("k");
    frame->startRun(primary("k"), true, "");
    ASSERT_TRUE(test::spinUntil([&] { return frame->finished(); }, 60000));
    EXPECT_EQ(frame->masters().size(), 1u);
    EXPECT_EQ(frame->expectedRows(), 0);
    EXPECT_EQ(world.requestsTo("d2.demo.localhost"), 0) << "no template, no search";
}

TEST_F(CreationTest, ASecondSearchUnderTheSameNameReplacesWhatItFetches)
{
    {
        auto frame = frameFor("first");
        frame->startRun(primary("same"), true, "");
        ASSERT_TRUE(test::spinUntil([&] { return frame->finished(); }, 60000));
    }
    const std::string keptD3 = test::readFile(companion("same", "D3"));
    world.noneHas({"toocle.dll"});
    auto frame = frameFor("second");
    frame->startRun(primary("same"), true, "");
    ASSERT_TRUE(test::spinUntil([&] { return frame->finished(); }, 60000));
    EXPECT_NE(keyOf(companion("same", "D2"), "url", "urlbegin").find("kw=second"), std::string::npos);
    EXPECT_EQ(test::readFile(companion("same", "D3")), keptD3) << "not fetched again: kept from the first search";
    // A later run from the library finds every companion by name.
    run::TFrameTaskData again(boxes, env);
    again.setMasterFinishDelayMs(0);
    again.startRun(storedTaskPath(home.path(), "same", *findRow("D1")), false, "");
    EXPECT_EQ(masterNames(again), (std::vector<std::string>{"same.tak", "0", "1", "2", "3", "4", "5", "6", "7", "8",
                                                             "9", "10"}));
    ASSERT_TRUE(test::spinUntil([&] { return again.finished(); }, 60000));
}

TEST_F(CreationTest, FreeingTheFrameStopsTheCreationAtOnce)
{
    world.setAnswer("D2", FakeWorld::Answer::Hang);
    auto frame = std::make_unique<run::TFrameTaskData>(boxes, env);
    frame->setKeyword("k");
    // Time-outs far longer than the site's silence (a minute): only a cancel ends the request.
    frame->setTaskCreator(TcreateTask::creatorWithTimeouts(600000));
    frame->startRun(primary("k"), true, "");
    ASSERT_TRUE(world.server.waitForRequest("/search.html"));
    frame.reset();
    QCoreApplication::processEvents();  // a queued hand-over to the freed frame must not run
    EXPECT_EQ(world.requestsTo("d3.demo.localhost"), 0) << "the creation went on after its frame";
    EXPECT_FALSE(files::exists(companion("k", "D3")));
}

// ---- The wizards ---------------------------------------------------------------------------

namespace {

class FakeTabs : public RunTabs {
public:
    int pageCount() const override { return 1 + static_cast<int>(tabs.size()); }
    std::vector<std::string> captions() const override { return tabs; }
    void startTaskByName(const std::string& name, const std::string& text, bool fromTemplate) override
    {
        started.push_back({name, text, fromTemplate ? "template" : "plain"});
    }
    std::vector<std::string> tabs;
    std::vector<std::vector<std::string>> started;
};

class WizardTest : public CreationTest {
protected:
    // Presses OK and waits for the outcome: closed, or the buttons back.
    bool press(SearchWizard& w)
    {
        bool closed = false;
        QObject::connect(&w, &SearchWizard::closeRequested, [&] { closed = true; });
        w.ok();
        EXPECT_TRUE(test::spinUntil([&] { return !w.busy(); }, 60000));
        return closed;
    }
    std::vector<std::string> warnings() const
    {
        std::vector<std::string> out;
        for (const auto& e : boxes.entries)
            out.push_back(e.text);
        return out;
    }
    FakeTabs tabs;
};

} // namespace

TEST(WizardName, TheTaskNameLosesOnlyTheFirstInnerBlank)
{
    EXPECT_EQ(taskNameFromKeyword("  pump valve  seal "), "pumpvalve  seal");
    EXPECT_EQ(taskNameFromKeyword(g("液压 泵")), g("液压泵"));
    EXPECT_EQ(taskNameFromKeyword("   "), "");
}

TEST_F(WizardTest, EveryRefusalComesBeforeAnythingIsAskedOrWritten)
{
    TnewscTask w(boxes, tabs, env);
    w.ok();
    w.keywordChanged(g("  机械 "));
    EXPECT_EQ(w.taskName(), g("机械"));
    w.setTaskName("  ");
    w.ok();
    for (const char* bad : {"../etc", "a/b", "a\\b", "..", ".", "tab\there"}) {
        w.setTaskName(bad);
        w.ok();
    }
    w.setTaskName(g("表格"));  // a GBK character whose second byte is a backslash is fine
    tabs.tabs = {g("表格")};
    w.ok();
    tabs.tabs = {"a", "b", "c"};
    w.ok();
    const std::string unusable = store::kUnusableTaskName;
    EXPECT_EQ(warnings(), (std::vector<std::string>{kNoKeyword, kNoTaskName, unusable, unusable, unusable, unusable,
                                                     unusable, unusable, kDuplicateName, kTooManyTabs}));
    EXPECT_EQ(world.server.requestCount(), 0u);
    EXPECT_FALSE(files::exists(home.file("Task")));
    EXPECT_TRUE(w.buttonsEnabled());
    EXPECT_FALSE(w.panelVisible());
}

TEST_F(WizardTest, TheMultiSiteSearchMakesThePrimaryTaskAndStartsItWithItsCompanions)
{
    TnewscTask w(boxes, tabs, env);
    w.keywordChanged(g("液压 泵"));
    std::vector<std::pair<bool, bool>> states;
    QObject::connect(&w, &SearchWizard::stateChanged, [&] { states.push_back({w.buttonsEnabled(), w.panelVisible()}); });
    EXPECT_TRUE(press(w));
    EXPECT_EQ(states.front(), std::make_pair(false, true)) << "buttons off and the panel up while creating";
    EXPECT_EQ(tabs.started, (std::vector<std::vector<std::string>>{{g("液压泵"), g("液压 泵"), "template"}}));
    const std::string task = companion("液压泵", "D1");
    EXPECT_EQ(keyOf(task, "master", "taskname"), g("液压泵"));
    EXPECT_EQ(keyOf(task, "url", "urlbegin"), "http://d1.demo.localhost:" + std::to_string(world.server.port()) +
                                                  "/?w=%D2%BA%D1%B9%20%B1%C3&mc=enterprise&ee={1,2}");
    EXPECT_TRUE(boxes.entries.empty());
    EXPECT_EQ(world.requestsTo("d2.demo.localhost"), 0) << "the companions are the run's business";
}

TEST_F(WizardTest, ThePrimaryTaskKeepsItsFirstPageWhenTheCountFails)
{
    world.setAnswer("D1", FakeWorld::Answer::Status500);
    TnewscTask w(boxes, tabs, env);
    w.keywordChanged("abc");
    EXPECT_TRUE(press(w));
    EXPECT_EQ(keyOf(companion("abc", "D1"), "url", "urlbegin"),
              "http://d1.demo.localhost:" + std::to_string(world.server.port()) + "/?w=abc&mc=enterprise&ee=1");
}

TEST_F(WizardTest, AMissingTemplateKeepsTheDialogOpen)
{
    world.noneHas({"hc360.dll"});
    TnewscTask w(boxes, tabs, env);
    w.keywordChanged("abc");
    EXPECT_FALSE(press(w));
    EXPECT_EQ(warnings(), std::vector<std::string>{kTemplateFailed});
    EXPECT_TRUE(w.buttonsEnabled());
    EXPECT_FALSE(w.panelVisible());
    EXPECT_TRUE(tabs.started.empty());
    EXPECT_TRUE(files::exists(home.file("Task"))) << "the folder is made before the fetch";
}

TEST_F(WizardTest, TheMobileSearchMakesTwoTasksOfTypeOne)
{
    TnewscTaskSingle w(boxes, tabs, env);
    w.keywordChanged("a b");
    EXPECT_TRUE(press(w));
    EXPECT_EQ(tabs.started, (std::vector<std::vector<std::string>>{{"ab", "a b", "plain"}}));
    const std::string port = std::to_string(world.server.port());
    const std::string first = companion("ab", "S1"), second = companion("ab", "S2");
    EXPECT_EQ(keyOf(first, "master", "taktype"), "1");
    EXPECT_EQ(keyOf(first, "url", "urlbegin"), "http://search.demo.localhost:" + port +
                                                   "/s?wd=site%3A(city58.demo.localhost)%20a+b&tn=baiduadv&ie=utf-8&pn={0,500,10}");
    EXPECT_EQ(keyOf(second, "master", "taktype"), "1");
    EXPECT_EQ(keyOf(second, "url", "urlbegin"), "http://s2.demo.localhost:" + port + "/nf/c/G1C0R1/a+b/{1,2}/");
}

TEST_F(WizardTest, TheSecondMobileTaskIsABonus)
{
    world.noneHas({"single-edeng.dll"});
    TnewscTaskSingle w(boxes, tabs, env);
    w.keywordChanged("k");
    EXPECT_TRUE(press(w)) << "the first task still runs";
    EXPECT_EQ(warnings(), std::vector<std::string>{kTemplateFailed});
    EXPECT_EQ(tabs.started.size(), 1u);
    EXPECT_FALSE(files::exists(companion("k", "S2")));

    // S2 whose count fails keeps the template's own values.
    boxes.entries.clear();
    world.noneHas({});
    world.setAnswer("S2", FakeWorld::Answer::Status500);
    TnewscTaskSingle again(boxes, tabs, env);
    again.keywordChanged("m");
    EXPECT_TRUE(press(again));
    EXPECT_TRUE(boxes.entries.empty());
    EXPECT_EQ(keyOf(companion("m", "S2"), "master", "taskname"), "published");
}

TEST_F(WizardTest, AMobileSearchWhoseSearchFailsOpensNothing)
{
    world.setAnswer("S1", FakeWorld::Answer::Status500);
    TnewscTaskSingle w(boxes, tabs, env);
    w.keywordChanged("k");
    EXPECT_FALSE(press(w));
    EXPECT_EQ(warnings(), std::vector<std::string>{kSearchFailed});
    EXPECT_TRUE(tabs.started.empty());
    EXPECT_FALSE(files::exists(companion("k", "S1"))) << "no half-made task is left in the library";
}
