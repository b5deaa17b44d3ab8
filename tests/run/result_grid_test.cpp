// The result grid: appends, numbering, the duplicate index, the length record, the
// mobile-number marking and the item model a view reads.
#include "run/column_export.h"
#include "run/result_grid.h"

#include "base/messages.h"
#include "base/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using run::ResultGrid;

namespace {
std::string g(const char* utf8) { return text::utf8ToGbk(utf8); }

// A grid with the company-directory titles.
void contactTitles(ResultGrid& grid)
{
    grid.setTitles({g("序号"), g("公司名称"), g("联系人"), g("手机号"), g("地址"), g("邮箱"), g("采集时间")}, 7);
}
} // namespace

TEST(ResultGrid, AppendFillsTheLastRowAndKeepsAnEmptyOneBelow)
{
    ResultGrid grid;
    EXPECT_EQ(grid.gridRowCount(), 2);
    EXPECT_EQ(grid.gridColumnCount(), 20);
    grid.setTitles({"a", "b", "c"}, 3);
    grid.appendRow({"1", "", "x", "dropped"});
    EXPECT_EQ(grid.gridRowCount(), 3);
    EXPECT_EQ(grid.cell(1, 0), "1");
    EXPECT_EQ(grid.cell(1, 1), " ") << "an empty field keeps its cell with a blank";
    EXPECT_EQ(grid.cell(1, 2), "x");
    EXPECT_EQ(grid.cell(1, 3), "") << "fields beyond the last column are dropped";
    EXPECT_EQ(grid.cell(2, 0), "");
    EXPECT_EQ(grid.dataRowCount(), 1);
    grid.setCell(2, 0, "typed");
    EXPECT_EQ(grid.dataRowCount(), 2) << "a typed first cell in the append row counts";

    // The model shows titles as header and grid rows 1.. as rows.
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.headerData(1, Qt::Horizontal).toString(), QString("b"));
    EXPECT_EQ(grid.data(grid.index(0, 2)).toString(), QString("x"));
    ASSERT_TRUE(grid.setData(grid.index(0, 2), QString::fromUtf8("上海")));
    EXPECT_EQ(grid.cell(1, 2), g("上海")) << "edits are stored as GBK";
    EXPECT_EQ(grid.data(grid.index(0, 2), ResultGrid::RawTextRole).toByteArray(), QByteArray(g("上海").c_str()));

    // A double click opens the addresses of data cells only.
    grid.setCell(1, 1, "  https://d1.demo.localhost/c/1.html \r\n");
    EXPECT_EQ(grid.linkAt(1, 1), "https://d1.demo.localhost/c/1.html");
    EXPECT_EQ(grid.linkAt(1, 2), "");
    grid.setCell(1, 0, "http://x");
    EXPECT_EQ(grid.linkAt(1, 0), "") << "not in the serial-number column";

    grid.resetToTitles();
    EXPECT_EQ(grid.gridRowCount(), 2);
    EXPECT_EQ(grid.title(2), "c");
    EXPECT_EQ(grid.cell(1, 0), "");
}

TEST(ResultGrid, LastSerialNumberIsTheLowestNumberedRow)
{
    ResultGrid grid;
    EXPECT_EQ(grid.lastSerialNumber(), 0);
    grid.appendRow({"41"});
    grid.appendRow({"42"});
    grid.appendRow({"note"});
    EXPECT_EQ(grid.lastSerialNumber(), 42) << "cells that are no number are passed over";
    grid.appendRow({"-3"});
    EXPECT_EQ(grid.lastSerialNumber(), 42) << "only positive numbers count";
}

TEST(ResultGrid, ColumnTestSeesTitlesAppendsAndEditsWithoutRegardToCase)
{
    ResultGrid grid;
    contactTitles(grid);
    EXPECT_TRUE(grid.columnHolds(1, g("公司名称")));
    grid.appendRow({"1", "Acme Ltd"});
    EXPECT_TRUE(grid.columnHolds(1, "ACME LTD"));
    grid.appendRow({"2", "Beta"});  // after the index exists
    EXPECT_TRUE(grid.columnHolds(1, "beta"));
    EXPECT_FALSE(grid.columnHolds(2, "beta"));
    grid.setCell(2, 1, "Gamma");  // the user edits a cell
    EXPECT_FALSE(grid.columnHolds(1, "beta"));
    EXPECT_TRUE(grid.columnHolds(1, "gamma"));
    EXPECT_FALSE(grid.columnHolds(42, "x"));
    grid.resetToTitles();
    EXPECT_FALSE(grid.columnHolds(1, "acme ltd"));
}

TEST(ResultGrid, LengthRecordKeepsEachColumnsLongestValueAndItsRow)
{
    ResultGrid grid;
    grid.setTitles({"n", "name"}, 2);
    EXPECT_TRUE(grid.lengthRecord().empty()) << "no record before the first row";
    grid.appendRow({"1", "abc"});
    grid.appendRow({"2", std::string(1 << 20, 'x')});  // a 1 MB cell
    grid.appendRow({"3", "de"});
    EXPECT_EQ(grid.lengthRecord(), (std::vector<std::string>{"1(1)", "1048576(2)"}));
    EXPECT_TRUE(grid.columnHolds(1, std::string(1 << 20, 'X')));
}

TEST(ResultGrid, InvalidMobileNumbersAreMarkedInCompanyDirectoryRuns)
{
    ResultGrid grid;
    contactTitles(grid);
    grid.appendRow({"1", "a", "b", "13912345678"});
    grid.appendRow({"2", "a", "b", "0571-8888888"});
    grid.appendRow({"3", "a", "b", "139****5678"});
    grid.appendRow({"4", "a", "b", ""});
    grid.appendRow({"5", "a", "b", "call 15912345678 now"});
    const auto marked = [&](int row) { return grid.data(grid.index(row - 1, 3), ResultGrid::InvalidMobileRole).toBool(); };
    EXPECT_FALSE(marked(2)) << "off until the run is a company-directory run";
    grid.setMarkMobiles(true);
    EXPECT_FALSE(marked(1));
    EXPECT_TRUE(marked(2));
    EXPECT_FALSE(marked(3)) << "a masked number is never marked";
    EXPECT_FALSE(marked(4)) << "a blank value is not marked";
    EXPECT_FALSE(marked(5)) << "a number anywhere in the value counts";
    EXPECT_FALSE(grid.invalidMobile(2, 2)) << "only column 3 is painted";
}

TEST(ColumnExport, WritesTheColumnOrItsMobileNumbersOnePerLine)
{
    test::TempDir dir;
    ResultGrid grid;
    contactTitles(grid);
    grid.appendRow({"1", "Acme", "", "13912345678"});
    grid.appendRow({"2", "Beta", "", ""});
    grid.appendRow({"3", "Gamma", "", "0571-88888888"});

    RecordedMessages yes(true);
    std::string opened;
    run::ColumnExportHooks hooks{[&] { return dir.file("phones.csv"); }, [&](const std::string& f) { opened = f; }};
    std::string written;
    EXPECT_EQ(run::exportColumn(grid, 0, true, yes, hooks, &written), run::ColumnExportResult::Written);
    EXPECT_EQ(written, dir.file("phones.csv.txt"));
    EXPECT_EQ(opened, written);
    EXPECT_EQ(test::readFile(written), "13912345678\r\n") << "blank and fixed-line values are left out";
    ASSERT_EQ(yes.entries.size(), 1u);
    EXPECT_EQ(yes.entries[0].text, "您要输出 [手机号] 的数据吗？");

    hooks.chooseFile = [&] { return dir.file("names.txt"); };
    EXPECT_EQ(run::exportColumn(grid, 1, false, yes, hooks), run::ColumnExportResult::Written);
    EXPECT_EQ(test::readFile(dir.file("names.txt")), "Acme\r\nBeta\r\nGamma\r\n");

    RecordedMessages no(false);
    EXPECT_EQ(run::exportColumn(grid, 1, false, no, hooks), run::ColumnExportResult::Cancelled);
    hooks.chooseFile = [] { return std::string(); };
    EXPECT_EQ(run::exportColumn(grid, 1, false, yes, hooks), run::ColumnExportResult::Cancelled);
    EXPECT_EQ(run::exportColumn(grid, 7, false, yes, hooks), run::ColumnExportResult::Nothing);
    ResultGrid empty;
    contactTitles(empty);
    EXPECT_EQ(run::exportColumn(empty, 1, false, yes, hooks), run::ColumnExportResult::Nothing)
        << "a grid without data rows exports nothing";

    hooks.chooseFile = [&] { return dir.file("no-such-folder-file") + "/x.txt"; };
    test::writeFile(dir.file("no-such-folder-file"), "a file, not a folder");
    RecordedMessages failing(true);
    EXPECT_EQ(run::exportColumn(grid, 1, false, failing, hooks), run::ColumnExportResult::Failed);
    EXPECT_EQ(failing.entries.back().text, "数据导出异常！");
}
