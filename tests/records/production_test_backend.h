#pragma once

#include "records/sql_session.h"

#include <QString>

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

} // namespace ordan::test
