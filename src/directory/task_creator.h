// The background creation of a multi-site search's companion tasks: for each directory
// site after the first, fetch its template, count the keyword's results there, write the
// paged start address and hand the finished file to the run frame, which runs it beside
// the primary task. At the end the frame learns the total of the counts (its expected row
// count).
//
// Threads: the work runs on its own std::thread. It reaches the frame only through queued
// calls made with the frame as context, so a call never runs in a frame that is gone and
// never runs on the creation thread. Freeing the creator (the frame does, when it is freed
// or restarted) cancels the request in flight and joins the thread.
#pragma once

#include "directory/result_counter.h"
#include "directory/template_fetcher.h"
#include "engine/environment.h"
#include "run/frame_task_data.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tarvimo::directory {

class TcreateTask : public run::BackgroundWork {
public:
    // Starts at once. 'keyword' and 'taskName' are GBK; the frame's environment gives the
    // home (its Task folder) and the catalogue.
    TcreateTask(std::string keyword, run::TFrameTaskData& frame, std::string taskName);
    ~TcreateTask() override;
    TcreateTask(const TcreateTask&) = delete;
    TcreateTask& operator=(const TcreateTask&) = delete;

    // The creator the run frame starts for a search: a TcreateTask for its keyword.
    static run::TFrameTaskData::TaskCreator creator();

    // Time-outs of the template and count requests (10 s each unless set); before start only
    // matters, so tests construct through creatorWithTimeouts.
    static run::TFrameTaskData::TaskCreator creatorWithTimeouts(long ms);

private:
    TcreateTask(std::string keyword, run::TFrameTaskData& frame, std::string taskName, long timeoutMs);
    void run();
    // One catalogue row; false when it made no companion (with the reason).
    bool createRow(const CatalogueRow& row, std::string& path, std::string& why);
    // Waits, or returns early when the creator is being freed.
    void pause(int ms);

    const std::string keyword_, taskName_;
    run::TFrameTaskData& frame_;
    const engine::Environment env_;
    TqovCpOther counter_;
    Tgetmw fetcher_;
    long long total_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace tarvimo::directory
