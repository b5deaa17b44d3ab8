// The parser every command goes through, as a user meets it: the help, the usage errors
// and words that reach a command unchanged.
#include "app/cli_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarvimo;

namespace {

using test::runCli;

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

    // Both forms of --home choose the home folder: a relative address file is read from it.
    test::writeFile(dir.file("list.txt"), "http://127.0.0.1:9/a\r\n");
    test::writeFile(dir.file("l.tak"), "[master]\r\ntasktypes=2\r\n[list]\r\nlistfile=list.txt\r\n");
    for (const auto& form : {std::vector<std::string>{"--home", dir.path()}, {"--home=" + dir.path()}}) {
        auto args = form;
        args.insert(args.end(), {"urls", dir.file("l.tak")});
        std::ostringstream out, err;
        EXPECT_EQ(cli::run(args, out, err), 0) << err.str();
        EXPECT_EQ(out.str(), "http://127.0.0.1:9/a\n") << form.front();
    }
}
