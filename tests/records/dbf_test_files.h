#pragma once

// Helpers of the settings log tests: dBase files laid out byte by byte, and the
// independent reader (python3-dbfread) run on a file.

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace ordan::test {

struct RawField {
    QByteArray name;
    char type;
    int length;
    int decimals = 0;
};

// A table laid out by hand: version byte, descriptors of 32 (dBase III/IV) or 48 bytes
// (level 7, with a field properties block after the terminator), records as given (each
// starting with its deletion flag), an end-of-file mark.
QByteArray LayOutTable(quint8 version, bool level7, const QList<RawField> &fields, const QList<QByteArray> &records,
                       quint32 countInHeader);
inline QByteArray LayOutTable(quint8 version, bool level7, const QList<RawField> &fields,
                              const QList<QByteArray> &records)
{
    return LayOutTable(version, level7, fields, records, static_cast<quint32>(records.size()));
}

// Level 7 binary values.
QByteArray Level7Int(qint32 value);
QByteArray Level7Timestamp(QDate date, int msOfDay);
// Text padded with blanks to `width`, or right-aligned for numbers.
QByteArray Padded(const QByteArray &text, int width);
QByteArray RightAligned(const QByteArray &text, int width);

bool WriteFile(const QString &path, const QByteArray &bytes);
QByteArray ReadFile(const QString &path);

// The table as python3-dbfread reads it ("fields", "records", "numrecords", ...), or
// nullopt with the reader's complaint in *error. level7 reads 48-byte descriptors.
std::optional<QJsonObject> ReadWithDbfread(const QString &path, QString *error, bool level7 = false);

} // namespace ordan::test
