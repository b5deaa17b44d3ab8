#include "output/auto_save.h"

#include "base/files.h"
#include "base/text.h"
#include "output/grid_export.h"
#include "store/task_schema.h"

namespace tarvimo::output {

std::string collectedRowsText(const run::ResultGrid& grid)
{
    GridRange range;
    range.colFrom = 1;
    range.colTo = grid.gridColumnCount() - 1;
    range.rowFrom = 1;
    range.rowTo = grid.dataRowCount();
    range.withTitles = true;
    if (range.rowTo < range.rowFrom) {
        // No row: the title row alone, so a reader still learns the columns.
        range.rowFrom = range.rowTo = 0;
        range.withTitles = false;
    }
    return gridText(grid, range, "\t");
}

AutoSave::AutoSave(run::TFrameTaskData& frame, QObject* parent) : QObject(parent), frame_(frame)
{
    connect(&frame_, &run::TFrameTaskData::runStarted, this, &AutoSave::runStarted);
    connect(&frame_, &run::TFrameTaskData::runEnded, this, [this] {
        timer_.stop();
        save();
    });
    connect(&timer_, &QTimer::timeout, this, [this] { save(); });
}

std::string AutoSave::defaultFileName() const
{
    const engine::TaskPtr task = frame_.task();
    const auto& env = frame_.environment();
    std::string name = task ? task->autoSave.name : std::string();
    if (text::trimView(name).empty())
        name = store::task::defaultAutoSaveName(env.home, text::utf8ToGbk(frame_.taskName()));
    return env.nativePath(name + ".txt");
}

void AutoSave::runStarted()
{
    timer_.stop();
    fileName_.clear();
    const engine::TaskPtr task = frame_.task();
    if (!task || !task->autoSave.on)
        return;
    periodMinutes_ = task->autoSave.periodMinutes;
    fileName_ = defaultFileName();
    if (periodMinutes_ < 1)
        periodMinutes_ = 10;
    timer_.start(periodMinutes_ * 60 * 1000);
}

std::string AutoSave::keep()
{
    if (fileName_.empty())
        fileName_ = defaultFileName();
    return save() ? fileName_ : std::string();
}

std::string AutoSave::keepCopy(const std::string& stamp)
{
    std::string base = fileName_.empty() ? defaultFileName() : fileName_;
    if (text::endsWithNoCase(base, ".txt"))
        base.resize(base.size() - 4);
    base += "-" + stamp;
    std::string file = base + ".txt";
    for (int n = 2; files::exists(file) && n < 1000; ++n)
        file = base + "-" + std::to_string(n) + ".txt";
    return writeRows(file) ? file : std::string();
}

bool AutoSave::save() { return !fileName_.empty() && writeRows(fileName_); }

bool AutoSave::writeRows(const std::string& file)
{
    try {
        files::writeAtomic(file, collectedRowsText(frame_.grid()));
        return true;
    } catch (const files::FileError& e) {
        frame_.addMessage(std::string("自动保存失败: ") + e.what());
        return false;
    }
}

} // namespace tarvimo::output
