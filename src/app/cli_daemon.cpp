#include "app/daemon.h"

#include "app/cli.h"
#include "app/cli_headless.h"
#include "app/cli_parser.h"
#include "app/desktop_start.h"
#include "automation/schedule.h"
#include "base/messages.h"
#include "base/text.h"
#include "run/frame_task_data.h"
#include "store/task_paths.h"

#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

namespace tarvimo::cli {

namespace {

// The message boxes of a daemon's run: lines on standard error; questions answered no.
class LineMessages : public UserMessages {
public:
    explicit LineMessages(std::function<void(const std::string&)> line) : line_(std::move(line)) {}
    void warning(std::string_view text) override { line_("warning: " + std::string(text)); }
    void information(std::string_view text) override { line_(std::string(text)); }
    bool question(std::string_view text) override
    {
        line_(std::string(text) + " [no]");
        return false;
    }

private:
    std::function<void(const std::string&)> line_;
};

} // namespace

struct Daemon::Run {
    std::unique_ptr<LineMessages> messages;
    std::unique_ptr<run::TFrameTaskData> frame;
    std::unique_ptr<HeadlessFrame> headless;
    automation::HostRun host() const { return {frame.get(), &headless->autoSave()}; }
};

Daemon::Daemon(engine::Environment env, std::ostream& err, automation::AutomationOptions options)
    : env_(std::move(env)), err_(err)
{
    automation_ = std::make_unique<automation::AutomaticRuns>(env_, *this, std::move(options));
}

Daemon::~Daemon()
{
    // The frames go before the automation that watches them.
    runs_.clear();
}

std::string Daemon::stamp() const { return automation_->now().toString("yyyy-MM-dd HH:mm:ss").toStdString(); }

void Daemon::line(const std::string& taskUtf8, const std::string& text)
{
    err_ << "tarvimo-cli: " << stamp() << (taskUtf8.empty() ? "" : " [" + taskUtf8 + "]") << " " << text << "\n";
    err_.flush();
}

automation::HostRun Daemon::runOf(const std::string& nameGbk) const
{
    const auto it = runs_.find(nameGbk);
    return it == runs_.end() ? automation::HostRun{} : it->second->host();
}

automation::HostRun Daemon::startTask(const std::string& nameGbk)
{
    if (text::trim(nameGbk).empty())
        return {};
    const std::string nameUtf8 = text::gbkToUtf8(nameGbk);
    auto& slot = runs_[nameGbk];
    if (slot) {
        run::TFrameTaskData& frame = *slot->frame;
        if (frame.finished()) {
            line(nameUtf8, "starting again");
            frame.restartRun();
        } else {
            frame.controlRun(engine::RunCommand::Resume);
        }
        return slot->host();
    }
    auto r = std::make_unique<Run>();
    r->messages = std::make_unique<LineMessages>([this, nameUtf8](const std::string& text) { line(nameUtf8, text); });
    r->frame = std::make_unique<run::TFrameTaskData>(*r->messages, env_);
    r->headless = std::make_unique<HeadlessFrame>(*r->frame, err_, [this, nameUtf8] {
        return "tarvimo-cli: " + stamp() + " [" + nameUtf8 + "] ";
    });
    ProgressPrinter* printer = &r->headless->printer();
    QObject::connect(r->frame.get(), &run::TFrameTaskData::runEnded, [printer] { printer->counters(true); });
    slot = std::move(r);
    line(nameUtf8, "starting");
    slot->frame->startRun(store::taskPath(env_.home, nameGbk), false, "");
    if (!slot->frame->task()) {
        const std::string& why = slot->frame->loadError();
        line(nameUtf8, "cannot read the task file" + (why.empty() ? std::string() : " (" + why + ")"));
    }
    return slot->host();
}

int Daemon::exec(const std::function<bool()>& stopRequested)
{
    const bool atStart = automation_->startup();
    std::string daily;
    for (const auto& n : automation_->autoTask().tasks()) {
        const auto s = automation::readSchedule(store::taskPath(env_.home, n));
        daily += (daily.empty() ? "" : ", ") + text::gbkToUtf8(n) + (s ? " " + text::gbkToUtf8(s->runTime) : "");
    }
    if (!daily.empty())
        line({}, "daily tasks: " + daily);
    if (atStart) {
        // What the auto-run dialog would list, started as its "确定" starts them.
        std::vector<std::string> names;
        std::string list;
        for (const auto& t : automation::startupTasks(env_.home)) {
            names.push_back(t.name);
            list += (list.empty() ? "" : ", ") + text::gbkToUtf8(t.name);
        }
        line({}, "tasks that run at start: " + list);
        automation_->startInOrder(names, automation::intervalSeconds("1"));
    } else if (daily.empty()) {
        line({}, "no task is set to run automatically (section schedule, autotask=1); waiting");
    }

    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (stopRequested())
            loop.quit();
    });
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        for (auto& [name, r] : runs_)
            if (!r->frame->finished())
                r->headless->printer().counters(false);
    });
    watch.start(100);
    progress.start(1000);
    loop.exec();
    watch.stop();
    progress.stop();

    line({}, "stopping; the rows collected so far are kept");
    for (auto& [name, r] : runs_)
        r->frame->controlRun(engine::RunCommand::Stop);
    for (auto& [name, r] : runs_) {
        const std::string nameUtf8 = text::gbkToUtf8(name);
        if (!r->frame->waitForThreads(60000))
            line(nameUtf8, "a worker did not end in time");
        if (r->frame->grid().dataRowCount() > 0) {
            if (const std::string kept = r->headless->autoSave().keep(); !kept.empty())
                line(nameUtf8, std::to_string(r->frame->grid().dataRowCount()) + " rows kept in " + kept);
        }
    }
    return kOk;
}

const CommandSpec& daemonCommand()
{
    static const CommandSpec spec{
        "daemon",
        "run the automatic tasks without a display until stopped",
        {},
        {},
        {},
        "Starts the tasks set to run at start, then the daily ones at their time, with the\n"
        "import and repeats of each. Lines go to standard error. SIGTERM or Ctrl-C stops every\n"
        "run, keeps the collected rows in the automatic save and exits 0.\n"};
    return spec;
}

int runDaemon(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    if (!parseOrReport(daemonCommand(), args, out, err, status))
        return status;
    auto app = ensureApplication();
    // One program per home runs its automatic tasks: the desktop program or this one.
    const app::SingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString(),
                                       home);
    if (instance.anotherRunning()) {
        err << "tarvimo-cli: another Tarvimo program is running on " << home << "\n";
        return kFileError;
    }
    InterruptGuard guard;
    Daemon daemon(commandEnvironment(home), err);
    return daemon.exec([] { return InterruptGuard::requested(); });
}

} // namespace tarvimo::cli
