#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <QVariantList>

#include <cstddef>
#include <optional>
#include <vector>

namespace ordan {

// The server a data source reaches. The station's statements are written for SQL Server;
// the others receive them rewritten by RewriteForDialect.
enum class SqlDialect { SqlServer, PostgreSql, Sqlite };

// Dialect from the DBMS name a driver reports ("Microsoft SQL Server", "PostgreSQL", "SQLite").
// Anything unknown is taken for SQL Server, the production server the statements are written for.
SqlDialect DialectForDbmsName(const QString &dbmsName);

// Rewrites exactly two Transact-SQL constructs for the other servers and leaves everything
// else as written:
//   getdate()                     -> LOCALTIMESTAMP              | datetime('now','localtime')
//   DATEDIFF(DAY, a, b) = 0       -> CAST(a AS DATE) = CAST(b AS DATE) | date(a) = date(b)
QString RewriteForDialect(const QString &statement, SqlDialect dialect);

// Rows of one statement, values in column order.
struct SqlRows {
    QStringList columns;
    std::vector<QVariantList> rows;

    bool empty() const { return rows.empty(); }
    // Value of a column named case-insensitively (drivers differ in the case they report);
    // an invalid QVariant when there is no such row or column.
    QVariant value(std::size_t row, QStringView column) const;
    // First column of the first row: the value of an aggregate.
    QVariant scalar() const;
};

// What the record workflows need of the production database: statements with positional
// '?' parameters, written in Transact-SQL as the station quotes them, and one explicit
// transaction at a time. Values are always bound, never pasted into the text.
class SqlSession {
public:
    virtual ~SqlSession() = default;

    // Runs one statement; nullopt on failure, with lastError() describing it.
    virtual std::optional<SqlRows> exec(const QString &statement, const QVariantList &params = {}) = 0;
    virtual bool begin() = 0;
    virtual bool commit() = 0;
    virtual bool rollback() = 0;
    // The dialect of the server reached; nullopt when the connection cannot be opened.
    virtual std::optional<SqlDialect> dialect() = 0;
    // The database's own text of the latest failure.
    virtual QString lastError() const = 0;
};

} // namespace ordan
