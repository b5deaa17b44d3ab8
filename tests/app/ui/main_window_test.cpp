// The main window as a person uses it: the tree, the task list, the tool bar's states, the
// task tabs with real runs against a local server, the category dialogs, the exports and
// a keyword search from the wizard against the demo world.
#include "app/ui/main_window.h"

#include "app/task_library.h"

#include "app/ui/category_dialogs.h"
#include "app/ui/options_dialog.h"
#include "base/home.h"
#include "demo_world/demo_world.h"
#include "directory/ui/search_dialog.h"
#include "output/ui/export_dialog.h"
#include "run/frame_task_data.h"
#include "run/ui/frame_view.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"
#include "support/local_http_server.h"
#include "support/master_support.h"
#include "support/task_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace tarvimo;
using namespace tarvimo::app;
using namespace tarvimo::app::ui;
using test::g;
using Entry = RecordedMessages::Entry;
using fixtures::LocalHttpServer;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
    {
        std::filesystem::create_directories(home::taskFolder(home.path()));
        // Titled in letters: a mobile-number task takes digits out of its titles.
        server.on("GET", "/p/([a-z]+)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<title>page " + req.path.substr(3) + "</title>", "text/html");
        });
        // Held until the test lets go, so a run stays running.
        server.on("GET", "/slow/.*", [this](const httplib::Request&, httplib::Response& res) {
            for (int i = 0; i < 2000 && !release.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            res.set_content("<title>slow</title>", "text/html");
        });
    }
    ~MainWindowTest() override
    {
        release = true;
        if (window) {
            for (const auto& c : window->captions())
                if (auto* f = window->frameOf(c))
                    f->controlRun(engine::RunCommand::Stop);
        }
        window.reset();
    }

    // A task in the library collecting the titles of the given pages (UTF-8 name).
    std::string addTask(const std::string& name, const std::vector<std::string>& paths)
    {
        std::vector<std::string> addresses;
        for (const auto& p : paths)
            addresses.push_back(server.url(p));
        return test::listTask(home, addresses, {}, "Task/" + name + ".tak");
    }

    void open(std::function<void(MainWindowHooks&)> more = {})
    {
        MainWindowHooks h;
        h.messages = &boxes;
        h.execDialog = [this](QDialog& d) { return onDialog ? onDialog(d) : int(QDialog::Rejected); };
        h.exportDialog = [this](run::TFrameTaskData& f, int kind, const std::string& file, const std::string& table) {
            exports.push_back(f.taskName() + "|" + std::to_string(kind) + "|" + file + "|" +
                              text::gbkToUtf8(table));
        };
        if (more)
            more(h);
        MainWindowOptions o;
        o.programDir = home.file("bin");
        o.copySystemProxy = false;
        window = std::make_unique<TmainForm>(test::testEnvironment(home), o, h);
        window->show();
    }

    void clickTool(const char* caption)
    {
        QAction* a = window->action(u(caption));
        ASSERT_NE(a, nullptr) << caption;
        QWidget* button = window->toolBarMain()->widgetForAction(a);
        ASSERT_NE(button, nullptr) << caption;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool toolEnabled(const char* caption) { return window->action(u(caption))->isEnabled(); }
    std::string runState() { return toolEnabled(" 运行 ") ? (toolEnabled(" 暂停 ") ? "?" : "run") : "-"; }

    QStringList listColumn(int column)
    {
        QStringList out;
        for (int r = 0; r < window->listViewtask()->rowCount(); ++r)
            out << window->listViewtask()->item(r, column)->text();
        return out;
    }
    QStringList tabCaptions()
    {
        QStringList out;
        for (int i = 0; i < window->pageControlTaskData()->count(); ++i)
            out << window->pageControlTaskData()->tabText(i);
        return out;
    }
    QStringList treeCaptions()
    {
        QStringList out;
        for (QTreeWidgetItemIterator it(window->treeClass()); *it; ++it) {
            int depth = 0;
            for (auto* p = (*it)->parent(); p; p = p->parent())
                ++depth;
            out << QString(depth * 2, ' ') + (*it)->text(0);
        }
        return out;
    }

    test::TempDir home;
    LocalHttpServer server;
    std::atomic<bool> release{false};
    RecordedMessages boxes{true};
    std::function<int(QDialog&)> onDialog;
    std::vector<std::string> exports;
    std::unique_ptr<TmainForm> window;
};

} // namespace

TEST_F(MainWindowTest, AnEmptyLibraryShowsNoRowsAndNothingToRun)
{
    open();
    EXPECT_EQ(window->windowTitle(), u("Tarvimo"));
    EXPECT_EQ(tabCaptions(), QStringList{u("Tarvimo")});
    EXPECT_EQ(window->statusPanel(1)->text(), u("登录时间"));
    EXPECT_EQ(treeCaptions(), (QStringList{u("tarvimo"), u("   所有任务 "), u("   正在运行 ")}));
    EXPECT_EQ(window->selectedCategoryId(), "0002");
    EXPECT_EQ(window->listViewtask()->rowCount(), 0);
    for (const char* c : {" 运行 ", " 暂停 ", " 停止 ", " 删除 ", " 文本 ", " Excel ", " 数据库 "})
        EXPECT_FALSE(toolEnabled(c)) << c;
    EXPECT_TRUE(toolEnabled(" 新建 "));

    window->runTask();
    window->pauseTask();
    window->stopTask();
    EXPECT_EQ(boxes.entries, (std::vector<Entry>{{Entry::Information, kSelectToRun},
                                                 {Entry::Information, kSelectToPause},
                                                 {Entry::Information, kSelectToStop}}));
    EXPECT_FALSE(std::filesystem::exists(home.file("DefaultCDB.cdb"))) << "nothing is written at start";
}

TEST_F(MainWindowTest, TheLibraryListsEveryTaskWithItsTypeUnderTheSelectedCategory)
{
    addTask("机械", {"/p/a"});
    test::TaskFile company(home, {{"名称", "<b>", "</b>", ""}}, {{"master", "taktype", "0"}}, "Task/公司.tak");
    open();
    EXPECT_EQ(listColumn(0), (QStringList{u("公司"), u("机械")}));
    EXPECT_EQ(listColumn(1), (QStringList{u(" 所有任务 "), u(" 所有任务 ")}));
    EXPECT_EQ(listColumn(2), (QStringList{u("[企业名录]"), u("[手机号]")}));
    EXPECT_EQ(window->listViewtask()->horizontalHeaderItem(4)->text(), u("进度估算"));
    EXPECT_EQ(window->selectedTaskName(), g("公司"));
    // A library task without a tab: run, delete and properties.
    EXPECT_TRUE(toolEnabled(" 运行 "));
    EXPECT_TRUE(toolEnabled(" 删除 "));
    EXPECT_FALSE(toolEnabled(" 暂停 "));
    EXPECT_FALSE(toolEnabled(" 文本 "));

    // A damaged file ends the listing with the warning; the rows before it stay.
    test::writeFile(home.file("Task/损坏.tak"), std::string("\x78\x9c\x01\x02", 4));
    window->selectCategory("0002");
    EXPECT_EQ(listColumn(0), (QStringList{u("公司")}));
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, "加载任务时出现错误！"}));
}

TEST_F(MainWindowTest, RunPauseResumeAndStopFromTheToolBarWithRowsArrivingInTheTab)
{
    addTask("标题", {"/p/a", "/p/b", "/p/c", "/slow/1"});
    open();
    clickTool(" 运行 ");
    ASSERT_EQ(tabCaptions(), (QStringList{u("Tarvimo"), u("标题")}));
    EXPECT_EQ(window->pageControlTaskData()->currentIndex(), 1);
    EXPECT_EQ(window->selectedCategoryId(), "0003") << "the list shows the running tasks";
    EXPECT_EQ(window->selectedTaskName(), g("标题"));
    EXPECT_TRUE(toolEnabled(" 暂停 "));
    EXPECT_TRUE(toolEnabled(" 停止 "));
    EXPECT_FALSE(toolEnabled(" 运行 "));
    EXPECT_TRUE(toolEnabled(" Excel "));

    run::TFrameTaskData* frame = window->frameOf(g("标题"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->className(), g(" 所有任务 "));
    auto* grid = window->viewOf(g("标题"))->stringGridData();
    ASSERT_TRUE(test::spinUntil([&] { return frame->grid().dataRowCount() == 3; }));
    EXPECT_EQ(grid->model()->rowCount(), 4) << "three rows and the empty append row";
    QStringList titles;
    for (int r = 0; r < 3; ++r)
        titles << grid->model()->index(r, 1).data().toString();
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"page a", "page b", "page c"}));

    clickTool(" 暂停 ");
    EXPECT_EQ(frame->runState(), engine::RunStatus::Paused);
    EXPECT_TRUE(toolEnabled(" 运行 "));
    EXPECT_FALSE(toolEnabled(" 暂停 "));
    EXPECT_TRUE(toolEnabled(" 停止 "));
    window->timer1Tick();
    EXPECT_EQ(listColumn(0), QStringList{u("标题")});

    clickTool(" 运行 ");
    EXPECT_EQ(frame->runState(), engine::RunStatus::Running);
    EXPECT_TRUE(toolEnabled(" 暂停 "));
    EXPECT_EQ(tabCaptions().size(), 2) << "the tab is resumed, not opened again";

    // Closing is refused while a task runs.
    EXPECT_FALSE(window->close());
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, kStopAllFirst}));

    clickTool(" 停止 ");
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    EXPECT_TRUE(frame->finished());
    EXPECT_TRUE(toolEnabled(" 运行 "));
    EXPECT_FALSE(toolEnabled(" 停止 "));
    // The list follows the frame's counters on the window's timer.
    EXPECT_TRUE(test::spinUntil([&] { return listColumn(3) == QStringList{"3"}; }, 5000));
    EXPECT_EQ(window->listViewtask()->item(0, 0)->data(Qt::UserRole + 1).toInt(), 6) << "the stopped image";

    // Running an ended task says so.
    clickTool(" 运行 ");
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Information, kAlreadyStopped}));
    release = true;
    ASSERT_TRUE(frame->waitForThreads(20000));
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ThreeTaskTabsAtMostAndNamesCompareWithLetterCase)
{
    for (const char* n : {"Abc", "abc", "third", "fourth"})
        addTask(n, {std::string("/slow/") + n});
    open();
    for (const char* n : {"Abc", "abc", "third"}) {
        window->selectCategory("0002");
        window->selectTask(n);
        window->runTask();
    }
    EXPECT_EQ(tabCaptions(), (QStringList{"Tarvimo", "Abc", "abc", "third"}));
    EXPECT_NE(window->frameOf("Abc"), window->frameOf("abc"));

    window->selectCategory("0002");
    window->selectTask("fourth");
    window->runTask();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Information, kTabLimit}));
    EXPECT_EQ(window->pageCount(), 4);

    // One of the three again: allowed, it is resumed.
    const auto said = boxes.entries.size();
    window->selectCategory("0002");
    window->selectTask("abc");
    window->runTask();
    EXPECT_EQ(boxes.entries.size(), said);
    EXPECT_EQ(window->pageCount(), 4);
    EXPECT_EQ(window->pageControlTaskData()->currentIndex(), 2);
    EXPECT_EQ(window->selectedTaskName(), "abc");
}

TEST_F(MainWindowTest, DeletingATaskWithAnOpenTabLeavesTheTabRunning)
{
    const std::string path = addTask("旧任务", {"/slow/a"});
    test::writeFile(home.file("Task/旧任务.dll"), "[master]\r\n");
    test::writeFile(home.file("Task/旧任务3.dtp"), "[master]\r\n");
    test::writeFile(home.file("Task/旧任务11.dll"), "[master]\r\n");
    open();
    window->runTask();
    window->selectCategory("0002");
    window->selectTask(g("旧任务"));
    clickTool(" 删除 ");
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Question, kConfirmDeleteTask}));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(home.file("Task/旧任务.dll")));
    EXPECT_FALSE(std::filesystem::exists(home.file("Task/旧任务3.dtp")));
    EXPECT_TRUE(std::filesystem::exists(home.file("Task/旧任务11.dll")));
    EXPECT_EQ(window->listViewtask()->rowCount(), 0);
    EXPECT_FALSE(toolEnabled(" 删除 "));
    EXPECT_EQ(tabCaptions(), (QStringList{u("Tarvimo"), u("旧任务")}));
    EXPECT_EQ(window->frameOf(g("旧任务"))->runState(), engine::RunStatus::Running);

    // Deleting from the running view does nothing.
    window->selectRunningCategory();
    const auto said = boxes.entries.size();
    window->deleteTask();
    EXPECT_EQ(boxes.entries.size(), said);
}

TEST_F(MainWindowTest, ClosingATabGoesThroughItsFrameAndTheListFollows)
{
    addTask("关闭", {"/slow/c"});
    open();
    window->runTask();
    window->closeActiveTab();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, "请先停止该任务再关闭"}));
    EXPECT_EQ(window->pageCount(), 2);
    window->stopTask();
    release = true;
    ASSERT_TRUE(window->frameOf(g("关闭"))->waitForThreads(20000));
    window->action(u("关闭当前任务区"))->trigger();
    ASSERT_TRUE(test::spinUntil([&] { return window->pageCount() == 1; }));
    EXPECT_EQ(window->listViewtask()->rowCount(), 0) << "the running view lists no tab";
    EXPECT_EQ(window->frameOf(g("关闭")), nullptr);
    window->closeActiveTab();  // the start page: nothing happens
    EXPECT_EQ(window->pageCount(), 1);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, CategoryDialogsChangeTheTreeAndTheStoredFile)
{
    open();
    // "新建" below a user category's parent, as the user fills the dialog in.
    onDialog = [](QDialog& d) {
        auto* f = dynamic_cast<TnewClassForm*>(&d);
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(d.windowTitle(), u("新建类别"));
        EXPECT_EQ(categoryIdOf(f->tree()->currentItem()), "0002") << "the main tree's selection";
        f->nameEdit()->setText(u("机械"));
        f->remarkEdit()->setText(u("机械类"));
        QTest::mouseClick(f->okButton(), Qt::LeftButton);
        return d.result();
    };
    window->newCategory();
    EXPECT_EQ(treeCaptions(), (QStringList{u("tarvimo"), u("   所有任务 "), u("    机械"), u("   正在运行 ")}));
    std::vector<std::string> lines;
    store::LoadCompressedLines(home.file("DefaultCDB.cdb"), lines);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "0005^%^!0002^%^!" + g("机械") + "^%^!" + g("机械类"));

    // Below the running tasks: refused, the dialog stays open, nothing changes.
    window->selectCategory("0003");
    onDialog = [](QDialog& d) {
        auto* f = dynamic_cast<TnewClassForm*>(&d);
        f->nameEdit()->setText("x");
        QTest::mouseClick(f->okButton(), Qt::LeftButton);
        EXPECT_NE(d.result(), QDialog::Accepted);
        d.reject();
        return d.result();
    };
    window->newCategory();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, kCreateOutsideBranch}));
    EXPECT_EQ(window->categories().lines().size(), 4u);

    // Properties of a reserved node: the note shows and the name is locked.
    window->selectCategory("0002");
    onDialog = [](QDialog& d) {
        auto* f = dynamic_cast<TtreeUpdate*>(&d);
        EXPECT_EQ(d.windowTitle(), u("类属性"));
        EXPECT_FALSE(f->note()->isHidden());
        EXPECT_FALSE(f->nameEdit()->isEnabled());
        d.reject();
        return d.result();
    };
    window->categoryProperties();
    // ... and of the user's category: renamed in the tree.
    window->selectCategory("0005");
    onDialog = [](QDialog& d) {
        auto* f = dynamic_cast<TtreeUpdate*>(&d);
        EXPECT_TRUE(f->note()->isHidden());
        f->nameEdit()->setText(u("重型机械"));
        QTest::mouseClick(f->okButton(), Qt::LeftButton);
        return d.result();
    };
    window->categoryProperties();
    EXPECT_EQ(treeCaptions()[2], u("    重型机械"));

    // Move: the boxes are locked and show the chosen node; below itself is refused.
    onDialog = [](QDialog& d) {
        auto* f = dynamic_cast<TnewClassForm*>(&d);
        EXPECT_EQ(d.windowTitle(), u("转移到..."));
        EXPECT_FALSE(f->nameEdit()->isEnabled());
        f->tree()->setCurrentItem(findCategoryItem(*f->tree(), "0003"));
        EXPECT_EQ(f->nameEdit()->text(), u(" 正在运行 "));
        QTest::mouseClick(f->okButton(), Qt::LeftButton);
        EXPECT_NE(d.result(), QDialog::Accepted);
        d.reject();
        return d.result();
    };
    window->selectCategory("0005");
    window->moveCategory();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, kCannotMoveHere}));

    // Delete: the reserved node cannot go; the user's goes after the question.
    window->selectCategory("0002");
    window->deleteCategory();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, kCannotDelete}));
    window->selectCategory("0005");
    window->deleteCategory();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Question, kConfirmDelete}));
    EXPECT_EQ(treeCaptions(), (QStringList{u("tarvimo"), u("   所有任务 "), u("   正在运行 ")}));
    EXPECT_EQ(window->selectedCategoryId(), "0002");
}

TEST_F(MainWindowTest, ExportsNeedATaskTabAndTheAccessExportAsksForFileAndTable)
{
    addTask("导出", {"/p/a"});
    std::vector<std::string> asked;
    open([&](MainWindowHooks& h) {
        h.chooseAccessFile = [&]() -> std::optional<QString> {
            asked.push_back("file");
            return home.file("out.mdb").c_str();
        };
        h.chooseAccessTable = [&]() -> std::optional<QString> {
            asked.push_back("table");
            return u("企业");
        };
    });
    for (const char* item : {"数据输出到文本", "数据输出到Excel", "数据输出到Access", "导入数据库"})
        window->action(u(item))->trigger();
    EXPECT_EQ(boxes.entries, std::vector<Entry>(4, Entry{Entry::Warning, kNoCollectedData}));
    EXPECT_TRUE(exports.empty());
    EXPECT_TRUE(asked.empty());

    window->runTask();
    ASSERT_TRUE(test::spinUntil([&] { return window->activeFrame() && window->activeFrame()->finished(); }));
    clickTool(" 文本 ");
    clickTool(" Excel ");
    clickTool(" 数据库 ");
    window->action(u("数据输出到Access"))->trigger();
    QTest::mouseClick(window->viewOf(g("导出"))->speedButton2(), Qt::LeftButton);
    EXPECT_EQ(exports, (std::vector<std::string>{"导出|0||", "导出|1||", "导出|3||",
                                                 "导出|3|" + home.file("out.mdb") + "|企业", "导出|0||"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"file", "table"}));
}

TEST_F(MainWindowTest, TheRealExportAndOptionsDialogsOpenFromTheWindow)
{
    addTask("真", {"/p/a"});
    open([](MainWindowHooks& h) { h.exportDialog = nullptr; });
    window->runTask();
    ASSERT_TRUE(test::spinUntil([&] { return window->activeFrame()->finished(); }));
    QString seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<output::ui::ExportDialog*>(QApplication::activeModalWidget())) {
            seen = d->windowTitle();
            d->reject();
        }
    });
    watch.start(10);
    clickTool(" 文本 ");
    watch.stop();
    EXPECT_FALSE(seen.isEmpty()) << "the export dialog was shown";

    onDialog = [&](QDialog& d) {
        seen = d.windowTitle();
        EXPECT_NE(dynamic_cast<OptionsDialog*>(&d), nullptr);
        return int(QDialog::Rejected);
    };
    window->action(u("选项"))->trigger();
    EXPECT_EQ(seen, u("选项"));
}

TEST_F(MainWindowTest, ManualAndDesktopProgramsOpenThroughTheShell)
{
    std::vector<QString> opened;
    test::TempDir bin;
    test::writeFile(bin.file("mousepad"), "#!/bin/sh\n");
    std::filesystem::permissions(bin.file("mousepad"), std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.path() + ":" + oldPath).c_str(), 1);
    open([&](MainWindowHooks& h) {
        h.openUrl = [&](const QUrl& url) {
            opened.push_back(url.toLocalFile());
            return true;
        };
        h.startProgram = [&](const QString& p) {
            opened.push_back(p);
            return true;
        };
    });
    setenv("PATH", oldPath.c_str(), 1);

    window->action(u("用户手册"))->trigger();
    EXPECT_EQ(boxes.entries.back(), (Entry{Entry::Warning, "找不到用户手册"}));
    std::filesystem::create_directories(home.file("share/doc/tarvimo/manual"));
    test::writeFile(home.file("share/doc/tarvimo/manual/index.html"), "<p>manual</p>");
    window->action(u("用户手册"))->trigger();
    ASSERT_NE(window->action(u("记事本")), nullptr) << "an installed editor is offered";
    window->action(u("记事本"))->trigger();
    EXPECT_EQ(opened, (std::vector<QString>{QString::fromStdString(home.file("share/doc/tarvimo/manual/index.html")),
                                            QString::fromStdString(bin.file("mousepad"))}));
}

TEST_F(MainWindowTest, AKeywordSearchFromTheWizardFillsATaskTab)
{
    demo::DemoWorld world;
    ASSERT_TRUE(world.start());
    test::writeFile(home.file("sites.ini"), world.sitesIni());
    open();
    onDialog = [](QDialog& d) {
        auto* s = dynamic_cast<directory::ui::SearchDialog*>(&d);
        EXPECT_NE(s, nullptr);
        EXPECT_EQ(d.windowTitle(), u("新任务"));
        d.show();
        s->keyword()->setText(u("机械"));
        QTest::mouseClick(s->bitBtn1(), Qt::LeftButton);
        EXPECT_TRUE(test::spinUntil([&] { return !d.isVisible(); }, 60000));
        return d.result();
    };
    clickTool(" 新建 ");
    ASSERT_EQ(tabCaptions(), (QStringList{u("Tarvimo"), u("机械")}));
    run::TFrameTaskData* frame = window->frameOf(g("机械"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->keyword(), g("机械"));
    EXPECT_EQ(window->selectedCategoryId(), "0003");
    ASSERT_TRUE(test::spinUntil([&] { return frame->grid().dataRowCount() >= 5; }, 120000));
    auto* grid = window->viewOf(g("机械"))->stringGridData();
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), u("公司名称"));
    EXPECT_FALSE(grid->model()->index(0, 1).data().toString().isEmpty());
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "1") << "serial numbers from 1";

    clickTool(" 停止 ");
    EXPECT_EQ(frame->runState(), engine::RunStatus::Ended);
    ASSERT_TRUE(frame->waitForThreads(60000));
    EXPECT_TRUE(test::spinUntil(
        [&] { return listColumn(3) == QStringList{QString::number(frame->grid().dataRowCount())}; }, 5000));
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ViewMenuTogglesAndWindowStylesAreKeptInTheSettings)
{
    open();
    QAction* showText = window->action(u("工具栏文字"));
    EXPECT_TRUE(showText->isChecked()) << "showText defaults to on";
    showText->trigger();
    EXPECT_EQ(window->toolBarMain()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    window->action(u("网格"))->trigger();
    EXPECT_FALSE(window->listViewtask()->showGrid());
    window->action(u("工具栏"))->trigger();
    EXPECT_TRUE(window->toolBarMain()->isHidden());

    window->action(u("XP式"))->trigger();
    EXPECT_EQ(QApplication::style()->name().toLower(), "windows");
    window->action(u("无"))->trigger();
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    store::TIniFile ini(home.file("DefaultSet.ini"));
    EXPECT_EQ(ini.ReadString("userSet", "formStyle", ""), "1");
}
