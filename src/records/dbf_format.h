#pragma once

// The bytes of a dBase table: header, field descriptors and field values, for dBase III/IV
// (and FoxPro) files with 32-byte field descriptors and dBase level 7 files with 48-byte
// ones. Pure byte work; everything read from a file is untrusted and checked here.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace ordan::dbf {

inline constexpr int kFixedHeaderSize = 32;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kActive = ' ';
inline constexpr char kDeleted = '*';

struct Field {
    QString name; // lower case
    char type = 0;
    int length = 0;
    int decimals = 0;
    int offset = 0;   // within the record; byte 0 is the deletion flag
    quint8 flags = 0; // Visual FoxPro: 0x01 system column, 0x02 may hold null, 0x04 binary
    int nullBit = -1; // its bit in _NullFlags, or -1 when the column has none
};

struct Header {
    quint8 version = 0;
    bool level7 = false; // 48-byte field descriptors, binary 'I' and '@' as dBase 7 stores them
    quint32 recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    quint8 languageDriver = 0;
    QList<Field> fields;
    int nullFlagsOffset = -1; // the _NullFlags column (Visual FoxPro) in the record, or -1

    // The field of that name (any case), or -1.
    int indexOf(QStringView name) const;
    // The code page of the character fields, by the language driver byte.
    QByteArray codepage() const;
};

// The header length stored in the first 32 bytes, or nullopt when there are fewer.
std::optional<int> StoredHeaderLength(QByteArrayView bytes);

// Parses the header and field descriptors from the first bytes of a file (at least the
// header length, or the whole file when it is shorter); fails with "файл повреждён: ..." and
// what is wrong.
Result<Header> ParseHeader(QByteArrayView bytes);

// The value of a field in a record of header.recordLength bytes: C -> QString (blanks on
// the right dropped), N/F -> double, D -> QDate, L -> bool, I -> int, '@' and 8-byte T ->
// QDateTime (UTC, naive), 4-byte T -> QTime. Blank, null and unreadable values and
// memo fields give an invalid QVariant.
QVariant DecodeField(const Header &header, const Field &field, QByteArrayView record);

// Writes the value into the field's bytes at dst; an invalid QVariant writes the blank.
// Fails with the reason when the value does not fit the field or its type.
Status EncodeField(const Header &header, const Field &field, const QVariant &value, char *dst);
void EncodeBlank(const Header &header, const Field &field, char *dst);

// Whether a null in this field is stored at all: binary numbers of FoxPro tables (I, B, Y)
// have no blank of their own and read back as 0 unless _NullFlags marks them.
bool CanHoldNull(const Header &header, const Field &field);
// Sets or clears the field's bit in _NullFlags of a whole record; nothing when it has none.
void SetNullFlag(const Header &header, const Field &field, char *record, bool null);

struct FieldSpec {
    QString name; // up to 10 ASCII characters
    char type = 'C';
    int length = 1;
    int decimals = 0;
};

// A new empty dBase III/IV table (header, descriptors, terminator, end-of-file mark).
Result<QByteArray> BuildEmptyTable(const QList<FieldSpec> &fields, QDate today);

// Bytes 1..7 of the header: date of last update and record count.
QByteArray HeaderUpdate(QDate today, quint32 recordCount);

// A value as a finite number: numbers as they are, texts that read as one; nothing otherwise.
std::optional<double> FiniteNumber(const QVariant &value);

} // namespace ordan::dbf
