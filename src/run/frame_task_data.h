// The run frame of one running task: owns the task masters of the run (one for the task
// file and one for each sibling task file that belongs to it), the result grid they all
// deliver into, the run's message list and counters. It starts the run, relays pause,
// resume and stop to its masters, learns from them when their workers are done, keeps
// the elapsed time and row count, and refuses to close while the run is active.
//
// A plain QObject on the main thread: the desktop program puts its widgets around it, the
// headless front end drives it directly. Construction starts nothing; startRun() does.
// No event loop runs inside the frame: waits are timed continuations.
#pragma once

#include "base/messages.h"
#include "engine/environment.h"
#include "engine/link_scanner.h"
#include "engine/master_owner.h"
#include "engine/task_master.h"
#include "run/result_grid.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarvimo::run {

// "1时2分5秒": hours, minutes and seconds, each left out when 0.
std::string elapsedText(int seconds);
// The task list's "类型" text of a taktype: "[企业名录]", "[手机号]", otherwise "搜索".
std::string taskTypeText(int taktype);

// Work the task creator started in the background for a frame. Freeing it stops the work
// and joins its thread; it reaches the frame only through queued calls.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
};

class TFrameTaskData : public QObject, public engine::MasterOwner {
    Q_OBJECT
public:
    // 'messages' shows the frame's message boxes; 'env' is the installation the run reads.
    TFrameTaskData(UserMessages& messages, engine::Environment env, QObject* parent = nullptr);
    ~TFrameTaskData() override;

    // Starts the run of a task file. With 'createOthers' the task creator makes the sibling
    // tasks (they arrive through addMaster); otherwise the siblings that exist get masters.
    bool startRun(const std::string& taskFile, bool createOthers, const std::string& className);
    void controlRun(engine::RunCommand command);
    // Resets a finished frame and runs the task again in place with new masters.
    void restartRun();
    // Makes a master for a task file the task creator has made. It joins the run in the
    // run's state: paused when the run is paused; not started when the run was stopped
    // (the file stays for the next run).
    void addMaster(const std::string& taskFile);
    // The task creator has made its last task: the expected row count becomes its total,
    // and a run whose masters are all done ends now.
    void creationEnded(int expectedRows);
    // The close command: true when the tab may be freed; otherwise the frame has said why.
    bool requestClose();

    // The background task creator, started with the task name and the keyword (both GBK,
    // the name being the task file's name without ".tak"). What it
    // returns is owned by the frame: freed (stopped and joined) with the frame or on a
    // restart. Until creationEnded() the run does not end on its own.
    using TaskCreator = std::function<std::unique_ptr<BackgroundWork>(
        TFrameTaskData& frame, const std::string& taskName, const std::string& keyword)>;
    void setTaskCreator(TaskCreator creator) { taskCreator_ = std::move(creator); }
    // The task creator is still making tasks for this run.
    bool creating() const { return creating_; }
    // The frame's own link-scanning crawler (HSSecond); a real crawler from construction.
    engine::LinkScanner* crawler() const { return crawler_.get(); }
    void setCrawler(std::unique_ptr<engine::LinkScanner> crawler) { crawler_ = std::move(crawler); }
    void setRunOptions(engine::RunOptions options) { options_ = std::move(options); }
    void setKeyword(std::string keyword) { keyword_ = std::move(keyword); }
    void setRemark(std::string remark) { remark_ = std::move(remark); }
    void setExpectedRows(int rows) { expectedRows_ = rows; }
    // How long the restart watch waits before it ends the run (5000 ms).
    void setTimer4WaitMs(int ms) { timer4WaitMs_ = ms; }
    // How long a master waits, after its last worker has finished, before it reports.
    void setMasterFinishDelayMs(int ms) { masterFinishDelayMs_ = ms; }

    // ---- State ----------------------------------------------------------------------------
    ResultGrid& grid() { return grid_; }
    const ResultGrid& grid() const { return grid_; }
    const std::string& taskFile() const { return taskFile_; }
    // The task file as loaded for this run (null: it could not be read, or no run yet).
    engine::TaskPtr task() const;
    // Why the run's own task file could not be read; empty when it was.
    const std::string& loadError() const { return loadError_; }
    const engine::Environment& environment() const { return env_; }
    // The task name: the file name without ".tak" (the tab caption).
    std::string taskName() const;
    const std::string& keyword() const { return keyword_; }
    const std::string& className() const { return className_; }
    const std::string& remark() const { return remark_; }
    const std::vector<std::pair<std::string, std::unique_ptr<engine::TtaskMaster>>>& masters() const
    {
        return masters_;
    }
    engine::RunStatus runState() const { return runState_; }
    bool finished() const { return finished_; }
    // The run ended by a stop command rather than by running out of work.
    bool stopped() const { return stopped_; }
    bool active() const { return active_; }
    int elapsedSeconds() const { return elapsedSeconds_; }
    int dataRowCount() const { return dataRowCount_; }
    int progressEstimate() const { return progressEstimate_; }
    // What a progress gauge shows, 0 to 100: the estimate when there is one; until then the
    // share of the known addresses taken by the workers.
    int progressPercent() const;
    // Pages of this run that could not be had (distinct addresses, over every master).
    int failedPages() const;
    // Addresses taken by the workers and addresses known, over every master.
    struct PageCounts {
        long long taken = 0, total = 0;
    };
    PageCounts pageCounts() const;
    bool contactTask() const { return contactTask_; }
    int runNumber() const { return runNumber_; }
    // The message list (UTF-8); line 0 is the status line.
    const std::vector<std::string>& messages() const { return messages_; }
    // The main list's "类型" text: from the first master's taktype.
    std::string typeText() const;
    // Waits, processing events, until no master has a thread running; false on time-out.
    bool waitForThreads(int timeoutMs);

    QTimer& timermain() { return timermain_; }
    QTimer& timer1() { return timer1_; }
    QTimer& timer3() { return timer3_; }
    QTimer& timer4() { return timer4_; }
    // The timers' work, also run directly by tests.
    void timermainTick();
    void timer3Tick();
    void timer4Tick();

    // ---- MasterOwner ----------------------------------------------------------------------
    void appendRow(const std::vector<std::string>& fields) override;
    int gridRowCount() const override { return grid_.gridRowCount(); }
    bool columnHolds(int column, const std::string& value) const override { return grid_.columnHolds(column, value); }
    int lastSerialNumber() const override { return grid_.lastSerialNumber(); }
    void addMessage(const std::string& line) override;
    int messageCount() const override { return static_cast<int>(messages_.size()); }
    void setContactTask(bool on) override;
    void mastersReport() override;
    void pageFailed(const std::string& address, const std::string& reason) override;
    int expectedRows() const override { return expectedRows_; }
    void setProgressEstimate(int percent) override;
    bool restarted() const override { return restarted_; }
    int runCounter() const override { return runNumber_; }
    engine::RunOptions runOptions() const override { return options_; }

signals:
    // The run has started (or restarted).
    void runStarted();
    // The run has ended: every master done, or stopped.
    void runEnded();
    void messageAdded(int line);
    // Elapsed time, row count or progress changed.
    void countersChanged();

private:
    void setStatusLine(const std::string& text);
    void setHeader(int taktype);
    // The sibling masters: the additional tasks, ".dll" and numbered ".dll"/".dtp" files.
    void createMasters(int taktype, const std::string& path, const std::vector<std::string>& additional);
    // Makes the master of a task file ('task': already loaded; null: load it now).
    void enterMaster(const std::string& name, const std::string& taskFile, engine::TaskPtr task = nullptr);
    bool masterRunning(const engine::TtaskMaster& m) const;
    void endRun();
    void dropMasters();

    UserMessages& boxes_;
    engine::Environment env_;
    ResultGrid grid_;
    std::string taskFile_, keyword_, className_, remark_;
    std::string loadError_;
    std::vector<std::pair<std::string, std::unique_ptr<engine::TtaskMaster>>> masters_;
    std::vector<std::string> messages_;
    TaskCreator taskCreator_;
    std::unique_ptr<BackgroundWork> creation_;
    std::unique_ptr<engine::LinkScanner> crawler_;
    engine::RunOptions options_;

    engine::RunStatus runState_ = engine::RunStatus::Running;
    bool finished_ = false;
    bool stopped_ = false;
    bool active_ = false;
    bool starting_ = false;       // masters are being made: their reports wait
    bool creating_ = false;       // the task creator has not ended yet
    bool reportWaiting_ = false;
    bool endAnnounced_ = false;
    int elapsedSeconds_ = 0;
    int dataRowCount_ = 0;
    int progressEstimate_ = 0;
    int expectedRows_ = 0;
    bool contactTask_ = false;
    int runNumber_ = 1;
    bool restarted_ = false;
    int timer4WaitMs_ = 5000;
    int masterFinishDelayMs_ = 1000;

    QTimer timermain_, timer1_, timer3_, timer4_;
};

} // namespace tarvimo::run
