#include "records/sql_odbc_session.h"

#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#ifdef Q_OS_WIN
// The ODBC headers of Windows take their basic types from here.
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace ordan {

namespace {

Q_LOGGING_CATEGORY(lcDatabase, "ordan.records.database", QtInfoMsg)

const QString OdbcDriver = QStringLiteral("QODBC");

QSqlDatabase Connection(const QString &name) { return QSqlDatabase::database(name, false); }

std::optional<SQLHDBC> NativeHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return std::nullopt;
    SQLHDBC hdbc = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!hdbc)
        return std::nullopt;
    return hdbc;
}

QString DbmsName(const QSqlDatabase &db)
{
    const auto hdbc = NativeHandle(db);
    if (!hdbc)
        return {};
    // The wide call by name: a Windows build defines UNICODE, which turns a plain SQLGetInfo
    // into the wide one anyway, and a wide answer read as bytes would end at its first letter.
    SQLWCHAR name[128] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(*hdbc, SQL_DBMS_NAME, name, sizeof name - sizeof name[0], &bytes)))
        return {};
    if constexpr (sizeof(SQLWCHAR) == sizeof(char16_t))
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(name));
    else
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(name));
}

// The driver's own view of the link; drivers that do not know say alive.
bool ConnectionDead(const QSqlDatabase &db)
{
    const auto hdbc = NativeHandle(db);
    if (!hdbc)
        return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(*hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

QString ErrorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return text;
}

// Each server names its lock and statement bounds its own way; SQLite has only the wait
// for a busy database file, and its statements run locally.
QStringList BoundStatements(SqlDialect dialect, const SessionBounds &bounds)
{
    const QString lock = QString::number(bounds.lockWait.count());
    const QString limit = QString::number(bounds.statementLimit.count());
    switch (dialect) {
    case SqlDialect::PostgreSql:
        return {QStringLiteral("SET lock_timeout = %1").arg(lock),
                QStringLiteral("SET statement_timeout = %1").arg(limit)};
    case SqlDialect::Sqlite: return {QStringLiteral("PRAGMA busy_timeout = %1").arg(lock)};
    case SqlDialect::SqlServer: break;
    }
    return {QStringLiteral("SET LOCK_TIMEOUT %1").arg(lock)};
}

} // namespace

OdbcSqlSession::OdbcSqlSession(QString dataSource, QString connectionName, SessionBounds bounds)
    : dataSource_(std::move(dataSource)), connectionName_(std::move(connectionName)), bounds_(bounds)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(OdbcDriver, connectionName_);
    db.setDatabaseName(dataSource_);
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(bounds_.login.count()));
}

OdbcSqlSession::~OdbcSqlSession()
{
    close();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool OdbcSqlSession::isOpen() const { return Connection(connectionName_).isOpen(); }

void OdbcSqlSession::close()
{
    QSqlDatabase db = Connection(connectionName_);
    if (db.isOpen())
        db.close();
    dialect_.reset();
}

bool OdbcSqlSession::ensureOpen()
{
    QSqlDatabase db = Connection(connectionName_);
    if (db.isOpen())
        return true;
    if (!db.open()) {
        lastError_ = ErrorText(db.lastError());
        qCWarning(lcDatabase) << "cannot open" << dataSource_ << lastError_;
        return false;
    }
    const QString dbms = DbmsName(db);
    dialect_ = DialectForDbmsName(dbms);
    qCDebug(lcDatabase) << "opened" << dataSource_ << "on" << dbms;
    applyBounds();
    return true;
}

// A server that refuses a bound still serves the station; the refusal goes to the log, as the
// waits then are the server's own defaults.
void OdbcSqlSession::applyBounds()
{
    for (const QString &statement : BoundStatements(*dialect_, bounds_)) {
        QSqlQuery query(Connection(connectionName_));
        if (!query.exec(statement))
            qCWarning(lcDatabase) << "bound refused on" << dataSource_ << statement << ErrorText(query.lastError());
    }
}

void OdbcSqlSession::dropIfDead()
{
    const QSqlDatabase db = Connection(connectionName_);
    if (db.isOpen() && ConnectionDead(db)) {
        qCWarning(lcDatabase) << "connection to" << dataSource_ << "lost";
        close();
    }
}

std::optional<SqlDialect> OdbcSqlSession::dialect()
{
    if (!ensureOpen())
        return std::nullopt;
    return dialect_;
}

std::optional<SqlRows> OdbcSqlSession::exec(const QString &statement, const QVariantList &params)
{
    if (!ensureOpen())
        return std::nullopt;
    std::optional<SqlRows> result;
    {
        QSqlQuery query(Connection(connectionName_));
        query.setForwardOnly(true);
        const QString text = RewriteForDialect(statement, dialect_.value_or(SqlDialect::SqlServer));
        bool ok = query.prepare(text);
        if (ok) {
            for (const QVariant &value : params)
                query.addBindValue(value);
            ok = query.exec();
        }
        if (ok) {
            SqlRows rows;
            if (query.isSelect()) {
                const QSqlRecord record = query.record();
                const int count = record.count();
                for (int i = 0; i < count; ++i)
                    rows.columns.append(record.fieldName(i));
                while (query.next()) {
                    QVariantList row;
                    row.reserve(count);
                    for (int i = 0; i < count; ++i)
                        row.append(query.value(i));
                    rows.rows.push_back(std::move(row));
                }
                ok = query.lastError().type() == QSqlError::NoError;
            }
            if (ok)
                result = std::move(rows);
        }
        if (!ok)
            lastError_ = ErrorText(query.lastError());
    }
    if (!result)
        dropIfDead();
    return result;
}

bool OdbcSqlSession::begin()
{
    if (!ensureOpen())
        return false;
    QSqlDatabase db = Connection(connectionName_);
    if (db.transaction())
        return true;
    lastError_ = ErrorText(db.lastError());
    dropIfDead();
    return false;
}

bool OdbcSqlSession::commit()
{
    QSqlDatabase db = Connection(connectionName_);
    if (db.isOpen() && db.commit())
        return true;
    lastError_ = db.isOpen() ? ErrorText(db.lastError()) : lastError_;
    dropIfDead();
    return false;
}

bool OdbcSqlSession::rollback()
{
    QSqlDatabase db = Connection(connectionName_);
    if (!db.isOpen())
        return false; // a dropped connection took its transaction with it
    if (db.rollback())
        return true;
    // A connection that cannot roll back may still hold the transaction: closing it makes
    // the server discard it, and the next statement starts on a clean connection.
    lastError_ = ErrorText(db.lastError());
    qCWarning(lcDatabase) << "rollback failed, dropping the connection:" << lastError_;
    close();
    return false;
}

} // namespace ordan
