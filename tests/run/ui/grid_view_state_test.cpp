// The result grid's view state: the widths a run starts with and the current cell.
#include "run/ui/grid_view_state.h"

#include <gtest/gtest.h>

using tarvimo::run::ui::GridViewState;

TEST(GridViewState, RunLayoutsGiveFixedWidthsAndTheLastColumnTheRest)
{
    GridViewState view;
    EXPECT_EQ(view.columnCount(), 20);
    EXPECT_EQ(view.columnWidth(0), 51) << "the serial-number column";
    EXPECT_EQ(view.columnWidth(5), 100);

    // Company directory: the six fixed columns take 1 001 pixels, so in a 1 000-pixel grid
    // the last one falls back to its own width; in a wider grid it takes what is left.
    view.applyRunLayout(0, 7, 1000);
    EXPECT_EQ(view.columnCount(), 7);
    std::vector<int> widths;
    for (int c = 0; c < 7; ++c)
        widths.push_back(view.columnWidth(c));
    EXPECT_EQ(widths, (std::vector<int>{51, 250, 100, 100, 350, 150, 150}));
    view.applyRunLayout(0, 7, 1300);
    EXPECT_EQ(view.columnWidth(6), 299);

    // Mobile numbers: four fixed columns, the fifth takes the rest; a sixth keeps the default.
    view.applyRunLayout(1, 6, 1000);
    EXPECT_EQ(view.columnWidth(1), 390);
    EXPECT_EQ(view.columnWidth(4), 1000 - 51 - 390 - 150 - 200);
    EXPECT_EQ(view.columnWidth(5), 100);

    // Any other run keeps the defaults; widths outside the grid are none.
    GridViewState plain;
    plain.applyRunLayout(2, 4, 1000);
    EXPECT_EQ(plain.columnWidth(1), 100);
    EXPECT_EQ(plain.columnWidth(4), 0);
    plain.setColumnWidth(9, 5);
    EXPECT_EQ(plain.columnCount(), 4);
}

TEST(GridViewState, TheCurrentCellStartsOnTheFirstRow)
{
    GridViewState view;
    EXPECT_EQ(view.currentRow(), 1);
    EXPECT_EQ(view.currentColumn(), 0);
    view.setCurrentCell(4, 3);
    EXPECT_EQ(view.currentRow(), 4);
    EXPECT_EQ(view.currentColumn(), 3);
}
