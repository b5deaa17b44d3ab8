#include "output/rows_file.h"

#include "base/files.h"
#include "base/text.h"

#include <algorithm>

namespace tarvimo::output {

void loadRowsText(std::string_view bytes, run::ResultGrid& grid)
{
    std::vector<std::string> lines = text::splitLines(text::fileTextToGbk(bytes));
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    const bool leadingTab = !lines.empty() && !lines.front().empty() && lines.front().front() == '\t';
    const auto cellsOf = [&](const std::string& line) {
        std::vector<std::string> cells;
        std::size_t at = leadingTab && !line.empty() && line.front() == '\t' ? 1 : 0;
        for (;;) {
            const std::size_t tab = line.find('\t', at);
            cells.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        return cells;
    };

    grid.resetToTitles();
    if (lines.empty()) {
        grid.setTitles({}, 1);
        return;
    }
    const std::vector<std::string> titles = cellsOf(lines.front());
    grid.setTitles(titles, std::max<int>(1, static_cast<int>(titles.size())));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> cells = cellsOf(lines[i]);
        if (cells.size() > static_cast<std::size_t>(grid.gridColumnCount()))
            cells.resize(static_cast<std::size_t>(grid.gridColumnCount()));
        // Cells never filled in the run are written empty at the end of a row; leaving
        // them out keeps the length record as the run had it.
        while (!cells.empty() && cells.back().empty())
            cells.pop_back();
        grid.appendRow(cells);
        // The append stores an empty field as a blank to hold its place; the file said empty.
        const int row = grid.gridRowCount() - 2;
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (cells[c].empty())
                grid.setCell(row, static_cast<int>(c), std::string());
    }
}

void loadRowsFile(const std::string& path, run::ResultGrid& grid)
{
    loadRowsText(files::readAll(path), grid);
}

} // namespace tarvimo::output
