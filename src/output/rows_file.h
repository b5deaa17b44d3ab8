// Reading back a rows file as the headless run, the keyword search and the automatic save
// write it: one line per grid row, each cell preceded by a TAB, the title line first. GBK,
// or UTF-8 when the file starts with a byte-order mark or is valid UTF-8 throughout.
#pragma once

#include "run/result_grid.h"

#include <string>
#include <string_view>

namespace tarvimo::output {

// Fills the grid (titles, then one appended row per line, so the grid's length record is
// kept as a run keeps it). The column count is the title line's.
void loadRowsText(std::string_view bytes, run::ResultGrid& grid);

// Reads the file into the grid; throws files::FileError when it cannot be read.
void loadRowsFile(const std::string& path, run::ResultGrid& grid);

} // namespace tarvimo::output
