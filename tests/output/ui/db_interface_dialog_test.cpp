// The column-mapping dialog's window: the grid columns against the table's fields, the
// drop-down over a field cell, typed fields for MySQL, the no-duplicate list, the mapping
// handed over on "确定", and templates saved and loaded through the file dialogs.
#include "output/ui/db_interface_dialog.h"

#include "../export_support.h"
#include "base/files.h"
#include "ui_support.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

using namespace tarvimo;
using namespace tarvimo::test;
using tarvimo::output::ColumnMapping;
using tarvimo::output::ui::DbInterfaceDialog;
using Entry = RecordedMessages::Entry;

namespace {

class DbInterfaceDialogTest : public ::testing::Test {
protected:
    DbInterfaceDialogTest() { fillGrid(grid, {{g("甲公司"), g("张三"), "13900000001"}}); }
    std::unique_ptr<DbInterfaceDialog> dialog(const std::string& table, std::vector<std::string> fields)
    {
        auto d = std::make_unique<DbInterfaceDialog>(table, std::move(fields), mapping, &grid, nullptr,
                                                     output::ui::Services{&said, &desktop});
        d->show();
        return d;
    }

    TempDir dir{"tarvimo-mapping-ui"};
    run::ResultGrid grid;
    ColumnMapping mapping;
    RecordedMessages said;
    RecordedDesktop desktop;
};

QTableWidget* cells(DbInterfaceDialog& d) { return control<QTableWidget>(&d, "StringGrid1"); }

QRect cellRect(QTableWidget* t, int row, int column) { return t->visualRect(t->model()->index(row, column)); }

void clickCell(QTableWidget* t, int row, int column)
{
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cellRect(t, row, column).center());
}

// "mark|field" of a table row.
QString rowOf(QTableWidget* t, int row)
{
    return t->item(row, 1)->text() + "|" + t->item(row, 2)->text();
}

} // namespace

TEST_F(DbInterfaceDialogTest, TheGridColumnsFaceTheTableWhoseNameIsFixed)
{
    auto d = dialog("company", {"name", "phone"});
    EXPECT_EQ(d->windowTitle(), q("数据列接口设置"));
    QTableWidget* t = cells(*d);
    ASSERT_EQ(t->columnCount(), 3);
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), q("采集数据列"));
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), q(">>>"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), q("数据库表列"));
    EXPECT_FALSE(t->verticalHeader()->isVisible());
    QStringList captions;
    for (int r = 0; r < t->rowCount(); ++r)
        captions << t->item(r, 0)->text();
    EXPECT_EQ(captions, (QStringList{q("序号"), q("公司名称"), q("联系人"), q("手机号")}));
    auto* checks = control<QListWidget>(d.get(), "CheckListBox1");
    EXPECT_EQ(captionOf(checks), q("设置不可重复数据列："));
    ASSERT_EQ(checks->count(), 2);
    EXPECT_EQ(checks->item(0)->text() + checks->item(1)->text(), "namephone");
    EXPECT_EQ(checks->item(0)->checkState(), Qt::Unchecked);
    bool note = false;
    for (QLabel* l : d->findChildren<QLabel*>())
        note |= l->text() == q("当选中列的值，在数据库中已经存在时，将被忽略，不再导入。");
    EXPECT_TRUE(note);
    auto* table = control<QLineEdit>(d.get(), "Edit1");
    EXPECT_EQ(captionOf(table), q("当前表名称："));
    EXPECT_EQ(table->text(), "company");
    EXPECT_FALSE(table->isEnabled());
    EXPECT_TRUE(table->isReadOnly());
    QStringList buttons;
    for (const char* name : {"BitBtn1", "Button1", "Button2", "BitBtn2"})
        buttons << control<QPushButton>(d.get(), name)->text();
    EXPECT_EQ(buttons, (QStringList{q("确定"), q("保存模板"), q("导入模板"), q("关闭")}));
}

TEST_F(DbInterfaceDialogTest, TheDropDownOverAFieldCellMarksTheChoiceAndRefusesAFieldTwice)
{
    auto d = dialog("company", {"name", "phone"});
    QTableWidget* t = cells(*d);
    auto* drop = control<QComboBox>(d.get(), "ComboBox1");
    EXPECT_FALSE(drop->isVisible());
    clickCell(t, 0, 0);
    EXPECT_FALSE(drop->isVisible());

    clickCell(t, 1, 2);
    ASSERT_TRUE(drop->isVisible());
    EXPECT_EQ(drop->geometry(), cellRect(t, 1, 2));
    QStringList entries;
    for (int i = 0; i < drop->count(); ++i)
        entries << drop->itemText(i);
    EXPECT_EQ(entries, (QStringList{"", "name", "phone"}));
    QTest::keyClick(drop, Qt::Key_Down);
    EXPECT_FALSE(drop->isVisible());
    EXPECT_EQ(rowOf(t, 1), q("对应|name"));

    clickCell(t, 2, 2);
    ASSERT_TRUE(drop->isVisible());
    EXPECT_EQ(drop->currentIndex(), 0);
    QTest::keyClick(drop, Qt::Key_Down);
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "数据库表指定重复，请指定其他的列"}}));
    EXPECT_EQ(rowOf(t, 2), "|");
    EXPECT_EQ(rowOf(t, 1), q("对应|name"));

    // Choosing the empty entry frees the field again.
    clickCell(t, 1, 2);
    EXPECT_EQ(drop->currentIndex(), 1);
    QTest::keyClick(drop, Qt::Key_Up);
    EXPECT_EQ(rowOf(t, 1), "|");
}

TEST_F(DbInterfaceDialogTest, OkHandsTheMappingAndTheNoDuplicateFieldsOver)
{
    auto d = dialog("company", {"name", "phone"});
    click(control<QPushButton>(d.get(), "BitBtn1"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "请选择导入数据库对应的列"}}));
    EXPECT_TRUE(d->isVisible());

    QTableWidget* t = cells(*d);
    auto* drop = control<QComboBox>(d.get(), "ComboBox1");
    clickCell(t, 3, 2);
    QTest::keyClick(drop, Qt::Key_End);
    clickCell(t, 1, 2);
    QTest::keyClick(drop, Qt::Key_Down);
    auto* checks = control<QListWidget>(d.get(), "CheckListBox1");
    checks->setCurrentRow(1);
    QTest::keyClick(checks, Qt::Key_Space);
    EXPECT_EQ(checks->item(1)->checkState(), Qt::Checked);
    click(control<QPushButton>(d.get(), "BitBtn1"));
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(mapping.mapColumns, (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(mapping.mapFields, (std::vector<std::string>{"name", "phone"}));
    EXPECT_EQ(mapping.uniqueFields, std::vector<std::string>{"phone"});
    EXPECT_EQ(mapping.mapTable, "company");
}

TEST_F(DbInterfaceDialogTest, WithoutATableTheFieldsAndTheTableNameAreTyped)
{
    auto d = dialog("", {});
    QTableWidget* t = cells(*d);
    auto* table = control<QLineEdit>(d.get(), "Edit1");
    EXPECT_TRUE(table->isEnabled());
    EXPECT_FALSE(table->isReadOnly());
    doubleClick(t->viewport(), cellRect(t, 1, 2).center());
    EXPECT_FALSE(control<QComboBox>(d.get(), "ComboBox1")->isVisible());
    auto* editor = t->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "title");
    // The mark follows the typing before the cell is left.
    EXPECT_EQ(t->item(1, 1)->text(), q("对应"));
    EXPECT_EQ(d->form().rows[2][2], "title");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the view commits the cell queued
    EXPECT_EQ(rowOf(t, 1), q("对应|title"));

    click(control<QPushButton>(d.get(), "BitBtn1"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "mysql数据库要手工输入表名称"}}));
    QTest::keyClicks(table, "crm");
    click(control<QPushButton>(d.get(), "BitBtn1"));
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(mapping.mapColumns, std::vector<std::string>{"1"});
    EXPECT_EQ(mapping.mapFields, std::vector<std::string>{"title"});
    EXPECT_EQ(mapping.mapTable, "crm");
}

TEST_F(DbInterfaceDialogTest, ATemplateSavedAndLoadedBringsTheChoicesBack)
{
    {
        auto d = dialog("company", {"name", "phone"});
        clickCell(cells(*d), 2, 2);
        QTest::keyClick(control<QComboBox>(d.get(), "ComboBox1"), Qt::Key_Down);
        auto* checks = control<QListWidget>(d.get(), "CheckListBox1");
        checks->setCurrentRow(1);
        QTest::keyClick(checks, Qt::Key_Space);
        desktop.answers = {QString::fromStdString(dir.file("map"))};
        click(control<QPushButton>(d.get(), "Button1"));
        EXPECT_EQ(desktop.asked, QStringList{q("save|接口模板 (*.tpl)")});
        EXPECT_TRUE(files::exists(dir.file("map.tpl")));
    }
    auto d = dialog("company", {"name", "phone"});
    EXPECT_EQ(rowOf(cells(*d), 2), "|");
    desktop.answers = {QString::fromStdString(dir.file("map.tpl"))};
    click(control<QPushButton>(d.get(), "Button2"));
    EXPECT_EQ(desktop.asked.last(), q("open|接口模板 (*.tpl)"));
    EXPECT_EQ(rowOf(cells(*d), 2), q("对应|name"));
    auto* checks = control<QListWidget>(d.get(), "CheckListBox1");
    EXPECT_EQ(checks->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(checks->item(1)->checkState(), Qt::Checked);
    EXPECT_TRUE(said.entries.empty());
}
