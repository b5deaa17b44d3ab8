// `tarvimo-cli extract`: runs a task's rules on a saved page and prints every row the
// engine hands over, so a task author can try rules without a run.
#include "app/cli.h"

#include "app/cli_parser.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/text.h"
#include "net/http_client.h"
#include "engine/page_text.h"
#include "engine/task.h"
#include "engine/task_exec.h"

#include <memory>

namespace tarvimo::cli {
namespace {

// Collects warnings so they can be printed as this command's errors.
} // namespace

const CommandSpec& extractCommand()
{
    static const CommandSpec spec{
        "extract",
        "run a task's rules on a saved page, print each row",
        {kTaskArgument, {"PAGE", "the saved page"}},
        {{"url", OptionSpec::kText, "URL", "the page's address, for the URL column and relative links; linked pages need it"},
         {"time", OptionSpec::kText, "TEXT", "the text of every time column"},
         {"run", OptionSpec::kNumber, "N", "the run number, as after a restart of the run"},
         kRawOption},
        {},
        "Each row is one line, its fields joined by the task's rule delimiter.\n"};
    return spec;
}

int runExtract(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto o = parseOrReport(extractCommand(), args, out, err, status);
    if (!o)
        return status;
    const std::vector<std::string>& positional = o->arguments;
    const std::string url = o->value("url"), timeText = o->value("time");
    const bool raw = o->has("raw");
    const std::string& taskFile = positional[0];
    std::string page;
    if (!files::tryReadAll(positional[1], page)) {
        err << "tarvimo-cli: cannot read " << positional[1] << "\n";
        return kFileError;
    }
    std::string probe;
    if (!files::tryReadAll(taskFile, probe)) {
        err << "tarvimo-cli: cannot read " << taskFile << "\n";
        return kFileError;
    }

    engine::RunState state;
    if (o->has("run")) {
        state.restarted = true;
        state.runCounter = o->number("run");
    }
    const engine::TaskLoad load = engine::loadTask(taskFile);
    if (!load.task) {
        err << "tarvimo-cli: 在创建任务规则时出现异常！程序终止\n";
        err << "tarvimo-cli: " << load.error << "\n";
        return kFileError;
    }
    const engine::Environment env = commandEnvironment(home, timeText);
    engine::TtaskExec exec(state, env);
    exec.setTask(load.task);
    state.charType = load.task->config.charType;

    // Linked pages and lookups are fetched only for a page with a known address.
    std::unique_ptr<net::HttpClient> connection;
    if (!url.empty()) {
        connection = std::make_unique<net::HttpClient>();
        connection->setUserAgent(net::kUserAgent);
    }
    page = engine::convertPage(std::move(page), exec.autoCharset(), state.charType);
    const char d = exec.delimiter();
    const std::string delimiter = raw ? std::string(1, d) : text::gbkToUtf8(std::string(1, d));
    exec.setHandOver([&](const engine::Row& row) {
        // Each field is converted by itself: a field ending in a lead byte would otherwise
        // take a delimiter of the trail range (such as '^') into one character.
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i)
                line += delimiter;
            line += raw ? row[i] : text::gbkToUtf8(row[i]);
        }
        out << line << "\n";
    });
    exec.extractPage(std::move(page), connection.get(), text::utf8ToGbk(url));
    return kOk;
}

} // namespace tarvimo::cli
