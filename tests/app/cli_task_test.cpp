#include "app/cli.h"
#include "base/home.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarvimo;
using test::TempDir;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result runCli(std::vector<std::string> args)
{
    std::ostringstream out, err;
    int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

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

    // A container whose line is no cipher text is reported, not shown as empty.
    store::SaveCompressedLines({"[master]", "zz"}, dir.file("bad.tak"));
    auto bad = runCli({"task", "get", dir.file("bad.tak"), "master", "taskname"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("not a valid task file"), std::string::npos) << bad.err;

    test::writeFile(dir.file("blocker"), "x");
    EXPECT_EQ(runCli({"task", "set", dir.file("blocker/t.tak"), "a", "b", "c"}).status, 1);
    EXPECT_EQ(runCli({"task", "get", dir.file("x")}).status, 2);
    EXPECT_EQ(runCli({"task", "frobnicate"}).status, 2);
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"--home"}).status, 2);
    EXPECT_EQ(runCli({"--help"}).status, 0);
}

TEST(CliTask, BundledExampleIsTheEncryptedFormOfItsSource)
{
    const std::string dir = std::string(TARVIMO_SOURCE_DIR) + "/examples/tasks/";
    auto dec = runCli({"task", "decrypt", dir + "demo-directory.tak"});
    ASSERT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, test::readFile(dir + "demo-directory.ini.utf8"));
}

// The parser every command goes through, as a user meets it: the help, the usage errors
// and words that reach a command unchanged.
namespace {

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> w;
    std::istringstream in(line);
    for (std::string s; in >> s;)
        w.push_back(s);
    return w;
}

std::string firstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

} // namespace

TEST(CliParser, EveryCommandsHelpNamesItsOptions)
{
    struct Case {
        std::string command;
        std::string usage;                // the help's first line
        std::vector<std::string> entries;  // rows of its lists of commands, arguments and options
    };
    const Case cases[] = {
        {"", "[--home DIR] COMMAND ...", {"--home DIR", "task decrypt FILE [--raw]", "task show FILE", "urls TASK [--gather] [--raw]"}},
        {"task", "task COMMAND ...", {"task encrypt IN OUT", "task get FILE SECTION KEY [--raw]", "task set FILE SECTION KEY VALUE"}},
        {"task decrypt", "task decrypt FILE [--raw]", {"FILE", "--raw"}},
        {"task encrypt", "task encrypt IN OUT", {"IN", "OUT"}},
        {"task get", "task get FILE SECTION KEY [--raw]", {"FILE", "SECTION", "KEY", "--raw"}},
        {"task set", "task set FILE SECTION KEY VALUE", {"FILE", "SECTION", "KEY", "VALUE"}},
        {"task show", "task show FILE", {"FILE"}},
        {"extract", "extract TASK PAGE [--url URL] [--time TEXT] [--run N] [--raw]",
         {"TASK", "PAGE", "--url URL", "--time TEXT", "--run N", "--raw"}},
        {"urls", "urls TASK [--gather] [--raw]", {"TASK", "--gather", "--raw"}},
        {"run", "run TASK [--out FILE] [--threads N] [--utf8] [--time TEXT]",
         {"TASK", "--out FILE", "--threads N", "--utf8", "--time TEXT"}},
    };
    for (const auto& c : cases) {
        auto args = words(c.command);
        args.push_back("--help");
        const auto help = runCli(args);
        EXPECT_EQ(help.status, 0) << c.command;
        EXPECT_EQ(help.err, "") << c.command;
        EXPECT_EQ(firstLine(help.out), "usage: tarvimo-cli " + c.usage);
        for (const auto& e : c.entries)
            EXPECT_NE(help.out.find("\n  " + e + "  "), std::string::npos) << c.command << " lacks " << e << ":\n" << help.out;
        EXPECT_NE(help.out.find("\n  -h, --help  "), std::string::npos) << help.out;
        args.back() = "-h";
        EXPECT_EQ(runCli(args).out, help.out) << c.command;
    }
    EXPECT_EQ(runCli({"help"}).out, runCli({"--help"}).out);
}

TEST(CliParser, UsageErrorsSayWhatIsWrongThenShowTheUsage)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
        std::string usage;  // the first line of the usage that follows
    };
    const std::string program = "usage: tarvimo-cli [--home DIR] COMMAND ...";
    const std::string run = "usage: tarvimo-cli run TASK [--out FILE] [--threads N] [--utf8] [--time TEXT]";
    const std::string extract = "usage: tarvimo-cli extract TASK PAGE [--url URL] [--time TEXT] [--run N] [--raw]";
    const Case cases[] = {
        // Unknown options, as typed.
        {{"run", "t", "--bogus"}, "unknown option --bogus", run},
        {{"urls", "t", "-x"}, "unknown option -x", "usage: tarvimo-cli urls TASK [--gather] [--raw]"},
        {{"task", "show", "f", "--raw"}, "unknown option --raw", "usage: tarvimo-cli task show FILE"},
        {{"--bogus", "run", "t"}, "unknown option --bogus", program},
        {{"run", "t", "--home", "h"}, "unknown option --home", run},
        // Missing values and values a flag does not take.
        {{"run", "t", "--out"}, "missing value after '--out'", run},
        {{"extract", "t", "p", "--url"}, "missing value after '--url'", extract},
        {{"--home"}, "missing value after '--home'", program},
        {{"urls", "t", "--raw=1"}, "unexpected value after '--raw'", "usage: tarvimo-cli urls TASK [--gather] [--raw]"},
        // Too few or too many arguments; no command at all.
        {{"run"}, "missing TASK", run},
        {{"extract", "t"}, "missing PAGE", extract},
        {{"task", "set", "f", "s"}, "missing KEY VALUE", "usage: tarvimo-cli task set FILE SECTION KEY VALUE"},
        {{"task", "decrypt", "f", "g"}, "unexpected argument 'g'", "usage: tarvimo-cli task decrypt FILE [--raw]"},
        {{"run", "t", "--utf8", "u"}, "unexpected argument 'u'", run},
        {{}, "missing COMMAND", program},
        {{"task"}, "missing COMMAND", "usage: tarvimo-cli task COMMAND ..."},
        {{"frob"}, "unknown command 'frob'", program},
        {{"task", "frob", "f"}, "unknown task command 'frob'", "usage: tarvimo-cli task COMMAND ..."},
        // Numbers.
        {{"run", "t", "--threads", "0"}, "--threads needs a positive number", run},
        {{"run", "t", "--threads=-2"}, "--threads needs a positive number", run},
        {{"run", "t", "--threads", "x"}, "--threads needs a positive number", run},
        {{"extract", "t", "p", "--run", "x"}, "--run needs a number", extract},
        {{"extract", "t", "p", "--run", "12x"}, "--run needs a number", extract},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += " " + a;
        const auto r = runCli(c.args);
        EXPECT_EQ(r.status, cli::kUsage) << shown;
        EXPECT_EQ(r.out, "") << shown;
        const std::string second = r.err.substr(r.err.find('\n') + 1);
        EXPECT_EQ(firstLine(r.err), "tarvimo-cli: " + c.message) << shown;
        EXPECT_EQ(firstLine(second), c.usage) << shown << "\n" << r.err;
        EXPECT_NE(second.find("-h, --help"), std::string::npos) << "the whole usage follows:" << shown << "\n" << r.err;
    }
}

TEST(CliParser, WordsReachTheCommandUnchanged)
{
    test::TempDir dir;
    // A file name that is no UTF-8 (GBK "名"), a negative value, and a value that looks like an option after --.
    const std::string f = dir.file("\xC3\xFB.tak");
    ASSERT_EQ(runCli({"task", "set", f, "url", "urlinc", "-1"}).status, 0);
    EXPECT_EQ(test::readFile(f), "[url]\r\nurlinc=-1\r\n") << "written under the very bytes given";
    EXPECT_EQ(runCli({"task", "get", f, "url", "urlinc"}).out, "-1\n");
    ASSERT_EQ(runCli({"task", "set", "--", f, "url", "urlfilterword", "--raw"}).status, 0);
    EXPECT_EQ(runCli({"task", "get", "--raw", f, "url", "urlfilterword"}).out, "--raw\n");

    // Both forms of --home choose the home folder; a word after the command is the command's.
    for (const auto& form : {std::vector<std::string>{"--home", dir.path()}, {"--home=" + dir.path()}}) {
        auto args = form;
        args.insert(args.end(), {"task", "get", f, "url", "urlinc", "--raw"});
        std::ostringstream out, err;
        EXPECT_EQ(cli::run(args, out, err), 0) << err.str();
        EXPECT_EQ(out.str(), "-1\n");
        EXPECT_EQ(home::folder(), dir.path()) << form.front();
        home::setOverride("");
    }
}
