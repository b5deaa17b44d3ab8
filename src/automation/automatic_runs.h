// The automatic runs: the start-up scan, the auto-run list and its minute tick, the start
// of the tasks set to run at start, and what follows each automatic run. Every start goes
// through the host (the main window's startTaskByName on the desktop, the daemon's own run
// frames headless), exactly as if the user had started the task.
//
// When an automatic run ends on its own:
//  - a task that names a table (`autorunTableName`) has its rows imported through its
//    column mapping (automation/auto_import.h); the outcome goes to the run's message list;
//  - rows that did not reach a table are kept in a dated file beside the automatic save
//    (and in the automatic save itself), since the task's next run clears its grid;
//  - while fewer runs than `autoruncount` have been made today, the task runs again after
//    `autorunPauseTime` minutes (0: no repeat). An import that failed does not stop that.
// A run that was stopped is neither imported nor repeated; its rows stay in its grid.
//
// Main thread only.
#pragma once

#include "automation/auto_task.h"
#include "engine/environment.h"

#include <QDate>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarvimo::run {
class TFrameTaskData;
}
namespace tarvimo::output {
class AutoSave;
}

namespace tarvimo::automation {

struct HostRun {
    run::TFrameTaskData* frame = nullptr;
    output::AutoSave* autoSave = nullptr;
};

// Where automatic runs run.
class RunHost {
public:
    virtual ~RunHost() = default;
    // Starts a task as a user's start does: a new run, a restart of one that has ended, a
    // resume of one that has not. The run's frame and automatic save; a null frame when
    // the task could not be opened.
    virtual HostRun startTask(const std::string& nameGbk) = 0;
    // The run of that task the host holds now; a null frame when none.
    virtual HostRun runOf(const std::string& nameGbk) const = 0;
    // The auto-run list has a new member.
    virtual void autoRunListChanged(const std::vector<std::string>& /*namesGbk*/) {}
};

struct AutomationOptions {
    Clock clock;            // empty: the wall clock
    int minuteMs = 60000;   // the tick, and the unit of the pause between repeats
    int secondMs = 1000;    // the unit of the auto-run dialog's interval
};

class AutomaticRuns : public QObject {
    Q_OBJECT
public:
    AutomaticRuns(engine::Environment env, RunHost& host, AutomationOptions options = {}, QObject* parent = nullptr);
    ~AutomaticRuns() override;

    // The start-up scan: the daily tasks join the auto-run list and the minute tick starts.
    // True when a task is set to run at start (the auto-run dialog is wanted).
    bool startup();

    // The auto-run dialog's confirmation: for each task in order, it joins the auto-run
    // list, 'seconds' pass with the event loop running, and it starts. 'done' follows the
    // last start.
    void startInOrder(std::vector<std::string> namesGbk, int seconds, std::function<void()> done = {});
    bool startingInOrder() const { return ordered_ != nullptr; }

    // An automatic start of a task (the tick, the dialog, a repeat).
    void start(const std::string& nameGbk);

    TAutoTask& autoTask() { return *tick_; }
    // Automatic runs of the task started on the clock's day.
    int runsToday(const std::string& nameGbk) const;
    // The clock's time.
    QDateTime now() const;

signals:
    // An automatic run has ended and its import, keeping and repeat are settled.
    void runHandled(const QString& nameUtf8);

private:
    class RunWatch;
    struct Sequence;
    void runEnded(RunWatch& watch);
    void repeat(const std::string& nameGbk);
    void nextInOrder();

    engine::Environment env_;
    RunHost& host_;
    AutomationOptions options_;
    std::unique_ptr<TAutoTask> tick_;
    std::map<std::string, std::pair<QDate, int>> runs_;  // name: day, runs that day
    std::unique_ptr<Sequence> ordered_;
};

} // namespace tarvimo::automation
