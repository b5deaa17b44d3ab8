#include "engine/task.h"

#include "base/files.h"
#include "base/text.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/marker_text.h"
#include "store/schema.h"
#include "store/task_schema.h"

#include <exception>

namespace tarvimo::engine {
namespace {

namespace t = store::task;

RuleSet readRules(store::TEncryptInifile& ini, const TaskConfig& config)
{
    RuleSet r;
    const char d = store::ruleDelimiter(store::readString(ini, t::ruleSplit));
    r.settings.delimiter = d;
    auto list = [&](const store::KeyDef& k) { return store::splitDelimited(store::readString(ini, k), d); };
    r.columns.captions = list(t::ruledata0);
    if (r.columns.captions.empty())
        r.columns.captions.emplace_back();
    r.columns.captions[0] = text::gbk("序号");
    r.begins = list(t::ruledata2);
    r.ends = list(t::ruledata3);
    r.columns.types = list(t::ruledata4);
    r.columns.keepHtml = list(t::ruledata5);

    r.wholePage = store::readBool(ini, t::rulegetalldata);
    r.loop = store::readBool(ini, t::ruleloop);
    r.settings.ruleCase = store::readBool(ini, t::ruleCase);
    r.saveUrl = store::readBool(ini, t::rulesaveurl) || config.pageAddressForced;
    r.midCut = store::readBool(ini, t::rulemid);
    r.midMarker = store::readString(ini, t::rulemidstr);
    r.autoMid = store::readBool(ini, t::ruleAutoMid);
    r.loopWordStored = store::readString(ini, t::ruleloopword);
    r.loopWord = store::markerToText(r.loopWordStored);
    r.loopFront = store::markerToText(store::readString(ini, t::ruleloopFront));
    r.loopHind = store::markerToText(store::readString(ini, t::ruleloopHind));
    if (!r.settings.ruleCase) {
        for (auto* s : {&r.midMarker, &r.loopWord, &r.loopFront, &r.loopHind})
            text::toLowerInPlace(*s);
    }
    r.autoTime = store::readBool(ini, t::autogettime);
    if (config.tasktypes == 1 || (config.tasktypes == 2 && !config.listuse)) {
        r.autoTime = false;
        r.saveUrl = false;
    }
    r.settings.clearList = store::splitDelimited(store::readString(ini, t::ClearChar), ',');
    r.settings.filter = list(t::Filter);
    r.settings.maxFieldLength = store::readInt(ini, t::xzzf);
    r.settings.replaceItems = list(t::infoCalReplace);
    r.settings.unionItems = list(t::infoCalUnion);
    r.settings.classItems = store::splitDelimited(store::readString(ini, t::autogetclass), ',');
    r.settings.defaultClass = store::readString(ini, t::outClassdefaultName);
    r.settings.useSect = store::readBool(ini, t::useSect);
    r.settings.getNews = store::readBool(ini, t::UseGetNews);
    r.settings.clearJavascript = store::readBool(ini, t::clearJavascript);

    // Output captions: the trailing empty caption becomes "URL" and/or "采集时间".
    r.columns.outputCaptions = r.columns.captions;
    auto& out = r.columns.outputCaptions;
    if (r.saveUrl && out.size() > 1)
        out.back() = "URL";
    if (r.autoTime && out.size() > 1) {
        if (r.saveUrl)
            out.emplace_back();
        out.back() = text::gbk("采集时间");
    }
    r.post = FieldPostProcessor(r.settings, r.columns);
    return r;
}

PlainRowLayout plainLayoutOf(const RuleSet& rules, int taktype)
{
    PlainRowLayout layout;
    const auto& captions = rules.columns.outputCaptions;
    layout.titles.push_back(text::gbk("序号"));
    for (std::size_t i = 1; i < captions.size(); ++i)
        layout.titles.push_back(captions[i]);
    // An empty last caption names no field.
    if (layout.titles.size() > 1 && layout.titles.back().empty())
        layout.titles.pop_back();
    if (taktype == 0)
        layout.titles.push_back(text::gbk("邮箱"));
    layout.appendTime = !rules.autoTime;
    if (layout.appendTime)
        layout.titles.push_back(text::gbk("采集时间"));
    return layout;
}

} // namespace

TaskPtr taskFromStore(store::TEncryptInifile& ini, const std::string& file)
{
    auto task = std::make_shared<Task>();
    task->file = file;
    const std::string base = files::baseName(file);
    task->name = base.size() > 4 ? base.substr(0, base.size() - 4) : std::string();
    readTaskConfig(ini, task->config);
    task->rules = readRules(ini, task->config);
    task->layout = plainLayoutOf(task->rules, task->config.taktype);
    task->autoSave.on = store::readBool(ini, t::taskAutoSave);
    task->autoSave.periodMinutes = store::readInt(ini, t::taskAutoSavePL);
    task->autoSave.name = store::readString(ini, t::taskAutoSaveName);
    task->additionalTasks = store::readString(ini, t::AdditionalTask);
    return task;
}

TaskLoad loadTask(const std::string& file)
{
    TaskLoad load;
    if (!files::exists(file)) {
        load.error = "cannot read " + file;
        return load;
    }
    try {
        store::TEncryptInifile ini(file);
        load.task = taskFromStore(ini, file);
    } catch (const store::StoreError& e) {
        load.error = e.what();  // the store's messages name the file
    } catch (const std::exception& e) {
        load.error = file + ": " + e.what();
    }
    return load;
}

bool writeLoadTimeChanges(const Task& task, std::string* error)
{
    if (!task.config.pageAddressForced)
        return false;
    try {
        // Through the store that matches the file, so an encrypted task stays encrypted.
        store::TEncryptInifile ini(task.file);
        if (store::readBool(ini, t::rulesaveurl))
            return false;
        store::writeBool(ini, t::rulesaveurl, true);
        ini.UpdateFile();
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = task.file + ": " + e.what();
        return false;
    }
}

} // namespace tarvimo::engine
