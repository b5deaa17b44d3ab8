#include "app/cli.h"

#include "app/cli_parser.h"
#include "base/home.h"
#include "base/text.h"

namespace tarvimo::cli {
namespace {

// tarvimo-cli itself: the global options, then a command; its help lists every command.
const CommandSpec& programCommand()
{
    static const CommandSpec spec = [] {
        CommandSpec s;
        s.arguments = {{"COMMAND", "the command to run"}};
        s.options = {{"home", OptionSpec::kText, "DIR", "the home folder (task library, DefaultSet.ini) for this run"}};
        s.commands = taskCommand().commands;
        for (const CommandSpec* c : {&extractCommand(), &urlsCommand(), &runCommand(), &searchCommand(), &exportCommand(),
                                   &daemonCommand(), &scanCommand()})
            s.commands.push_back(*c);
        s.notes = "Text is UTF-8 on the command line and in the output; --raw prints the stored GBK bytes.\n"
                  "A word after -- is an argument even when it starts with '-'.\n"
                  "'tarvimo-cli COMMAND --help' describes a command.\n";
        return s;
    }();
    return spec;
}

} // namespace

engine::Environment commandEnvironment(const std::string& home, const std::string& fixedTime)
{
    auto env = engine::Environment::forHome(home);
    env.fixClock(text::utf8ToGbk(fixedTime));
    return env;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const CommandSpec& program = programCommand();
    int status = kOk;
    const auto line = parseOrReport(program, args, out, err, status);
    if (!line)
        return status;
    // The one place the home folder is chosen; everything below gets it passed in.
    const std::string home = home::resolve(line->has("home") ? line->value("home") : std::string());

    const std::string command = line->arguments.front();
    const std::vector<std::string> rest(line->arguments.begin() + 1, line->arguments.end());
    if (command == "help") {
        out << usageText(program);
        return kOk;
    }
    if (command == "task")
        return runTask(rest, home, out, err);
    if (command == "extract")
        return runExtract(rest, home, out, err);
    if (command == "urls")
        return runUrls(rest, home, out, err);
    if (command == "run")
        return runRun(rest, home, out, err);
    if (command == "search")
        return runSearch(rest, home, out, err);
    if (command == "export")
        return runExport(rest, home, out, err);
    if (command == "daemon")
        return runDaemon(rest, home, out, err);
    if (command == "scan")
        return runScan(rest, home, out, err);
    return usageError(program, "unknown command '" + command + "'", err);
}

} // namespace tarvimo::cli
