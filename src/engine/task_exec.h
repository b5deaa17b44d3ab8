// The extraction engine: turns the text of one fetched page into result rows following
// the rule table of a task. Each page fetcher owns one engine and calls extractPage once
// per page; every finished row is handed over, one at a time, through a callback.
#pragma once

#include "engine/environment.h"
#include "engine/row.h"
#include "engine/task.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo {
namespace net {
class HttpClient;
}
} // namespace tarvimo

namespace tarvimo::engine {

class Txbemail;
class PatternSet;

// Run-wide values the engine reads and writes, owned by the task master and the run frame.
struct RunState {
    std::atomic<bool> restarted{false};  // the run frame was restarted in its tab
    std::atomic<int> runCounter{1};      // the frame's run counter
    std::atomic<int> charType{0};        // the task's page encoding (shared by its fetchers)
};

class TtaskExec {
public:
    // 'state' is shared with the master and 'env' is the run's; both must outlive the
    // engine. The e-mail lookup switches are read from the environment's settings file.
    TtaskExec(RunState& state, const Environment& env);
    ~TtaskExec();
    TtaskExec(const TtaskExec&) = delete;
    TtaskExec& operator=(const TtaskExec&) = delete;

    // Every finished row goes through this, one row at a time.
    void setHandOver(std::function<void(const Row&)> handOver) { handOver_ = std::move(handOver); }
    // Settings of DefaultSet.ini read at construction: e-mail lookup on/off and by name.
    void setEmailLookup(bool getEmail, bool fromName);
    // Cancels a linked-page fetch or e-mail lookup in flight (stop); thread-safe.
    void cancel();

    // The task whose rules the engine applies (shared, never changed); without one the
    // engine extracts nothing.
    void setTask(TaskPtr task);
    const TaskPtr& task() const { return task_; }

    // Extracts the rows of one page (already converted to GBK). 'connection' fetches linked
    // pages (null: none are fetched). Returns the rows handed over, in order.
    std::vector<Row> extractPage(std::string page, net::HttpClient* connection, const std::string& pageAddress);

    // The column captions of the rows ("序号" first, then the rule captions, the URL and
    // time captions) and the information types, for the downloader and the grid.
    const std::vector<std::string>& outputCaptions() const { return t_->rules.columns.outputCaptions; }
    const std::vector<std::string>& types() const { return t_->rules.columns.types; }
    char delimiter() const { return t_->rules.settings.delimiter; }
    int taktype() const { return t_->config.taktype; }
    // Whether the rules end each row with the collection time.
    bool stampsTime() const { return t_->rules.autoTime; }
    // Whether the task detects the page encoding itself (`autogetCharType`).
    bool autoCharset() const { return t_->config.autogetCharType; }

    // The scanners, also used on their own: every distinct mobile number or e-mail address
    // in the text, joined with ",".
    std::string scanMobiles(std::string_view text) const;
    std::string scanEmails(std::string_view text) const;

private:
    struct Markers;
    struct Work;
    struct Cut;

    std::string prepare(std::string_view marker, bool pageHasCrLf) const;
    Markers markersOf(std::size_t rule, bool pageHasCrLf) const;
    std::vector<Markers> pageMarkers(bool pageHasCrLf) const;
    Cut cutField(Work& w, const Markers& m, std::size_t rule, bool tryAlternatives, bool autoMid) const;
    std::string finishValue(std::size_t rule, std::string value) const;
    std::string runNumber(std::size_t rule);
    std::string timeText() const;
    std::string fetchLinked(const std::string& address, net::HttpClient* connection);
    void completeRow(Row& row, const std::string& pageAddress) const;
    bool onlyConstants(const Row& row, const std::string& constants) const;

    std::vector<Row> wholePage(const std::string& page, const std::string& pageAddress);
    std::vector<Row> singleRecord(const std::string& page, net::HttpClient* connection, const std::string& pageAddress);
    std::vector<Row> loopRecords(const std::string& page, net::HttpClient* connection, const std::string& pageAddress);
    std::string completeLinkedAddress(std::string value) const;
    void postProcess(std::vector<Row>& rows, bool loopMode);
    void homePageAndEmail(Row& row);

    RunState& state_;
    const Environment& env_;
    std::function<void(const Row&)> handOver_;
    std::unique_ptr<PatternSet> patterns_;
    std::unique_ptr<Txbemail> email_;
    std::string homeTokens_[2];  // lower-cased tokens of entries that are no home page
    bool getEmail_ = true;
    bool emailFromName_ = true;
    std::atomic<net::HttpClient*> activeConnection_{nullptr};

    // The task whose rules apply; t_ is it, or an empty one.
    TaskPtr task_;
    const Task* t_;

    // Per page.
    std::string pageBase_;
};

} // namespace tarvimo::engine
