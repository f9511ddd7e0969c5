#pragma once

// BIFF8 records: the record numbers the workbook uses, writing of records and of Excel's
// string forms, and a bounds-checked record reader. Record layouts are those of the Excel 97
// binary file format ([MS-XLS]).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace ordan::biff {

enum RecordId : quint16 {
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kRefMode = 0x000F,
    kDelta = 0x0010,
    kIteration = 0x0011,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kDateMode = 0x0022,
    kPrintHeaders = 0x002A,
    kPrintGridlines = 0x002B,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kCodePage = 0x0042,
    kDefColWidth = 0x0055,
    kSaveRecalc = 0x005F,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kSetup = 0x00A1,
    kMulRk = 0x00BD,
    kDbCell = 0x00D7,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kDimensions = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kRow = 0x0208,
    kIndex = 0x020B,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kBof = 0x0809,
};

constexpr int kMaxRecordData = 8224; // longer contents go on in CONTINUE records
constexpr quint16 kBiff8Version = 0x0600;
constexpr quint16 kBofGlobals = 0x0005;
constexpr quint16 kBofWorksheet = 0x0010;

// Little-endian building of record contents.
class RecordData {
public:
    RecordData &u8(quint32 v);
    RecordData &u16(quint32 v);
    RecordData &u32(quint32 v);
    RecordData &f64(double v);
    RecordData &raw(QByteArrayView b)
    {
        data.append(b);
        return *this;
    }
    QByteArray data;
};

// Whether a text can be stored one byte a character (all characters below U+0100).
bool FitsCompressed(QStringView text);
// Characters of a string in the compressed (8-bit) or UTF-16LE form.
void AppendCharacters(QByteArray &out, QStringView text, bool highByte);
// ShortXLUnicodeString: 8-bit count, flags, characters (sheet and font names; 255 at most).
QByteArray ShortUnicodeString(QStringView text);
// XLUnicodeString: 16-bit count, flags, characters (header, footer, LABEL).
QByteArray UnicodeString(QStringView text);

// Appends one record; its contents must fit in one record.
void AppendRecord(QByteArray &stream, quint16 id, QByteArrayView data);

// The SST record with as many CONTINUE records as it needs, and the EXTSST index built with
// it. `sstOffset` is the stream position where the SST record will start.
//
// A string is never split before its first character: its count, flags and first character
// go into one record, or the whole string starts in the next CONTINUE. A string split inside
// its characters goes on after a one-byte flags field at the start of the CONTINUE.
struct SharedStrings {
    QByteArray records; // SST + CONTINUE records
    QByteArray extSst;  // the EXTSST record
};
SharedStrings BuildSharedStrings(const QStringList &strings, quint32 totalReferences, qsizetype sstOffset);

// One record of a stream, its contents pointing into that stream.
struct Record {
    quint16 id = 0;
    QByteArrayView data;
    qsizetype offset = 0; // of the record header
};

// Walks the records of a stream from a position; stops at the end or at a record whose
// length runs past the end (then damaged() is true).
class RecordReader {
public:
    RecordReader(QByteArrayView stream, qsizetype position) : stream_(stream), pos_(position) {}
    std::optional<Record> next();
    // The record after the current one, if it has this id (for CONTINUE).
    std::optional<Record> nextIf(quint16 id);
    bool damaged() const { return damaged_; }
    qsizetype position() const { return pos_; }

private:
    QByteArrayView stream_;
    qsizetype pos_;
    bool damaged_ = false;
};

// Reads values from a record's contents and the CONTINUE contents after it as one sequence;
// a read past the end sets failed() and gives zeros, never touching memory outside.
class ContinuedData {
public:
    explicit ContinuedData(std::vector<QByteArrayView> parts) : parts_(std::move(parts)) {}
    quint32 u8();
    quint32 u16();
    quint32 u32();
    void skip(quint64 count);
    // `count` characters; at each CONTINUE boundary inside them a new flags byte says their width.
    QString characters(quint32 count, bool highByte);
    // XLUnicodeRichExtendedString, the form of the SST's strings.
    QString richExtendedString();
    bool failed() const { return failed_; }

private:
    bool atPartEnd();
    std::vector<QByteArrayView> parts_;
    size_t part_ = 0;
    qsizetype pos_ = 0;
    bool failed_ = false;
};

} // namespace ordan::biff
