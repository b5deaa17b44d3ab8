#include "app/cli.h"

#include "base/home.h"
#include "base/text.h"

namespace tarvimo::cli {
namespace {

const char* kUsageText =
    "usage: tarvimo-cli [--home DIR] COMMAND ...\n"
    "commands:\n"
    "  task decrypt FILE [--raw]            print a task file's INI text\n"
    "  task encrypt IN OUT                  turn a plain INI file into an encrypted task file\n"
    "  task get FILE SECTION KEY [--raw]    print one value\n"
    "  task set FILE SECTION KEY VALUE      write one value\n"
    "  task show FILE                       print a readable summary of a task\n"
    "  extract TASK PAGE [--url URL] [--time TEXT] [--run N] [--raw]\n"
    "                                       run a task's rules on a saved page, print each row\n"
    "  urls TASK [--gather] [--raw]         print the addresses a run would visit; --gather\n"
    "                                       fetches the listing pages and prints their detail links\n"
    "  run TASK [--out FILE] [--threads N] [--utf8] [--time TEXT]\n"
    "                                       run a task and its sibling tasks, write the rows\n"
    "Text is UTF-8 on the command line and in the output; --raw prints the stored GBK bytes.\n";

// The --home flag of the command line being run (empty: none).
std::string chosenHome;

} // namespace

engine::Environment commandEnvironment(const std::string& fixedTime)
{
    auto env = engine::Environment::forHome(home::resolve(chosenHome));
    env.fixClock(text::utf8ToGbk(fixedTime));
    return env;
}

int run(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err)
{
    chosenHome.clear();
    std::vector<std::string> args;
    for (std::size_t i = 0; i < argsIn.size(); ++i) {
        const std::string& a = argsIn[i];
        if (a == "--home") {
            if (i + 1 >= argsIn.size()) {
                err << "tarvimo-cli: --home needs a folder\n" << kUsageText;
                return kUsage;
            }
            chosenHome = argsIn[++i];
        } else if (a.rfind("--home=", 0) == 0) {
            chosenHome = a.substr(7);
        } else if (args.empty() && (a == "--help" || a == "-h" || a == "help")) {
            out << kUsageText;
            return kOk;
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) {
        err << kUsageText;
        return kUsage;
    }
    const std::string cmd = args.front();
    args.erase(args.begin());
    if (cmd == "task")
        return runTask(args, out, err);
    if (cmd == "extract")
        return runExtract(args, out, err);
    if (cmd == "urls")
        return runUrls(args, out, err);
    if (cmd == "run")
        return runRun(args, out, err);
    err << "tarvimo-cli: unknown command '" << cmd << "'\n" << kUsageText;
    return kUsage;
}

} // namespace tarvimo::cli
