#include "xls/xls_workbook.h"

#include "core/sync_to_disk.h"
#include "core/system_error_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(Q_OS_WIN)
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
// The failure is the system's reason.
Status ReplaceFile(const QString &from, const QString &to)
{
#if defined(Q_OS_WIN)
    if (::MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                      reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return Fail(QStringLiteral("ошибка %1").arg(::GetLastError()));
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return Fail(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
#endif
}

// Creates a temporary file beside `path` that no one else has.
Status CreateTemporary(QFile &file, const QString &path)
{
    constexpr int kMaxTemporaries = 100;
    for (int n = 1; n <= kMaxTemporaries; ++n) {
        file.setFileName(path + QStringLiteral(".%1.tmp").arg(n));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return {};
        if (!QFileInfo::exists(file.fileName()))
            return Fail(QStringLiteral("не удаётся создать %1: %2")
                            .arg(QDir::toNativeSeparators(file.fileName()), SystemErrorText(file.errorString())));
    }
    return Fail(QStringLiteral("все временные имена заняты"));
}

// Writes, forces to disk and closes the open temporary file; the failure names the step.
Status WriteDurably(QFile &file, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return Fail(DiskStepFailure(DiskStep::Write, SystemErrorText(file.errorString())));
        done += n;
    }
    if (const Status synced = SyncToDisk(file); !synced)
        return synced;
    // A network share may report a lost write only when the file is closed.
    file.close();
    if (file.error() != QFileDevice::NoError)
        return Fail(DiskStepFailure(DiskStep::Write, SystemErrorText(file.errorString())));
    return {};
}

} // namespace

Status WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Logged(QStringLiteral("не указано имя файла"));
    const auto failed = [&path](const QString &why) {
        return Logged(QDir::toNativeSeparators(path) + QStringLiteral(": ") + why);
    };
    // Written unbuffered and checked write by write, then forced to disk and renamed over the
    // target: a full disk shows up at the write that hits it, never as a short file that a
    // buffered commit (QSaveFile on Qt 6.4) reports as written.
    QFile file;
    if (const Status created = CreateTemporary(file, path); !created)
        return failed(DiskStepFailure(DiskStep::Write, created.error()));
    const QString temporary = file.fileName();
    if (const Status written = WriteDurably(file, bytes); !written) {
        file.close();
        QFile::remove(temporary);
        return failed(written.error());
    }
    if (const Status replaced = ReplaceFile(temporary, path); !replaced) {
        QFile::remove(temporary);
        return failed(DiskStepFailure(DiskStep::Rename, replaced.error()));
    }
    // The rename itself must reach the disk too, or a power cut may bring the old file back.
    if (const Status synced = SyncFolderOf(path); !synced)
        return failed(synced.error());
    return {};
}

Status XlsWorkbook::CreateBlank(const QString &path) { return WriteFileAtomically(path, BuildXlsFile(BlankXlsBook())); }

Status XlsWorkbook::open(const QString &path)
{
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Logged(QStringLiteral("%1: не удаётся открыть (%2)")
                          .arg(QDir::toNativeSeparators(path), SystemErrorText(file.errorString())));
    if (file.size() > kMaxFileSize)
        return Logged(QStringLiteral("%1: файл слишком велик для книги").arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = file.readAll();
    auto book = ParseXlsFile(bytes);
    if (!book)
        return Logged(QStringLiteral("%1: книга не читается (%2)").arg(QDir::toNativeSeparators(path), book.error()));
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
        return Logged(QStringLiteral("книга не открыта"));
    return WriteFileAtomically(path, BuildXlsFile(*book_));
}

} // namespace ordan
