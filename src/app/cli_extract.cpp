// `tarvimo-cli extract`: runs a task's rules on a saved page and prints every row the
// engine hands over, so a task author can try rules without a run.
#include "app/cli.h"

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

const char* kExtractUsage = "usage: tarvimo-cli extract TASK PAGE [--url URL] [--time TEXT] [--run N] [--raw]\n";

// Collects warnings so they can be printed as this command's errors.
} // namespace

int runExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> positional;
    std::string url, timeText;
    int run = 0;
    bool raw = false, haveRun = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& dest) {
            if (i + 1 >= args.size())
                return false;
            dest = args[++i];
            return true;
        };
        if (a == "--raw") {
            raw = true;
        } else if (a == "--url" || a == "--time") {
            if (!value(a == "--url" ? url : timeText)) {
                err << kExtractUsage;
                return kUsage;
            }
        } else if (a == "--run") {
            std::string n;
            if (!value(n) || !text::parseInt32(n, run, false)) {
                err << "tarvimo-cli: --run needs a number\n" << kExtractUsage;
                return kUsage;
            }
            haveRun = true;
        } else if (a.starts_with("--")) {
            err << "tarvimo-cli: unknown option " << a << "\n" << kExtractUsage;
            return kUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        err << kExtractUsage;
        return kUsage;
    }
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
    if (haveRun) {
        state.restarted = true;
        state.runCounter = run;
    }
    const engine::TaskLoad load = engine::loadTask(taskFile);
    if (!load.task) {
        err << "tarvimo-cli: 在创建任务规则时出现异常！程序终止\n";
        err << "tarvimo-cli: " << taskFile << " is not a valid task file\n";
        return kFileError;
    }
    const engine::Environment env = commandEnvironment(timeText);
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
    exec.setHandOver([&](const engine::Row& row) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i)
                line += d;
            line += row[i];
        }
        out << (raw ? line : text::gbkToUtf8(line)) << "\n";
    });
    exec.extractPage(std::move(page), connection.get(), text::utf8ToGbk(url));
    return kOk;
}

} // namespace tarvimo::cli
