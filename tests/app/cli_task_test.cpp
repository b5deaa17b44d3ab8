#include "app/cli_support.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarvimo;
using test::TempDir;

namespace {

using test::runCli;

const std::string kPlainUtf8 = "[master]\r\ntaskname=名录\r\ntasktypes=0\r\n\r\n[url]\r\nurlbegin=http://127.0.0.1/a\r\n"
                               "[rule]\r\nruleSplit=^\r\nrowcount=2\r\nruledata0=中文名称^标题^\r\n"
                               "ruledata2=前标识符^<title>^\r\nruledata3=后标识符^</title>^\r\n";

} // namespace

TEST(CliTask, EncryptThenDecryptGivesTheTextBack)
{
    TempDir dir;
    test::writeFile(dir.file("in.ini"), text::utf8ToGbk(kPlainUtf8));
    auto enc = runCli({"task", "encrypt", dir.file("in.ini"), dir.file("t.tak")});
    ASSERT_EQ(enc.status, 0) << enc.err;
    const std::string bytes = test::readFile(dir.file("t.tak"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\x78\xDA");

    auto dec = runCli({"task", "decrypt", dir.file("t.tak")});
    EXPECT_EQ(dec.status, 0);
    EXPECT_EQ(dec.out, text::replaceAll(kPlainUtf8, "\r\n", "\n"));
    auto raw = runCli({"task", "decrypt", "--raw", dir.file("t.tak")});
    EXPECT_EQ(raw.out, text::utf8ToGbk(kPlainUtf8)) << "raw output is the stored GBK with CR LF";

    auto again = runCli({"task", "encrypt", dir.file("t.tak"), dir.file("u.tak")});
    EXPECT_EQ(again.status, 1) << "a container is not enciphered twice";
}

TEST(CliTask, GetAndSetOnBothFileForms)
{
    TempDir dir;
    test::writeFile(dir.file("plain.tak"), text::utf8ToGbk(kPlainUtf8));
    ASSERT_EQ(runCli({"task", "encrypt", dir.file("plain.tak"), dir.file("enc.tak")}).status, 0);
    for (const char* name : {"plain.tak", "enc.tak"}) {
        const std::string f = dir.file(name);
        EXPECT_EQ(runCli({"task", "get", f, "MASTER", "TaskName"}).out, "名录\n") << name;
        EXPECT_EQ(runCli({"task", "set", f, "url", "urlpageend", "9"}).status, 0) << name;
        EXPECT_EQ(runCli({"task", "set", f, "master", "taskremark", "备注 一"}).status, 0) << name;
        EXPECT_EQ(runCli({"task", "get", f, "url", "urlpageend"}).out, "9\n") << name;
        EXPECT_EQ(runCli({"task", "get", f, "master", "taskremark"}).out, "备注 一\n") << name;
        EXPECT_EQ(runCli({"task", "get", f, "master", "nosuchkey"}).out, "\n") << name;
    }
    // The container stayed a container; the plain file stayed plain text.
    EXPECT_FALSE(store::TEncryptInifile(dir.file("enc.tak")).plainMode());
    EXPECT_NE(test::readFile(dir.file("plain.tak")).find("urlpageend=9\r\n"), std::string::npos);
}

TEST(CliTask, ShowSummarisesTheTask)
{
    TempDir dir;
    test::writeFile(dir.file("t.ini"), text::utf8ToGbk(kPlainUtf8));
    ASSERT_EQ(runCli({"task", "encrypt", dir.file("t.ini"), dir.file("t.tak")}).status, 0);
    auto r = runCli({"task", "show", dir.file("t.tak")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(encrypted container)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Name:      t (taskname 名录)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tasktypes 0 (URL导航), taktype 0 (企业名录)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("start:        http://127.0.0.1/a"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  1 | 标题 |  | <title> | </title> |  | "), std::string::npos) << r.out;
}

TEST(CliTask, ErrorsAndUsage)
{
    TempDir dir;
    auto missing = runCli({"task", "show", dir.file("none.tak")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);

    test::writeFile(dir.file("blocker"), "x");
    EXPECT_EQ(runCli({"task", "set", dir.file("blocker/t.tak"), "a", "b", "c"}).status, 1);
    EXPECT_EQ(runCli({"task", "get", dir.file("x")}).status, 2);
    EXPECT_EQ(runCli({"task", "frobnicate"}).status, 2);
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"--home"}).status, 2);
    EXPECT_EQ(runCli({"--help"}).status, 0);
}

namespace {

// Every task command on a file that cannot be read as a task: exit 1, the given message on
// standard error, nothing on standard output, and the file as it was.
void expectRefusedByEveryCommand(const std::string& file, const std::string& message)
{
    const std::string before = test::readFile(file);
    const std::vector<std::vector<std::string>> commands = {{"task", "show", file},
                                                            {"task", "decrypt", file},
                                                            {"task", "get", file, "master", "taskname"},
                                                            {"task", "set", file, "master", "taskname", "x"}};
    for (const auto& args : commands) {
        auto r = runCli(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(r.err, "tarvimo-cli: " + message + "\n") << args[1];
        EXPECT_EQ(r.out, "") << args[1];
    }
    EXPECT_EQ(test::readFile(file), before) << "nothing is written over a damaged task file";
}

} // namespace

TEST(CliTask, DamagedContainerIsReportedAndNeverRewritten)
{
    TempDir dir;
    test::writeFile(dir.file("in.ini"), text::utf8ToGbk(kPlainUtf8));
    ASSERT_EQ(runCli({"task", "encrypt", dir.file("in.ini"), dir.file("t.tak")}).status, 0);
    const std::string bytes = test::readFile(dir.file("t.tak"));
    const std::string cut = dir.file("cut.tak");
    test::writeFile(cut, bytes.substr(0, bytes.size() / 2));
    expectRefusedByEveryCommand(cut, cut + ": damaged task container (the compressed data ends early)");
}

TEST(CliTask, BadCipherLineIsNamedWithFileAndLine)
{
    TempDir dir;
    const std::string bad = dir.file("bad.tak");
    store::SaveCompressedLines({store::EncryptLine("[master]", store::storeKey()), "zz"}, bad);
    expectRefusedByEveryCommand(bad, bad + ": line 2 is not valid cipher text ('zz' is not a valid integer value)");
}

TEST(CliTask, BundledExamplesAreTheEncryptedFormsOfTheirSources)
{
    const std::string dir = std::string(TARVIMO_SOURCE_DIR) + "/examples/tasks/";
    for (const std::string name : {"demo-directory", "demo-news"}) {
        auto dec = runCli({"task", "decrypt", dir + name + ".tak"});
        ASSERT_EQ(dec.status, 0) << dec.err;
        EXPECT_EQ(dec.out, test::readFile(dir + name + ".ini.utf8")) << name;
    }
}
