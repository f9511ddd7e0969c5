#include "xls/xls_book.h"

#include "core/bytes.h"
#include "xls/biff.h"
#include "xls/compound_file.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace ordan {

using namespace biff;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kWorkbookStreamName = QStringLiteral("Workbook");

constexpr quint16 kCellXf = 15; // the default cell format, the first XF after the 15 style XFs
constexpr quint16 kDateXf = 16; // a cell format with the built-in short date; only in books with dates
constexpr quint16 kShortDateFormat = 14;
constexpr quint16 kCodePageUtf16 = 1200;
constexpr quint8 kCyrillicCharset = 204;

// BIFF8 BOF: version, substream type, the build and year Excel 97 writes, file history
// flags, and the lowest Excel version (8 = 97) that may read the file.
QByteArray Bof(quint16 type)
{
    return RecordData().u16(kBiff8Version).u16(type).u16(0x0DBB).u16(0x07CC).u32(0x00000041).u32(0x00000006).data;
}

// FONT: height in twentieths of a point, no attributes, automatic colour, normal weight.
QByteArray Font(const QString &name, int points)
{
    return RecordData()
        .u16(static_cast<quint32>(points * 20))
        .u16(0)      // not italic, not struck out
        .u16(0x7FFF) // automatic colour
        .u16(400)    // normal weight
        .u16(0)      // no super- or subscript
        .u8(0)       // no underline
        .u8(0)       // font family not given
        .u8(kCyrillicCharset)
        .u8(0)
        .raw(ShortUnicodeString(name))
        .data;
}

// XF, 20 bytes. Style XFs have no parent (0xFFF); the cell XF's parent is the Normal style.
// `ignoredAttributes` is the style XF's set of attribute groups that cells do not take from it;
// for a cell XF the groups it sets itself (0x04: its number format).
QByteArray Xf(quint16 font, bool style, quint8 ignoredAttributes, quint16 format = 0)
{
    const quint32 protection = style ? (0xFFF0 | 0x0004 | 0x0001) : 0x0001; // locked; style bit
    return RecordData()
        .u16(font)
        .u16(format) // number format: General unless given
        .u16(protection)
        .u8(0x20) // bottom aligned, no wrap
        .u8(0)    // no rotation
        .u8(0)    // no indent, no shrink
        .u8(ignoredAttributes)
        .u32(0) // no borders
        .u32(0)
        .u16(0x20C0) // pattern colours: system foreground 64, background 65
        .data;
}

QByteArray Window1()
{
    return RecordData()
        .u16(0)
        .u16(0)      // window position
        .u16(0x3A5C) // and size, in twips
        .u16(0x23BE)
        .u16(0x0038) // show the scroll bars and the sheet tabs
        .u16(0)      // the first sheet is active
        .u16(0)      // and the first tab shown
        .u16(1)      // one sheet selected
        .u16(600)    // tab bar width ratio, per mille
        .data;
}

QByteArray Window2(bool active)
{
    // Grid lines, row and column headings, zeros, default heading colour, outline symbols;
    // the active sheet is also selected and shown.
    quint32 flags = 0x0002 | 0x0004 | 0x0010 | 0x0020 | 0x0080;
    if (active)
        flags |= 0x0200 | 0x0400;
    return RecordData().u16(flags).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0).data;
}

QByteArray HeaderFooterText(const QString &text)
{
    return text.isEmpty() ? QByteArray()
                          : UnicodeString(QStringView(text).first(std::min<qsizetype>(text.size(), 255)));
}

QByteArray Dimensions(const XlsSheet &sheet)
{
    if (sheet.cells.empty())
        return RecordData().u32(0).u32(0).u16(0).u16(0).u16(0).data;
    int firstColumn = kXlsMaxColumns;
    int lastColumn = 0;
    for (const auto &[ref, value] : sheet.cells) {
        firstColumn = std::min(firstColumn, ref.column);
        lastColumn = std::max(lastColumn, ref.column);
    }
    // Rows and columns of the used range, the ends one past the last.
    return RecordData()
        .u32(static_cast<quint32>(sheet.cells.begin()->first.row))
        .u32(static_cast<quint32>(sheet.cells.rbegin()->first.row + 1))
        .u16(static_cast<quint32>(firstColumn))
        .u16(static_cast<quint32>(lastColumn + 1))
        .u16(0)
        .data;
}

QByteArray Setup()
{
    return RecordData()
        .u16(9)               // A4
        .u16(100)             // scale, per cent
        .u16(1)               // first page number
        .u16(1)               // fit to one page wide
        .u16(1)               // and one page high
        .u16(0x0004 | 0x0002) // portrait; paper, scale and resolution left to the printer
        .u16(300)
        .u16(300)
        .f64(0.5) // header and footer margins, inches
        .f64(0.5)
        .u16(1) // copies
        .data;
}

// ROW: the columns in use, the default height and format.
QByteArray Row(int row, int firstColumn, int lastColumn)
{
    return RecordData()
        .u16(static_cast<quint32>(row))
        .u16(static_cast<quint32>(firstColumn))
        .u16(static_cast<quint32>(lastColumn + 1))
        .u16(0x00FF)
        .u16(0)
        .u16(0)
        .u16(0x0100)
        .u16(kCellXf)
        .data;
}

void PatchU32(QByteArray &s, qsizetype at, qsizetype value)
{
    for (int b = 0; b < 4; ++b)
        s[at + b] = static_cast<char>((static_cast<quint32>(value) >> (8 * b)) & 0xFF);
}

// The sheet's rows in blocks of 32; every block lists its rows and then their cells.
struct RowBlocks {
    std::map<int, std::vector<int>> rows;       // block number -> rows in it
    std::map<int, std::pair<int, int>> columns; // row -> first and last column
};

RowBlocks BlocksOf(const XlsSheet &sheet)
{
    constexpr int kRowsPerBlock = 32;
    RowBlocks out;
    for (const auto &[ref, value] : sheet.cells) {
        auto [it, fresh] = out.columns.try_emplace(ref.row, ref.column, ref.column);
        if (fresh)
            out.rows[ref.row / kRowsPerBlock].push_back(ref.row);
        it->second.second = std::max(it->second.second, ref.column);
    }
    return out;
}

// The sheet's calculation, print and page settings, between INDEX and DEFCOLWIDTH.
void AppendSheetSettings(QByteArray &s, const XlsSheet &sheet)
{
    AppendRecord(s, kCalcMode, RecordData().u16(1).data); // automatic
    AppendRecord(s, kCalcCount, RecordData().u16(100).data);
    AppendRecord(s, kRefMode, RecordData().u16(1).data); // A1
    AppendRecord(s, kIteration, RecordData().u16(0).data);
    AppendRecord(s, kDelta, RecordData().f64(0.001).data);
    AppendRecord(s, kSaveRecalc, RecordData().u16(1).data);
    AppendRecord(s, kPrintHeaders, RecordData().u16(0).data);
    AppendRecord(s, kPrintGridlines, RecordData().u16(0).data);
    AppendRecord(s, kGridSet, RecordData().u16(1).data);
    AppendRecord(s, kGuts, RecordData().u16(0).u16(0).u16(0).u16(0).data);
    AppendRecord(s, kDefaultRowHeight, RecordData().u16(0).u16(0x00FF).data);
    AppendRecord(s, kWsBool, RecordData().u16(0x04C1).data);

    AppendRecord(s, kHeader, HeaderFooterText(sheet.header));
    AppendRecord(s, kFooter, HeaderFooterText(sheet.footer));
    AppendRecord(s, kHCenter, RecordData().u16(0).data);
    AppendRecord(s, kVCenter, RecordData().u16(0).data);
    AppendRecord(s, kSetup, Setup());
}

void AppendCell(QByteArray &s, const XlsCellRef &ref, const XlsValue &value, const QHash<QString, quint32> &strings)
{
    RecordData cell;
    cell.u16(static_cast<quint32>(ref.row)).u16(static_cast<quint32>(ref.column)).u16(kCellXf);
    if (const QString *text = std::get_if<QString>(&value)) {
        AppendRecord(s, kLabelSst, cell.u32(strings.value(*text)).data);
    } else if (const XlsDate *date = std::get_if<XlsDate>(&value)) {
        RecordData dated;
        dated.u16(static_cast<quint32>(ref.row)).u16(static_cast<quint32>(ref.column)).u16(kDateXf);
        AppendRecord(s, kNumber, dated.f64(XlsDateSerial(date->date).value_or(0)).data);
    } else {
        AppendRecord(s, kNumber, cell.f64(std::get<double>(value)).data);
    }
}

// One row block: its ROW records, its cells and the DBCELL after them, whose position goes
// into the INDEX slot at `dbCellSlot`.
void AppendRowBlock(QByteArray &s, const XlsSheet &sheet, const std::vector<int> &rows, RowBlocks &blocks,
                    const QHash<QString, quint32> &strings, qsizetype dbCellSlot)
{
    const qsizetype firstRowAt = s.size();
    for (int row : rows)
        AppendRecord(s, kRow, Row(row, blocks.columns[row].first, blocks.columns[row].second));
    // DBCELL: back to the first ROW, then from the end of that ROW record to each row's
    // first cell, each one counted from the one before.
    RecordData dbCell;
    qsizetype previous = firstRowAt + 4 + 16;
    const auto begin = sheet.cells.lower_bound({rows.front(), 0});
    const auto end = sheet.cells.lower_bound({rows.back() + 1, 0});
    int lastRow = -1;
    for (auto it = begin; it != end; ++it) {
        const auto &[ref, value] = *it;
        if (ref.row != lastRow) {
            dbCell.u16(static_cast<quint32>(s.size() - previous));
            previous = s.size();
            lastRow = ref.row;
        }
        AppendCell(s, ref, value, strings);
    }
    PatchU32(s, dbCellSlot, s.size());
    RecordData head;
    head.u32(static_cast<quint32>(s.size() - firstRowAt));
    AppendRecord(s, kDbCell, head.raw(dbCell.data).data);
}

// A worksheet substream in the order Excel writes it. Readers rely on that order: LibreOffice
// takes the record after BOF for the INDEX and loses whatever stands there instead.
void AppendWorksheet(QByteArray &s, const XlsSheet &sheet, const QHash<QString, quint32> &strings, bool active)
{
    RowBlocks blocks = BlocksOf(sheet);

    AppendRecord(s, kBof, Bof(kBofWorksheet));
    const qsizetype indexAt = s.size() + 4;
    RecordData index;
    index.u32(0);
    index.u32(sheet.cells.empty() ? 0 : static_cast<quint32>(sheet.cells.begin()->first.row));
    index.u32(sheet.cells.empty() ? 0 : static_cast<quint32>(sheet.cells.rbegin()->first.row + 1));
    index.u32(0); // DEFCOLWIDTH's position, patched below
    for (size_t b = 0; b < blocks.rows.size(); ++b)
        index.u32(0); // each DBCELL's position, patched below
    AppendRecord(s, kIndex, index.data);

    AppendSheetSettings(s, sheet);

    PatchU32(s, indexAt + 12, s.size());
    AppendRecord(s, kDefColWidth, RecordData().u16(8).data);
    AppendRecord(s, kDimensions, Dimensions(sheet));

    qsizetype dbCellSlot = indexAt + 16;
    for (const auto &[block, rows] : blocks.rows) {
        AppendRowBlock(s, sheet, rows, blocks, strings, dbCellSlot);
        dbCellSlot += 4;
    }

    AppendRecord(s, kWindow2, Window2(active));
    AppendRecord(s, kEof, {});
}

bool HasDates(const XlsBook &book)
{
    for (const XlsSheet &sheet : book.sheets)
        for (const auto &[ref, value] : sheet.cells)
            if (std::holds_alternative<XlsDate>(value))
                return true;
    return false;
}

} // namespace

std::optional<double> XlsDateSerial(const QDate &date)
{
    static const QDate epoch(1899, 12, 30);
    if (!date.isValid() || date < QDate(1900, 3, 1) || date > QDate(9999, 12, 31))
        return std::nullopt;
    return static_cast<double>(epoch.daysTo(date));
}

QString XlsDefaultHeader() { return u"&C&\"Times New Roman,Regular\"&12&A"_s; }
QString XlsDefaultFooter() { return u"&C&\"Times New Roman,Regular\"&12Страница &P"_s; }

XlsBook BlankXlsBook()
{
    XlsBook book;
    for (const QString &name : {u"Лист1"_s, u"Лист2"_s, u"Лист3"_s})
        book.sheets.push_back({name, XlsDefaultHeader(), XlsDefaultFooter(), {}});
    return book;
}

QByteArray BuildWorkbookStream(const XlsBook &book)
{
    // Shared strings in the order the cells meet them.
    QStringList strings;
    QHash<QString, quint32> index;
    quint32 references = 0;
    for (const XlsSheet &sheet : book.sheets) {
        for (const auto &[ref, value] : sheet.cells) {
            if (const QString *text = std::get_if<QString>(&value)) {
                ++references;
                if (!index.contains(*text)) {
                    index.insert(*text, static_cast<quint32>(strings.size()));
                    strings.append(*text);
                }
            }
        }
    }

    QByteArray s;
    AppendRecord(s, kBof, Bof(kBofGlobals));
    AppendRecord(s, kCodePage, RecordData().u16(kCodePageUtf16).data);
    AppendRecord(s, kWindow1, Window1());
    AppendRecord(s, kDateMode, RecordData().u16(0).data); // dates count from 1900
    // Fonts 0..3 are the default font; there is no font 4 in BIFF.
    for (int i = 0; i < 4; ++i)
        AppendRecord(s, kFont, Font(QStringLiteral("Arial"), 10));
    // XF 0 is the Normal style, 1..14 the outline level styles, 15 the default cell format.
    AppendRecord(s, kXf, Xf(0, true, 0x00));
    for (quint16 i = 1; i < 15; ++i)
        AppendRecord(s, kXf, Xf(i <= 2 ? 1 : i <= 4 ? 2 : 0, true, 0xF4));
    AppendRecord(s, kXf, Xf(0, false, 0x00));
    if (HasDates(book))
        AppendRecord(s, kXf, Xf(0, false, 0x04, kShortDateFormat));
    AppendRecord(s, kStyle, RecordData().u16(0x8000).u8(0).u8(0xFF).data); // built-in Normal on XF 0

    std::vector<qsizetype> sheetOffsetFields;
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        sheetOffsetFields.push_back(s.size() + 4);
        // Offset of the sheet's BOF (patched below), visible, a worksheet, its name.
        AppendRecord(s, kBoundSheet, RecordData().u32(0).u8(0).u8(0).raw(ShortUnicodeString(book.sheets[i].name)).data);
    }

    const SharedStrings sst = BuildSharedStrings(strings, references, s.size());
    s += sst.records;
    s += sst.extSst;
    AppendRecord(s, kEof, {});

    for (size_t i = 0; i < book.sheets.size(); ++i) {
        const XlsSheet &sheet = book.sheets[i];
        const auto offset = static_cast<quint32>(s.size());
        for (int b = 0; b < 4; ++b)
            s[sheetOffsetFields[i] + b] = static_cast<char>((offset >> (8 * b)) & 0xFF);

        AppendWorksheet(s, sheet, index, i == 0);
    }
    return s;
}

QByteArray BuildXlsFile(const XlsBook &book)
{
    return cfb::BuildCompoundFile(kWorkbookStreamName, BuildWorkbookStream(book));
}

namespace {

// An RK number: a 30-bit integer or the high 30 bits of a double, possibly times 100.
double RkValue(quint32 rk)
{
    double v = (rk & 0x02) ? static_cast<double>(static_cast<qint32>(rk) >> 2)
                           : std::bit_cast<double>(static_cast<quint64>(rk & 0xFFFFFFFC) << 32);
    return (rk & 0x01) ? v / 100 : v;
}

double NumberAt(QByteArrayView data, qsizetype offset)
{
    return std::bit_cast<double>(static_cast<quint64>(LittleEndian(data, offset, 8)));
}

class StreamParser {
public:
    explicit StreamParser(QByteArrayView stream) : stream_(stream) {}

    std::optional<XlsBook> parse()
    {
        if (!parseGlobals())
            return std::nullopt;
        if (boundSheets_.empty()) {
            fail(QStringLiteral("the workbook has no sheets"));
            return std::nullopt;
        }
        // Sheets are read in stream order and may not overlap the globals or each other, so
        // reading stays linear in the stream however many BOUNDSHEETs claim the same bytes.
        std::vector<size_t> order(boundSheets_.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return boundSheets_[a].offset < boundSheets_[b].offset; });
        XlsBook book;
        book.sheets.resize(boundSheets_.size());
        qsizetype end = globalsEnd_;
        for (size_t i : order) {
            if (boundSheets_[i].offset < end) {
                damaged(QStringLiteral("sheets overlap"));
                return std::nullopt;
            }
            book.sheets[i].name = boundSheets_[i].name;
            if (!parseSheet(boundSheets_[i].offset, book.sheets[i], &end))
                return std::nullopt;
        }
        return book;
    }

    QString error;

private:
    struct BoundSheet {
        quint32 offset;
        QString name;
    };

    bool fail(const QString &why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }
    bool damaged(const QString &what) { return fail(QStringLiteral("damaged workbook: ") + what); }

    static bool IsBiff8Bof(const Record &r, quint16 type)
    {
        return r.id == kBof && r.data.size() >= 4 && LittleEndian(r.data, 0, 2) == kBiff8Version &&
               LittleEndian(r.data, 2, 2) == type;
    }

    bool parseGlobals()
    {
        RecordReader reader(stream_, 0);
        const auto bof = reader.next();
        if (!bof || bof->id != kBof)
            return fail(QStringLiteral("not an Excel workbook stream"));
        if (!IsBiff8Bof(*bof, kBofGlobals))
            return fail(QStringLiteral("not an Excel 97 (BIFF8) workbook"));
        while (const auto r = reader.next()) {
            switch (r->id) {
            case kEof: globalsEnd_ = reader.position(); return true;
            case kFilePass: return fail(QStringLiteral("the workbook is encrypted"));
            case kBoundSheet:
                if (!parseBoundSheet(r->data))
                    return false;
                break;
            case kXf: xfFormats_.push_back(static_cast<quint16>(LittleEndian(r->data, 2, 2))); break;
            case kSst: {
                std::vector<QByteArrayView> parts{r->data};
                while (const auto c = reader.nextIf(kContinue))
                    parts.push_back(c->data);
                if (!parseSst(std::move(parts)))
                    return false;
                break;
            }
            default: break;
            }
        }
        return damaged(QStringLiteral("the workbook globals end without EOF"));
    }

    bool parseBoundSheet(QByteArrayView data)
    {
        ContinuedData d({data});
        BoundSheet b;
        b.offset = d.u32();
        d.u8(); // visibility: hidden sheets are read as any other
        const quint32 type = d.u8();
        const quint32 count = d.u8();
        b.name = d.characters(count, (d.u8() & 0x01) != 0);
        if (d.failed())
            return damaged(QStringLiteral("BOUNDSHEET"));
        if (type != 0)
            return fail(QStringLiteral("the workbook holds a chart, macro or module sheet, which is not supported"));
        boundSheets_.push_back(b);
        return true;
    }

    bool parseSst(std::vector<QByteArrayView> parts)
    {
        ContinuedData d(std::move(parts));
        d.u32(); // references in the cells: not needed to read them
        const quint32 unique = d.u32();
        // Each string takes at least three bytes, so a damaged count cannot run away.
        for (quint32 i = 0; i < unique && !d.failed(); ++i)
            strings_.append(d.richExtendedString());
        if (d.failed())
            return damaged(QStringLiteral("SST"));
        return true;
    }

    bool parseSheet(quint32 offset, XlsSheet &sheet, qsizetype *end)
    {
        RecordReader reader(stream_, offset);
        const auto bof = reader.next();
        if (!bof || !IsBiff8Bof(*bof, kBofWorksheet))
            return damaged(QStringLiteral("a sheet does not start with a worksheet BOF"));
        int depth = 1; // embedded charts are substreams of their own, skipped whole
        while (const auto r = reader.next()) {
            if (r->id == kBof) {
                ++depth;
                continue;
            }
            if (r->id == kEof) {
                if (--depth == 0) {
                    *end = reader.position();
                    return true;
                }
                continue;
            }
            if (depth == 1 && !parseSheetRecord(*r, sheet))
                return false;
        }
        return damaged(QStringLiteral("a sheet ends without EOF"));
    }

    // A whole number in a cell formatted as a built-in date is read as that date.
    XlsValue NumberValue(QByteArrayView record, double number) const
    {
        const auto xf = static_cast<size_t>(LittleEndian(record, 4, 2));
        if (xf >= xfFormats_.size() || xfFormats_[xf] < 14 || xfFormats_[xf] > 17)
            return number;
        if (number != std::floor(number) || number < 61 || number > 2958465)
            return number;
        return XlsDate{QDate(1899, 12, 30).addDays(static_cast<qint64>(number))};
    }

    bool setCell(XlsSheet &sheet, quint32 row, quint32 column, XlsValue value)
    {
        if (row >= kXlsMaxRows || column >= kXlsMaxColumns)
            return damaged(QStringLiteral("a cell outside the sheet"));
        sheet.cells[{static_cast<int>(row), static_cast<int>(column)}] = std::move(value);
        return true;
    }

    bool parseSheetRecord(const Record &r, XlsSheet &sheet)
    {
        const QByteArrayView d = r.data;
        const auto row = static_cast<quint32>(LittleEndian(d, 0, 2));
        const auto column = static_cast<quint32>(LittleEndian(d, 2, 2));
        switch (r.id) {
        case kLabelSst: {
            if (d.size() < 10)
                return damaged(QStringLiteral("LABELSST"));
            const auto i = LittleEndian(d, 6, 4);
            if (i >= static_cast<quint64>(strings_.size()))
                return damaged(QStringLiteral("a LABELSST names a string the SST does not have"));
            return setCell(sheet, row, column, strings_[static_cast<qsizetype>(i)]);
        }
        case kNumber:
            if (d.size() < 14)
                return damaged(QStringLiteral("NUMBER"));
            return setCell(sheet, row, column, NumberValue(d, NumberAt(d, 6)));
        case kRk:
            if (d.size() < 10)
                return damaged(QStringLiteral("RK"));
            return setCell(sheet, row, column, NumberValue(d, RkValue(static_cast<quint32>(LittleEndian(d, 6, 4)))));
        case kMulRk: {
            // Row, first column, (XF, RK) pairs, last column.
            if (d.size() < 6 || (d.size() - 6) % 6 != 0)
                return damaged(QStringLiteral("MULRK"));
            const qsizetype count = (d.size() - 6) / 6;
            for (qsizetype k = 0; k < count; ++k) {
                const auto rk = static_cast<quint32>(LittleEndian(d, 4 + 6 * k + 2, 4));
                if (!setCell(sheet, row, column + static_cast<quint32>(k), RkValue(rk)))
                    return false;
            }
            return true;
        }
        case kLabel: {
            ContinuedData text({d.sliced(std::min<qsizetype>(6, d.size()))});
            const quint32 count = text.u16();
            QString value = text.characters(count, (text.u8() & 0x01) != 0);
            if (d.size() < 6 || text.failed())
                return damaged(QStringLiteral("LABEL"));
            return setCell(sheet, row, column, std::move(value));
        }
        case kHeader:
        case kFooter: {
            QString text;
            if (!d.isEmpty()) {
                ContinuedData t({d});
                const quint32 count = t.u16();
                text = t.characters(count, (t.u8() & 0x01) != 0);
                if (t.failed())
                    return damaged(QStringLiteral("HEADER or FOOTER"));
            }
            (r.id == kHeader ? sheet.header : sheet.footer) = text;
            return true;
        }
        default: return true;
        }
    }

    QByteArrayView stream_;
    qsizetype globalsEnd_ = 0;
    std::vector<BoundSheet> boundSheets_;
    std::vector<quint16> xfFormats_; // number format of each XF, in order
    QStringList strings_;
};

} // namespace

Result<XlsBook> ParseWorkbookStream(QByteArrayView stream)
{
    StreamParser parser(stream);
    auto book = parser.parse();
    if (!book)
        return Fail(parser.error);
    return std::move(*book);
}

Result<XlsBook> ParseXlsFile(QByteArrayView file)
{
    const auto stream = cfb::ReadCompoundFileStream(file, kWorkbookStreamName);
    if (!stream)
        return stream.failure();
    return ParseWorkbookStream(*stream);
}

} // namespace ordan
