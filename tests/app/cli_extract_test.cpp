#include "app/cli_support.h"
#include "base/home.h"
#include "base/text.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarvimo;

namespace {

class CliExtract : public ::testing::Test {
protected:
    void SetUp() override { test::writeFile(dir.file("DefaultSet.ini"), "[default]\r\ngetEmail=0\r\n"); }

    test::CliResult run(std::vector<std::string> args) { return test::runCommandLine(dir.path(), "extract", std::move(args)); }
    std::string task(const std::string& name, const std::string& utf8Ini) { return test::writeTask(dir, name, utf8Ini); }
    std::string page(const std::string& name, const std::string& bytes)
    {
        test::writeFile(dir.file(name), bytes);
        return dir.file(name);
    }

    test::TempDir dir;
};

// The smallest task the engine runs: one rule cutting the page title.
const char* kMinimalTask = "[master]\r\ntaskname=min\r\ntasktypes=0\r\n[url]\r\nurlbegin=http://127.0.0.1/\r\n"
                           "[rule]\r\nruleSplit=^\r\nrowcount=2\r\nruledata0=中文名称^标题^\r\nruledata1=英文名称^Col^\r\n"
                           "ruledata2=前标识符^<title>^\r\nruledata3=后标识符^</title>^\r\nruledata4=信息类型^^\r\n"
                           "ruledata5=保留Html代码^^\r\nrulesaveurl=1\r\nruleAutoMid=1\r\n";

} // namespace

TEST_F(CliExtract, MinimalTaskCutsTheTitle)
{
    auto r = run({task("min.tak", kMinimalTask), page("p.html", "<html><title>Abc</title></html>"), "--url",
                  "http://127.0.0.1:9/x.html", "--time", "2026-12-09 08:00:00"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Title (folded), URL, time, and the page's e-mail scan of a directory task (empty).
    EXPECT_EQ(r.out, "abc^http://127.0.0.1:9/x.html^2026-12-09 08:00:00^\n");
}

TEST_F(CliExtract, FieldEndingInALeadByteKeepsTheDelimiter)
{
    // 0xB0 followed by '^' would be one GBK character if the joined line were converted.
    const std::string t = task("min.tak", kMinimalTask);
    const std::string p = page("p.html", "<html><title>Ab\xB0</title></html>");
    auto r = run({t, p, "--url", "http://127.0.0.1:9/x.html", "--time", "T"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ab\xEF\xBF\xBD^http://127.0.0.1:9/x.html^T^\n");
    auto raw = run({t, p, "--url", "http://127.0.0.1:9/x.html", "--time", "T", "--raw"});
    EXPECT_EQ(raw.out, "ab\xB0^http://127.0.0.1:9/x.html^T^\n") << "raw output keeps the stored bytes";
}

TEST_F(CliExtract, LoopRecordsAndMobileScanPrintOneLineEach)
{
    const std::string t = task("loop.tak", "[master]\r\ntaktype=2\r\n[rule]\r\nruleloop=1\r\nruleloopword=<tr>\r\n"
                                           "ruledata0=中文名称^名称^手机^\r\nruledata2=前标识符^<td>^手机^\r\n"
                                           "ruledata3=后标识符^</td>^^\r\nruledata4=信息类型^^常量^\r\n"
                                           "[SuperSet]\r\nautogettime=0\r\n");
    const std::string p = page("list.html", text::utf8ToGbk("<tr><td>甲厂</td> 13912345678 <tr><td>乙店</td>"
                                                            " 18712345678 18712345678<tr><td>丙</td>"));
    auto r = run({t, p});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "甲厂^13912345678,18712345678\n乙店^18712345678\n丙^\n");
    auto raw = run({t, p, "--raw"});
    EXPECT_EQ(raw.out, text::utf8ToGbk("甲厂^13912345678,18712345678\n乙店^18712345678\n丙^\n"));
}

TEST_F(CliExtract, PagesAreConvertedAsFetchedPagesAreAndRunNumbersApply)
{
    const std::string t = task("u.tak", "[master]\r\ntaktype=2\r\n[rule]\r\nruledata0=h^名称^次数^\r\n"
                                        "ruledata2=h^<b>^5^\r\nruledata3=h^</b>^^\r\nruledata4=h^^运行次数^\r\n"
                                        "[SuperSet]\r\nautogettime=0\r\ncharType=1\r\n");
    const std::string p = page("utf8.html", "<b>\xE4\xB8\xAD\xE6\x96\x87</b>");  // UTF-8 "中文"
    EXPECT_EQ(run({t, p}).out, "中文^5\n");
    EXPECT_EQ(run({t, p, "--run", "12"}).out, "中文^12\n") << "a restarted run numbers with the given run";
}

TEST_F(CliExtract, LinkedPagesAreFetchedOnlyWithAnAddress)
{
    fixtures::LocalHttpServer server;
    server.setPage("/c/1.html", text::utf8ToGbk("<p>联系人：张三</p>"));
    const std::string t = task("l.tak", "[master]\r\ntaktype=2\r\n[rule]\r\nruledata0=h^链接^联系人^\r\n"
                                        "ruledata2=h^href=^联系人：^\r\nruledata3=h^>^</p>^\r\n"
                                        "ruledata4=h^关联地址类型^^\r\n[SuperSet]\r\nautogettime=0\r\nClearChar=*\r\n");
    const std::string p = page("list.html", "<a href=c/1.html>x</a>");
    auto with = run({t, p, "--url", server.url("/index.html")});
    EXPECT_EQ(with.out, server.url("/c/1.html") + "^张三\n") << with.err;
    auto without = run({t, p});
    EXPECT_EQ(without.out, "c/1.html^ \n");
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(CliExtract, ErrorsAndUsage)
{
    const std::string t = task("min.tak", kMinimalTask);
    EXPECT_EQ(run({t, dir.file("missing.html")}).status, 1);
    EXPECT_EQ(run({dir.file("missing.tak"), page("p", "x")}).status, 1);
    test::writeFile(dir.file("plain.tak"), "garbage");  // no container: plain INI, every key its default
    EXPECT_EQ(run({dir.file("plain.tak"), page("p", "x")}).status, 0);
    // A zlib header followed by garbage is a damaged container, not an empty plain task.
    test::writeFile(dir.file("bad.tak"), std::string("\x78\xDA", 2) + "garbage");
    const auto bad = run({dir.file("bad.tak"), page("p", "x")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("tarvimo-cli: " + dir.file("bad.tak") + ": damaged task container ("), std::string::npos)
        << bad.err;
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(run({t}).status, 2);
    EXPECT_EQ(run({t, page("p", "x"), "--run"}).status, 2);
    EXPECT_EQ(run({t, page("p", "x"), "--run", "x"}).status, 2);
    EXPECT_EQ(run({t, page("p", "x"), "--bogus"}).status, 2);
}
