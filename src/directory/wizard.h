// The logic of the two search wizards, without their widgets: the multi-site search
// (TnewscTask, caption "新任务") and the mobile-number search (TnewscTaskSingle, caption
// "新任务(手机号专搜)"). Each holds the dialog's state (keyword, task name, buttons, the
// "creating" panel), runs the OK steps with their messages and creates the task files;
// the view mirrors the state and forwards the user's actions.
//
// Threads: everything is called on the main thread. The task files are made on a worker
// thread (the requests can take seconds) while the dialog stays responsive with its
// buttons disabled; the result comes back as a queued call. Freeing the wizard cancels and
// joins that work.
#pragma once

#include "base/messages.h"
#include "directory/result_counter.h"
#include "directory/template_fetcher.h"
#include "engine/environment.h"

#include <QObject>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tarvimo::directory {

// What the wizards need of the main window's run tabs.
class RunTabs {
public:
    virtual ~RunTabs() = default;
    // Pages of the run-tab control, the start page included.
    virtual int pageCount() const = 0;
    // The captions of the task tabs (GBK).
    virtual std::vector<std::string> captions() const = 0;
    // Opens the task file of that name in a run tab (or continues its tab) and starts it;
    // 'text' goes to the run frame, which hands it to the companion creation when
    // 'fromTemplate' is set.
    virtual void startTaskByName(const std::string& taskNameGbk, const std::string& text, bool fromTemplate) = 0;
};

// The run tabs of a front end without windows: none is open, and the task the wizard
// starts is only remembered, for the caller to run.
class HeadlessRunTabs : public RunTabs {
public:
    int pageCount() const override { return 1; }
    std::vector<std::string> captions() const override { return {}; }
    void startTaskByName(const std::string& name, const std::string& text, bool fromTemplate) override
    {
        started = true;
        taskName = name;
        keyword = text;
        withCompanions = fromTemplate;
    }
    bool started = false, withCompanions = false;
    std::string taskName, keyword;  // GBK
};

// The task name a keyword suggests: trimmed, with its first inner blank removed (GBK).
std::string taskNameFromKeyword(std::string_view keyword);

// The wizard's two request makers: the result counter and the template fetcher.
struct Requests {
    explicit Requests(const engine::SiteCatalogue& catalogue) : counter(catalogue), fetcher(catalogue) {}
    TqovCpOther counter;
    Tgetmw fetcher;
};

// What creating the task files came to.
struct Creation {
    bool ok = false;
    std::vector<std::string> warnings;  // shown in order, also when ok
};

class SearchWizard : public QObject {
    Q_OBJECT
public:
    ~SearchWizard() override;

    virtual std::string caption() const = 0;
    virtual std::string panelCaption() const = 0;

    // The keyword edit changed (GBK): the task name follows it.
    void keywordChanged(const std::string& keyword);
    // The user typed a task name (GBK).
    void setTaskName(const std::string& name) { taskName_ = name; }
    const std::string& keyword() const { return keyword_; }
    const std::string& taskName() const { return taskName_; }

    bool buttonsEnabled() const { return buttonsEnabled_; }
    bool panelVisible() const { return panelVisible_; }
    bool busy() const { return busy_; }

    // The OK button: the checks, then the creation in the background; closeRequested()
    // follows when the tasks were made and started.
    void ok();

    // The request time-outs of the creation (10 s each unless set).
    void setTimeoutsMs(long ms) { timeoutMs_ = ms; }

signals:
    // The buttons or the panel changed.
    void stateChanged();
    // The tasks were made and handed to the main window: the dialog closes.
    void closeRequested();

protected:
    SearchWizard(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent);
    virtual Creation create(Requests& net, const std::string& keyword, const std::string& taskName) = 0;
    virtual bool fromTemplate() const = 0;

    const engine::Environment& environment() const { return env_; }

private:
    // Creates the task files on the calling thread (the worker ok() starts).
    Creation createTasks(const std::string& keyword, const std::string& taskName);
    void setBusy(bool busy);
    void startCreation(const std::string& keyword, const std::string& taskName);
    void creationDone(const Creation& result, const std::string& keyword, const std::string& taskName);
    void joinWorker();

    UserMessages& messages_;
    RunTabs& tabs_;
    const engine::Environment env_;
    std::string keyword_, taskName_;
    bool buttonsEnabled_ = true;
    bool panelVisible_ = false;
    bool busy_ = false;
    long timeoutMs_ = 10000;
    // The requests of the dialog's lifetime; cancelling them ends one in flight.
    std::unique_ptr<Requests> net_;
    std::thread worker_;
};

// Presses OK and runs the event loop until the wizard has closed or given up; true when
// it closed (its tasks were made and handed to the run tabs).
bool pressOk(SearchWizard& wizard);

// The multi-site search: the primary task of the first directory site, started with the
// companion creation.
class TnewscTask : public SearchWizard {
    Q_OBJECT
public:
    TnewscTask(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent = nullptr);
    std::string caption() const override { return "新任务"; }
    std::string panelCaption() const override { return "   正在创建任务......"; }

protected:
    Creation create(Requests& net, const std::string& keyword, const std::string& taskName) override;
    bool fromTemplate() const override { return true; }
};

// The mobile-number search: the web search task and the classifieds task, both started.
class TnewscTaskSingle : public SearchWizard {
    Q_OBJECT
public:
    TnewscTaskSingle(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent = nullptr);
    std::string caption() const override { return "新任务(手机号专搜)"; }
    std::string panelCaption() const override { return "正在创建任务，请稍后......"; }

protected:
    Creation create(Requests& net, const std::string& keyword, const std::string& taskName) override;
    bool fromTemplate() const override { return false; }
};

// The messages of the wizards.
inline constexpr const char* kNoKeyword = "请输入关键词";
inline constexpr const char* kNoTaskName = "请输入任务名称";
inline constexpr const char* kTooManyTabs = "为了搜索顺利，同时最多运行三个任务";
inline constexpr const char* kDuplicateName = "任务重名，请换一个任务名";
inline constexpr const char* kTemplateFailed = "搜索引擎加载失败，请检查网络连接是否正常";
inline constexpr const char* kSearchFailed = "搜索网站没有响应，请检查网络连接是否正常";

} // namespace tarvimo::directory
