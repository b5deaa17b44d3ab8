// The automatic runs of the desktop program: when the main window is first shown, the
// start-up scan fills the auto-run list and starts the minute tick; when a task is set to
// run at start, message 1026 (a queued call to the window) shows the auto-run dialog.
// Every automatic start is the window's startTaskByName, in a task tab like any other.
// Main thread only.
#pragma once

#include "automation/automatic_runs.h"

#include <QObject>

#include <functional>
#include <memory>

class QDialog;

namespace tarvimo::app::ui {

class TmainForm;

class DesktopAutomation : public QObject, public automation::RunHost {
    Q_OBJECT
public:
    // 'execDialog' runs the auto-run dialog (empty: modal exec).
    DesktopAutomation(TmainForm& window, automation::AutomationOptions options = {},
                      std::function<int(QDialog&)> execDialog = {});
    ~DesktopAutomation() override;

    // The start-up scan and the minute tick (the window's shown hook).
    void scanScheduledTasks();
    // Message 1026: shows the auto-run dialog.
    void showAutoRunDialog();

    automation::AutomaticRuns& runs() { return *runs_; }

    automation::HostRun startTask(const std::string& nameGbk) override;
    automation::HostRun runOf(const std::string& nameGbk) const override;
    void autoRunListChanged(const std::vector<std::string>& namesGbk) override;

private:
    TmainForm& window_;
    std::function<int(QDialog&)> execDialog_;
    std::unique_ptr<automation::AutomaticRuns> runs_;
};

} // namespace tarvimo::app::ui
