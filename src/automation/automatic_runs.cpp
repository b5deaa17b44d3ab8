#include "automation/automatic_runs.h"

#include "automation/auto_import.h"
#include "automation/schedule.h"
#include "base/text.h"
#include "output/auto_save.h"
#include "run/frame_task_data.h"
#include "store/task_paths.h"

#include <QTimer>

#include <algorithm>

namespace tarvimo::automation {

namespace {

// The longest pause between repeats: a week.
constexpr int kMaxPauseMinutes = 7 * 24 * 60;
const char* const kWatchName = "automaticRunWatch";

} // namespace

// Lives on a run frame (its child), so it goes with the frame and with the pending repeat.
class AutomaticRuns::RunWatch : public QObject {
public:
    RunWatch(AutomaticRuns& owner, run::TFrameTaskData& frame, std::string name)
        : QObject(&frame), owner_(&owner), frame(frame), name(std::move(name))
    {
        setObjectName(kWatchName);
        connect(&frame, &run::TFrameTaskData::runEnded, this, &RunWatch::ended);
    }
    void ended()
    {
        if (automatic && owner_)
            owner_->runEnded(*this);
    }
    QPointer<AutomaticRuns> owner_;
    run::TFrameTaskData& frame;
    std::string name;        // GBK
    bool automatic = false;  // the run now going was started automatically
};

struct AutomaticRuns::Sequence {
    std::vector<std::string> names;
    std::size_t next = 0;
    int seconds = 1;
    std::function<void()> done;
};

AutomaticRuns::AutomaticRuns(engine::Environment env, RunHost& host, AutomationOptions options, QObject* parent)
    : QObject(parent), env_(std::move(env)), host_(host), options_(std::move(options))
{
    tick_ = std::make_unique<TAutoTask>(
        env_.home, [this] { return now(); }, [this](const std::string& name) { start(name); }, options_.minuteMs);
    connect(tick_.get(), &TAutoTask::listChanged, this, [this] { host_.autoRunListChanged(tick_->tasks()); });
}

AutomaticRuns::~AutomaticRuns() = default;

QDateTime AutomaticRuns::now() const { return options_.clock ? options_.clock() : QDateTime::currentDateTime(); }

bool AutomaticRuns::startup()
{
    const ScanResult scan = scanScheduledTasks(env_.home);
    for (const std::string& name : scan.dailyTasks)
        tick_->add(name);
    tick_->startTicking();
    return scan.dialogWanted;
}

void AutomaticRuns::startInOrder(std::vector<std::string> namesGbk, int seconds, std::function<void()> done)
{
    ordered_ = std::make_unique<Sequence>();
    ordered_->names = std::move(namesGbk);
    ordered_->seconds = std::max(0, seconds);
    ordered_->done = std::move(done);
    nextInOrder();
}

void AutomaticRuns::nextInOrder()
{
    Sequence& s = *ordered_;
    if (s.next == s.names.size()) {
        const auto done = std::move(s.done);
        ordered_.reset();
        if (done)
            done();
        return;
    }
    const std::string name = s.names[s.next++];
    tick_->add(name);
    QTimer::singleShot(s.seconds * options_.secondMs, this, [this, name] {
        start(name);
        nextInOrder();
    });
}

int AutomaticRuns::runsToday(const std::string& nameGbk) const
{
    const auto it = runs_.find(nameGbk);
    return it != runs_.end() && it->second.first == now().date() ? it->second.second : 0;
}

void AutomaticRuns::start(const std::string& nameGbk)
{
    const HostRun before = host_.runOf(nameGbk);
    const bool fresh = !before.frame || before.frame->finished();
    const HostRun started = host_.startTask(nameGbk);
    if (!started.frame)
        return;
    // Found by name: the watch has no meta-object of its own to be found by type.
    auto* watch = static_cast<RunWatch*>(started.frame->findChild<QObject*>(kWatchName, Qt::FindDirectChildrenOnly));
    if (!watch)
        watch = new RunWatch(*this, *started.frame, nameGbk);
    if (!fresh || !started.frame->task())
        return;  // a run already going was resumed, or the task could not be read
    watch->automatic = true;
    auto& [day, count] = runs_[nameGbk];
    if (day != now().date()) {
        day = now().date();
        count = 0;
    }
    ++count;
    // A run with nothing to do can end inside its start, before this watch existed.
    if (started.frame->finished())
        QTimer::singleShot(0, watch, &RunWatch::ended);
}

void AutomaticRuns::runEnded(RunWatch& watch)
{
    watch.automatic = false;
    run::TFrameTaskData& frame = watch.frame;
    const QString nameUtf8 = QString::fromStdString(text::gbkToUtf8(watch.name));
    if (frame.stopped()) {
        frame.addMessage("自动运行已停止: 不导入数据库, 不再重复运行");
        emit runHandled(nameUtf8);
        return;
    }
    const auto schedule = readSchedule(store::taskPath(env_.home, watch.name));
    bool imported = false;
    if (schedule && !schedule->tableName.empty()) {
        const ImportResult result = importRows(frame.grid(), env_.settingsPath, *schedule);
        frame.addMessage(result.message);
        imported = result.ok;
    }
    const int rows = frame.grid().dataRowCount();
    output::AutoSave* autoSave = host_.runOf(watch.name).autoSave;
    if (!imported && rows > 0 && autoSave) {
        // The next run clears the grid: these rows go to files of their own.
        autoSave->keep();
        const std::string copy = autoSave->keepCopy(now().toString("yyyyMMdd-HHmmss").toStdString());
        if (!copy.empty())
            frame.addMessage("本次运行的 " + std::to_string(rows) + " 行保存在 " + copy);
    }
    if (schedule && schedule->autotask && schedule->runCount > 0) {
        const int made = runsToday(watch.name);
        if (made < schedule->runCount) {
            const int pause = std::clamp(schedule->pauseMinutes, 0, kMaxPauseMinutes);
            frame.addMessage(std::to_string(pause) + " 分钟后自动运行第 " + std::to_string(made + 1) + " 次 (共 " +
                             std::to_string(schedule->runCount) + " 次)");
            QTimer::singleShot(pause * options_.minuteMs, &watch, [w = &watch] {
                if (w->owner_)
                    w->owner_->repeat(w->name);
            });
        }
    }
    emit runHandled(nameUtf8);
}

void AutomaticRuns::repeat(const std::string& nameGbk)
{
    const HostRun run = host_.runOf(nameGbk);
    if (!run.frame || !run.frame->finished())
        return;  // closed meanwhile, or already running again
    const auto schedule = readSchedule(store::taskPath(env_.home, nameGbk));
    if (!schedule || !schedule->autotask)
        return;
    start(nameGbk);
}

} // namespace tarvimo::automation
