// The export's steps over a recording writer: names, order, cells, failures.
#include "journals/journal_export.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <variant>
#include <vector>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

// A file system and workbook in memory that records every call.
struct RecordingFiles final : ExportFiles {
    struct Cell {
        int row;
        int column;
        std::variant<QString, double> value;
    };
    bool exists(const QString &path) const override { return files.count(path) > 0; }
    Status remove(const QString &path) override
    {
        calls.push_back(u"remove "_s + path);
        if (failRemove.count(path) || files.erase(path) == 0)
            return Fail(path + u": not removed"_s);
        return {};
    }
    Status createBlank(const QString &path) override
    {
        calls.push_back(u"create "_s + path);
        if (failCreate)
            return Fail(path + u": not created"_s);
        files.insert(path);
        return {};
    }
    Status open(const QString &path) override
    {
        calls.push_back(u"open "_s + path);
        opened = !failOpen && files.count(path);
        return opened ? Status() : Fail(path + u": not opened"_s);
    }
    bool setText(int row, int column, const QString &text) override
    {
        if (!opened || (row == failRow && column == failColumn))
            return false;
        cells.push_back({row, column, text});
        return true;
    }
    bool setNumber(int row, int column, double number) override
    {
        if (!opened || (row == failRow && column == failColumn))
            return false;
        cells.push_back({row, column, number});
        return true;
    }
    Status save(const QString &path) override
    {
        calls.push_back(u"save "_s + path);
        if (failSave || !opened)
            return Fail(path + u": not saved"_s);
        files.insert(path);
        saved = cells;
        return {};
    }
    void close() override
    {
        calls.push_back(u"close"_s);
        opened = false;
    }

    const Cell *savedAt(int row, int column) const
    {
        for (const Cell &c : saved)
            if (c.row == row && c.column == column)
                return &c;
        return nullptr;
    }

    std::set<QString> files;
    std::set<QString> failRemove;
    bool failCreate = false;
    bool failOpen = false;
    bool failSave = false;
    int failRow = 0;
    int failColumn = 0;
    bool opened = false;
    std::vector<QString> calls;
    std::vector<Cell> cells;
    std::vector<Cell> saved;
};

class JournalExportTest : public ::testing::Test {
protected:
    ExportTable table() const
    {
        return {{u"месяц"_s, u"1 тариф"_s, u"наработка"_s},
                {u"07 янв."_s, u"1,00000"_s, u"1:0"_s},
                {u"фев."_s, QString(), QString()}};
    }
    bool exportTo(const QString &chosen) { return exporter.exportTo(chosen, table(), u"Годовой журнал "_s).ok(); }
    bool warned() const
    {
        return op.boxes.size() == 1 && op.boxes[0].text == JournalExport::FailureText() &&
               op.boxes[0].caption == u"Warning"_s && op.boxes[0].icon == BoxIcon::Warning;
    }

    const test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    RecordingFiles files;
    std::vector<QString> reported;
    JournalExport exporter{op, facts, files, [this](const QString &line) { reported.push_back(line); }};
};

TEST_F(JournalExportTest, StepsInOrderAndTheResultOpened)
{
    ASSERT_TRUE(exportTo(u"/out/j.xls"_s));
    EXPECT_EQ(files.calls, (std::vector<QString>{u"create /out/1new.xls"_s, u"open /out/1new.xls"_s,
                                                 u"save /out/j.xls"_s, u"close"_s, u"remove /out/1new.xls"_s}));
    EXPECT_EQ(files.files, (std::set<QString>{u"/out/j.xls"_s}));
    ASSERT_EQ(facts.opened.size(), 1u);
    EXPECT_EQ(facts.opened[0], QUrl::fromLocalFile(u"/out/j.xls"_s));
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(JournalExportTest, TitleRowThenTheTableFromRowTwo)
{
    ASSERT_TRUE(exportTo(u"/out/j.xls"_s));
    std::vector<std::pair<int, int>> order;
    for (const auto &c : files.saved)
        order.push_back({c.row, c.column});
    const std::vector<std::pair<int, int>> expected{{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3},
                                                    {3, 1}, {3, 2}, {3, 3}, {4, 1}, {4, 2}, {4, 3}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(std::get<QString>(files.savedAt(1, 1)->value), u"Годовой журнал "_s);
    EXPECT_EQ(std::get<QString>(files.savedAt(1, 3)->value), QString());
    EXPECT_EQ(std::get<QString>(files.savedAt(2, 2)->value), u"1 тариф"_s);
    EXPECT_EQ(std::get<QString>(files.savedAt(3, 1)->value), u"07 янв."_s);
    EXPECT_EQ(std::get<double>(files.savedAt(3, 2)->value), 1.0);
    EXPECT_EQ(std::get<QString>(files.savedAt(3, 3)->value), u"1:0"_s);
    EXPECT_EQ(std::get<QString>(files.savedAt(4, 2)->value), QString());
}

TEST_F(JournalExportTest, CellThatCannotBeWrittenIsSkipped)
{
    files.failRow = 3;
    files.failColumn = 2;
    ASSERT_TRUE(exportTo(u"/out/j.xls"_s));
    EXPECT_EQ(files.savedAt(3, 2), nullptr);
    EXPECT_NE(files.savedAt(3, 3), nullptr);
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(JournalExportTest, TemporaryNameIsTheFirstFreeOne)
{
    files.files = {u"/out/1new.xls"_s, u"/out/2new.xls"_s, u"/out/4new.xls"_s};
    ASSERT_TRUE(exportTo(u"/out/j.xls"_s));
    EXPECT_EQ(files.calls.front(), u"create /out/3new.xls"_s);
    EXPECT_EQ(files.files,
              (std::set<QString>{u"/out/1new.xls"_s, u"/out/2new.xls"_s, u"/out/4new.xls"_s, u"/out/j.xls"_s}));
}

TEST_F(JournalExportTest, ChosenNameIsNeverTheTemporaryOne)
{
    // Saving as 1new.xls in an empty directory: the workbook must not be deleted as the temporary.
    ASSERT_TRUE(exportTo(u"/out/1new.xls"_s));
    EXPECT_EQ(files.calls.front(), u"create /out/2new.xls"_s);
    EXPECT_EQ(files.files, (std::set<QString>{u"/out/1new.xls"_s}));
}

// Names that differ only in case are one file where the file system ignores case (Windows):
// the temporary workbook is never one of them, or deleting it would take the result along.
TEST_F(JournalExportTest, ChosenNameInAnyCaseIsNeverTheTemporaryOne)
{
    const struct {
        QString chosen;
        QString temporary;
    } cases[] = {
        {u"/out/1NEW.xls"_s, u"/out/2new.xls"_s},  {u"/out/1New.XLS"_s, u"/out/2new.xls"_s},
        {u"/out/2NEW.xls"_s, u"/out/1new.xls"_s},  {u"1nEw.xLs"_s, u"2new.xls"_s},
        {u"/out/1new.xlsx"_s, u"/out/1new.xls"_s},
    };
    for (const auto &c : cases) {
        files.calls.clear();
        files.files.clear();
        ASSERT_TRUE(exportTo(c.chosen)) << c.chosen.toStdString();
        EXPECT_EQ(files.calls.front(), u"create "_s + c.temporary) << c.chosen.toStdString();
        EXPECT_EQ(files.files, (std::set<QString>{c.chosen})) << c.chosen.toStdString();
    }
}

TEST_F(JournalExportTest, ExistingTargetIsReplacedWithoutDeletingItFirst)
{
    files.files = {u"/out/j.xls"_s};
    ASSERT_TRUE(exportTo(u"/out/j.xls"_s));
    for (const QString &call : files.calls)
        EXPECT_NE(call, u"remove /out/j.xls"_s);
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(JournalExportTest, PathWithoutDirectoryUsesTheWorkingDirectory)
{
    ASSERT_TRUE(exportTo(u"j.xls"_s));
    EXPECT_EQ(files.calls.front(), u"create 1new.xls"_s);
}

struct Failure {
    const char *name;
    std::function<void(RecordingFiles &)> arrange;
    QString reason;              // the failing step's own text, reported beside the box
    std::set<QString> left = {}; // files the export made that remain
};

class JournalExportFailure : public JournalExportTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(JournalExportFailure, WarnsLeavesNoTemporaryAndOpensNothing)
{
    GetParam().arrange(files);
    std::set<QString> expected = files.files;
    expected.insert(GetParam().left.begin(), GetParam().left.end());
    EXPECT_FALSE(exportTo(u"/out/j.xls"_s));
    EXPECT_TRUE(warned());
    EXPECT_EQ(reported, std::vector<QString>{JournalExport::ReportText(GetParam().reason)});
    EXPECT_TRUE(facts.opened.empty());
    EXPECT_EQ(files.files, expected);
    EXPECT_FALSE(files.opened) << "the workbook is closed";
}

INSTANTIATE_TEST_SUITE_P(Steps, JournalExportFailure,
                         ::testing::Values(Failure{"CreateFails", [](RecordingFiles &f) { f.failCreate = true; },
                                                   u"/out/1new.xls: not created"_s},
                                           Failure{"OpenFails", [](RecordingFiles &f) { f.failOpen = true; },
                                                   u"/out/1new.xls: not opened"_s},
                                           Failure{"SaveFails", [](RecordingFiles &f) { f.failSave = true; },
                                                   u"/out/j.xls: not saved"_s},
                                           Failure{"TemporaryStays",
                                                   [](RecordingFiles &f) { f.failRemove.insert(u"/out/1new.xls"_s); },
                                                   u"/out/1new.xls: not removed"_s,
                                                   {u"/out/1new.xls"_s, u"/out/j.xls"_s}},
                                           Failure{"NoFreeName",
                                                   [](RecordingFiles &f) {
                                                       for (int n = 1; n <= kMaxTemporaryNames; ++n)
                                                           f.files.insert(u"/out/%1new.xls"_s.arg(n));
                                                   },
                                                   u"все временные имена от 1new.xls до 9999new.xls заняты"_s}),
                         [](const ::testing::TestParamInfo<Failure> &info) { return std::string(info.param.name); });

TEST_F(JournalExportTest, FailedSaveRemovesTheTemporaryAndKeepsTheOldFile)
{
    files.files = {u"/out/j.xls"_s};
    files.failSave = true;
    EXPECT_FALSE(exportTo(u"/out/j.xls"_s));
    EXPECT_EQ(files.files, (std::set<QString>{u"/out/j.xls"_s}));
    EXPECT_EQ(files.calls.back(), u"remove /out/1new.xls"_s);
}

TEST(JournalTitle, NumberOnlyWhenAboveZero)
{
    EXPECT_EQ(JournalTitle(u"Годовой журнал "_s, 1234), u"Годовой журнал Счетчик № 1234, "_s);
    EXPECT_EQ(JournalTitle(u"Годовой журнал "_s, 0), u"Годовой журнал "_s);
    EXPECT_EQ(JournalTitle(u"Журнал потребления "_s, 0), u"Журнал потребления "_s);
    EXPECT_EQ(JournalTitle(u"Журнал потребления "_s, -5), u"Журнал потребления "_s);
    EXPECT_EQ(JournalTitle(u"Журнал потребления "_s, 131071), u"Журнал потребления Счетчик № 131071, "_s);
}

TEST(ExportDirectoryOf, UpToTheLastSeparator)
{
    EXPECT_EQ(ExportDirectoryOf(u"/home/op/j.xls"_s), u"/home/op/"_s);
    EXPECT_EQ(ExportDirectoryOf(u"C:\\Journals\\j.xls"_s), u"C:\\Journals\\"_s);
    EXPECT_EQ(ExportDirectoryOf(u"j.xls"_s), QString());
}

TEST(ExportCellNumber, NumbersInTheLocaleFormatOnly)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    struct Case {
        const char16_t *text;
        const QLocale *locale;
        std::optional<double> number;
    };
    const Case cases[] = {
        {u"1,00000", &ru, 1.0},          {u"1073741,82400", &ru, 1073741.824}, {u"7", &ru, 7.0},
        {u"32769", &ru, 32769.0},        {u"1.00000", &ru, std::nullopt}, // not Russian
        {u"1.00000", &c, 1.0},           {u"1,00000", &c, std::nullopt},  // a comma is no decimal separator in C
        {u"1,000", &c, std::nullopt},                                     // nor a group separator here
        {u"", &ru, std::nullopt},        {u"1:0", &ru, std::nullopt},          {u"07.03 14:05", &ru, std::nullopt},
        {u"07 янв.", &ru, std::nullopt}, {u"июнь", &ru, std::nullopt},         {u"inf", &c, std::nullopt},
        {u"nan", &c, std::nullopt},
    };
    for (const Case &k : cases)
        EXPECT_EQ(ExportCellNumber(QString::fromUtf16(k.text), *k.locale), k.number)
            << QString::fromUtf16(k.text).toStdString();
}

} // namespace
} // namespace ordan
