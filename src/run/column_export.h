// Saving one grid column to a text file: every value of the column (all-values mode, the
// current cell's column) or only the mobile numbers of the first column titled "手机"
// (mobile-only mode), one per line.
#pragma once

#include "base/messages.h"
#include "run/result_grid.h"

#include <functional>
#include <string>
#include <vector>

namespace tarvimo::run {

struct ColumnExportHooks {
    // The save dialog (filter "文本文件(*.txt)|*.txt"); an empty answer cancels.
    std::function<std::string()> chooseFile;
    // Opens the written file with its default program.
    std::function<void(const std::string& path)> openFile;
};

enum class ColumnExportResult { Nothing, Cancelled, Written, Failed };

// The values the export writes: the column's data cells top to bottom, blank values
// left out, and in mobile-only mode values holding no mobile number left out as well.
std::vector<std::string> columnExportValues(const ResultGrid& grid, int column, bool mobileOnly);

// The whole export with its question and file dialog. 'column' is used in all-values
// mode; mobile-only mode takes the first column titled "手机". Nothing happens when the
// column is outside the grid or the grid has no data row.
ColumnExportResult exportColumn(const ResultGrid& grid, int column, bool mobileOnly, UserMessages& messages,
                                const ColumnExportHooks& hooks, std::string* writtenFile = nullptr);

} // namespace tarvimo::run
