// Both exports end to end on real files, read back by Debian's python3-xlrd.
#include "core/bytes.h"
#include "journal_fixture.h"
#include "journals/journal_text.h"
#include "journals/journals.h"
#include "journals/xls_export_files.h"
#include "support/failing_sync.h"
#include "support/small_disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Frame;
using test::kXlrdNumber;
using test::kXlrdText;
using test::ReadWithXlrd;
using test::SheetCells;
using test::TextAt;

QByteArray AnnualReply(quint8 month, quint8 year, quint64 energy, quint32 time)
{
    QByteArray body = Bytes({0x12, 0x16, month, year});
    for (int t = 0; t < 3; ++t)
        AppendLittleEndian(body, energy * (t + 1), 5);
    AppendLittleEndian(body, time, 3);
    return Frame(body);
}

QByteArray ConsumptionReply(quint8 page, quint8 record, quint16 status)
{
    QByteArray body = Bytes({0x13, 0x1C, page, record, 0x05, 0x14, 0x07, 0x03});
    for (int t = 0; t < 3; ++t)
        AppendLittleEndian(body, 4000u * (t + 1), 5);
    AppendLittleEndian(body, status, 2);
    AppendLittleEndian(body, 245, 3);
    return Frame(body);
}

class JournalXls : public ::testing::Test, public test::JournalEngine {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    bool warned() const
    {
        return op.boxes.size() == 1 && op.boxes[0].text == JournalExport::FailureText() &&
               op.boxes[0].caption == u"Warning"_s && op.boxes[0].icon == BoxIcon::Warning;
    }
    QJsonObject exportAnnual(const QString &name)
    {
        op.nextSaveFile = path(name);
        EXPECT_TRUE(journals.annual().BtnJournal.execute());
        EXPECT_TRUE(op.boxes.empty());
        return ReadWithXlrd(path(name));
    }
    QJsonObject exportConsumption(const QString &name)
    {
        op.nextSaveFile = path(name);
        EXPECT_TRUE(journals.consumption().BtnDiary.execute());
        EXPECT_TRUE(op.boxes.empty());
        return ReadWithXlrd(path(name));
    }

    const test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    QTemporaryDir dir;
    int serial = 1234;
    XlsExportFiles files;
    Journals journals{engine, op, facts, files, [this] { return serial; }};
};

TEST_F(JournalXls, NeverReadAnnualJournalGivesTitlesAndMonths)
{
    const QJsonObject book = exportAnnual(u"annual.xls"_s);
    QStringList names;
    for (const QJsonValue &v : book.value(u"sheet_names"_s).toArray())
        names << v.toString();
    EXPECT_EQ(names, (QStringList{u"Лист1"_s, u"Лист2"_s, u"Лист3"_s}));
    const auto cells = SheetCells(book);
    EXPECT_EQ(TextAt(cells, 0, 0), u"Годовой журнал Счетчик № 1234, "_s);
    for (int c = 1; c < 5; ++c)
        EXPECT_EQ(TextAt(cells, 0, c), QString());
    const QStringList titles{u"месяц"_s, u"1 тариф"_s, u"2 тариф"_s, u"3 тариф"_s, u"наработка"_s};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(TextAt(cells, 1, c), titles[c]);
    for (int m = 0; m < 12; ++m) {
        EXPECT_EQ(TextAt(cells, m + 2, 0), JournalMonthAbbreviations()[m]);
        for (int c = 1; c < 5; ++c)
            EXPECT_EQ(TextAt(cells, m + 2, c), QString());
    }
    const QJsonObject sheet = book.value(u"sheets"_s).toArray().at(0).toObject();
    EXPECT_EQ(sheet.value(u"nrows"_s).toInt(), 14);
    EXPECT_EQ(sheet.value(u"ncols"_s).toInt(), 5);
    for (int s = 1; s < 3; ++s)
        EXPECT_EQ(book.value(u"sheets"_s).toArray().at(s).toObject().value(u"nrows"_s).toInt(), 0);
    ASSERT_EQ(facts.opened.size(), 1u);
    EXPECT_EQ(facts.opened[0], QUrl::fromLocalFile(path(u"annual.xls"_s)));
    EXPECT_EQ(entries(), QStringList{u"annual.xls"_s}) << "the temporary workbook is gone";
}

TEST_F(JournalXls, ValuesBecomeNumbersAndTextsStayTexts)
{
    journals.annual().decodeReply(AnnualReply(0, 0x07, 4000, 120));
    journals.annual().decodeReply(AnnualReply(1, 0x07, 0x100000000ull, 7319));
    const auto cells = SheetCells(exportAnnual(u"a.xls"_s));
    EXPECT_EQ(TextAt(cells, 2, 0), u"07 янв."_s);
    ASSERT_EQ(cells.at({2, 1}).type, kXlrdNumber);
    EXPECT_EQ(cells.at({2, 1}).value.toDouble(), 1.0);
    EXPECT_EQ(cells.at({2, 3}).value.toDouble(), 3.0);
    EXPECT_EQ(TextAt(cells, 2, 4), u"1:0"_s);
    ASSERT_EQ(cells.at({3, 1}).type, kXlrdNumber);
    EXPECT_DOUBLE_EQ(cells.at({3, 1}).value.toDouble(), 1073741.824);
    EXPECT_EQ(TextAt(cells, 3, 4), u"60:59"_s);
    EXPECT_EQ(TextAt(cells, 4, 0), u"март"_s);
}

TEST_F(JournalXls, EmptyConsumptionListGivesTitleAndCaptionsOnly)
{
    serial = 0;
    const QJsonObject book = exportConsumption(u"c.xls"_s);
    const auto cells = SheetCells(book);
    EXPECT_EQ(TextAt(cells, 0, 0), u"Журнал потребления "_s);
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(TextAt(cells, 1, c), ConsumptionCaptions()[c]);
    EXPECT_EQ(book.value(u"sheets"_s).toArray().at(0).toObject().value(u"nrows"_s).toInt(), 2);
    EXPECT_EQ(book.value(u"sheets"_s).toArray().at(0).toObject().value(u"ncols"_s).toInt(), 8);
}

TEST_F(JournalXls, ConsumptionRowsFollowTheCaptions)
{
    journals.consumption().decodeReply(ConsumptionReply(7, 3, 0x8001));
    journals.consumption().decodeReply(ConsumptionReply(9, 4, 0));
    const QJsonObject book = exportConsumption(u"c.xls"_s);
    const auto cells = SheetCells(book);
    EXPECT_EQ(TextAt(cells, 0, 0), u"Журнал потребления Счетчик № 1234, "_s);
    EXPECT_EQ(cells.at({2, 0}).type, kXlrdNumber);
    EXPECT_EQ(cells.at({2, 0}).value.toDouble(), 7.0);
    EXPECT_EQ(cells.at({2, 1}).value.toDouble(), 3.0);
    EXPECT_EQ(TextAt(cells, 2, 2), u"07.03 14:05"_s);
    EXPECT_EQ(cells.at({2, 3}).value.toDouble(), 1.0);
    EXPECT_EQ(cells.at({2, 5}).value.toDouble(), 3.0);
    EXPECT_EQ(cells.at({2, 6}).type, kXlrdNumber);
    EXPECT_EQ(cells.at({2, 6}).value.toDouble(), 32769.0);
    EXPECT_EQ(TextAt(cells, 2, 7), u"2:2"_s);
    EXPECT_EQ(cells.at({3, 0}).value.toDouble(), 9.0);
    EXPECT_EQ(book.value(u"sheets"_s).toArray().at(0).toObject().value(u"nrows"_s).toInt(), 4);
}

TEST_F(JournalXls, PresentTemporaryNameIsSkippedAndLeftAlone)
{
    QFile first(path(u"1new.xls"_s));
    ASSERT_TRUE(first.open(QIODevice::WriteOnly));
    first.write("not mine");
    first.close();
    exportAnnual(u"j.xls"_s);
    QFile again(path(u"1new.xls"_s));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), QByteArray("not mine"));
    EXPECT_EQ(entries(), (QStringList{u"1new.xls"_s, u"j.xls"_s})) << "2new.xls was used and removed";
}

TEST_F(JournalXls, ExistingTargetIsReplacedWithoutAQuestion)
{
    QFile old(path(u"j.xls"_s));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();
    const auto cells = SheetCells(exportConsumption(u"j.xls"_s));
    EXPECT_EQ(TextAt(cells, 1, 0), u"Страница"_s);
    EXPECT_EQ(entries(), QStringList{u"j.xls"_s});
}

TEST_F(JournalXls, UnwritableDirectoryShowsTheWarning)
{
    // A directory that does not exist, and one whose name is taken by a file: neither can take
    // the temporary workbook, whoever runs the test.
    QFile blocker(path(u"plain"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (const QString &target : {path(u"missing/j.xls"_s), path(u"plain/j.xls"_s)}) {
        op.boxes.clear();
        op.nextSaveFile = target;
        journals.annual().BtnJournal.execute();
        EXPECT_TRUE(warned()) << target.toStdString();
    }
    EXPECT_TRUE(facts.opened.empty());
    EXPECT_EQ(entries(), QStringList{u"plain"_s});
}

TEST_F(JournalXls, TargetThatCannotBeWrittenShowsTheWarningAndLeavesNoTemporary)
{
    // The chosen name is a directory: the save fails after the temporary workbook was made.
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"taken.xls"_s));
    op.nextSaveFile = path(u"taken.xls"_s);
    journals.consumption().BtnDiary.execute();
    EXPECT_TRUE(warned());
    EXPECT_TRUE(facts.opened.empty());
    EXPECT_TRUE(entries().isEmpty()) << entries().join(u' ').toStdString();
}

// The write went through but its flush or the folder sync after the rename fails: the
// warning shows, the exchange log names the file, the step and the system's reason, and
// nothing is opened as if it were done.
TEST_F(JournalXls, FailedFlushOrFolderSyncWarnsAndNamesTheStep)
{
    const struct {
        DiskStep step;
        QString file; // whose flush or folder sync fails
    } cases[] = {
        {DiskStep::Flush, u"1new.xls"_s},    // the blank workbook, before its rename
        {DiskStep::Flush, u"/j.xls"_s},      // the journal, before its rename
        {DiskStep::FolderSync, u"/j.xls"_s}, // the journal's rename
    };
    for (const auto &c : cases) {
        const QString chosen = path(u"j.xls"_s);
        QFile previous(chosen);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly) && previous.write("previous") == 8);
        previous.close();
        op.boxes.clear();
        op.nextSaveFile = chosen;
        const test::FailingSync failing(c.step, c.file);
        journals.annual().BtnJournal.execute();
        EXPECT_EQ(failing.failed(), 1) << c.file.toStdString();
        EXPECT_TRUE(warned()) << c.file.toStdString();
        EXPECT_TRUE(facts.opened.empty());
        const QString target = c.file == u"1new.xls"_s ? path(u"1new.xls"_s) : chosen;
        ASSERT_FALSE(engine.log().lines().empty());
        EXPECT_EQ(engine.log().lines().back(), JournalExport::ReportText(QDir::toNativeSeparators(target) + u": "_s +
                                                                         test::FailingSync::StepText(c.step)));
        EXPECT_EQ(entries(), QStringList{u"j.xls"_s}) << "no temporary left";
        QFile kept(chosen);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll() == "previous", c.step == DiskStep::Flush) << "replaced only once renamed";
    }
}

// A nearly full disk: whichever file the space runs out in (the temporary workbook or the
// chosen one), the warning shows, the previous file is as it was, no temporary is left and
// nothing is opened.
class JournalXlsFullDisk : public JournalXls, public ::testing::WithParamInterface<int> {};

TEST_P(JournalXlsFullDisk, WarnsAndKeepsThePreviousFile)
{
    test::SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString chosen = disk.filePath(u"journal.xls"_s);
    const QByteArray previous(3000, 'p');
    {
        QFile f(chosen);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(previous), previous.size());
    }
    ASSERT_TRUE(disk.fill(GetParam()));

    op.nextSaveFile = chosen;
    journals.annual().BtnJournal.execute();
    EXPECT_TRUE(warned());
    EXPECT_TRUE(facts.opened.empty());
    QFile f(chosen);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), previous);
    const QStringList left = QDir(QFileInfo(chosen).path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    EXPECT_EQ(left, (QStringList{u"filler"_s, u"journal.xls"_s})) << left.join(u' ').toStdString();

    // With room again the same export goes through.
    ASSERT_TRUE(disk.emptyFiller());
    op.boxes.clear();
    journals.annual().BtnJournal.execute();
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_EQ(TextAt(SheetCells(ReadWithXlrd(chosen)), 0, 0), u"Годовой журнал Счетчик № 1234, "_s);
}

INSTANTIATE_TEST_SUITE_P(FreeBytes, JournalXlsFullDisk, ::testing::Values(0, 4096, 8192, 12288));

TEST_F(JournalXls, CancelledDialogDoesNothing)
{
    op.nextSaveFile.clear();
    journals.annual().BtnJournal.execute();
    journals.consumption().BtnDiary.execute();
    EXPECT_EQ(op.lastFilter, u"xls|*.xls"_s);
    EXPECT_EQ(op.lastSuffix, u"xls"_s);
    EXPECT_TRUE(op.boxes.empty());
    EXPECT_TRUE(facts.opened.empty());
    EXPECT_TRUE(entries().isEmpty());
}

} // namespace
} // namespace ordan
