// DefaultSet.ini readers and writers against real files in a temporary folder.
#include "store/settings.h"

#include "base/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace settings = tarvimo::store::settings;
using tarvimo::test::readFile;
using tarvimo::test::TempDir;
using tarvimo::test::writeFile;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST(Settings, WithoutAFileEveryReaderUsesItsOwnDefault)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");

    const auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 60000);
    EXPECT_EQ(f.tryCount, 3);
    EXPECT_FALSE(f.http10);
    EXPECT_FALSE(f.proxy.use);
    EXPECT_TRUE(f.proxy.host.empty());

    const auto s = settings::readStartupSettings(path);
    EXPECT_EQ(s.maxTaskCount, 5);
    EXPECT_EQ(s.toolTipDisplayMs, 20000);
    EXPECT_TRUE(s.showText);
    EXPECT_TRUE(s.showGrid);
    EXPECT_FALSE(s.minHide);

    const auto e = settings::readEmailLookupSettings(path);
    EXPECT_TRUE(e.getEmail);
    EXPECT_TRUE(e.emailFromName);

    EXPECT_EQ(settings::readRunFrameThreadCount(path), 3);
    EXPECT_EQ(settings::readTaskMasterThreadCount(path), 1);

    EXPECT_EQ(settings::readDbKind(path).dbType, 0);
    EXPECT_EQ(settings::readDbKind(path).connectStr, "");
    const auto o = settings::readOracleSettings(path);
    EXPECT_EQ(o.serverName, "server");
    EXPECT_EQ(o.userName, "system");
    EXPECT_EQ(o.password, "kelvora");
    const auto m = settings::readMySqlSettings(path);
    EXPECT_EQ(m.serverName, "localHost");
    EXPECT_EQ(m.userName, "root");
    EXPECT_EQ(m.password, "");
    EXPECT_EQ(m.database, "mysql");
    EXPECT_EQ(m.port, "3306");

    // Reading never creates the file.
    EXPECT_FALSE(tarvimo::files::exists(path));
}

TEST(Settings, FetcherReadsHandWrittenValuesWhateverTheirLetterCase)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    writeFile(path, "[URLTYPE]\r\nTimeOut=7\r\ntrycount=5\r\n"
                    "[Proxy]\r\nuseproxy=1\r\nSERVERNAME=127.0.0.1\r\nPort=3128\r\n"
                    "UserName=bob\r\nPassword=s3cret\r\nTYPE=1\r\n");
    const auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 7000);
    EXPECT_EQ(f.tryCount, 5);
    EXPECT_TRUE(f.http10);
    EXPECT_TRUE(f.proxy.use);
    EXPECT_EQ(f.proxy.host, "127.0.0.1");
    EXPECT_EQ(f.proxy.port, 3128);
    EXPECT_TRUE(f.proxy.basicAuth);
    EXPECT_EQ(f.proxy.user, "bob");
    EXPECT_EQ(f.proxy.password, "s3cret");
}

TEST(Settings, ProxyWithoutUserNameOrWithBlanksOnlyHasNoAuthentication)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    for (const char* user : {"username=\r\n", "username=   \t\r\n", ""}) {
        SCOPED_TRACE(user);
        writeFile(path, std::string("[proxy]\r\nUseProxy=1\r\nservername=127.0.0.1\r\n") + user +
                            "password=ignored\r\n");
        const auto f = settings::readFetcherSettings(path);
        EXPECT_TRUE(f.proxy.use);
        EXPECT_EQ(f.proxy.port, 8080);  // no port stored
        EXPECT_FALSE(f.proxy.basicAuth);
        EXPECT_TRUE(f.proxy.user.empty());
        EXPECT_TRUE(f.proxy.password.empty());
    }
}

TEST(Settings, ValuesThatAreNoNumbersReadAsTheReadersDefault)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    writeFile(path, "[urltype]\r\ntimeout=ten\r\nthreadCount=many\r\ntryCount=3x\r\n"
                    "[proxy]\r\nUseProxy=yes\r\nservername=h\r\nport=80a\r\ntype=high\r\n"
                    "[default]\r\nmaxTaskCount=\r\nhinthindPause=0x\r\n");
    const auto f = settings::readFetcherSettings(path);
    EXPECT_EQ(f.timeoutMs, 60000);
    EXPECT_EQ(f.tryCount, 3);
    EXPECT_FALSE(f.http10);
    EXPECT_FALSE(f.proxy.use);  // "yes" is no number: the default, false
    EXPECT_EQ(settings::readRunFrameThreadCount(path), 3);
    EXPECT_EQ(settings::readTaskMasterThreadCount(path), 1);
    EXPECT_EQ(settings::readStartupSettings(path).maxTaskCount, 5);
    EXPECT_EQ(settings::readStartupSettings(path).toolTipDisplayMs, 20000);

    // With the proxy switched on, a port that is no number gives the default port.
    writeFile(path, "[proxy]\r\nUseProxy=-1\r\nservername=h\r\nport=80a\r\n");
    EXPECT_TRUE(settings::readFetcherSettings(path).proxy.use);
    EXPECT_EQ(settings::readFetcherSettings(path).proxy.port, 8080);
}

TEST(Settings, TaskMasterAndRunFrameSeeTheSameStoredThreadCount)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    writeFile(path, "[urlType]\r\nthreadCount=0\r\n");
    EXPECT_EQ(settings::readTaskMasterThreadCount(path), 0);  // limits are the caller's
    EXPECT_EQ(settings::readRunFrameThreadCount(path), 0);
}

TEST(Settings, DatabaseKindWrittenAsDBTypeIsFoundAsDbType)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    settings::writeDbKind(path, {2, "DSN=x;UID=u"});
    EXPECT_EQ(readFile(path), "[DB]\r\nDBType=2\r\nDBConnectStr=DSN=x;UID=u\r\n");
    const auto k = settings::readDbKind(path);
    EXPECT_EQ(k.dbType, 2);
    EXPECT_EQ(k.connectStr, "DSN=x;UID=u");

    writeFile(path, "[db]\r\ndbtype=4\r\n");
    EXPECT_EQ(settings::readDbKind(path).dbType, 4);
}

TEST(Settings, OracleAndMySqlShareTheDbKeysButNotTheirDefaults)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    // A Chinese password is stored as GBK ("日志" is C8 D5 D6 BE).
    settings::writeOracleSettings(path, {"orcl", "scott", "\xC8\xD5\xD6\xBE"});
    EXPECT_EQ(readFile(path), "[DB]\r\nDBType=3\r\nservername=orcl\r\nusername=scott\r\n"
                              "password=\xC8\xD5\xD6\xBE\r\n");
    EXPECT_EQ(settings::readDbKind(path).dbType, 3);
    EXPECT_EQ(settings::readOracleSettings(path).password, "\xC8\xD5\xD6\xBE");

    // MySQL readers of the same file see the shared keys and their own defaults for the rest.
    const auto m = settings::readMySqlSettings(path);
    EXPECT_EQ(m.serverName, "orcl");
    EXPECT_EQ(m.database, "mysql");
    EXPECT_EQ(m.port, "3306");

    settings::writeMySqlSettings(path, {"127.0.0.1", "root", "", "crm", "3307"});
    EXPECT_EQ(readFile(path), "[DB]\r\nDBType=4\r\nservername=127.0.0.1\r\nusername=root\r\n"
                              "password=\r\ndatabase=crm\r\nport=3307\r\n");
    // An empty stored password is not the Oracle default.
    EXPECT_EQ(settings::readOracleSettings(path).password, "");
}

TEST(Settings, FileIsCreatedForItsOwnerOnly)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    const mode_t old = ::umask(0);
    settings::writeFormStyle(path, 2);
    ::umask(old);
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(Settings, WindowStyleWritesTheSkinFileOnlyForTheCustomStyle)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    settings::writeFormStyle(path, 2, "ignored.Skn");
    EXPECT_EQ(readFile(path), "[userSet]\r\nformStyle=2\r\n");
    settings::writeFormStyle(path, 0, "C:\\skins\\blue.Skn");
    EXPECT_EQ(readFile(path), "[userSet]\r\nformStyle=0\r\nformStyleFile=C:\\skins\\blue.Skn\r\n");
}

TEST(Settings, SystemProxyCopyReachesTheFetcher)
{
    TempDir dir;
    const std::string path = dir.file("DefaultSet.ini");
    settings::writeSystemProxy(path, true, "127.0.0.1", "3128");
    auto f = settings::readFetcherSettings(path);
    EXPECT_TRUE(f.proxy.use);
    EXPECT_EQ(f.proxy.host, "127.0.0.1");
    EXPECT_EQ(f.proxy.port, 3128);

    // Switching it off keeps the host but the fetcher uses no proxy.
    settings::writeSystemProxy(path, false);
    EXPECT_EQ(readFile(path), "[proxy]\r\nUseProxy=0\r\nservername=127.0.0.1\r\nport=3128\r\n");
    f = settings::readFetcherSettings(path);
    EXPECT_FALSE(f.proxy.use);
    EXPECT_TRUE(f.proxy.host.empty());
}

TEST(Settings, WriteFailureIsReportedNotSwallowed)
{
    TempDir dir;
    writeFile(dir.file("plain"), "x");
    // The parent of the settings file is a regular file.
    EXPECT_THROW(settings::writeDbKind(dir.file("plain/DefaultSet.ini"), {0, ""}), tarvimo::files::FileError);
}

TEST(Settings, DefaultLogFileIsInTheFolderOfTheSettingsFile)
{
    EXPECT_EQ(settings::defaultLogFile("/data/tarvimo/DefaultSet.ini"), "/data/tarvimo/log.txt");
    // A home whose name is Chinese (UTF-8 on disk) is stored as GBK text.
    EXPECT_EQ(settings::defaultLogFile("/\xE6\x97\xA5\xE5\xBF\x97/DefaultSet.ini"), "/\xC8\xD5\xD6\xBE/log.txt");
}
