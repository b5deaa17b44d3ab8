#include "base/home.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/task_paths.h"
#include "store/task_schema.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <set>

using namespace tarvimo;
using test::TempDir;

TEST(TaskSchema, MinimalTaskReadsDefaultsForEverythingElse)
{
    TempDir dir;
    const std::string path = dir.file("min.tak");
    test::writeFile(path, "[master]\r\ntaskname=min\r\n[url]\r\nurlbegin=http://127.0.0.1/\r\n");
    store::TEncryptInifile ini(path);
    namespace t = store::task;
    EXPECT_EQ(store::readInt(ini, t::tasktypes), 0);
    EXPECT_EQ(store::readString(ini, t::urlbegin), "http://127.0.0.1/");
    EXPECT_EQ(store::readInt(ini, t::urlinc), 1);
    EXPECT_TRUE(store::readBool(ini, t::urlgetall));
    EXPECT_EQ(store::readString(ini, t::ruleSplit), "^");
    EXPECT_EQ(store::readInt(ini, t::xzzf), 8000);
    EXPECT_EQ(store::readString(ini, t::ClearChar), text::utf8ToGbk(":,：,“,*"));
    EXPECT_EQ(store::readString(ini, t::outClassdefaultName), text::utf8ToGbk("其他"));
    EXPECT_EQ(store::readString(ini, t::autorunTime), "10:00");
    EXPECT_TRUE(store::readBool(ini, t::autorunsystem));
    EXPECT_FALSE(store::readBool(ini, t::autorunsystemAtStartup)) << "the start-up scan's own default";
    EXPECT_EQ(store::readInt(ini, t::NOvalue), 1);
}

TEST(TaskSchema, TableIsCompleteAndUnambiguous)
{
    std::set<std::string> seen;
    for (const auto* k : store::task::allKeys()) {
        std::string id = text::toLower(k->section) + "/" + text::toLower(k->key);
        if (id == "schedule/autorunsystem" && k->def == "0")
            continue;  // the start-up scan reads the same key with another default
        EXPECT_TRUE(seen.insert(id).second) << "twice: " << id;
    }
    EXPECT_GE(seen.size(), 130u);
    EXPECT_TRUE(seen.count("superset/data1") && seen.count("schedule/data1"));
}

TEST(TaskPaths, NamesAndSiblingsInRunOrder)
{
    TempDir dir;
    EXPECT_EQ(store::taskPath(dir.path(), text::utf8ToGbk("电子")), dir.path() + "/Task/电子.tak");
    EXPECT_EQ(store::taskNameOf("/x/Task/" + std::string("电子") + ".tak"), text::utf8ToGbk("电子"));

    for (const char* f : {"X.tak", "X.dll", "X3.dll", "X11.dll", "X2.dtp", "other.tak"})
        test::writeFile(dir.file(f), "");
    const std::string extra = dir.file("other.tak");
    auto s0 = store::siblingTaskFiles(dir.file("X.tak"), 0, extra + "," + dir.file("gone.tak"), dir.path());
    ASSERT_EQ(s0.size(), 3u);
    EXPECT_EQ(s0[0].label, "other.tak");
    EXPECT_EQ(s0[1].label, "0");
    EXPECT_EQ(s0[1].path, dir.file("X.dll"));
    EXPECT_EQ(s0[2].label, "3");
    auto s1 = store::siblingTaskFiles(dir.file("X.tak"), 1, "", dir.path());
    ASSERT_EQ(s1.size(), 1u);
    EXPECT_EQ(s1[0].label, "2");
    EXPECT_TRUE(store::siblingTaskFiles(dir.file("X.tak"), 2, extra, dir.path()).empty());
}

TEST(LocalPaths, WindowsFormsMapOntoTheFileSystem)
{
    const std::string home = "/data/home";
    EXPECT_TRUE(home::isLocalPath("C:\\lists\\a.txt"));
    EXPECT_TRUE(home::isLocalPath("/tmp/a.txt"));
    EXPECT_TRUE(home::isLocalPath("file:///tmp/a.txt"));
    EXPECT_FALSE(home::isLocalPath("http://a/b"));
    EXPECT_EQ(home::toNativePath("C:\\lists\\a.txt", home), "/lists/a.txt");
    EXPECT_EQ(home::toNativePath("file:///tmp/a.txt", home), "/tmp/a.txt");
    EXPECT_EQ(home::toNativePath("lists\\a.txt", home), "/data/home/lists/a.txt");
    EXPECT_EQ(home::toNativePath(text::utf8ToGbk("/tmp/名单.txt"), home), "/tmp/名单.txt");
    // A relative home (--home data) is taken from the working folder once, so paths built
    // from it and stored in files do not name the home twice.
    const std::string relative = home::resolve("data");
    EXPECT_EQ(relative, std::filesystem::current_path().string() + "/data");
    EXPECT_EQ(home::toNativePath(relative + "/AutoSaveData/t.txt", relative),
              std::filesystem::current_path().string() + "/data/AutoSaveData/t.txt");
    EXPECT_EQ(home::resolve(home), home) << "a chosen home comes before the process environment";
}
