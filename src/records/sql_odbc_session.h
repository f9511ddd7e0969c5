#pragma once

#include "core/timings.h"
#include "records/sql_session.h"

#include <QString>

#include <chrono>

namespace ordan {

// How long one statement may wait for a lock another session holds, and how long it may run
// at all, before the server gives up with its own error. Both are set on every connection as
// it opens, so a lock held elsewhere costs the station a bounded wait and an error it can show,
// never a hang; tests make them short.
struct SessionBounds {
    std::chrono::milliseconds lockWait = timing::kDatabaseLockWait;
    std::chrono::milliseconds statementLimit = timing::kDatabaseStatementLimit;
    std::chrono::seconds login = timing::kDatabaseLogin;
};

// SqlSession over QtSql's QODBC driver. The data source (an ODBC DSN) supplies server,
// database and credentials; the connection opens without a prompt on the first statement,
// and the dialect is asked of the driver once per opened connection. A connection the
// driver reports dead, or one whose rollback failed, is dropped, so the next statement
// opens a fresh one (the server discards what the dropped one left uncommitted).
class OdbcSqlSession final : public SqlSession {
public:
    explicit OdbcSqlSession(QString dataSource = QStringLiteral("Electrometer"),
                            QString connectionName = QStringLiteral("Database1"), SessionBounds bounds = {});
    ~OdbcSqlSession() override;
    OdbcSqlSession(const OdbcSqlSession &) = delete;
    OdbcSqlSession &operator=(const OdbcSqlSession &) = delete;

    std::optional<SqlRows> exec(const QString &statement, const QVariantList &params = {}) override;
    bool begin() override;
    bool commit() override;
    bool rollback() override;
    std::optional<SqlDialect> dialect() override;
    QString lastError() const override { return lastError_; }

    bool isOpen() const;
    void close();
    const QString &connectionName() const { return connectionName_; }

private:
    bool ensureOpen();
    void applyBounds();
    void dropIfDead();

    QString dataSource_;
    QString connectionName_;
    SessionBounds bounds_;
    std::optional<SqlDialect> dialect_;
    QString lastError_;
};

} // namespace ordan
