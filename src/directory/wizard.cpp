#include "directory/wizard.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "directory/catalogue_rows.h"
#include "directory/template_fetcher.h"
#include "store/encrypt_inifile.h"
#include "store/task_paths.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace tarvimo::directory {
namespace {

// How long the "creating" panel is given to paint before the work starts.
constexpr int kPaintPauseMs = 50;

// Stores a row's template and writes its keys; the count request's failure is left to the
// caller ('counted' false).
struct Made {
    bool stored = false, counted = false;
    std::string path, request;
};

Made makeRowTask(const engine::Environment& env, Requests& net, const CatalogueRow& row, const std::string& keyword,
                 const std::string& taskName, bool mobileSearch, std::string& startUrl)
{
    Made m;
    m.path = storedTaskPath(env.home, taskName, row);
    if (!net.fetcher.FetchTemplate(row.templateName, m.path))
        return m;
    m.stored = true;
    const std::string k = encodeKeyword(row.form, keyword);
    m.request = firstPageRequest(env.catalogue, row, k);
    long long count = 0;
    try {
        net.counter.CountResultPages(m.request, k, count, startUrl);
        m.counted = !startUrl.empty();
    } catch (const CountError&) {
    }
    if (m.counted)
        instantiateTemplate(m.path, taskName, startUrl, mobileSearch);
    return m;
}

std::string fileProblem(const std::string& path, const std::exception& e)
{
    return "无法写入任务文件 " + path + ": " + e.what();
}

} // namespace

std::string taskNameFromKeyword(std::string_view keyword)
{
    std::string name = text::trim(keyword);
    if (const std::size_t blank = name.find(' '); blank != std::string::npos)
        name.erase(blank, 1);
    return name;
}

SearchWizard::SearchWizard(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent)
    : QObject(parent), messages_(messages), tabs_(tabs), env_(std::move(env)),
      net_(std::make_unique<Requests>(env_.catalogue))
{
}

SearchWizard::~SearchWizard() { joinWorker(); }

void SearchWizard::joinWorker()
{
    if (!worker_.joinable())
        return;
    net_->counter.cancel();
    net_->fetcher.cancel();
    worker_.join();
}

void SearchWizard::keywordChanged(const std::string& keyword)
{
    keyword_ = keyword;
    taskName_ = taskNameFromKeyword(keyword);
}

void SearchWizard::setBusy(bool busy)
{
    busy_ = busy;
    buttonsEnabled_ = !busy;
    panelVisible_ = busy;
    emit stateChanged();
}

void SearchWizard::ok()
{
    if (busy_)
        return;
    const std::string keyword = text::trim(keyword_);
    if (keyword.empty()) {
        messages_.warning(kNoKeyword);
        return;
    }
    const std::string taskName = text::trim(taskName_);
    if (taskName.empty()) {
        messages_.warning(kNoTaskName);
        return;
    }
    if (!store::isUsableTaskName(taskName)) {
        messages_.warning(store::kUnusableTaskName);
        return;
    }
    if (tabs_.pageCount() >= 4) {
        messages_.warning(kTooManyTabs);
        return;
    }
    const auto captions = tabs_.captions();
    if (std::find(captions.begin(), captions.end(), taskName) != captions.end()) {
        messages_.warning(kDuplicateName);
        return;
    }
    files::makeDirs(home::taskFolder(env_.home));
    setBusy(true);
    // The panel paints first; the work then runs beside the event loop.
    QTimer::singleShot(kPaintPauseMs, this, [this, keyword, taskName] { startCreation(keyword, taskName); });
}

void SearchWizard::startCreation(const std::string& keyword, const std::string& taskName)
{
    joinWorker();
    worker_ = std::thread([this, keyword, taskName] {
        Creation result = createTasks(keyword, taskName);
        QMetaObject::invokeMethod(
            this, [this, result, keyword, taskName] { creationDone(result, keyword, taskName); },
            Qt::QueuedConnection);
    });
}

Creation SearchWizard::createTasks(const std::string& keyword, const std::string& taskName)
{
    net_->counter.setTimeoutsMs(timeoutMs_);
    net_->fetcher.setTimeoutsMs(timeoutMs_);
    try {
        return create(*net_, keyword, taskName);
    } catch (const std::exception& e) {
        Creation failed;
        failed.warnings.push_back(e.what());
        return failed;
    }
}

void SearchWizard::creationDone(const Creation& result, const std::string& keyword, const std::string& taskName)
{
    joinWorker();
    for (const auto& w : result.warnings)
        messages_.warning(w);
    if (!result.ok) {
        setBusy(false);
        return;
    }
    busy_ = false;
    // The dialog may be freed once it has closed: nothing of it is used after the signal.
    RunTabs& tabs = tabs_;
    const bool withCompanions = fromTemplate();
    emit closeRequested();
    tabs.startTaskByName(taskName, keyword, withCompanions);
}

bool pressOk(SearchWizard& wizard)
{
    bool closed = false;
    QEventLoop loop;
    QObject::connect(&wizard, &SearchWizard::stateChanged, &loop, [&] {
        if (!wizard.busy())
            loop.quit();
    });
    QObject::connect(&wizard, &SearchWizard::closeRequested, &loop, [&] {
        closed = true;
        loop.quit();
    });
    wizard.ok();
    if (wizard.busy())
        loop.exec();
    return closed;
}

// ---- The multi-site search ----------------------------------------------------------------

TnewscTask::TnewscTask(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent)
    : SearchWizard(messages, tabs, std::move(env), parent)
{
}

Creation TnewscTask::create(Requests& net, const std::string& keyword, const std::string& taskName)
{
    Creation c;
    const CatalogueRow& row = *findRow("D1");
    std::string startUrl;
    const Made m = makeRowTask(environment(), net, row, keyword, taskName, false, startUrl);
    if (!m.stored) {
        c.warnings.push_back(kTemplateFailed);
        return c;
    }
    try {
        // A site that does not answer the count still gets its first page collected.
        if (!m.counted)
            instantiateTemplate(m.path, taskName, m.request, false);
    } catch (const std::exception& e) {
        c.warnings.push_back(fileProblem(m.path, e));
        return c;
    }
    c.ok = true;
    return c;
}

// ---- The mobile-number search -------------------------------------------------------------

TnewscTaskSingle::TnewscTaskSingle(UserMessages& messages, RunTabs& tabs, engine::Environment env, QObject* parent)
    : SearchWizard(messages, tabs, std::move(env), parent)
{
}

Creation TnewscTaskSingle::create(Requests& net, const std::string& keyword, const std::string& taskName)
{
    Creation c;
    std::string startUrl;
    const Made first =
        makeRowTask(environment(), net, *findRow("S1"), keyword, taskName, true, startUrl);
    if (!first.stored) {
        c.warnings.push_back(kTemplateFailed);
        return c;
    }
    if (!first.counted) {
        // No task is opened, so none is left behind in the library either.
        files::removeFile(first.path);
        c.warnings.push_back(kSearchFailed);
        return c;
    }
    c.ok = true;
    // The second task is a bonus: whatever goes wrong with it, the first one runs.
    try {
        const Made second =
            makeRowTask(environment(), net, *findRow("S2"), keyword, taskName, true, startUrl);
        if (!second.stored)
            c.warnings.push_back(kTemplateFailed);
    } catch (const std::exception&) {
    }
    return c;
}

} // namespace tarvimo::directory
