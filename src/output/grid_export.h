// Writing a result grid's rows out: the text target (kind 0) writes GBK lines ended by
// CR LF, each cell preceded by the separator, with no quoting of any kind.
//
// Columns: column 0 takes part when includeColumnZero is set; any column c takes part
// when colFrom <= c <= colTo and c <= 255. Rows rowFrom .. rowTo ascending, clipped to the
// grid. With withTitles, the title line (row 0 of the taking-part columns) precedes the
// first exported row.
#pragma once

#include "run/result_grid.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

namespace tarvimo::output {

enum TargetKind { kTextFile = 0, kWorkbook = 1, kDatabase = 3 };

// The largest column index a range can name: the range is a set of byte values.
inline constexpr int kMaxColumn = 255;

struct GridRange {
    int colTo = 0, colFrom = 1, rowTo = 0, rowFrom = 1;
    bool includeColumnZero = true;
    bool withTitles = false;
    // Whether grid column c takes part.
    bool takesPart(int c) const
    {
        return (c == 0 && includeColumnZero) || (c >= colFrom && c <= colTo && c <= kMaxColumn);
    }
};

// A gauge value: ranges typed by the user reach far beyond the grid.
inline int clampToInt(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Calls each(row) for the rows rowFrom .. rowTo in ascending order, clipped to the grid:
// rows below 0 are skipped, and the walk stops after the grid's last row.
template <typename Each>
void forEachRowInRange(const run::ResultGrid& grid, int rowFrom, int rowTo, Each each)
{
    for (long long r = rowFrom; r <= rowTo; ++r) {
        if (r < 0)
            continue;
        if (r >= grid.gridRowCount())
            break;
        each(static_cast<int>(r));
    }
}

// What the writer needs of the desktop: a progress gauge and the shell's "open".
struct ExportHooks {
    // Called at the start of each row with (row - rowFrom, rowTo - rowFrom).
    std::function<void(int position, int maximum)> progress;
    // Opens the written file with its associated program; false when the shell refuses.
    std::function<bool(const std::string& path)> openFile;
    // A line for the user about something the writer had to leave out.
    std::function<void(const std::string& text)> notice;
};

// A failure to write; the caller shows "数据导出异常！".
class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The workbook could not be saved under its name; the caller shows "文件名无效!".
class WorkbookSaveError : public ExportError {
public:
    using ExportError::ExportError;
};

// The bytes the text target writes for the range.
std::string gridText(const run::ResultGrid& grid, const GridRange& range, const std::string& separator,
                     const ExportHooks* hooks = nullptr);

// The text and workbook writer. Kind 0 writes gridText to the file (a new file is written
// whole and renamed into place; 'append' adds to an existing file); kind 1 writes a
// workbook (WorkbookSaveError when it cannot be saved; no name is no workbook). With 'openAfter' the
// file is then opened through hooks.openFile; a refusal warns "文件名无效！请指定一个有效的文件名"
// through 'refused' (the file stays written). Throws ExportError when the file cannot be
// written or the kind is not written here.
void writeGridToFile(const run::ResultGrid& grid, bool append, bool openAfter, int colTo, int colFrom, int rowTo,
                     int rowFrom, bool includeColumnZero, bool withTitles, const std::string& fileName,
                     const std::string& separator, int targetKind, const ExportHooks& hooks = {},
                     const std::function<void(const std::string&)>& refused = {});

// The text target alone: gridText written whole through a temporary file (appended to the
// old content with 'append'). Throws ExportError.
void writeTextFile(const run::ResultGrid& grid, const GridRange& range, bool append, const std::string& fileName,
                   const std::string& separator, const ExportHooks& hooks = {});

} // namespace tarvimo::output
