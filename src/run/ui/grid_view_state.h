// What the result grid's widget keeps beside the rows: the pixel width of each column and
// the cell the user is on (the popup menu's column export acts on its column). The rows
// and titles are the model's (ResultGrid); this is the view's.
#pragma once

#include <vector>

namespace tarvimo::run::ui {

class GridViewState {
public:
    static constexpr int kDefaultWidth = 100;
    static constexpr int kSerialWidth = 51;
    // The width the last column takes when the others leave it no room.
    static constexpr int kLastColumnFallback = 150;

    explicit GridViewState(int columns = 20);

    // The widths a run starts with in a grid 'gridWidth' pixels wide: fixed widths for the
    // company-directory (taktype 0) and mobile-number (taktype 1) tables, whose last column
    // takes the room left; other runs keep the default widths.
    void applyRunLayout(int taktype, int columnCount, int gridWidth);

    int columnCount() const { return static_cast<int>(widths_.size()); }
    void setColumnCount(int count);
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);

    void setCurrentCell(int row, int column);
    int currentRow() const { return currentRow_; }
    int currentColumn() const { return currentColumn_; }

private:
    void fillLast(int column, int gridWidth);

    std::vector<int> widths_;
    int currentRow_ = 1, currentColumn_ = 0;
};

} // namespace tarvimo::run::ui
