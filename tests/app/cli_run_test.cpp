// `tarvimo-cli run`: a whole collection without a display.
#include "app/cli.h"

#include "base/files.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "support/master_support.h"
#include "support/child_process.h"
#include "support/local_http_server.h"
#include "app/cli_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <thread>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::g;
using test::runCommandLine;

namespace {

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.on("GET", "/c/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
            const std::string n = req.path.substr(3);
            res.set_content("<h1>" + text::utf8ToGbk("公司") + n + "</h1><li>" + text::utf8ToGbk("手机：") + "1391234567" + n +
                                "</li>",
                            "text/html");
        });
    }
    // A company list of the given pages: name and mobile number, the page address kept.
    std::string task(const std::vector<std::string>& paths, const std::string& name = "companies.tak")
    {
        std::vector<std::string> urls;
        for (const auto& p : paths)
            urls.push_back(server.url(p));
        return test::listTask(dir, urls,
                              {{"master", "taktype", "2"}, {"rule", "rulesaveurl", "1"}, {"master", "taskAutoSave", "0"}},
                              name);
    }

    test::TempDir dir;
    LocalHttpServer server;
};

} // namespace

TEST_F(CliRun, WritesTheCollectedRowsByteForByte)
{
    std::string list;
    for (const char* p : {"/c/1", "/c/2", "/missing", "/c/3"})
        list += server.url(p) + "\r\n";
    test::writeFile(dir.file("companies.txt"), list);
    test::TaskFile rules(dir, {{"公司", "<h1>", "</h1>", ""}, {"手机", "手机：", "</li>", ""}},
                         {{"master", "tasktypes", "2"}, {"master", "taktype", "2"}, {"list", "listfile", dir.file("companies.txt")},
                          {"rule", "rulesaveurl", "1"}, {"master", "taskAutoSave", "0"}},
                         "companies.tak");
    const auto r = runCommandLine(dir.path(), "run",
                                  {rules.path(), "--out", dir.file("rows.txt"), "--threads", "1", "--time", "2026-12-09 08:00:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string u = server.url("/c/");
    const std::string expected = "\t" + g("序号\t公司\t手机\tURL\t采集时间") + "\r\n" +                 //
                                 "\t1\t" + g("公司") + "1\t13912345671\t" + u + "1\t2026-12-09 08:00:00\r\n" +  //
                                 "\t2\t" + g("公司") + "2\t13912345672\t" + u + "2\t2026-12-09 08:00:00\r\n" +  //
                                 "\t3\t" + g("公司") + "3\t13912345673\t" + u + "3\t2026-12-09 08:00:00\r\n";
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), expected) << "the failed page gives no row";
    EXPECT_NE(r.err.find("3 rows written to " + dir.file("rows.txt")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("over "), std::string::npos) << "the message lines are shown";
    EXPECT_NE(r.err.find("页面失败 " + server.url("/missing") + " (HTTP 404)"), std::string::npos)
        << "the failed page is named with its reason: " << r.err;
    EXPECT_NE(r.err.find("失败页面 1 个"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 rows, elapsed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", 1 failed"), std::string::npos) << "the progress line counts it: " << r.err;
    EXPECT_EQ(r.out, "");

    // To standard output, as UTF-8.
    const auto u8 = runCommandLine(dir.path(), "run", {rules.path(), "--utf8", "--threads", "1", "--time", "T"});
    ASSERT_EQ(u8.status, 0) << u8.err;
    EXPECT_EQ(u8.out.substr(0, u8.out.find("\r\n")), "\t序号\t公司\t手机\tURL\t采集时间");
    EXPECT_NE(u8.out.find("\t3\t公司3\t13912345673\t"), std::string::npos);
}

TEST_F(CliRun, WrongUsageAndUnreadableTasks)
{
    const std::string t = task({"/c/1"});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {t, t}, {t, "--threads", "0"}, {t, "--threads", "x"}, {t, "--out"}, {t, "--bogus"}}) {
        const auto r = runCommandLine(dir.path(), "run", args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("usage: tarvimo-cli run"), std::string::npos) << r.err;
    }
    const auto missing = runCommandLine(dir.path(), "run", {dir.file("none.tak")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the task file"), std::string::npos);
    // The first half of an encrypted task is refused by name, not run as an empty task.
    const std::string cut = dir.file("cut.tak");
    store::SaveCompressedLines({store::EncryptLine("[master]", store::storeKey()),
                                store::EncryptLine("tasktypes=2", store::storeKey())},
                               cut);
    test::writeFile(cut, test::readFile(cut).substr(0, 12));
    const std::string before = test::readFile(cut);
    const auto damaged = runCommandLine(dir.path(), "run", {cut});
    EXPECT_EQ(damaged.status, 1) << damaged.err;
    EXPECT_NE(damaged.err.find("cannot read the task file " + cut), std::string::npos) << damaged.err;
    EXPECT_EQ(test::readFile(cut), before);
    const auto unwritable = runCommandLine(dir.path(), "run", {t, "--out", dir.file("companies.tak") + "/x.txt"});
    EXPECT_EQ(unwritable.status, 1) << unwritable.err;
}

TEST_F(CliRun, CtrlCStopsTheRunAndKeepsWhatWasCollected)
{
    test::TaskFile rules(dir, {{"公司", "<h1>", "</h1>", ""}},
                         {{"master", "tasktypes", "2"}, {"master", "taktype", "2"}, {"list", "listfile", dir.file("l.txt")},
                          {"master", "taskAutoSave", "0"}},
                         "slow.tak");
    test::writeFile(dir.file("l.txt"), server.url("/c/1") + "\r\n" + server.url("/stall-headers") + "\r\n");
    const std::string log = dir.file("cli.log");
    fixtures::ChildProcess cli({TARVIMO_CLI, "--home", dir.path(), "run", rules.path(), "--out", dir.file("rows.txt"),
                                "--threads", "2", "--time", "T"},
                               log);
    ASSERT_TRUE(test::spinUntil([&] {
        std::string text;
        return files::tryReadAll(log, text) && text.find("1 rows") != std::string::npos;
    })) << "the first row did not arrive";
    ::kill(cli.pid(), SIGINT);
    EXPECT_EQ(cli.wait(), 0);
    EXPECT_EQ(test::readFile(dir.file("rows.txt")), "\t" + g("序号\t公司\t采集时间") + "\r\n\t1\t" + g("公司") + "1\tT\r\n");
    EXPECT_NE(test::readFile(log).find("stopping"), std::string::npos);
}

namespace {

// The bundled demo site on a free port, and a bundled example task in the home's task
// folder with the site's port in its addresses, as the main job prepares it.
class ExampleRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        site = std::make_unique<fixtures::ChildProcess>(std::vector<std::string>{TARVIMO_DEMO_SITE, "--port", "0"},
                                                        home.file("site.log"));
        ASSERT_TRUE(test::spinUntil([&] {
            std::string text;
            if (!files::tryReadAll(home.file("site.log"), text) || text.find('\n') == std::string::npos)
                return false;
            port = text.substr(0, text.find('\n'));
            return true;
        }, 10000)) << "the demo site printed no port";
        base = "http://demo.localhost:" + port;
    }
    void TearDown() override { site->terminate(); }

    std::string example(const std::string& name)
    {
        files::makeDirs(home.file("Task"));
        const std::string task = home.file("Task/" + name);
        test::writeFile(task, test::readFile(std::string(TARVIMO_SOURCE_DIR) + "/examples/tasks/" + name));
        EXPECT_EQ(runCommandLine(home.path(), "task", {"set", task, "url", "urlbegin", base + "/list?page=1"}).status, 0);
        EXPECT_EQ(runCommandLine(home.path(), "task", {"set", task, "url", "urlkeyword", base + "/list?page="}).status, 0);
        return task;
    }

    test::TempDir home;
    std::unique_ptr<fixtures::ChildProcess> site;
    std::string port, base;
};

} // namespace

TEST_F(ExampleRun, TheBundledTaskCollectsTheBundledDirectory)
{
    const std::string task = example("demo-directory.tak");

    // One worker per company page keeps the per-row pause of a company-directory task short.
    const auto r = runCommandLine(home.path(), "run", {task, "--utf8", "--threads", "20", "--time", "T"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (auto& l : text::splitLines(r.out))
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 25u) << r.out;
    EXPECT_EQ(lines[0], "\t序号\t公司名称\t联系人\t手机\t地址\tURL\t采集时间\t邮箱");
    // Rows arrive in the workers' order; each company once, whatever its serial number.
    std::map<std::string, std::string> byPage;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const std::size_t serialEnd = l.find('\t', 1);
        byPage[l.substr(l.find(base))] = l.substr(serialEnd);
    }
    ASSERT_EQ(byPage.size(), 24u);
    const auto row = [&](int k) {
        const std::string url = base + "/company/" + std::to_string(k) + ".html";
        for (const auto& [key, value] : byPage)
            if (key.starts_with(url + "\t"))
                return value;
        return std::string("missing");
    };
    EXPECT_EQ(row(1), "\t杭州青禾纺织有限公司\t陈建国\t13957100101\t浙江省杭州市西湖区文三路88号\t" + base +
                          "/company/1.html\tT\tchen@qinghe-textile.example");
    EXPECT_EQ(row(7), "\t深圳鸿博照明科技有限公司\t周静\t13510700707\t广东省深圳市宝安区福永街道凤凰路9号\t" + base +
                          "/company/7.html\tT\t ")
        << "a page without e-mail keeps its cell with a blank";
    EXPECT_EQ(row(10), "\t厦门海翔进出口贸易有限公司\t孙伟\t15980201010\t福建省厦门市湖里区火炬路10号\t" + base +
                           "/company/10.html\tT\tsunwei@haixiang-trade.example,export@haixiang-trade.example");
}

TEST_F(ExampleRun, TheBundledNewsTaskSavesArticlesThatShowTheirPictures)
{
    const std::string task = example("demo-news.tak");
    const auto r = runCommandLine(home.path(), "run", {task, "--utf8", "--threads", "2", "--time", "T"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("3 rows, elapsed"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("文件保存到目录：" + home.file("News")), std::string::npos) << r.err;

    const std::string news = home.file("News");
    for (const std::string name : {"1.html", "2.html", "company-visit.html"}) {
        const std::string page = test::readFile(news + "/" + name);
        ASSERT_FALSE(page.empty()) << name << " was not saved";
        EXPECT_TRUE(page.starts_with("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n")) << name;
        EXPECT_EQ(page.find('\n'), page.find("\r\n") + 1) << "CR LF lines";
        // Every picture the saved article shows is a saved picture beside it.
        int pictures = 0;
        for (std::size_t at = page.find("src=\""); at != std::string::npos; at = page.find("src=\"", at + 5)) {
            const std::string ref = page.substr(at + 5, page.find('"', at + 5) - at - 5);
            EXPECT_TRUE(ref.starts_with("image/")) << name << ": " << ref;
            EXPECT_TRUE(test::readFile(news + "/" + ref).starts_with("\x89PNG")) << name << ": " << ref;
            ++pictures;
        }
        EXPECT_EQ(pictures, 1) << name;
    }
}

TEST_F(CliRun, MediaFieldsAreSavedAndShownAsAsked)
{
    std::string list;
    for (int i = 1; i <= 3; ++i) {
        server.setPage("/song/" + std::to_string(i), "<h1>S" + std::to_string(i) + "</h1><a>" +
                                                         server.url("/files/" + std::to_string(i) + ".mp3") + "</a>");
        server.setPage("/files/" + std::to_string(i) + ".mp3", "MP3 " + std::to_string(i), "audio/mpeg");
        list += server.url("/song/" + std::to_string(i)) + "\r\n";
    }
    list += server.url("/song/4") + "\r\n";
    server.setPage("/song/4", "<h1>S4</h1><a>" + server.url("/files/missing.mp3") + "</a>");
    test::writeFile(dir.file("songs.txt"), list);
    test::TaskFile rules(dir, {{"名称", "<h1>", "</h1>", ""}, {"音乐", "<a>", "</a>", "多媒体类型"}},
                         {{"master", "tasktypes", "2"}, {"master", "taktype", "1"}, {"list", "listfile", dir.file("songs.txt")},
                          {"master", "taskAutoSave", "0"}, {"SuperSet", "ClearChar", "*"}, {"SuperSet", "NewsToDir", "Music"},
                          {"SuperSet", "tpdzStyle", "3"}},
                         "songs.tak");
    const auto r = runCommandLine(dir.path(), "run", {rules.path(), "--utf8", "--threads", "2", "--time", "T"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(test::readFile(dir.file("Music/" + n + ".mp3")), "MP3 " + n);
        EXPECT_NE(r.out.find("\ts" + n + "\t" + n + ".mp3\tT"), std::string::npos) << "the field shows the file name: " << r.out;
    }
    EXPECT_NE(r.out.find("\ts4\t" + server.url("/files/missing.mp3") + "\tT"), std::string::npos)
        << "a failed download keeps the address: " << r.out;
    EXPECT_FALSE(files::exists(dir.file("Music/missing.mp3")));
}
