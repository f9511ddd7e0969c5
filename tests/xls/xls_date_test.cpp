// Dates in the workbook: their day numbers, the one cell format they add only when a book has
// them, and reading them back.
#include "support/result_checks.h"
#include "xls/biff.h"
#include "xls/xls_book.h"
#include "xls/xls_workbook.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

int XfCount(const QByteArray &stream)
{
    int count = 0;
    biff::RecordReader reader(stream, 0);
    while (const auto r = reader.next()) {
        if (r->id == biff::kXf)
            ++count;
        if (r->id == biff::kEof)
            break;
    }
    return count;
}

TEST(XlsDates, DayNumbersCountFromTheEndOf1899FromMarch1900On)
{
    struct Case {
        QDate date;
        std::optional<double> serial;
    };
    const Case cases[] = {
        {QDate(1900, 3, 1), 61},
        {QDate(2026, 12, 8), 46364},
        {QDate(9999, 12, 31), 2958465},
        {QDate(1900, 2, 28), std::nullopt},
        {QDate(10000, 1, 1), std::nullopt},
        {QDate(), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(XlsDateSerial(c.date), c.serial) << c.date.toString(Qt::ISODate).toStdString();
}

TEST(XlsDates, DateFormatIsAddedOnlyToBooksWithDatesAndReadsBack)
{
    XlsBook book = BlankXlsBook();
    EXPECT_EQ(XfCount(BuildWorkbookStream(book)), 16);
    book.sheets[0].cells[{2, 1}] = XlsDate{QDate(2026, 12, 8)};
    book.sheets[0].cells[{2, 2}] = 46364.0;
    EXPECT_EQ(XfCount(BuildWorkbookStream(book)), 17);

    QString error;
    const auto back = ParseXlsFile(BuildXlsFile(book));
    error = back.error();
    ASSERT_TRUE(back) << error.toStdString();
    const auto &cells = back->sheets[0].cells;
    EXPECT_EQ(cells.at({2, 1}), XlsValue(XlsDate{QDate(2026, 12, 8)}));
    EXPECT_EQ(cells.at({2, 2}), XlsValue(46364.0)) << "the same number without the format stays a number";
}

TEST(XlsDates, WorkbookRefusesDatesItCannotHold)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"b.xls"_s);
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path), error));
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(path), error));
    EXPECT_TRUE(book.setCell(1, 1, QDate(2026, 12, 8)));
    EXPECT_FALSE(book.setCell(1, 2, QDate(1900, 2, 28)));
    EXPECT_FALSE(book.setCell(1, 3, QDate()));
    EXPECT_EQ(book.book()->sheets[0].cells.size(), 1u);
}

} // namespace
} // namespace ordan
