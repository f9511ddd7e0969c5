#include "support/result_checks.h"
#include "support/small_disk.h"
#include "xls/xls_workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

class XlsWorkbookTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    static QByteArray Read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void Write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir_;
};

TEST_F(XlsWorkbookTest, BlankWorkbookOpensWithThreeEmptySheets)
{
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"1new.xls"_s)), error)) << error.toStdString();
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(path(u"1new.xls"_s)), error)) << error.toStdString();
    ASSERT_TRUE(book.isOpen());
    const XlsBook &b = *book.book();
    ASSERT_EQ(b.sheets.size(), 3u);
    EXPECT_EQ(b.sheets[0].name, QStringLiteral("Лист1"));
    EXPECT_EQ(b.sheets[1].name, QStringLiteral("Лист2"));
    EXPECT_EQ(b.sheets[2].name, QStringLiteral("Лист3"));
    for (const XlsSheet &s : b.sheets) {
        EXPECT_TRUE(s.cells.empty());
        EXPECT_EQ(s.header, XlsDefaultHeader());
        EXPECT_EQ(s.footer, XlsDefaultFooter());
    }
    EXPECT_EQ(Read(path(u"1new.xls"_s)), BuildXlsFile(BlankXlsBook()));
}

TEST_F(XlsWorkbookTest, CellsSurviveSaveAndOpen)
{
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"1new.xls"_s)), error));
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(path(u"1new.xls"_s)), error));
    EXPECT_TRUE(book.setCell(1, 1, QStringLiteral("Журнал потребления ")));
    EXPECT_TRUE(book.setCell(1, 2, QString()));
    EXPECT_TRUE(book.setCell(3, 4, 1.0));
    EXPECT_TRUE(book.setCell(3, 5, -0.00025));
    EXPECT_TRUE(book.setCell(65536, 256, QStringLiteral("угол")));
    EXPECT_TRUE(book.setCell(3, 4, 2.0)); // a second write replaces the first
    ASSERT_TRUE(Succeeded(book.save(path(u"journal.xls"_s)), error)) << error.toStdString();
    book.close();
    EXPECT_FALSE(book.isOpen());

    XlsWorkbook again;
    ASSERT_TRUE(Succeeded(again.open(path(u"journal.xls"_s)), error)) << error.toStdString();
    const auto &cells = again.book()->sheets[0].cells;
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells.at({0, 0}), XlsValue(QStringLiteral("Журнал потребления ")));
    EXPECT_EQ(cells.at({0, 1}), XlsValue(QString()));
    EXPECT_EQ(cells.at({2, 3}), XlsValue(2.0));
    EXPECT_EQ(cells.at({2, 4}), XlsValue(-0.00025));
    EXPECT_EQ(cells.at({65535, 255}), XlsValue(QStringLiteral("угол")));
    EXPECT_TRUE(again.book()->sheets[1].cells.empty());
}

TEST_F(XlsWorkbookTest, CellsOutsideTheSheetOrValuesExcelCannotHoldAreRefused)
{
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"b.xls"_s)), error));
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(path(u"b.xls"_s)), error));
    const struct {
        int row, column;
        bool stored;
    } places[] = {
        {1, 1, true},     {0, 1, false},     {1, 0, false},  {-1, 5, false},
        {65536, 1, true}, {65537, 1, false}, {1, 256, true}, {1, 257, false},
    };
    for (const auto &p : places) {
        EXPECT_EQ(book.setCell(p.row, p.column, QStringLiteral("x")), p.stored) << p.row << "," << p.column;
        EXPECT_EQ(book.setCell(p.row, p.column, 1.5), p.stored) << p.row << "," << p.column;
    }
    EXPECT_FALSE(book.setCell(2, 2, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(book.setCell(2, 2, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(book.setCell(2, 2, QString(32767, QLatin1Char('a'))));
    EXPECT_FALSE(book.setCell(2, 3, QString(32768, QLatin1Char('a'))));
    EXPECT_EQ(book.book()->sheets[0].cells.size(), 4u); // A1, A65536, IV1, B2
    EXPECT_FALSE(book.book()->sheets[0].cells.contains({1, 2}));
}

TEST_F(XlsWorkbookTest, NothingIsStoredOrSavedWithoutAnOpenWorkbook)
{
    XlsWorkbook book;
    EXPECT_FALSE(book.setCell(1, 1, 1.0));
    EXPECT_FALSE(book.setCell(1, 1, QStringLiteral("x")));
    QString error;
    EXPECT_FALSE(Succeeded(book.save(path(u"none.xls"_s)), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path(u"none.xls"_s)));
    EXPECT_EQ(book.book(), nullptr);
}

TEST_F(XlsWorkbookTest, SaveReplacesAnExistingFile)
{
    Write(path(u"old.xls"_s), QByteArray(100000, 'z'));
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"old.xls"_s)), error));
    EXPECT_EQ(Read(path(u"old.xls"_s)), BuildXlsFile(BlankXlsBook()));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{u"old.xls"_s}) << "no temporary file left";
}

TEST_F(XlsWorkbookTest, UnwritablePlacesFailWithAReason)
{
    Write(path(u"plain"_s), "not a directory");
    XlsWorkbook book;
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"ok.xls"_s)), error));
    ASSERT_TRUE(Succeeded(book.open(path(u"ok.xls"_s)), error));
    for (const QString &target : {path(u"missing/dir/a.xls"_s), path(u"plain/a.xls"_s), dir_.path(), QString()}) {
        error.clear();
        EXPECT_FALSE(Succeeded(XlsWorkbook::CreateBlank(target), error)) << target.toStdString();
        EXPECT_FALSE(error.isEmpty());
        error.clear();
        EXPECT_FALSE(Succeeded(book.save(target), error)) << target.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(dir_.path()).isDir());
}

// The space runs out part way through the workbook: the save says so, the previous file is
// as it was, and the temporary file is gone. Small workbooks matter most: a buffered writer
// holds all of one and meets the full disk only when it flushes.
struct FullDiskCase {
    int rows; // cells of 60 characters in column 1
    int freeBytes;
};

class XlsFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(XlsFullDisk, SaveFailsWholeAndKeepsThePreviousFile)
{
    test::SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString target = disk.filePath(u"journal.xls"_s);
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(target), error)) << error.toStdString();
    const QByteArray previous = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(target), error));
    for (int row = 1; row <= GetParam().rows; ++row)
        ASSERT_TRUE(book.setCell(row, 1, QString(60, QChar(u'ж')) + QString::number(row)));
    ASSERT_TRUE(disk.fill(GetParam().freeBytes));
    EXPECT_FALSE(Succeeded(book.save(target), error));
    EXPECT_TRUE(error.contains(u"ошибка записи"_s)) << error.toStdString();
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), previous);
    const QStringList left = QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    EXPECT_EQ(left, (QStringList{u"filler"_s, u"journal.xls"_s})) << left.join(u' ').toStdString();

    ASSERT_TRUE(disk.emptyFiller());
    ASSERT_TRUE(Succeeded(book.save(target), error)) << error.toStdString();
    XlsWorkbook again;
    ASSERT_TRUE(Succeeded(again.open(target), error)) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsFullDisk,
                         ::testing::Values(FullDiskCase{0, 0}, FullDiskCase{0, 4096}, FullDiskCase{10, 4096},
                                           FullDiskCase{200, 0}, FullDiskCase{200, 16384}),
                         [](const auto &info) {
                             return "rows" + std::to_string(info.param.rows) + "free" +
                                    std::to_string(info.param.freeBytes);
                         });

TEST_F(XlsWorkbookTest, OpenRefusesMissingAndForeignFiles)
{
    Write(path(u"empty.xls"_s), {});
    Write(path(u"text.xls"_s), "месяц;1 тариф\n");
    QByteArray random(20000, '\0');
    std::mt19937 rng(7);
    for (char &c : random)
        c = static_cast<char>(rng());
    Write(path(u"random.xls"_s), random);
    QByteArray signatureOnly = BuildXlsFile(BlankXlsBook()).first(512);
    Write(path(u"header.xls"_s), signatureOnly);

    for (const QString &name : {u"absent.xls"_s, u"empty.xls"_s, u"text.xls"_s, u"random.xls"_s, u"header.xls"_s}) {
        XlsWorkbook book;
        QString error;
        EXPECT_FALSE(Succeeded(book.open(path(name)), error)) << name.toStdString();
        EXPECT_FALSE(error.isEmpty()) << name.toStdString();
        EXPECT_FALSE(book.isOpen());
    }
}

TEST_F(XlsWorkbookTest, FailedOpenClosesThePreviousWorkbook)
{
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(path(u"a.xls"_s)), error));
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(path(u"a.xls"_s)), error));
    EXPECT_FALSE(Succeeded(book.open(path(u"absent.xls"_s)), error));
    EXPECT_FALSE(book.setCell(1, 1, 1.0));
}

// Every cut and many random changes of a filled workbook: each read either succeeds or
// fails with a reason; the sanitizer build checks that none reads outside the bytes.
TEST(XlsRobustness, TruncatedAndMutatedFilesNeverCrashTheReader)
{
    XlsBook book = BlankXlsBook();
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 8; ++c)
            book.sheets[0].cells[{r, c}] =
                (r + c) % 3 ? XlsValue(r * 10.0 + c) : XlsValue(QStringLiteral("текст %1").arg(r * 8 + c));
    const QByteArray good = BuildXlsFile(book);
    QString error;
    ASSERT_TRUE(Succeeded(ParseXlsFile(good), error)) << error.toStdString();

    int refused = 0;
    for (qsizetype cut = 0; cut < good.size(); cut += 37) {
        error.clear();
        if (!Succeeded(ParseXlsFile(good.first(cut)), error)) {
            ++refused;
            EXPECT_FALSE(error.isEmpty()) << cut;
        }
    }
    EXPECT_GT(refused, 0);

    std::mt19937 rng(20261208);
    // Changes land anywhere in the file, or in the header, FAT and directory, or in the
    // workbook stream's records, where they do the most harm.
    const qsizetype metadata = good.size() - 2 * 512;
    int mutatedRefused = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bad = good;
        const int changes = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < changes; ++k) {
            qsizetype at = 0;
            switch (rng() % 3) {
            case 0: at = static_cast<qsizetype>(rng() % bad.size()); break;
            case 1:
                at = rng() % 2 ? static_cast<qsizetype>(rng() % 512) : metadata + static_cast<qsizetype>(rng() % 1024);
                break;
            default: at = 512 + static_cast<qsizetype>(rng() % 4096); break;
            }
            bad[at] = static_cast<char>(rng() % 4 ? rng() : (rng() % 2 ? 0xFF : 0x00));
        }
        error.clear();
        if (!Succeeded(ParseXlsFile(bad), error)) {
            ++mutatedRefused;
            EXPECT_FALSE(error.isEmpty());
        }
    }

    EXPECT_GT(mutatedRefused, 0);

    // Random bytes behind a valid header, FAT and directory.
    for (int round = 0; round < 200; ++round) {
        QByteArray bad = good;
        for (qsizetype i = 512; i < metadata; ++i)
            bad[i] = static_cast<char>(rng());
        error.clear();
        if (!Succeeded(ParseXlsFile(bad), error)) {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

} // namespace
} // namespace ordan
