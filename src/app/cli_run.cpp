// `tarvimo-cli run`: a whole collection without a display. The task and its sibling
// tasks run in a run frame on a QCoreApplication; progress goes to standard error; when
// the run ends (or Ctrl-C stops it) the collected rows are written with the text writer.
#include "app/cli.h"

#include "base/files.h"
#include "base/messages.h"
#include "base/text.h"
#include "engine/task.h"
#include "output/auto_save.h"
#include "output/grid_export.h"
#include "run/frame_task_data.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>

namespace tarvimo::cli {
namespace {

const char* kRunUsage =
    "usage: tarvimo-cli run TASK [--out FILE] [--threads N] [--utf8] [--time TEXT]\n"
    "  --out FILE     write the rows to FILE (default: standard output)\n"
    "  --threads N    fetch workers per task file (default: the settings file's count)\n"
    "  --utf8         write UTF-8 instead of the program's GBK\n"
    "  --time TEXT    the text of every time column, for reproducible output\n";

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int sig)
{
    interrupted.store(true);
    // A second Ctrl-C ends the program the usual way.
    std::signal(sig, SIG_DFL);
}

// Installs the stop handlers for the run and puts the old ones back afterwards.
class InterruptGuard {
public:
    InterruptGuard()
    {
        interrupted.store(false);
        oldInt_ = std::signal(SIGINT, onInterrupt);
        oldTerm_ = std::signal(SIGTERM, onInterrupt);
    }
    ~InterruptGuard()
    {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }

private:
    void (*oldInt_)(int);
    void (*oldTerm_)(int);
};

struct Options {
    std::string task, out, time;
    int threads = 0;
    bool utf8 = false;
};

int parse(const std::vector<std::string>& args, Options& o, std::ostream& err)
{
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                err << "tarvimo-cli: " << a << " needs a value\n" << kRunUsage;
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--out") {
            if (!value(o.out))
                return kUsage;
        } else if (a == "--time") {
            if (!value(o.time))
                return kUsage;
        } else if (a == "--threads") {
            std::string n;
            if (!value(n))
                return kUsage;
            if (!text::parseInt32(n, o.threads, false) || o.threads < 1) {
                err << "tarvimo-cli: --threads needs a positive number\n" << kRunUsage;
                return kUsage;
            }
        } else if (a == "--utf8") {
            o.utf8 = true;
        } else if (a.starts_with("--")) {
            err << "tarvimo-cli: unknown option " << a << "\n" << kRunUsage;
            return kUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1) {
        err << kRunUsage;
        return kUsage;
    }
    o.task = positional[0];
    return kOk;
}

// Progress lines on standard error: every message line, and the counters when they change.
class ProgressPrinter {
public:
    ProgressPrinter(run::TFrameTaskData& frame, std::ostream& err) : frame_(frame), err_(err) {}

    void message(int line)
    {
        const auto& lines = frame_.messages();
        if (line < 0 || static_cast<std::size_t>(line) >= lines.size())
            return;
        const std::string& text = lines[static_cast<std::size_t>(line)];
        if (line == 0) {
            if (text == status_)
                return;  // the status line was set again to what it said
            status_ = text;
        }
        err_ << "tarvimo-cli: " << text << "\n";
    }
    void counters(bool force)
    {
        const int rows = frame_.grid().dataRowCount();
        const int progress = std::min(frame_.progressEstimate(), 100);
        int taken = 0, total = 0;
        for (const auto& [name, m] : frame_.masters()) {
            taken += m->pagesTaken();
            total += std::max(m->urlTotal(), 0);
        }
        if (!force && rows == rows_ && progress == progress_ && taken == taken_ && ++quiet_ < 10)
            return;
        rows_ = rows;
        progress_ = progress;
        taken_ = taken;
        quiet_ = 0;
        const std::string elapsed = run::elapsedText(frame_.elapsedSeconds());
        err_ << "tarvimo-cli: " << rows << " rows, elapsed " << (elapsed.empty() ? "0秒" : elapsed)
             << ", progress " << progress << "%";
        // The estimate stays 0 until the run ends unless the row count is known in advance;
        // the pages taken tell how far the run is meanwhile.
        if (total > 0)
            err_ << ", pages " << std::min(taken, total) << "/" << total;
        if (const int failed = frame_.failedPages(); failed > 0)
            err_ << ", " << failed << " failed";
        err_ << "\n";
        err_.flush();
    }

private:
    run::TFrameTaskData& frame_;
    std::ostream& err_;
    int rows_ = -1, progress_ = -1, taken_ = -1, quiet_ = 0;
    std::string status_;
};

std::unique_ptr<QCoreApplication> ensureApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "tarvimo-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int runRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (int status = parse(args, o, err); status != kOk)
        return status;
    auto app = ensureApplication();
    StderrMessages boxes;
    run::TFrameTaskData frame(boxes, commandEnvironment(o.time));
    frame.setRunOptions({o.threads});
    // A master pauses after its last worker so a window can settle; there is none here.
    frame.setMasterFinishDelayMs(0);
    output::AutoSave autoSave(frame);
    ProgressPrinter printer(frame, err);
    QObject::connect(&frame, &run::TFrameTaskData::messageAdded, [&](int line) { printer.message(line); });

    QEventLoop loop;
    QObject::connect(&frame, &run::TFrameTaskData::runEnded, &loop, &QEventLoop::quit);
    QTimer watch;
    bool stopping = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (interrupted.load() && !stopping) {
            stopping = true;
            err << "tarvimo-cli: stopping; the rows collected so far are kept\n";
            frame.controlRun(engine::RunCommand::Stop);
        }
    });
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] { printer.counters(false); });

    {
        InterruptGuard guard;
        watch.start(100);
        progress.start(1000);
        frame.startRun(o.task, false, "");
        if (!frame.task()) {
            // The run has ended at once; nothing was fetched and nothing is written.
            err << "tarvimo-cli: cannot read the task file " << o.task << "\n";
            return kFileError;
        }
        if (!frame.finished())
            loop.exec();
        progress.stop();
        watch.stop();
        // No worker may still be running when the rows are written and the frame freed.
        frame.controlRun(engine::RunCommand::Stop);
        if (!frame.waitForThreads(60000))
            err << "tarvimo-cli: a worker did not end in time\n";
    }
    printer.counters(true);
    if (!autoSave.fileName().empty())
        err << "tarvimo-cli: rows saved automatically to " << autoSave.fileName() << "\n";

    const auto& grid = frame.grid();
    std::string bytes = output::collectedRowsText(grid);
    if (o.utf8)
        bytes = text::gbkToUtf8(bytes);
    if (o.out.empty()) {
        out << bytes;
        out.flush();
        return out ? kOk : kFileError;
    }
    try {
        files::writeAtomic(o.out, bytes);
    } catch (const files::FileError& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        return kFileError;
    }
    err << "tarvimo-cli: " << grid.dataRowCount() << " rows written to " << o.out << "\n";
    return kOk;
}

} // namespace tarvimo::cli
