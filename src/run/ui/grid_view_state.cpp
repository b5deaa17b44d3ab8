#include "run/ui/grid_view_state.h"

#include <algorithm>

namespace tarvimo::run::ui {

GridViewState::GridViewState(int columns)
{
    setColumnCount(columns);
}

void GridViewState::setColumnCount(int count)
{
    widths_.resize(static_cast<std::size_t>(std::max(count, 1)), kDefaultWidth);
    widths_[0] = kSerialWidth;
}

int GridViewState::columnWidth(int column) const
{
    if (column < 0 || column >= columnCount())
        return 0;
    return widths_[static_cast<std::size_t>(column)];
}

void GridViewState::setColumnWidth(int column, int width)
{
    if (column >= 0 && column < columnCount())
        widths_[static_cast<std::size_t>(column)] = width;
}

void GridViewState::setCurrentCell(int row, int column)
{
    currentRow_ = row;
    currentColumn_ = column;
}

void GridViewState::fillLast(int column, int gridWidth)
{
    int used = 0;
    for (int c = 0; c < column; ++c)
        used += columnWidth(c);
    const int left = gridWidth - used;
    setColumnWidth(column, left > 0 ? left : kLastColumnFallback);
}

void GridViewState::applyRunLayout(int taktype, int columnCount, int gridWidth)
{
    // A run lays its grid out afresh: nothing of an earlier run's widths stays.
    widths_.clear();
    setColumnCount(columnCount);
    if (taktype == 0 && columnCount >= 7) {
        setColumnWidth(1, 250);
        setColumnWidth(3, 100);
        setColumnWidth(4, 350);
        setColumnWidth(5, 150);
        fillLast(6, gridWidth);
    } else if (taktype == 1 && columnCount >= 5) {
        setColumnWidth(1, 390);
        setColumnWidth(2, 150);
        setColumnWidth(3, 200);
        fillLast(4, gridWidth);
    }
}

} // namespace tarvimo::run::ui
