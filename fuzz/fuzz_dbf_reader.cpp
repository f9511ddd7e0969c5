// The settings log's dBase reader on arbitrary file contents: the header and every field of
// every record from memory, then the table on a file as the station uses it (open, count,
// select, maximum, latest day) and, when the table was accepted, one append of a settings row
// that must leave every byte of the old records alone and be counted.
//
// The file lives in one folder of this process under the temporary directory, rewritten for
// every input and removed at exit; scripts/fuzz.sh points TMPDIR at memory when it can, since
// every append syncs to disk.

#include "fuzz_common.h"
#include "records/dbf_format.h"
#include "records/dbf_table.h"
#include "records/local_table.h"
#include "records/setting_table.h"
#include "support/result_checks.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace ordan::fuzz {
namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

QString &Folder()
{
    static QString folder;
    return folder;
}

void RemoveFolder()
{
    if (!Folder().isEmpty())
        QDir(Folder()).removeRecursively();
}

const QString &TablePath()
{
    static const QString path = [] {
        Folder() = QDir::tempPath() + QStringLiteral("/ordan-fuzz-dbf-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(Folder());
        std::atexit(RemoveFolder);
        return Folder() + QStringLiteral("/Setting.DBF");
    }();
    return path;
}

// A row as a finished write records it.
LocalRow SettingRow()
{
    LocalRow row;
    row.insert(QStringLiteral("c_number"), 1234567.0);
    row.insert(QStringLiteral("version"), QStringLiteral("10.3"));
    row.insert(QStringLiteral("address"), 17);
    row.insert(QStringLiteral("turn_on"), 4567.0);
    row.insert(QStringLiteral("status"), 0.0);
    row.insert(QStringLiteral("c_date"), QDate(2026, 12, 8));
    row.insert(QStringLiteral("c_time"), QStringLiteral("10:15:30"));
    row.insert(QStringLiteral("summer"), true);
    row.insert(QStringLiteral("correct"), -3);
    row.insert(QStringLiteral("pass"), 1111.0);
    row.insert(QStringLiteral("t_1_c"), 123.45678);
    row.insert(QStringLiteral("t_2_c"), 0.25);
    row.insert(QStringLiteral("t_3_c"), 99999.99999);
    row.insert(QStringLiteral("ddm_a"), 1.0);
    row.insert(QStringLiteral("count_day"), 1);
    row.insert(QStringLiteral("reset"), false);
    row.insert(QStringLiteral("date_rec"), QDate(2026, 12, 9));
    row.insert(QStringLiteral("time_rec"), QStringLiteral("13:17"));
    row.insert(QStringLiteral("zone_0"), 1);
    row.insert(QStringLiteral("time_0"), QTime(7, 0));
    return row;
}

// A value read and written back into its field reads the same once the field's own format
// has settled it (decimals, code page): writing the value again changes no byte.
void CheckRewrite(const dbf::Header &h, const dbf::Field &f, QByteArrayView record)
{
    const QVariant first = dbf::DecodeField(h, f, record);
    if (!first.isValid())
        return;
    QByteArray once = record.toByteArray();
    QString why;
    if (!Succeeded(dbf::EncodeField(h, f, first, once.data() + f.offset), why))
        return;
    const QVariant second = dbf::DecodeField(h, f, once);
    Check(second.isValid());
    QByteArray twice = once;
    Check(Succeeded(dbf::EncodeField(h, f, second, twice.data() + f.offset), why));
    Check(twice == once);
    Check(dbf::DecodeField(h, f, twice) == second);
}

// Every field of every record the bytes hold, straight from memory.
void ReadFromMemory(QByteArrayView bytes)
{
    (void)dbf::StoredHeaderLength(bytes);
    QString error;
    const auto h = dbf::ParseHeader(bytes);
    error = h.error();
    if (!h) {
        Check(!error.isEmpty());
        return;
    }
    Check(h->headerLength >= dbf::kFixedHeaderSize + 1 && h->headerLength <= bytes.size());
    Check(!h->fields.isEmpty());
    int end = 1;
    for (const dbf::Field &f : h->fields) {
        Check(f.offset == end && f.length >= 1);
        end += f.length;
        Check(h->indexOf(f.name) >= 0);
    }
    Check(end == h->recordLength);
    (void)h->codepage();
    const qsizetype records = (bytes.size() - h->headerLength) / h->recordLength;
    for (qsizetype r = 0; r < records && r < qsizetype(h->recordCount) && r < 256; ++r) {
        const QByteArrayView record = bytes.sliced(h->headerLength + r * h->recordLength, h->recordLength);
        for (const dbf::Field &f : h->fields)
            CheckRewrite(*h, f, record);
    }
}

bool SameLayout(const dbf::Header &a, const dbf::Header &b)
{
    if (a.headerLength != b.headerLength || a.recordLength != b.recordLength || a.fields.size() != b.fields.size())
        return false;
    for (qsizetype i = 0; i < a.fields.size(); ++i) {
        const dbf::Field &x = a.fields[i];
        const dbf::Field &y = b.fields[i];
        if (x.name != y.name || x.type != y.type || x.length != y.length || x.offset != y.offset)
            return false;
    }
    return true;
}

void ReadFromFile(const QByteArray &bytes)
{
    const QString &path = TablePath();
    {
        QFile::remove(path);
        QFile f(path);
        Check(f.open(QIODevice::WriteOnly));
        Check(f.write(bytes) == bytes.size());
    }
    DbfTable table(path);
    QString error;
    const auto header = Noted(table.open(), error);
    qsizetype visited = 0;
    const bool read = Succeeded(table.forEachRow([&](const LocalRow &row) {
        ++visited;
        Check(row.size() == qsizetype(kSettingColumns.size()));
    }),
                                error);
    Check(read == header.ok());
    (void)Noted(table.maxNumber(), error);
    (void)Noted(table.latestDay(), error);
    (void)Succeeded(table.select(LocalFilter{QDate(2000, 1, 1), QDate(2099, 12, 31), 0}), error);
    const auto count = Noted(table.rowCount(), error);
    if (!header) {
        Check(!count);
        return;
    }
    Check(count && *count == visited);

    // Whole records the header counts, and whether one of them ends the table early.
    const qint64 whole = (bytes.size() - header->headerLength) / header->recordLength;
    const qint64 counted = std::min<qint64>(header->recordCount, whole);
    bool endsEarly = false;
    for (qint64 r = 0; r < counted && !endsEarly; ++r)
        endsEarly = bytes[header->headerLength + r * header->recordLength] == dbf::kEndOfFile;

    // The row as far as the table has its columns: a missing column refuses the whole row.
    LocalRow row;
    const LocalRow full = SettingRow();
    for (auto it = full.cbegin(); it != full.cend(); ++it)
        if (header->indexOf(it.key()) >= 0)
            row.insert(it.key(), it.value());
    if (!Succeeded(table.append(row), error))
        return;
    QFile f(path);
    Check(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    const qint64 recordsEnd = header->headerLength + counted * header->recordLength;
    // Only the update stamp and count of the header and the space after the old records change.
    Check(after.size() >= recordsEnd + header->recordLength);
    Check(after.left(1) == bytes.left(1));
    Check(after.mid(8, recordsEnd - 8) == bytes.mid(8, recordsEnd - 8));
    Check(after[recordsEnd] == dbf::kActive);

    const auto reopened = Noted(table.open(), error);
    Check(reopened && SameLayout(*header, *reopened));
    Check(reopened->recordCount == quint32(counted + 1));
    LocalRow last;
    qsizetype countAfter = 0;
    Check(Succeeded(table.forEachRow([&](const LocalRow &r) {
        ++countAfter;
        last = r;
    }),
                    error));
    if (endsEarly)
        return;
    Check(countAfter == *count + 1);
    // Values that fit their field read back as they were given.
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        const SettingColumn *column = FindSettingColumn(it.key());
        const dbf::Field &f = header->fields[header->indexOf(it.key())];
        const bool same =
            (column->type == SettingType::Date && f.type == 'D') ||
            (column->type == SettingType::Logical && f.type == 'L') ||
            (column->type == SettingType::Text && f.type == 'C' && f.length >= it.value().toString().size());
        if (same)
            Check(last.value(it.key()) == it.value());
    }
}

} // namespace
} // namespace ordan::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ordan::fuzz::InitQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Tables beyond this add nothing but slowness to a run.
    if (size > 64 * 1024)
        return -1;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    ordan::fuzz::ReadFromMemory(bytes);
    ordan::fuzz::ReadFromFile(bytes);
    return 0;
}
