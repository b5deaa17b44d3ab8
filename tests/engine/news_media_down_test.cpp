// The article and media downloader: file names, picture references, saved files, and the
// downloads themselves against a local server.
#include "engine/news_media_down.h"

#include "base/files.h"
#include "base/text.h"
#include "net/http_client.h"
#include "support/local_http_server.h"
#include "support/master_support.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

using namespace tarvimo;
using engine::CollectImages;
using engine::PictureRef;
using engine::SafeFileName;
using engine::TargetFile;
using test::g;

TEST(SafeFileName, ReplacesEveryCharacterAFileNameCannotHold)
{
    EXPECT_EQ(SafeFileName("a\\b/c:d*e|f\"g?h<i>j"), "a-b-c-d-e-f-g-h-i-j");
    EXPECT_EQ(SafeFileName(std::string("x\ny\tz\0w\x7F", 8)), "x-y-z-w-") << "control characters too";
    // A double-byte character whose second byte is "\" or "|" stays whole.
    EXPECT_EQ(SafeFileName("\x81\x5C.jpg"), "\x81\x5C.jpg");
    EXPECT_EQ(SafeFileName("\x95\x7C" + g("图片")), "\x95\x7C" + g("图片"));
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "..-..-etc-passwd");
}

TEST(CollectImages, FindsTheSourcesOfImageTagsAndCompletesThem)
{
    const std::string base = "http://h/news/";
    // A root-relative reference is completed with the page's folder.
    EXPECT_EQ(CollectImages("<p>x</p><IMG SRC='/p/a.jpg'>", base), (std::vector<PictureRef>{{"http://h/news/p/a.jpg", "/p/a.jpg"}}));
    EXPECT_EQ(CollectImages("<Img Src=b.gif alt=x><img sRc=\"c d.png\"/><img src=\"e.png\"/>", base),
              (std::vector<PictureRef>{{"http://h/news/b.gif", "b.gif"}, {"http://h/news/cd.png", "cd.png"}, {"http://h/news/e.png", "e.png"}}));
    EXPECT_EQ(CollectImages("<img src=http://o/x.jpg><img src='HTTPS://o/y.jpg'><img src=\"//cdn/z.jpg\">", "https://h/"),
              (std::vector<PictureRef>{{"http://o/x.jpg", "http://o/x.jpg"}, {"HTTPS://o/y.jpg", "HTTPS://o/y.jpg"}, {"https://cdn/z.jpg", "//cdn/z.jpg"}}));
    // Each address once; no fetch for inline data or scripts; a tag without source takes
    // nothing from the script after it.
    EXPECT_EQ(CollectImages("<img src=a.jpg><img src='a.jpg'><img src=\"data:image/png;base64,AA\"><img alt=x>"
                            "<script src=s.js></script><img src=javascript:void(0)>",
                            base),
              (std::vector<PictureRef>{{"http://h/news/a.jpg", "a.jpg"}}));
    EXPECT_TRUE(CollectImages("<img alt=nothing>", base).empty());
    EXPECT_TRUE(CollectImages("<script src=x.js>", base).empty()) << "no image tag";
    EXPECT_TRUE(CollectImages("<img src=", base).empty()) << "a source cut off by the end of the text";
    EXPECT_TRUE(CollectImages("<img src=''>", base).empty());
}

class TargetFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string folder() const { return dir.path(); }
};

TEST_F(TargetFileTest, NamesTheFileAfterTheAddress)
{
    const std::string f = folder();
    EXPECT_EQ(TargetFile("", f, true), "");
    EXPECT_EQ(TargetFile("http://h/x/song.mp3", f, false), f + "/song.mp3");
    EXPECT_EQ(TargetFile("http://h/x/a.php?id=1&b=2", f, false), f + "/a.php-id=1&b=2");
    EXPECT_EQ(TargetFile("http://h/x/pic", f, false, ".jpg"), f + "/pic.jpg");
    EXPECT_EQ(TargetFile("http://h/x/pic", f, false, "png"), f + "/pic.png") << "the dot is supplied";
    EXPECT_EQ(TargetFile("http://h/x/pic.gif", f, false, ".jpg"), f + "/pic.gif");
    EXPECT_EQ(TargetFile("http://h/" + g("图片") + ".jpg", f, false), f + "/图片.jpg") << "GBK names become UTF-8 paths";
    // A host name and a "www.a.com"-like last part are no file names.
    EXPECT_EQ(TargetFile("http://h/www.site.com", f, false), f + "/index.htm");
}

TEST_F(TargetFileTest, NumbersTakenNamesOnlyWhenAsked)
{
    const std::string f = folder();
    test::writeFile(f + "/a.jpg", "old");
    EXPECT_EQ(TargetFile("http://h/a.jpg", f, false), f + "/a.jpg") << "overwritten";
    EXPECT_EQ(TargetFile("http://h/a.jpg", f, true), f + "/(1)a.jpg");
    EXPECT_EQ(TargetFile("http://h/p/a.jpg", f, true), f + "/(2)a.jpg") << "the first call claimed (1)";
    EXPECT_EQ(test::readFile(f + "/a.jpg"), "old");
    // The page name of an address without "/" is numbered whatever the flag.
    EXPECT_EQ(TargetFile("page", f, false), f + "/index.htm");
    EXPECT_EQ(TargetFile("page", f, false), f + "/(1)index.htm");
}

TEST_F(TargetFileTest, HostileNamesStayInTheirFolder)
{
    const std::string f = folder();
    for (const std::string& address : {std::string("http://h/../../x"), std::string("../../x"), std::string("/etc/passwd"),
                                       std::string("http://h/a/.."), std::string("http://h/a/."), std::string("http://h/"),
                                       std::string("http://h/a/%2e%2e"), std::string("C:\\win\\evil.exe")}) {
        const std::string path = TargetFile(address, f, false);
        ASSERT_FALSE(path.empty()) << address;
        EXPECT_EQ(files::dirName(path), f) << address;
        const std::string name = files::baseName(path);
        EXPECT_TRUE(name != "." && name != ".." && !name.empty()) << address;
        EXPECT_TRUE(engine::saveDownload(path, "x")) << address;
    }
    EXPECT_EQ(TargetFile("http://h/../../x", f, false), f + "/x");
    EXPECT_FALSE(files::exists(dir.path() + "/../x"));
    // Even a hostile default extension cannot add a folder.
    EXPECT_EQ(TargetFile("http://h/pic", f, false, "/../../y"), f + "/pic.-..-..-y");

    // Names longer than a file system allows are shortened, keeping the extension and
    // whole characters; the file can be written and numbered.
    const std::string longName = std::string(300, 'n') + ".jpeg";
    const std::string p = TargetFile("http://h/" + longName, f, true);
    EXPECT_LE(files::baseName(p).size(), engine::kMaxFileNameBytes);
    EXPECT_TRUE(p.ends_with("nn.jpeg")) << p;
    EXPECT_TRUE(engine::saveDownload(p, "long"));
    const std::string p2 = TargetFile("http://h/" + longName, f, true);
    EXPECT_EQ(files::baseName(p2), "(1)" + files::baseName(p));
    EXPECT_TRUE(engine::saveDownload(p2, "long2"));
    std::string chinese;
    for (int i = 0; i < 120; ++i)
        chinese += g("长");
    const std::string c = TargetFile("http://h/" + chinese, f, false);
    EXPECT_LE(files::baseName(c).size(), engine::kMaxFileNameBytes);
    EXPECT_TRUE(text::isValidUtf8(files::baseName(c))) << "cut between characters";
    EXPECT_TRUE(engine::saveDownload(c, "c"));
}

TEST_F(TargetFileTest, ConcurrentSaversNeverShareAFile)
{
    const std::string f = folder();
    constexpr int kThreads = 8, kEach = 10;
    std::vector<std::thread> threads;
    std::vector<std::vector<std::string>> paths(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string p = TargetFile("http://h/same.jpg", f, true);
                if (!p.empty() && engine::saveDownload(p, std::to_string(t) + ":" + std::to_string(i)))
                    paths[t].push_back(p);
            }
        });
    for (auto& th : threads)
        th.join();
    std::set<std::string> all;
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(paths[t].size(), static_cast<std::size_t>(kEach));
        for (int i = 0; i < kEach; ++i) {
            all.insert(paths[t][i]);
            EXPECT_EQ(test::readFile(paths[t][i]), std::to_string(t) + ":" + std::to_string(i)) << "no file was written twice";
        }
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(test::filesIn(f).size(), all.size()) << "no temporary file is left";
}

TEST_F(TargetFileTest, NumberingEnds)
{
    const std::string f = folder();
    test::writeFile(f + "/a.jpg", "");
    for (int n = 1; n <= engine::kMaxNumber; ++n)
        test::writeFile(f + "/(" + std::to_string(n) + ")a.jpg", "");
    EXPECT_EQ(TargetFile("http://h/a.jpg", f, true), "");
    EXPECT_EQ(TargetFile("http://h/a.jpg", f, false), f + "/a.jpg");
}

TEST(ArticleFileText, DeclaresGbkAndEndsLinesWithCrLf)
{
    using engine::articleFileText;
    const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">";
    EXPECT_EQ(articleFileText("a\nb\r\nc"), meta + "\r\na\r\nb\r\nc");
    EXPECT_EQ(articleFileText("<html><HEAD lang=zh><title>t</title></HEAD>\n"),
              "<html><HEAD lang=zh>" + meta + "<title>t</title></HEAD>\r\n");
    EXPECT_EQ(articleFileText("<head><meta charset=\"UTF-8\"></head>"), "<head><meta charset=\"gbk\"></head>")
        << "the text is GBK whatever the page was";
    EXPECT_EQ(articleFileText("<head><META content='text/html; charset=gb2312'></head>"),
              "<head><META content='text/html; charset=gb2312'></head>");
    EXPECT_EQ(articleFileText("<p>charset=utf-8 is mentioned</p>"), meta + "\r\n<p>charset=utf-8 is mentioned</p>")
        << "only a declaration counts";
}

// ---- Downloads against a local server -------------------------------------------------

namespace {

class Downloader : public ::testing::Test {
protected:
    void SetUp() override
    {
        env = test::testEnvironment(dir);
        server.setPage("/news/p/a.jpg", "JPEG-A", "image/jpeg");
        server.setPage("/img/b.png", "PNG-B", "image/png");
        server.setPage("/x/song.mp3", "MP3", "audio/mpeg");
        server.setPage("/x/pic", "NOEXT", "image/jpeg");
        server.on("GET", "/big.jpg", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(3u << 20, 'B'), "image/jpeg");
        });
        client.setReadTimeoutMs(500);
        client.setMaxBodyBytes(1u << 20);
    }

    // An article task: a title and an article field, with these further keys.
    engine::TaskPtr articleTask(std::vector<test::Key> keys = {})
    {
        keys.insert(keys.begin(), {{"SuperSet", "UseGetNews", "1"}, {"SuperSet", "NewsToDir", news()}});
        test::TaskFile t(dir, {{"标题", "<h1>", "</h1>", ""}, {"内容", "<div>", "</div>", "文章类型", "是"}}, keys,
                         "news" + std::to_string(++made) + ".tak");
        return engine::loadTask(t.path()).task;
    }
    engine::TaskPtr mediaTask(std::vector<test::Key> keys = {})
    {
        test::TaskFile t(dir, {{"名称", "<h1>", "</h1>", ""}, {"音乐", "<a>", "</a>", "多媒体类型"}}, keys,
                         "media" + std::to_string(++made) + ".tak");
        return engine::loadTask(t.path()).task;
    }
    engine::TnewsMediaDown downloader(engine::TaskPtr task)
    {
        return engine::TnewsMediaDown(std::move(task), env, [this](const std::string& s) { status.push_back(s); });
    }
    // Runs the article download of one row of the page /news/1.html; returns the row.
    engine::Row article(const engine::TaskPtr& task, engine::Row row, const std::string& page = "/news/1.html")
    {
        auto d = downloader(task);
        d.downloadArticles(task->rules.columns.outputCaptions, task->rules.columns.types, server.url(page), client, row);
        return row;
    }
    std::string news() const { return dir.file("news"); }
    std::string articleText(const std::string& name) const { return test::readFile(news() + "/" + name); }

    test::TempDir dir;
    engine::Environment env;
    fixtures::LocalHttpServer server;
    net::HttpClient client;
    std::vector<std::string> status;
    int made = 0;
};

} // namespace

TEST_F(Downloader, SavesAnArticleWithItsPicturesAndRewritesTheReferences)
{
    const auto task = articleTask();
    const std::string absolute = server.url("/img/b.png");
    const std::string body = "<p>" + g("正文") + "</p><IMG SRC='/p/a.jpg'><img src=\"" + absolute +
                             "\"><img src=missing.jpg><img src=ba.jpg>";
    const auto row = article(task, {g("标题一"), body, server.url("/news/1.html")});

    EXPECT_EQ(test::readFile(news() + "/image/a.jpg"), "JPEG-A");
    EXPECT_EQ(test::readFile(news() + "/image/b.png"), "PNG-B");
    EXPECT_EQ(test::filesIn(news() + "/image"), (std::set<std::string>{"a.jpg", "b.png"})) << "failed pictures leave nothing";
    const std::string rewritten = "<p>" + g("正文") + "</p><IMG SRC='image/a.jpg'><img src=\"image/b.png\"><img src=missing.jpg><img src=ba.jpg>";
    EXPECT_EQ(row[1], rewritten) << "the saved references, the failed one as it was";
    EXPECT_EQ(row[0], g("标题一"));
    const std::string file = articleText("1.html");
    EXPECT_NE(file.find("charset=gbk"), std::string::npos);
    EXPECT_NE(file.find(rewritten), std::string::npos);
    EXPECT_EQ(status, std::vector<std::string>{"文件保存到目录：" + news()});

    // Absolute references name the saved files by their full paths.
    const auto full = article(articleTask({{"SuperSet", "newsPictureDir", "0"}}), {"t", "<img src=/p/a.jpg>"});
    EXPECT_EQ(full[1], "<img src=" + news() + "/image/a.jpg>");
}

TEST_F(Downloader, SwitchesTemplatesAndFileNames)
{
    // A template with two of the captions and one that is none: the captions are filled
    // (letter case ignored), the other stays; an article value holding a caption is not
    // filled again.
    test::writeFile(dir.file("tpl.htm"), "<html><head><title>[标题]</title></head><body>[内容]<i>[作者]</i>[URL]</body></html>");
    const auto tpl = articleTask({{"SuperSet", "NewsTemplete", dir.file("tpl.htm")}, {"SuperSet", "newsDownPhoto", "0"}});
    article(tpl, {g("标题"), "<b>[" + g("标题") + "]</b>", server.url("/news/2.html")}, "/news/2.html");
    EXPECT_EQ(articleText("2.html"),
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>" + g("标题") +
                  "</title></head><body><b>[" + g("标题") + "]</b><i>[" + g("作者") + "]</i>" + server.url("/news/2.html") +
                  "</body></html>");

    // A UTF-8 template is read as such; a missing one gives the bare article; a blank
    // result gives no file.
    test::writeFile(dir.file("u8.htm"), "\xEF\xBB\xBF<p>标题：[标题]</p>");
    article(articleTask({{"SuperSet", "NewsTemplete", dir.file("u8.htm")}}), {g("甲"), "x"}, "/news/3.html");
    EXPECT_NE(articleText("3.html").find(g("<p>标题：甲</p>")), std::string::npos);
    article(articleTask({{"SuperSet", "NewsTemplete", dir.file("none.htm")}}), {"t", "bare"}, "/news/4.html");
    EXPECT_NE(articleText("4.html").find("bare"), std::string::npos);
    test::writeFile(dir.file("blank.htm"), "  [内容] ");
    article(articleTask({{"SuperSet", "NewsTemplete", dir.file("blank.htm")}}), {"t", "  "}, "/news/5.html");
    EXPECT_FALSE(files::exists(news() + "/5.html"));

    // Named by a field: made safe, and a blank value falls back to the page's name; a
    // number past the rules counts as none.
    const auto byTitle = articleTask({{"SuperSet", "taskCol", "1"}});
    article(byTitle, {"../../x", "one"});
    EXPECT_EQ(articleText("..-..-x.htm").find("one") != std::string::npos, true);
    article(byTitle, {" ", "two"}, "/news/6");
    EXPECT_NE(articleText("6.htm").find("two"), std::string::npos) << "a page name without extension gets .htm";
    article(articleTask({{"SuperSet", "taskCol", "3"}}), {"t", "three"}, "/news/7.html");
    EXPECT_NE(articleText("7.html").find("three"), std::string::npos);

    // Without saving content only the pictures are saved.
    const auto noText = article(articleTask({{"SuperSet", "newsSaveContent", "0"}}), {"t", "<img src=p/a.jpg>"}, "/news/8.html");
    EXPECT_FALSE(files::exists(news() + "/8.html"));
    EXPECT_EQ(noText[1], "<img src=image/a.jpg>");
}

TEST_F(Downloader, TheSamePictureInTwoArticles)
{
    const auto plain = articleTask();
    EXPECT_EQ(article(plain, {"a", "<img src=p/a.jpg>"}, "/news/1.html")[1], "<img src=image/a.jpg>");
    EXPECT_EQ(article(plain, {"b", "<img src=p/a.jpg>"}, "/news/9.html")[1], "<img src=image/a.jpg>") << "overwritten";
    EXPECT_EQ(test::filesIn(news() + "/image"), std::set<std::string>{"a.jpg"});

    const auto renaming = articleTask({{"SuperSet", "newsAutoRename", "1"}});
    EXPECT_EQ(article(renaming, {"c", "<img src=p/a.jpg>"}, "/news/1.html")[1], "<img src=image/(1)a.jpg>");
    EXPECT_EQ(test::readFile(news() + "/image/(1)a.jpg"), "JPEG-A");
    EXPECT_TRUE(files::exists(news() + "/(1)1.html")) << "the article is numbered too";
}

TEST_F(Downloader, PicturesThatFailAreSkipped)
{
    const auto task = articleTask();
    server.setPage("/news/ok.jpg", "OK", "image/jpeg");
    const std::string body = "<img src=/status/404.jpg><img src=" + server.url("/stall?bytes=10") + "><img src=" +
                             server.url("/big.jpg") + "><img src=ok.jpg>";
    const auto row = article(task, {"t", body});
    EXPECT_EQ(test::filesIn(news() + "/image"), std::set<std::string>{"ok.jpg"}) << "no partial or temporary file";
    EXPECT_NE(row[1].find("<img src=image/ok.jpg>"), std::string::npos) << row[1];
    EXPECT_NE(row[1].find("/big.jpg>"), std::string::npos) << "the failed pictures keep their references";
    EXPECT_NE(articleText("1.html").find("image/ok.jpg"), std::string::npos);

    // Nothing happens for a task that collects no articles, or once the run stops.
    EXPECT_FALSE(downloader(mediaTask()).wantsArticles());
    auto stopped = engine::TnewsMediaDown(articleTask(), env, nullptr, [] { return true; });
    engine::Row r{"t", "<img src=p/a.jpg>"};
    std::filesystem::remove_all(news());
    stopped.downloadArticles(task->rules.columns.outputCaptions, task->rules.columns.types, server.url("/news/1.html"), client, r);
    EXPECT_EQ(r[1], "<img src=p/a.jpg>");
    EXPECT_TRUE(test::filesIn(news() + "/image").empty());
}

TEST_F(Downloader, MediaFieldsShowTheirDownloadsAsAsked)
{
    const std::string song = server.url("/x/song.mp3");
    auto media = [&](std::vector<test::Key> keys, std::string field) {
        const auto task = mediaTask(std::move(keys));
        engine::Row row{"name", std::move(field)};
        downloader(task).downloadMedia(task->rules.columns.types, row, client);
        return row[1];
    };
    const std::string down = dir.file("Down");
    EXPECT_EQ(media({}, song), song + "(" + down + "/song.mp3)") << "the home's Down folder by default";
    EXPECT_EQ(test::readFile(down + "/song.mp3"), "MP3");
    EXPECT_EQ(status.back(), "文件保存到目录：" + down);
    EXPECT_EQ(media({{"SuperSet", "tpdzStyle", "1"}}, song), song);
    EXPECT_EQ(media({{"SuperSet", "tpdzStyle", "2"}}, song), down + "/song.mp3");
    EXPECT_EQ(media({{"SuperSet", "tpdzStyle", "3"}, {"SuperSet", "NewsToDir", "media"}}, song), "song.mp3");
    EXPECT_EQ(test::readFile(dir.file("media/song.mp3")), "MP3") << "a relative folder is taken from the home";
    EXPECT_EQ(media({{"SuperSet", "tpdzStyle", "3"}, {"SuperSet", "newsAutoRename", "1"}}, song), "(1)song.mp3");
    EXPECT_EQ(media({{"SuperSet", "tpdzStyle", "3"}, {"SuperSet", "newsAutoFileExt", "1"}}, server.url("/x/pic")), "pic.jpg");
    EXPECT_EQ(test::readFile(down + "/pic.jpg"), "NOEXT");

    // Failures leave the field as it was; fields that are no web address are not fetched.
    const std::size_t before = server.requests().size();
    EXPECT_EQ(media({}, server.url("/status/404")), server.url("/status/404"));
    EXPECT_EQ(media({}, server.url("/big.jpg")), server.url("/big.jpg"));
    EXPECT_EQ(media({}, "song.mp3"), "song.mp3");
    EXPECT_EQ(server.requests().size(), before + 2);
    EXPECT_FALSE(files::exists(down + "/404")) << "nothing saved for a failure";
    EXPECT_FALSE(files::exists(down + "/big.jpg"));
}
