// Shaping of handed-over rows into the contact columns of the result grid.
#include "engine/contact_rows.h"

#include "base/text.h"

#include <gtest/gtest.h>

#include <set>

using namespace tarvimo;
using engine::ContactShaper;
using engine::Row;

namespace {

std::string g(const char* utf8) { return text::utf8ToGbk(utf8); }

// A grid column holding these values (the header included), compared as the grid does.
struct FakeColumns {
    std::map<int, std::vector<std::string>> cells;
    bool holds(int column, const std::string& v) const
    {
        auto it = cells.find(column);
        if (it == cells.end())
            return false;
        for (const auto& c : it->second)
            if (text::equalsNoCase(c, v))
                return true;
        return false;
    }
};

class Shaping : public ::testing::Test {
protected:
    ContactShaper shaper{engine::SiteCatalogue::shipped()};
    FakeColumns grid;

    // Shapes the row with serial 7 and time "T"; the output, or {"dropped"}.
    std::vector<std::string> shape(int code, Row row)
    {
        ContactShaper::Target t;
        t.serial = 7;
        t.time = "T";
        t.columnHolds = [this](int c, const std::string& v) { return grid.holds(c, v); };
        std::vector<std::string> out;
        if (!shaper.shape(code, row, t, out))
            return {"dropped"};
        return out;
    }
    static Row items(int n)
    {
        Row r;
        for (int i = 0; i < n; ++i)
            r.push_back("i" + std::to_string(i));
        return r;
    }
};

} // namespace

TEST_F(Shaping, SiteCodesFollowTheTestOrderAndIgnoreLetterCase)
{
    const std::pair<const char*, int> sites[] = {
        {"d1", 0}, {"d2", 1}, {"d5", 2}, {"d7", 3}, {"d8", 4}, {"d6", 5}, {"s2", 6},
        {"search", 7}, {"d4", 8}, {"d3", 9}, {"d9", 10}, {"d10", 11}, {"d11", 12}, {"d12", 13},
    };
    for (const auto& [host, code] : sites)
        EXPECT_EQ(shaper.siteCode(std::string("HTTP://") + host + ".Demo.LocalHost:8080/list?p=1"), code) << host;
    EXPECT_EQ(shaper.siteCode("http://www.example.test/"), engine::kNoSite);
    EXPECT_EQ(shaper.siteCode(""), engine::kNoSite);
    // An address naming two sites takes the one tested first.
    EXPECT_EQ(shaper.siteCode("http://d4.demo.localhost/go?to=d1.demo.localhost"), 0);
}

TEST_F(Shaping, EveryCodePutsItsItemsInTheContactColumns)
{
    // Nine items with nothing to remove: only the order of the output differs.
    const std::map<int, std::vector<std::string>> expected = {
        {0, {"7", "i1", "i2", "i7", "i3", "i8", "T"}},  {1, {"7", "i0", "i3", "i4", "i2", "i8", "T"}},
        {2, {"7", "i1", "i2", "i5", "i7", "i8", "T"}},  {3, {"7", "i0", "i1", "i2", "i3", "i8", "T"}},
        {4, {"7", "i1", "i2", "i3", "i5", "i8", "T"}},  {5, {"7", "i0", "i1", "i3", "i6", "i8", "T"}},
        {6, {"7", "i1", "i3", "i2", "T"}},              {7, {"7", "i1", "i2", "i3", "T"}},
        {8, {"7", "i1", "i3", "i6", "i4", "i8", "T"}},  {9, {"7", "i1", "i2", "i4", "i7", "i6", "T"}},
        {10, {"7", "i1", "i2", "i4", "i7", "i6", "T"}}, {11, {"7", "i1", "i6", "i7", "i2", "i5", "T"}},
        {12, {"7", "i2", "i3", "i6", "i8", "i7", "T"}}, {13, {"7", "i1", "i2", "i5", "i8", "i8", "T"}},
    };
    for (const auto& [code, out] : expected)
        EXPECT_EQ(shape(code, items(9)), out) << "code " << code;
}

TEST_F(Shaping, MinimumAndKeyTestsDropShortOrNamelessRows)
{
    const std::map<int, int> minimum = {{0, 8}, {1, 5}, {2, 8}, {3, 4}, {4, 6}, {5, 7}, {6, 4},
                                        {7, 4}, {8, 7}, {9, 8}, {10, 8}, {11, 7}, {12, 8}, {13, 8}};
    for (const auto& [code, n] : minimum) {
        EXPECT_EQ(shape(code, items(n - 1)), std::vector<std::string>{"dropped"}) << "code " << code;
        EXPECT_NE(shape(code, items(n)), std::vector<std::string>{"dropped"}) << "code " << code;
    }
    // The key item (company name) must not be blank; code 8 keys on item 1 though it
    // tests item 0 for duplicates, code 12 on item 2.
    const std::map<int, int> key = {{0, 1}, {1, 0}, {3, 0}, {5, 0}, {8, 1}, {12, 2}, {13, 1}};
    for (const auto& [code, k] : key) {
        Row r = items(9);
        r[static_cast<std::size_t>(k)] = "  \t";
        EXPECT_EQ(shape(code, r), std::vector<std::string>{"dropped"}) << "code " << code;
    }
}

TEST_F(Shaping, DuplicatesAreFoundInTheNamedColumnWithoutRegardToCase)
{
    grid.cells[1] = {g("公司名称"), "ACME Trading"};
    grid.cells[2] = {g("联系人"), "Zhang"};
    Row r = items(9);
    r[1] = "acme trading";
    EXPECT_EQ(shape(0, r), std::vector<std::string>{"dropped"});
    EXPECT_NE(shape(1, r), std::vector<std::string>{"dropped"}) << "code 1 tests item 0";
    r[0] = "Acme TRADING";
    EXPECT_EQ(shape(1, r), std::vector<std::string>{"dropped"});
    // The header is part of the column.
    Row h = items(9);
    h[1] = g("公司名称");
    EXPECT_EQ(shape(2, h), std::vector<std::string>{"dropped"});
    // Code 12 compares item 1 with the contact column.
    Row z = items(9);
    z[1] = "zhang";
    EXPECT_EQ(shape(12, z), std::vector<std::string>{"dropped"});
    EXPECT_NE(shape(13, z), std::vector<std::string>{"dropped"});
}

TEST_F(Shaping, EveryCodeTestsItsOwnItemAgainstItsOwnColumn)
{
    // code -> (item tested, grid column)
    const std::map<int, std::pair<int, int>> tests = {
        {0, {1, 1}}, {1, {0, 1}}, {2, {1, 1}}, {3, {0, 1}},  {4, {1, 1}},  {5, {0, 1}},  {6, {1, 1}},
        {7, {1, 1}}, {8, {0, 1}}, {9, {1, 1}}, {10, {1, 1}}, {11, {1, 1}}, {12, {1, 2}}, {13, {1, 1}},
    };
    for (const auto& [code, test] : tests) {
        const auto [item, column] = test;
        grid.cells.clear();
        grid.cells[column] = {"I" + std::to_string(item)};
        EXPECT_EQ(shape(code, items(9)), std::vector<std::string>{"dropped"}) << "code " << code;
        // The same value in another column, or another item's value, lets the row through.
        grid.cells.clear();
        grid.cells[column == 1 ? 2 : 1] = {"I" + std::to_string(item)};
        grid.cells[column] = {"I" + std::to_string(item == 0 ? 1 : 0)};
        EXPECT_NE(shape(code, items(9)), std::vector<std::string>{"dropped"}) << "code " << code;
    }
}

TEST_F(Shaping, RemovalsTakeTheFirstOccurrenceOnly)
{
    Row r = items(9);
    r[3] = g("中国浙江中国路1号");
    EXPECT_EQ(shape(0, r)[4], g("浙江中国路1号"));

    Row d3 = items(9);
    d3[1] = g("大华生意旺铺");
    d3[4] = g("未填写");
    auto out = shape(9, d3);
    EXPECT_EQ(out[1], g("大华"));
    EXPECT_EQ(out[3], "");

    Row d9 = items(9);
    d9[1] = g("大华 - 搜企网");
    d9[7] = g("杭州查看地图");
    out = shape(10, d9);
    EXPECT_EQ(out[1], g("大华 "));
    EXPECT_EQ(out[4], g("杭州"));

    Row d7 = items(4);
    d7[1] = g("电话 留言询价");
    EXPECT_EQ(shape(3, d7)[2], g("电话 "));
    Row d8 = items(6);
    d8[2] = g("[离线]李四");
    EXPECT_EQ(shape(4, d8)[2], g("李四"));
    Row d11 = items(9);
    d11[2] = g("大华-书生商务网");
    EXPECT_EQ(shape(12, d11)[1], g("大华"));
    // The last site's title suffix is "-" and its host name.
    Row d12 = items(9);
    d12[1] = "Acme-d12.demo.localhost";
    EXPECT_EQ(shape(13, d12)[1], "Acme");
    // Letter case counts in removals.
    Row upper = items(9);
    upper[1] = "Acme-D12.DEMO.LOCALHOST";
    EXPECT_EQ(shape(13, upper)[1], "Acme-D12.DEMO.LOCALHOST");
}

TEST_F(Shaping, TheWebSearchRemovesItsSuffixBeforeTestingKeyAndDuplicates)
{
    grid.cells[1] = {"Acme"};
    Row r = items(4);
    r[1] = g("acme-58企业网站");
    EXPECT_EQ(shape(7, r), std::vector<std::string>{"dropped"}) << "the duplicate is seen after the removal";
    r[1] = g("-58企业网站");
    EXPECT_EQ(shape(7, r), std::vector<std::string>{"dropped"}) << "nothing is left of the key";
    r[1] = g("Beta-58企业网站");
    EXPECT_EQ(shape(7, r), (std::vector<std::string>{"7", "Beta", "i2", "i3", "T"}));
    // The other sites test the item as it arrived: the suffix hides the duplicate.
    grid.cells[1] = {g("大华")};
    Row d3 = items(9);
    d3[1] = g("大华生意旺铺");
    EXPECT_NE(shape(9, d3), std::vector<std::string>{"dropped"});
}

TEST_F(Shaping, LongItemsAreCutAndBlankRowsDropped)
{
    Row r = items(9);
    r[1] = std::string(250, 'x');
    EXPECT_EQ(shape(0, r)[1], std::string(200, 'x'));
    // A cut never splits a double-byte character.
    std::string wide = "x";
    while (wide.size() < 260)
        wide += g("中");
    r[1] = wide;
    const std::string cut = shape(0, r)[1];
    EXPECT_EQ(cut.size(), 199u);
    EXPECT_EQ(text::utf8ToGbk(text::gbkToUtf8(cut)), cut);

    EXPECT_EQ(shape(0, Row(9, "")), std::vector<std::string>{"dropped"});
    EXPECT_EQ(shape(engine::kNoSite, Row{" ", "^^", "\t"}), std::vector<std::string>{"dropped"})
        << "blanks and rule separators only";
}

TEST_F(Shaping, RowsOfNoDirectorySiteKeepTheirFieldsAndGetTheTime)
{
    EXPECT_EQ(shape(engine::kNoSite, Row{"a", "", "c"}), (std::vector<std::string>{"7", "a", "", "c", "T"}));
    ContactShaper::Target t;
    t.serial = 1;
    t.appendTime = false;  // the rules stamp the time themselves
    Row r{"a", "2026-01-01 00:00:00"};
    std::vector<std::string> out;
    ASSERT_TRUE(shaper.shape(engine::kNoSite, r, t, out));
    EXPECT_EQ(out, (std::vector<std::string>{"1", "a", "2026-01-01 00:00:00"}));
}
