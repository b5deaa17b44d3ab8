#include "output/grid_export.h"

#include "base/files.h"
#include "output/workbook.h"

#include <algorithm>
#include <limits>

namespace tarvimo::output {

std::string gridText(const run::ResultGrid& grid, const GridRange& range, const std::string& separator,
                     const ExportHooks* hooks)
{
    std::vector<int> columns;
    const int lastColumn = std::min(grid.gridColumnCount() - 1, kMaxColumn);
    for (int c = 0; c <= lastColumn; ++c)
        if (range.takesPart(c))
            columns.push_back(c);
    const auto lineOf = [&](int row) {
        std::string line;
        for (int c : columns) {
            line += separator;
            line += grid.cell(row, c);
        }
        line += "\r\n";
        return line;
    };

    std::string out;
    bool first = true;
    forEachRowInRange(grid, range.rowFrom, range.rowTo, [&](int row) {
        if (hooks && hooks->progress)
            hooks->progress(clampToInt(static_cast<long long>(row) - range.rowFrom),
                            clampToInt(static_cast<long long>(range.rowTo) - range.rowFrom));
        if (first && range.withTitles)
            out += lineOf(0);
        first = false;
        out += lineOf(row);
    });
    return out;
}

void writeGridToFile(const run::ResultGrid& grid, bool append, bool openAfter, int colTo, int colFrom, int rowTo,
                     int rowFrom, bool includeColumnZero, bool withTitles, const std::string& fileName,
                     const std::string& separator, int targetKind, const ExportHooks& hooks,
                     const std::function<void(const std::string&)>& refused)
{
    GridRange range{colTo, colFrom, rowTo, rowFrom, includeColumnZero, withTitles};
    if (targetKind == kWorkbook) {
        if (fileName.empty())
            throw WorkbookSaveError("no workbook file name");
        try {
            writeWorkbook(grid, range, fileName, hooks);
        } catch (const ExportError& e) {
            throw WorkbookSaveError(e.what());
        }
    } else if (targetKind != kTextFile) {
        throw ExportError("this export target is not written to a file");
    } else {
        writeTextFile(grid, range, append, fileName, separator, hooks);
    }
    if (openAfter && hooks.openFile && !hooks.openFile(fileName) && refused)
        refused("文件名无效！请指定一个有效的文件名");
}

void writeTextFile(const run::ResultGrid& grid, const GridRange& range, bool append, const std::string& fileName,
                   const std::string& separator, const ExportHooks& hooks)
{
    std::string bytes = gridText(grid, range, separator, &hooks);
    try {
        if (append) {
            std::string old;
            if (files::tryReadAll(fileName, old))
                bytes.insert(0, old);
        }
        files::writeAtomic(fileName, bytes);
    } catch (const files::FileError& e) {
        throw ExportError(e.what());
    }
}

} // namespace tarvimo::output
