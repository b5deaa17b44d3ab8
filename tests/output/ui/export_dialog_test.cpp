// The export dialog's window: its controls per target, the ranges a grid gives, the
// separator box, a text file written through the save dialog with the progress window up,
// and exports into a real SQLite file (listed tables, single choice, new table, mapping,
// the quick export into a desktop database file).
#include "output/ui/export_dialog.h"

#include "../export_support.h"
#include "output/ui/db_dialogs.h"
#include "output/ui/db_interface_dialog.h"
#include "output/ui/progress_window.h"
#include "ui_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>

using namespace tarvimo;
using namespace tarvimo::test;
using tarvimo::output::ui::ExportDialog;
using Entry = RecordedMessages::Entry;

namespace {

class ExportDialogTest : public ::testing::Test {
protected:
    ExportDialogTest()
    {
        fillGrid(grid, {{g("甲公司"), g("张三"), "13900000001"}, {g("乙公司"), g("李四"), "13900000002"}});
    }
    std::unique_ptr<ExportDialog> dialog(int kind)
    {
        return std::make_unique<ExportDialog>(grid, kind, settings, nullptr, nullptr,
                                              output::ui::Services{&said, &desktop});
    }
    // Section DB naming the SQLite file, with one table of two rows in it.
    void useSqlite()
    {
        writeSettings(settings, "[DB]\nDbType=1\nDBConnectStr=Data Source=" + database + "\n");
        SqliteFile db(database);
        QSqlQuery(db.db()).exec("create table company (name varchar(255), phone varchar(255))");
        QSqlQuery(db.db()).exec("create table archive (name varchar(255))");
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& e : said.entries)
            out.push_back(e.text);
        return out;
    }

    TempDir dir{"tarvimo-export-ui"};
    std::string settings = dir.file("DefaultSet.ini");
    std::string database = dir.file("rows.db");
    run::ResultGrid grid;
    RecordedMessages said;
    RecordedDesktop desktop;
};

// The check marks of the table list, "x" for a checked item.
QString marks(QListWidget* list)
{
    QString out;
    for (int i = 0; i < list->count(); ++i)
        out += list->item(i)->checkState() == Qt::Checked ? 'x' : '.';
    return out;
}

void clickItem(QListWidget* list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

} // namespace

TEST_F(ExportDialogTest, EachTargetShowsItsTitleAndOnlyItsControls)
{
    struct Case {
        int kind;
        const char* title;
        bool separator, database;
    };
    for (const Case& c : {Case{output::kTextFile, "数据输出到文本", true, false},
                          Case{output::kWorkbook, "数据输出到Excel", false, false},
                          Case{output::kDatabase, "数据输出到数据库", false, true}}) {
        SCOPED_TRACE(c.title);
        auto d = dialog(c.kind);
        d->show();
        EXPECT_EQ(d->windowTitle(), q("数据输出"));
        EXPECT_EQ(control<QLabel>(d.get(), "title")->text(), q(c.title));
        EXPECT_EQ(captionOf(control<QLineEdit>(d.get(), "LabeledEdit1")), q("行范围："));
        EXPECT_EQ(captionOf(control<QLineEdit>(d.get(), "LabeledEdit2")), q("到 "));
        EXPECT_EQ(captionOf(control<QLineEdit>(d.get(), "LabeledEdit3")), q("列范围："));
        EXPECT_TRUE(control<QLineEdit>(d.get(), "LabeledEdit1")->isEnabled());
        EXPECT_FALSE(control<QLineEdit>(d.get(), "LabeledEdit3")->isEnabled());
        EXPECT_FALSE(control<QLineEdit>(d.get(), "LabeledEdit4")->isEnabled());
        EXPECT_EQ(control<QCheckBox>(d.get(), "CheckBox3")->text(), q("输出列标题"));
        EXPECT_EQ(control<QLineEdit>(d.get(), "LabeledEdit5")->isVisible(), c.separator);
        EXPECT_EQ(control<QLabel>(d.get(), "Label2")->isVisible(), c.separator);
        for (const char* name : {"CheckListBox1", "CheckBox5", "LabeledEdit6", "Button4", "Button5", "BitBtn1"})
            EXPECT_EQ(control<QWidget>(d.get(), name)->isVisible(), c.database) << name;
        EXPECT_FALSE(control<QLabel>(d.get(), "qsh")->isVisible());
        EXPECT_EQ(control<QPushButton>(d.get(), "saveok")->text(), q("确定"));
        EXPECT_EQ(control<QPushButton>(d.get(), "Button2")->text(), q("取消"));
    }
    auto d = dialog(output::kDatabase);
    EXPECT_EQ(captionOf(control<QListWidget>(d.get(), "CheckListBox1")), q("现有表："));
    EXPECT_EQ(captionOf(control<QLineEdit>(d.get(), "LabeledEdit6")), q("表名称："));
    EXPECT_EQ(control<QCheckBox>(d.get(), "CheckBox5")->text(), q("使用新表"));
    EXPECT_EQ(control<QPushButton>(d.get(), "Button4")->text(), q("配置连接..."));
    EXPECT_EQ(control<QPushButton>(d.get(), "Button5")->text(), q("刷新"));
    EXPECT_EQ(control<QPushButton>(d.get(), "BitBtn1")->text(), q("定义数据接口"));
    EXPECT_EQ(control<QLabel>(d.get(), "qsh")->text(), q("正在进行，请稍候..."));
    auto text = dialog(output::kTextFile);
    EXPECT_EQ(captionOf(control<QLineEdit>(text.get(), "LabeledEdit5")), q("数据分割符："));
    EXPECT_EQ(control<QLabel>(text.get(), "Label2")->text(), q("（默认为一个Tab符）"));
    EXPECT_EQ(control<QLineEdit>(text.get(), "LabeledEdit5")->text(), q("\t"));
}

TEST_F(ExportDialogTest, TheRangesStartAsTheGridIsAndANonNumberIsRefused)
{
    auto d = dialog(output::kTextFile);
    d->show();
    // Two data rows and the empty append row; columns 0 .. 3.
    EXPECT_EQ(control<QLineEdit>(d.get(), "LabeledEdit1")->text(), q("1"));
    EXPECT_EQ(control<QLineEdit>(d.get(), "LabeledEdit2")->text(), q("3"));
    EXPECT_EQ(control<QLineEdit>(d.get(), "LabeledEdit3")->text(), q("1"));
    EXPECT_EQ(control<QLineEdit>(d.get(), "LabeledEdit4")->text(), q("3"));

    QLineEdit* to = control<QLineEdit>(d.get(), "LabeledEdit2");
    to->selectAll();
    QTest::keyClicks(to, "2x");
    click(control<QPushButton>(d.get(), "saveok"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "请指定正确的行和列范围"}}));
    EXPECT_TRUE(desktop.asked.isEmpty());
    EXPECT_TRUE(d->isVisible());
}

TEST_F(ExportDialogTest, AClickIntoTheSeparatorPutsTheEscapeMarkWhichTypingReplaces)
{
    auto d = dialog(output::kTextFile);
    d->show();
    QLineEdit* separator = control<QLineEdit>(d.get(), "LabeledEdit5");
    click(separator);
    EXPECT_EQ(separator->text(), QString(QChar(0x1B)));
    EXPECT_EQ(d->form().separator, "\x1B");
    QTest::keyClicks(separator, ";");
    EXPECT_EQ(d->form().separator, ";");
}

TEST_F(ExportDialogTest, ATextExportWritesTheChosenFileWithTheProgressWindowUpAndOpensIt)
{
    auto d = dialog(output::kTextFile);
    d->show();
    QLineEdit* to = control<QLineEdit>(d.get(), "LabeledEdit2");
    to->selectAll();
    QTest::keyClicks(to, "2");
    click(control<QCheckBox>(d.get(), "CheckBox3"));
    QLineEdit* separator = control<QLineEdit>(d.get(), "LabeledEdit5");
    click(separator);
    QTest::keyClicks(separator, ",");
    desktop.answers = {QString::fromStdString(dir.file("out"))};
    click(control<QPushButton>(d.get(), "saveok"));

    EXPECT_EQ(desktop.asked, QStringList{q("save|文本文件 (*.txt)")});
    EXPECT_EQ(readFile(dir.file("out.txt")), g(",序号,公司名称,联系人,手机号\r\n"
                                               ",1,甲公司,张三,13900000001\r\n"
                                               ",2,乙公司,李四,13900000002\r\n"));
    EXPECT_EQ(desktop.opened, QStringList{QString::fromStdString(dir.file("out.txt"))});
    output::ui::ProgressWindow* progress = d->progressWindow();
    EXPECT_EQ(progress->gauge()->maximum(), 1);  // rows 1 .. 2
    EXPECT_EQ(progress->gauge()->value(), 1);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(said.entries.empty());
    EXPECT_TRUE(d->isVisible());  // a file export leaves the dialog open
}

TEST(ProgressWindow, ABorderlessGaugeCentredOnTheScreen)
{
    output::ui::ProgressWindow w;
    EXPECT_FALSE(w.isVisible());
    w.progress(3, 10);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.objectName(), "TprogressForm");
    EXPECT_EQ(w.size(), QSize(347, 50));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
    EXPECT_EQ(control<QProgressBar>(&w, "Gauge1")->value(), 3);
    EXPECT_EQ(control<QProgressBar>(&w, "Gauge1")->maximum(), 10);
    bool captioned = false;
    for (QLabel* label : w.findChildren<QLabel*>())
        captioned |= label->text() == q("进度:");
    EXPECT_TRUE(captioned);
    w.done();
    EXPECT_FALSE(w.isVisible());
}

TEST(QtFilter, PipeFiltersBecomeQtFilters)
{
    EXPECT_EQ(output::ui::qtFilter("文本文件(*.txt)|*.txt"), q("文本文件 (*.txt)"));
    EXPECT_EQ(output::ui::qtFilter("Excel文件(*.xlsx)|*.xlsx|所有文件|*.*"), q("Excel文件 (*.xlsx);;所有文件 (*.*)"));
    EXPECT_EQ(output::ui::qtFilter("表格|*.xls;*.xlsx"), q("表格 (*.xls *.xlsx)"));
}

TEST_F(ExportDialogTest, RefreshListsTheTablesOfTheSqliteFileAndOneIsCheckedAtMost)
{
    useSqlite();
    auto d = dialog(output::kDatabase);
    d->show();
    QListWidget* tables = control<QListWidget>(d.get(), "CheckListBox1");
    EXPECT_EQ(tables->count(), 0);
    click(control<QPushButton>(d.get(), "Button5"));
    ASSERT_EQ(tables->count(), 2);
    EXPECT_EQ(tables->item(0)->text(), "company");
    EXPECT_EQ(tables->item(1)->text(), "archive");
    EXPECT_EQ(marks(tables), "..");
    clickItem(tables, 0);
    EXPECT_EQ(marks(tables), "x.");
    clickItem(tables, 1);
    EXPECT_EQ(marks(tables), ".x");
    EXPECT_EQ(d->form().checkedTable(), 1);
    // A second click on the chosen table keeps it chosen.
    clickItem(tables, 1);
    EXPECT_EQ(marks(tables), ".x");
    QTest::keyClick(tables, Qt::Key_Up);
    EXPECT_EQ(marks(tables), "x.");
    EXPECT_TRUE(said.entries.empty());
    EXPECT_TRUE(control<QPushButton>(d.get(), "Button5")->isEnabled());
}

TEST_F(ExportDialogTest, WhileRefreshingTheBusyLabelShowsAndRefreshIsOff)
{
    // No connection configured: the warning comes while the dialog is at work.
    struct Watching : RecordedMessages {
        ExportDialog* d = nullptr;
        bool busyShown = false, refreshOff = false;
        void warning(std::string_view text) override
        {
            busyShown = control<QLabel>(d, "qsh")->isVisible();
            refreshOff = !control<QPushButton>(d, "Button5")->isEnabled();
            RecordedMessages::warning(text);
        }
    } watching;
    ExportDialog d(grid, output::kDatabase, settings, nullptr, nullptr, {&watching, &desktop});
    watching.d = &d;
    d.show();
    click(control<QPushButton>(&d, "Button5"));
    EXPECT_EQ(watching.entries, (std::vector<Entry>{{Entry::Warning, "没有配置数据库连接！"}}));
    EXPECT_TRUE(watching.busyShown);
    EXPECT_TRUE(watching.refreshOff);
    EXPECT_FALSE(control<QLabel>(&d, "qsh")->isVisible());
    EXPECT_TRUE(control<QPushButton>(&d, "Button5")->isEnabled());
}

TEST_F(ExportDialogTest, ANewTableTakesTheRowsAndTheDialogCloses)
{
    useSqlite();
    auto d = dialog(output::kDatabase);
    d->show();
    QLineEdit* name = control<QLineEdit>(d.get(), "LabeledEdit6");
    EXPECT_FALSE(name->isEnabled());
    click(control<QCheckBox>(d.get(), "CheckBox5"));
    EXPECT_TRUE(name->isEnabled());
    QTest::keyClicks(name, "fresh");
    QLineEdit* to = control<QLineEdit>(d.get(), "LabeledEdit2");
    to->selectAll();
    QTest::keyClicks(to, "2");
    QSignalSpy finished(d.get(), &QDialog::finished);
    click(control<QPushButton>(d.get(), "saveok"));
    EXPECT_EQ(texts(), std::vector<std::string>{"导入数据库完毕. 成功保存2行."});
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(d->result(), QDialog::Accepted);
    SqliteFile db(database);
    EXPECT_EQ(db.rows("select * from fresh"),
              (Table{{g("甲公司"), g("张三"), "13900000001"}, {g("乙公司"), g("李四"), "13900000002"}}));
}

TEST_F(ExportDialogTest, TheMappingDialogChosenFromTheExportDecidesTheFields)
{
    useSqlite();
    auto d = dialog(output::kDatabase);
    d->show();
    click(control<QPushButton>(d.get(), "Button5"));
    clickItem(control<QListWidget>(d.get(), "CheckListBox1"), 0);
    OnModal<output::ui::DbInterfaceDialog> mapping([](output::ui::DbInterfaceDialog& m) {
        auto* grid = control<QTableWidget>(&m, "StringGrid1");
        auto* drop = control<QComboBox>(&m, "ComboBox1");
        // 联系人 (grid column 2) to phone, 公司名称 (column 1) to name.
        for (auto [row, entry] : {std::pair{2, 2}, std::pair{1, 1}}) {
            grid->setCurrentCell(row, 2);
            drop->setCurrentIndex(entry);
            emit drop->activated(entry);
        }
        click(control<QPushButton>(&m, "BitBtn1"));
    });
    click(control<QPushButton>(d.get(), "BitBtn1"));
    ASSERT_TRUE(mapping.seen);
    EXPECT_EQ(d->form().mapping.mapColumns, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(d->form().mapping.mapFields, (std::vector<std::string>{"name", "phone"}));

    QLineEdit* to = control<QLineEdit>(d.get(), "LabeledEdit2");
    to->selectAll();
    QTest::keyClicks(to, "2");
    click(control<QPushButton>(d.get(), "saveok"));
    EXPECT_EQ(texts(), std::vector<std::string>{"导入数据库完毕. 成功保存2行."});
    SqliteFile db(database);
    EXPECT_EQ(db.rows("select name, phone from company"), (Table{{g("甲公司"), g("张三")}, {g("乙公司"), g("李四")}}));
}

TEST_F(ExportDialogTest, ConfigureConnectionOpensTheConnectionDialog)
{
    auto d = dialog(output::kDatabase);
    d->show();
    OnModal<output::ui::DbSetDialog> connection([](output::ui::DbSetDialog& c) {
        EXPECT_EQ(c.windowTitle(), q("配置数据库连接"));
        c.reject();
    });
    click(control<QPushButton>(d.get(), "Button4"));
    EXPECT_TRUE(connection.seen);
    EXPECT_TRUE(d->isVisible());
}

TEST_F(ExportDialogTest, TheQuickExportIntoADesktopDatabaseFileRunsOnItsOwnAndCloses)
{
    const std::string file = dir.file("quick.db");
    auto d = dialog(output::kDatabase);
    d->form().accessFile = file;
    d->form().accessTable = "quick";
    QSignalSpy finished(d.get(), &QDialog::finished);
    d->show();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(d->result(), QDialog::Accepted);
    // The default row range ends at the grid's empty append row.
    EXPECT_EQ(texts(), std::vector<std::string>{"导入数据库完毕. 成功保存3行."});
    SqliteFile db(file);
    EXPECT_EQ(db.rows("select count(*) from quick"), Table{{"3"}});
}
