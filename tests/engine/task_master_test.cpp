#include "engine/task_master.h"

#include "base/files.h"
#include "support/master_support.h"
#include "support/local_http_server.h"
#include "support/raw_sockets.h"
#include "support/tiny_proxy.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <map>
#include <mutex>

using namespace tarvimo;
using namespace std::chrono_literals;
using engine::TtaskMaster;
using fixtures::LocalHttpServer;
using test::g;
using test::Key;
using test::listTask;
using test::MasterTest;
using test::spinUntil;
using test::StartedMaster;
using test::TaskFile;
using test::kTime;

namespace {

std::string titled(const std::string& title) { return "<html><title>" + title + "</title><body>x</body></html>"; }

// The part of the request path after 'prefix' and before 'suffix'.
std::string pathPart(const httplib::Request& req, const std::string& prefix, const std::string& suffix = "")
{
    std::string p = req.path.substr(prefix.size());
    return p.substr(0, p.size() - suffix.size());
}

// Pages /p/<n> titled "page <n>", counting requests per path.
void servePages(LocalHttpServer& server)
{
    server.on("GET", "/p/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(titled("page " + pathPart(req, "/p/")), "text/html");
    });
}

// "C:\tmp\x\saved.html" for "/tmp/x/saved.html": task files written elsewhere hold such paths.
std::string windowsStyle(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return "C:" + path;
}

std::map<std::string, int> requestsPerPath(const LocalHttpServer& server)
{
    std::map<std::string, int> n;
    for (const auto& r : server.requests())
        ++n[r.path];
    return n;
}

std::vector<std::string> expectedTitles(int from, int to)
{
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i)
        v.push_back("page " + std::to_string(i));
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

// ---- Direct mode and the work protocol ---------------------------------------------------

TEST_F(MasterTest, DirectRunMakesExactlyOneRequestPerAddressAndNumbersRows)
{
    LocalHttpServer server;
    servePages(server);
    settings("[urltype]\r\nthreadcount=4\r\n");
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "0"}, {"master", "taktype", "1"}, {"master", "NOvalue", "7"},
                   {"url", "urlbegin", server.url("/p/{1,60}")}});
    auto m = run(task.path());

    EXPECT_EQ(m->workerCount(), 4u);
    EXPECT_TRUE(m->directMode());
    EXPECT_EQ(m->urlTotal(), 60);
    EXPECT_EQ(server.requestCount(), 60u) << "n addresses, n requests";
    for (const auto& [path, count] : requestsPerPath(server))
        EXPECT_EQ(count, 1) << path;
    EXPECT_EQ(owner.firstFields(), expectedTitles(1, 60));
    std::set<std::string> serials;
    for (const auto& r : owner.rows)
        serials.insert(r.at(0));
    EXPECT_EQ(serials.size(), 60u);
    EXPECT_TRUE(serials.count("7") && serials.count("66")) << "numbering starts at NOvalue";
    EXPECT_EQ(owner.reports, 1) << "the master reports once, when its last worker has finished";
    EXPECT_EQ(m->runState(), engine::RunStatus::Ended);
    EXPECT_FALSE(owner.contactTask);
    EXPECT_EQ(m->liveWorkers(), 0);
}

TEST_F(MasterTest, WorkerCountRules)
{
    LocalHttpServer server;
    servePages(server);
    struct Case {
        std::string settings;
        std::vector<Key> extra;
        std::size_t workers;
    };
    const std::vector<Case> cases{
        {"", {}, 1},                                     // no settings file: 1
        {"[urltype]\r\nthreadcount=0\r\n", {}, 5},       // below 1: 5
        {"[urltype]\r\nthreadcount=50\r\n", {}, 20},     // above 20: 20
        {"[urltype]\r\nthreadcount=7\r\n", {}, 7},
        {"[urltype]\r\nthreadcount=7\r\n", {{"master", "Cookie", " sid=1 "}}, 1},
        {"[urltype]\r\nthreadcount=7\r\n", {{"rule", "ruleloop", "1"}}, 1},  // direct mode and loop
    };
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(k);
        if (c.settings.empty())
            std::filesystem::remove(settingsPath());
        else
            settings(c.settings);
        auto m = run(listTask(dir, {server.url("/p/1")}, c.extra, "w" + std::to_string(k++) + ".tak"));
        EXPECT_EQ(m->workerCount(), c.workers);
    }
    // The trimmed cookie went out with the request of the cookie task.
    bool sawCookie = false;
    for (const auto& r : server.requests())
        sawCookie = sawCookie || r.header("Cookie") == "sid=1";
    EXPECT_TRUE(sawCookie);
}

TEST_F(MasterTest, EveryConnectionReadsItsSetUpAnew)
{
    LocalHttpServer server;
    servePages(server);
    settings("[proxy]\r\ntype=1\r\n");
    run(listTask(dir, {server.url("/p/1")}, {}, "old.tak"));
    settings("[proxy]\r\ntype=0\r\n");
    run(listTask(dir, {server.url("/p/2")}, {}, "new.tak"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].version, "HTTP/1.0") << "a proxy type above 0 asks for HTTP/1.0";
    EXPECT_EQ(requests[1].version, "HTTP/1.1");
    for (const auto& r : requests) {
        EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)");
        EXPECT_EQ(r.header("Referer"), env.catalogue.baseUrl("D1"));
        EXPECT_FALSE(r.header("Referer").empty());
        EXPECT_FALSE(r.hasHeader("Cookie"));
    }
}

TEST_F(MasterTest, TasksThatStartNothing)
{
    // A missing file: the master exists but is not loaded.
    StartedMaster missing(dir.file("none.tak"), env, &owner);
    EXPECT_FALSE(missing.loaded());

    // A script task loads but starts nothing.
    TaskFile script(dir, {{"t", "<t>", "</t>", ""}}, {{"master", "tasktypes", "1"}}, "s.tak");
    StartedMaster s(script.path(), env, &owner);
    EXPECT_TRUE(s.loaded());
    EXPECT_TRUE(s.idle());
    EXPECT_EQ(s.workerCount(), 0u);

    // An address-list task whose list file is missing.
    TaskFile list(dir, {{"t", "<t>", "</t>", ""}},
                  {{"master", "tasktypes", "2"}, {"list", "listfile", dir.file("nolist.txt")}}, "l.tak");
    StartedMaster l(list.path(), env, &owner);
    EXPECT_TRUE(l.idle());
    EXPECT_TRUE(l.urlList().empty());

    // A page bound that is no number builds only the start address and fetches nothing.
    TaskFile bad(dir, {{"t", "<t>", "</t>", ""}},
                 {{"master", "tasktypes", "0"}, {"url", "urlbegin", "http://127.0.0.1:9/list?page=1"},
                  {"url", "urlkeyword", "page"}, {"url", "urlpagebegin", "1"}, {"url", "urlpageend", "x"}},
                 "b.tak");
    StartedMaster b(bad.path(), env, &owner);
    EXPECT_EQ(b.urlList(), std::vector<std::string>{"http://127.0.0.1:9/list?page=1"});
    EXPECT_TRUE(b.idle());

    spinUntil([] { return false; }, 100);
    EXPECT_TRUE(owner.rows.empty());
    EXPECT_EQ(owner.reports, 0);
}

TEST_F(MasterTest, ANextSerialNumberThatCannotBeKeptIsReported)
{
    LocalHttpServer server;
    server.on("GET", "/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(300ms);
        res.set_content("<title>slow</title>", "text/html");
    });
    const std::string task = listTask(dir, {server.url("/slow")}, {{"master", "autoSaveNo", "1"}});
    auto m = start(task);
    // While the page is fetched the task file turns into a folder: it can no longer be written.
    std::filesystem::remove(task);
    std::filesystem::create_directory(task);
    ASSERT_TRUE(spinUntil([&] { return owner.reports == 1; }));
    EXPECT_TRUE(m->waitForThreads(10000));
    ASSERT_EQ(owner.rows.size(), 1u);
    ASSERT_FALSE(owner.messages.empty());
    EXPECT_TRUE(owner.messages.back().starts_with("无法保存下一个序号 2: ")) << owner.messages.back();
    EXPECT_EQ(m->nextSerial(), 1) << "the numbering in memory is not moved on either";
}

TEST_F(MasterTest, MalformedTaskValuesTakeTheirDefaults)
{
    LocalHttpServer server;
    servePages(server);
    // Every number and flag is garbage: the defaults hold (a URL navigation task of the
    // start address, numbering from 1, one worker).
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "zz"}, {"master", "taktype", "1"}, {"master", "NOvalue", "?"},
                   {"master", "autoSaveNo", "maybe"}, {"url", "urlinc", "-"}, {"url", "urlgetall", "x"},
                   {"url", "urlbegin", server.url("/p/3")}, {"SuperSet", "charType", "\x01\x02"},
                   {"SuperSet", "autogetCharType", "yes"}, {"url", "URLlist", "\"unterminated"}});
    auto m = run(task.path());
    ASSERT_EQ(owner.rows.size(), 1u);
    EXPECT_EQ(owner.rows[0], (std::vector<std::string>{"1", "page 3", kTime}));

    // A container with a line that does not decipher cannot be read: the master stays idle.
    store::SaveCompressedLines({"[master]", "3c5g"}, dir.file("broken.tak"));
    StartedMaster broken(dir.file("broken.tak"), env, &owner);
    EXPECT_FALSE(broken.loaded());
    EXPECT_EQ(broken.workerCount(), 0u);
}

// ---- Address lists -------------------------------------------------------------------------

TEST_F(MasterTest, AddressFileWithHundredThousandLinesAndBlankLines)
{
    std::string list;
    for (int i = 0; i < 100000; ++i) {
        list += "http://127.0.0.1:9/d/" + std::to_string(i) + "\r\n";
        if (i % 1000 == 0)
            list += "\r\n   \r\n";
    }
    test::writeFile(dir.file("big.txt"), list);
    TaskFile task(dir, {{"t", "<t>", "</t>", ""}},
                  {{"master", "tasktypes", "2"}, {"list", "listfile", dir.file("big.txt")}, {"list", "listuse", "0"}});
    StartedMaster m(task.path(), env, &owner);
    const auto urls = m.urlList();
    ASSERT_EQ(urls.size(), 100000u) << "blank lines are no addresses";
    EXPECT_EQ(urls.back(), "http://127.0.0.1:9/d/99999");
    EXPECT_EQ(m.urlTotal(), 100000);
    EXPECT_TRUE(m.urlGenerationDone());
    EXPECT_EQ(m.workerCount(), 0u) << "listuse off: the list is built, nothing is fetched";
}

TEST_F(MasterTest, AnalysisPageGivesTheListFilteredAndRewritten)
{
    LocalHttpServer server;
    server.setPage("/index.html", "<a href=\"/Shop/1.html\">1</a> <a href='/news/2.html'>2</a>"
                                  "<a href=/SHOP/3.html>3</a><img src=x.gif><a href=\"/shop/4.jpg\">"
                                  "<a href=\"/shop/4.html\">");
    TaskFile task(dir, {{"t", "<t>", "</t>", ""}},
                  {{"master", "tasktypes", "2"}, {"list", "listanaly", "1"},
                   {"list", "listAnalyfile", server.url("/index.html")}, {"list", "listUseKeyword", "1"},
                   {"list", "listKeyWord", "Shop"}, {"list", "listKeywordReplace", "1"},
                   {"list", "listKeyWordOld", "shop/"}, {"list", "listKeyWordNew", "store/"},
                   {"list", "listuse", "0"}});
    StartedMaster m(task.path(), env, &owner);
    // The words are lower-cased and tested as plain substrings of the addresses, which keep
    // their letter case; the base is the analysis page's own address.
    const std::string base = server.url("/index.html/");
    EXPECT_EQ(m.urlList(), (std::vector<std::string>{base + "store/4.html"}));
    EXPECT_EQ(m.urlTotal(), 1);

    // From a local file there is no base; replacing ignores letter case.
    test::writeFile(dir.file("a.html"), "<a href=\"http://h/Shop/1.html\"> <a href=\"http://h/x/2.html\">");
    TaskFile local(dir, {{"t", "<t>", "</t>", ""}},
                   {{"master", "tasktypes", "2"}, {"list", "listanaly", "1"}, {"list", "listAnalyfile", dir.file("a.html")},
                    {"list", "listKeywordReplace", "1"}, {"list", "listKeyWordOld", "SHOP"},
                    {"list", "listKeyWordNew", "store"}, {"list", "listuse", "0"}},
                   "local.tak");
    StartedMaster m3(local.path(), env, &owner);
    EXPECT_EQ(m3.urlList(), (std::vector<std::string>{"http://h/store/1.html", "http://h/x/2.html"}));

    // An analysis page that cannot be fetched starts nothing.
    TaskFile gone(dir, {{"t", "<t>", "</t>", ""}},
                  {{"master", "tasktypes", "2"}, {"list", "listanaly", "1"}, {"list", "listAnalyfile", server.url("/gone")}},
                  "gone.tak");
    StartedMaster m4(gone.path(), env, &owner);
    EXPECT_TRUE(m4.idle());
    EXPECT_TRUE(m4.urlList().empty());
}

// ---- Pages: GET, POST, local files, charsets -------------------------------------------------

TEST_F(MasterTest, GetPostAndLocalFilePages)
{
    LocalHttpServer server;
    servePages(server);
    std::mutex mu;
    std::vector<std::string> posted;
    server.on("POST", "/search.asp", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lk(mu);
        posted.push_back(req.target + " " + req.body + " " + req.get_header_value("Content-Type"));
        res.set_content(titled("posted"), "text/html");
    });
    test::writeFile(dir.file("saved.html"), "<title>Saved\r\nPage</title>\n");
    const std::string longBody(600, 'k');
    auto m = run(listTask(dir, {server.url("/p/1"), server.url("/search.asp?a=1") + " [post]x=1&y=2[/post]",
                                server.url("/search.asp") + "[post]" + longBody + "[/post]", dir.file("saved.html"),
                                windowsStyle(dir.file("saved.html"))}));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"page 1", "posted", "posted", "saved page", "saved page"}));
    std::sort(posted.begin(), posted.end());
    ASSERT_EQ(posted.size(), 2u);
    // The long body goes out as form lines of 255, 255 and 90 characters joined with "&".
    EXPECT_EQ(posted[0], "/search.asp " + std::string(255, 'k') + "&" + std::string(255, 'k') + "&" +
                             std::string(90, 'k') + " application/x-www-form-urlencoded");
    EXPECT_EQ(posted[1], "/search.asp?a=1 x=1&y=2 application/x-www-form-urlencoded");
}

TEST_F(MasterTest, Utf8AndBig5PagesArriveAsGbk)
{
    LocalHttpServer server;
    server.setPage("/u.html", "<meta charset=UTF-8><title>公司</title>");
    server.setPage("/g.html", g("<title>公司</title>"));
    auto m = run(listTask(dir, {server.url("/u.html"), server.url("/g.html")}, {{"SuperSet", "autogetCharType", "1"}}));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{g("公司"), g("公司")}));

    owner.rows.clear();
    // "公司" in Big5 is A4BD A571.
    server.setPage("/b.html", "<title>\xA4\xBD\xA5\x71</title>");
    auto big5 = run(listTask(dir, {server.url("/b.html")}, {{"SuperSet", "charType", "2"}}, "b5.tak"));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{g("公司")}));
}

// ---- Widening ----------------------------------------------------------------------------------

TEST_F(MasterTest, SubPagesAreAddedOnceAndFetchedLater)
{
    LocalHttpServer server;
    server.setPage("/a/list.html", titled("list") + "<a href='child/1.html'>1</a><a href=child/ad.html>ad</a>"
                                                    "<a href=other.html>o</a>");
    // A second mention, absolute and in other letter case, adds nothing.
    server.setPage("/a/child/1.html", titled("c1") + "<a href='2.html'>2</a><a href='" + server.url("/a/CHILD/1.html") + "'>");
    server.setPage("/a/child/2.html", titled("c2"));
    auto m = run(listTask(dir, {server.url("/a/list.html")},
                          {{"url", "UrlKeywordUseChild", "1"}, {"url", "UrlKeywordChild", "child"},
                           {"url", "urlfilterword", "1"}, {"url", "lb_urlfilterword", "ad.html"}}));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"c1", "c2", "list"}));
    const auto urls = m->urlList();
    ASSERT_EQ(urls.size(), 3u) << "each sub-page once, filtered ones left out";
    EXPECT_EQ(urls[1], server.url("/a/child/1.html"));
    EXPECT_EQ(urls[2], server.url("/a/child/2.html"));
    EXPECT_EQ(m->urlTotal(), 2) << "the list count minus one";
    for (const auto& [path, count] : requestsPerPath(server))
        EXPECT_EQ(count, 1) << path;
}

TEST_F(MasterTest, AssociatedPagesAndFramesAreAppendedBeforeExtraction)
{
    LocalHttpServer server;
    server.setPage("/d/1.html", "<title>Main</title> <p>Contact: <a href='contact.html'>here</a></p>"
                                "<iframe src='frame.html'></iframe><iframe src=\"ads.html\"></iframe>");
    server.setPage("/d/contact.html", "<tel>0571-1</tel>");
    server.setPage("/d/frame.html", "<fax>0571-2</fax>");
    server.setPage("/d/ads.html", "<fax>ads</fax>");
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}, {"电话", "<tel>", "</tel>", ""}, {"传真", "<fax>", "</fax>", ""}},
                  {{"master", "tasktypes", "2"}, {"master", "taktype", "1"}, {"list", "listfile", dir.file("l.txt")},
                   {"url", "urlUnionUrlWord", "1"}, {"url", "lb_urlUnionUrlWord", "Contact"},
                   {"SuperSet", "getFrame", "1"}, {"SuperSet", "frameKeyWord", "frame"}});
    test::writeFile(dir.file("l.txt"), server.url("/d/1.html") + "\r\n");
    auto m = run(task.path());
    ASSERT_EQ(owner.rows.size(), 1u);
    EXPECT_EQ(owner.rows[0], (std::vector<std::string>{"1", "main", "0571-1", "0571-2", kTime}));
    EXPECT_EQ(requestsPerPath(server).count("/d/ads.html"), 0u) << "frames without the frame word are left out";
}

// ---- Gather mode --------------------------------------------------------------------------------

TEST_F(MasterTest, GatherModeCollectsDetailLinksOfEveryListingPage)
{
    LocalHttpServer server;
    server.on("GET", "/list/([0-9]+)\\.html", [](const httplib::Request& req, httplib::Response& res) {
        const std::string n = pathPart(req, "/list/", ".html");
        res.set_content("<a href=\"/detail/" + n + "a.html\">a</a><a href='/detail/" + n +
                            "b.html'>b</a><a href=/detail/ad" + n + ".html>ad</a><a href=/list/9.html>next</a>"
                            "<a href=\"/detail/1a.html\">again</a>",
                        "text/html");
    });
    server.on("GET", "/detail/(.*)\\.html", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(titled("d" + pathPart(req, "/detail/", ".html")), "text/html");
    });
    settings("[urltype]\r\nthreadcount=3\r\n");
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "0"}, {"master", "taktype", "1"},
                   {"url", "urlbegin", server.url("/list/{1,3}.html")}, {"url", "lb_urlgetword", "detail"},
                   {"url", "urlfilterword", "1"}, {"url", "lb_urlfilterword", "/ad"}});
    auto m = run(task.path());
    EXPECT_FALSE(m->directMode());
    EXPECT_EQ(m->gatheredUrls(),
              (std::vector<std::string>{server.url("/detail/1a.html"), server.url("/detail/1b.html"),
                                        server.url("/detail/2a.html"), server.url("/detail/2b.html"),
                                        server.url("/detail/3a.html"), server.url("/detail/3b.html")}));
    EXPECT_EQ(m->urlTotal(), 6) << "listing pages x links kept from the first page";
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"d1a", "d1b", "d2a", "d2b", "d3a", "d3b"}));
    EXPECT_EQ(owner.reports, 1);
}

TEST_F(MasterTest, GatherModeWhereNoListingPageAnswersStillEnds)
{
    fixtures::RefusingPort refused;
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "0"}, {"master", "taktype", "1"},
                   {"url", "urlbegin", refused.url("/list/{1,2}.html")}, {"url", "lb_urlgetword", "detail"}});
    auto m = run(task.path());
    EXPECT_TRUE(m->finished());
    EXPECT_TRUE(owner.rows.empty());
    EXPECT_EQ(owner.reports, 1);
}

// ---- Pause, resume, stop -----------------------------------------------------------------------

TEST_F(MasterTest, PauseHoldsRowsBackAndResumeFinishes)
{
    LocalHttpServer server;
    std::atomic<int> served{0};
    server.on("GET", "/p/([0-9]+)", [&](const httplib::Request& req, httplib::Response& res) {
        server.pause(30ms);
        ++served;
        res.set_content(titled("page " + pathPart(req, "/p/")), "text/html");
    });
    settings("[urltype]\r\nthreadcount=2\r\n");
    std::vector<std::string> urls;
    for (int i = 1; i <= 30; ++i)
        urls.push_back(server.url("/p/" + std::to_string(i)));
    auto m = start(listTask(dir, urls));
    ASSERT_TRUE(spinUntil([&] { return owner.rows.size() >= 3; }));
    m->controlRun(engine::RunCommand::Pause);
    m->controlRun(engine::RunCommand::Pause);  // pausing twice changes nothing
    spinUntil([] { return false; }, 300);  // pages in flight come to rest
    const std::size_t held = owner.rows.size();
    const int fetched = served.load();
    spinUntil([] { return false; }, 400);
    EXPECT_EQ(owner.rows.size(), held) << "no row is delivered while paused";
    EXPECT_LE(served.load(), fetched + 2) << "paused workers take no new page";
    m->controlRun(engine::RunCommand::Resume);
    ASSERT_TRUE(spinUntil([&] { return m->finished(); }));
    EXPECT_EQ(owner.rows.size(), 30u);
    EXPECT_TRUE(m->waitForThreads(5000));
}

TEST_F(MasterTest, StopEndsEveryWorkerWhateverItIsDoing)
{
    LocalHttpServer server;
    servePages(server);
    fixtures::RawSocketServer hold("", fixtures::RawSocketServer::Ending::Hold);
    settings("[urltype]\r\nthreadcount=4\r\ntimeout=60\r\n");

    // Stalled transfers: stop aborts them at once instead of waiting out the time-out.
    {
        auto m = start(listTask(dir, {server.url("/stall"), server.url("/stall-headers"), hold.url("/x"), server.url("/endless")},
                                {}, "stall.tak"));
        ASSERT_TRUE(server.waitForRequest("/stall-headers"));
        spinUntil([] { return false; }, 200);
        const auto t0 = std::chrono::steady_clock::now();
        m->controlRun(engine::RunCommand::Stop);
        EXPECT_TRUE(m->waitForThreads(10000));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
        EXPECT_FALSE(m->finished()) << "a stopped master does not report an end of its own";
    }
    // Paused workers wake and end.
    {
        auto m = start(listTask(dir, {server.url("/slow?bytes=5&interval_ms=50"), server.url("/p/1")}, {}, "paused.tak"));
        m->controlRun(engine::RunCommand::Pause);
        m->controlRun(engine::RunCommand::Stop);
        EXPECT_TRUE(m->waitForThreads(10000));
        EXPECT_TRUE(m->stopRequested());
    }
    // Workers asleep waiting for gathered links (the listing page stalls) wake and end.
    {
        TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                      {{"master", "tasktypes", "0"}, {"url", "urlbegin", server.url("/stall-headers")},
                       {"url", "lb_urlgetword", "detail"}},
                      "gather.tak");
        auto m = start(task.path());
        spinUntil([] { return false; }, 200);
        m->controlRun(engine::RunCommand::Stop);
        EXPECT_TRUE(m->waitForThreads(10000));
    }
    // Destroying a running master joins everything.
    {
        auto m = start(listTask(dir, {server.url("/stall"), server.url("/p/2")}, {}, "destroy.tak"));
        ASSERT_TRUE(server.waitForRequest("/stall"));
        const auto t0 = std::chrono::steady_clock::now();
        m.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
    }
}

// ---- Faults -------------------------------------------------------------------------------------

TEST_F(MasterTest, FaultyServersAreSkippedAndTheRunEnds)
{
    LocalHttpServer server;
    servePages(server);
    fixtures::RefusingPort refused;
    fixtures::RawSocketServer reset("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<title>half",
                                    fixtures::RawSocketServer::Ending::Reset);
    server.setPage("/garbage", [] {
        std::string s;
        std::mt19937 rng(7);
        for (int i = 0; i < 200000; ++i)
            s += static_cast<char>(rng());
        return s;
    }(), "application/octet-stream");
    // One-second time-outs and a 1 MB page limit keep the stalled and endless pages short.
    settings("[urltype]\r\nthreadcount=3\r\ntimeout=1\r\nmaxPageMB=1\r\n");
    auto m = run(listTask(dir, {refused.url("/a"), reset.url("/b"), server.url("/stall"), server.url("/status/404"),
                                server.url("/status/500"), server.url("/redirect-loop"), server.url("/endless"),
                                server.url("/garbage"), server.url("/p/1"), server.url("/p/2")}));
    auto titles = owner.firstFields();
    // The garbage page delivers whatever its bytes hold (or nothing); the good pages always.
    EXPECT_TRUE(std::count(titles.begin(), titles.end(), "page 1") == 1 &&
                std::count(titles.begin(), titles.end(), "page 2") == 1);
    EXPECT_LE(titles.size(), 3u);
    // Every page that could not be had is skipped and reported once, with its reason.
    const std::set<std::string> failed{refused.url("/a"), reset.url("/b"), server.url("/stall"),
                                       server.url("/status/404"), server.url("/status/500"),
                                       server.url("/redirect-loop"), server.url("/endless")};
    const auto recorded = m->failedUrls();
    EXPECT_EQ(std::set<std::string>(recorded.begin(), recorded.end()), failed);
    EXPECT_EQ(m->failedCount(), 7);
    ASSERT_EQ(owner.failedPages.size(), 7u);
    for (const auto& [address, reason] : owner.failedPages) {
        EXPECT_TRUE(failed.count(address)) << address;
        EXPECT_FALSE(reason.empty()) << address;
        if (address == server.url("/status/404")) {
            EXPECT_EQ(reason, "HTTP 404");
        }
    }
    EXPECT_EQ(owner.reports, 1);
}

TEST_F(MasterTest, APageThatFailsAfterItWasFetchedIsRecordedOnce)
{
    LocalHttpServer server;
    servePages(server);
    owner.onAppend = [](const std::vector<std::string>& row) {
        if (row.at(1) == "page 2")
            throw std::runtime_error("grid full");
    };
    auto m = run(listTask(dir, {server.url("/p/1"), server.url("/p/2"), "HTTP://" + server.url("/p/2").substr(7), server.url("/p/2"),
                                server.url("/p/3")}));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"page 1", "page 3"}));
    EXPECT_EQ(m->failedUrls(), std::vector<std::string>{server.url("/p/2")}) << "letter case ignored, once";
}

// ---- Numbering ---------------------------------------------------------------------------------

TEST_F(MasterTest, AutoSaveNoContinuesTheNumberingInBothFileForms)
{
    LocalHttpServer server;
    servePages(server);
    for (bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted);
        owner.rows.clear();
        const std::string path = listTask(dir, {server.url("/p/1"), server.url("/p/2")},
                                          {{"master", "autoSaveNo", "1"}, {"master", "NowNO", "41"}},
                                          encrypted ? "enc.tak" : "plain.tak");
        if (encrypted) {
            // The same lines as an enciphered container.
            const std::string plain = test::readFile(path);
            test::encryptInPlace(path);
            ASSERT_NE(test::readFile(path), plain);
        }
        auto m = run(path);
        std::set<std::string> serials;
        for (const auto& r : owner.rows)
            serials.insert(r.at(0));
        EXPECT_EQ(serials, (std::set<std::string>{"41", "42"}));
        EXPECT_EQ(m->nextSerial(), 43);
        store::TEncryptInifile reread(path);
        EXPECT_EQ(reread.ReadInteger("master", "NowNO", 0), 43);
        EXPECT_EQ(reread.plainMode(), !encrypted) << "the file keeps its form";
    }
}

TEST_F(MasterTest, ATaskDeletedWhileItRunsIsNotWrittenAgainForItsNumbering)
{
    LocalHttpServer server;
    servePages(server);
    const std::string path =
        listTask(dir, {server.url("/p/1")}, {{"master", "autoSaveNo", "1"}, {"master", "NowNO", "7"}}, "gone.tak");
    owner.onAppend = [&](const std::vector<std::string>&) { std::filesystem::remove(path); };
    auto m = run(path);
    ASSERT_EQ(owner.rows.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(std::find(owner.messages.begin(), owner.messages.end(), "任务文件已删除, 下一个序号 8 不再保存"),
              owner.messages.end());
}

// ---- Proxy -----------------------------------------------------------------------------------------

TEST_F(MasterTest, PagesGoThroughTheConfiguredProxyOnlyWhileItIsOn)
{
    LocalHttpServer server;
    servePages(server);
    fixtures::TinyProxy open;
    fixtures::TinyProxy guarded("tester", "s3cret");
    auto via = [&](std::size_t i) { return !server.requests().at(i).header("Via").empty(); };

    settings("[proxy]\r\nUseProxy=1\r\nservername=127.0.0.1\r\nport=" + std::to_string(open.port()) + "\r\n");
    run(listTask(dir, {server.url("/p/1")}, {}, "a.tak"));
    ASSERT_EQ(server.requestCount(), 1u) << open.log();
    EXPECT_TRUE(via(0));

    settings("[proxy]\r\nUseProxy=1\r\nservername=127.0.0.1\r\nport=" + std::to_string(guarded.port()) +
             "\r\nusername=tester\r\npassword=s3cret\r\n");
    run(listTask(dir, {server.url("/p/2")}, {}, "b.tak"));
    ASSERT_EQ(server.requestCount(), 2u) << guarded.log();
    EXPECT_TRUE(via(1));

    settings("[proxy]\r\nUseProxy=1\r\nservername=127.0.0.1\r\nport=" + std::to_string(guarded.port()) +
             "\r\nusername=tester\r\npassword=wrong\r\n");
    run(listTask(dir, {server.url("/p/3")}, {}, "c.tak"));
    EXPECT_EQ(server.requestCount(), 2u) << "a refused proxy login skips the page";

    settings("[proxy]\r\nUseProxy=0\r\nservername=127.0.0.1\r\nport=" + std::to_string(open.port()) + "\r\n");
    run(listTask(dir, {server.url("/p/4")}, {}, "d.tak"));
    ASSERT_EQ(server.requestCount(), 3u);
    EXPECT_FALSE(via(2)) << "with the proxy off nothing goes through it";
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"page 1", "page 2", "page 4"}));
}

// ---- Gathering with a link-scanning crawler ---------------------------------------------------

namespace {
class FakeScanner : public engine::LinkScanner {
public:
    struct Log {
        Setup setup;
        std::vector<std::string> started;
        int stops = 0;
        engine::ScanEvents* events = nullptr;
    };
    explicit FakeScanner(Log& log) : log_(log) {}
    void configure(const Setup& s) override { log_.setup = s; }
    void setEvents(engine::ScanEvents* e) override { log_.events = e; }
    void start(const std::string& url) override { log_.started.push_back(url); }
    void stop() override { ++log_.stops; }
    bool running() const override { return false; }

private:
    Log& log_;
};
} // namespace

TEST_F(MasterTest, CrawlerEventsFeedTheDetailList)
{
    LocalHttpServer server;
    servePages(server);
    TaskFile task(dir, {{"标题", "<title>", "</title>", ""}},
                  {{"master", "tasktypes", "0"}, {"master", "taktype", "1"},
                   {"url", "urlbegin", server.url("/list/{1,3}.html")}, {"url", "lb_urlgetword", "Detail,abc"},
                   {"url", "urlfilterword", "1"}, {"url", "lb_urlfilterword", "Ad"}, {"SuperSet", "urlScan", "1"}},
                  "scan.tak");
    FakeScanner::Log log;
    StartedMaster m(task.path(), env, &owner, std::make_unique<FakeScanner>(log));
    m.setFinishDelayMs(0);
    EXPECT_EQ(log.events, &m);
    EXPECT_EQ(log.setup.depth, 1);
    EXPECT_EQ(log.setup.concurrentDownloads, 1);
    EXPECT_EQ(log.setup.limiterWords, (std::vector<std::string>{"abc", "detail"}));
    EXPECT_TRUE(log.setup.filterEnabled);
    EXPECT_EQ(log.setup.filterWords, std::vector<std::string>{"ad"});
    EXPECT_EQ(log.setup.resultsFile, dir.file("Files/scan.txt"));
    EXPECT_TRUE(files::exists(dir.file("Files")));
    ASSERT_EQ(log.started, std::vector<std::string>{server.url("/list/1.html")});

    m.scanLinkFound(server.url("/p/1"));
    m.scanLinkFound(server.url("/p/1"));
    m.scanLinkFound(server.url("/p/2"));
    m.scanUpdatedStats({3});
    EXPECT_EQ(log.stops, 0);
    m.scanWorking(true);
    EXPECT_EQ(log.started.size(), 1u) << "only the end of work moves on";
    m.scanWorking(false);
    EXPECT_EQ(m.urlTotal(), 6) << "listing pages x links of the first page";
    ASSERT_EQ(log.started.size(), 2u);
    EXPECT_EQ(log.started[1], server.url("/list/2.html"));
    m.scanLinkFound(server.url("/p/2"));
    m.scanLinkFound(server.url("/p/3"));
    m.scanUpdatedStats({4});
    EXPECT_EQ(log.stops, 1) << "more than 3 retries stop the crawler";
    m.scanWorking(false);
    EXPECT_FALSE(m.urlGenerationDone());
    m.scanWorking(false);  // the third page gave nothing
    EXPECT_TRUE(m.urlGenerationDone());
    ASSERT_TRUE(spinUntil([&] { return m.finished(); }));
    EXPECT_EQ(m.gatheredUrls(), (std::vector<std::string>{server.url("/p/1"), server.url("/p/2"), server.url("/p/3")}));
    EXPECT_EQ(owner.firstFields(), (std::vector<std::string>{"page 1", "page 2", "page 3"}));
}

TEST_F(MasterTest, CompanyDirectoryTasksMarkTheGridAndStopCutsTheirPause)
{
    LocalHttpServer server;
    server.setPage("/c/1", "<title>Acme</title> mail: sales@acme.example.cn");
    server.setPage("/c/2", "<title>Beta</title>");
    auto m = run(listTask(dir, {server.url("/c/1")}, {{"master", "taktype", "0"}}, "c0.tak"));
    EXPECT_TRUE(owner.contactTask);
    ASSERT_EQ(owner.rows.size(), 1u);
    EXPECT_EQ(owner.rows[0], (std::vector<std::string>{"1", "acme", "sales@acme.example.cn", kTime}))
        << "the page's e-mail address is the last item";

    // Each row of such a task waits half a second or more before it is handed over; a stop
    // ends that wait at once and the row is not delivered.
    owner.rows.clear();
    auto slow = start(listTask(dir, {server.url("/c/2")}, {{"master", "taktype", "0"}}, "c1.tak"));
    ASSERT_TRUE(server.waitForRequest("/c/2"));
    slow->controlRun(engine::RunCommand::Stop);
    EXPECT_TRUE(slow->waitForThreads(450)) << "the wait is at least 500 ms; stop must cut it";
    spinUntil([] { return false; }, 100);
    EXPECT_TRUE(owner.rows.empty());
}
