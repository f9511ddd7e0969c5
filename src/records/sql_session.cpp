#include "records/sql_session.h"

namespace ordan {

namespace {

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Position after a word that starts at `at` and is not part of a longer identifier; -1 otherwise.
qsizetype MatchWord(QStringView text, qsizetype at, QLatin1StringView word)
{
    if (at > 0 && IsWordChar(text[at - 1]))
        return -1;
    const qsizetype end = at + word.size();
    if (end > text.size() || text.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) != 0)
        return -1;
    if (end < text.size() && IsWordChar(text[end]))
        return -1;
    return end;
}

qsizetype SkipBlanks(QStringView text, qsizetype at)
{
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

// Position after a quoted literal that starts at `at` ('' inside it is a quote).
qsizetype SkipLiteral(QStringView text, qsizetype at)
{
    for (++at; at < text.size(); ++at) {
        if (text[at] == QLatin1Char('\'')) {
            if (at + 1 < text.size() && text[at + 1] == QLatin1Char('\''))
                ++at;
            else
                return at + 1;
        }
    }
    return at;
}

// getdate() at `at`: the position after it, or -1.
qsizetype MatchGetDate(QStringView text, qsizetype at)
{
    qsizetype p = MatchWord(text, at, QLatin1StringView("getdate"));
    if (p < 0)
        return -1;
    p = SkipBlanks(text, p);
    if (p >= text.size() || text[p] != QLatin1Char('('))
        return -1;
    p = SkipBlanks(text, p + 1);
    if (p >= text.size() || text[p] != QLatin1Char(')'))
        return -1;
    return p + 1;
}

struct DayDiff {
    QString from;
    QString to;
    qsizetype end = -1;
};

// DATEDIFF(DAY, a, b) = 0 at `at`, with a and b split at the top-level commas.
DayDiff MatchDayDiff(QStringView text, qsizetype at)
{
    qsizetype p = MatchWord(text, at, QLatin1StringView("datediff"));
    if (p < 0)
        return {};
    p = SkipBlanks(text, p);
    if (p >= text.size() || text[p] != QLatin1Char('('))
        return {};
    QStringList args;
    qsizetype argStart = p + 1;
    int depth = 0;
    for (++p; p < text.size(); ++p) {
        const QChar c = text[p];
        if (c == QLatin1Char('\'')) {
            p = SkipLiteral(text, p) - 1;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && depth > 0) {
            --depth;
        } else if ((c == QLatin1Char(',') && depth == 0) || c == QLatin1Char(')')) {
            args.append(text.sliced(argStart, p - argStart).trimmed().toString());
            argStart = p + 1;
            if (c == QLatin1Char(')'))
                break;
        }
    }
    if (p >= text.size() || args.size() != 3 || args[0].compare(QLatin1StringView("DAY"), Qt::CaseInsensitive) != 0)
        return {};
    p = SkipBlanks(text, p + 1);
    if (p >= text.size() || text[p] != QLatin1Char('='))
        return {};
    p = SkipBlanks(text, p + 1);
    if (p >= text.size() || text[p] != QLatin1Char('0') || (p + 1 < text.size() && IsWordChar(text[p + 1])))
        return {};
    return {args[1], args[2], p + 1};
}

} // namespace

SqlDialect DialectForDbmsName(const QString &dbmsName)
{
    if (dbmsName.contains(QLatin1StringView("PostgreSQL"), Qt::CaseInsensitive))
        return SqlDialect::PostgreSql;
    if (dbmsName.contains(QLatin1StringView("SQLite"), Qt::CaseInsensitive))
        return SqlDialect::Sqlite;
    return SqlDialect::SqlServer;
}

QString RewriteForDialect(const QString &statement, SqlDialect dialect)
{
    if (dialect == SqlDialect::SqlServer)
        return statement;
    const QStringView text(statement);
    QString out;
    out.reserve(statement.size() + 16);
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'')) {
            const qsizetype end = SkipLiteral(text, i);
            out += text.sliced(i, end - i);
            i = end;
            continue;
        }
        if (const qsizetype end = MatchGetDate(text, i); end >= 0) {
            out += dialect == SqlDialect::PostgreSql ? QStringLiteral("LOCALTIMESTAMP")
                                                     : QStringLiteral("datetime('now','localtime')");
            i = end;
            continue;
        }
        if (const DayDiff diff = MatchDayDiff(text, i); diff.end >= 0) {
            const QString from = RewriteForDialect(diff.from, dialect);
            const QString to = RewriteForDialect(diff.to, dialect);
            if (dialect == SqlDialect::PostgreSql)
                out += u"CAST(" + from + u" AS DATE) = CAST(" + to + u" AS DATE)";
            else
                out += u"date(" + from + u") = date(" + to + u")";
            i = diff.end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

QVariant SqlRows::value(std::size_t row, QStringView column) const
{
    if (row >= rows.size())
        return {};
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (QStringView(columns[i]).compare(column, Qt::CaseInsensitive) == 0)
            return i < rows[row].size() ? rows[row][i] : QVariant();
    }
    return {};
}

QVariant SqlRows::scalar() const
{
    if (rows.empty() || rows.front().isEmpty())
        return {};
    return rows.front().front();
}

} // namespace ordan
