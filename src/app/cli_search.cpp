// `tarvimo-cli search`: the keyword search without a display. What the search dialog's
// OK does (the checks, the primary task or the two mobile-number tasks), then what the
// main window does with them: a run frame for the task, with the companion tasks of the
// other directory sites joining it as they are made, and the whole table written at the
// end as `run` writes it.
#include "app/cli.h"

#include "app/cli_headless.h"
#include "app/cli_parser.h"
#include "base/text.h"
#include "directory/task_creator.h"
#include "directory/wizard.h"
#include "store/task_paths.h"

namespace tarvimo::cli {

const CommandSpec& searchCommand()
{
    static const CommandSpec spec{
        "search",
        "search every directory site for a keyword, collect the companies, write the rows",
        {{"KEYWORD", "what to search for (UTF-8)"}},
        {{"name", OptionSpec::kText, "TASK", "the task name (default: the keyword without its first inner blank)"},
         {"single", OptionSpec::kFlag, "", "the mobile-number search instead of the directory sites"},
         {"out", OptionSpec::kText, "FILE", "write the rows to FILE (default: standard output)"},
         {"threads", OptionSpec::kPositiveNumber, "N", "fetch workers per task file (default: the settings file's count)"},
         {"utf8", OptionSpec::kFlag, "", "write UTF-8 instead of the program's GBK"},
         {"time", OptionSpec::kText, "TEXT", "the text of every time column, for reproducible output"}},
        {},
        "The task files are made in the home's Task folder (the task name, then .tak and the\n"
        "companions' .dll or .dtp). Progress goes to standard error; Ctrl-C stops the run and\n"
        "still writes the rows collected. A page range read from a site is capped at 1000 pages.\n"};
    return spec;
}

int runSearch(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto line = parseOrReport(searchCommand(), args, out, err, status);
    if (!line)
        return status;
    const std::string outFile = line->value("out");
    if (!outputWritable(outFile, err))
        return kFileError;

    auto app = ensureApplication();
    const engine::Environment env = commandEnvironment(home, line->value("time"));
    RecordedMessages said;
    directory::HeadlessRunTabs tabs;
    std::unique_ptr<directory::SearchWizard> wizard;
    if (line->has("single"))
        wizard = std::make_unique<directory::TnewscTaskSingle>(said, tabs, env);
    else
        wizard = std::make_unique<directory::TnewscTask>(said, tabs, env);
    wizard->keywordChanged(text::utf8ToGbk(line->arguments[0]));
    if (line->has("name"))
        wizard->setTaskName(text::utf8ToGbk(line->value("name")));

    err << "tarvimo-cli: creating the task " << text::gbkToUtf8(text::trim(wizard->taskName())) << "\n";
    const bool made = directory::pressOk(*wizard);
    for (const auto& e : said.entries)
        err << "tarvimo-cli: " << e.text << "\n";
    if (!made)
        return kFileError;

    StderrMessages boxes;
    run::TFrameTaskData frame(boxes, env);
    frame.setRunOptions({line->number("threads")});
    frame.setKeyword(tabs.keyword);
    frame.setTaskCreator(directory::TcreateTask::creator());
    const std::string task = store::taskPath(env.home, tabs.taskName);
    return driveRun(
        frame, [&] { frame.startRun(task, tabs.withCompanions, ""); }, {outFile, line->has("utf8"), task}, out, err);
}

} // namespace tarvimo::cli
