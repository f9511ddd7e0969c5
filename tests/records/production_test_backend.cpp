#include "production_test_backend.h"

#include "records/sql_odbc_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <memory>

#if defined(Q_OS_LINUX)
#include <dlfcn.h>
#endif

using namespace Qt::StringLiterals;

// psqlODBC keeps a small allocation of each failed statement past the end of the process;
// it is the driver's, not the station's.
extern "C" const char *__lsan_default_suppressions() { return "leak:psqlodbcw.so\n"; }

namespace ordan::test {

namespace {

QString ReadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot read "_s + path + u": "_s + file.errorString();
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

bool WriteFile(const QString &path, const QByteArray &content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        *error = u"cannot write "_s + path;
        return false;
    }
    return true;
}

// KEY=value lines written by db/pg_server.sh.
QHash<QString, QString> ReadServerEnv(QString *error)
{
    QHash<QString, QString> values;
    const QString state = qEnvironmentVariable("ORDAN_PG_STATE");
    if (state.isEmpty()) {
        *error = u"ORDAN_PG_STATE is not set: run the PostgreSQL cases through ctest, whose "
                 "fixture records_pg_server_start starts the test server"_s;
        return values;
    }
    const QString text = ReadFile(state + u"/server.env"_s, error);
    if (!error->isEmpty()) {
        *error = u"the PostgreSQL test server is not running (" + *error + u")";
        return values;
    }
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1).trimmed());
    }
    return values;
}

struct Backend {
    QTemporaryDir dir;
    QString error;
    QString database; // PostgreSQL: this process's database
};

Backend &TheBackend()
{
    static Backend backend;
    return backend;
}

// The driver manager unloads a driver with its last connection, and the leak checker then
// takes what the driver's globals still hold for leaked; a driver that stays mapped keeps it
// reachable and its name in the reports.
void PinDrivers()
{
#if defined(Q_OS_LINUX)
    const QStringList names = {u"psqlodbcw.so"_s, u"libsqlite3odbc.so"_s};
    const QDir lib(u"/usr/lib"_s);
    for (const QString &arch : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString &name : names) {
            const QString path = lib.filePath(arch + u"/odbc/" + name);
            if (QFile::exists(path))
                dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NODELETE);
        }
    }
#endif
}

QString Prepare()
{
    PinDrivers();
    Backend &b = TheBackend();
    if (!b.dir.isValid())
        return u"cannot create a temporary directory"_s;
#if defined(Q_OS_WIN)
    // Under Wine the driver manager is the host's unixODBC, which reads ODBCINI and ODBCSYSINI
    // from the Linux environment alone: the rig writes the configuration and sets them there.
    if (!qEnvironmentVariableIsSet("ORDAN_ODBC_BY_RIG"))
        return u"no ODBC configuration from the rig (ORDAN_ODBC_BY_RIG)"_s;
    if (BackendDialect() == SqlDialect::Sqlite)
        return {};
#endif
    QString error;
    // Drivers come from the system's list; data sources only from the files written here.
    const QString drivers = ReadFile(u"/etc/odbcinst.ini"_s, &error);
    if (!error.isEmpty())
        return error;
    const QString dir = b.dir.path();
    if (!WriteFile(dir + u"/odbcinst.ini", drivers.toUtf8(), &error) ||
        !WriteFile(dir + u"/odbc.ini", QByteArray(), &error))
        return error;

    QByteArray sources;
    if (BackendDialect() == SqlDialect::PostgreSql) {
        const auto env = ReadServerEnv(&error);
        if (!error.isEmpty())
            return error;
        b.database = u"ordan_test_"_s + QString::number(QCoreApplication::applicationPid());
        const auto source = [&](const QString &name, const QString &database) {
            return (u"[" + name + u"]\nDriver=PostgreSQL Unicode\nServername=" + env.value(u"ORDAN_PG_HOST"_s) +
                    u"\nPort=" + env.value(u"ORDAN_PG_PORT"_s) + u"\nDatabase=" + database + u"\nUsername=" +
                    env.value(u"ORDAN_PG_USER"_s) + u"\nPassword=" + env.value(u"ORDAN_PG_PASSWORD"_s) +
                    u"\nUseServerSidePrepare=1\n\n")
                .toUtf8();
        };
        sources = source(u"ElectrometerAdmin"_s, u"postgres"_s) + source(u"Electrometer"_s, b.database);
    } else {
        sources =
            (u"[Electrometer]\nDriver=SQLite3\nDatabase=" + dir + u"/electrometer.db\nTimeout=5000\nFKSupport=1\n")
                .toUtf8();
    }
    const QString userIni = dir + u"/user-odbc.ini";
    if (!WriteFile(userIni, sources, &error))
        return error;
    qputenv("ODBCSYSINI", QFile::encodeName(dir));
    qputenv("ODBCINI", QFile::encodeName(userIni));

    if (BackendDialect() == SqlDialect::PostgreSql) {
        OdbcSqlSession admin(u"ElectrometerAdmin"_s, u"TestAdmin"_s);
        admin.exec(u"DROP DATABASE IF EXISTS " + b.database + u" WITH (FORCE)");
        if (!admin.exec(u"CREATE DATABASE " + b.database + u" ENCODING 'UTF8' TEMPLATE template0"))
            return u"cannot create the test database: "_s + admin.lastError();
    }
    return {};
}

#if defined(ORDAN_TEST_POSTGRESQL)
// The process's database is dropped when the cases are done.
class BackendEnvironment final : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (TheBackend().database.isEmpty())
            return;
        OdbcSqlSession admin(u"ElectrometerAdmin"_s, u"TestAdmin"_s);
        admin.exec(u"DROP DATABASE IF EXISTS " + TheBackend().database + u" WITH (FORCE)");
    }
};

[[maybe_unused]] ::testing::Environment *const Registered = ::testing::AddGlobalTestEnvironment(new BackendEnvironment);
#endif

} // namespace

SqlDialect BackendDialect()
{
#if defined(ORDAN_TEST_POSTGRESQL)
    return SqlDialect::PostgreSql;
#else
    return SqlDialect::Sqlite;
#endif
}

const char *BackendName() { return BackendDialect() == SqlDialect::PostgreSql ? "PostgreSQL" : "SQLite"; }

QString PrepareBackend()
{
    static const QString error = Prepare();
    return error;
}

QString RunScript(SqlSession &db, const QString &path)
{
    QString error;
    QString text = ReadFile(path, &error);
    if (!error.isEmpty())
        return error;
    text.remove(QRegularExpression(u"--[^\n]*"_s));
    for (const QString &statement : text.split(QRegularExpression(u";\\s*\n"_s), Qt::SkipEmptyParts)) {
        const QString trimmed = statement.trimmed();
        if (trimmed.isEmpty() || trimmed == u";")
            continue;
        if (!db.exec(trimmed))
            return trimmed.left(60) + u": " + db.lastError();
    }
    return {};
}

QString ResetSchema(SqlSession &db)
{
    const char *tables[] = {"number_reservation", "spoilage", "set_ordan_tg", "set_ordan_klv", "operation", "plant",
                            "operator",           "computer", "electrometer"};
    for (const char *table : tables) {
        if (!db.exec(u"DROP TABLE IF EXISTS "_s + QLatin1StringView(table)))
            return db.lastError();
    }
    const QString script = BackendDialect() == SqlDialect::PostgreSql ? u"postgresql.sql"_s : u"sqlite.sql"_s;
    return RunScript(db, QStringLiteral(ORDAN_SQL_DIR "/") + script);
}

} // namespace ordan::test
