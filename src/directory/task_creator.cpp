#include "directory/task_creator.h"

#include "base/text.h"

#include <QMetaObject>

#include <climits>
#include <exception>

namespace tarvimo::directory {
namespace {

constexpr long kDefaultTimeoutMs = 10000;

// The pause after each row, in creation order; the site of D4 gets a longer one.
int pauseAfter(const CatalogueRow& row, bool last)
{
    if (last)
        return 0;
    return std::string_view(row.label) == "D4" ? 50 : 20;
}

} // namespace

TcreateTask::TcreateTask(std::string keyword, run::TFrameTaskData& frame, std::string taskName)
    : TcreateTask(std::move(keyword), frame, std::move(taskName), kDefaultTimeoutMs)
{
}

TcreateTask::TcreateTask(std::string keyword, run::TFrameTaskData& frame, std::string taskName, long timeoutMs)
    : keyword_(std::move(keyword)),
      taskName_(std::move(taskName)),
      frame_(frame),
      env_(frame.environment()),
      counter_(env_.catalogue),
      fetcher_(env_.catalogue)
{
    counter_.setTimeoutsMs(timeoutMs);
    fetcher_.setTimeoutsMs(timeoutMs);
    thread_ = std::thread([this] { run(); });
}

TcreateTask::~TcreateTask()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    counter_.cancel();
    fetcher_.cancel();
    if (thread_.joinable())
        thread_.join();
}

run::TFrameTaskData::TaskCreator TcreateTask::creator() { return creatorWithTimeouts(kDefaultTimeoutMs); }

run::TFrameTaskData::TaskCreator TcreateTask::creatorWithTimeouts(long ms)
{
    return [ms](run::TFrameTaskData& frame, const std::string& taskName, const std::string& keyword) {
        return std::unique_ptr<run::BackgroundWork>(new TcreateTask(keyword, frame, taskName, ms));
    };
}

void TcreateTask::pause(int ms)
{
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

bool TcreateTask::createRow(const CatalogueRow& row, std::string& path, std::string& why)
{
    path = storedTaskPath(env_.home, taskName_, row);
    if (!fetcher_.FetchTemplate(row.templateName, path)) {
        why = "模板 " + std::string(row.templateName) + " 加载失败";
        return false;
    }
    const std::string k = encodeKeyword(row.form, keyword_);
    const std::string request = firstPageRequest(env_.catalogue, row, k);
    long long count = 0;
    std::string startUrl;
    try {
        counter_.CountResultPages(request, k, count, startUrl);
    } catch (const CountError& e) {
        if (std::string_view(row.label) != "D4") {
            why = "搜索失败 (" + std::string(e.what()) + ")";
            return false;
        }
        // This site's search is often slow to answer; its first fifty pages are taken.
        startUrl = pagedAddress(row, request, "{1,50}");
    }
    total_ += count;
    if (startUrl.empty()) {
        why = "网址不属于任何目录网站: " + request;
        return false;
    }
    instantiateTemplate(path, taskName_, startUrl, false);
    return true;
}

void TcreateTask::run()
{
    const auto rows = companionRows();
    for (std::size_t i = 0; i < rows.size() && !stop_; ++i) {
        const CatalogueRow& row = *rows[i];
        std::string path, why;
        bool made = false;
        // Each row on its own: whatever goes wrong in one only skips that site.
        try {
            made = createRow(row, path, why);
        } catch (const std::exception& e) {
            why = e.what();
        } catch (...) {
            why = "unknown error";
        }
        if (stop_)
            return;
        run::TFrameTaskData* frame = &frame_;
        if (made) {
            QMetaObject::invokeMethod(frame, [frame, path] { frame->addMaster(path); }, Qt::QueuedConnection);
        } else {
            const std::string line = "网站 " + std::string(row.label) + " 未加入: " + why;
            QMetaObject::invokeMethod(frame, [frame, line] { frame->addMessage(line); }, Qt::QueuedConnection);
        }
        pause(pauseAfter(row, i + 1 == rows.size()));
    }
    if (stop_)
        return;
    const int expected = static_cast<int>(std::min<long long>(total_, INT_MAX));
    run::TFrameTaskData* frame = &frame_;
    QMetaObject::invokeMethod(frame, [frame, expected] { frame->creationEnded(expected); }, Qt::QueuedConnection);
}

} // namespace tarvimo::directory
