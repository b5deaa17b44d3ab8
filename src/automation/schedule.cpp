#include "automation/schedule.h"

#include "base/files.h"
#include "base/text.h"
#include "store/delimited.h"
#include "store/schema.h"
#include "store/task_paths.h"
#include "store/task_schema.h"
#include "store/encrypt_inifile.h"

#include <algorithm>

namespace tarvimo::automation {

namespace key = store::task;

std::optional<RunTime> parseRunTime(std::string_view text)
{
    const std::string_view t = text::trimView(text);
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t colon; (colon = t.find(':', from)) != std::string_view::npos; from = colon + 1)
        parts.push_back(t.substr(from, colon - from));
    parts.push_back(t.substr(from));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    const int limits[3] = {23, 59, 59};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view p = parts[i];
        if (p.empty() || p.size() > 2 || !std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        values[i] = p.size() == 1 ? p[0] - '0' : (p[0] - '0') * 10 + (p[1] - '0');
        if (values[i] > limits[i])
            return std::nullopt;
    }
    return RunTime{values[0], values[1]};
}

std::optional<Schedule> readSchedule(const std::string& taskFile, bool startupScan)
{
    if (!files::exists(taskFile))
        return std::nullopt;
    try {
        store::TEncryptInifile ini(taskFile);
        Schedule s;
        s.autotask = store::readBool(ini, key::autotask);
        s.atStartup = store::readBool(ini, startupScan ? key::autorunsystemAtStartup : key::autorunsystem);
        s.runTime = store::readString(ini, key::autorunTime);
        s.runCount = store::readInt(ini, key::autoruncount);
        s.pauseMinutes = store::readInt(ini, key::autorunPauseTime);
        s.tableName = text::trim(store::readString(ini, key::autorunTableName));
        s.noDuplicate = store::splitDelimited(store::readString(ini, key::schedule_data0), ',');
        s.columnTitles = store::splitDelimited(store::readString(ini, key::schedule_data1), ',');
        s.tableFields = store::splitDelimited(store::readString(ini, key::schedule_data2), ',');
        return s;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

ScanResult scanScheduledTasks(const std::string& home)
{
    ScanResult out;
    for (const std::string& path : store::libraryTaskFiles(home)) {
        const auto s = readSchedule(path, true);
        if (!s || !s->autotask)
            continue;
        if (s->atStartup)
            out.dialogWanted = true;
        else
            out.dailyTasks.push_back(store::taskNameOf(path));
    }
    return out;
}

std::vector<StartupTask> startupTasks(const std::string& home)
{
    std::vector<StartupTask> out;
    for (const std::string& path : store::libraryTaskFiles(home)) {
        const auto s = readSchedule(path);
        if (s && s->autotask && s->atStartup)
            out.push_back({store::taskNameOf(path), s->runCount, s->pauseMinutes});
    }
    return out;
}

int intervalSeconds(std::string_view text)
{
    int seconds = 1;
    if (!text::parseInt32(text::trimView(text), seconds, false))
        return 1;
    return std::clamp(seconds, 0, 24 * 60 * 60);
}

} // namespace tarvimo::automation
