// `tarvimo-cli daemon`: the automatic runs without a display. The tasks set to run at
// start are started at once, one after another with the auto-run dialog's default
// interval; the minute tick starts the daily ones; each run is a headless run frame with
// its automatic save, followed by the import and repeat of every automatic run. Progress
// and message lines go to standard error with the time and the task's name. A stop
// request stops every run, keeps every collected row in the automatic save and ends the
// daemon with status 0.
//
// Main thread of a QCoreApplication.
#pragma once

#include "automation/automatic_runs.h"
#include "engine/environment.h"

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace tarvimo::cli {

class Daemon : public automation::RunHost {
public:
    Daemon(engine::Environment env, std::ostream& err, automation::AutomationOptions options = {});
    ~Daemon() override;

    // Runs until 'stopRequested' says so (asked every 100 ms); the exit status.
    int exec(const std::function<bool()>& stopRequested);

    automation::AutomaticRuns& automation() { return *automation_; }

    // ---- RunHost ----
    automation::HostRun startTask(const std::string& nameGbk) override;
    automation::HostRun runOf(const std::string& nameGbk) const override;

private:
    struct Run;
    std::string stamp() const;
    void line(const std::string& taskUtf8, const std::string& text);

    engine::Environment env_;
    std::ostream& err_;
    std::map<std::string, std::unique_ptr<Run>> runs_;
    std::unique_ptr<automation::AutomaticRuns> automation_;
};

} // namespace tarvimo::cli
