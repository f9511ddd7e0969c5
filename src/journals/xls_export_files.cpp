#include "journals/xls_export_files.h"

#include "core/system_error_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ordan {

// A directory of that name counts too: it blocks the name just as well as a file.
bool XlsExportFiles::exists(const QString &path) const { return QFileInfo::exists(path); }

Status XlsExportFiles::remove(const QString &path)
{
    QFile file(path);
    if (file.remove())
        return {};
    return Fail(QStringLiteral("%1: не удаётся удалить (%2)")
                    .arg(QDir::toNativeSeparators(path), SystemErrorText(file.errorString())));
}

Status XlsExportFiles::createBlank(const QString &path) { return XlsWorkbook::CreateBlank(path); }

Status XlsExportFiles::open(const QString &path) { return book_.open(path); }

bool XlsExportFiles::setText(int row, int column, const QString &text) { return book_.setCell(row, column, text); }

bool XlsExportFiles::setNumber(int row, int column, double number) { return book_.setCell(row, column, number); }

bool XlsExportFiles::setDate(int row, int column, const QDate &date) { return book_.setCell(row, column, date); }

Status XlsExportFiles::save(const QString &path) { return book_.save(path); }

void XlsExportFiles::close() { book_.close(); }

Status XlsExportFiles::writeFile(const QString &path, const QByteArray &bytes)
{
    return WriteFileAtomically(path, bytes);
}

} // namespace ordan
