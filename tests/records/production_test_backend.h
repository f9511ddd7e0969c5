#pragma once

#include "records/sql_session.h"

#include <QString>

#include <functional>

namespace ordan::test {

// The server this test executable runs its cases against, fixed at build time: the ODBC
// driver manager reads odbc.ini once per process, so one process knows one "Electrometer".
SqlDialect BackendDialect();
const char *BackendName();

// Writes the process's ODBC configuration (ODBCINI, ODBCSYSINI) with the data source
// "Electrometer" and, for PostgreSQL, creates the process's own database on the test server
// started by the ctest fixture. Runs once; returns the reason when the backend is unusable.
QString PrepareBackend();

// Drops the station's tables and creates them from the shipped schema script.
QString ResetSchema(SqlSession &db);

// Runs the statements of a script, separated by ';' at line ends, "--" comments ignored.
QString RunScript(SqlSession &db, const QString &path);

// Passes statements on; a case may act just before one, replace it, or count them, and may
// make a COMMIT fail with its own error text (the transaction then stays open on the server,
// as after a commit the server refused).
class InterceptingSession final : public SqlSession {
public:
    explicit InterceptingSession(SqlSession &inner) : inner_(inner) {}

    std::function<void(const QString &)> before;
    std::function<QString(const QString &)> replace;
    QString commitError; // empty: commits go through
    int statements = 0;

    std::optional<SqlRows> exec(const QString &statement, const QVariantList &params) override
    {
        ++statements;
        commitFailed_ = false;
        if (before)
            before(statement);
        return inner_.exec(replace ? replace(statement) : statement, params);
    }
    bool begin() override { return inner_.begin(); }
    bool commit() override
    {
        commitFailed_ = !commitError.isEmpty();
        return !commitFailed_ && inner_.commit();
    }
    bool rollback() override { return inner_.rollback(); }
    std::optional<SqlDialect> dialect() override { return inner_.dialect(); }
    QString lastError() const override { return commitFailed_ ? commitError : inner_.lastError(); }

private:
    SqlSession &inner_;
    bool commitFailed_ = false;
};

} // namespace ordan::test
