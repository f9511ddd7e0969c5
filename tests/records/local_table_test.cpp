// The seam's shared semantics (presenting values, the filter, the aggregates) and the
// in-memory table the record workflows are tested with.
#include "records/local_table.h"
#include "records/local_table_memory.h"
#include "records/setting_table.h"
#include "support/result_checks.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <set>

namespace ordan {
namespace {

struct PresentCase {
    const char *what;
    SettingType type;
    QVariant in;
    std::optional<QVariant> out; // nullopt = cannot be presented
};

class PresentValueTest : public ::testing::TestWithParam<PresentCase> {};

TEST_P(PresentValueTest, GivesTheColumnsType)
{
    const PresentCase &c = GetParam();
    const auto v = PresentValue(c.type, c.in);
    ASSERT_EQ(v.has_value(), c.out.has_value()) << c.what;
    if (!v)
        return;
    EXPECT_EQ(v->isValid(), c.out->isValid()) << c.what;
    if (c.out->isValid()) {
        EXPECT_EQ(v->typeId(), c.out->typeId()) << c.what;
        EXPECT_EQ(*v, *c.out) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PresentValueTest,
    ::testing::Values(
        PresentCase{"null stays null", SettingType::Float, QVariant(), QVariant()},
        PresentCase{"int as float", SettingType::Float, QVariant(5), QVariant(5.0)},
        PresentCase{"numeric text as float", SettingType::Float, QVariant(QStringLiteral(" 2.5")), QVariant(2.5)},
        PresentCase{"text not a float", SettingType::Float, QVariant(QStringLiteral("abc")), std::nullopt},
        PresentCase{"bool not a float", SettingType::Float, QVariant(true), std::nullopt},
        PresentCase{"double rounded to small int", SettingType::SmallInt, QVariant(4.6), QVariant(5)},
        PresentCase{"integer out of range", SettingType::Integer, QVariant(1e12), std::nullopt},
        PresentCase{"text", SettingType::Text, QVariant(QStringLiteral("5.1")), QVariant(QStringLiteral("5.1"))},
        PresentCase{"number not text", SettingType::Text, QVariant(5), std::nullopt},
        PresentCase{"date", SettingType::Date, QVariant(QDate(2026, 12, 8)), QVariant(QDate(2026, 12, 8))},
        PresentCase{"date of a date-time", SettingType::Date,
                    QVariant(QDateTime(QDate(2026, 12, 8), QTime(1, 2), Qt::UTC)), QVariant(QDate(2026, 12, 8))},
        PresentCase{"text not a date", SettingType::Date, QVariant(QStringLiteral("08.12.2026")), std::nullopt},
        PresentCase{"logical", SettingType::Logical, QVariant(false), QVariant(false)},
        PresentCase{"number not logical", SettingType::Logical, QVariant(1), std::nullopt},
        PresentCase{"time", SettingType::TimeOfDay, QVariant(QTime(7, 30)), QVariant(QTime(7, 30))},
        PresentCase{"time of a date-time", SettingType::TimeOfDay,
                    QVariant(QDateTime(QDate(1899, 12, 30), QTime(7, 30), Qt::UTC)), QVariant(QTime(7, 30))},
        PresentCase{"time text hh:nn", SettingType::TimeOfDay, QVariant(QStringLiteral("07:30")),
                    QVariant(QTime(7, 30))},
        PresentCase{"time text h:nn:ss", SettingType::TimeOfDay, QVariant(QStringLiteral("7:30:15")),
                    QVariant(QTime(7, 30, 15))},
        PresentCase{"blank time text is null", SettingType::TimeOfDay, QVariant(QStringLiteral("  ")), QVariant()},
        PresentCase{"bad time text", SettingType::TimeOfDay, QVariant(QStringLiteral("25:00")), std::nullopt}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(ParseTimeOfDay, AcceptsOnlyClockTimes)
{
    EXPECT_EQ(ParseTimeOfDay(u"23:59:59"), QTime(23, 59, 59));
    EXPECT_EQ(ParseTimeOfDay(u" 00:00 "), QTime(0, 0));
    for (const char16_t *bad : {u"", u"7", u"07:60", u"7:3:2:1", u"ab:cd", u"-1:00", u"123:00", u"07:"})
        EXPECT_FALSE(ParseTimeOfDay(bad)) << QString::fromUtf16(bad).toStdString();
}

LocalRow Row(double number, QDate date)
{
    LocalRow r = PresentRow({});
    r[QStringLiteral("c_number")] = number;
    r[QStringLiteral("date_rec")] = date;
    return r;
}

struct FilterCase {
    const char *what;
    LocalFilter filter;
    bool passes;
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTest, OfTheRowNumber1234On8December)
{
    EXPECT_EQ(RowPassesFilter(Row(1234, QDate(2026, 12, 8)), GetParam().filter), GetParam().passes) << GetParam().what;
}

const QDate kDay(2026, 12, 8);

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterTest,
    ::testing::Values(FilterCase{"same day", {kDay, kDay, 0}, true},
                      FilterCase{"in the range", {kDay.addDays(-3), kDay.addDays(1), 0}, true},
                      FilterCase{"before the range", {kDay.addDays(1), kDay.addDays(2), 0}, false},
                      FilterCase{"after the range", {kDay.addDays(-2), kDay.addDays(-1), 0}, false},
                      FilterCase{"from later than to", {kDay.addDays(1), kDay.addDays(-1), 0}, false},
                      FilterCase{"its number", {kDay, kDay, 1234}, true},
                      FilterCase{"another number", {kDay, kDay, 1235}, false},
                      FilterCase{"negative number: no number condition", {kDay, kDay, -5}, true}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(Filter, RowWithoutDateNeverPasses)
{
    EXPECT_FALSE(RowPassesFilter(Row(1, QDate()), {QDate(1, 1, 1), QDate(9999, 1, 1), 0}));
}

TEST(Summary, MaxNumberLatestDayAndCount)
{
    LocalSummary s;
    EXPECT_FALSE(s.maxNumber().isValid());
    EXPECT_FALSE(s.latestDay().date.isValid());
    s.add(Row(5, QDate(2026, 12, 7)));
    s.add(Row(12, QDate(2026, 12, 8)));
    s.add(Row(3, QDate(2026, 12, 6)));
    LocalRow noNumber = Row(0, QDate(2026, 12, 8));
    noNumber[QStringLiteral("c_number")] = QVariant();
    s.add(noNumber);
    s.add(Row(7, QDate(2026, 12, 8)));
    EXPECT_EQ(s.count(), 5);
    EXPECT_EQ(s.maxNumber(), QVariant(12.0));
    EXPECT_EQ(s.latestDay().date, QDate(2026, 12, 8));
    ASSERT_EQ(s.latestDay().rows.size(), 3);
    EXPECT_EQ(s.latestDay().rows[0].value(QStringLiteral("c_number")), QVariant(12.0)); // stored order
    EXPECT_EQ(s.latestDay().rows[2].value(QStringLiteral("c_number")), QVariant(7.0));
}

TEST(SettingColumns, NamesAreUniqueLowerCaseAndFitANewTable)
{
    std::set<std::string_view> names;
    for (const SettingColumn &c : kSettingColumns) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_EQ(ColumnName(c), ColumnName(c).toLower());
        EXPECT_LE(c.name.size(), 10u);
        EXPECT_EQ(FindSettingColumn(ColumnName(c).toUpper()), &c);
    }
    EXPECT_EQ(FindSettingColumn(u"nothing"), nullptr);
    EXPECT_EQ(FindSettingColumn(u"version")->length, 5);
    EXPECT_EQ(FindSettingColumn(u"c_time")->length, 8);
    EXPECT_EQ(FindSettingColumn(u"time_rec")->length, 5);
}

TEST(SettingColumns, ViewShowsStoredColumnsAndTheCalculatedOne)
{
    int calculated = 0;
    for (const SettingViewColumn &v : kSettingViewColumns) {
        const QString name = QString::fromUtf16(v.name.data(), static_cast<qsizetype>(v.name.size()));
        if (name == QString::fromUtf16(kSumerCorrect)) {
            ++calculated;
            continue;
        }
        EXPECT_NE(FindSettingColumn(name), nullptr) << name.toStdString();
        EXPECT_NE(name.toLower(), QStringLiteral("summer"));
        EXPECT_NE(name.toLower(), QStringLiteral("report"));
    }
    EXPECT_EQ(calculated, 1);
    EXPECT_EQ(kSettingViewColumns[0].title, std::u16string_view(u"Номер"));
    EXPECT_EQ(kSettingViewColumns[10].width, 40);
}

TEST(SettingColumns, SumerCorrect)
{
    EXPECT_EQ(SumerCorrectText(QVariant()), QString());
    EXPECT_EQ(SumerCorrectText(QVariant(true)), QStringLiteral("да"));
    EXPECT_EQ(SumerCorrectText(QVariant(false)), QStringLiteral("нет"));
}

TEST(MemoryLocalTable, PresentsRowsAsTheFileDoes)
{
    MemoryLocalTable t;
    QString error;
    ASSERT_TRUE(Succeeded(t.append({{QStringLiteral("C_NUMBER"), 1234},
                                    {QStringLiteral("version"), QStringLiteral("10.12345")},
                                    {QStringLiteral("c_time"), QStringLiteral("10:15")},
                                    {QStringLiteral("time_rec"), QStringLiteral("  ")},
                                    {QStringLiteral("date_rec"), QDate(2026, 12, 8)},
                                    {QStringLiteral("summer"), QVariant()}}),
                          error))
        << error.toStdString();
    const auto rows = t.select({QDate(2026, 12, 8), QDate(2026, 12, 8), 0});
    error = rows.error();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1);
    const LocalRow &r = rows->front();
    EXPECT_EQ(r.size(), static_cast<qsizetype>(kSettingColumns.size()));
    EXPECT_EQ(r.value(QStringLiteral("c_number")), QVariant(1234.0));
    EXPECT_EQ(r.value(QStringLiteral("version")), QVariant(QStringLiteral("10.12")));
    EXPECT_EQ(r.value(QStringLiteral("c_time")), QVariant(QStringLiteral("10:15")));
    EXPECT_FALSE(r.value(QStringLiteral("time_rec")).isValid());
    EXPECT_FALSE(r.value(QStringLiteral("summer")).isValid());
    EXPECT_EQ(Noted(t.maxNumber(), error), QVariant(1234.0));
    EXPECT_EQ(Noted(t.rowCount(), error), 1);
}

TEST(MemoryLocalTable, RefusesUnknownColumnsAndWrongTypes)
{
    MemoryLocalTable t;
    QString error;
    EXPECT_TRUE(Succeeded(t.append({{QStringLiteral("no_such"), QVariant()}}), error));
    EXPECT_FALSE(Succeeded(t.append({{QStringLiteral("no_such"), 1}}), error));
    EXPECT_TRUE(error.contains(QStringLiteral("no_such")));
    EXPECT_FALSE(Succeeded(t.append({{QStringLiteral("c_date"), QStringLiteral("вчера")}}), error));
    EXPECT_EQ(t.rows.size(), 1);
}

TEST(MemoryLocalTable, FailsEveryOperationOnDemand)
{
    MemoryLocalTable t;
    t.failure = QStringLiteral("Setting.DBF: файл доступен только для чтения");
    QString error;
    EXPECT_FALSE(Succeeded(t.append({}), error));
    EXPECT_EQ(error, t.failure);
    EXPECT_FALSE(Succeeded(t.select({}), error));
    EXPECT_FALSE(Noted(t.maxNumber(), error));
    EXPECT_FALSE(Noted(t.latestDay(), error));
    EXPECT_FALSE(Noted(t.rowCount(), error));
    EXPECT_EQ(t.appendCalls, 1);
    EXPECT_TRUE(t.rows.isEmpty());
}

TEST(MemoryLocalTable, EmptyTable)
{
    MemoryLocalTable t;
    QString error;
    EXPECT_FALSE(Noted(t.maxNumber(), error)->isValid());
    EXPECT_FALSE(Noted(t.latestDay(), error)->date.isValid());
    EXPECT_EQ(Noted(t.rowCount(), error), 0);
}

} // namespace
} // namespace ordan
