// The automatic runs on the desktop as a person sees them: the auto-run dialog's rows and
// buttons, one dialog at start for every task set to run at start, the tabs the confirmed
// tasks open in, and a daily task opening its tab at its minute.
#include "automation/ui/auto_task_form.h"

#include "app/ui/desktop_automation.h"
#include "app/ui/main_window.h"
#include "automation_support.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

using namespace tarvimo;
using namespace tarvimo::automation;
using automation::ui::TautoTaskForm;
using test::g;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

QStringList row(QTableWidget* list, int r)
{
    QStringList out;
    for (int c = 0; c < list->columnCount(); ++c)
        out << list->item(r, c)->text();
    return out;
}

class AutoRunDialogTest : public ::testing::Test {
protected:
    AutoRunDialogTest()
    {
        h.task("甲任务", site, {"/c/a"}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}, {"", "autoruncount", "2"},
                                          {"", "autorunPauseTime", "30"}});
        h.task("乙任务", site, {"/c/b"}, {{"", "autotask", "1"}, {"", "autorunsystem", "1"}});
        h.task("daily", site, {"/c/d"}, {{"", "autotask", "1"}, {"", "autorunsystem", "0"}, {"", "autorunTime", "10:00"}});
        h.task("manual", site, {"/c/m"});
    }
    test::AutoHome h;
    test::TitleSite site;
};

} // namespace

TEST_F(AutoRunDialogTest, ListsTheStartupTasksCheckedAndStartsOnlyTheCheckedOnes)
{
    AutomationOptions options;
    options.secondMs = 5;
    test::FrameHost host(h.env());
    AutomaticRuns runs(h.env(), host, options);
    TautoTaskForm form(runs, h.dir.path());
    form.show();
    EXPECT_EQ(form.windowTitle(), u("自动运行的任务"));
    QTableWidget* list = form.list();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), u("任务名称"));
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), u("运行次数"));
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), u("间隔时间"));
    EXPECT_EQ(row(list, 0), (QStringList{u("乙任务"), "0", u("1分钟")})) << "library order";
    EXPECT_EQ(row(list, 1), (QStringList{u("甲任务"), "2", u("30分钟")}));
    EXPECT_EQ(list->item(0, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(1, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(form.interval()->text(), "1");
    EXPECT_EQ(form.okButton()->text(), u("确定(&Y)"));
    EXPECT_EQ(form.cancelButton()->text(), u("取消(&N)"));

    list->item(0, 0)->setCheckState(Qt::Unchecked);
    form.interval()->setText("abc");  // counts as one second
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
    EXPECT_FALSE(form.okButton()->isEnabled());
    EXPECT_FALSE(form.cancelButton()->isEnabled());
    form.reject();  // closing while the starts go on does nothing
    EXPECT_TRUE(form.isVisible());
    ASSERT_TRUE(test::spinUntil([&] { return form.result() == QDialog::Accepted && !form.isVisible(); }));
    EXPECT_EQ(host.starts, (std::vector<std::string>{"甲任务"}));
    EXPECT_EQ(host.list, (std::vector<std::string>{g("甲任务")}));
}

TEST_F(AutoRunDialogTest, CancelStartsNothing)
{
    test::FrameHost host(h.env());
    AutomaticRuns runs(h.env(), host);
    TautoTaskForm form(runs, h.dir.path());
    form.show();
    QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    test::spinUntil([] { return false; }, 100);
    EXPECT_TRUE(host.starts.empty());
    EXPECT_TRUE(host.list.empty());
}

TEST_F(AutoRunDialogTest, TheDesktopShowsOneDialogForBothStartupTasksAndRunsThemInTabs)
{
    RecordedMessages boxes;
    QDateTime now = QDateTime::fromString("2026-12-10 09:59:30", "yyyy-MM-dd HH:mm:ss");
    std::vector<QStringList> dialogs;
    app::ui::DesktopAutomation* automation = nullptr;
    app::ui::MainWindowHooks hooks;
    hooks.messages = &boxes;
    hooks.shown = [&] { automation->scanScheduledTasks(); };
    app::ui::MainWindowOptions o;
    o.programDir = h.dir.file("bin");
    o.copySystemProxy = false;
    auto window = std::make_unique<app::ui::TmainForm>(h.env(), o, hooks);

    AutomationOptions options;
    options.clock = [&] { return now; };
    options.secondMs = 5;
    automation = new app::ui::DesktopAutomation(*window, options, [&](QDialog& d) {
        auto& form = dynamic_cast<TautoTaskForm&>(d);
        QStringList names;
        for (int r = 0; r < form.list()->rowCount(); ++r)
            names << form.list()->item(r, 0)->text();
        dialogs.push_back(names);
        form.show();
        QTest::mouseClick(form.okButton(), Qt::LeftButton);
        test::spinUntil([&] { return form.result() == QDialog::Accepted; });
        return form.result();
    });
    window->show();
    ASSERT_TRUE(test::spinUntil([&] { return window->pageControlTaskData()->count() == 3; }));
    test::spinUntil([] { return false; }, 100);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], (QStringList{u("乙任务"), u("甲任务")}));
    QTabWidget* pages = window->pageControlTaskData();
    EXPECT_EQ(pages->tabText(1), u("乙任务"));
    EXPECT_EQ(pages->tabText(2), u("甲任务"));
    EXPECT_EQ(automation->runs().autoTask().tasks(), (std::vector<std::string>{"daily", g("乙任务"), g("甲任务")}));

    // The daily task opens its tab at its minute, once.
    automation->runs().autoTask().tick();
    EXPECT_EQ(pages->count(), 3);
    now = now.addSecs(40);
    automation->runs().autoTask().tick();
    automation->runs().autoTask().tick();
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->tabText(3), "daily");
    ASSERT_TRUE(test::spinUntil([&] {
        auto* f = window->frameOf("daily");
        return f && f->finished();
    }));
    const run::ResultGrid& grid = window->frameOf("daily")->grid();
    ASSERT_EQ(grid.dataRowCount(), 1);
    bool collected = false;
    for (int c = 0; c < grid.gridColumnCount(); ++c)
        collected = collected || grid.cell(1, c) == "company d";
    EXPECT_TRUE(collected);
    EXPECT_TRUE(boxes.entries.empty());
    for (const auto& c : window->captions())
        if (auto* f = window->frameOf(c))
            f->controlRun(engine::RunCommand::Stop);
    window.reset();
}
