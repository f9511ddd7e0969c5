#include "records/dbf_table.h"

#include "core/sync_to_disk.h"
#include "core/system_error_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
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

namespace {

Q_LOGGING_CATEGORY(lcLocalTable, "ordan.records.local")

// The system's reason, in the operator's language where Qt has the wording.
QString FileError(const QFile &file) { return SystemErrorText(file.errorString()); }

bool ReadExactly(QFile &file, qint64 offset, char *dst, qint64 size)
{
    if (!file.seek(offset))
        return false;
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(dst + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool WriteAt(QFile &file, qint64 offset, const char *data, qint64 size)
{
    if (!file.seek(offset))
        return false;
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The header of an open file and how many of its counted records are really there.
struct Opened {
    dbf::Header header;
    quint32 records = 0;
};

std::optional<Opened> ReadHeader(QFile &file, QString *reason)
{
    const qint64 size = file.size();
    QByteArray first(dbf::kFixedHeaderSize, '\0');
    if (size < dbf::kFixedHeaderSize) {
        *reason = QStringLiteral("файл повреждён: файл короче заголовка");
        return std::nullopt;
    }
    if (!ReadExactly(file, 0, first.data(), first.size())) {
        *reason = QStringLiteral("ошибка чтения (%1)").arg(FileError(file));
        return std::nullopt;
    }
    const qint64 stored = *dbf::StoredHeaderLength(first);
    QByteArray bytes(static_cast<qsizetype>(std::min(stored, size)), '\0');
    if (bytes.size() > dbf::kFixedHeaderSize && !ReadExactly(file, 0, bytes.data(), bytes.size())) {
        *reason = QStringLiteral("ошибка чтения (%1)").arg(FileError(file));
        return std::nullopt;
    }
    if (bytes.size() <= dbf::kFixedHeaderSize)
        bytes = first;
    auto header = dbf::ParseHeader(bytes, reason);
    if (!header)
        return std::nullopt;
    Opened o;
    o.header = std::move(*header);
    // Count only whole records: an engine that died mid-append may have counted one that
    // is not there.
    const qint64 whole = (size - o.header.headerLength) / o.header.recordLength;
    o.records = static_cast<quint32>(std::min<qint64>(o.header.recordCount, whole));
    if (o.records != o.header.recordCount)
        qCWarning(lcLocalTable) << file.fileName() << "counts" << o.header.recordCount << "records, holds" << o.records;
    return o;
}

// The append lock. dBase engines lock a byte far beyond any real file for the header
// (FoxPro's header lock at 0x7FFFFFFE): it keeps appenders of every dBase program in turn,
// while readers, which take no lock, read on; a lock on the header bytes themselves would
// stop them wherever locks are mandatory (Windows, network shares).
constexpr qint64 kHeaderLockOffset = 0x7FFFFFFE;

enum class LockResult { Locked, Busy, Failed };

LockResult TryLockHeader(QFile &file, QString *why)
{
#if defined(Q_OS_UNIX)
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kHeaderLockOffset;
    lock.l_len = 1;
    // An open-file-description lock stays with this descriptor: closing another descriptor
    // of the same file in this process (a reader) does not drop it.
#if defined(F_OFD_SETLK)
    const int command = F_OFD_SETLK;
#else
    const int command = F_SETLK;
#endif
    if (::fcntl(file.handle(), command, &lock) == 0)
        return LockResult::Locked;
    if (errno == EACCES || errno == EAGAIN)
        return LockResult::Busy;
    *why = QString::fromLocal8Bit(std::strerror(errno));
    return LockResult::Failed;
#elif defined(Q_OS_WIN)
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(kHeaderLockOffset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(kHeaderLockOffset >> 32);
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return LockResult::Locked;
    const DWORD code = ::GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
        return LockResult::Busy;
    *why = QStringLiteral("ошибка %1").arg(code);
    return LockResult::Failed;
#else
    Q_UNUSED(file);
    Q_UNUSED(why);
    return LockResult::Locked;
#endif
}

// Released by closing the file; the lock belongs to this descriptor alone.
bool LockHeader(QFile &file, int timeoutMs, QString *reason)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QString why;
        switch (TryLockHeader(file, &why)) {
        case LockResult::Locked: return true;
        case LockResult::Failed:
            *reason = QStringLiteral("не удаётся заблокировать таблицу (%1)").arg(why);
            return false;
        case LockResult::Busy: break;
        }
        if (deadline.hasExpired()) {
            *reason = QStringLiteral("таблица занята другой программой дольше %1 с").arg(timeoutMs / 1000.0);
            return false;
        }
        // Appends take milliseconds; waiting in steps keeps the wait bounded without a
        // blocking lock call that could hang on a share.
        QThread::msleep(5);
    }
}

// A column that cannot hold null (FoxPro binary numbers without _NullFlags) holds 0 where
// the station stored nothing. The start-up defaults must not take that 0 for a setting: a
// zone's tariff counts only together with its start time, a display mask of 0 not at all.
void ForgetUnwrittenZeros(const dbf::Header &h, LocalRow &row)
{
    auto unstored = [&h](const QString &name) {
        const int i = h.indexOf(name);
        return i >= 0 && !dbf::CanHoldNull(h, h.fields[i]);
    };
    for (int zone = 0; zone <= 5; ++zone) {
        const QString tariff = QStringLiteral("zone_%1").arg(zone);
        if (unstored(tariff) && IsNullValue(row.value(QStringLiteral("time_%1").arg(zone))))
            row.insert(tariff, QVariant());
    }
    const QString indicator = QStringLiteral("indicator");
    if (unstored(indicator) && row.value(indicator).toDouble() == 0)
        row.insert(indicator, QVariant());
}

bool HasWritePermission(const QFileInfo &info)
{
    // The mode bits only: WriteUser asks the system, which lets an administrator write anyway.
    return info.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

} // namespace

DbfTable::DbfTable(QString path) : path_(std::move(path)) {}

QString DbfTable::fail(QString *error, const QString &reason) const
{
    const QString text = QDir::toNativeSeparators(path_) + QStringLiteral(": ") + reason;
    if (error)
        *error = text;
    return text;
}

std::optional<dbf::Header> DbfTable::open(QString *error) const
{
    QFile file(path_);
    if (!QFileInfo::exists(path_)) {
        fail(error, QStringLiteral("файл не найден"));
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("не удаётся открыть файл (%1)").arg(FileError(file)));
        return std::nullopt;
    }
    QString reason;
    auto opened = ReadHeader(file, &reason);
    if (!opened) {
        fail(error, reason);
        return std::nullopt;
    }
    return opened->header;
}

bool DbfTable::forEachRow(const std::function<void(const LocalRow &)> &visit, QString *error) const
{
    QFile file(path_);
    if (!QFileInfo::exists(path_)) {
        fail(error, QStringLiteral("файл не найден"));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("не удаётся открыть файл (%1)").arg(FileError(file)));
        return false;
    }
    QString reason;
    const auto opened = ReadHeader(file, &reason);
    if (!opened) {
        fail(error, reason);
        return false;
    }
    const dbf::Header &h = opened->header;

    struct Column {
        QString name;
        SettingType type;
        int field;
    };
    std::array<Column, kSettingColumns.size()> columns;
    for (size_t i = 0; i < kSettingColumns.size(); ++i) {
        const QString name = ColumnName(kSettingColumns[i]);
        columns[i] = {name, kSettingColumns[i].type, h.indexOf(name)};
    }

    const qint64 perChunk = std::max<qint64>(1, (64 * 1024) / h.recordLength);
    QByteArray chunk;
    for (quint32 done = 0; done < opened->records;) {
        const auto n = static_cast<quint32>(std::min<qint64>(perChunk, opened->records - done));
        chunk.resize(static_cast<qsizetype>(n) * h.recordLength);
        if (!ReadExactly(file, h.headerLength + qint64(done) * h.recordLength, chunk.data(), chunk.size())) {
            fail(error, QStringLiteral("ошибка чтения (%1)").arg(FileError(file)));
            return false;
        }
        for (quint32 i = 0; i < n; ++i) {
            const QByteArrayView record(chunk.constData() + qsizetype(i) * h.recordLength, h.recordLength);
            if (record[0] == dbf::kEndOfFile)
                return true;
            if (record[0] != dbf::kActive)
                continue; // deleted, or not a record at all
            LocalRow row;
            for (const Column &c : columns) {
                const QVariant raw = c.field >= 0 ? dbf::DecodeField(h, h.fields[c.field], record) : QVariant();
                row.insert(c.name, PresentValue(c.type, raw).value_or(QVariant()));
            }
            ForgetUnwrittenZeros(h, row);
            visit(row);
        }
        done += n;
    }
    return true;
}

bool DbfTable::append(const LocalRow &values, QString *error)
{
    const QFileInfo info(path_);
    if (!info.exists()) {
        fail(error, QStringLiteral("файл не найден"));
        return false;
    }
    // The permission bits are honoured even where the process could write anyway (an
    // administrator): a table set read-only must stay unchanged.
    if (!HasWritePermission(info)) {
        fail(error, QStringLiteral("файл доступен только для чтения"));
        return false;
    }
    QFile file(path_);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        fail(error, QStringLiteral("не удаётся открыть файл для записи (%1)").arg(FileError(file)));
        return false;
    }
    QString reason;
    // The count is read under the lock: another station may have appended since any earlier
    // look, and two appenders that read the same count would write the same row.
    if (!LockHeader(file, lockTimeoutMs_, &reason)) {
        fail(error, reason);
        return false;
    }
    const auto opened = ReadHeader(file, &reason);
    if (!opened) {
        fail(error, reason);
        return false;
    }
    const dbf::Header &h = opened->header;
    if (opened->records == std::numeric_limits<quint32>::max()) {
        fail(error, QStringLiteral("таблица заполнена"));
        return false;
    }

    // The record with a trailing end-of-file mark; its flag stays an end-of-file mark
    // until the whole record is on disk, so no reader ever sees half a record.
    QByteArray record(h.recordLength + 1, ' ');
    record[0] = dbf::kEndOfFile;
    record[h.recordLength] = dbf::kEndOfFile;
    for (const dbf::Field &f : h.fields)
        dbf::EncodeBlank(h, f, record.data() + f.offset);
    for (const dbf::Field &f : h.fields)
        dbf::SetNullFlag(h, f, record.data(), true);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const int index = h.indexOf(it.key());
        if (index < 0) {
            if (IsNullValue(it.value()))
                continue;
            fail(error, QStringLiteral("в таблице нет столбца %1").arg(it.key().toLower()));
            return false;
        }
        QVariant value = it.value();
        if (const SettingColumn *c = FindSettingColumn(it.key())) {
            const auto presented = PresentValue(c->type, value);
            if (!presented) {
                fail(error,
                     QStringLiteral("значение %1 не подходит для столбца %2").arg(value.toString(), ColumnName(*c)));
                return false;
            }
            value = *presented;
        }
        const dbf::Field &f = h.fields[index];
        if (!dbf::EncodeField(h, f, value, record.data() + f.offset, &reason)) {
            fail(error, reason);
            return false;
        }
        dbf::SetNullFlag(h, f, record.data(), IsNullValue(value));
    }

    const qint64 offset = h.headerLength + qint64(opened->records) * h.recordLength;
    auto writeFailed = [&] {
        fail(error, QStringLiteral("ошибка записи (%1)").arg(FileError(file)));
        return false;
    };
    if (!WriteAt(file, offset, record.constData(), record.size()) || !SyncToDisk(file))
        return writeFailed();
    if (stageHook_)
        stageHook_(AppendStage::RecordWritten);
    const char active = dbf::kActive;
    if (!WriteAt(file, offset, &active, 1) || !SyncToDisk(file))
        return writeFailed();
    if (stageHook_)
        stageHook_(AppendStage::RecordActive);
    const QByteArray update = dbf::HeaderUpdate(QDate::currentDate(), opened->records + 1);
    if (!WriteAt(file, 1, update.constData(), update.size()) || !SyncToDisk(file))
        return writeFailed();
    if (stageHook_)
        stageHook_(AppendStage::HeaderCounted);
    return true;
}

std::optional<QList<LocalRow>> DbfTable::select(const LocalFilter &filter, QString *error) const
{
    QList<LocalRow> rows;
    if (!forEachRow(
            [&](const LocalRow &row) {
                if (RowPassesFilter(row, filter))
                    rows.append(row);
            },
            error))
        return std::nullopt;
    return rows;
}

std::optional<QVariant> DbfTable::maxNumber(QString *error) const
{
    LocalSummary summary;
    if (!forEachRow([&](const LocalRow &row) { summary.add(row); }, error))
        return std::nullopt;
    return summary.maxNumber();
}

std::optional<LatestDay> DbfTable::latestDay(QString *error) const
{
    LocalSummary summary;
    if (!forEachRow([&](const LocalRow &row) { summary.add(row); }, error))
        return std::nullopt;
    return summary.latestDay();
}

std::optional<qsizetype> DbfTable::rowCount(QString *error) const
{
    LocalSummary summary;
    if (!forEachRow([&](const LocalRow &row) { summary.add(row); }, error))
        return std::nullopt;
    return summary.count();
}

bool DbfTable::Create(const QString &path, const QList<dbf::FieldSpec> &fields, QString *error)
{
    DbfTable table(path);
    QString reason;
    const auto bytes = dbf::BuildEmptyTable(fields, QDate::currentDate(), &reason);
    if (!bytes) {
        table.fail(error, reason);
        return false;
    }
    if (QFileInfo::exists(path)) {
        table.fail(error, QStringLiteral("файл уже существует"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        table.fail(error, QStringLiteral("не удаётся создать файл (%1)").arg(FileError(file)));
        return false;
    }
    if (!WriteAt(file, 0, bytes->constData(), bytes->size()) || !SyncToDisk(file)) {
        table.fail(error, QStringLiteral("ошибка записи (%1)").arg(FileError(file)));
        file.close();
        file.remove();
        return false;
    }
    // A network share may report a lost write only when the file is closed.
    file.close();
    if (file.error() != QFileDevice::NoError) {
        table.fail(error, QStringLiteral("ошибка записи (%1)").arg(FileError(file)));
        file.remove();
        return false;
    }
    return true;
}

} // namespace ordan
