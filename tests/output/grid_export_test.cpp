// The text target of the export: exact bytes for ranges, titles and separators.
#include "output/grid_export.h"

#include "base/text.h"

#include <algorithm>
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using output::GridRange;
using run::ResultGrid;

namespace {

std::string g(const char* utf8) { return text::utf8ToGbk(utf8); }

// Titles 序号, 公司名称, 手机号 and two rows.
void fill(ResultGrid& grid)
{
    grid.setTitles({g("序号"), g("公司名称"), g("手机号")}, 3);
    grid.appendRow({"1", g("大华"), "13912345678"});
    grid.appendRow({"2", "Beta, \"Ltd\"", ""});
}

// The dialog's default ranges: every row to the append row, columns 1 to the last.
GridRange defaults(const ResultGrid& grid, bool titles)
{
    return {grid.gridColumnCount() - 1, 1, grid.gridRowCount() - 1, 1, true, titles};
}

} // namespace

TEST(TextExport, LinesStartWithTheSeparatorAndEndWithCrLf)
{
    ResultGrid grid;
    fill(grid);
    EXPECT_EQ(output::gridText(grid, defaults(grid, true), "\t"),
              "\t" + g("序号") + "\t" + g("公司名称") + "\t" + g("手机号") + "\r\n" +  //
                  "\t1\t" + g("大华") + "\t13912345678\r\n" +                          //
                  "\t2\tBeta, \"Ltd\"\t \r\n" +                                          // no quoting
                  "\t\t\t\r\n")                                                          // the append row
        << "GBK bytes as stored";
    // Without titles, and with an empty separator the cells run together.
    EXPECT_EQ(output::gridText(grid, {2, 1, 1, 1, true, false}, ""), "1" + g("大华") + "13912345678\r\n");
    // A separator of several characters is used as typed.
    EXPECT_EQ(output::gridText(grid, {1, 1, 2, 2, true, false}, " | "), " | 2 | Beta, \"Ltd\"\r\n");
}

TEST(TextExport, ColumnZeroAlwaysTakesPartAndColumnsStopAt255)
{
    ResultGrid grid;
    fill(grid);
    EXPECT_EQ(output::gridText(grid, {2, 2, 1, 1, true, false}, ";"), ";1;13912345678\r\n");
    EXPECT_EQ(output::gridText(grid, {2, 2, 1, 1, false, false}, ";"), ";13912345678\r\n");

    ResultGrid wide;
    wide.setColumnCount(300);
    std::vector<std::string> row;
    for (int c = 0; c < 300; ++c)
        row.push_back(std::to_string(c));
    wide.appendRow(row);
    const std::string line = output::gridText(wide, {299, 1, 1, 1, true, false}, ",");
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 256);
    EXPECT_NE(line.find(",255\r\n"), std::string::npos) << "column 255 is the last";
}

TEST(TextExport, RowsAreClippedToTheGrid)
{
    ResultGrid grid;
    fill(grid);
    EXPECT_EQ(output::gridText(grid, {2, 1, 1, 2, true, true}, "\t"), "") << "from after to: no title line either";
    EXPECT_EQ(output::gridText(grid, {2, 1, 90, 50, true, true}, "\t"), "") << "beyond the grid";
    // Rows below 0 are skipped; the title line goes before the first row written.
    const std::string text = output::gridText(grid, {1, 1, 1, -5, true, true}, "\t");
    EXPECT_EQ(text, "\t" + g("序号") + "\t" + g("公司名称") + "\r\n" + "\t" + g("序号") + "\t" + g("公司名称") + "\r\n" +
                        "\t1\t" + g("大华") + "\r\n");
    std::vector<std::pair<int, int>> steps;
    output::ExportHooks hooks{[&](int at, int max) { steps.emplace_back(at, max); }, {}, {}};
    output::gridText(grid, {2, 1, 5, 1, true, false}, "\t", &hooks);
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, 4}, {1, 4}, {2, 4}}));
}

TEST(TextExport, WriteGridToFileReplacesOrAppendsAndOpens)
{
    test::TempDir dir;
    ResultGrid grid;
    fill(grid);
    const std::string file = dir.file("out/rows.txt");
    std::string opened;
    output::ExportHooks hooks{{}, [&](const std::string& f) {
                                  opened = f;
                                  return true;
                              },
                              {}};
    output::writeGridToFile(grid, false, true, 1, 1, 1, 1, true, false, file, "\t", output::kTextFile, hooks);
    EXPECT_EQ(test::readFile(file), "\t1\t" + g("大华") + "\r\n");
    EXPECT_EQ(opened, file);
    output::writeGridToFile(grid, true, false, 1, 1, 2, 2, true, false, file, "\t", output::kTextFile);
    EXPECT_EQ(test::readFile(file), "\t1\t" + g("大华") + "\r\n\t2\tBeta, \"Ltd\"\r\n");

    std::string refusedText;
    hooks.openFile = [](const std::string&) { return false; };
    output::writeGridToFile(grid, false, true, 1, 1, 1, 1, true, false, file, "\t", output::kTextFile, hooks,
                            [&](const std::string& t) { refusedText = t; });
    EXPECT_EQ(refusedText, "文件名无效！请指定一个有效的文件名");
    EXPECT_TRUE(test::readFile(file).size() > 0) << "the file stays written";

    test::writeFile(dir.file("plain"), "x");
    EXPECT_THROW(output::writeGridToFile(grid, false, false, 1, 1, 1, 1, true, false, dir.file("plain") + "/a.txt", "\t",
                                         output::kTextFile),
                 output::ExportError);
    EXPECT_THROW(output::writeGridToFile(grid, false, false, 1, 1, 1, 1, true, false, "", "\t", output::kWorkbook),
                 output::WorkbookSaveError)
        << "a workbook needs a file name";
    EXPECT_THROW(output::writeGridToFile(grid, false, false, 1, 1, 1, 1, true, false, file, "\t", output::kDatabase),
                 output::ExportError);
}
