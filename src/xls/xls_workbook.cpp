#include "xls/xls_workbook.h"

#include "core/sync_to_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace ordan {

Q_LOGGING_CATEGORY(lcXls, "ordan.xls")

namespace {

// Far above any journal export; keeps a foreign file from exhausting memory.
constexpr qint64 kMaxFileSize = 256ll * 1024 * 1024;

// Every failure is logged where it arises, then handed back.
Failure Logged(const QString &text)
{
    qCWarning(lcXls) << text;
    return Fail(text);
}

// Renames `from` over `to` in one step; the old `to` stays until the new one is in place.
Status ReplaceFile(const QString &from, const QString &to)
{
#if defined(Q_OS_WIN)
    if (::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                      reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return Fail(QStringLiteral("rename failed (error %1)").arg(::GetLastError()));
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return Fail(QStringLiteral("rename failed (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
#if defined(Q_OS_UNIX)
    // The rename itself must reach the disk too, or a power cut may bring the old name back.
    const QString dir = QFileInfo(to).absolutePath();
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    return {};
#endif
}

} // namespace

Status WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Logged(QStringLiteral("no file name given"));
    // Written unbuffered and checked write by write, then forced to disk and renamed over the
    // target: a full disk shows up at the write that hits it, never as a short file that a
    // buffered commit (QSaveFile on Qt 6.4) reports as written.
    QFile file;
    for (int n = 1;; ++n) {
        if (n > 100)
            return Logged(QStringLiteral("cannot create a temporary file beside %1").arg(path));
        file.setFileName(path + QStringLiteral(".%1.tmp").arg(n));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(file.fileName()))
            return Logged(QStringLiteral("cannot create %1: %2").arg(file.fileName(), file.errorString()));
    }
    const QString temporary = file.fileName();
    auto abandon = [&](const QString &what) {
        const QString why = file.errorString();
        file.close();
        QFile::remove(temporary);
        return Logged(QStringLiteral("cannot write %1: %2 (%3)").arg(path, what, why));
    };
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return abandon(QStringLiteral("write failed after %1 of %2 bytes").arg(done).arg(bytes.size()));
        done += n;
    }
    if (!SyncToDisk(file))
        return abandon(QStringLiteral("flush failed"));
    file.close();
    if (file.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
        return Logged(QStringLiteral("cannot write %1: close failed (%2)").arg(path, file.errorString()));
    }
    if (const Status replaced = ReplaceFile(temporary, path); !replaced) {
        QFile::remove(temporary);
        return Logged(QStringLiteral("cannot write %1: %2").arg(path, replaced.error()));
    }
    return {};
}

Status XlsWorkbook::CreateBlank(const QString &path) { return WriteFileAtomically(path, BuildXlsFile(BlankXlsBook())); }

Status XlsWorkbook::open(const QString &path)
{
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Logged(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    if (file.size() > kMaxFileSize)
        return Logged(QStringLiteral("%1 is too large for a workbook").arg(path));
    const QByteArray bytes = file.readAll();
    auto book = ParseXlsFile(bytes);
    if (!book)
        return Logged(QStringLiteral("cannot read %1: %2").arg(path, book.error()));
    book_ = std::move(book).value();
    return {};
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

Status XlsWorkbook::save(const QString &path) const
{
    if (!book_)
        return Logged(QStringLiteral("no workbook is open"));
    return WriteFileAtomically(path, BuildXlsFile(*book_));
}

} // namespace ordan
