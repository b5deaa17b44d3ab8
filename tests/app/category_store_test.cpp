// The category store: its file as bytes, the default list, and every rule of the tree's
// operations with the message the user sees.
#include "app/category_store.h"

#include "base/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>

using namespace tarvimo;
using namespace tarvimo::app;
using text::gbk;

namespace {

// Inflates a whole file with zlib directly: the stream must end exactly at the file's end.
std::string inflateWhole(const std::string& packed, bool* exactEnd)
{
    z_stream zs{};
    EXPECT_EQ(inflateInit(&zs), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    zs.avail_in = static_cast<uInt>(packed.size());
    std::string out;
    char buf[4096];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buf, sizeof buf - zs.avail_out);
    }
    *exactEnd = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    return out;
}

std::string line(const std::string& id, const std::string& parent, const std::string& nameUtf8,
                 const std::string& remarkUtf8 = "")
{
    return id + "^%^!" + parent + "^%^!" + gbk(nameUtf8) + "^%^!" + gbk(remarkUtf8);
}

class CategoryStoreTest : public ::testing::Test {
protected:
    CategoryStoreTest() : store(dir.file("DefaultCDB.cdb"), "tarvimo") {}
    // The default list with a user category "0005" (机械) below "0002" and "0006" (泵) below it.
    void withUserCategories(bool removedBranch)
    {
        std::vector<std::string> lines{line("0001", "0000", "tarvimo", "Tarvimo"), line("0002", "0001", " 所有任务 "),
                                       line("0003", "0001", " 正在运行 "), line("0005", "0002", "机械"),
                                       line("0006", "0005", "泵")};
        if (removedBranch)
            lines.push_back(line("0004", "0001", "已删除"));
        store.setLines(lines);
    }
    test::TempDir dir;
    CategoryStore store;
};

} // namespace

TEST_F(CategoryStoreTest, AMissingOrDamagedFileGivesTheThreeDefaultLinesAndWritesNothing)
{
    EXPECT_FALSE(store.load());
    const std::vector<std::string> expected{line("0001", "0000", "tarvimo", "Tarvimo"),
                                            line("0002", "0001", " 所有任务 ", "存放任务类"),
                                            line("0003", "0001", " 正在运行 ", "正在运行的任务")};
    EXPECT_EQ(store.lines(), expected);
    EXPECT_FALSE(std::filesystem::exists(dir.file("DefaultCDB.cdb")));

    test::writeFile(dir.file("DefaultCDB.cdb"), std::string("\x78\xda garbage that is no stream", 28));
    EXPECT_FALSE(store.load());
    EXPECT_EQ(store.lines(), expected);
    EXPECT_EQ(test::readFile(dir.file("DefaultCDB.cdb")).substr(2, 8), " garbage") << "the damaged file stays";
}

TEST_F(CategoryStoreTest, TheFileIsOneLevelNineZlibStreamOfGbkLinesEndedByCrLf)
{
    store.load();
    ASSERT_TRUE(store.create("0002", gbk("机械"), gbk("机械类企业")));
    store.save();
    const std::string packed = test::readFile(dir.file("DefaultCDB.cdb"));
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0xDA) << "compression level 9";
    bool exactEnd = false;
    const std::string plain = inflateWhole(packed, &exactEnd);
    EXPECT_TRUE(exactEnd) << "nothing before or after the stream";
    EXPECT_EQ(plain, line("0001", "0000", "tarvimo", "Tarvimo") + "\r\n" +
                         line("0002", "0001", " 所有任务 ", "存放任务类") + "\r\n" +
                         line("0003", "0001", " 正在运行 ", "正在运行的任务") + "\r\n" +
                         line("0005", "0002", "机械", "机械类企业") + "\r\n");

    CategoryStore again(dir.file("DefaultCDB.cdb"), "other");
    EXPECT_TRUE(again.load());
    EXPECT_EQ(again.lines(), store.lines());
}

TEST_F(CategoryStoreTest, TheBrandWordKolvarReadsAsTarvimoAfterTheNextStart)
{
    store.setLines({line("0001", "0000", "Kolvar", "Kolvar 企业"), line("0002", "0001", "所有任务"),
                    line("0005", "0002", "Kolvar 客户")});
    store.save();
    ASSERT_TRUE(store.load());
    EXPECT_EQ(store.find("0005")->name, gbk("Tarvimo 客户"));
    EXPECT_EQ(store.find("0001")->remark, gbk("Tarvimo 企业"));
}

TEST_F(CategoryStoreTest, CreateNumbersAfterTheLastLineAndRefusesWithTheMessagesOfTheDialog)
{
    withUserCategories(false);
    auto made = store.create("0006", gbk("水泵"), "");
    ASSERT_TRUE(made);
    EXPECT_EQ(made.id, "0007");
    EXPECT_EQ(store.find("0007")->parentId, "0006");
    EXPECT_EQ(store.level("0007"), 4);

    struct Case {
        std::string parent, name, remark, message;
    } cases[] = {
        {"", "x", "", kNoParent},
        {"0003", "x", "", kCreateOutsideBranch},
        {"0001", "x", "", kCreateOutsideBranch},
        {"0002", "a^%^!b", "", kReservedWord},
        {"0002", "x", "r^%^!", kReservedWord},
        {"0002", "   ", "", kNoCategoryName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parent + "/" + c.name);
        const auto r = store.create(c.parent, c.name, c.remark);
        EXPECT_EQ(r.kind, CategoryResult::Warning);
        EXPECT_EQ(r.message, c.message);
    }
    EXPECT_EQ(store.lines().size(), 6u) << "nothing was added by a refused create";

    // A line break would split the stored line: it becomes a blank.
    ASSERT_TRUE(store.create("0002", gbk("两\r\n行"), "a\nb"));
    EXPECT_EQ(store.find("0008")->name, gbk("两 行"));
    EXPECT_EQ(store.find("0008")->remark, "a b");
}

TEST_F(CategoryStoreTest, TheFirstUserCategoryNeverTakesTheRemovedBranchsId)
{
    store.load();
    const auto made = store.create("0002", "a", "");
    EXPECT_EQ(made.id, "0005");
    ASSERT_TRUE(store.create("0005", "b", ""));
    ASSERT_TRUE(store.remove("0006"));
    EXPECT_EQ(store.level("0006"), -1) << "not shown below the user's category \"a\"";
}

TEST_F(CategoryStoreTest, CreatingWithFewerThanTwoLinesFailsWithTheErrorMessage)
{
    store.setLines({line("0002", "0000", "所有任务")});
    const auto r = store.create("0002", "x", "");
    EXPECT_EQ(r.kind, CategoryResult::Error);
    EXPECT_EQ(r.message, kCreateFailed);
    EXPECT_EQ(store.lines().size(), 1u);
}

TEST_F(CategoryStoreTest, RemovingMovesUnderTheRemovedBranchThenMarksDeleted)
{
    withUserCategories(false);
    EXPECT_EQ(store.canRemove("0002").message, kCannotDelete) << "level 1";
    EXPECT_EQ(store.canRemove("0001").message, kCannotDelete) << "the root";

    ASSERT_TRUE(store.remove("0005"));
    EXPECT_EQ(store.find("0005")->parentId, "0004");
    // Without a "0004" line the category leaves the tree while its line stays.
    EXPECT_EQ(store.level("0005"), -1);
    EXPECT_TRUE(store.children("0002").empty());
    EXPECT_EQ(store.lines().size(), 5u);

    withUserCategories(true);
    ASSERT_TRUE(store.remove("0005"));
    ASSERT_EQ(store.children("0004").size(), 1u);
    EXPECT_EQ(store.children("0004")[0].name, gbk("机械"));
    EXPECT_EQ(store.level("0006"), 3) << "its sub-category went with it";

    // Removed a second time, it is marked deleted: never shown, its ID still taken.
    ASSERT_TRUE(store.remove("0005"));
    EXPECT_FALSE(store.find("0005"));
    EXPECT_TRUE(store.children("0004").empty());
    EXPECT_NE(std::find(store.lines().begin(), store.lines().end(), "0005AllReadyDeleted"), store.lines().end());
    EXPECT_EQ(store.level("0006"), -1) << "below a deleted category nothing is shown";
    EXPECT_EQ(store.create("0002", "y", "").id, "0007");
}

TEST_F(CategoryStoreTest, MoveKeepsToTheUserBranchesAndNeverBelowItself)
{
    withUserCategories(true);
    for (const char* fixed : {"0001", "0002", "0003", "0004"})
        EXPECT_EQ(store.canMove(fixed).message, kCannotMove) << fixed;
    EXPECT_TRUE(store.canMove("0006"));

    for (const char* target : {"0005", "0006", "0003", "0001", "9999"}) {
        const auto r = store.move("0005", target);
        EXPECT_EQ(r.message, kCannotMoveHere) << target;
    }
    ASSERT_TRUE(store.move("0006", "0002"));
    EXPECT_EQ(store.find("0006")->parentId, "0002");
    ASSERT_TRUE(store.move("0005", "0004"));
    EXPECT_EQ(store.level("0005"), 2);
    ASSERT_TRUE(store.move("0005", "0006")) << "from the removed branch back below a user category";
    EXPECT_EQ(store.level("0005"), 3);
}

TEST_F(CategoryStoreTest, PropertiesRenameOnlyBelowTheReservedLevels)
{
    withUserCategories(false);
    EXPECT_FALSE(store.nameEditable("0001"));
    EXPECT_FALSE(store.nameEditable("0002"));
    ASSERT_TRUE(store.update("0002", "renamed", gbk("新注释")));
    EXPECT_EQ(store.find("0002")->name, gbk(" 所有任务 ")) << "a reserved name stays";
    EXPECT_EQ(store.find("0002")->remark, gbk("新注释"));

    EXPECT_EQ(store.update("0005", "a^%^!b", "").message, kReservedWord);
    ASSERT_TRUE(store.update("0005", gbk("重型机械"), "x\r\ny"));
    EXPECT_EQ(store.find("0005")->name, gbk("重型机械"));
    EXPECT_EQ(store.find("0005")->remark, "x y");
    EXPECT_EQ(store.find("0005")->parentId, "0002");
}
