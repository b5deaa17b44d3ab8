// The run frame's view over a real frame: the grid's titles, rows and run layout, the red
// invalid mobile numbers, the current cell in MemoDetail, links opened by a double click,
// the column exports and "全部输出", the close command through the popup menu, the message
// list and its colours, rows arriving without moving the user, and the counters of a run
// against a local server.
#include "run/ui/frame_view.h"

#include "base/messages.h"
#include "base/text.h"
#include "run/qt_text.h"
#include "support/local_http_server.h"
#include "support/master_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace tarvimo;
using fixtures::LocalHttpServer;
using run::TFrameTaskData;
using run::ui::FrameView;
using test::g;
using test::spinUntil;
using test::TaskFile;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

class FrameViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = std::make_unique<TFrameTaskData>(frameBoxes, test::testEnvironment(dir, "T0"));
        frame->setMasterFinishDelayMs(0);
        frame->setRunOptions({1});
    }
    void TearDown() override
    {
        view.reset();
        if (frame)
            frame->waitForThreads(10000);
        frame.reset();
    }

    // The view as the main window puts it on a tab, on the screen.
    void makeView(bool show = true)
    {
        FrameView::Hooks hooks;
        hooks.chooseTextFile = [this] {
            ++fileDialogs;
            return chosenFile;
        };
        hooks.openFile = [this](const std::string& path) { opened.push_back(path); };
        hooks.openUrl = [this](const QUrl& url) { urls.push_back(url); };
        view = std::make_unique<FrameView>(*frame, nullptr, &said, hooks);
        view->resize(1200, 420);
        if (show) {
            view->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        }
    }
    // A company-directory task of the first directory site that has no address to fetch:
    // its run lays out the company table and ends at once.
    std::string companyTask()
    {
        TaskFile t(dir, {{"标题", "<title>", "</title>", ""}},
                   {{"master", "tasktypes", "2"}, {"master", "taktype", "0"}, {"list", "listuse", "0"},
                    {"url", "urlbegin", "http://d1.demo.localhost:9/c/1"}},
                   "company.tak");
        return t.path();
    }
    void company(const std::string& serial, const char* name, const std::string& mobile, const char* address = "杭州",
                 const std::string& mail = "")
    {
        frame->appendRow({serial, g(name), g("张三"), mobile, g(address), mail, "T0"});
    }
    QTableView* grid() { return view->stringGridData(); }
    QModelIndex cellAt(int modelRow, int column) { return grid()->model()->index(modelRow, column); }
    QPoint centre(int modelRow, int column) { return grid()->visualRect(cellAt(modelRow, column)).center(); }
    QImage gridImage() { return grid()->viewport()->grab().toImage(); }
    QMenu* openPopupAt(int modelRow, int column)
    {
        // A right press over a cell, then the context menu request the platform sends.
        const QPoint at = centre(modelRow, column);
        QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(grid()->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, grid()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid()->viewport(), &request);
        QMenu* menu = view->popupMenu();
        EXPECT_TRUE(spinUntil([&] { return menu->isVisible(); }, 5000)) << "the popup menu did not open";
        return menu;
    }
    void choose(QMenu* menu, const char* item)
    {
        for (QAction* a : menu->actions())
            if (a->text() == u(item)) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                return;
            }
        ADD_FAILURE() << "no menu item " << item;
    }
    std::vector<std::string> questions() const
    {
        std::vector<std::string> v;
        for (const auto& e : said.entries)
            if (e.kind == RecordedMessages::Entry::Question)
                v.push_back(e.text);
        return v;
    }

    test::TempDir dir;
    RecordedMessages frameBoxes;
    RecordedMessages said{true};
    std::unique_ptr<TFrameTaskData> frame;
    std::unique_ptr<FrameView> view;
    std::string chosenFile;
    int fileDialogs = 0;
    std::vector<std::string> opened;
    std::vector<QUrl> urls;
};

// Whether the pixel is the pure red of a marked cell.
// A double click as the platform delivers it: press, release, double click, release.
void doubleClick(QWidget* w, QPoint at)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

bool red(QRgb p) { return qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0; }

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y)))
                ++n;
    return n;
}

// The background of a list line, taken at its top left corner where no text reaches.
QRgb background(const QImage& image, const QRect& line) { return image.pixel(line.left() + 1, line.top()); }

// The text pixels of a list line: those that differ clearly from the line's background.
std::vector<QRgb> textPixels(const QImage& image, const QRect& line)
{
    const QRgb bg = background(image, line);
    std::vector<QRgb> out;
    for (int y = line.top(); y <= line.bottom(); ++y)
        for (int x = line.left(); x <= line.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(bg)) + std::abs(qGreen(p) - qGreen(bg)) + std::abs(qBlue(p) - qBlue(bg)) > 90)
                out.push_back(p);
        }
    return out;
}

} // namespace

TEST_F(FrameViewTest, TheCompanyTableShowsItsTitlesRowsAndRunLayout)
{
    // The view is made before the tab is shown: the run's layout waits for the grid's width.
    makeView(false);
    frame->startRun(companyTask(), false, "");
    ASSERT_TRUE(frame->finished());
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));

    QStringList titles;
    for (int c = 0; c < grid()->model()->columnCount(); ++c)
        titles << grid()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{u("序号"), u("公司名称"), u("联系人"), u("手机号"), u("地址"), u("邮箱"), u("采集时间")}));
    std::vector<int> widths;
    for (int c = 0; c < 6; ++c)
        widths.push_back(grid()->columnWidth(c));
    EXPECT_EQ(widths, (std::vector<int>{51, 250, 100, 100, 350, 150}));
    // The time column takes the room left, and keeps fitting once rows bring a scroll bar.
    const int used = 51 + 250 + 100 + 100 + 350 + 150;
    EXPECT_EQ(grid()->columnWidth(6), view->viewState().columnWidth(6));
    for (int i = 1; i <= 60; ++i)
        company(std::to_string(i), "杭州甲公司", "13912345678");
    EXPECT_TRUE(spinUntil([&] { return grid()->verticalScrollBar()->isVisible(); }, 5000));
    EXPECT_EQ(used + grid()->columnWidth(6), grid()->viewport()->width()) << "the columns fill the grid exactly";
    EXPECT_EQ(grid()->horizontalScrollBar()->maximum(), 0) << "no column is pushed out of sight";

    EXPECT_EQ(grid()->model()->rowCount(), 61) << "sixty rows and the empty append row";
    EXPECT_EQ(cellAt(0, 1).data().toString(), u("杭州甲公司"));
    EXPECT_EQ(cellAt(59, 0).data().toString(), u("60"));
    EXPECT_EQ(grid()->rowHeight(0), FrameView::kRowHeight);
    EXPECT_EQ(grid()->rowHeight(60), FrameView::kRowHeight);

    // A column the user widens is remembered for the popup's export and the next layout.
    grid()->horizontalHeader()->resizeSection(4, 200);
    EXPECT_EQ(view->viewState().columnWidth(4), 200);
}

TEST_F(FrameViewTest, AnInvalidMobileNumberIsPaintedRedWithWhiteText)
{
    frame->startRun(companyTask(), false, "");
    makeView();
    ASSERT_TRUE(frame->contactTask());
    company("1", "甲公司", "13912345678");
    company("2", "乙公司", "0571-8888888");
    company("3", "丙公司", "139****5678");
    company("4", "丁公司", "");
    QCoreApplication::processEvents();
    const QImage image = gridImage();
    const auto corner = [&](int row) {
        const QRect r = grid()->visualRect(cellAt(row, 3));
        return image.pixel(r.left() + 1, r.top() + 1);
    };
    EXPECT_FALSE(red(corner(0))) << "a mobile number";
    EXPECT_TRUE(red(corner(1))) << "a fixed-line number where the mobile number belongs";
    EXPECT_FALSE(red(corner(2))) << "a masked number";
    EXPECT_FALSE(red(corner(3))) << "no number";
    const QRect marked = grid()->visualRect(cellAt(1, 3));
    EXPECT_GT(countPixels(image, marked, [](QRgb p) { return qRed(p) > 220 && qGreen(p) > 220 && qBlue(p) > 220; }), 10)
        << "the number is written in white";
    EXPECT_FALSE(red(image.pixel(grid()->visualRect(cellAt(1, 2)).topLeft() + QPoint(1, 1))))
        << "only the mobile-number column is marked";

    // Clicking the check box leaves it checked, and the marking stays.
    QCheckBox* check = view->cbAutocheck();
    EXPECT_EQ(check->text(), u("自动检测无效手机号 (红色标示)"));
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    EXPECT_TRUE(check->isChecked());
    EXPECT_TRUE(red(gridImage().pixel(marked.topLeft() + QPoint(1, 1))));

    // A run that is no company-directory run marks nothing.
    frame->setContactTask(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(red(gridImage().pixel(marked.topLeft() + QPoint(1, 1))));
}

TEST_F(FrameViewTest, TheCurrentCellShowsInTheDetailBoxAndOpensItsLink)
{
    frame->startRun(companyTask(), false, "");
    makeView();
    company("1", "甲公司", "13912345678", "浙江省杭州市西湖区文三路 100 号", "http://127.0.0.1/company/1 ");
    company("2", "乙公司", "13912345679", "上海市", "info@b.example.cn");
    QCoreApplication::processEvents();

    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centre(0, 4));
    EXPECT_EQ(view->memoDetail()->toPlainText(), u("浙江省杭州市西湖区文三路 100 号"));
    EXPECT_TRUE(view->memoDetail()->isReadOnly());
    EXPECT_EQ(view->viewState().currentRow(), 1) << "grid row 1 is the first data row";
    EXPECT_EQ(view->viewState().currentColumn(), 4);
    // The right button makes its cell current too.
    QTest::mouseClick(grid()->viewport(), Qt::RightButton, {}, centre(1, 1));
    EXPECT_EQ(view->memoDetail()->toPlainText(), u("乙公司"));
    EXPECT_EQ(view->viewState().currentRow(), 2);
    EXPECT_EQ(view->viewState().currentColumn(), 1);

    // A double click on an address opens it in the browser, not in an editor.
    doubleClick(grid()->viewport(), centre(0, 5));
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], QUrl("http://127.0.0.1/company/1"));
    const auto openEditor = [&]() -> QLineEdit* {
        for (QLineEdit* e : grid()->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    };
    EXPECT_EQ(openEditor(), nullptr);
    // On any other cell it edits the cell.
    doubleClick(grid()->viewport(), centre(1, 5));
    EXPECT_EQ(urls.size(), 1u);
    QLineEdit* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "sales@b.example.cn");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(spinUntil([&] { return openEditor() == nullptr; }, 5000)) << "the editor closes on Return";
    EXPECT_EQ(frame->grid().cell(2, 5), "sales@b.example.cn");
    EXPECT_EQ(view->memoDetail()->toPlainText(), u("sales@b.example.cn")) << "the detail box follows the edit";
}

TEST_F(FrameViewTest, ColumnExportsWriteTheirColumnAndAllRowsGoToTheMainWindow)
{
    frame->startRun(companyTask(), false, "");
    makeView();
    company("1", "甲公司", "13912345678", "杭州");
    company("2", "乙公司", "", "上海");
    company("3", "丙公司", "0571-8888888", "北京");
    chosenFile = dir.file("mobiles");  // the extension is added

    EXPECT_EQ(view->speedButton1()->text(), u("只输出手机号"));
    QTest::mouseClick(view->speedButton1(), Qt::LeftButton);
    EXPECT_EQ(questions(), (std::vector<std::string>{"您要输出 [手机号] 的数据吗？"}));
    ASSERT_EQ(opened, (std::vector<std::string>{dir.file("mobiles.txt")}));
    EXPECT_EQ(test::readFile(dir.file("mobiles.txt")), "13912345678\r\n") << "the blank and the fixed line are left out";

    // The popup's export takes the column of the cell it was opened over, every value.
    chosenFile = dir.file("address.txt");
    choose(openPopupAt(1, 4), "输出选中列内容...");
    EXPECT_EQ(questions().back(), "您要输出 [地址] 的数据吗？");
    EXPECT_EQ(test::readFile(dir.file("address.txt")), g("杭州\r\n上海\r\n北京\r\n"));

    // Cancelling the question asks for no file.
    said = RecordedMessages(false);
    const int dialogs = fileDialogs;
    QTest::mouseClick(view->speedButton1(), Qt::LeftButton);
    EXPECT_EQ(questions(), (std::vector<std::string>{"您要输出 [手机号] 的数据吗？"}));
    EXPECT_EQ(fileDialogs, dialogs);

    QSignalSpy all(view.get(), &FrameView::exportAllRequested);
    EXPECT_EQ(view->speedButton2()->text(), u("全部输出"));
    QTest::mouseClick(view->speedButton2(), Qt::LeftButton);
    EXPECT_EQ(all.count(), 1);
}

TEST_F(FrameViewTest, TheTabClosesOnlyWhenTheRunIsStopped)
{
    LocalHttpServer server;
    frame->startRun(test::listTask(dir, {server.url("/stall-headers")}), false, "");
    makeView();
    frame->appendRow({"1", "page"});
    bool closed = false;
    QObject::connect(view.get(), &FrameView::closeAccepted, [&] {
        closed = true;
        // As the main window does: the view first, then the frame.
        view.reset();
        frame.reset();
    });

    choose(openPopupAt(0, 1), "关闭该任务区");
    spinUntil([&] { return !frameBoxes.entries.empty(); }, 5000);
    ASSERT_EQ(frameBoxes.entries.size(), 1u);
    EXPECT_EQ(frameBoxes.entries[0].text, "请先停止该任务再关闭");
    EXPECT_FALSE(closed);

    frame->controlRun(engine::RunCommand::Stop);
    ASSERT_TRUE(frame->waitForThreads(10000));
    choose(openPopupAt(0, 1), "关闭该任务区");
    EXPECT_TRUE(spinUntil([&] { return closed; }, 5000));
    EXPECT_EQ(frameBoxes.entries.size(), 1u);
}

TEST_F(FrameViewTest, TheMessageListMirrorsTheFrameInItsColours)
{
    makeView();
    EXPECT_EQ(view->listBoxInfo()->count(), 0);
    frame->startRun(companyTask(), false, "");
    const auto lines = [&] {
        std::vector<std::string> v;
        for (int i = 0; i < view->listBoxInfo()->count(); ++i)
            v.push_back(view->listBoxInfo()->item(i)->text().toStdString());
        return v;
    };
    // The status line is rewritten in place: no line is doubled.
    EXPECT_EQ(lines(), frame->messages());
    ASSERT_GE(lines().size(), 3u);

    QListWidget* list = view->listBoxInfo();
    EXPECT_FALSE(list->isVisible()) << "hidden until asked for";
    EXPECT_EQ(view->showMessages()->text(), u("显示运行信息"));
    QTest::mouseClick(view->showMessages(), Qt::LeftButton, {}, QPoint(8, view->showMessages()->height() / 2));
    ASSERT_TRUE(list->isVisible());
    list->scrollToTop();
    QCoreApplication::processEvents();

    QImage image = list->viewport()->grab().toImage();
    const auto status = textPixels(image, list->visualItemRect(list->item(0)));
    const auto other = textPixels(image, list->visualItemRect(list->item(1)));
    ASSERT_FALSE(status.empty());
    ASSERT_FALSE(other.empty());
    for (QRgb p : status)
        ASSERT_TRUE(qGreen(p) > qRed(p) && qGreen(p) > qBlue(p)) << "the status line is green";
    for (QRgb p : other)
        ASSERT_TRUE(qBlue(p) > qRed(p) && qBlue(p) > qGreen(p)) << "the other lines are blue";
    // A selected line is written in white on the selection.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    ASSERT_TRUE(list->item(1)->isSelected());
    image = list->viewport()->grab().toImage();
    const QRect selected = list->visualItemRect(list->item(1));
    const QRgb bg = background(image, selected);
    const auto onSelection = textPixels(image, selected);
    ASSERT_FALSE(onSelection.empty());
    for (QRgb p : onSelection)
        ASSERT_GT(qRed(p) + qGreen(p) + qBlue(p), qRed(bg) + qGreen(bg) + qBlue(bg)) << "lighter than the selection";
    EXPECT_GT(countPixels(image, selected, [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; }), 5);

    // New lines are appended; a restart begins the list anew.
    frame->addMessage("页面失败 http://127.0.0.1/x (status 404)");
    EXPECT_EQ(lines(), frame->messages());
    frame->restartRun();
    EXPECT_EQ(lines(), frame->messages());
    EXPECT_EQ(lines().front(), "正在启动任务,请稍候...");
}

TEST_F(FrameViewTest, ArrivingRowsLeaveTheUserWhereTheyAre)
{
    frame->startRun(companyTask(), false, "");
    makeView();
    QScrollBar* bar = grid()->verticalScrollBar();
    for (int i = 1; i <= 200; ++i)
        company(std::to_string(i), "甲公司", "13912345678");
    QCoreApplication::processEvents();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum()) << "a grid at its end follows the rows";

    bar->setValue(10);
    for (int i = 201; i <= 260; ++i)
        company(std::to_string(i), "甲公司", "13912345678");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 10) << "a user reading further up stays there";
    EXPECT_EQ(grid()->rowAt(0), 10);
}

TEST_F(FrameViewTest, TheStatusStripCountsRowsTimeFailedPagesAndProgress)
{
    LocalHttpServer server;
    server.on("GET", "/p/([0-9]+)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<html><title>page " + req.path.substr(3) + "</title></html>", "text/html");
    });
    makeView();
    EXPECT_EQ(view->rowsLabel()->text(), u("采集数量：0"));
    EXPECT_EQ(view->timeLabel()->text(), u("用时：0秒"));
    frame->startRun(test::listTask(dir, {server.url("/p/1"), server.url("/status/404"), server.url("/p/3")}), false,
                    "");
    ASSERT_TRUE(spinUntil([&] { return frame->finished(); }));
    ASSERT_TRUE(frame->waitForThreads(10000));
    // Redrawn at most every 200 ms: the last change shows a moment later.
    EXPECT_TRUE(spinUntil([&] { return view->rowsLabel()->text() == u("采集数量：2"); }, 5000))
        << view->rowsLabel()->text().toStdString();
    EXPECT_TRUE(spinUntil([&] { return view->failedLabel()->text() == u("失败页面：1"); }, 5000))
        << view->failedLabel()->text().toStdString();
    EXPECT_TRUE(spinUntil([&] { return view->progressBar()->value() == 100; }, 5000));

    frame->restartRun();
    frame->controlRun(engine::RunCommand::Pause);
    for (int i = 0; i < 3725; ++i)
        frame->timermainTick();
    EXPECT_TRUE(spinUntil([&] { return view->timeLabel()->text() == u("用时：1时2分5秒"); }, 5000))
        << view->timeLabel()->text().toStdString();
    frame->controlRun(engine::RunCommand::Stop);
}
