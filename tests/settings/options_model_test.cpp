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
    return "[default]\r\n"
           "maxTaskCount=3\r\n"
           "passProtect=0\r\n"
           "password=0000000000000000\r\n"
           "hinthindPause=20\r\n"
           "getEmail=1\r\n"
           "emailFromName=1\r\n"
           "autoall=1\r\n"
           "\r\n"
           "[urlType]\r\n"
           "searchDep=1\r\n"
           "timeout=10\r\n"
           "threadCount=3\r\n"
           "tryCount=3\r\n"
           "\r\n"
           "[other]\r\n"
           "minHide=0\r\n"
           "bringtotop=0\r\n"
           "quitSaveLog=1\r\n"
           "logFile=" + folder + "/log.txt\r\n"
           "XbMailDepth=1\r\n"
           "XBMailOne=1\r\n"
           "useMusic=1\r\n"
           "musicIndex=0\r\n"
           "musicFile=\r\n"
           "\r\n"
           "[proxy]\r\n"
           "UseProxy=0\r\n"
           "servername=\r\n"
           "port=\r\n"
           "username=\r\n"
           "password=\r\n";
}

} // namespace

TEST_F(OptionsForm, WithoutAFileShowsTheDialogDefaults)
{
    // The log file sits in the Tarvimo home, the folder of DefaultSet.ini.
    tarvimo::home::setOverride(dir.path());
    ToptionsForm form(tarvimo::home::settingsPath(), messages);
    tarvimo::home::setOverride("");

    EXPECT_EQ(form.fetching.timeout, 10);
    EXPECT_EQ(form.fetching.threadCount, 3);
    EXPECT_EQ(form.fetching.tryCount, 3);
    EXPECT_EQ(form.fetching.searchDep, 1);
    EXPECT_EQ(form.other.mailDepth, "1");
    EXPECT_EQ(form.other.logFile, dir.path() + "/log.txt");
    EXPECT_FALSE(form.proxy.useProxy);
    EXPECT_FALSE(form.proxyBoxesEnabled());
    EXPECT_EQ(form.general.maxTaskCount, 3);
    EXPECT_EQ(form.general.hinthindPause, 20);
    EXPECT_EQ(form.currentPage, 0);
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
    EXPECT_TRUE(messages.entries.empty());

    // Saving again with Chinese text changes only the values, in GBK.
    form.other.logFile = "D:\\日志\\log.txt";
    form.sound.musicIndex = 4;
    form.sound.musicFile = "选项.wav";
    ASSERT_TRUE(form.save());
    std::string expected = savedDefaults(dir.path());
    expected.replace(expected.find("logFile=") + 8, dir.path().size() + 8, "D:\\\xC8\xD5\xD6\xBE\\log.txt");
    expected.replace(expected.find("musicIndex=0"), 12, "musicIndex=4");
    expected.replace(expected.find("musicFile="), 10, "musicFile=\xD1\xA1\xCF\xEE.wav");
    EXPECT_EQ(readFile(path), expected);

    // And a new dialog shows them again as they were typed.
    ToptionsForm again(path, messages);
    EXPECT_EQ(again.other.logFile, "D:\\日志\\log.txt");
    EXPECT_EQ(again.sound.musicFile, "选项.wav");
    EXPECT_TRUE(again.musicFileVisible());
}

TEST_F(OptionsForm, SavingKeepsOtherSectionsAndTheSpellingOfExistingKeys)
{
    writeFile(path, "[DB]\r\nDBType=4\r\npassword=pw\r\n[URLTYPE]\r\nTIMEOUT=30\r\n");
    ToptionsForm form(path, messages);
    EXPECT_EQ(form.fetching.timeout, 30);
    ASSERT_TRUE(form.save());
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.rfind("[DB]\r\nDBType=4\r\npassword=pw\r\n[URLTYPE]\r\nTIMEOUT=30\r\n"
                          "searchDep=1\r\nthreadCount=3\r\ntryCount=3\r\n\r\n[default]\r\n", 0), 0u)
        << bytes;
    // The database password is not the dialog's password.
    EXPECT_EQ(tarvimo::store::settings::readOracleSettings(path).password, "pw");
}

TEST_F(OptionsForm, FillsEveryControlFromTheFileAndClampsSpinBoxes)
{
    writeFile(path, "[default]\r\nmaxTaskCount=9\r\npassProtect=1\r\npassword=ABCDEF\r\nhinthindPause=99\r\n"
                    "getEmail=0\r\nemailFromName=0\r\nautoall=0\r\n"
                    "[urltype]\r\nsearchDep=4\r\ntimeout=500\r\nthreadCount=0\r\ntryCount=7\r\n"
                    "[other]\r\nminHide=1\r\nbringtotop=1\r\nquitSaveLog=0\r\nlogFile=/var/log/t.log\r\n"
                    "XbMailDepth=7\r\nXBMailOne=0\r\nuseMusic=0\r\nmusicIndex=9\r\nmusicFile=a.wav\r\n");
    ToptionsForm form(path, messages);
    EXPECT_EQ(form.general.maxTaskCount, 3);
    EXPECT_TRUE(form.general.passProtect);
    EXPECT_TRUE(form.general.password.empty());
    EXPECT_EQ(form.general.hinthindPause, 60);
    EXPECT_FALSE(form.general.getEmail);
    EXPECT_FALSE(form.general.emailFromName);
    EXPECT_FALSE(form.general.autoAll);
    EXPECT_EQ(form.fetching.searchDep, 1);
    EXPECT_EQ(form.fetching.timeout, 180);
    EXPECT_EQ(form.fetching.threadCount, 1);
    EXPECT_EQ(form.fetching.tryCount, 7);
    EXPECT_TRUE(form.other.minHide);
    EXPECT_TRUE(form.other.bringToTop);
    EXPECT_FALSE(form.other.quitSaveLog);
    EXPECT_EQ(form.other.logFile, "/var/log/t.log");
    EXPECT_EQ(form.other.mailDepth, "7");  // shown as stored, refused on save
    EXPECT_FALSE(form.other.mailOne);
    EXPECT_FALSE(form.sound.useMusic);
    EXPECT_EQ(form.sound.musicIndex, -1);
    EXPECT_FALSE(form.musicFileVisible());
    EXPECT_EQ(form.sound.musicFile, "a.wav");
}

TEST_F(OptionsForm, ProxyBoxesAreFilledOnlyWhenTheProxyIsUsed)
{
    writeFile(path, "[proxy]\r\nUseProxy=0\r\nservername=px\r\nport=3128\r\nusername=u\r\npassword=p\r\n");
    {
        ToptionsForm form(path, messages);
        EXPECT_FALSE(form.proxyBoxesEnabled());
        EXPECT_EQ(form.proxy.server, "");
        EXPECT_EQ(form.proxy.port, "");
        EXPECT_EQ(form.proxy.user, "");
        EXPECT_EQ(form.proxy.password, "");
        form.setUseProxy(true);
        EXPECT_TRUE(form.proxyBoxesEnabled());
        form.setUseProxy(false);
        EXPECT_FALSE(form.proxyBoxesEnabled());
    }
    writeFile(path, "[proxy]\r\nuseproxy=1\r\nservername=px\r\nusername=u\r\npassword=p\r\n");
    ToptionsForm form(path, messages);
    EXPECT_TRUE(form.proxyBoxesEnabled());
    EXPECT_EQ(form.proxy.server, "px");
    EXPECT_EQ(form.proxy.port, "8080");
    EXPECT_EQ(form.proxy.user, "u");
    EXPECT_EQ(form.proxy.password, "p");
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

TEST_F(OptionsForm, ProxySettingsAreCheckedOnlyWhenTheProxyIsUsed)
{
    ToptionsForm form(path, messages);
    form.proxy.port = "80a";
    form.other.mailDepth = "3";
    ASSERT_TRUE(form.save());
    EXPECT_TRUE(messages.entries.empty());

    form.setUseProxy(true);
    form.proxy.server = "127.0.0.1";
    form.proxy.port = "3128";
    form.proxy.user = "  ";
    ASSERT_TRUE(form.save());
    // The fetcher sees the proxy; a blank user name means no authentication.
    const auto f = tarvimo::store::settings::readFetcherSettings(path);
    EXPECT_TRUE(f.proxy.use);
    EXPECT_EQ(f.proxy.host, "127.0.0.1");
    EXPECT_EQ(f.proxy.port, 3128);
    EXPECT_FALSE(f.proxy.basicAuth);
    EXPECT_EQ(tarvimo::store::settings::readFetcherSettings(path).timeoutMs, 10000);
}

TEST_F(OptionsForm, ButtonsSaveCloseAndReport)
{
    {
        ToptionsForm form(path, messages);
        form.general.hinthindPause = 7;
        EXPECT_FALSE(form.appliedToolTipDisplayMs());
        EXPECT_TRUE(form.apply());
        EXPECT_FALSE(form.closed());
        EXPECT_EQ(form.appliedToolTipDisplayMs(), 7000);
        EXPECT_EQ(messages.entries, (std::vector<Msg>{{Msg::Information, "保存完毕"}}));
        EXPECT_EQ(tarvimo::store::settings::readStartupSettings(path).toolTipDisplayMs, 7000);
    }
    messages.entries.clear();
    {
        ToptionsForm form(path, messages);
        EXPECT_EQ(form.general.hinthindPause, 7);
        form.fetching.threadCount = 12;
        EXPECT_TRUE(form.ok());
        EXPECT_TRUE(form.closed());
        EXPECT_TRUE(messages.entries.empty());
        EXPECT_EQ(tarvimo::store::settings::readRunFrameThreadCount(path), 12);
    }
    {
        const std::string before = readFile(path);
        ToptionsForm form(path, messages);
        form.fetching.threadCount = 50;
        form.cancel();
        EXPECT_TRUE(form.closed());
        EXPECT_EQ(readFile(path), before);
        EXPECT_TRUE(messages.entries.empty());
    }
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
    for (char32_t c = U'0'; c <= U'9'; ++c)
        EXPECT_TRUE(ToptionsForm::acceptsMailDepthKey(c));
    EXPECT_TRUE(ToptionsForm::acceptsMailDepthKey(U'\b'));
    for (char32_t c : {U'a', U'-', U'+', U' ', U'/', U':', U'\r', U'\x7f', U'０', U'三'})
        EXPECT_FALSE(ToptionsForm::acceptsMailDepthKey(c));
}
