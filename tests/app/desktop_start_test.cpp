// What the desktop program decides before its window shows: the single-instance lock, the
// system proxy copy, the tool bar's state codes, and the task library on disk.
#include "app/desktop_start.h"
#include "app/task_library.h"

#include "base/home.h"
#include "store/tinifile.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

using namespace tarvimo;
using namespace tarvimo::app;

TEST(SingleInstance, ASecondStartOnTheSameHomeFindsTheFirstAndTheLockGoesWithIt)
{
    test::TempDir runtime;
    {
        SingleInstance first(runtime.path(), "/home/a");
        ASSERT_TRUE(first.acquired());
        SingleInstance second(runtime.path(), "/home/a");
        EXPECT_FALSE(second.acquired());
        EXPECT_TRUE(second.anotherRunning());
        SingleInstance otherHome(runtime.path(), "/home/b");
        EXPECT_TRUE(otherHome.acquired()) << "another home is another library";
    }
    SingleInstance after(runtime.path(), "/home/a");
    EXPECT_TRUE(after.acquired()) << "the lock ends with its holder";
}

TEST(SingleInstance, AnUnusableRuntimeFolderLetsTheProgramRunUnguarded)
{
    test::TempDir dir;
    test::writeFile(dir.file("file"), "x");
    SingleInstance s(dir.file("file") + "/below", "/home/a");
    EXPECT_FALSE(s.acquired());
    EXPECT_FALSE(s.anotherRunning());
}

TEST(SystemProxy, TheFirstProxyVariableGivesHostAndPort)
{
    std::map<std::string, std::string> env;
    auto get = [&](const char* n) { return env.count(n) ? env[n].c_str() : nullptr; };
    EXPECT_FALSE(systemProxy(get).enabled);

    env["HTTPS_PROXY"] = "http://secure.example:8443";
    env["http_proxy"] = "http://user:pa:ss@proxy.example:3128/";
    auto p = systemProxy(get);
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.server, "proxy.example");
    EXPECT_EQ(p.port, "3128");

    env.erase("http_proxy");
    env["HTTP_PROXY"] = "";
    p = systemProxy(get);
    EXPECT_EQ(p.server, "secure.example") << "an empty variable counts as unset";
    EXPECT_EQ(p.port, "8443");

    env["http_proxy"] = "cache.lan";
    p = systemProxy(get);
    EXPECT_EQ(p.server, "cache.lan");
    EXPECT_EQ(p.port, "");
}

TEST(SystemProxy, TheCopyWritesTheProxySectionAndTurnsItOffWhenThereIsNone)
{
    test::TempDir home;
    const std::string ini = home.file("DefaultSet.ini");
    copySystemProxy(ini, {true, "proxy.example", "3128"});
    {
        store::TIniFile f(ini);
        EXPECT_EQ(f.ReadString("proxy", "useproxy", ""), "1");
        EXPECT_EQ(f.ReadString("proxy", "servername", ""), "proxy.example");
        EXPECT_EQ(f.ReadString("proxy", "port", ""), "3128");
    }
    copySystemProxy(ini, {});
    store::TIniFile f(ini);
    EXPECT_EQ(f.ReadString("proxy", "UseProxy", ""), "0");
    EXPECT_EQ(f.ReadString("proxy", "servername", ""), "proxy.example") << "only UseProxy is written";

    // A settings path that cannot be written is ignored.
    test::writeFile(home.file("plain"), "x");
    copySystemProxy(home.file("plain") + "/DefaultSet.ini", {true, "h", "1"});
}

TEST(ToolbarState, EachCodeUsedByTheWindowEnablesItsButtons)
{
    using S = ToolbarState;
    const ToolbarState all{true, true, true, true, true, true};
    // run, pause, stop, delete, properties, exports
    EXPECT_EQ(applyToolbarCode(all, "0"), (S{false, false, false, false, false, false}));
    EXPECT_EQ(applyToolbarCode(all, "04"), (S{false, false, false, true, true, false}));
    EXPECT_EQ(applyToolbarCode(all, "034"), (S{true, false, false, true, true, false}));
    EXPECT_EQ(applyToolbarCode(all, "0145"), (S{false, true, true, true, true, true}));
    EXPECT_EQ(applyToolbarCode(all, "0245"), (S{true, false, true, true, true, true}));
    EXPECT_EQ(applyToolbarCode(all, "0345"), (S{true, false, false, true, true, true}));
    EXPECT_EQ(applyToolbarCode({}, "3"), (S{true, false, false, false, false, false}));
    EXPECT_EQ(applyToolbarCode({}, "1x"), (S{false, true, true, false, false, false})) << "other characters do nothing";
}

TEST(DataFiles, TheHomesStartPageWinsOverTheInstalledOne)
{
    test::TempDir root;
    const std::string program = root.file("bin");
    std::filesystem::create_directories(program);
    EXPECT_EQ(startPagePath(root.file("home"), program), "");
    EXPECT_EQ(manualPath(program), "");
    for (const char* d : {"share/tarvimo/files", "share/doc/tarvimo/manual", "home/files"})
        std::filesystem::create_directories(root.file(d));
    test::writeFile(root.file("share/tarvimo/files/tarvimo.htm"), "<p>installed</p>");
    test::writeFile(root.file("share/doc/tarvimo/manual/index.html"), "<p>manual</p>");
    EXPECT_EQ(startPagePath(root.file("home"), program), root.file("share/tarvimo/files/tarvimo.htm"));
    EXPECT_EQ(manualPath(program), root.file("share/doc/tarvimo/manual/index.html"));
    test::writeFile(root.file("home/files/tarvimo.htm"), "<p>own</p>");
    EXPECT_EQ(startPagePath(root.file("home"), program), root.file("home/files/tarvimo.htm"));
}

TEST(TaskLibrary, ListsTaskFilesByNameWithTheirTypeAndStopsAtOneItCannotRead)
{
    test::TempDir home;
    const std::string folder = home::taskFolder(home.path());
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(listTasks(home.path()).tasks.empty());

    test::TempDir scratch;
    auto task = [&](const std::string& nameUtf8, const std::string& taktype, bool encrypted) {
        test::TaskFile t(scratch, {{"标题", "<title>", "</title>", ""}}, {{"master", "taktype", taktype}});
        if (encrypted)
            test::encryptInPlace(t.path());
        std::filesystem::copy_file(t.path(), folder + "/" + nameUtf8 + ".tak",
                                   std::filesystem::copy_options::overwrite_existing);
    };
    task("机械", "0", true);
    task("Abc", "1", false);
    task("abc", "2", false);
    test::writeFile(folder + "/notes.txt", "not a task");
    test::writeFile(folder + "/upper.TAK", "[master]\r\ntaktype=1\r\n");

    auto listing = listTasks(home.path());
    ASSERT_EQ(listing.tasks.size(), 4u);
    EXPECT_TRUE(listing.failedFile.empty());
    std::vector<std::pair<std::string, int>> got;
    for (const auto& t : listing.tasks)
        got.emplace_back(text::gbkToUtf8(t.name), t.taktype);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{{"Abc", 1}, {"abc", 2}, {"upper", 1}, {"机械", 0}}));

    // A damaged container: the rows before it stay, the listing ends there.
    test::writeFile(folder + "/b-damaged.tak", std::string("\x78\x9c\x01\x02\x03", 5));
    listing = listTasks(home.path());
    EXPECT_EQ(listing.failedFile, folder + "/b-damaged.tak");
    ASSERT_EQ(listing.tasks.size(), 2u);
    EXPECT_EQ(listing.tasks[1].name, "abc");
}

TEST(TaskLibrary, DeletingATaskTakesItsCompanionFilesAndNothingElse)
{
    test::TempDir home;
    const std::string folder = home::taskFolder(home.path());
    std::filesystem::create_directories(folder);
    for (const char* f : {"x.tak", "x.dll", "x1.dll", "x10.dll", "x3.dtp", "x10.dtp", "x11.dll", "xy.tak", "X.tak"})
        test::writeFile(folder + "/" + f, "[master]\r\n");
    EXPECT_TRUE(deleteTaskFiles(home.path(), "x").empty());
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"x11.dll", "xy.tak", "X.tak"}));
}
