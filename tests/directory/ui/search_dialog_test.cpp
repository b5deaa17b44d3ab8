#include "directory/ui/search_dialog.h"

#include "base/files.h"
#include "../fake_world.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace tarvimo;
using namespace tarvimo::directory;
using tarvimo::directory::ui::SearchDialog;

namespace {

class Tabs : public RunTabs {
public:
    int pageCount() const override { return 1 + static_cast<int>(open.size()); }
    std::vector<std::string> captions() const override { return open; }
    void startTaskByName(const std::string& name, const std::string& text, bool fromTemplate) override
    {
        started.push_back(text::gbkToUtf8(name) + "|" + text::gbkToUtf8(text) + "|" + (fromTemplate ? "1" : "0"));
    }
    std::vector<std::string> open;
    std::vector<std::string> started;
};

class SearchDialogTest : public ::testing::Test {
protected:
    SearchDialogTest() : world(home) {}
    test::TempDir home;
    test::FakeWorld world;
    RecordedMessages boxes;
    Tabs tabs;
};

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

// Chinese reaches an edit through the input method, as a committed string.
void type(QWidget* w, const char* utf8)
{
    QInputMethodEvent commit;
    commit.setCommitString(q(utf8));
    QApplication::sendEvent(w, &commit);
}

} // namespace

TEST_F(SearchDialogTest, CaptionsAndControlsAsTheUserSeesThem)
{
    SearchDialog multi(SearchDialog::Kind::MultiSite, tabs, world.environment(), nullptr, &boxes);
    EXPECT_EQ(multi.windowTitle(), q("新任务"));
    EXPECT_EQ(multi.bitBtn1()->text(), q("确定"));
    EXPECT_EQ(multi.bitBtn2()->text(), q("关闭"));
    EXPECT_EQ(multi.currentMsg()->text(), q("   正在创建任务......"));
    multi.show();
    EXPECT_FALSE(multi.currentMsg()->isVisible());
    SearchDialog single(SearchDialog::Kind::MobileNumbers, tabs, world.environment(), nullptr, &boxes);
    EXPECT_EQ(single.windowTitle(), q("新任务(手机号专搜)"));
    EXPECT_EQ(single.currentMsg()->text(), q("正在创建任务，请稍后......"));
}

TEST_F(SearchDialogTest, TypingAKeywordSuggestsTheTaskNameWhichTheUserMayChange)
{
    SearchDialog d(SearchDialog::Kind::MultiSite, tabs, world.environment(), nullptr, &boxes);
    d.show();
    QTest::keyClicks(d.keyword(), " ");
    type(d.keyword(), "液压");
    QTest::keyClicks(d.keyword(), " ");
    type(d.keyword(), "泵");
    QTest::keyClicks(d.keyword(), " ");
    type(d.keyword(), "站");
    EXPECT_EQ(d.taskname()->text(), q("液压泵 站"));
    d.taskname()->selectAll();
    QTest::keyClicks(d.taskname(), "mine");
    EXPECT_EQ(d.wizard().taskName(), "mine");
}

TEST_F(SearchDialogTest, OkWithNothingTypedWarnsAndStays)
{
    SearchDialog d(SearchDialog::Kind::MultiSite, tabs, world.environment(), nullptr, &boxes);
    d.show();
    QTest::mouseClick(d.bitBtn1(), Qt::LeftButton);
    ASSERT_EQ(boxes.entries.size(), 1u);
    EXPECT_EQ(boxes.entries[0], (RecordedMessages::Entry{RecordedMessages::Entry::Warning, "请输入关键词"}));
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(d.bitBtn1()->isEnabled());
}

TEST_F(SearchDialogTest, OkCreatesTheTaskWithThePanelUpThenClosesAndStartsIt)
{
    world.setPage("D1", "共找到48条");
    SearchDialog d(SearchDialog::Kind::MultiSite, tabs, world.environment(), nullptr, &boxes);
    d.show();
    type(d.keyword(), "机械");
    QSignalSpy finished(&d, &QDialog::finished);
    QTest::mouseClick(d.bitBtn1(), Qt::LeftButton);
    EXPECT_FALSE(d.bitBtn1()->isEnabled());
    EXPECT_FALSE(d.bitBtn2()->isEnabled());
    EXPECT_TRUE(d.currentMsg()->isVisible());
    d.reject();  // the close button is off; closing now would leave the work behind
    EXPECT_TRUE(d.isVisible());
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(tabs.started, std::vector<std::string>{"机械|机械|1"});
    EXPECT_TRUE(files::exists(home.file("Task/机械.tak")));
}

TEST_F(SearchDialogTest, AFailedTemplateBringsTheButtonsBack)
{
    world.noneHas({"single-baidu5858.dll"});
    SearchDialog d(SearchDialog::Kind::MobileNumbers, tabs, world.environment(), nullptr, &boxes);
    d.show();
    QTest::keyClicks(d.keyword(), "k");
    QTest::mouseClick(d.bitBtn1(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.bitBtn1()->isEnabled(); }, 20000));
    EXPECT_FALSE(d.currentMsg()->isVisible());
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(boxes.entries.size(), 1u);
    EXPECT_EQ(boxes.entries[0].text, "搜索引擎加载失败，请检查网络连接是否正常");
    EXPECT_TRUE(tabs.started.empty());
}
