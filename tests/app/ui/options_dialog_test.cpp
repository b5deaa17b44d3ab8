// The options dialog window as a person uses it: what it shows from the settings file, the
// proxy check box, the three buttons, and the proxy test against a local server.
#include "app/ui/options_dialog.h"

#include "../../output/ui/ui_support.h"
#include "base/files.h"
#include "store/settings.h"
#include "support/local_http_server.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

using namespace tarvimo;
using namespace tarvimo::test;
using tarvimo::app::ui::OptionsDialog;
namespace settings = tarvimo::store::settings;
using Entry = RecordedMessages::Entry;

namespace {

class OptionsDialogTest : public ::testing::Test {
protected:
    TempDir dir{"tarvimo-options-ui"};
    std::string settingsFile = dir.file("DefaultSet.ini");
    RecordedMessages said;
};

QStringList tabCaptions(const QTabWidget* tabs)
{
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

// Brings a page to the front by clicking its tab.
void openTab(QDialog& d, const char* caption)
{
    auto* tabs = control<QTabWidget>(&d, "PageControl1");
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == q(caption)) {
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(i).center());
            ASSERT_EQ(tabs->currentIndex(), i);
            return;
        }
    ADD_FAILURE() << "no tab " << caption;
}

void retype(QWidget* edit, const char* text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

QList<QLineEdit*> proxyBoxes(const QDialog& d)
{
    return {control<QLineEdit>(&d, "proxyServer"), control<QLineEdit>(&d, "proxyPort"),
            control<QLineEdit>(&d, "proxyUser"), control<QLineEdit>(&d, "proxyPassword")};
}

// Which of the four proxy boxes can be typed in, as "1010".
std::string enabledBoxes(const QDialog& d)
{
    std::string out;
    for (QLineEdit* e : proxyBoxes(d))
        out += e->isEnabled() ? '1' : '0';
    return out;
}

} // namespace

TEST_F(OptionsDialogTest, WithoutASettingsFileTheVisiblePagesShowTheDefaults)
{
    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    EXPECT_EQ(d.windowTitle(), q("选项"));
    auto* tabs = control<QTabWidget>(&d, "PageControl1");
    EXPECT_EQ(tabCaptions(tabs), (QStringList{q("常规"), q("代理设置"), q("搜索设置")}));
    EXPECT_EQ(tabs->currentIndex(), 0);
    QStringList buttons;
    for (const char* name : {"ok", "apply", "cancel"})
        buttons << control<QPushButton>(&d, name)->text();
    EXPECT_EQ(buttons, (QStringList{q("确定"), q("应用(&A)"), q("取消")}));

    auto* tasks = control<QSpinBox>(&d, "maxTaskCount");
    EXPECT_EQ(captionOf(tasks), q("最多同时运行的任务数"));
    EXPECT_EQ(tasks->value(), 3);
    EXPECT_FALSE(tasks->isEnabled());
    EXPECT_EQ(control<QGroupBox>(&d, "autoSaveGroup")->title(), q("自动保存数据"));
    EXPECT_EQ(control<QRadioButton>(&d, "saveAll")->text(), q("保存全部数据"));
    EXPECT_EQ(control<QRadioButton>(&d, "mobileOnly")->text(), q("只保存手机号"));
    EXPECT_TRUE(control<QRadioButton>(&d, "saveAll")->isChecked());

    openTab(d, "代理设置");
    auto* useProxy = control<QCheckBox>(&d, "useProxy");
    EXPECT_EQ(useProxy->text(), q("使用Http代理服务"));
    EXPECT_FALSE(useProxy->isChecked());
    EXPECT_EQ(enabledBoxes(d), "0000");
    QStringList captions;
    for (QLineEdit* e : proxyBoxes(d)) {
        captions << captionOf(e);
        EXPECT_TRUE(e->text().isEmpty());
    }
    EXPECT_EQ(captions, (QStringList{q("服务器："), q("端口："), q("用户名："), q("密码：")}));
    EXPECT_EQ(control<QLineEdit>(&d, "proxyPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(captionOf(control<QLineEdit>(&d, "testAddress")), q("测试地址："));
    EXPECT_FALSE(control<QLineEdit>(&d, "testAddress")->text().isEmpty());
    EXPECT_EQ(control<QPushButton>(&d, "proxyTest")->text(), q("连接测试"));

    openTab(d, "搜索设置");
    struct Spin {
        const char* name;
        const char* caption;
        int value, min, max;
        bool enabled;
    };
    for (const Spin& s : {Spin{"searchDep", "搜索深度：", 1, 1, 1, false}, Spin{"timeout", "超时(秒)：", 10, 5, 180, true},
                          Spin{"threadCount", "线程数：", 3, 1, 100, true}, Spin{"tryCount", "重试次数：", 3, 1, 10, true}}) {
        auto* box = control<QSpinBox>(&d, s.name);
        EXPECT_EQ(captionOf(box), q(s.caption));
        EXPECT_EQ((std::vector<int>{box->value(), box->minimum(), box->maximum()}), (std::vector<int>{s.value, s.min, s.max}))
            << s.name;
        EXPECT_EQ(box->isEnabled(), s.enabled) << s.name;
    }
    EXPECT_EQ(control<QSpinBox>(&d, "searchDep")->toolTip(), q("不要轻易改动，通常为1即可"));
    EXPECT_FALSE(files::exists(settingsFile));
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(OptionsDialogTest, StoredValuesAreShownAndTheProxyCheckBoxSwitchesTheFourBoxes)
{
    writeSettings(settingsFile, "[default]\nautoall=0\n[urltype]\ntimeout=45\nthreadCount=12\ntryCount=7\n"
                                "[proxy]\nUseProxy=1\nservername=代理.local\nport=3128\nusername=张三\npassword=pw\n");
    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    EXPECT_TRUE(control<QRadioButton>(&d, "mobileOnly")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&d, "saveAll")->isChecked());
    EXPECT_EQ(control<QSpinBox>(&d, "timeout")->value(), 45);
    EXPECT_EQ(control<QSpinBox>(&d, "threadCount")->value(), 12);
    EXPECT_EQ(control<QSpinBox>(&d, "tryCount")->value(), 7);

    openTab(d, "代理设置");
    auto* useProxy = control<QCheckBox>(&d, "useProxy");
    EXPECT_TRUE(useProxy->isChecked());
    QStringList shown;
    for (QLineEdit* e : proxyBoxes(d))
        shown << e->text();
    EXPECT_EQ(shown, (QStringList{q("代理.local"), "3128", q("张三"), "pw"}));
    EXPECT_EQ(enabledBoxes(d), "1111");

    click(useProxy);
    EXPECT_FALSE(useProxy->isChecked());
    EXPECT_EQ(enabledBoxes(d), "0000");
    click(useProxy);
    EXPECT_EQ(enabledBoxes(d), "1111");

    // With the proxy off in the file the boxes stay empty, and the check box opens them.
    writeSettings(settingsFile, "[proxy]\nUseProxy=0\nservername=hidden\nport=1\n");
    OptionsDialog off(settingsFile, nullptr, &said);
    off.show();
    openTab(off, "代理设置");
    EXPECT_EQ(enabledBoxes(off), "0000");
    EXPECT_TRUE(control<QLineEdit>(&off, "proxyServer")->text().isEmpty());
    click(control<QCheckBox>(&off, "useProxy"));
    EXPECT_EQ(enabledBoxes(off), "1111");
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(OptionsDialogTest, ABadProxyIsRefusedAndTheFileStaysAsItWas)
{
    writeSettings(settingsFile, "[urltype]\ntimeout=20\n");
    const std::string before = readFile(settingsFile);
    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    openTab(d, "代理设置");
    click(control<QCheckBox>(&d, "useProxy"));
    QTest::keyClicks(control<QLineEdit>(&d, "proxyServer"), "127.0.0.1");
    click(control<QPushButton>(&d, "apply"));
    QTest::keyClicks(control<QLineEdit>(&d, "proxyPort"), "80a");
    click(control<QPushButton>(&d, "apply"));
    click(control<QPushButton>(&d, "ok"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "代理设置不完整"},
                                                {Entry::Warning, "端口请输入数字"},
                                                {Entry::Warning, "端口请输入数字"}}));
    EXPECT_EQ(readFile(settingsFile), before);
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.appliedToolTipDisplayMs());
}

TEST_F(OptionsDialogTest, ApplyWritesWhatWasTypedAndSaysSoWhileTheDialogStays)
{
    // Values of the hidden pages are not on the screen but must survive the save.
    writeSettings(settingsFile, "[default]\nhinthindPause=7\ngetEmail=0\n[other]\nminHide=1\nXbMailDepth=2\n");
    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    click(control<QRadioButton>(&d, "mobileOnly"));
    openTab(d, "搜索设置");
    retype(control<QSpinBox>(&d, "timeout"), "30");
    retype(control<QSpinBox>(&d, "threadCount"), "8");
    QTest::keyClick(control<QSpinBox>(&d, "tryCount"), Qt::Key_Up);
    openTab(d, "代理设置");
    click(control<QCheckBox>(&d, "useProxy"));
    QTest::keyClicks(control<QLineEdit>(&d, "proxyServer"), "proxy.test");
    QTest::keyClicks(control<QLineEdit>(&d, "proxyPort"), "3128");
    QTest::keyClicks(control<QLineEdit>(&d, "proxyUser"), "tester");
    QTest::keyClicks(control<QLineEdit>(&d, "proxyPassword"), "s3cret");

    click(control<QPushButton>(&d, "apply"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Information, "保存完毕"}}));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.appliedToolTipDisplayMs(), 7000);

    const auto fetcher = settings::readFetcherSettings(settingsFile);
    EXPECT_EQ(fetcher.timeoutMs, 30000);
    EXPECT_EQ(fetcher.tryCount, 4);
    EXPECT_EQ(settings::readRunFrameThreadCount(settingsFile), 8);
    EXPECT_TRUE(fetcher.proxy.use);
    EXPECT_EQ(fetcher.proxy.host + ":" + std::to_string(fetcher.proxy.port) + " " + fetcher.proxy.user + "/" +
                  fetcher.proxy.password,
              "proxy.test:3128 tester/s3cret");
    EXPECT_TRUE(fetcher.proxy.basicAuth);
    const auto startup = settings::readStartupSettings(settingsFile);
    EXPECT_EQ(startup.maxTaskCount, 3);
    EXPECT_TRUE(startup.minHide);
    EXPECT_FALSE(settings::readEmailLookupSettings(settingsFile).getEmail);
    const std::string file = readFile(settingsFile);
    EXPECT_NE(file.find("autoall=0\r\n"), std::string::npos);
    EXPECT_NE(file.find("XbMailDepth=2\r\n"), std::string::npos);

    // A dialog opened afterwards shows what was saved.
    OptionsDialog again(settingsFile, nullptr, &said);
    EXPECT_EQ(control<QSpinBox>(&again, "timeout")->value(), 30);
    EXPECT_TRUE(control<QRadioButton>(&again, "mobileOnly")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&again, "proxyServer")->text(), "proxy.test");
}

TEST_F(OptionsDialogTest, OkClosesAfterAGoodSaveAndCancelOrEscapeWriteNothing)
{
    OptionsDialog cancelled(settingsFile, nullptr, &said);
    cancelled.show();
    openTab(cancelled, "搜索设置");
    retype(control<QSpinBox>(&cancelled, "timeout"), "99");
    click(control<QPushButton>(&cancelled, "cancel"));
    EXPECT_FALSE(cancelled.isVisible());
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_TRUE(cancelled.form().closed());

    OptionsDialog escaped(settingsFile, nullptr, &said);
    escaped.show();
    click(control<QRadioButton>(&escaped, "mobileOnly"));
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_FALSE(escaped.isVisible());
    EXPECT_FALSE(files::exists(settingsFile));

    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    openTab(d, "搜索设置");
    retype(control<QSpinBox>(&d, "timeout"), "99");
    click(control<QPushButton>(&d, "ok"));
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(settings::readFetcherSettings(settingsFile).timeoutMs, 99000);
    EXPECT_EQ(d.appliedToolTipDisplayMs(), 20000);
    // "确定" says nothing; only "应用(&A)" reports the save.
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(OptionsDialogTest, ExecReportsTheResultAndTheToolTipTimeOfTheSave)
{
    writeSettings(settingsFile, "[default]\nhinthindPause=9\n");
    std::optional<int> toolTipMs;
    OnModal<OptionsDialog> press([](OptionsDialog& d) { click(control<QPushButton>(&d, "ok")); });
    EXPECT_EQ(app::ui::execOptionsDialog(nullptr, settingsFile, &toolTipMs), QDialog::Accepted);
    ASSERT_TRUE(press.seen);
    EXPECT_EQ(toolTipMs, 9000);
    EXPECT_TRUE(files::exists(settingsFile));
}

TEST_F(OptionsDialogTest, TheProxyTestReachesALocalServerAndSaysWhenTheNetworkIsDown)
{
    fixtures::LocalHttpServer server;
    server.setPage("/ok", "fine");
    int closedPort = 0;
    {
        fixtures::LocalHttpServer gone;
        closedPort = gone.port();
    }
    OptionsDialog d(settingsFile, nullptr, &said);
    d.show();
    openTab(d, "代理设置");
    auto* address = control<QLineEdit>(&d, "testAddress");
    auto* test = control<QPushButton>(&d, "proxyTest");
    retype(address, (server.url("/ok") + " ").c_str());
    click(test);
    ASSERT_EQ(said.entries, (std::vector<Entry>{{Entry::Information, "网络连接测试成功"}}));
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests().front().path, "/ok");
    // The wait cursor of the request is gone once it has ended.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    said.entries.clear();
    retype(address, ("http://127.0.0.1:" + std::to_string(closedPort) + "/").c_str());
    click(test);
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "网络不通"}}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // With the proxy switched on, the test goes through the typed proxy, here the closed port.
    said.entries.clear();
    retype(address, server.url("/ok").c_str());
    click(control<QCheckBox>(&d, "useProxy"));
    QTest::keyClicks(control<QLineEdit>(&d, "proxyServer"), "127.0.0.1");
    QTest::keyClicks(control<QLineEdit>(&d, "proxyPort"), std::to_string(closedPort).c_str());
    click(test);
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "网络不通"}}));
    EXPECT_EQ(server.requestCount(), 1u);
    // The test saves nothing.
    EXPECT_FALSE(files::exists(settingsFile));
}
