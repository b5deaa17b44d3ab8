#include "app/ui/desktop_automation.h"

#include "app/ui/main_window.h"
#include "automation/ui/auto_task_form.h"

#include <set>

namespace tarvimo::app::ui {

DesktopAutomation::DesktopAutomation(TmainForm& window, automation::AutomationOptions options,
                                     std::function<int(QDialog&)> execDialog)
    : QObject(&window), window_(window), execDialog_(std::move(execDialog))
{
    runs_ = std::make_unique<automation::AutomaticRuns>(window.environment(), *this, std::move(options));
}

DesktopAutomation::~DesktopAutomation() = default;

void DesktopAutomation::scanScheduledTasks()
{
    if (runs_->startup())
        QMetaObject::invokeMethod(this, &DesktopAutomation::showAutoRunDialog, Qt::QueuedConnection);
}

void DesktopAutomation::showAutoRunDialog()
{
    automation::ui::TautoTaskForm form(*runs_, window_.environment().home, &window_);
    if (execDialog_)
        execDialog_(form);
    else
        form.exec();
}

automation::HostRun DesktopAutomation::startTask(const std::string& nameGbk)
{
    window_.startTaskByName(nameGbk, {}, false);
    return runOf(nameGbk);
}

automation::HostRun DesktopAutomation::runOf(const std::string& nameGbk) const
{
    return {window_.frameOf(nameGbk), window_.autoSaveOf(nameGbk)};
}

void DesktopAutomation::autoRunListChanged(const std::vector<std::string>& namesGbk)
{
    window_.setAutoRunTasks(std::set<std::string>(namesGbk.begin(), namesGbk.end()));
}

} // namespace tarvimo::app::ui
