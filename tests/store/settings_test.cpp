// DefaultSet.ini readers and writers against real files in a temporary folder.
#include "store/settings.h"

#include "base/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace settings = tarvimo::store::settings;
using tarvimo::test::readFile;
using tarvimo::test::TempDir;
using tarvimo::test::writeFile;

class Settings : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("DefaultSet.ini");
};

TEST_F(Settings, WithoutAFileEveryReaderUsesItsOwnDefault)
{
    const auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 60000);
    EXPECT_EQ(f.tryCount, 3);
    EXPECT_FALSE(f.http10);
    EXPECT_FALSE(f.proxy.use);
    const auto s = settings::readStartupSettings(path);
    EXPECT_EQ(s.maxTaskCount, 5);
    EXPECT_EQ(s.toolTipDisplayMs, 20000);
    EXPECT_TRUE(s.showText && s.showGrid && !s.minHide);
    const auto e = settings::readEmailLookupSettings(path);
    EXPECT_TRUE(e.getEmail && e.emailFromName);
    EXPECT_EQ(settings::readRunFrameThreadCount(path), 3);
    EXPECT_EQ(settings::readTaskMasterThreadCount(path), 1);
    EXPECT_EQ(settings::readDbKind(path).dbType, 0);
    const auto o = settings::readOracleSettings(path);
    EXPECT_EQ(o.serverName + "|" + o.userName + "|" + o.password, "server|system|kelvora");
    const auto m = settings::readMySqlSettings(path);
    EXPECT_EQ(m.serverName + "|" + m.userName + "|" + m.password + "|" + m.database + "|" + m.port,
              "localHost|root||mysql|3306");
    EXPECT_FALSE(tarvimo::files::exists(path));  // reading never creates the file
}

TEST_F(Settings, FetcherReadsHandWrittenValuesWhateverTheirLetterCase)
{
    writeFile(path, "[URLTYPE]\r\nTimeOut=7\r\ntrycount=5\r\n[Proxy]\r\nuseproxy=1\r\nSERVERNAME=127.0.0.1\r\n"
                    "Port=3128\r\nUserName=bob\r\nPassword=s3cret\r\nTYPE=1\r\n");
    auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 7000);
    EXPECT_EQ(f.tryCount, 5);
    EXPECT_TRUE(f.http10);
    EXPECT_TRUE(f.proxy.use && f.proxy.basicAuth);
    EXPECT_EQ(f.proxy.host + ":" + std::to_string(f.proxy.port), "127.0.0.1:3128");
    EXPECT_EQ(f.proxy.user + "/" + f.proxy.password, "bob/s3cret");

    // No user name, or blanks only: a proxy without authentication.
    for (const char* user : {"", "username=\r\n", "username=  \t\r\n"}) {
        writeFile(path, std::string("[proxy]\r\nUseProxy=1\r\nservername=h\r\n") + user + "password=x\r\n");
        f = settings::readFetcherSettings(path);
        EXPECT_TRUE(f.proxy.use) << user;
        EXPECT_FALSE(f.proxy.basicAuth) << user;
        EXPECT_EQ(f.proxy.user + f.proxy.password, "") << user;
    }
}

TEST_F(Settings, ValuesThatAreNoNumbersReadAsTheReadersDefault)
{
    writeFile(path, "[urltype]\r\ntimeout=ten\r\nthreadCount=many\r\ntryCount=3x\r\n"
                    "[proxy]\r\nUseProxy=-1\r\nservername=h\r\nport=80a\r\ntype=high\r\n"
                    "[default]\r\nmaxTaskCount=\r\nhinthindPause=0x\r\n");
    const auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 60000);
    EXPECT_EQ(f.tryCount, 3);
    EXPECT_FALSE(f.http10);
    EXPECT_TRUE(f.proxy.use);  // any non-zero number is true
    EXPECT_EQ(f.proxy.port, 8080);
    EXPECT_EQ(settings::readRunFrameThreadCount(path), 3);
    EXPECT_EQ(settings::readTaskMasterThreadCount(path), 1);
    EXPECT_EQ(settings::readStartupSettings(path).maxTaskCount, 5);
    EXPECT_EQ(settings::readStartupSettings(path).toolTipDisplayMs, 20000);
}

TEST_F(Settings, DatabaseDialogsWriteDBTypeThatReadersFindAsDbType)
{
    settings::writeDbKind(path, {2, "DSN=x;UID=u"});
    EXPECT_EQ(readFile(path), "[DB]\r\nDBType=2\r\nDBConnectStr=DSN=x;UID=u\r\n");
    EXPECT_EQ(settings::readDbKind(path).dbType, 2);
    EXPECT_EQ(settings::readDbKind(path).connectStr, "DSN=x;UID=u");

    // A Chinese password is stored as GBK ("日志" is C8 D5 D6 BE); MySQL readers of the
    // same file see the shared keys and their own defaults for the rest.
    settings::writeOracleSettings(path, {"orcl", "scott", "\xC8\xD5\xD6\xBE"});
    EXPECT_EQ(readFile(path), "[DB]\r\nDBType=3\r\nDBConnectStr=DSN=x;UID=u\r\nservername=orcl\r\n"
                              "username=scott\r\npassword=\xC8\xD5\xD6\xBE\r\n");
    EXPECT_EQ(settings::readDbKind(path).dbType, 3);
    const auto m = settings::readMySqlSettings(path);
    EXPECT_EQ(m.serverName + "|" + m.database + "|" + m.port, "orcl|mysql|3306");

    settings::writeMySqlSettings(path, {"127.0.0.1", "root", "", "crm", "3307"});
    EXPECT_EQ(settings::readDbKind(path).dbType, 4);
    EXPECT_EQ(settings::readOracleSettings(path).password, "");  // stored empty, not the default
    EXPECT_EQ(settings::readMySqlSettings(path).database, "crm");
}

TEST_F(Settings, WindowStyleAndSystemProxyWriters)
{
    settings::writeFormStyle(path, 2, "ignored.Skn");
    settings::writeSystemProxy(path, true, "127.0.0.1", "3128");
    EXPECT_EQ(settings::readFetcherSettings(path).proxy.port, 3128);
    settings::writeFormStyle(path, 0, "C:\\skins\\blue.Skn");
    settings::writeSystemProxy(path, false);
    EXPECT_EQ(readFile(path), "[userSet]\r\nformStyle=0\r\nformStyleFile=C:\\skins\\blue.Skn\r\n\r\n"
                              "[proxy]\r\nUseProxy=0\r\nservername=127.0.0.1\r\nport=3128\r\n");
    EXPECT_FALSE(settings::readFetcherSettings(path).proxy.use);
}

TEST_F(Settings, WriteFailureIsReportedNotSwallowed)
{
    writeFile(dir.file("plain"), "x");  // the parent of the settings file is a regular file
    EXPECT_THROW(settings::writeDbKind(dir.file("plain/DefaultSet.ini"), {0, ""}), tarvimo::files::FileError);
}
