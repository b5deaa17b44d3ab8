// Article and media downloads inside a running task: the fetchers pass their rows through
// the downloader before the rows reach the grid.
#include "base/files.h"
#include "support/local_http_server.h"
#include "support/master_support.h"

#include <set>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using test::g;
using test::MasterTest;
using test::TaskFile;

namespace {

class NewsRun : public MasterTest {
protected:
    void SetUp() override
    {
        MasterTest::SetUp();
        settings("[urltype]\r\nthreadcount=3\r\n");
        // Every article shows the site's logo and a picture of its own.
        for (int i = 1; i <= 6; ++i)
            server.setPage("/news/" + std::to_string(i) + ".html",
                           "<h1>" + g("新闻") + std::to_string(i) + "</h1><div><p>" + g("正文") + "</p><img src=\"/logo.png\"><img src='pic" +
                               std::to_string(i) + ".jpg'></div>");
        server.setPage("/news/logo.png", std::string(200000, 'L'), "image/png");
        for (int i = 1; i <= 6; ++i)
            server.setPage("/news/pic" + std::to_string(i) + ".jpg", "P" + std::to_string(i), "image/jpeg");
    }
    std::string articleTask(std::vector<test::Key> keys = {})
    {
        std::string list;
        for (int i = 1; i <= 6; ++i)
            list += server.url("/news/" + std::to_string(i) + ".html") + "\r\n";
        test::writeFile(dir.file("pages.txt"), list);
        keys.insert(keys.end(), {{"master", "tasktypes", "2"}, {"master", "taktype", "1"}, {"list", "listfile", dir.file("pages.txt")},
                                 {"SuperSet", "UseGetNews", "1"}, {"SuperSet", "NewsToDir", "news"}});
        TaskFile t(dir, {{"标题", "<h1>", "</h1>", ""}, {"内容", "<div>", "</div>", "文章类型", "是"}}, keys, "news.tak");
        return t.path();
    }

    LocalHttpServer server;
};

} // namespace

TEST_F(NewsRun, ArticlesAreSavedBeforeTheirRowsReachTheGrid)
{
    run(articleTask());
    const std::string news = dir.file("news");
    ASSERT_EQ(owner.rows.size(), 6u);
    for (const auto& row : owner.rows) {
        // 序号, 标题, 内容, URL, 采集时间
        ASSERT_EQ(row.size(), 5u);
        const std::string n = row[3].substr(row[3].rfind('/') + 1, 1);
        EXPECT_EQ(row[2], "<p>" + g("正文") + "</p><img src=\"image/logo.png\"><img src='image/pic" + n + ".jpg'>")
            << "the grid shows the rewritten article";
        const std::string file = test::readFile(news + "/" + n + ".html");
        EXPECT_NE(file.find(row[2]), std::string::npos) << n;
        EXPECT_EQ(test::readFile(news + "/image/pic" + n + ".jpg"), "P" + n);
    }
    EXPECT_EQ(test::readFile(news + "/image/logo.png"), std::string(200000, 'L')) << "written whole by every fetcher";
    EXPECT_EQ(test::filesIn(news + "/image").size(), 7u) << "no temporary file is left";
    EXPECT_NE(std::find(owner.messages.begin(), owner.messages.end(), "文件保存到目录：" + news), owner.messages.end());
}

TEST_F(NewsRun, ConcurrentFetchersNumberTheSharedPicture)
{
    run(articleTask({{"SuperSet", "newsAutoRename", "1"}}));
    const std::string image = dir.file("news/image");
    std::set<std::string> logos;
    for (const auto& row : owner.rows) {
        const std::size_t at = row[2].find("image/");
        ASSERT_NE(at, std::string::npos);
        const std::string name = row[2].substr(at + 6, row[2].find('"', at) - at - 6);
        logos.insert(name);
        EXPECT_EQ(test::readFile(image + "/" + name), std::string(200000, 'L')) << name;
    }
    EXPECT_EQ(logos, (std::set<std::string>{"logo.png", "(1)logo.png", "(2)logo.png", "(3)logo.png", "(4)logo.png", "(5)logo.png"}))
        << "each article refers to its own copy";
}

TEST_F(NewsRun, EveryLoopRecordGetsItsMediaDownload)
{
    std::string listing = "<ul>";
    for (int i = 1; i <= 4; ++i) {
        listing += "<li><h1>" + g("歌曲") + std::to_string(i) + "</h1><a>" + server.url("/m/" + std::to_string(i) + ".mp3") + "</a></li>";
        server.setPage("/m/" + std::to_string(i) + ".mp3", "MP3-" + std::to_string(i), "audio/mpeg");
    }
    server.setPage("/list.html", listing + "</ul>");
    test::writeFile(dir.file("pages.txt"), server.url("/list.html") + "\r\n");
    TaskFile t(dir, {{"名称", "<h1>", "</h1>", ""}, {"音乐", "<a>", "</a>", "多媒体类型"}},
               {{"master", "tasktypes", "2"}, {"master", "taktype", "1"}, {"list", "listfile", dir.file("pages.txt")},
                {"rule", "ruleloop", "1"}, {"rule", "ruleloopword", "<li>"}, {"SuperSet", "tpdzStyle", "2"},
                {"SuperSet", "ClearChar", "*"}},
               "songs.tak");
    run(t.path());
    ASSERT_EQ(owner.rows.size(), 4u);
    for (const auto& row : owner.rows) {
        const std::string n = row[1].substr(row[1].size() - 1);
        EXPECT_EQ(row[2], dir.file("Down/" + n + ".mp3"));
        EXPECT_EQ(test::readFile(row[2]), "MP3-" + n);
    }
}
