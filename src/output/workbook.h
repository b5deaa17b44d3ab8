// The workbook target: a real .xlsx written with libxlsxwriter in its constant-memory mode
// (rows are streamed to the file, so memory stays flat in the row count). Cells are text:
// the grid's GBK converted to UTF-8. Grid cell (r, c) lands in worksheet row r + 1, column
// c + 1 (one-based); the titles of the taking-part columns go to row 1 when asked for.
#pragma once

#include "output/grid_export.h"

#include <string>

namespace tarvimo::output {

// The most bytes a workbook cell holds; longer text is cut at a character boundary.
inline constexpr std::size_t kMaxWorkbookCell = 32767;

// Writes the range to 'fileName' through a temporary file renamed into place. Throws
// ExportError when the file cannot be written (the previous file stays as it was). Calls
// hooks.progress per row and hooks.notice once when a cell had to be cut.
void writeWorkbook(const run::ResultGrid& grid, const GridRange& range, const std::string& fileName,
                   const ExportHooks& hooks = {});

} // namespace tarvimo::output
