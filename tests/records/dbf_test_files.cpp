#include "dbf_test_files.h"
#include "support/test_support.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include <cstring>

namespace ordan::test {

namespace {

void PutLe(QByteArray &out, qsizetype at, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

QByteArray Be(quint64 value, int width)
{
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i)
        out[i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
    return out;
}

} // namespace

QByteArray LayOutTable(quint8 version, bool level7, const QList<RawField> &fields, const QList<QByteArray> &records,
                       quint32 countInHeader)
{
    const int base = level7 ? 68 : 32;
    const int size = level7 ? 48 : 32;
    const int properties = level7 ? 14 : 0; // an empty field properties structure
    const int headerLength = base + size * static_cast<int>(fields.size()) + 1 + properties;
    int recordLength = 1;
    for (const RawField &f : fields)
        recordLength += f.length;

    QByteArray out(headerLength, '\0');
    out[0] = static_cast<char>(version);
    out[1] = 125; // 2025
    out[2] = 6;
    out[3] = 30;
    PutLe(out, 4, countInHeader, 4);
    PutLe(out, 8, static_cast<quint64>(headerLength), 2);
    PutLe(out, 10, static_cast<quint64>(recordLength), 2);
    out[29] = static_cast<char>(level7 ? 0x57 : 0x26);
    if (level7)
        std::memcpy(out.data() + 32, "DBWINUS0", 8);
    int pos = base;
    for (const RawField &f : fields) {
        std::memcpy(out.data() + pos, f.name.constData(), static_cast<size_t>(f.name.size()));
        if (level7) {
            out[pos + 32] = f.type;
            out[pos + 33] = static_cast<char>(f.length);
            out[pos + 34] = static_cast<char>(f.decimals);
        } else {
            out[pos + 11] = f.type;
            out[pos + 16] = static_cast<char>(f.length);
            out[pos + 17] = static_cast<char>(f.decimals);
        }
        pos += size;
    }
    out[pos] = 0x0D;
    for (const QByteArray &r : records)
        out += r;
    out += char(0x1A);
    return out;
}

QByteArray Level7Int(qint32 value) { return Be(static_cast<quint32>(value) ^ 0x80000000u, 4); }

QByteArray Level7Timestamp(QDate date, int msOfDay)
{
    const double ms = (double(date.toJulianDay() - 1721425) * 86400000.0) + msOfDay;
    quint64 bits = 0;
    std::memcpy(&bits, &ms, sizeof bits);
    return Be(bits, 8);
}

QByteArray Padded(const QByteArray &text, int width) { return text.leftJustified(width, ' ', true); }
QByteArray RightAligned(const QByteArray &text, int width) { return text.rightJustified(width, ' ', true); }

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::optional<QJsonObject> ReadWithDbfread(const QString &path, QString *error, bool level7)
{
    const QString script = QStringLiteral(ORDAN_DBF_READ_SCRIPT);
    QStringList args{script};
    if (level7)
        args << QStringLiteral("--level7");
    args << path;
    QProcess p;
    StartPythonReader(p, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QString::fromUtf8(p.readAllStandardError());
        if (error->isEmpty())
            *error = p.errorString();
        return std::nullopt;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &parse);
    if (!doc.isObject()) {
        *error = parse.errorString();
        return std::nullopt;
    }
    return doc.object();
}

} // namespace ordan::test
