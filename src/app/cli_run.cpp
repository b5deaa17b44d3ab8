// `tarvimo-cli run`: a whole collection without a display. The task and its sibling
// tasks run in a run frame on a QCoreApplication; progress goes to standard error; when
// the run ends (or Ctrl-C stops it) the collected rows are written with the text writer.
#include "app/cli.h"

#include "app/cli_headless.h"
#include "app/cli_parser.h"
#include "base/messages.h"
#include "run/frame_task_data.h"

namespace tarvimo::cli {

const CommandSpec& runCommand()
{
    static const CommandSpec spec{
        "run",
        "run a task and its sibling tasks, write the rows",
        {kTaskArgument},
        {{"out", OptionSpec::kText, "FILE", "write the rows to FILE (default: standard output)"},
         {"threads", OptionSpec::kPositiveNumber, "N", "fetch workers per task file (default: the settings file's count)"},
         {"utf8", OptionSpec::kFlag, "", "write UTF-8 instead of the program's GBK"},
         {"time", OptionSpec::kText, "TEXT", "the text of every time column, for reproducible output"}},
        {},
        "Progress goes to standard error; Ctrl-C stops the run and still writes the rows collected.\n"};
    return spec;
}

int runRun(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto line = parseOrReport(runCommand(), args, out, err, status);
    if (!line)
        return status;
    const std::string& task = line->arguments[0];
    const std::string outFile = line->value("out");
    if (!outputWritable(outFile, err))
        return kFileError;

    auto app = ensureApplication();
    StderrMessages boxes;
    run::TFrameTaskData frame(boxes, commandEnvironment(home, line->value("time")));
    frame.setRunOptions({line->number("threads")});
    return driveRun(
        frame, [&] { frame.startRun(task, false, ""); }, {outFile, line->has("utf8"), task}, out, err);
}

} // namespace tarvimo::cli
