#include "records/dbf_format.h"

#include "core/bytes.h"
#include "core/codepages.h"
#include "core/result.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTime>

#include <cmath>
#include <cstring>
#include <limits>

namespace ordan::dbf {

namespace {

constexpr int kLevel7Base = 68; // fixed header, language driver name, reserved
constexpr qint64 kMsPerDay = 86400000;
// Julian day number of 0001-01-01 minus one: BDE time stamps count days from 1 there.
constexpr qint64 kBdeDayBase = 1721425;

QString Corrupt(const QString &detail) { return QStringLiteral("файл повреждён: ") + detail; }

quint64 BigEndian(QByteArrayView bytes, qsizetype offset, int width)
{
    quint64 v = 0;
    for (int i = 0; i < width; ++i)
        v = (v << 8) | ByteAt(bytes, offset + i);
    return v;
}

void PutLittle(char *dst, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        dst[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutBig(char *dst, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        dst[i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
}

bool AllStars(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (c != '*')
            return false;
    }
    return true;
}

// Blank, NUL and, where allowed, '0' bytes only: a null value in any dBase dialect.
bool IsBlank(QByteArrayView bytes, bool zeroDigitsToo = false)
{
    for (char c : bytes) {
        if (c != ' ' && c != '\0' && !(zeroDigitsToo && c == '0'))
            return false;
    }
    return true;
}

bool IsAllZero(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (c != '\0')
            return false;
    }
    return true;
}

bool IsBinaryType(const Field &f)
{
    switch (f.type) {
    case 'I':
    case '+':
    case '@':
    case 'O':
    case 'Y':
    case '0': return true;
    case 'T': return f.length == 4 || f.length == 8;
    case 'B': return f.length == 4 || f.length == 8; // a memo block number, or Visual FoxPro's double
    case 'M':
    case 'G': return f.length == 4; // FoxPro and level 7 store memo block numbers in binary
    default: return false;
    }
}

// Date and time of day of a value for the binary date-time types; a time alone falls on
// 1899-12-30, the zero of the engines that wrote such tables.
std::optional<std::pair<QDate, int>> DateAndMs(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return std::nullopt;
        return std::pair(dt.date(), dt.time().msecsSinceStartOfDay());
    }
    case QMetaType::QDate:
        if (!value.toDate().isValid())
            return std::nullopt;
        return std::pair(value.toDate(), 0);
    case QMetaType::QTime:
        if (!value.toTime().isValid())
            return std::nullopt;
        return std::pair(QDate(1899, 12, 30), value.toTime().msecsSinceStartOfDay());
    default: return std::nullopt;
    }
}

QVariant NaiveDateTime(qint64 julianDay, qint64 ms)
{
    if (ms < 0 || ms >= kMsPerDay)
        return {};
    const QDate date = QDate::fromJulianDay(julianDay);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return {};
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

QString DecodeText(const Header &header, QByteArrayView bytes)
{
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<quint8>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    if (const std::optional<Codepage> own = CodepageNamed(header.codepage()))
        return Decode(*own, bytes);
    QStringDecoder decoder(header.codepage().constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray EncodeText(const Header &header, const QString &text)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    if (const std::optional<Codepage> own = CodepageNamed(header.codepage()))
        return Encode(*own, text);
    QStringEncoder encoder(header.codepage().constData(), QStringConverter::Flag::Default);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

QString TextOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyyMMdd"));
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    default: return value.toString();
    }
}

QString NotFitting(const QVariant &value, const Field &f)
{
    return QStringLiteral("значение %1 не помещается в столбец %2").arg(value.toString(), f.name);
}

QString NotOfType(const QVariant &value, const Field &f)
{
    return QStringLiteral("значение %1 не подходит для столбца %2").arg(value.toString(), f.name);
}

bool CheckFieldLength(const Field &f)
{
    switch (f.type) {
    case 'D': return f.length == 8;
    case 'L': return f.length == 1;
    case 'I':
    case '+': return f.length == 4;
    case '@':
    case 'O':
    case 'Y': return f.length == 8;
    case 'N':
    case 'F': return f.length <= 254 && f.decimals < f.length;
    default: return true;
    }
}

struct Layout {
    bool level7;
    int base;
    int descriptorSize;
};

// The bytes Visual FoxPro (and FoxPro tables made by other programs) keep between the
// descriptors' terminator and the first record: the back link to a database container.
constexpr int kBacklinkSize = 263;

// Fields of one descriptor layout, or the reason it does not fit the header.
Result<QList<Field>> ParseFields(QByteArrayView bytes, const Header &h, const Layout &layout)
{
    QList<Field> fields;
    int pos = layout.base;
    int offset = 1;
    while (true) {
        if (pos >= h.headerLength) {
            // Level 7 may fill its header with descriptors alone; a dBase III/IV header
            // shorter than its descriptors puts the first record over the terminator.
            if (pos == h.headerLength && layout.level7)
                break;
            return Fail(QStringLiteral("длина заголовка не совпадает с описаниями полей"));
        }
        if (ByteAt(bytes, pos) == 0x0D) {
            // The records start right after the terminator, or after the FoxPro back link;
            // any other header length would put them where no engine writes them.
            const int rest = h.headerLength - (pos + 1);
            if (!layout.level7 && rest != 0 && rest != kBacklinkSize)
                return Fail(QStringLiteral("длина заголовка не совпадает с описаниями полей"));
            break;
        }
        if (pos + layout.descriptorSize > h.headerLength)
            return Fail(QStringLiteral("описания полей не умещаются в заголовке"));
        const QByteArrayView d = bytes.sliced(pos, layout.descriptorSize);
        const int nameSize = layout.level7 ? 32 : 11;
        qsizetype nameEnd = 0;
        while (nameEnd < nameSize && d[nameEnd] != '\0')
            ++nameEnd;
        Field f;
        f.name = QString::fromLatin1(d.first(nameEnd)).trimmed().toLower();
        if (layout.level7) {
            f.type = d[32];
            f.length = ByteAt(d, 33);
            f.decimals = ByteAt(d, 34);
        } else {
            f.type = d[11];
            f.length = ByteAt(d, 16);
            f.decimals = ByteAt(d, 17);
            f.flags = ByteAt(d, 18);
            if (f.type == 'C') {
                // Clipper and FoxPro keep the high byte of long text widths here.
                f.length |= f.decimals << 8;
                f.decimals = 0;
            }
        }
        if (f.name.isEmpty())
            return Fail(QStringLiteral("поле без имени"));
        if (f.length < 1 || !CheckFieldLength(f))
            return Fail(QStringLiteral("неверная длина поля %1").arg(f.name));
        f.offset = offset;
        offset += f.length;
        if (offset > h.recordLength)
            return Fail(QStringLiteral("поля длиннее записи"));
        fields.append(f);
        pos += layout.descriptorSize;
    }
    if (fields.isEmpty())
        return Fail(QStringLiteral("в таблице нет полей"));
    if (offset != h.recordLength)
        return Fail(QStringLiteral("длина записи не совпадает с полями"));
    return fields;
}

bool KnownVersion(quint8 v)
{
    switch (v) {
    case 0x03: // dBase III / IV / 5 without memo
    case 0x83: // dBase III with memo
    case 0x8B: // dBase IV with memo
    case 0x8E: // dBase IV with SQL table
    case 0x43:
    case 0x63:
    case 0xCB:
    case 0x30: // Visual FoxPro
    case 0x31:
    case 0x32:
    case 0xF5: // FoxPro with memo
    case 0xFB:
    case 0x04: // dBase level 7
    case 0x8C: // dBase level 7 with memo
        return true;
    default: return false;
    }
}

// Visual FoxPro numbers the bits of _NullFlags in column order: a varying-length column (V, Q)
// takes one for its length, then every column that may hold null takes one.
Status AssignNullBits(Header &h)
{
    const int flagsField = h.indexOf(u"_nullflags");
    if (flagsField < 0 || h.fields[flagsField].type != '0')
        return {};
    const Field &flags = h.fields[flagsField];
    int bit = 0;
    for (Field &f : h.fields) {
        if (f.flags & 0x01)
            continue; // system columns, _NullFlags itself
        if (f.type == 'V' || f.type == 'Q')
            ++bit;
        if (f.flags & 0x02)
            f.nullBit = bit++;
    }
    if (bit > 8 * flags.length)
        return Fail(QStringLiteral("столбец _NullFlags короче своих отметок"));
    h.nullFlagsOffset = flags.offset;
    return {};
}

bool NullFlagSet(const Header &header, const Field &field, QByteArrayView record)
{
    if (field.nullBit < 0 || header.nullFlagsOffset < 0)
        return false;
    const qsizetype at = header.nullFlagsOffset + field.nullBit / 8;
    return at < record.size() && (ByteAt(record, at) >> (field.nullBit % 8)) & 1;
}

// --- reading one value, by column type ---

QVariant DecodeCharacter(const Header &header, QByteArrayView raw)
{
    qsizetype end = raw.size();
    while (end > 0 && (raw[end - 1] == ' ' || raw[end - 1] == '\0'))
        --end;
    if (end == 0)
        return {};
    return DecodeText(header, raw.first(end));
}

QVariant DecodeNumber(QByteArrayView raw)
{
    QByteArray text = raw.toByteArray().trimmed();
    while (text.endsWith('\0'))
        text.chop(1);
    text = text.trimmed();
    if (text.isEmpty() || AllStars(text))
        return {}; // blank is null; stars mark an overflow, not a value
    text.replace(',', '.');
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return {};
    }
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return {};
    return d;
}

QVariant DecodeDate(QByteArrayView raw)
{
    if (IsBlank(raw, true))
        return {};
    for (char c : raw) {
        if (c < '0' || c > '9')
            return {};
    }
    const QDate d(raw.first(4).toInt(), raw.sliced(4, 2).toInt(), raw.sliced(6, 2).toInt());
    return d.isValid() ? QVariant(d) : QVariant();
}

QVariant DecodeLogical(QByteArrayView raw)
{
    switch (raw[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y': return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n': return false;
    default: return {};
    }
}

QVariant DecodeInteger(const Header &header, QByteArrayView raw)
{
    if (header.level7) {
        // Big-endian with the sign bit inverted, so that bytes sort as numbers; zero bytes are null.
        if (IsAllZero(raw))
            return {};
        const auto u = static_cast<quint32>(BigEndian(raw, 0, 4)) ^ 0x80000000u;
        return static_cast<int>(static_cast<qint32>(u));
    }
    return static_cast<int>(static_cast<qint32>(LittleEndian(raw, 0, 4)));
}

// Level 7 '@': a big-endian double of milliseconds, days counted from 1 at 0001-01-01.
QVariant DecodeLevel7Timestamp(QByteArrayView raw)
{
    if (IsAllZero(raw))
        return {};
    quint64 bits = BigEndian(raw, 0, 8);
    if (bits & (quint64(1) << 63))
        bits ^= quint64(1) << 63; // the sortable variant with the sign bit inverted
    double ms = 0;
    std::memcpy(&ms, &bits, sizeof ms);
    if (!std::isfinite(ms) || ms <= 0 || ms > 1e18)
        return {};
    const auto total = static_cast<qint64>(std::llround(ms));
    return NaiveDateTime(total / kMsPerDay + kBdeDayBase, total % kMsPerDay);
}

// 'T' and FoxPro's '@': a Julian day and milliseconds, milliseconds alone, or text.
QVariant DecodeDateTime(const Header &header, const Field &field, QByteArrayView raw)
{
    if (field.length == 8) {
        if (IsBlank(raw))
            return {};
        const auto day = static_cast<qint64>(LittleEndian(raw, 0, 4));
        if (day == 0)
            return {};
        return NaiveDateTime(day, static_cast<qint64>(LittleEndian(raw, 4, 4)));
    }
    if (field.length == 4) {
        if (IsBlank(raw))
            return {};
        const auto ms = static_cast<qint64>(LittleEndian(raw, 0, 4));
        if (ms >= kMsPerDay)
            return {};
        return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    }
    if (IsBlank(raw))
        return {};
    return DecodeText(header, raw).trimmed();
}

QVariant DecodeDouble(const Header &header, const Field &field, QByteArrayView raw)
{
    if (field.length != 8 || header.level7)
        return {}; // a memo block number
    const quint64 bits = LittleEndian(raw, 0, 8);
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return std::isfinite(d) ? QVariant(d) : QVariant();
}

// --- writing one value, by column type ---

Failure Unwritable(const Field &f)
{
    return Fail(QStringLiteral("столбец %1 типа %2 не записывается").arg(f.name, QString(QLatin1Char(f.type))));
}

Status EncodeCharacter(const Header &header, const Field &field, const QVariant &value, char *dst)
{
    QByteArray bytes = EncodeText(header, TextOf(value)).left(field.length);
    std::memset(dst, ' ', static_cast<size_t>(field.length));
    std::memcpy(dst, bytes.constData(), static_cast<size_t>(bytes.size()));
    return {};
}

Status EncodeNumber(const Field &field, const QVariant &value, char *dst)
{
    const auto d = FiniteNumber(value);
    if (!d)
        return Fail(NotOfType(value, field));
    const double v = *d == 0 ? 0.0 : *d; // no "-0"
    // Fewer decimals when the width needs it, as dBase does; never a cut integer part.
    for (int decimals = field.decimals; decimals >= 0; --decimals) {
        const QByteArray text = QByteArray::number(v, 'f', decimals);
        if (text.size() <= field.length) {
            std::memset(dst, ' ', static_cast<size_t>(field.length));
            std::memcpy(dst + field.length - text.size(), text.constData(), static_cast<size_t>(text.size()));
            return {};
        }
    }
    return Fail(NotFitting(value, field));
}

Status EncodeDate(const Field &field, const QVariant &value, char *dst)
{
    QDate d;
    if (value.typeId() == QMetaType::QDate)
        d = value.toDate();
    else if (value.typeId() == QMetaType::QDateTime)
        d = value.toDateTime().date();
    if (!d.isValid() || d.year() < 1 || d.year() > 9999)
        return Fail(NotOfType(value, field));
    const QByteArray text = d.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    std::memcpy(dst, text.constData(), 8);
    return {};
}

Status EncodeLogical(const Field &field, const QVariant &value, char *dst)
{
    if (value.typeId() != QMetaType::Bool)
        return Fail(NotOfType(value, field));
    dst[0] = value.toBool() ? 'T' : 'F';
    return {};
}

Status EncodeInteger(const Header &header, const Field &field, const QVariant &value, char *dst)
{
    const auto d = FiniteNumber(value);
    if (!d)
        return Fail(NotOfType(value, field));
    const double r = std::round(*d);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
        return Fail(NotFitting(value, field));
    const auto u = static_cast<quint32>(static_cast<qint32>(r));
    if (header.level7)
        PutBig(dst, u ^ 0x80000000u, 4);
    else
        PutLittle(dst, u, 4);
    return {};
}

Status EncodeDouble(const Header &header, const Field &field, const QVariant &value, char *dst)
{
    if (field.length != 8 || header.level7)
        return Unwritable(field); // a memo block number
    const auto d = FiniteNumber(value);
    if (!d)
        return Fail(NotOfType(value, field));
    quint64 bits = 0;
    std::memcpy(&bits, &*d, sizeof bits);
    PutLittle(dst, bits, 8);
    return {};
}

Status EncodeDateTime(const Header &header, const Field &field, const QVariant &value, char *dst)
{
    const auto dm = DateAndMs(value);
    if (!dm)
        return Fail(NotOfType(value, field));
    const qint64 jd = dm->first.toJulianDay();
    if (field.type == '@' && header.level7) {
        const double ms = static_cast<double>((jd - kBdeDayBase) * kMsPerDay + dm->second);
        quint64 bits = 0;
        std::memcpy(&bits, &ms, sizeof bits);
        PutBig(dst, bits, 8);
        return {};
    }
    if (field.length == 8) {
        PutLittle(dst, static_cast<quint64>(jd), 4);
        PutLittle(dst + 4, static_cast<quint64>(dm->second), 4);
        return {};
    }
    if (field.length == 4) {
        PutLittle(dst, static_cast<quint64>(dm->second), 4);
        return {};
    }
    return Fail(NotOfType(value, field));
}

} // namespace

bool CanHoldNull(const Header &header, const Field &field)
{
    if (field.nullBit >= 0 && header.nullFlagsOffset >= 0)
        return true;
    if (header.level7)
        return true; // level 7 reads all-zero binary values as null
    switch (field.type) {
    case 'I':
    case '+':
    case 'Y': return false;
    case 'B': return field.length != 8;
    default: return true;
    }
}

void SetNullFlag(const Header &header, const Field &field, char *record, bool null)
{
    if (field.nullBit < 0 || header.nullFlagsOffset < 0)
        return;
    char &byte = record[header.nullFlagsOffset + field.nullBit / 8];
    const auto mask = static_cast<char>(1 << (field.nullBit % 8));
    byte = static_cast<char>(null ? (byte | mask) : (byte & ~mask));
}

std::optional<double> FiniteNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: {
        const double d = value.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    case QMetaType::QString: {
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

int Header::indexOf(QStringView name) const
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QByteArray Header::codepage() const
{
    switch (languageDriver) {
    case 0x26:
    case 0x65: return QByteArrayLiteral("IBM866");
    case 0x01: return QByteArrayLiteral("IBM437");
    case 0x03:
    case 0x57: return QByteArrayLiteral("windows-1252");
    default:
        // 0xC9 and files without a driver byte: a Russian station's tables are Windows Cyrillic.
        return QByteArrayLiteral("windows-1251");
    }
}

std::optional<int> StoredHeaderLength(QByteArrayView bytes)
{
    if (bytes.size() < kFixedHeaderSize)
        return std::nullopt;
    return static_cast<int>(LittleEndian(bytes, 8, 2));
}

Result<Header> ParseHeader(QByteArrayView bytes)
{
    const auto fail = [](const QString &detail) { return Fail(Corrupt(detail)); };
    if (bytes.size() < kFixedHeaderSize)
        return fail(QStringLiteral("файл короче заголовка"));
    Header h;
    h.version = ByteAt(bytes, 0);
    if (!KnownVersion(h.version))
        return fail(QStringLiteral("неизвестная версия dBase (байт 0 = 0x%1)").arg(h.version, 2, 16, QLatin1Char('0')));
    h.recordCount = static_cast<quint32>(LittleEndian(bytes, 4, 4));
    h.headerLength = static_cast<int>(LittleEndian(bytes, 8, 2));
    h.recordLength = static_cast<int>(LittleEndian(bytes, 10, 2));
    h.languageDriver = ByteAt(bytes, 29);
    if (h.recordLength < 2)
        return fail(QStringLiteral("неверная длина записи"));
    if (h.headerLength < kFixedHeaderSize + 1)
        return fail(QStringLiteral("неверная длина заголовка"));
    if (bytes.size() < h.headerLength)
        return fail(QStringLiteral("файл короче заголовка"));

    // Byte 0 names the layout; the descriptors must then fit it exactly. When they do not,
    // the other layout is tried, since some engines write the version byte loosely.
    const Layout dbase3{false, kFixedHeaderSize, 32};
    const Layout level7{true, kLevel7Base, 48};
    const bool says7 = (h.version & 0x07) == 0x04;
    const Layout order[2] = {says7 ? level7 : dbase3, says7 ? dbase3 : level7};
    QString firstReason;
    for (const Layout &layout : order) {
        if (h.headerLength < layout.base + 1)
            continue;
        auto fields = ParseFields(bytes, h, layout);
        if (fields) {
            h.level7 = layout.level7;
            h.fields = std::move(*fields);
            if (layout.level7)
                return h;
            if (const Status flags = AssignNullBits(h); !flags)
                return fail(flags.error());
            return h;
        }
        if (firstReason.isEmpty())
            firstReason = fields.error();
    }
    return fail(firstReason.isEmpty() ? QStringLiteral("неверная длина заголовка") : firstReason);
}

QVariant DecodeField(const Header &header, const Field &field, QByteArrayView record)
{
    if (field.offset < 1 || field.offset + field.length > record.size())
        return {};
    if (NullFlagSet(header, field, record))
        return {};
    const QByteArrayView raw = record.sliced(field.offset, field.length);
    switch (field.type) {
    case 'C': return DecodeCharacter(header, raw);
    case 'N':
    case 'F': return DecodeNumber(raw);
    case 'D': return DecodeDate(raw);
    case 'L': return DecodeLogical(raw);
    case 'I':
    case '+': return DecodeInteger(header, raw);
    case '@':
        if (header.level7)
            return DecodeLevel7Timestamp(raw);
        return DecodeDateTime(header, field, raw);
    case 'T': return DecodeDateTime(header, field, raw);
    case 'B': return DecodeDouble(header, field, raw);
    default: return {}; // memo contents and other types are not read
    }
}

void EncodeBlank(const Header &, const Field &field, char *dst)
{
    std::memset(dst, IsBinaryType(field) ? '\0' : ' ', static_cast<size_t>(field.length));
}

Status EncodeField(const Header &header, const Field &field, const QVariant &value, char *dst)
{
    if (!value.isValid() || value.isNull()) {
        EncodeBlank(header, field, dst);
        return {};
    }
    switch (field.type) {
    case 'C': return EncodeCharacter(header, field, value, dst);
    case 'N':
    case 'F': return EncodeNumber(field, value, dst);
    case 'D': return EncodeDate(field, value, dst);
    case 'L': return EncodeLogical(field, value, dst);
    case 'I':
    case '+': return EncodeInteger(header, field, value, dst);
    case 'B': return EncodeDouble(header, field, value, dst);
    case '@':
    case 'T': return EncodeDateTime(header, field, value, dst);
    default: return Unwritable(field);
    }
}

Result<QByteArray> BuildEmptyTable(const QList<FieldSpec> &fields, QDate today)
{
    if (fields.isEmpty())
        return Fail(QStringLiteral("в таблице нет полей"));
    int recordLength = 1;
    for (const FieldSpec &f : fields) {
        const QByteArray name = f.name.toUpper().toLatin1();
        bool plain = !name.isEmpty() && name.size() <= 10;
        for (QChar c : f.name)
            plain = plain && c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
        if (!plain)
            return Fail(QStringLiteral("неверное имя поля %1").arg(f.name));
        Field check{f.name, f.type, f.length, f.decimals, 0};
        if (f.length < 1 || f.length > 254 || f.decimals < 0 || !CheckFieldLength(check))
            return Fail(QStringLiteral("неверная длина поля %1").arg(f.name));
        recordLength += f.length;
    }
    const int headerLength = kFixedHeaderSize + 32 * static_cast<int>(fields.size()) + 1;
    if (recordLength > 0xFFFF || headerLength > 0xFFFF)
        return Fail(QStringLiteral("слишком много полей"));

    QByteArray out(headerLength, '\0');
    out[0] = 0x03;
    const QByteArray update = HeaderUpdate(today, 0);
    std::memcpy(out.data() + 1, update.constData(), 7);
    PutLittle(out.data() + 8, static_cast<quint64>(headerLength), 2);
    PutLittle(out.data() + 10, static_cast<quint64>(recordLength), 2);
    out[29] = static_cast<char>(0xC9); // Windows Cyrillic
    int pos = kFixedHeaderSize;
    int offset = 1;
    for (const FieldSpec &f : fields) {
        const QByteArray name = f.name.toUpper().toLatin1();
        std::memcpy(out.data() + pos, name.constData(), static_cast<size_t>(name.size()));
        out[pos + 11] = f.type;
        PutLittle(out.data() + pos + 12, static_cast<quint64>(offset), 4);
        out[pos + 16] = static_cast<char>(f.length);
        out[pos + 17] = static_cast<char>(f.decimals);
        offset += f.length;
        pos += 32;
    }
    out[pos] = 0x0D;
    out.append(kEndOfFile);
    return out;
}

QByteArray HeaderUpdate(QDate today, quint32 recordCount)
{
    QByteArray out(7, '\0');
    if (today.isValid()) {
        out[0] = static_cast<char>(qBound(0, today.year() - 1900, 255));
        out[1] = static_cast<char>(today.month());
        out[2] = static_cast<char>(today.day());
    }
    PutLittle(out.data() + 3, recordCount, 4);
    return out;
}

} // namespace ordan::dbf
