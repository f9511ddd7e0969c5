#include "xls/xls_workbook.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <cmath>

namespace ordan
{

Q_LOGGING_CATEGORY(lcXls, "ordan.xls")

namespace
{

// Far above any journal export; keeps a foreign file from exhausting memory.
constexpr qint64 kMaxFileSize = 256ll * 1024 * 1024;

bool Fail(QString *error, const QString &text)
{
    qCWarning(lcXls) << text;
    if (error)
        *error = text;
    return false;
}

} // namespace

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    if (path.isEmpty())
        return Fail(error, QStringLiteral("no file name given"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(error, QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
    // The flush is checked here: commit() flushes too, but does not fail when that flush does
    // (a full disk would leave a cut file in place of the old one).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Fail(error, QStringLiteral("cannot write %1: %2").arg(path, why));
    }
    if (!file.commit())
        return Fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool XlsWorkbook::CreateBlank(const QString &path, QString *error)
{
    return WriteFileAtomically(path, BuildXlsFile(BlankXlsBook()), error);
}

bool XlsWorkbook::open(const QString &path, QString *error)
{
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    if (file.size() > kMaxFileSize)
        return Fail(error, QStringLiteral("%1 is too large for a workbook").arg(path));
    const QByteArray bytes = file.readAll();
    QString why;
    auto book = ParseXlsFile(bytes, &why);
    if (!book)
        return Fail(error, QStringLiteral("cannot read %1: %2").arg(path, why));
    book_ = std::move(book);
    return true;
}

bool XlsWorkbook::store(int row, int column, XlsValue value)
{
    if (!book_ || book_->sheets.empty())
        return false;
    if (row < 1 || row > kXlsMaxRows || column < 1 || column > kXlsMaxColumns)
        return false;
    book_->sheets.front().cells[{row - 1, column - 1}] = std::move(value);
    return true;
}

bool XlsWorkbook::setCell(int row, int column, const QString &text)
{
    if (text.size() > kXlsMaxTextLength)
        return false;
    return store(row, column, text);
}

bool XlsWorkbook::setCell(int row, int column, double number)
{
    if (!std::isfinite(number))
        return false;
    return store(row, column, number);
}

bool XlsWorkbook::setCell(int row, int column, const QDate &date)
{
    if (!XlsDateSerial(date))
        return false;
    return store(row, column, XlsDate{date});
}

bool XlsWorkbook::save(const QString &path, QString *error) const
{
    if (!book_)
        return Fail(error, QStringLiteral("no workbook is open"));
    return WriteFileAtomically(path, BuildXlsFile(*book_), error);
}

} // namespace ordan
