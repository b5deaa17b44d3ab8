#include "run/column_export.h"

#include "base/files.h"
#include "base/text.h"
#include "engine/patterns.h"

namespace tarvimo::run {

std::vector<std::string> columnExportValues(const ResultGrid& grid, int column, bool mobileOnly)
{
    std::vector<std::string> values;
    if (column < 0 || column >= grid.gridColumnCount())
        return values;
    engine::PatternSet patterns;
    for (int r = 1; r < grid.gridRowCount(); ++r) {
        const std::string& v = grid.cell(r, column);
        if (text::trimView(v).empty())
            continue;
        if (mobileOnly && patterns.mobiles(v).empty())
            continue;
        values.push_back(v);
    }
    return values;
}

ColumnExportResult exportColumn(const ResultGrid& grid, int column, bool mobileOnly, UserMessages& messages,
                                const ColumnExportHooks& hooks, std::string* writtenFile)
{
    if (mobileOnly)
        column = grid.firstColumnTitled(text::gbk("手机"));
    if (column < 0 || column >= grid.gridColumnCount() || grid.gridRowCount() <= 2)
        return ColumnExportResult::Nothing;
    if (!messages.question("您要输出 [" + text::gbkToUtf8(grid.title(column)) + "] 的数据吗？"))
        return ColumnExportResult::Cancelled;
    std::string file = hooks.chooseFile ? hooks.chooseFile() : std::string();
    if (file.empty())
        return ColumnExportResult::Cancelled;
    if (!text::endsWithNoCase(file, ".txt"))
        file += ".txt";
    std::string bytes;
    for (const auto& v : columnExportValues(grid, column, mobileOnly))
        bytes += v + "\r\n";
    try {
        files::writeAtomic(file, bytes);
    } catch (const files::FileError&) {
        messages.warning("数据导出异常！");
        return ColumnExportResult::Failed;
    }
    if (writtenFile)
        *writtenFile = file;
    if (hooks.openFile)
        hooks.openFile(file);
    return ColumnExportResult::Written;
}

} // namespace tarvimo::run
