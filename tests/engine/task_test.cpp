// A task file loaded once into the value a run shares, and the one write a task asks for
// when it starts.
#include "engine/task.h"

#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tarvimo;
using test::g;
using test::TaskFile;

TEST(TaskValue, LoadingReadsEverythingOnceAndNeverWrites)
{
    test::TempDir dir;
    for (bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted);
        TaskFile file(dir, {{"标题", "<title>", "</title>", ""}, {"电话", "tel:", "<", ""}},
                      {{"master", "tasktypes", "2"}, {"master", "taktype", "0"}, {"master", "AdditionalTask", "a.tak,b.tak"},
                       {"master", "taskAutoSavePL", "3"}, {"master", "taskAutoSaveName", "/tmp/x"},
                       {"SuperSet", "UseGetNews", "1"}, {"SuperSet", "taskCol", "0"}},
                      encrypted ? "news.tak" : "news.dll");
        if (encrypted)
            test::encryptInPlace(file.path());
        const std::string before = test::readFile(file.path());
        const auto load = engine::loadTask(file.path());
        ASSERT_NE(load.task, nullptr) << load.error;
        const engine::Task& t = *load.task;
        EXPECT_EQ(t.name, "news");
        EXPECT_EQ(t.config.tasktypes, 2);
        EXPECT_EQ(t.additionalTasks, "a.tak,b.tak");
        EXPECT_EQ(t.autoSave.periodMinutes, 3);
        EXPECT_EQ(t.autoSave.name, "/tmp/x");
        EXPECT_EQ(t.rules.begins.at(1), "<title>");
        // Articles into no column of their own: every row carries its page address, in the
        // value at once, while the file is left as it was.
        EXPECT_TRUE(t.config.pageAddressForced);
        EXPECT_TRUE(t.rules.saveUrl);
        EXPECT_EQ(t.layout.titles, (std::vector<std::string>{g("序号"), g("标题"), g("电话"), "URL", g("邮箱"), g("采集时间")}));
        EXPECT_EQ(test::readFile(file.path()), before) << "a reader never writes";

        // The start of a run records it, through the store that matches the file, once.
        EXPECT_TRUE(engine::writeLoadTimeChanges(t));
        {
            store::TEncryptInifile ini(file.path());
            EXPECT_EQ(ini.ReadString("rule", "rulesaveurl", ""), "1");
            EXPECT_EQ(ini.plainMode(), !encrypted) << "a container stays a container";
        }
        EXPECT_FALSE(engine::writeLoadTimeChanges(*engine::loadTask(file.path()).task)) << "already recorded";
    }
}

TEST(TaskValue, AFileThatCannotBeReadIsAnErrorWithItsName)
{
    test::TempDir dir;
    const auto missing = engine::loadTask(dir.file("none.tak"));
    EXPECT_EQ(missing.task, nullptr);
    EXPECT_EQ(missing.error, "cannot read " + dir.file("none.tak"));
    store::SaveCompressedLines({"[master]", "3c5g"}, dir.file("broken.tak"));
    const auto broken = engine::loadTask(dir.file("broken.tak"));
    EXPECT_EQ(broken.task, nullptr);
    EXPECT_TRUE(broken.error.starts_with(dir.file("broken.tak") + ": ")) << broken.error;
    // A task that asks for nothing at load time is not written at all.
    TaskFile quiet(dir, {{"t", "<t>", "</t>", ""}});
    const std::string before = test::readFile(quiet.path());
    EXPECT_FALSE(engine::writeLoadTimeChanges(*engine::loadTask(quiet.path()).task));
    EXPECT_EQ(test::readFile(quiet.path()), before);
}
