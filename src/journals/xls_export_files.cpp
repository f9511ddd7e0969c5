#include "journals/xls_export_files.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace ordan {

Q_LOGGING_CATEGORY(lcJournals, "ordan.journals")

// A directory of that name counts too: it blocks the name just as well as a file.
bool XlsExportFiles::exists(const QString &path) const { return QFileInfo::exists(path); }

bool XlsExportFiles::remove(const QString &path)
{
    QFile file(path);
    if (file.remove())
        return true;
    qCWarning(lcJournals) << "cannot remove" << path << file.errorString();
    return false;
}

bool XlsExportFiles::createBlank(const QString &path)
{
    QString error;
    if (XlsWorkbook::CreateBlank(path, &error))
        return true;
    qCWarning(lcJournals) << error;
    return false;
}

bool XlsExportFiles::open(const QString &path)
{
    QString error;
    if (book_.open(path, &error))
        return true;
    qCWarning(lcJournals) << error;
    return false;
}

bool XlsExportFiles::setText(int row, int column, const QString &text) { return book_.setCell(row, column, text); }

bool XlsExportFiles::setNumber(int row, int column, double number) { return book_.setCell(row, column, number); }

bool XlsExportFiles::setDate(int row, int column, const QDate &date) { return book_.setCell(row, column, date); }

bool XlsExportFiles::save(const QString &path)
{
    QString error;
    if (book_.save(path, &error))
        return true;
    qCWarning(lcJournals) << error;
    return false;
}

void XlsExportFiles::close() { book_.close(); }

bool XlsExportFiles::writeFile(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (WriteFileAtomically(path, bytes, &error))
        return true;
    qCWarning(lcJournals) << error;
    return false;
}

} // namespace ordan
