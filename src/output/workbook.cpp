#include "output/workbook.h"

#include "base/files.h"
#include "base/text.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <memory>

namespace tarvimo::output {

namespace {

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const { workbook_close(wb); }
};

// The UTF-8 text of a cell, cut to what a workbook cell holds.
std::string cellText(const std::string& gbk, bool& cut)
{
    std::string utf8 = text::gbkToUtf8(gbk);
    if (utf8.size() > kMaxWorkbookCell) {
        std::size_t end = kMaxWorkbookCell;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        utf8.resize(end);
        cut = true;
    }
    return utf8;
}

} // namespace

void writeWorkbook(const run::ResultGrid& grid, const GridRange& range, const std::string& fileName,
                   const ExportHooks& hooks)
{
    std::vector<int> columns;
    const int lastColumn = std::min(grid.gridColumnCount() - 1, kMaxColumn);
    for (int c = 0; c <= lastColumn; ++c)
        if (range.takesPart(c))
            columns.push_back(c);

    bool cut = false;
    const auto write = [&](const std::string& tmp) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new_opt(tmp.c_str(), &options));
        if (!wb)
            throw files::FileError("Unable to write to " + fileName);
        lxw_worksheet* sheet = workbook_add_worksheet(wb.get(), nullptr);
        const auto put = [&](int sheetRow, int gridRow) {
            for (int c : columns) {
                const std::string& value = grid.cell(gridRow, c);
                if (value.empty())
                    continue;
                const lxw_error e = worksheet_write_string(sheet, static_cast<lxw_row_t>(sheetRow),
                                                           static_cast<lxw_col_t>(c), cellText(value, cut).c_str(), nullptr);
                if (e != LXW_NO_ERROR)
                    throw files::FileError(std::string("workbook: ") + lxw_strerror(e));
            }
        };
        bool first = true;
        forEachRowInRange(grid, range.rowFrom, range.rowTo, [&](int row) {
            if (hooks.progress)
                hooks.progress(clampToInt(static_cast<long long>(row) - range.rowFrom),
                               clampToInt(static_cast<long long>(range.rowTo) - range.rowFrom));
            if (first && range.withTitles)
                put(0, 0);
            first = false;
            put(row, row);
        });
        const lxw_error e = workbook_close(wb.release());
        if (e != LXW_NO_ERROR)
            throw files::FileError(std::string("workbook: ") + lxw_strerror(e));
    };
    try {
        files::writeAtomicVia(fileName, write);
    } catch (const files::FileError& e) {
        throw ExportError(e.what());
    }
    if (cut && hooks.notice)
        hooks.notice("单元格文字超过 " + std::to_string(kMaxWorkbookCell) + " 字节, 已截断");
}

} // namespace tarvimo::output
