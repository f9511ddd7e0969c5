// The written files as an independent reader sees them: Debian's python3-xlrd, with its own
// compound-file reader, and a walk over the raw records for the page header and footer.
#include "support/result_checks.h"
#include "support/test_support.h"
#include "xls/xls_workbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kXlrdText = 1;
constexpr int kXlrdNumber = 2;

// What read_xls.py reports. A failed run stops the test with the reader's message; callers
// wrap the call in ASSERT_NO_FATAL_FAILURE so that nothing reads the missing report.
void ReadWithXlrd(const QString &file, QJsonObject &result)
{
    QProcess python;
    test::StartPythonReader(python, {QString::fromUtf8(ORDAN_XLS_READER_SCRIPT), file});
    const bool finished = python.waitForFinished(120000);
    const QByteArray out = python.readAllStandardOutput();
    const QString processError = python.error() == QProcess::UnknownError ? QString() : python.errorString() + u"\n"_s;
    ASSERT_TRUE(finished && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        << processError.toStdString() << python.readAllStandardError().toStdString();
    result = QJsonDocument::fromJson(out).object();
    ASSERT_FALSE(result.isEmpty()) << "no report from xlrd";
    EXPECT_EQ(result.value(u"warnings"_s).toString(), QString()) << "xlrd complained";
}

// Sheet `index` of a report; an empty object when xlrd did not list it.
QJsonObject Sheet(const QJsonObject &report, qsizetype index)
{
    return report.value(u"sheets"_s).toArray().at(index).toObject();
}

QStringList Strings(const QJsonValue &array)
{
    QStringList out;
    for (const QJsonValue &v : array.toArray())
        out << v.toString();
    return out;
}

// Cells of a sheet as xlrd reports them: [row, column, type, value], counted from 0.
std::map<XlsCellRef, std::pair<int, QJsonValue>> Cells(const QJsonObject &sheet)
{
    std::map<XlsCellRef, std::pair<int, QJsonValue>> out;
    for (const QJsonValue &v : sheet.value(u"cells"_s).toArray()) {
        const QJsonArray c = v.toArray();
        out[{c[0].toInt(), c[1].toInt()}] = {c[2].toInt(), c[3]};
    }
    return out;
}

class XlrdRead : public ::testing::Test {
protected:
    QString save(const XlsBook &book, const QString &name)
    {
        const QString file = dir_.filePath(name);
        QString error;
        EXPECT_TRUE(Succeeded(WriteFileAtomically(file, BuildXlsFile(book)), error)) << error.toStdString();
        return file;
    }
    QTemporaryDir dir_;
};

TEST_F(XlrdRead, BlankWorkbookHasThreeSheetsArialAndTheHeaderAndFooter)
{
    const QString file = dir_.filePath(u"1new.xls"_s);
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(file), error)) << error.toStdString();
    QJsonObject r;
    ASSERT_NO_FATAL_FAILURE(ReadWithXlrd(file, r));
    EXPECT_EQ(r.value(u"biff_version"_s).toInt(), 80);
    EXPECT_EQ(r.value(u"codepage"_s).toInt(), 1200);
    EXPECT_EQ(Strings(r.value(u"sheet_names"_s)), (QStringList{u"Лист1"_s, u"Лист2"_s, u"Лист3"_s}));
    const QJsonArray fonts = r.value(u"fonts"_s).toArray();
    ASSERT_FALSE(fonts.isEmpty());
    EXPECT_EQ(fonts[0].toObject().value(u"name"_s).toString(), u"Arial"_s);
    EXPECT_EQ(fonts[0].toObject().value(u"height"_s).toInt(), 200);
    EXPECT_EQ(r.value(u"xf_count"_s).toInt(), 16);
    const QJsonArray sheets = r.value(u"sheets"_s).toArray();
    ASSERT_EQ(sheets.size(), 3);
    for (const QJsonValue &s : sheets) {
        EXPECT_EQ(s.toObject().value(u"nrows"_s).toInt(), 0);
        EXPECT_EQ(s.toObject().value(u"header"_s).toString(), u"&C&\"Times New Roman,Regular\"&12&A"_s);
        EXPECT_EQ(s.toObject().value(u"footer"_s).toString(), u"&C&\"Times New Roman,Regular\"&12Страница &P"_s);
    }
}

// What the annual journal's export writes: the title, empty texts beside it, the column
// titles, month texts and numbers.
TEST_F(XlrdRead, ExportedJournalReadsAsTextsAndNumbers)
{
    const QString blank = dir_.filePath(u"1new.xls"_s);
    const QString file = dir_.filePath(u"journal.xls"_s);
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(blank), error));
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(blank), error));
    ASSERT_TRUE(book.setCell(1, 1, u"Годовой журнал Счетчик № 1234, "_s));
    for (int c = 2; c <= 5; ++c)
        ASSERT_TRUE(book.setCell(1, c, QString()));
    const QStringList titles = {u"месяц"_s, u"1 тариф"_s, u"2 тариф"_s, u"3 тариф"_s, u"сумма"_s};
    for (int c = 0; c < 5; ++c)
        ASSERT_TRUE(book.setCell(2, c + 1, titles[c]));
    ASSERT_TRUE(book.setCell(3, 1, u"янв"_s));
    ASSERT_TRUE(book.setCell(3, 2, 1.0));
    ASSERT_TRUE(book.setCell(3, 3, 12345.67891));
    ASSERT_TRUE(book.setCell(3, 4, QString()));
    ASSERT_TRUE(Succeeded(book.save(file), error)) << error.toStdString();
    book.close();

    QJsonObject r;
    ASSERT_NO_FATAL_FAILURE(ReadWithXlrd(file, r));
    const QJsonObject sheet = Sheet(r, 0);
    EXPECT_EQ(sheet.value(u"nrows"_s).toInt(), 3);
    EXPECT_EQ(sheet.value(u"ncols"_s).toInt(), 5);
    const auto cells = Cells(sheet);
    EXPECT_EQ(cells.at({0, 0}), std::make_pair(kXlrdText, QJsonValue(u"Годовой журнал Счетчик № 1234, "_s)));
    for (int c = 1; c < 5; ++c)
        EXPECT_EQ(cells.at({0, c}), std::make_pair(kXlrdText, QJsonValue(QString()))) << c;
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(cells.at({1, c}), std::make_pair(kXlrdText, QJsonValue(titles[c]))) << c;
    EXPECT_EQ(cells.at({2, 0}), std::make_pair(kXlrdText, QJsonValue(u"янв"_s)));
    EXPECT_EQ(cells.at({2, 1}), std::make_pair(kXlrdNumber, QJsonValue(1.0)));
    EXPECT_EQ(cells.at({2, 2}), std::make_pair(kXlrdNumber, QJsonValue(12345.67891)));
    EXPECT_EQ(cells.at({2, 3}), std::make_pair(kXlrdText, QJsonValue(QString())));
    EXPECT_EQ(Strings(r.value(u"sheet_names"_s)), (QStringList{u"Лист1"_s, u"Лист2"_s, u"Лист3"_s}));
}

// The consumption journal at its largest: 250 pages and the caption row, 8 columns.
TEST_F(XlrdRead, ConsumptionJournalOf251RowsAnd8Columns)
{
    XlsBook book = BlankXlsBook();
    auto &cells = book.sheets[0].cells;
    for (int r = 0; r < 251; ++r)
        for (int c = 0; c < 8; ++c)
            cells[{r, c}] = c == 2 || c == 7 ? XlsValue(u"%1.12.26 %2:00"_s.arg(r % 28 + 1).arg(c))
                                             : XlsValue(r * 100.0 + c + 0.00025);
    QJsonObject r;
    ASSERT_NO_FATAL_FAILURE(ReadWithXlrd(save(book, u"big.xls"_s), r));
    const QJsonObject sheet = Sheet(r, 0);
    EXPECT_EQ(sheet.value(u"nrows"_s).toInt(), 251);
    EXPECT_EQ(sheet.value(u"ncols"_s).toInt(), 8);
    const auto read = Cells(sheet);
    ASSERT_EQ(read.size(), 251u * 8u);
    for (const auto &[ref, value] : cells) {
        const auto &[type, v] = read.at(ref);
        if (const QString *text = std::get_if<QString>(&value)) {
            EXPECT_EQ(type, kXlrdText);
            EXPECT_EQ(v.toString(), *text);
        } else {
            EXPECT_EQ(type, kXlrdNumber);
            EXPECT_EQ(v.toDouble(), std::get<double>(value));
        }
    }
}

TEST_F(XlrdRead, SharedStringsSpreadOverContinueRecords)
{
    XlsBook book = BlankXlsBook();
    auto &cells = book.sheets[0].cells;
    // Mixed 8-bit and 16-bit strings of many lengths, so CONTINUE boundaries fall before,
    // inside and right after strings of both kinds.
    for (int i = 0; i < 3000; ++i) {
        const QString piece = i % 2 ? u"Счетчик № %1 "_s.arg(i) : u"meter %1 "_s.arg(i);
        cells[{i / 4, i % 4}] = piece.repeated(1 + i % 23);
    }
    QString huge;
    for (int i = 0; i < 30000; ++i)
        huge += QChar(static_cast<char16_t>(i % 3 ? 0x0430 + i % 32 : u'a' + i % 26));
    cells[{800, 0}] = huge;
    cells[{800, 1}] = QString(20000, QLatin1Char('z'));
    cells[{800, 2}] = QString();
    book.sheets[2].cells[{0, 0}] = u"meter 2 meter 2 meter 2 "_s; // shared with the first sheet

    QJsonObject r;
    ASSERT_NO_FATAL_FAILURE(ReadWithXlrd(save(book, u"strings.xls"_s), r));
    EXPECT_GE(r.value(u"globals_continue_records"_s).toInt(), 50);
    const auto read = Cells(Sheet(r, 0));
    ASSERT_EQ(read.size(), cells.size());
    for (const auto &[ref, value] : cells) {
        EXPECT_EQ(read.at(ref).first, kXlrdText) << ref.row << "," << ref.column;
        EXPECT_EQ(read.at(ref).second.toString(), std::get<QString>(value)) << ref.row << "," << ref.column;
    }
    const auto third = Cells(Sheet(r, 2));
    ASSERT_TRUE(third.contains({0, 0}));
    EXPECT_EQ(third.at({0, 0}).second.toString(), u"meter 2 meter 2 meter 2 "_s);
}

// Over 109 FAT sectors the FAT is listed through DIFAT sectors.
TEST_F(XlrdRead, WorkbookOfSeveralMegabytesNeedingDifat)
{
    XlsBook book = BlankXlsBook();
    for (int r = 0; r < 65536; ++r)
        for (int c = 0; c < 7; ++c)
            book.sheets[1].cells[{r, c}] = r * 7.0 + c;
    const QString file = save(book, u"huge.xls"_s);
    const QByteArray bytes = BuildXlsFile(book);
    ASSERT_GT(bytes.size(), 7'500'000);
    ASSERT_GT(bytes[72], 0) << "DIFAT sectors in use";

    QJsonObject r;
    ASSERT_NO_FATAL_FAILURE(ReadWithXlrd(file, r));
    const QJsonObject sheet = Sheet(r, 1);
    EXPECT_EQ(sheet.value(u"nrows"_s).toInt(), 65536);
    const QJsonArray cells = sheet.value(u"cells"_s).toArray();
    ASSERT_EQ(cells.size(), 65536 * 7);
    for (const qsizetype i : {qsizetype(0), qsizetype(12345), qsizetype(65536 * 7 - 1)}) {
        const QJsonArray c = cells[i].toArray();
        EXPECT_EQ(c[3].toDouble(), c[0].toInt() * 7.0 + c[1].toInt());
    }
    QString error;
    const auto back = ParseXlsFile(bytes);
    error = back.error();
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->sheets[1].cells, book.sheets[1].cells);
}

} // namespace
} // namespace ordan
