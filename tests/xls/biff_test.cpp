#include "core/bytes.h"
#include "support/result_checks.h"
#include "xls/biff.h"
#include "xls/xls_book.h"

#include <gtest/gtest.h>

#include <utility>

namespace ordan {
namespace {

using namespace biff;

std::vector<Record> Records(const QByteArray &stream, qsizetype from = 0)
{
    std::vector<Record> out;
    RecordReader reader(stream, from);
    while (auto r = reader.next()) {
        out.push_back(*r);
        if (r->id == kEof && from > 0)
            break;
    }
    return out;
}

std::vector<quint16> Ids(const std::vector<Record> &records)
{
    std::vector<quint16> ids;
    for (const Record &r : records)
        ids.push_back(r.id);
    return ids;
}

// Globals and the sheet substreams, split at each EOF.
std::vector<std::vector<Record>> Substreams(const QByteArray &stream)
{
    std::vector<std::vector<Record>> out(1);
    for (const Record &r : Records(stream)) {
        out.back().push_back(r);
        if (r.id == kEof)
            out.emplace_back();
    }
    out.pop_back();
    return out;
}

std::vector<Record> Globals(const QByteArray &stream) { return Substreams(stream).front(); }

QString Text(QByteArrayView data, qsizetype at, int countWidth)
{
    ContinuedData d({data.sliced(at)});
    const quint32 count = countWidth == 1 ? d.u8() : d.u16();
    const bool high = d.u8() & 1;
    return d.characters(count, high);
}

// A worksheet up to its cells, in the order Excel writes it.
std::vector<quint16> SheetHead()
{
    return {kBof,        kIndex,        kCalcMode,       kCalcCount, kRefMode, kIteration,        kDelta,
            kSaveRecalc, kPrintHeaders, kPrintGridlines, kGridSet,   kGuts,    kDefaultRowHeight, kWsBool,
            kHeader,     kFooter,       kHCenter,        kVCenter,   kSetup,   kDefColWidth,      kDimensions};
}

const Record &First(const std::vector<Record> &records, quint16 id)
{
    const auto it = std::find_if(records.begin(), records.end(), [id](const Record &r) { return r.id == id; });
    EXPECT_NE(it, records.end()) << id;
    return *it;
}

TEST(Biff, RecordsOfTheBlankWorkbook)
{
    const QByteArray stream = BuildWorkbookStream(BlankXlsBook());
    const auto parts = Substreams(stream);
    ASSERT_EQ(parts.size(), 4u);
    std::vector<quint16> globals = {kBof, kCodePage, kWindow1, kDateMode, kFont, kFont, kFont, kFont};
    globals.insert(globals.end(), 16, kXf);
    for (quint16 id : {kStyle, kBoundSheet, kBoundSheet, kBoundSheet, kSst, kExtSst, kEof})
        globals.push_back(id);
    EXPECT_EQ(Ids(parts[0]), globals);
    std::vector<quint16> sheet = SheetHead();
    sheet.push_back(kWindow2);
    sheet.push_back(kEof);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Ids(parts[i]), sheet);

    const Record &bof = parts[0][0];
    EXPECT_EQ(LittleEndian(bof.data, 0, 2), 0x0600u);
    EXPECT_EQ(LittleEndian(bof.data, 2, 2), 0x0005u);
    EXPECT_EQ(LittleEndian(parts[0][1].data, 0, 2), 1200u);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(LittleEndian(parts[i][0].data, 2, 2), 0x0010u);
}

TEST(Biff, FontsAndFormats)
{
    const QByteArray stream = BuildWorkbookStream(BlankXlsBook());
    const auto globals = Substreams(stream)[0];
    int xf = 0;
    for (const Record &r : globals) {
        if (r.id == kFont) {
            EXPECT_EQ(LittleEndian(r.data, 0, 2), 200u); // 10 points
            EXPECT_EQ(LittleEndian(r.data, 6, 2), 400u); // normal weight
            EXPECT_EQ(Text(r.data, 14, 1), QStringLiteral("Arial"));
        }
        if (r.id == kXf) {
            ASSERT_EQ(r.data.size(), 20);
            const auto protection = LittleEndian(r.data, 4, 2);
            // 0..14 are style XFs without a parent; 15 is the cell XF under the Normal style.
            EXPECT_EQ((protection & 0x0004) != 0, xf < 15) << xf;
            EXPECT_EQ(protection >> 4, xf < 15 ? 0xFFFu : 0u) << xf;
            ++xf;
        }
        if (r.id == kStyle) {
            EXPECT_EQ(QByteArray(r.data.data(), r.data.size()).toHex(), "008000ff");
        }
    }
    EXPECT_EQ(xf, 16);
}

TEST(Biff, SheetsAreNamedInUnicodeAndFoundByTheirOffsets)
{
    const QByteArray stream = BuildWorkbookStream(BlankXlsBook());
    const QStringList names = {QStringLiteral("Лист1"), QStringLiteral("Лист2"), QStringLiteral("Лист3")};
    int i = 0;
    for (const Record &r : Globals(stream)) {
        if (r.id != kBoundSheet)
            continue;
        EXPECT_EQ(ByteAt(r.data, 4), 0) << "visible";
        EXPECT_EQ(ByteAt(r.data, 5), 0) << "worksheet";
        EXPECT_EQ(ByteAt(r.data, 7), 1) << "16-bit characters";
        EXPECT_EQ(Text(r.data, 6, 1), names[i]);
        const auto offset = static_cast<qsizetype>(LittleEndian(r.data, 0, 4));
        EXPECT_EQ(LittleEndian(stream, offset, 2), kBof);
        EXPECT_EQ(LittleEndian(stream, offset + 6, 2), kBofWorksheet);
        const auto window2 = Records(stream, offset);
        ASSERT_GE(window2.size(), 2u);
        const auto flags = LittleEndian(window2[window2.size() - 2].data, 0, 2);
        EXPECT_EQ(flags & 0x0600, i == 0 ? 0x0600u : 0u) << "only the first sheet selected and shown";
        ++i;
    }
    EXPECT_EQ(i, 3);
}

TEST(Biff, HeaderAndFooterCentreNameAndPageInTimesNewRoman)
{
    const QByteArray stream = BuildWorkbookStream(BlankXlsBook());
    const auto parts = Substreams(stream);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Text(First(parts[i], kHeader).data, 0, 2), QStringLiteral("&C&\"Times New Roman,Regular\"&12&A"));
        EXPECT_EQ(Text(First(parts[i], kFooter).data, 0, 2),
                  QStringLiteral("&C&\"Times New Roman,Regular\"&12Страница &P"));
    }
}

TEST(Biff, CellsGoOutInRowOrderAsLabelSstAndNumber)
{
    XlsBook book = BlankXlsBook();
    auto &cells = book.sheets[0].cells;
    cells[{4, 2}] = 2.5;
    cells[{0, 1}] = QString();
    cells[{0, 0}] = QStringLiteral("Заголовок");
    cells[{2, 7}] = QStringLiteral("Заголовок");
    const QByteArray stream = BuildWorkbookStream(book);
    const auto sheet = Substreams(stream)[1];
    std::vector<quint16> ids = SheetHead();
    for (quint16 id : {kRow, kRow, kRow, kLabelSst, kLabelSst, kLabelSst, kNumber, kDbCell, kWindow2, kEof})
        ids.push_back(id);
    ASSERT_EQ(Ids(sheet), ids);
    const qsizetype cellsAt = static_cast<qsizetype>(SheetHead().size()) + 3;
    const QByteArray dimensions(First(sheet, kDimensions).data.data(), First(sheet, kDimensions).data.size());
    EXPECT_EQ(dimensions.toHex(), "00000000"
                                  "05000000"
                                  "0000"
                                  "0800"
                                  "0000");
    const QByteArray a1(sheet[cellsAt].data.data(), sheet[cellsAt].data.size());
    EXPECT_EQ(a1.toHex(), "0000"
                          "0000"
                          "0f00"
                          "00000000");                          // row, column, XF 15, string 0
    EXPECT_EQ(LittleEndian(sheet[cellsAt + 1].data, 6, 4), 1u); // the empty text
    EXPECT_EQ(LittleEndian(sheet[cellsAt + 2].data, 6, 4), 0u); // the same text shares string 0
    const QByteArray number(sheet[cellsAt + 3].data.data(), sheet[cellsAt + 3].data.size());
    EXPECT_EQ(number.toHex(), "0400"
                              "0200"
                              "0f00"
                              "0000000000000440"); // 2.5 as an IEEE double
}

// INDEX points at DEFCOLWIDTH and at one DBCELL per block of 32 rows; each DBCELL points back
// at its block's first ROW and at the first cell of each of its rows.
TEST(Biff, IndexAndRowBlocksPointWhereExcelLooks)
{
    XlsBook book = BlankXlsBook();
    auto &cells = book.sheets[0].cells;
    const std::vector<int> rows = {1, 2, 31, 32, 40, 100, 65535};
    for (int r : rows)
        for (int c = 0; c <= r % 5; ++c)
            cells[{r, c * 3}] = c % 2 ? XlsValue(QStringLiteral("т%1").arg(r)) : XlsValue(r + c / 10.0);
    const QByteArray stream = BuildWorkbookStream(book);
    const auto sheet = Substreams(stream)[1];
    const Record &index = First(sheet, kIndex);
    ASSERT_EQ(index.data.size(), 16 + 4 * 4); // blocks 0, 1, 3 and 2047
    EXPECT_EQ(LittleEndian(index.data, 4, 4), 1u);
    EXPECT_EQ(LittleEndian(index.data, 8, 4), 65536u);
    const auto recordAt = [&](quint64 offset) {
        RecordReader reader(stream, static_cast<qsizetype>(offset));
        return *reader.next();
    };
    EXPECT_EQ(recordAt(LittleEndian(index.data, 12, 4)).id, kDefColWidth);
    std::vector<int> seen;
    for (qsizetype b = 16; b < index.data.size(); b += 4) {
        const Record dbCell = recordAt(LittleEndian(index.data, b, 4));
        ASSERT_EQ(dbCell.id, kDbCell);
        qsizetype at = dbCell.offset - static_cast<qsizetype>(LittleEndian(dbCell.data, 0, 4));
        const Record firstRow = recordAt(static_cast<quint64>(at));
        ASSERT_EQ(firstRow.id, kRow);
        at += 4 + firstRow.data.size();
        for (qsizetype k = 4; k < dbCell.data.size(); k += 2) {
            at += static_cast<qsizetype>(LittleEndian(dbCell.data, k, 2));
            const Record cell = recordAt(static_cast<quint64>(at));
            ASSERT_TRUE(cell.id == kNumber || cell.id == kLabelSst) << cell.id;
            EXPECT_EQ(LittleEndian(cell.data, 2, 2), 0u) << "the row's first cell";
            const int row = static_cast<int>(LittleEndian(cell.data, 0, 2));
            EXPECT_EQ(row / 32, static_cast<int>(LittleEndian(firstRow.data, 0, 2)) / 32);
            seen.push_back(row);
        }
    }
    EXPECT_EQ(seen, rows);
    // Each ROW spans its cells' columns.
    for (const Record &r : sheet) {
        if (r.id != kRow)
            continue;
        const int row = static_cast<int>(LittleEndian(r.data, 0, 2));
        EXPECT_EQ(LittleEndian(r.data, 2, 2), 0u);
        EXPECT_EQ(LittleEndian(r.data, 4, 2), static_cast<quint64>((row % 5) * 3 + 1)) << row;
    }
    QString error;
    const auto back = ParseWorkbookStream(stream);
    error = back.error();
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->sheets[0].cells, cells);
}

// Room left in the SST record before the second string, and what that string is: it starts
// in the SST only when its header and first character fit there.
TEST(Biff, SharedStringIsNeverSplitBeforeItsFirstCharacter)
{
    const QString latin(100, QLatin1Char('q'));
    const QString cyrillic(100, QChar(0x0416));
    const struct {
        int room;
        QString second;
        qsizetype sstLength;
        const char *continueStart; // hex of its first three bytes, "" for no CONTINUE
        qsizetype continueLength;
    } cases[] = {
        {3, latin, 8221, "640000", 103},    // header and a character need 4: moved whole
        {4, latin, 8224, "007171", 100},    // header and one character stay; flags byte goes on
        {4, cyrillic, 8220, "640001", 203}, // a 16-bit character needs 5
        {5, cyrillic, 8224, "011604", 199}, // one character stays
        {6, cyrillic, 8223, "011604", 199}, // the odd byte left is not used
        {2, QString(), 8222, "000000", 3},  // an empty string needs its 3 header bytes
        {3, QString(), 8224, "", 0},
    };
    for (const auto &c : cases) {
        // SST fields (8 bytes) + the first string's header (3) + its characters.
        const QString first(kMaxRecordData - 11 - c.room, QLatin1Char('a'));
        const SharedStrings sst = BuildSharedStrings({first, c.second}, 2, 0);
        const auto records = Records(sst.records);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records[0].id, kSst);
        EXPECT_EQ(records[0].data.size(), c.sstLength) << c.room;
        if (*c.continueStart) {
            ASSERT_EQ(records.size(), 2u) << c.room;
            EXPECT_EQ(records[1].id, kContinue);
            EXPECT_EQ(QByteArray(records[1].data.data(), 3).toHex(), c.continueStart) << c.room;
            EXPECT_EQ(records[1].data.size(), c.continueLength) << c.room;
        } else {
            EXPECT_EQ(records.size(), 1u) << c.room;
        }
        std::vector<QByteArrayView> parts;
        for (const Record &r : records)
            parts.push_back(r.data);
        ContinuedData read(parts);
        EXPECT_EQ(read.u32(), 2u);
        EXPECT_EQ(read.u32(), 2u);
        EXPECT_EQ(read.richExtendedString(), first);
        EXPECT_EQ(read.richExtendedString(), c.second) << c.room;
        EXPECT_FALSE(read.failed());
    }
}

TEST(Biff, LongStringRunsThroughSeveralContinueRecords)
{
    QString text;
    for (int i = 0; i < 20000; ++i)
        text += QChar(static_cast<char16_t>(0x0410 + i % 32));
    XlsBook book = BlankXlsBook();
    book.sheets[0].cells[{0, 0}] = text;
    book.sheets[0].cells[{1, 0}] = QStringLiteral("после");
    const QByteArray stream = BuildWorkbookStream(book);
    int continues = 0;
    for (const Record &r : Globals(stream)) {
        EXPECT_LE(r.data.size(), kMaxRecordData);
        if (r.id == kContinue) {
            ++continues;
            EXPECT_EQ(ByteAt(r.data, 0), 1) << "flags byte of the characters going on";
        }
    }
    EXPECT_EQ(continues, 4);
    QString error;
    const auto back = ParseWorkbookStream(stream);
    error = back.error();
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(std::get<QString>(back->sheets[0].cells.at({0, 0})), text);
    EXPECT_EQ(std::get<QString>(back->sheets[0].cells.at({1, 0})), QStringLiteral("после"));
}

TEST(Biff, ExtSstPointsAtTheFirstStringOfEachBucket)
{
    for (const int count : {0, 1, 8, 100, 2000}) {
        QStringList strings;
        for (int i = 0; i < count; ++i)
            strings << QStringLiteral("строка %1 ").arg(i).repeated(1 + i % 40);
        const qsizetype at = 1000; // where the SST would start in the stream
        const SharedStrings sst = BuildSharedStrings(strings, static_cast<quint32>(count), at);
        const QByteArray stream = QByteArray(at, '\0') + sst.records;
        const auto ext = Records(sst.extSst);
        ASSERT_EQ(ext.size(), 1u);
        const quint32 perBucket = std::max(count / 128 + 1, 8);
        EXPECT_EQ(LittleEndian(ext[0].data, 0, 2), perBucket) << count;
        const qsizetype buckets = (count + perBucket - 1) / perBucket;
        ASSERT_EQ(ext[0].data.size(), 2 + 8 * buckets) << count;

        const auto records = Records(stream, 0);
        for (qsizetype b = 0; b < buckets; ++b) {
            const auto ib = static_cast<qsizetype>(LittleEndian(ext[0].data, 2 + 8 * b, 4));
            const auto cb = static_cast<qsizetype>(LittleEndian(ext[0].data, 2 + 8 * b + 4, 2));
            EXPECT_EQ(LittleEndian(stream, ib, 2), static_cast<quint64>(strings[b * perBucket].size()));
            const auto holder = std::find_if(records.begin(), records.end(), [&](const Record &r) {
                return r.offset <= ib && ib < r.offset + 4 + r.data.size();
            });
            ASSERT_NE(holder, records.end());
            EXPECT_EQ(cb, ib - holder->offset) << "offset from the record header";
        }
    }
}

// A stream of the reader's own making: globals with one BOUNDSHEET, then one sheet.
using Recs = std::vector<std::pair<quint16, QByteArray>>;
QByteArray Bof(quint16 type, quint16 version = kBiff8Version)
{
    return RecordData().u16(version).u16(type).u32(0).u32(0).u32(6).data;
}
QByteArray HandStream(const Recs &globals, const Recs &sheet, quint8 sheetType = 0,
                      const QByteArray &globalsBof = Bof(kBofGlobals))
{
    QByteArray s;
    AppendRecord(s, kBof, globalsBof);
    for (const auto &[id, data] : globals)
        AppendRecord(s, id, data);
    const qsizetype offsetAt = s.size() + 4;
    AppendRecord(s, kBoundSheet, RecordData().u32(0).u8(0).u8(sheetType).raw(ShortUnicodeString(u"S")).data);
    AppendRecord(s, kEof, {});
    const auto offset = static_cast<quint32>(s.size());
    for (int b = 0; b < 4; ++b)
        s[offsetAt + b] = static_cast<char>(offset >> (8 * b));
    AppendRecord(s, kBof, Bof(kBofWorksheet));
    for (const auto &[id, data] : sheet)
        AppendRecord(s, id, data);
    AppendRecord(s, kEof, {});
    return s;
}
QByteArray Cell(int row, int column) { return RecordData().u16(row).u16(column).u16(15).data; }

TEST(Biff, ReadsLabelRkAndMulRkCellsOfOtherWriters)
{
    const double big = 123456.75;
    const auto bigRk = static_cast<quint32>(std::bit_cast<quint64>(big) >> 32); // exact in 30 bits
    const Recs sheet = {
        {kLabel, Cell(0, 0) + UnicodeString(u"Метка")},
        {kRk, Cell(1, 0) + RecordData().u32((12345u << 2) | 0x02).data},                     // integer
        {kRk, Cell(1, 1) + RecordData().u32((static_cast<quint32>(-150) << 2) | 0x03).data}, // -1.5
        {kRk, Cell(1, 2) + RecordData().u32(bigRk & 0xFFFFFFFC).data},
        {kMulRk, RecordData().u16(2).u16(3).u16(15).u32((7u << 2) | 2).u16(15).u32((8u << 2) | 2).u16(4).data},
        {kNumber, Cell(3, 0) + RecordData().f64(-0.25).data},
        {0x0201, Cell(3, 1)}, // BLANK: nothing to keep
        {kBof, Bof(0x0020)},  // an embedded chart, skipped whole
        {kNumber, Cell(9, 9) + RecordData().f64(1).data},
        {kEof, {}},
    };
    QString error;
    const auto book = ParseWorkbookStream(HandStream({}, sheet));
    error = book.error();
    ASSERT_TRUE(book) << error.toStdString();
    ASSERT_EQ(book->sheets.size(), 1u);
    const auto &cells = book->sheets[0].cells;
    EXPECT_EQ(std::get<QString>(cells.at({0, 0})), QStringLiteral("Метка"));
    EXPECT_EQ(std::get<double>(cells.at({1, 0})), 12345.0);
    EXPECT_EQ(std::get<double>(cells.at({1, 1})), -1.5);
    EXPECT_EQ(std::get<double>(cells.at({1, 2})), big);
    EXPECT_EQ(std::get<double>(cells.at({2, 3})), 7.0);
    EXPECT_EQ(std::get<double>(cells.at({2, 4})), 8.0);
    EXPECT_EQ(std::get<double>(cells.at({3, 0})), -0.25);
    EXPECT_EQ(cells.size(), 7u);
    EXPECT_TRUE(book->sheets[0].header.isEmpty());
}

TEST(Biff, RefusesWhatItCannotRead)
{
    const QByteArray sstOne = RecordData().u32(1).u32(1).u16(1).u8(0).u8('x').data;
    const QByteArray good = HandStream({{kSst, sstOne}}, {{kLabelSst, Cell(0, 0) + RecordData().u32(0).data}});
    QString error;
    ASSERT_TRUE(Succeeded(ParseWorkbookStream(good), error)) << error.toStdString();

    QByteArray lengthPastEnd = good;
    lengthPastEnd[lengthPastEnd.size() - 2] = 0x10;
    QByteArray offsetPastEnd = good;
    const qsizetype boundSheet = good.indexOf(QByteArray("\x85\x00", 2));
    offsetPastEnd[boundSheet + 7] = 0x70;

    const struct {
        const char *what;
        QByteArray stream;
    } cases[] = {
        {"empty", QByteArray()},
        {"BIFF5", HandStream({}, {}, 0, Bof(kBofGlobals, 0x0500))},
        {"a worksheet BOF first", HandStream({}, {}, 0, Bof(kBofWorksheet))},
        {"encrypted", HandStream({{kFilePass, QByteArray(6, '\0')}}, {})},
        {"a chart sheet", HandStream({}, {}, 2)},
        {"SST shorter than its count", HandStream({{kSst, RecordData().u32(2).u32(2).u16(1).u8(0).u8('x').data}}, {})},
        {"LABELSST beyond the SST", HandStream({{kSst, sstOne}}, {{kLabelSst, Cell(0, 0) + RecordData().u32(1).data}})},
        {"LABELSST too short", HandStream({{kSst, sstOne}}, {{kLabelSst, Cell(0, 0)}})},
        {"NUMBER too short", HandStream({}, {{kNumber, Cell(0, 0) + "1234"}})},
        {"column beyond 256", HandStream({}, {{kNumber, Cell(0, 256) + RecordData().f64(1).data}})},
        {"MULRK of odd length", HandStream({}, {{kMulRk, Cell(0, 0) + "12345"}})},
        {"LABEL shorter than its text", HandStream({}, {{kLabel, Cell(0, 0) + RecordData().u16(9).u8(0).data + "ab"}})},
        {"record length past the end", lengthPastEnd},
        {"sheet offset past the end", offsetPastEnd},
        {"globals without EOF", good.first(boundSheet + 4 + 11)},
        {"sheet without EOF", good.first(good.size() - 4)},
    };
    for (const auto &c : cases) {
        error.clear();
        EXPECT_FALSE(Succeeded(ParseWorkbookStream(c.stream), error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
}

TEST(Biff, SheetsMayNotOverlap)
{
    XlsBook book = BlankXlsBook();
    QByteArray stream = BuildWorkbookStream(book);
    // Point the second BOUNDSHEET at the first sheet's BOF.
    std::vector<qsizetype> fields;
    for (const Record &r : Globals(stream))
        if (r.id == kBoundSheet)
            fields.push_back(r.offset + 4);
    ASSERT_EQ(fields.size(), 3u);
    for (int b = 0; b < 4; ++b)
        stream[fields[1] + b] = stream[fields[0] + b];
    QString error;
    EXPECT_FALSE(Succeeded(ParseWorkbookStream(stream), error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace ordan
