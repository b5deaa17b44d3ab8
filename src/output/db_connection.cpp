#include "output/db_connection.h"

#include "base/text.h"
#include "run/qt_text.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

namespace tarvimo::output {

namespace {

// Milliseconds a SQLite writer waits for another's lock before the statement fails.
constexpr int kSqliteBusyMs = 2000;
constexpr int kMySqlPort = 3306;

} // namespace

DbTarget DbTarget::fromSettings(const std::string& settingsPath)
{
    namespace s = store::settings;
    const s::DbKindSettings kind = s::readDbKind(settingsPath);
    DbTarget t;
    t.kind = kind.dbType;
    t.connectionString = kind.connectStr;
    t.oracle = s::readOracleSettings(settingsPath);
    t.mysql = s::readMySqlSettings(settingsPath);
    return t;
}

std::string dataSourceFile(std::string_view connectionString)
{
    const std::string_view key = "data source=";
    const std::size_t at = text::findNoCase(connectionString, key);
    if (at == std::string_view::npos)
        return connectionString.find('=') == std::string_view::npos ? text::trim(connectionString) : std::string();
    std::string_view rest = connectionString.substr(at + key.size());
    rest = rest.substr(0, rest.find(';'));
    std::string file = text::trim(rest);
    if (file.size() >= 2 && (file.front() == '"' || file.front() == '\'') && file.back() == file.front())
        file = file.substr(1, file.size() - 2);
    return file;
}

std::string accessConnectionString(std::string_view file)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(file) + ";Persist Security Info=False";
}

QString sqlValue(std::string_view gbk)
{
    if (gbk.empty())
        return QStringLiteral("");
    return fromGbk(gbk);
}

std::string driverError(const QSqlDatabase& db)
{
    const QSqlError e = db.lastError();
    std::string s = e.text().toStdString();
    return s.empty() ? std::string("unknown database error") : s;
}

DbConnection::DbConnection()
{
    static std::atomic<int> serial{0};
    name_ = QStringLiteral("tarvimo-db-%1").arg(++serial);
}

DbConnection::~DbConnection()
{
    close();
}

void DbConnection::open(const DbTarget& target)
{
    close();
    QSqlDatabase db;
    switch (target.kind) {
    case kSqlServer:
    case kDb2:
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
        db.setDatabaseName(fromGbk(target.connectionString));
        break;
    case kAccess: {
        const std::string file = dataSourceFile(target.connectionString);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        if (file.empty()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name_);
            throw DbError("the connection string names no database file (Data Source=...)");
        }
        db.setDatabaseName(fromGbk(file));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMs));
        break;
    }
    case kOracle:
        db = QSqlDatabase::addDatabase(QStringLiteral("QOCI"), name_);
        db.setDatabaseName(fromGbk(target.oracle.serverName));
        db.setUserName(fromGbk(target.oracle.userName));
        db.setPassword(fromGbk(target.oracle.password));
        break;
    case kMySql: {
        db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name_);
        db.setHostName(fromGbk(target.mysql.serverName));
        db.setUserName(fromGbk(target.mysql.userName));
        db.setPassword(fromGbk(target.mysql.password));
        db.setDatabaseName(fromGbk(target.mysql.database));
        int port = kMySqlPort;
        if (!text::parseInt32(text::trim(target.mysql.port), port, false) || port <= 0 || port > 65535)
            port = kMySqlPort;
        db.setPort(port);
        db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10;MYSQL_OPT_READ_TIMEOUT=60;MYSQL_OPT_WRITE_TIMEOUT=60"));
        break;
    }
    default:
        throw DbError("unknown database kind " + std::to_string(target.kind));
    }
    if (!db.isValid()) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError("the database driver for this kind is not installed");
    }
    if (!db.open()) {
        std::string why = driverError(db);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError(why);
    }
    kind_ = target.kind;
    target_ = target;
}

bool DbConnection::isOpen() const
{
    return kind_ != kNotConnected && QSqlDatabase::database(name_, false).isOpen();
}

void DbConnection::close()
{
    if (!QSqlDatabase::contains(name_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name_);
    kind_ = kNotConnected;
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(name_, false);
}

std::vector<std::string> DbConnection::tables() const
{
    std::vector<std::string> out;
    for (const QString& t : database().tables(QSql::Tables))
        out.push_back(toGbk(t));
    return out;
}

std::vector<std::string> DbConnection::fields(const std::string& table) const
{
    const std::string name = kind_ == kOracle ? text::toUpper(table) : table;
    const QSqlRecord record = database().record(fromGbk(name));
    std::vector<std::string> out;
    for (int i = 0; i < record.count(); ++i)
        out.push_back(toGbk(record.fieldName(i)));
    if (out.empty())
        throw DbError("table " + text::gbkToUtf8(table) + " has no fields or does not exist");
    return out;
}

void DbConnection::exec(const std::string& sql)
{
    QSqlDatabase db = database();
    QSqlQuery query(db);
    if (!query.exec(fromGbk(sql)))
        throw DbError(query.lastError().text().toStdString());
}

void DbConnection::inTransaction(const std::function<void(QSqlDatabase&)>& work)
{
    QSqlDatabase db = database();
    try {
        if (!isOpen())
            throw DbError("not connected");
        db.transaction();
        work(db);
        if (!db.commit())
            throw DbError(driverError(db));
    } catch (const DbError&) {
        db.rollback();
        throw;
    }
}

} // namespace tarvimo::output
