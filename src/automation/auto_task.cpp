#include "automation/auto_task.h"

#include "automation/schedule.h"
#include "store/task_paths.h"

#include <algorithm>

namespace tarvimo::automation {

TAutoTask::TAutoTask(std::string home, Clock clock, std::function<void(const std::string&)> start, int intervalMs,
                     QObject* parent)
    : QObject(parent), home_(std::move(home)), clock_(std::move(clock)), start_(std::move(start))
{
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &TAutoTask::tick);
}

void TAutoTask::add(const std::string& nameGbk)
{
    if (std::find(tasks_.begin(), tasks_.end(), nameGbk) != tasks_.end())
        return;
    tasks_.push_back(nameGbk);
    emit listChanged();
}

void TAutoTask::tick()
{
    const QDateTime now = clock_();
    // A start may run a while; every task of this tick compares with the same minute.
    const std::vector<std::string> names = tasks_;
    for (const std::string& name : names) {
        const auto s = readSchedule(store::taskPath(home_, name));
        if (!s || !s->autotask || s->atStartup)
            continue;
        const auto at = parseRunTime(s->runTime);
        if (!at || at->hour != now.time().hour() || at->minute != now.time().minute())
            continue;
        QDate& last = startedOn_[name];
        if (last == now.date())
            continue;
        last = now.date();
        start_(name);
    }
}

} // namespace tarvimo::automation
