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
    const Status done = XlsWorkbook::CreateBlank(path);
    if (done)
        return true;
    qCWarning(lcJournals) << done.error();
    return false;
}

bool XlsExportFiles::open(const QString &path)
{
    const Status done = book_.open(path);
    if (done)
        return true;
    qCWarning(lcJournals) << done.error();
    return false;
}

bool XlsExportFiles::setText(int row, int column, const QString &text) { return book_.setCell(row, column, text); }

bool XlsExportFiles::setNumber(int row, int column, double number) { return book_.setCell(row, column, number); }

bool XlsExportFiles::setDate(int row, int column, const QDate &date) { return book_.setCell(row, column, date); }

bool XlsExportFiles::save(const QString &path)
{
    const Status done = book_.save(path);
    if (done)
        return true;
    qCWarning(lcJournals) << done.error();
    return false;
}

void XlsExportFiles::close() { book_.close(); }

bool XlsExportFiles::writeFile(const QString &path, const QByteArray &bytes)
{
    const Status done = WriteFileAtomically(path, bytes);
    if (done)
        return true;
    qCWarning(lcJournals) << done.error();
    return false;
}

} // namespace ordan
