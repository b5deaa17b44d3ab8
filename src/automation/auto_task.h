// The minute tick of the automatic runs (TAutoTask): once a minute, for each task of the
// auto-run list in order, the task file's schedule is read again; a task set to run daily
// whose time of day is the clock's hour and minute is started. A daily time starts its
// task at most once per day, however the tick drifts: two ticks in the same minute start
// it once. A task whose file is gone or unreadable is skipped without a word.
//
// Main thread: the tick is a QTimer; the clock is injected so a test runs a day of ticks
// in milliseconds.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvimo::automation {

using Clock = std::function<QDateTime()>;

class TAutoTask : public QObject {
    Q_OBJECT
public:
    // 'start' starts a task by name (GBK); 'intervalMs' is the tick, a minute.
    TAutoTask(std::string home, Clock clock, std::function<void(const std::string&)> start, int intervalMs = 60000,
              QObject* parent = nullptr);

    // The auto-run list: a name joins once and stays until the program ends.
    void add(const std::string& nameGbk);
    const std::vector<std::string>& tasks() const { return tasks_; }

    // Starts the tick; the first comes one interval from now.
    void startTicking() { timer_.start(); }
    QTimer& timer() { return timer_; }
    // One tick, also run directly by tests.
    void tick();

signals:
    void listChanged();

private:
    std::string home_;
    Clock clock_;
    std::function<void(const std::string&)> start_;
    std::vector<std::string> tasks_;
    std::map<std::string, QDate> startedOn_;  // the day each daily task last started
    QTimer timer_;
};

} // namespace tarvimo::automation
