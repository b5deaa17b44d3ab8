#include "run/frame_task_data.h"

#include "run/crawler_scanner.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "engine/contact_rows.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/schema.h"
#include "store/settings.h"
#include "store/task_paths.h"
#include "store/task_schema.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <set>

namespace tarvimo::run {

namespace {

const char* kStarting = "正在启动任务,请稍候...";

// "X.tak" -> "X" + suffix; empty when the file is no ".tak" file, so a task never
// becomes its own sibling.
std::string siblingOf(const std::string& taskFile, const std::string& suffix)
{
    if (!text::endsWithNoCase(taskFile, ".tak"))
        return {};
    return taskFile.substr(0, taskFile.size() - 4) + suffix;
}

// A path named in a task's list of additional tasks, as a file-system path.
std::string additionalTaskPath(const std::string& value, const std::string& taskFile, const engine::Environment& env)
{
    if (home::isLocalPath(value))
        return env.nativePath(value);
    return files::joinPath(files::dirName(taskFile), text::gbkToUtf8(value));
}

} // namespace

std::string elapsedText(int seconds)
{
    if (seconds < 0)
        seconds = 0;
    const int h = seconds / 3600, m = seconds % 3600 / 60, s = seconds % 60;
    std::string out;
    if (h > 0)
        out += std::to_string(h) + "时";
    if (m > 0)
        out += std::to_string(m) + "分";
    if (s > 0)
        out += std::to_string(s) + "秒";
    return out;
}

TFrameTaskData::TFrameTaskData(UserMessages& messages, engine::Environment env, QObject* parent)
    : QObject(parent), boxes_(messages), env_(std::move(env)), grid_(this)
{
    timermain_.setInterval(1000);
    timer1_.setInterval(5000);
    timer3_.setInterval(60000);
    timer4_.setInterval(3000);
    connect(&timermain_, &QTimer::timeout, this, &TFrameTaskData::timermainTick);
    connect(&timer3_, &QTimer::timeout, this, &TFrameTaskData::timer3Tick);
    connect(&timer4_, &QTimer::timeout, this, &TFrameTaskData::timer4Tick);
    // HSSecond: the frame's own crawler. Nothing in a run starts it; closing the tab waits
    // for it when something has.
    crawler_ = std::make_unique<CrawlerScanner>(env_.home, boxes_);
    // Timer1 does nothing when it fires: it is the running indicator. The timers start
    // with the run.
}

TFrameTaskData::~TFrameTaskData()
{
    try {
        if (crawler_ && crawler_->running())
            crawler_->stop();
    } catch (...) {
    }
    dropMasters();
}

void TFrameTaskData::dropMasters()
{
    // The creator first: it may still hand over tasks for the masters about to go.
    creation_.reset();
    creating_ = false;
    // Every master is told to stop first, so their workers wind down together; freeing a
    // master joins its threads.
    for (auto& [name, m] : masters_)
        m->controlRun(engine::RunCommand::Stop);
    masters_.clear();
}

std::string TFrameTaskData::taskName() const
{
    std::string name = files::baseName(taskFile_);
    if (text::endsWithNoCase(name, ".tak"))
        name.resize(name.size() - 4);
    return name;
}

// ---- Start ------------------------------------------------------------------------------

bool TFrameTaskData::startRun(const std::string& taskFile, bool createOthers, const std::string& className)
{
    taskFile_ = taskFile;
    className_ = className;
    contactTask_ = false;
    grid_.setMarkMobiles(false);
    const std::string path = text::replaceAll(taskFile_, "\\\\", "\\");
    // The task is read once for the whole run; an unreadable task keeps the defaults, its
    // master stays idle and says so below.
    engine::TaskLoad load = engine::loadTask(path);
    loadError_ = load.error;
    engine::TaskPtr task = std::move(load.task);
    const int taktype = task ? task->config.taktype : 0;
    const std::vector<std::string> additional =
        task ? store::splitDelimited(task->additionalTasks, ',') : std::vector<std::string>{};
    finished_ = false;
    stopped_ = false;
    endAnnounced_ = false;
    reportWaiting_ = false;
    starting_ = true;
    if (messages_.empty())
        addMessage(kStarting);

    enterMaster(files::baseName(path), path, std::move(task));
    setHeader(taktype);
    if (createOthers) {
        if (taskCreator_) {
            creating_ = true;
            creation_ = taskCreator_(*this, store::taskNameOf(path), keyword_);
            if (!creation_)
                creating_ = false;
        }
    } else {
        createMasters(taktype, path, additional);
    }

    active_ = true;
    runState_ = engine::RunStatus::Running;
    setStatusLine(kStarting);
    timermain_.start();
    timer1_.start();
    timer3_.start();
    // Every master of the run exists before the first one starts, so an early end of one
    // is weighed against all of them.
    for (auto& [name, m] : masters_)
        m->start();
    starting_ = false;
    emit runStarted();

    bool running = false;
    for (const auto& [name, m] : masters_)
        running = running || masterRunning(*m);
    if (!running && !createOthers && !reportWaiting_) {
        const auto& first = *masters_.front().second;
        addMessage(first.loaded() ? "任务没有可采集的网址" : "无法读取任务文件 " + text::gbkToUtf8(path));
    }
    if (reportWaiting_ || (!running && !createOthers))
        mastersReport();
    return true;
}

void TFrameTaskData::setHeader(int taktype)
{
    const auto& first = *masters_.front().second;
    if (first.loaded() && first.siteCode() == engine::kNoSite) {
        // A task of no directory site: its rows are its rules' fields.
        const auto& titles = first.plainLayout().titles;
        grid_.setTitles(titles, static_cast<int>(titles.size()));
        return;
    }
    // The columns' pixel widths are the view's (run/ui/grid_view_state.h).
    const auto g = [](const char* s) { return text::gbk(s); };
    if (taktype == 0 && text::trimView(grid_.title(0)).empty())
        grid_.setTitles({g("序号"), g("公司名称"), g("联系人"), g("手机号"), g("地址"), g("邮箱"), g("采集时间")}, 7);
    else if (taktype == 1)
        grid_.setTitles({g("序号"), g("标题"), g("手机号"), g("邮件"), g("采集时间")}, 6);
}

void TFrameTaskData::createMasters(int taktype, const std::string& path, const std::vector<std::string>& additional)
{
    // A file named twice (or the task itself named again) runs once: each master holds its
    // own workers and connections, and a list that repeats itself must not multiply them.
    std::set<std::string> seen{files::identity(path)};
    int repeated = 0;
    auto enterOnce = [&](const std::string& name, const std::string& file) {
        if (seen.insert(files::identity(file)).second)
            enterMaster(name, file);
        else
            ++repeated;
    };
    if (taktype == 0) {
        for (const auto& value : additional) {
            if (text::trimView(value).empty())
                continue;
            const std::string file = additionalTaskPath(std::string(text::trimView(value)), path, env_);
            if (files::exists(file))
                enterOnce(files::baseName(file), file);
        }
        if (const std::string dll = siblingOf(path, ".dll"); !dll.empty() && files::exists(dll))
            enterOnce("0", dll);
        for (int i = 1; i <= 10; ++i)
            if (const std::string f = siblingOf(path, std::to_string(i) + ".dll"); !f.empty() && files::exists(f))
                enterOnce(std::to_string(i), f);
    } else if (taktype == 1) {
        for (int i = 1; i <= 10; ++i)
            if (const std::string f = siblingOf(path, std::to_string(i) + ".dtp"); !f.empty() && files::exists(f))
                enterOnce(std::to_string(i), f);
    }
    if (repeated > 0)
        addMessage("附加任务重复 " + std::to_string(repeated) + " 次, 每个任务文件只采集一次");
}

void TFrameTaskData::enterMaster(const std::string& name, const std::string& taskFile, engine::TaskPtr task)
{
    if (!task)
        task = engine::loadTask(taskFile).task;
    // A task that gathers its detail addresses with the link-scanning crawler gets one of
    // its own.
    std::unique_ptr<engine::LinkScanner> scanner;
    if (task && task->config.urlScan) {
        auto crawler = std::make_unique<CrawlerScanner>(env_.home, boxes_);
        // The engine's page limit holds for the crawler's downloads too.
        crawler->scan().setMaxPageBytes(store::settings::readFetcherSettings(env_.settingsPath).maxBodyBytes);
        scanner = std::move(crawler);
    }
    auto master = std::make_unique<engine::TtaskMaster>(taskFile, std::move(task), env_, this, std::move(scanner));
    master->setFinishDelayMs(masterFinishDelayMs_);
    masters_.emplace_back(name, std::move(master));
}

void TFrameTaskData::addMaster(const std::string& taskFile)
{
    if (finished_) {
        // A stopped run is not started again behind the user's back; the next run of the
        // task finds the file beside it.
        addMessage("任务已停止, 未加入: " + text::gbkToUtf8(files::baseName(taskFile)));
        return;
    }
    enterMaster(std::to_string(masters_.size()), taskFile);
    auto& master = *masters_.back().second;
    master.start();
    if (runState_ == engine::RunStatus::Paused)
        master.controlRun(engine::RunCommand::Pause);
    // A master that had nothing to do never reports; its end is weighed now.
    if (!masterRunning(master))
        mastersReport();
}

void TFrameTaskData::creationEnded(int expectedRows)
{
    expectedRows_ = expectedRows;
    if (!creating_)
        return;
    creating_ = false;
    if (finished_)
        return;
    bool running = false;
    for (const auto& [name, m] : masters_)
        running = running || masterRunning(*m);
    if (!running)
        mastersReport();
}

bool TFrameTaskData::masterRunning(const engine::TtaskMaster& m) const
{
    // A master that started nothing (or could not load its task) never reports an end.
    return !m.finished() && !m.idle();
}

// ---- Control ----------------------------------------------------------------------------

void TFrameTaskData::controlRun(engine::RunCommand command)
{
    using engine::RunCommand;
    for (auto& [name, m] : masters_)
        m->controlRun(command);
    if (runState_ == engine::RunStatus::Ended)
        return;
    switch (command) {
    case RunCommand::Pause:
        runState_ = engine::RunStatus::Paused;
        timermain_.stop();
        timer1_.stop();
        break;
    case RunCommand::Resume:
        timermain_.start();
        timer1_.start();
        runState_ = engine::RunStatus::Running;
        break;
    case RunCommand::Stop:
        stopped_ = true;
        endRun();
        break;
    }
}

void TFrameTaskData::mastersReport()
{
    if (starting_) {
        reportWaiting_ = true;  // answered once every master of the run exists
        return;
    }
    bool any = false;
    for (std::size_t i = 0; i < masters_.size(); ++i)
        if (masterRunning(*masters_[i].second)) {
            addMessage("over 返回" + std::to_string(i));
            any = true;
        }
    addMessage(std::string(28, '-'));
    // Tasks still being made join this run: it ends after the last of them.
    if (!any && !creating_) {
        if (const int failed = failedPages(); failed > 0)
            addMessage("失败页面 " + std::to_string(failed) + " 个");
        addMessage("over ");
        progressEstimate_ = 100;
        endRun();
        emit countersChanged();
    }
}

void TFrameTaskData::endRun()
{
    finished_ = true;
    runState_ = engine::RunStatus::Ended;
    active_ = false;
    timer1_.stop();
    if (!endAnnounced_) {
        endAnnounced_ = true;
        emit runEnded();
    }
}

void TFrameTaskData::restartRun()
{
    timer4_.start();
    ++runNumber_;
    restarted_ = true;
    runState_ = engine::RunStatus::Running;
    finished_ = false;
    try {
        dropMasters();
    } catch (const std::exception&) {
        boxes_.information("FS异常");
    }
    grid_.resetToTitles();
    elapsedSeconds_ = 0;
    progressEstimate_ = 0;
    dataRowCount_ = 0;
    messages_.clear();
    addMessage(kStarting);
    emit countersChanged();
    try {
        startRun(taskFile_, false, className_);
    } catch (const std::exception&) {
        boxes_.information("创建规则异常");
    }
}

bool TFrameTaskData::requestClose()
{
    if (runState_ != engine::RunStatus::Ended) {
        boxes_.warning("请先停止该任务再关闭");
        return false;
    }
    if (crawler_ && crawler_->running()) {
        boxes_.warning("正在停止任务中，请梢侯关闭");
        crawler_->stop();
        return false;
    }
    return true;
}

// ---- Timers -----------------------------------------------------------------------------

void TFrameTaskData::timermainTick()
{
    if (!finished_)
        ++elapsedSeconds_;
    dataRowCount_ = grid_.dataRowCount();
    emit countersChanged();
}

void TFrameTaskData::timer3Tick()
{
    if (progressEstimate_ > 100)
        progressEstimate_ = 100;
}

void TFrameTaskData::timer4Tick()
{
    if (progressEstimate_ < 100 || finished_)
        return;
    timer4_.stop();
    // A timed continuation: the frame may be closed and freed before it is due, and then
    // the timer goes with it.
    QTimer::singleShot(timer4WaitMs_, this, [this] {
        finished_ = true;
        controlRun(engine::RunCommand::Stop);
    });
}

// ---- MasterOwner ------------------------------------------------------------------------

void TFrameTaskData::appendRow(const std::vector<std::string>& fields)
{
    try {
        grid_.appendRow(fields);
    } catch (const std::exception&) {
        // A row the grid cannot take is lost alone; the run goes on.
    }
}

void TFrameTaskData::addMessage(const std::string& line)
{
    messages_.push_back(line);
    emit messageAdded(static_cast<int>(messages_.size()) - 1);
}

void TFrameTaskData::pageFailed(const std::string& address, const std::string& reason)
{
    addMessage("页面失败 " + text::gbkToUtf8(address) + " (" + reason + ")");
    emit countersChanged();
}

void TFrameTaskData::setStatusLine(const std::string& text)
{
    if (messages_.empty()) {
        addMessage(text);
        return;
    }
    messages_[0] = text;
    emit messageAdded(0);
}

void TFrameTaskData::setContactTask(bool on)
{
    contactTask_ = on;
    grid_.setMarkMobiles(on);
}

void TFrameTaskData::setProgressEstimate(int percent)
{
    progressEstimate_ = std::clamp(percent, 0, 65535);
}

engine::TaskPtr TFrameTaskData::task() const
{
    // The run's own task file has the first master.
    return masters_.empty() ? nullptr : masters_.front().second->task();
}

TFrameTaskData::PageCounts TFrameTaskData::pageCounts() const
{
    PageCounts c;
    for (const auto& [name, m] : masters_) {
        const int total = std::max(m->urlTotal(), 0);
        c.taken += std::min(m->pagesTaken(), total);
        c.total += total;
    }
    return c;
}

int TFrameTaskData::progressPercent() const
{
    if (progressEstimate_ > 0 || masters_.empty())
        return std::min(progressEstimate_, 100);
    const PageCounts c = pageCounts();
    // Taking the last page is not the end: the run itself says when it is done.
    return c.total > 0 ? static_cast<int>(std::min<long long>(c.taken * 100 / c.total, 99)) : 0;
}

int TFrameTaskData::failedPages() const
{
    int failed = 0;
    for (const auto& [name, m] : masters_)
        failed += m->failedCount();
    return failed;
}

std::string TFrameTaskData::typeText() const
{
    return masters_.empty() ? std::string() : taskTypeText(masters_.front().second->taktype());
}

std::string taskTypeText(int taktype)
{
    switch (taktype) {
    case 0:
        return "[企业名录]";
    case 1:
        return "[手机号]";
    default:
        return "搜索";
    }
}

bool TFrameTaskData::waitForThreads(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (auto& [name, m] : masters_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!m->waitForThreads(static_cast<int>(std::max<long long>(left.count(), 0))))
            return false;
    }
    return true;
}

} // namespace tarvimo::run
