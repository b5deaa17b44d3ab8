// Rows files read back into a grid: GBK, UTF-8 with and without a byte-order mark, and
// the length record a run would have kept.
#include "output/rows_file.h"

#include "output/auto_save.h"
#include "export_support.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using test::g;

TEST(RowsFile, WhatTheAutomaticSaveWritesComesBackTheSame)
{
    run::ResultGrid grid;
    test::fillGrid(grid, {{g("甲公司"), std::string(300, 'x'), "139"}, {"b", "", "\x95\x32\x82\x36"}});
    const std::string saved = output::collectedRowsText(grid);
    for (const std::string& bytes : {saved, text::gbkToUtf8(saved), "\xEF\xBB\xBF" + text::gbkToUtf8(saved)}) {
        run::ResultGrid back;
        output::loadRowsText(bytes, back);
        EXPECT_EQ(back.gridColumnCount(), 4);
        EXPECT_EQ(back.dataRowCount(), 2);
        EXPECT_EQ(output::collectedRowsText(back), saved);
        EXPECT_EQ(back.lengthRecord(), grid.lengthRecord());
        EXPECT_EQ(back.cell(2, 3), "\x95\x32\x82\x36");
    }
}

TEST(RowsFile, EmptyAndHandMadeFiles)
{
    run::ResultGrid grid;
    output::loadRowsText("", grid);
    EXPECT_EQ(grid.dataRowCount(), 0);
    output::loadRowsText("a\tb\tc\nx\t\ty\n\n", grid);
    EXPECT_EQ(grid.title(1), "b");
    EXPECT_EQ(grid.cell(1, 0), "x");
    EXPECT_EQ(grid.cell(1, 1), "") << "an empty cell stays empty";
    EXPECT_EQ(grid.cell(1, 2), "y");
    EXPECT_EQ(grid.dataRowCount(), 1);
}
