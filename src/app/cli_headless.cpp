// The drive of a headless run: progress lines, the stop signals, the rows written at the end.
#include "app/cli_headless.h"

#include "app/cli.h"
#include "base/files.h"
#include "base/text.h"
#include "output/auto_save.h"
#include "output/grid_export.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace tarvimo::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int sig)
{
    interrupted.store(true);
    // A second Ctrl-C ends the program the usual way.
    std::signal(sig, SIG_DFL);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    interrupted.store(false);
    oldInt_ = std::signal(SIGINT, onInterrupt);
    oldTerm_ = std::signal(SIGTERM, onInterrupt);
}

InterruptGuard::~InterruptGuard()
{
    std::signal(SIGINT, oldInt_);
    std::signal(SIGTERM, oldTerm_);
}

bool InterruptGuard::requested() { return interrupted.load(); }

ProgressPrinter::ProgressPrinter(run::TFrameTaskData& frame, std::ostream& err, std::function<std::string()> prefix)
    : frame_(frame), err_(err), prefix_(std::move(prefix))
{
}

std::string ProgressPrinter::prefix() const { return prefix_ ? prefix_() : std::string("tarvimo-cli: "); }

void ProgressPrinter::message(int line)
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
    err_ << prefix() << text << "\n";
    err_.flush();
}

void ProgressPrinter::counters(bool force)
{
    const int rows = frame_.grid().dataRowCount();
    const int progress = frame_.progressPercent();
    const auto [taken, total] = frame_.pageCounts();
    const std::size_t tasks = frame_.masters().size();
    if (!force && rows == rows_ && progress == progress_ && taken == taken_ && tasks == tasks_ && ++quiet_ < 10)
        return;
    tasks_ = tasks;
    rows_ = rows;
    progress_ = progress;
    taken_ = taken;
    quiet_ = 0;
    const std::string elapsed = run::elapsedText(frame_.elapsedSeconds());
    err_ << prefix() << rows << " rows, elapsed " << (elapsed.empty() ? "0秒" : elapsed) << ", progress " << progress
         << "%";
    if (total > 0)
        err_ << ", pages " << taken << "/" << total;
    if (const int failed = frame_.failedPages(); failed > 0)
        err_ << ", " << failed << " failed";
    if (frame_.masters().size() > 1 || frame_.creating())
        err_ << ", tasks " << frame_.masters().size() << (frame_.creating() ? " (more being made)" : "");
    err_ << "\n";
    err_.flush();
}

HeadlessFrame::HeadlessFrame(run::TFrameTaskData& frame, std::ostream& err, std::function<std::string()> prefix)
    : autoSave_(frame), printer_(frame, err, std::move(prefix))
{
    // A master pauses after its last worker so a window can settle; there is none here.
    frame.setMasterFinishDelayMs(0);
    QObject::connect(&frame, &run::TFrameTaskData::messageAdded, &autoSave_, [this](int line) { printer_.message(line); });
}

std::unique_ptr<QCoreApplication> ensureApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "tarvimo-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

bool outputWritable(const std::string& outFile, std::ostream& err)
{
    std::string why;
    if (outFile.empty() || files::canWrite(outFile, why))
        return true;
    err << "tarvimo-cli: cannot write " << outFile << ": " << why << "\n";
    return false;
}

int driveRun(run::TFrameTaskData& frame, const std::function<void()>& start, const HeadlessOutput& output,
             std::ostream& out, std::ostream& err)
{
    const std::string& outFile = output.outFile;
    HeadlessFrame headless(frame, err);
    output::AutoSave& autoSave = headless.autoSave();
    ProgressPrinter& printer = headless.printer();

    QEventLoop loop;
    QObject::connect(&frame, &run::TFrameTaskData::runEnded, &loop, &QEventLoop::quit);
    QTimer watch;
    bool stopping = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (InterruptGuard::requested() && !stopping) {
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
        start();
        if (!frame.task()) {
            // The run has ended at once; nothing was fetched and nothing is written.
            const std::string& why = frame.loadError();
            err << "tarvimo-cli: cannot read the task file " << output.taskFile << (why.empty() ? "" : " (" + why + ")")
                << "\n";
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
    if (output.utf8)
        bytes = text::gbkToUtf8(bytes);
    if (outFile.empty()) {
        out << bytes;
        out.flush();
        return out ? kOk : kFileError;
    }
    try {
        files::writeAtomic(outFile, bytes);
    } catch (const files::FileError& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        // The rows are not lost with the file: they stay in (or go to) the automatic save.
        if (const std::string kept = autoSave.keep(); !kept.empty())
            err << "tarvimo-cli: the " << grid.dataRowCount() << " rows are kept in " << kept << "\n";
        return kFileError;
    }
    err << "tarvimo-cli: " << grid.dataRowCount() << " rows written to " << outFile << "\n";
    return kOk;
}

} // namespace tarvimo::cli
