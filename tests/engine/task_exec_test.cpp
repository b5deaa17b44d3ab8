#include "base/text.h"
#include "net/http_client.h"
#include "engine/task_exec.h"
#include "support/local_http_server.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <random>

using namespace tarvimo;
using engine::Row;
using engine::TtaskExec;

namespace {

using test::g;

Row gRow(std::initializer_list<std::string> utf8)
{
    Row r;
    for (const auto& s : utf8)
        r.push_back(g(s));
    return r;
}

using test::Key;
using test::Rule;
using test::TaskFile;

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.home = dir.path();
        env.settingsPath = dir.file("DefaultSet.ini");
    }

    std::unique_ptr<TtaskExec> engine()
    {
        auto e = std::make_unique<TtaskExec>(state, env);
        e->setEmailLookup(false, true);
        e->setHandOver([this](const Row& r) { handed.push_back(r); });
        return e;
    }

    // Loads the task file and extracts one page with its rules, as a fetcher does.
    static std::vector<Row> extract(TtaskExec& e, const std::string& taskFile, std::string page, net::HttpClient* connection,
                                    const std::string& address)
    {
        e.setTask(engine::loadTask(taskFile).task);
        return e.extractPage(std::move(page), connection, address);
    }

    std::vector<Row> run(const TaskFile& task, const std::string& pageUtf8, const std::string& address = "http://h/a/b.html")
    {
        auto e = engine();
        return extract(*e, task.path(), g(pageUtf8), nullptr, address);
    }

    test::TempDir dir;
    engine::Environment env;
    engine::RunState state;
    std::vector<Row> handed;
};

} // namespace

TEST_F(ExtractTest, SingleRecordFoldsCaseUnlessMarkersAreCaseSensitive)
{
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}});
    EXPECT_EQ(run(task, "<TITLE>Abc</TITLE>"), (std::vector<Row>{{"abc"}}));
    EXPECT_EQ(handed, (std::vector<Row>{{"abc"}})) << "every returned row is handed over once";

    TaskFile caseTask(dir, {{"标题", "<title>", "</title>", ""}}, {{"rule", "ruleCase", "1"}}, "c.tak");
    EXPECT_EQ(run(caseTask, "<title>Abc</title>"), (std::vector<Row>{{"Abc"}}));
}

TEST_F(ExtractTest, SingleRecordFieldsMissingMarkersAlternativesAndLineBreaks)
{
    TaskFile task(dir, {{"名称", "<b>%%%<i>", "</b>%%%</i>", ""},
                        {"电话", "tel:", "</p>", ""},
                        {"缺失", "<x>", "</nothing>", ""},
                        {"行", "[#13+#10]名称：", "<", ""}});
    auto rows = run(task, "<i>X</i><p>Tel: 0571-1234 </p>\r\n名称：ACME<br>");
    EXPECT_EQ(rows, (std::vector<Row>{{"x", "0571-1234", " ", "acme"}}));
    // Without any CR in the page a LF stands for the line break.
    rows = run(task, "<i>y</i><p>tel:1</p>\n名称：z<");
    EXPECT_EQ(rows, (std::vector<Row>{{"y", "1", " ", "z"}}));
}

TEST_F(ExtractTest, SingleRecordWithoutAutoMidSearchesThePageForEveryRule)
{
    const std::vector<Rule> rules{{"a", "<b>", "</b>", ""}, {"b", "<b>", "</b>", ""}};
    TaskFile seq(dir, rules);
    EXPECT_EQ(run(seq, "<b>1</b><b>2</b>"), (std::vector<Row>{{"1", "2"}})) << "fields are read in sequence";
    TaskFile whole(dir, rules, {{"rule", "ruleAutoMid", "0"}}, "w.tak");
    EXPECT_EQ(run(whole, "<b>1</b><b>2</b>"), (std::vector<Row>{{"1", "1"}}));
}

TEST_F(ExtractTest, EndMarkerBeforeBeginAndEndInsideBegin)
{
    TaskFile task(dir, {{"v", "<td>", "</td>", ""}, {"w", "[[", "[", ""}});
    // "</td>" first: the working text moves to "<td>" and both are searched again.
    EXPECT_EQ(run(task, "x</td> <td>v1</td> [[w1["), (std::vector<Row>{{"v1", "w1"}}));
}

TEST_F(ExtractTest, ConstantsRunNumberUrlAndTimeColumns)
{
    TaskFile task(dir, {{"来源", "目录网", "", "常量"}, {"次数", "7", "", "运行次数"}, {"标题", "<h1>", "</h1>", ""}},
                  {{"rule", "rulesaveurl", "1"}});
    env.fixClock("2026-12-09 10:00:00");
    auto e = engine();
    // autogettime is off in the task; the URL column follows the fields.
    auto rows = extract(*e, task.path(), g("<h1>公司</h1>"), nullptr, "http://h/p.html");
    EXPECT_EQ(rows, (std::vector<Row>{gRow({"目录网", "7", "公司", "http://h/p.html"})}));
    EXPECT_EQ(state.runCounter.load(), 7) << "the begin marker sets the run counter";
    EXPECT_EQ(e->outputCaptions(), gRow({"序号", "来源", "次数", "标题", "URL"}));

    state.restarted = true;
    state.runCounter = 3;
    rows = extract(*e, task.path(), g("<h1>x</h1>"), nullptr, "u");
    EXPECT_EQ(rows.at(0).at(1), "3") << "after a restart the frame's counter is used";

    // A row of nothing but constants is dropped.
    TaskFile onlyConst(dir, {{"来源", "目录网", "", "常量"}}, {}, "k.tak");
    EXPECT_TRUE(run(onlyConst, "<h1>x</h1>").empty());
}

TEST_F(ExtractTest, TimeColumnAndTaktypeZeroEmailScan)
{
    TaskFile task(dir, {{"名称", "<h1>", "</h1>", ""}}, {}, "z.tak");
    // taktype 0 and the time column, written through the store the program uses.
    {
        store::TEncryptInifile ini(task.path());
        ini.WriteInteger("master", "taktype", 0);
        ini.WriteBool("SuperSet", "autogettime", true);
    }
    env.fixClock("2026-12-09 10:00:00");
    auto e = engine();
    auto rows = extract(*e, task.path(), g("<h1>甲</h1> mail: a.b@x.cn, c@y.com a.b@x.cn"), nullptr, "u");
    EXPECT_EQ(rows, (std::vector<Row>{gRow({"甲", "2026-12-09 10:00:00", "a.b@x.cn,c@y.com"})}));
    EXPECT_EQ(e->outputCaptions(), gRow({"序号", "名称", "采集时间"}));

    // Without a fixed text the clock gives yyyy-MM-dd HH:mm:ss.
    env.fixClock("");
    auto clock = extract(*engine(), task.path(), g("<h1>乙</h1>"), nullptr, "u");
    ASSERT_EQ(clock.size(), 1u);
    const std::string& t = clock[0].at(1);
    ASSERT_EQ(t.size(), 19u) << t;
    EXPECT_TRUE(t[4] == '-' && t[7] == '-' && t[10] == ' ' && t[13] == ':' && t[16] == ':') << t;
}

TEST_F(ExtractTest, WholePageMode)
{
    TaskFile task(dir, {{"全部", "", "", ""}}, {{"rule", "rulegetalldata", "1"}, {"rule", "rulesaveurl", "1"}});
    EXPECT_EQ(run(task, "<p>Whole</p>", "http://h/x"), (std::vector<Row>{{"<p>Whole</p>", "http://h/x"}}));
}

TEST_F(ExtractTest, LoopRecordsStayInsideTheirRecord)
{
    TaskFile task(dir, {{"名称", "<td>", "</td>", ""}, {"电话", "<i>", "</i>", ""}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}});
    const std::string page = "<table><tr><td>A</td><i>1</i><tr><td>B</td><tr><td>C</td><i>3</i></table>";
    EXPECT_EQ(run(task, page), (std::vector<Row>{{"a", "1"}, {"b", " "}, {"c", "3"}}))
        << "the second record's 电话 lies beyond the next <tr>";
    EXPECT_EQ(handed.size(), 3u);
}

TEST_F(ExtractTest, LoopAreaPageLevelRulesAndScanners)
{
    TaskFile task(dir,
                  {{"栏目", "<h2>", "</h2>", "附加类型"},
                   {"名称", "<td>", "</td>", ""},
                   {"手机", "手机", "", "常量"},
                   {"页脚", "<f>", "</f>", "附加类型"},
                   {"尾注", "<g>", "</g>", ""}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}, {"rule", "ruleloopFront", "<list>"}, {"rule", "ruleloopHind", "</list>"}});
    const std::string page = "<h2>Head</h2><tr><td>skipped</td><list> <tr><td>A</td> 13912345678 <tr><td>B</td>"
                             " 18612345678 13912345678</list><g>tail</g><f>x</f>";
    // The loop area ends at </list>, so the trailing rule after the ending 附加类型 rule
    // ("尾注") finds nothing; the mobile scan reads the rest of the working text.
    auto rows = run(task, page);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], gRow({"head", "a", "13912345678,18612345678", " "}));
    EXPECT_EQ(rows[1], gRow({"head", "b", "13912345678,18612345678", " "})) << "numbers come in pattern order";
}

TEST_F(ExtractTest, PageLevelRuleLaterInTheTableEndsTheLoopBlock)
{
    TaskFile task(dir, {{"名称", "<td>", "</td>", ""}, {"地区", "<i>", "</i>", ""}, {"页", "<f>", "</f>", "附加类型"},
                        {"尾", "<g>", "</g>", ""}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}});
    auto rows = run(task, "<tr><td>A</td><i>1</i><tr><td>B</td><i>2</i> <f>F</f><g>G</g>");
    EXPECT_EQ(rows, (std::vector<Row>{{"a", "1", "f", "g"}, {"b", "2", "f", "g"}}));
}

TEST_F(ExtractTest, SplitModeMakesOneRowPerPiece)
{
    TaskFile task(dir, {{"片段", "<br>", "<br>", ""}}, {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<br>"}, {"rule", "rulesaveurl", "1"}});
    auto rows = run(task, " one<BR>two <br>three ", "u");
    EXPECT_EQ(rows, (std::vector<Row>{{"one", "u"}, {"two ", "u"}, {"three", "u"}}));
}

TEST_F(ExtractTest, FormulasAndClassificationRunBeforeTheHandOver)
{
    TaskFile task(dir, {{"名称", "<td>", "</td>", ""}, {"电话", "<i>", "</i>", ""}, {"类别", "", "", "常量"}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}, {"SuperSet", "infoCalReplace", "{替换公式}^[电话]=-[替换为]"}, {"SuperSet", "autogetclass", "{分类公式},\"[类别]=[名称]食品,服装\""}});
    auto rows = run(task, "<tr><td>服装厂</td><i>0571-88</i><tr><td>五金店</td><i>1-2</i>");
    EXPECT_EQ(rows, (std::vector<Row>{gRow({"服装厂", "057188"}), gRow({"五金店", "12"})}))
        << "the constant rule without 手机/邮箱 adds no field; the class field lies beyond the row";
}

TEST_F(ExtractTest, RowFilterDropsRecords)
{
    TaskFile task(dir, {{"名称", "<td>", "</td>", ""}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}, {"SuperSet", "Filter", "<名称>[包含]公司/厂"}});
    EXPECT_EQ(run(task, "<tr><td>某某厂</td><tr><td>某某店</td><tr><td>甲公司</td>"),
              (std::vector<Row>{gRow({"某某厂"}), gRow({"甲公司"})}));
}

TEST_F(ExtractTest, LinkedPagesAreFetchedAndReadByLaterRules)
{
    fixtures::LocalHttpServer server;
    server.setPage("/detail/1.html", g("<p>联系人：张三</p>"), "text/html; charset=gbk");
    server.setPage("/detail/2.html", "<meta content=\"text/html; charset=UTF-8\"><p>\xE8\x81\x94\xE7\xB3\xBB\xE4\xBA\xBA\xEF\xBC\x9A\xE6\x9D\x8E\xE5\x9B\x9B</p>",
                   "text/html; charset=utf-8");
    // The default clear list deletes ":" and with it the port of these addresses.
    TaskFile single(dir, {{"链接", "<a href=\"", "\"", "关联地址类型"}, {"联系人", "联系人：", "</p>", ""}},
                    {{"SuperSet", "ClearChar", "*"}});
    net::HttpClient client;
    auto e = engine();
    auto rows = extract(*e, single.path(), "<a href=\"detail/1.html\">", &client, server.url("/index.html"));
    EXPECT_EQ(rows, (std::vector<Row>{{server.url("/detail/1.html"), g("张三")}}))
        << "a relative link is joined to the page's base address";

    // Loop mode: the linked page is converted like a fetched page and read inside its record.
    TaskFile loop(dir, {{"链接", "<a href=\"", "\"", "关联地址类型"}, {"联系人", "联系人：", "</p>", ""}},
                  {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<li>"}, {"SuperSet", "autogetCharType", "1"},
                   {"SuperSet", "ClearChar", "*"}},
                  "l.tak");
    auto e2 = engine();
    const std::string list = "<li><a href=\"" + server.url("/detail/1.html") + "\"><li><a href=\"" +
                             server.url("/detail/2.html") + "\"><li><a href=\"" + server.url("/missing") + "\">";
    rows = extract(*e2, loop.path(), list, &client, server.url("/list"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], g("张三"));
    EXPECT_EQ(rows[1][1], g("李四")) << "the UTF-8 linked page was converted";
    EXPECT_EQ(rows[2][1], " ") << "a failed linked page leaves the record going";
}

TEST_F(ExtractTest, LoopRecordsGetTheEmailLookupAnswer)
{
    fixtures::LocalHttpServer search;
    search.on("GET", "/s", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("contact: Sales@Acme.com.cn.x or sales@acme.com.cn", "text/html");
    });
    test::writeFile(dir.file("sites.ini"), "[SearchEngine]\r\nhost=" + search.baseUrl() + "\r\npartner=p1\r\n");
    env.catalogue = engine::SiteCatalogue::load(dir.file("sites.ini"));
    std::vector<Rule> rules{{"名称", "<b>", "</b>", ""}};
    for (const char* c : {"b", "c", "d", "e", "f"})
        rules.push_back({c, "<" + std::string(c) + ">", "</" + std::string(c) + ">", ""});
    TaskFile task(dir, rules, {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}});
    auto e = engine();
    e->setEmailLookup(true, true);
    auto rows = extract(*e, task.path(), g("<tr><b>甲有限公司</b><f>old</f>"), nullptr, "u");
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 6u);
    EXPECT_EQ(rows[0][5], "sales@acme.com.cn") << "field 5 takes the lookup's answer";
    ASSERT_EQ(search.requests().size(), 1u);
    EXPECT_EQ(search.requests()[0].target, "/s?tn=p1&wd=%BC%D7email") << "有限公司 is dropped, the GBK name percent-encoded";
}

TEST_F(ExtractTest, ScannersFollowPatternOrder)
{
    auto e = engine();
    EXPECT_EQ(e->scanMobiles("a 18712345678 x 13412345678 13412345678 17012345678 13012345678 15312345678"),
              "18712345678,13412345678,17012345678,13012345678,15312345678");
    EXPECT_EQ(e->scanEmails("x@y.com and A.b-c@d.e.cn; bad@ and x@y.com"), "x@y.com,A.b-c@d.e.cn");
    EXPECT_EQ(e->scanEmails("no address"), "");
    // A long run of letters must not make the scan quadratic.
    std::string run(2'000'000, 'a');
    run += "@b.cn";
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(e->scanEmails(run).size(), run.size());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30)) << "did not hang";
}

TEST_F(ExtractTest, ATaskThatCannotBeReadExtractsNothing)
{
    store::SaveCompressedLines({{}, "zz"}, dir.file("bad.tak"));
    const auto load = engine::loadTask(dir.file("bad.tak"));
    EXPECT_EQ(load.task, nullptr);
    EXPECT_NE(load.error.find("bad.tak"), std::string::npos) << load.error;
    EXPECT_EQ(engine::loadTask(dir.file("none.tak")).error, "cannot read " + dir.file("none.tak"));
    auto e = engine();
    std::vector<Row> rows{{"x"}};
    EXPECT_NO_THROW(rows = extract(*e, dir.file("bad.tak"), "<p>x</p>", nullptr, "u"));
    EXPECT_TRUE(rows.empty());
}

TEST_F(ExtractTest, HostilePagesAndRuleTablesEndWithoutFault)
{
    std::mt19937 rng(11);
    std::string noise(1 << 20, '\0');
    for (auto& c : noise)
        c = static_cast<char>(rng());
    TaskFile loop(dir, {{"a", "<", ">", ""}, {"b", "", "", ""}}, {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<"}});
    EXPECT_NO_THROW(extract(*engine(), loop.path(), noise, nullptr, "u"));

    // A loop word that occurs 100 000 times, markers equal to each other and to nothing.
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "<tr><td>" + std::to_string(i) + "</td>";
    TaskFile rows(dir, {{"n", "<td>", "</td>", ""}, {"same", "|", "|", ""}}, {{"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<tr>"}},
                  "m.tak");
    auto got = extract(*engine(), rows.path(), many, nullptr, "u");
    ASSERT_EQ(got.size(), 100000u);
    EXPECT_EQ(got.back(), (Row{"99999", " "}));

    // An empty loop word and a 20 MB page with markers that never occur.
    TaskFile empty(dir, {{"n", "<td>", "</td>", ""}}, {{"rule", "ruleloop", "1"}}, "e.tak");
    EXPECT_TRUE(extract(*engine(), empty.path(), many, nullptr, "u").empty());
    std::string huge(20u << 20, 'x');
    TaskFile never(dir, {{"n", "<never>", "</never>", ""}}, {}, "n.tak");
    EXPECT_TRUE(extract(*engine(), never.path(), huge, nullptr, "u").empty()) << "a row of blanks holds nothing";

    // Rule columns of different lengths.
    test::writeFile(dir.file("ragged.tak"), "[rule]\r\nruledata0=h^a^b^c^\r\nruledata2=h^<a>\r\nruledata3=h\r\n"
                                            "ruledata4=\r\n[SuperSet]\r\nautogettime=0\r\n[master]\r\ntaktype=2\r\n");
    EXPECT_TRUE(extract(*engine(), dir.file("ragged.tak"), "<a>1", nullptr, "u").empty());
    test::writeFile(dir.file("ragged2.tak"), "[rule]\r\nruledata0=h^a^b^\r\nruledata2=h^<a>^<b>^x^y\r\nruledata3=h^</a>\r\n"
                                             "[SuperSet]\r\nautogettime=0\r\n[master]\r\ntaktype=2\r\n");
    EXPECT_EQ(extract(*engine(), dir.file("ragged2.tak"), "<a>1</a>", nullptr, "u"), (std::vector<Row>{{"1", " "}}))
        << "columns shorter than the captions read as empty markers";
}

TEST_F(ExtractTest, AHundredThousandRulesAreReadInOnePass)
{
    // Every marker search is remembered; with a list searched from its start each time,
    // this page took 12 s (release build) instead of milliseconds.
    std::vector<Rule> rules;
    for (int i = 0; i < 100000; ++i)
        rules.push_back({"c" + std::to_string(i), "<" + std::to_string(i % 7) + ">", "</" + std::to_string(i % 7) + ">", ""});
    TaskFile task(dir, rules);
    test::encryptInPlace(task.path());  // the plain store cannot hold such long values
    auto got = run(task, "<0>a</0><1>b</1><3>d</3><6>g</6>");
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 100000u);
    // Each field moves the reading point past its end marker, so after "g" nothing is left.
    EXPECT_EQ(Row(got[0].begin(), got[0].begin() + 7), (Row{"a", "b", " ", "d", " ", " ", "g"}));
    EXPECT_EQ(std::count(got[0].begin() + 7, got[0].end(), " "), 100000 - 7);
}
