// The options dialog's logic on real settings files in a temporary folder.
#include "app/options_model.h"

#include "base/files.h"
#include "base/home.h"
#include "store/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using tarvimo::RecordedMessages;
using tarvimo::app::ToptionsForm;
using tarvimo::test::readFile;
using tarvimo::test::TempDir;
using tarvimo::test::writeFile;
using Msg = RecordedMessages::Entry;

namespace {

class OptionsForm : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("DefaultSet.ini");
    RecordedMessages messages;
};

// The file a save writes when nothing was stored and nothing was changed.
std::string savedDefaults(const std::string& folder)
{
    return "[default]\r\nmaxTaskCount=3\r\npassProtect=0\r\npassword=0000000000000000\r\n"
           "hinthindPause=20\r\ngetEmail=1\r\nemailFromName=1\r\nautoall=1\r\n\r\n"
           "[urlType]\r\nsearchDep=1\r\ntimeout=10\r\nthreadCount=3\r\ntryCount=3\r\n\r\n"
           "[other]\r\nminHide=0\r\nbringtotop=0\r\nquitSaveLog=1\r\nlogFile=" + folder + "/log.txt\r\n"
           "XbMailDepth=1\r\nXBMailOne=1\r\nuseMusic=1\r\nmusicIndex=0\r\nmusicFile=\r\n\r\n"
           "[proxy]\r\nUseProxy=0\r\nservername=\r\nport=\r\nusername=\r\npassword=\r\n";
}

} // namespace

TEST_F(OptionsForm, WithoutAFileShowsTheDialogDefaults)
{
    // The log file sits in the Tarvimo home, the folder of DefaultSet.ini.
    ToptionsForm form(tarvimo::home::settingsPath(dir.path()), messages);
    EXPECT_EQ(form.other.logFile, dir.path() + "/log.txt");
    const auto& f = form.fetching;
    EXPECT_EQ(std::vector<int>({f.timeout, f.threadCount, f.tryCount, f.searchDep, form.general.maxTaskCount}),
              std::vector<int>({10, 3, 3, 1, 3}));
    EXPECT_EQ(form.other.mailDepth, "1");
    EXPECT_FALSE(form.proxyBoxesEnabled());
    EXPECT_FALSE(tarvimo::files::exists(form.settingsPath()));
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(OptionsForm, SavingWritesEveryKeyInOrderAsGbkWithCrLfForTheOwnerOnly)
{
    const mode_t old = ::umask(022);
    ToptionsForm form(path, messages);
    ASSERT_TRUE(form.save());
    ::umask(old);
    EXPECT_EQ(readFile(path), savedDefaults(dir.path()));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // Saving again with Chinese text changes only the values, in GBK; a new dialog shows
    // them as they were typed.
    form.other.logFile = "D:\\日志\\log.txt";
    form.sound.musicIndex = 4;
    form.sound.musicFile = "选项.wav";
    ASSERT_TRUE(form.save());
    std::string expected = savedDefaults(dir.path());
    expected.replace(expected.find("logFile=") + 8, dir.path().size() + 8, "D:\\\xC8\xD5\xD6\xBE\\log.txt");
    expected.replace(expected.find("musicIndex=0"), 12, "musicIndex=4");
    expected.replace(expected.find("musicFile="), 10, "musicFile=\xD1\xA1\xCF\xEE.wav");
    EXPECT_EQ(readFile(path), expected);
    ToptionsForm again(path, messages);
    EXPECT_EQ(again.other.logFile + "|" + again.sound.musicFile, "D:\\日志\\log.txt|选项.wav");
    EXPECT_TRUE(again.musicFileVisible());
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(OptionsForm, FillsEveryControlFromTheFileAndClampsSpinBoxes)
{
    writeFile(path, "[default]\r\nmaxTaskCount=9\r\npassProtect=1\r\npassword=ABCDEF\r\nhinthindPause=99\r\n"
                    "getEmail=0\r\nemailFromName=0\r\nautoall=0\r\n"
                    "[urltype]\r\nsearchDep=4\r\ntimeout=500\r\nthreadCount=0\r\ntryCount=7\r\n"
                    "[other]\r\nminHide=1\r\nbringtotop=1\r\nquitSaveLog=0\r\nlogFile=/var/log/t.log\r\n"
                    "XbMailDepth=7\r\nXBMailOne=0\r\nuseMusic=0\r\nmusicIndex=9\r\nmusicFile=a.wav\r\n");
    ToptionsForm form(path, messages);
    const auto& g = form.general;
    const auto& f = form.fetching;
    const auto& o = form.other;
    EXPECT_EQ(std::vector<int>({g.maxTaskCount, g.hinthindPause, f.searchDep, f.timeout, f.threadCount,
                                f.tryCount, form.sound.musicIndex}),
              std::vector<int>({3, 60, 1, 180, 1, 7, -1}));
    EXPECT_EQ(std::vector<bool>({g.passProtect, g.getEmail, g.emailFromName, g.autoAll, o.minHide, o.bringToTop,
                                 o.quitSaveLog, o.mailOne, form.sound.useMusic}),
              std::vector<bool>({true, false, false, false, true, true, false, false, false}));
    EXPECT_EQ(g.password, "");  // never filled from the file
    EXPECT_EQ(o.logFile + "|" + o.mailDepth + "|" + form.sound.musicFile, "/var/log/t.log|7|a.wav");
}

TEST_F(OptionsForm, ProxyBoxesAreFilledOnlyWhenTheProxyIsUsed)
{
    writeFile(path, "[proxy]\r\nUseProxy=0\r\nservername=px\r\nport=3128\r\nusername=u\r\npassword=p\r\n");
    ToptionsForm off(path, messages);
    EXPECT_FALSE(off.proxyBoxesEnabled());
    EXPECT_EQ(off.proxy.server + off.proxy.port + off.proxy.user + off.proxy.password, "");
    off.setUseProxy(true);
    EXPECT_TRUE(off.proxyBoxesEnabled());

    writeFile(path, "[proxy]\r\nuseproxy=1\r\nservername=px\r\nusername=u\r\npassword=p\r\n");
    ToptionsForm on(path, messages);
    EXPECT_TRUE(on.proxyBoxesEnabled());
    EXPECT_EQ(on.proxy.server + "|" + on.proxy.port + "|" + on.proxy.user + "|" + on.proxy.password, "px|8080|u|p");
}

TEST_F(OptionsForm, EachRefusedSaveShowsItsWarningAndLeavesTheFileUntouched)
{
    const std::string original = "[urltype]\r\ntimeout=33\r\n[other]\r\nXbMailDepth=2\r\n";
    struct Case {
        bool useProxy;
        const char* server;
        const char* port;
        const char* mailDepth;
        const char* warning;
    } cases[] = {
        {true, "", "8080", "1", "代理设置不完整"},
        {true, "127.0.0.1", "", "1", "代理设置不完整"},
        {true, "  ", "8080", "1", "代理设置不完整"},
        {true, "127.0.0.1", "80a", "1", "端口请输入数字"},
        // The proxy is checked before the e-mail threads.
        {true, "127.0.0.1", "80a", "0", "端口请输入数字"},
        {false, "", "", "0", "修补Email的搜索线程在1和3之间"},
        {false, "", "", "4", "修补Email的搜索线程在1和3之间"},
        {true, "127.0.0.1", "3128", "-1", "修补Email的搜索线程在1和3之间"},
        {false, "", "", "", "修补Email的搜索线程应该为1-3之间的数字"},
        {false, "", "", "2a", "修补Email的搜索线程应该为1-3之间的数字"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.port) + "/" + c.mailDepth);
        writeFile(path, original);
        messages.entries.clear();
        ToptionsForm form(path, messages);
        form.fetching.timeout = 99;
        form.setUseProxy(c.useProxy);
        form.proxy.server = c.server;
        form.proxy.port = c.port;
        form.other.mailDepth = c.mailDepth;
        EXPECT_FALSE(form.ok());
        EXPECT_FALSE(form.closed());
        EXPECT_FALSE(form.apply());
        EXPECT_EQ(messages.entries, (std::vector<Msg>{{Msg::Warning, c.warning}, {Msg::Warning, c.warning}}));
        EXPECT_EQ(readFile(path), original);
    }
}

TEST_F(OptionsForm, ProxySettingsAreCheckedOnlyWhenTheProxyIsUsedAndReachTheFetcher)
{
    ToptionsForm form(path, messages);
    form.proxy.port = "80a";
    ASSERT_TRUE(form.save());
    form.setUseProxy(true);
    form.proxy.server = "127.0.0.1";
    form.proxy.port = "3128";
    form.proxy.user = "  ";  // blanks only: no authentication for the fetcher
    ASSERT_TRUE(form.save());
    const auto f = tarvimo::store::settings::readFetcherSettings(path);
    EXPECT_TRUE(f.proxy.use);
    EXPECT_EQ(f.proxy.host + ":" + std::to_string(f.proxy.port), "127.0.0.1:3128");
    EXPECT_FALSE(f.proxy.basicAuth);
    EXPECT_EQ(f.timeoutMs, 10000);
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(OptionsForm, ButtonsSaveCloseAndReport)
{
    ToptionsForm form(path, messages);
    form.general.hinthindPause = 7;
    EXPECT_FALSE(form.appliedToolTipDisplayMs());
    EXPECT_TRUE(form.apply());
    EXPECT_FALSE(form.closed());
    EXPECT_EQ(form.appliedToolTipDisplayMs(), 7000);
    EXPECT_EQ(messages.entries, (std::vector<Msg>{{Msg::Information, "保存完毕"}}));
    EXPECT_EQ(tarvimo::store::settings::readStartupSettings(path).toolTipDisplayMs, 7000);

    messages.entries.clear();
    form.fetching.threadCount = 12;
    EXPECT_TRUE(form.ok());
    EXPECT_TRUE(form.closed());
    EXPECT_EQ(tarvimo::store::settings::readRunFrameThreadCount(path), 12);

    const std::string before = readFile(path);
    ToptionsForm cancelled(path, messages);
    cancelled.fetching.threadCount = 50;
    cancelled.cancel();
    EXPECT_TRUE(cancelled.closed());
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(messages.entries.empty());
}

TEST_F(OptionsForm, AWriteErrorIsAFailedSave)
{
    writeFile(dir.file("plain"), "x");
    for (const std::string& bad : {dir.file("plain/DefaultSet.ini"), dir.path()}) {
        SCOPED_TRACE(bad);
        messages.entries.clear();
        ToptionsForm form(bad, messages);
        EXPECT_FALSE(form.apply());
        EXPECT_FALSE(form.ok());
        EXPECT_FALSE(form.closed());
        EXPECT_FALSE(form.appliedToolTipDisplayMs());
        EXPECT_EQ(messages.entries, (std::vector<Msg>{{Msg::Warning, "保存失败！"}, {Msg::Warning, "保存失败！"}}));
    }
    EXPECT_EQ(readFile(dir.file("plain")), "x");
}

TEST(OptionsFormKeys, MailDepthBoxTakesDigitsAndBackspaceOnly)
{
    std::string passed;
    for (char32_t c : {U'0', U'5', U'9', U'\b', U'a', U'-', U'+', U' ', U'/', U':', U'\x7f', U'０', U'三'})
        passed += ToptionsForm::acceptsMailDepthKey(c) ? 'y' : 'n';
    EXPECT_EQ(passed, "yyyynnnnnnnnn");
}
