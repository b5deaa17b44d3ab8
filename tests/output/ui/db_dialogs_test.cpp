// The connection dialogs' windows: what "配置数据库连接" shows from the settings file and
// writes back, the connection-string editor for the desktop database file and for ODBC
// (through unixODBC's SQLite driver when it is installed), and the Oracle and MySQL dialogs
// it opens.
#include "output/ui/db_dialogs.h"

#include "../export_support.h"
#include "store/settings.h"
#include "ui_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tarvimo;
using namespace tarvimo::test;
using namespace tarvimo::output::ui;
namespace settings = tarvimo::store::settings;
using Entry = RecordedMessages::Entry;

namespace {

class DbDialogsTest : public ::testing::Test {
protected:
    DbDialogsTest()
    {
        SqliteFile db(database);
        QSqlQuery(db.db()).exec("create table t (a varchar(10))");
    }
    Services services() { return {&said, &desktop}; }

    TempDir dir{"tarvimo-db-ui"};
    std::string settingsFile = dir.file("DefaultSet.ini");
    std::string database = dir.file("conn.db");
    RecordedMessages said;
    RecordedDesktop desktop;
};

QStringList itemTexts(QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text().trimmed();
    return out;
}

void clickItem(QListWidget* list, const QString& text)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().trimmed() == text) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
            return;
        }
    ADD_FAILURE() << "no item " << text.toStdString();
}

void retype(QLineEdit* edit, const char* text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// A loopback port nothing listens on.
int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

} // namespace

TEST_F(DbDialogsTest, TheConnectionDialogShowsTheStoredKindAndScriptAndOkWritesTheChoice)
{
    writeSettings(settingsFile, "[DB]\nDbType=1\nDBConnectStr=Data Source=" + database + "\n");
    DbSetDialog d(settingsFile, nullptr, services());
    d.show();
    EXPECT_EQ(d.windowTitle(), q("配置数据库连接"));
    auto* kinds = control<QComboBox>(&d, "ComboBox1");
    QStringList names;
    for (int i = 0; i < kinds->count(); ++i)
        names << kinds->itemText(i);
    EXPECT_EQ(names, (QStringList{"SqlServer", "Access", "DB2", "Oracel", "MySql"}));
    EXPECT_EQ(kinds->currentIndex(), 1);
    auto* script = control<QLineEdit>(&d, "Edit1");
    EXPECT_EQ(captionOf(script), q("连接脚本 ："));
    EXPECT_EQ(script->text(), QString::fromStdString("Data Source=" + database));
    EXPECT_TRUE(script->isReadOnly());
    auto* asDefault = control<QCheckBox>(&d, "CheckBox1");
    EXPECT_EQ(asDefault->text(), q("设置为默认连接"));
    EXPECT_TRUE(asDefault->isChecked());
    EXPECT_EQ(control<QPushButton>(&d, "Button1")->text(), "...");
    EXPECT_EQ(control<QPushButton>(&d, "Button2")->text(), q("连接测试"));
    EXPECT_EQ(control<QPushButton>(&d, "BitBtn1")->text(), q("确定"));
    EXPECT_EQ(control<QPushButton>(&d, "BitBtn2")->text(), q("取消"));

    QTest::keyClick(kinds, Qt::Key_Down);
    click(control<QPushButton>(&d, "BitBtn1"));
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(settings::readDbKind(settingsFile).dbType, 2);
    EXPECT_EQ(settings::readDbKind(settingsFile).connectStr, "Data Source=" + database);

    DbSetDialog cancelled(settingsFile, nullptr, services());
    cancelled.show();
    QTest::keyClick(control<QComboBox>(&cancelled, "ComboBox1"), Qt::Key_Down);
    click(control<QPushButton>(&cancelled, "BitBtn2"));
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(settings::readDbKind(settingsFile).dbType, 2);
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(DbDialogsTest, TheDesktopDatabaseFileIsChosenWithAFileDialogAndTheTestConnects)
{
    writeSettings(settingsFile, "[DB]\nDbType=1\n");
    DbSetDialog d(settingsFile, nullptr, services());
    d.show();
    desktop.answers = {QString::fromStdString(database)};
    OnModal<ConnectionStringDialog> editor([&](ConnectionStringDialog& e) {
        EXPECT_EQ(e.windowTitle(), q("数据链接属性"));
        EXPECT_FALSE(control<QPushButton>(&e, "ok")->isEnabled());
        click(control<QPushButton>(&e, "browse"));
        EXPECT_EQ(control<QLineEdit>(&e, "file")->text(), QString::fromStdString(database));
        click(control<QPushButton>(&e, "ok"));
    });
    click(control<QPushButton>(&d, "Button1"));
    ASSERT_TRUE(editor.seen);
    EXPECT_EQ(desktop.asked, QStringList{q("open|SQLite 数据库 (*.db *.db3 *.sqlite *.sqlite3 *.mdb);;所有文件 (*)")});
    const std::string expected = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database + ";Persist Security Info=False";
    EXPECT_EQ(control<QLineEdit>(&d, "Edit1")->text(), QString::fromStdString(expected));
    EXPECT_TRUE(d.isVisible());

    click(control<QPushButton>(&d, "Button2"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Information, "测试连接成功！"}}));

    // Cancelling the editor keeps the script.
    OnModal<ConnectionStringDialog> cancelled([](ConnectionStringDialog& e) { click(control<QPushButton>(&e, "cancel")); });
    click(control<QPushButton>(&d, "Button1"));
    ASSERT_TRUE(cancelled.seen);
    EXPECT_EQ(control<QLineEdit>(&d, "Edit1")->text(), QString::fromStdString(expected));
    click(control<QPushButton>(&d, "BitBtn1"));
    EXPECT_EQ(settings::readDbKind(settingsFile).connectStr, expected);
}

TEST_F(DbDialogsTest, TheOdbcEditorListsSourcesAndDriversAndBuildsTheString)
{
    ConnectionStringDialog e(output::kSqlServer, {{"SQLite3", "FreeTDS"}, {"books"}}, nullptr, services());
    e.show();
    auto* sources = control<QListWidget>(&e, "sources");
    EXPECT_EQ(itemTexts(sources), (QStringList{q("ODBC 数据源"), "books", q("ODBC 驱动程序"), "SQLite3", "FreeTDS"}));
    EXPECT_FALSE(sources->item(0)->flags().testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(sources->item(2)->flags().testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(control<QPushButton>(&e, "ok")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(&e, "password")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(captionOf(control<QLineEdit>(&e, "database")), q("数据库："));

    clickItem(sources, "SQLite3");
    EXPECT_EQ(e.connectionString(), "DRIVER={SQLite3};");
    QTest::keyClicks(control<QLineEdit>(&e, "database"), "/data/a.db");
    QTest::keyClicks(control<QLineEdit>(&e, "user"), "sa");
    QTest::keyClicks(control<QLineEdit>(&e, "password"), "p;w");
    EXPECT_EQ(e.connectionString(), "DRIVER={SQLite3};DATABASE=/data/a.db;UID=sa;PWD={p;w};");
    EXPECT_EQ(control<QLineEdit>(&e, "connectionString")->text(), q("DRIVER={SQLite3};DATABASE=/data/a.db;UID=sa;PWD={p;w};"));
    clickItem(sources, "books");
    EXPECT_EQ(e.connectionString(), "DSN=books;DATABASE=/data/a.db;UID=sa;PWD={p;w};");
    EXPECT_TRUE(control<QPushButton>(&e, "ok")->isEnabled());

    ConnectionStringDialog none(output::kDb2, {}, nullptr, services());
    EXPECT_EQ(itemTexts(control<QListWidget>(&none, "sources")), QStringList{q("（没有找到 ODBC 数据源或驱动程序）")});
    ConnectionStringDialog driversOnly(output::kSqlServer, {{"SQLite3"}, {}}, nullptr, services());
    auto* listed = control<QListWidget>(&driversOnly, "sources");
    EXPECT_EQ(itemTexts(listed), (QStringList{q("ODBC 数据源"), q("（无）"), q("ODBC 驱动程序"), "SQLite3"}));
    EXPECT_FALSE(listed->item(1)->flags().testFlag(Qt::ItemIsSelectable));
}

TEST_F(DbDialogsTest, AnOdbcStringMadeInTheEditorConnectsThroughTheSqliteDriver)
{
    const auto drivers = output::listOdbcSources().drivers;
    if (std::find(drivers.begin(), drivers.end(), "SQLite3") == drivers.end())
        GTEST_SKIP() << "unixODBC has no SQLite3 driver here";
    writeSettings(settingsFile, "[DB]\nDbType=0\n");
    DbSetDialog d(settingsFile, nullptr, services());
    d.show();
    OnModal<ConnectionStringDialog> editor([&](ConnectionStringDialog& e) {
        clickItem(control<QListWidget>(&e, "sources"), "SQLite3");
        QTest::keyClicks(control<QLineEdit>(&e, "database"), database.c_str());
        click(control<QPushButton>(&e, "ok"));
    });
    click(control<QPushButton>(&d, "Button1"));
    ASSERT_TRUE(editor.seen);
    EXPECT_EQ(control<QLineEdit>(&d, "Edit1")->text(), QString::fromStdString("DRIVER={SQLite3};DATABASE=" + database + ";"));
    click(control<QPushButton>(&d, "Button2"));
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Information, "测试连接成功！"}}));
}

TEST_F(DbDialogsTest, OracleSavedFromTheConnectionDialogClosesBoth)
{
    writeSettings(settingsFile, "[DB]\nDbType=3\n");
    DbSetDialog d(settingsFile, nullptr, services());
    d.show();
    OnModal<OracleDialog> oracle([](OracleDialog& o) {
        EXPECT_EQ(o.windowTitle(), q("设置数据库"));
        bool heading = false;
        for (QLabel* l : o.findChildren<QLabel*>())
            heading |= l->text() == q("数据库连接设置");
        EXPECT_TRUE(heading);
        auto* server = control<QLineEdit>(&o, "Edit1");
        auto* user = control<QLineEdit>(&o, "Edit2");
        auto* password = control<QLineEdit>(&o, "Edit3");
        EXPECT_EQ(captionOf(server), q("服务名:"));
        EXPECT_EQ(captionOf(user), q("用户名:"));
        EXPECT_EQ(captionOf(password), q("密码:"));
        EXPECT_EQ(server->text(), "server");
        EXPECT_EQ(user->text(), "system");
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(control<QPushButton>(&o, "Button1")->text(), q("测试连接..."));
        EXPECT_EQ(control<QPushButton>(&o, "Button3")->text(), q("关闭"));
        retype(server, "orcl");
        retype(user, "scott");
        retype(password, "tiger");
        click(control<QPushButton>(&o, "Button2"));
        EXPECT_EQ(o.result(), QDialog::Accepted);
    });
    click(control<QPushButton>(&d, "Button1"));
    ASSERT_TRUE(oracle.seen);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(settings::readDbKind(settingsFile).dbType, 3);
    const auto stored = settings::readOracleSettings(settingsFile);
    EXPECT_EQ(stored.serverName + "|" + stored.userName + "|" + stored.password, "orcl|scott|tiger");
    EXPECT_TRUE(said.entries.empty());
}

TEST_F(DbDialogsTest, TheMySqlDialogTestsAgainstTheTypedServerAndCloseSavesNothing)
{
    writeSettings(settingsFile, "[DB]\nDbType=4\n");
    DbSetDialog d(settingsFile, nullptr, services());
    d.show();
    const std::string port = std::to_string(closedPort());
    OnModal<MySqlDialog> mysql([&](MySqlDialog& m) {
        EXPECT_EQ(m.windowTitle(), q("设置数据库"));
        QStringList captions, values;
        for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"}) {
            captions << captionOf(control<QLineEdit>(&m, name));
            values << control<QLineEdit>(&m, name)->text();
        }
        EXPECT_EQ(captions, (QStringList{q("服务器:"), q("用户名:"), q("密码:"), q("数据库:"), q("端口:")}));
        EXPECT_EQ(values, (QStringList{"localHost", "root", "", "mysql", "3306"}));
        EXPECT_EQ(control<QLineEdit>(&m, "Edit3")->echoMode(), QLineEdit::Password);
        retype(control<QLineEdit>(&m, "Edit1"), "127.0.0.1");
        retype(control<QLineEdit>(&m, "Edit5"), port.c_str());
        click(control<QPushButton>(&m, "Button1"));
        click(control<QPushButton>(&m, "Button3"));
        EXPECT_EQ(m.result(), QDialog::Rejected);
    });
    click(control<QPushButton>(&d, "Button1"));
    ASSERT_TRUE(mysql.seen);
    EXPECT_EQ(said.entries, (std::vector<Entry>{{Entry::Warning, "连接测试失败"}}));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(settings::readMySqlSettings(settingsFile).serverName, "localHost");
}

TEST_F(DbDialogsTest, TheMySqlDialogSavesWhatWasTyped)
{
    MySqlDialog m(settingsFile, nullptr, services());
    m.show();
    retype(control<QLineEdit>(&m, "Edit1"), "127.0.0.1");
    retype(control<QLineEdit>(&m, "Edit4"), "crm");
    retype(control<QLineEdit>(&m, "Edit5"), "3307");
    click(control<QPushButton>(&m, "Button2"));
    EXPECT_EQ(m.result(), QDialog::Accepted);
    const auto stored = settings::readMySqlSettings(settingsFile);
    EXPECT_EQ(stored.serverName + "|" + stored.database + "|" + stored.port, "127.0.0.1|crm|3307");
    EXPECT_EQ(settings::readDbKind(settingsFile).dbType, 4);
}
