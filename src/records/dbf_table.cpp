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

// Writes at `offset` and forces it to disk; the failure names the step and the system's reason.
Status WriteDurably(QFile &file, qint64 offset, const QByteArray &bytes)
{
    if (!WriteAt(file, offset, bytes.constData(), bytes.size()))
        return Fail(DiskStepFailure(DiskStep::Write, FileError(file)));
    return SyncToDisk(file);
}

// The header of an open file and how many of its counted records are really there.
struct Opened {
    dbf::Header header;
    quint32 records = 0;
};

Result<Opened> ReadHeader(QFile &file)
{
    const qint64 size = file.size();
    QByteArray first(dbf::kFixedHeaderSize, '\0');
    if (size < dbf::kFixedHeaderSize)
        return Fail(QStringLiteral("файл повреждён: файл короче заголовка"));
    if (!ReadExactly(file, 0, first.data(), first.size()))
        return Fail(QStringLiteral("ошибка чтения (%1)").arg(FileError(file)));
    const qint64 stored = *dbf::StoredHeaderLength(first);
    QByteArray bytes(static_cast<qsizetype>(std::min(stored, size)), '\0');
    if (bytes.size() > dbf::kFixedHeaderSize && !ReadExactly(file, 0, bytes.data(), bytes.size()))
        return Fail(QStringLiteral("ошибка чтения (%1)").arg(FileError(file)));
    if (bytes.size() <= dbf::kFixedHeaderSize)
        bytes = first;
    auto header = dbf::ParseHeader(bytes);
    if (!header)
        return header.failure();
    Opened o;
    o.header = std::move(header).value();
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

// Whether the lock was taken: false while another program holds it; the system's reason
// when locking itself failed.
Result<bool> TryLockHeader(QFile &file)
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
        return true;
    if (errno == EACCES || errno == EAGAIN)
        return false;
    return Fail(QString::fromLocal8Bit(std::strerror(errno)));
#elif defined(Q_OS_WIN)
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(kHeaderLockOffset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(kHeaderLockOffset >> 32);
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    const DWORD code = ::GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
        return false;
    return Fail(QStringLiteral("ошибка %1").arg(code));
#else
    Q_UNUSED(file);
    return true;
#endif
}

// Released by closing the file; the lock belongs to this descriptor alone.
Status LockHeader(QFile &file, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const Result<bool> locked = TryLockHeader(file);
        if (!locked)
            return Fail(QStringLiteral("не удаётся заблокировать таблицу (%1)").arg(locked.error()));
        if (*locked)
            return {};
        if (deadline.hasExpired())
            return Fail(QStringLiteral("таблица занята другой программой дольше %1 с").arg(timeoutMs / 1000.0));
        // Appends take milliseconds; waiting in steps keeps the wait bounded without a
        // blocking lock call that could hang on a share.
        QThread::msleep(static_cast<unsigned long>(timing::Ms(timing::kSettingTableLockStep)));
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

// The record with a trailing end-of-file mark; its flag stays an end-of-file mark until the
// whole record is on disk, so no reader ever sees half a record.
Result<QByteArray> EncodeRecord(const dbf::Header &h, const LocalRow &values)
{
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
            return Fail(QStringLiteral("в таблице нет столбца %1").arg(it.key().toLower()));
        }
        QVariant value = it.value();
        if (const SettingColumn *c = FindSettingColumn(it.key())) {
            const auto presented = PresentValue(c->type, value);
            if (!presented)
                return Fail(
                    QStringLiteral("значение %1 не подходит для столбца %2").arg(value.toString(), ColumnName(*c)));
            value = *presented;
        }
        const dbf::Field &f = h.fields[index];
        if (const Status encoded = dbf::EncodeField(h, f, value, record.data() + f.offset); !encoded)
            return encoded.failure();
        dbf::SetNullFlag(h, f, record.data(), IsNullValue(value));
    }
    return record;
}

bool HasWritePermission(const QFileInfo &info)
{
    // The mode bits only: WriteUser asks the system, which lets an administrator write anyway.
    return info.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
}

} // namespace

DbfTable::DbfTable(QString path) : path_(std::move(path)) {}

Failure DbfTable::fail(const QString &reason) const
{
    return Fail(QDir::toNativeSeparators(path_) + QStringLiteral(": ") + reason);
}

Result<dbf::Header> DbfTable::open() const
{
    QFile file(path_);
    if (!QFileInfo::exists(path_))
        return fail(QStringLiteral("файл не найден"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("не удаётся открыть файл (%1)").arg(FileError(file)));
    auto opened = ReadHeader(file);
    if (!opened)
        return fail(opened.error());
    return opened->header;
}

Status DbfTable::forEachRow(const std::function<void(const LocalRow &)> &visit) const
{
    QFile file(path_);
    if (!QFileInfo::exists(path_))
        return fail(QStringLiteral("файл не найден"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("не удаётся открыть файл (%1)").arg(FileError(file)));
    const auto opened = ReadHeader(file);
    if (!opened)
        return fail(opened.error());
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
        if (!ReadExactly(file, h.headerLength + qint64(done) * h.recordLength, chunk.data(), chunk.size()))
            return fail(QStringLiteral("ошибка чтения (%1)").arg(FileError(file)));
        for (quint32 i = 0; i < n; ++i) {
            const QByteArrayView record(chunk.constData() + qsizetype(i) * h.recordLength, h.recordLength);
            if (record[0] == dbf::kEndOfFile)
                return {};
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
    return {};
}

Status DbfTable::append(const LocalRow &values)
{
    const QFileInfo info(path_);
    if (!info.exists())
        return fail(QStringLiteral("файл не найден"));
    // The permission bits are honoured even where the process could write anyway (an
    // administrator): a table set read-only must stay unchanged.
    if (!HasWritePermission(info))
        return fail(QStringLiteral("файл доступен только для чтения"));
    QFile file(path_);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("не удаётся открыть файл для записи (%1)").arg(FileError(file)));
    // The count is read under the lock: another station may have appended since any earlier
    // look, and two appenders that read the same count would write the same row.
    if (const Status locked = LockHeader(file, lockTimeoutMs_); !locked)
        return fail(locked.error());
    const auto opened = ReadHeader(file);
    if (!opened)
        return fail(opened.error());
    const dbf::Header &h = opened->header;
    if (opened->records == std::numeric_limits<quint32>::max())
        return fail(QStringLiteral("таблица заполнена"));

    const auto record = EncodeRecord(h, values);
    if (!record)
        return fail(record.error());

    const qint64 offset = h.headerLength + qint64(opened->records) * h.recordLength;
    if (const Status written = WriteDurably(file, offset, *record); !written)
        return fail(written.error());
    if (stageHook_)
        stageHook_(AppendStage::RecordWritten);
    // From here a failure takes the row back: it is reported lost, and the system's cache
    // may still show what never reached the disk, so no reader may see it.
    const auto lost = [&](const Status &failed, const QByteArray &header) {
        if ((!header.isEmpty() && !WriteDurably(file, 1, header)) ||
            !WriteDurably(file, offset, QByteArray(1, dbf::kEndOfFile)))
            qCWarning(lcLocalTable) << path_ << "the lost row could not be taken back";
        return fail(failed.error());
    };
    if (const Status written = WriteDurably(file, offset, QByteArray(1, dbf::kActive)); !written)
        return lost(written, {});
    if (stageHook_)
        stageHook_(AppendStage::RecordActive);
    const QByteArray update = dbf::HeaderUpdate(QDate::currentDate(), opened->records + 1);
    QByteArray previous(update.size(), '\0');
    if (!ReadExactly(file, 1, previous.data(), previous.size()))
        return lost(Fail(QStringLiteral("ошибка чтения (%1)").arg(FileError(file))), {});
    if (const Status written = WriteDurably(file, 1, update); !written)
        return lost(written, previous);
    if (stageHook_)
        stageHook_(AppendStage::HeaderCounted);
    return {};
}

Result<QList<LocalRow>> DbfTable::select(const LocalFilter &filter) const
{
    QList<LocalRow> rows;
    const Status read = forEachRow([&](const LocalRow &row) {
        if (RowPassesFilter(row, filter))
            rows.append(row);
    });
    if (!read)
        return read.failure();
    return rows;
}

Result<QVariant> DbfTable::maxNumber() const
{
    LocalSummary summary;
    if (const Status read = forEachRow([&](const LocalRow &row) { summary.add(row); }); !read)
        return read.failure();
    return summary.maxNumber();
}

Result<LatestDay> DbfTable::latestDay() const
{
    LocalSummary summary;
    if (const Status read = forEachRow([&](const LocalRow &row) { summary.add(row); }); !read)
        return read.failure();
    return summary.latestDay();
}

Result<qsizetype> DbfTable::rowCount() const
{
    LocalSummary summary;
    if (const Status read = forEachRow([&](const LocalRow &row) { summary.add(row); }); !read)
        return read.failure();
    return summary.count();
}

Status DbfTable::Create(const QString &path, const QList<dbf::FieldSpec> &fields)
{
    DbfTable table(path);
    const auto bytes = dbf::BuildEmptyTable(fields, QDate::currentDate());
    if (!bytes)
        return table.fail(bytes.error());
    if (QFileInfo::exists(path))
        return table.fail(QStringLiteral("файл уже существует"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return table.fail(QStringLiteral("не удаётся создать файл (%1)").arg(FileError(file)));
    Status done = WriteDurably(file, 0, *bytes);
    // A network share may report a lost write only when the file is closed.
    file.close();
    if (done && file.error() != QFileDevice::NoError)
        done = Fail(DiskStepFailure(DiskStep::Write, FileError(file)));
    // A new file's name lasts through a power cut only once its folder is on disk.
    if (done)
        done = SyncFolderOf(path);
    if (!done) {
        file.remove();
        return table.fail(done.error());
    }
    return {};
}

} // namespace ordan
