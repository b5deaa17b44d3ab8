#include "app/cli_support.h"
#include "base/home.h"
#include "base/text.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarvimo;

namespace {

class CliUrls : public ::testing::Test {
protected:
    test::CliResult run(std::vector<std::string> args) { return test::runCommandLine(dir.path(), "urls", std::move(args)); }
    std::string task(const std::string& name, const std::string& utf8Ini) { return test::writeTask(dir, name, utf8Ini); }
    test::TempDir dir;
};

} // namespace

TEST_F(CliUrls, PrintsTheNavigationOfATask)
{
    auto t = task("nav.tak", "[master]\r\ntasktypes=0\r\n[url]\r\nurlbegin=http://h/list.asp?page=1&kw=公司\r\n"
                             "urlkeyword=page\r\nurlpagebegin=1\r\nurlpageend=3\r\nURLlist=http://h/a.html,http://H/LIST.asp?page=2&kw=公司\r\n");
    auto r = run({t});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://h/list.asp?page=1&kw=公司\nhttp://h/list.asp?page=2&kw=公司\n"
                     "http://h/list.asp?page=3&kw=公司\nhttp://h/a.html\n") << "a hand-added address already built is left out";
    // --raw prints the stored GBK bytes.
    const std::string raw = run({t, "--raw"}).out;
    EXPECT_EQ(raw.substr(0, raw.find('\n')), text::utf8ToGbk("http://h/list.asp?page=1&kw=公司"));
}

TEST_F(CliUrls, AddressListsAndTasksThatVisitNothing)
{
    test::writeFile(dir.file("list.txt"), "http://h/1\r\n\r\nhttp://h/2\r\n");
    auto list = task("list.tak", "[master]\r\ntasktypes=2\r\n[list]\r\nlistfile=" + dir.file("list.txt") + "\r\n");
    EXPECT_EQ(run({list}).out, "http://h/1\nhttp://h/2\n");

    auto missing = task("missing.tak", "[master]\r\ntasktypes=2\r\n[list]\r\nlistfile=" + dir.file("none.txt") + "\r\n");
    auto r = run({missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be read; a run would fetch nothing"), std::string::npos) << r.err;

    // An analysis page switched on with no page named (any non-zero value is on) says so.
    auto unnamed = run({task("unnamed.tak", "[master]\r\ntasktypes=2\r\n[list]\r\nlistanaly=-1\r\n")});
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_EQ(unnamed.err, "tarvimo-cli: the task names no analysis page (list/listAnalyfile is empty); a run would "
                           "fetch nothing\n");

    // A start address that is a Linux path names an address file.
    auto byPath = run({task("bypath.tak", "[master]\r\ntasktypes=0\r\n[url]\r\nurlbegin=" + dir.file("list.txt") + "\r\n")});
    EXPECT_EQ(byPath.out, "http://h/1\nhttp://h/2\n") << byPath.err;

    auto script = task("script.tak", "[master]\r\ntasktypes=1\r\n");
    EXPECT_EQ(run({script}).status, 1);
    EXPECT_EQ(run({dir.file("absent.tak")}).status, 1);
    // A damaged container is no task without addresses: it is refused with its name.
    test::writeFile(dir.file("cut.tak"), std::string("\x78\xDA", 2));
    const auto cut = run({dir.file("cut.tak")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "tarvimo-cli: " + dir.file("cut.tak") + ": damaged task container (the compressed data ends early)\n");
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({list, "--bogus"}).status, 2);
}

TEST_F(CliUrls, GatherPrintsTheDetailLinksOfTheListingPagesInOrder)
{
    fixtures::LocalHttpServer server;
    server.setPage("/list/1.html", "<a href=/detail/1.html>1</a><a href=/detail/2.html>2</a><a href=/about.html>");
    server.setPage("/list/2.html", "<a href=/detail/2.html>2</a><a href=/detail/ad3.html>ad</a><a href=/detail/4.html>");
    auto t = task("g.tak", "[master]\r\ntasktypes=0\r\n[url]\r\nurlbegin=" + server.url("/list/{1,3}.html") +
                               "\r\nlb_urlgetword=detail\r\nurlfilterword=1\r\nlb_urlfilterword=ad\r\n");
    auto r = run({t, "--gather"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, server.url("/detail/1.html") + "\n" + server.url("/detail/2.html") + "\n" +
                         server.url("/detail/4.html") + "\n");
    EXPECT_NE(r.err.find("3 listing pages, 3 detail addresses"), std::string::npos) << r.err;
    // Without --gather the listing pages themselves are printed, nothing is fetched.
    const std::size_t before = server.requestCount();
    EXPECT_EQ(run({t}).out, server.url("/list/1.html") + "\n" + server.url("/list/2.html") + "\n" +
                                server.url("/list/3.html") + "\n");
    EXPECT_EQ(server.requestCount(), before);
}
