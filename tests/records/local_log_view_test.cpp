// The page "База данных" as a model: the filter, the count, the two actions, the grid's
// columns and cells.
#include "records/local_log_view.h"
#include "records/local_table_memory.h"
#include "records/setting_table.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

LocalRow Row(int number, QDate day, QVariant summer = {})
{
    return {{S("c_number"), number}, {S("date_rec"), day}, {S("summer"), summer}, {S("time_rec"), S("10:15")}};
}

class LocalLogViewTest : public ::testing::Test {
protected:
    LocalLogViewTest()
    {
        // As the station starts in normal mode.
        open.setEnabled(true);
        close.setEnabled(false);
        QObject::connect(&view, &LocalLogView::activePageRequested, [this](int page) { pages.push_back(page); });
    }
    void seed()
    {
        table.rows = {Row(1234, QDate(2026, 12, 8), true), Row(77, QDate(2026, 12, 8)),
                      Row(1234, QDate(2026, 12, 7), false), Row(5, QDate(2026, 12, 9)),
                      LocalRow{{S("c_number"), 1234}}}; // no date_rec: never shown
    }

    QObject root;
    Action open{S("ActionOpen"), &root};
    Action close{S("ActionClose"), &root};
    MemoryLocalTable table;
    std::vector<QString> reported;
    std::vector<int> pages;
    LocalLogView view{table, open, close, QDate(2026, 12, 8), [this](const QString &e) { reported.push_back(e); }};
};

TEST_F(LocalLogViewTest, StartsClosedOnToday)
{
    EXPECT_EQ(view.DTP1.value(), QDate(2026, 12, 8));
    EXPECT_EQ(view.DTP2.value(), QDate(2026, 12, 8));
    EXPECT_EQ(view.SpinFilter.value(), 0);
    EXPECT_FALSE(view.isOpen());
    EXPECT_TRUE(view.rows().isEmpty());
    EXPECT_EQ(view.StatusBar2.value(), QString());
    EXPECT_EQ(view.SpinFilter.parent(), &view.Panel6);
    EXPECT_EQ(view.DTP2.parent(), &view.Panel6);
}

struct FilterCase {
    const char *name;
    QDate from;
    QDate to;
    int number;
    QList<int> numbers; // c_number of the rows shown, in stored order
};

class LocalLogFilter : public LocalLogViewTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(LocalLogFilter, ShowsTheRowsThatPass)
{
    const FilterCase &c = GetParam();
    seed();
    view.DTP1.edit(c.from);
    view.DTP2.edit(c.to);
    view.SpinFilter.edit(c.number);
    ASSERT_TRUE(open.execute());
    QList<int> shown;
    for (const LocalRow &r : view.rows())
        shown.append(r.value(S("c_number")).toInt());
    EXPECT_EQ(shown, c.numbers);
    EXPECT_EQ(view.StatusBar2.value(), S(" Записей: ") + QString::number(c.numbers.size()));
    EXPECT_TRUE(view.isOpen());
    EXPECT_FALSE(open.isEnabled());
    EXPECT_TRUE(close.isEnabled());
    EXPECT_EQ(pages, std::vector<int>{5});
}

INSTANTIATE_TEST_SUITE_P(
    Filters, LocalLogFilter,
    ::testing::Values(FilterCase{"oneDay", QDate(2026, 12, 8), QDate(2026, 12, 8), 0, {1234, 77}},
                      FilterCase{"oneDayOneNumber", QDate(2026, 12, 8), QDate(2026, 12, 8), 1234, {1234}},
                      FilterCase{"negativeNumberIsNoCondition", QDate(2026, 12, 8), QDate(2026, 12, 8), -5, {1234, 77}},
                      FilterCase{"range", QDate(2026, 12, 7), QDate(2026, 12, 9), 0, {1234, 77, 1234, 5}},
                      FilterCase{"rangeOneNumber", QDate(2026, 12, 1), QDate(2026, 12, 31), 1234, {1234, 1234}},
                      FilterCase{"unknownNumber", QDate(2026, 12, 1), QDate(2026, 12, 31), 4321, {}},
                      FilterCase{"fromAfterTo", QDate(2026, 12, 9), QDate(2026, 12, 7), 0, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LocalLogViewTest, AnEmptyTableShowsNoRecords)
{
    ASSERT_TRUE(open.execute());
    EXPECT_TRUE(view.isOpen());
    EXPECT_EQ(view.StatusBar2.value(), S(" Записей: 0"));
}

TEST_F(LocalLogViewTest, CloseClearsTheCountAndSwapsTheActions)
{
    seed();
    ASSERT_TRUE(open.execute());
    EXPECT_FALSE(open.execute()); // disabled while open
    ASSERT_TRUE(close.execute());
    EXPECT_FALSE(view.isOpen());
    EXPECT_TRUE(view.rows().isEmpty());
    EXPECT_EQ(view.StatusBar2.value(), QString());
    EXPECT_TRUE(open.isEnabled());
    EXPECT_FALSE(close.isEnabled());
    EXPECT_FALSE(close.execute()); // as the window closing finds it: nothing to do
}

struct ChangeCase {
    const char *name;
    std::function<void(LocalLogView &)> change;
};

class LocalLogFilterChange : public LocalLogViewTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(LocalLogFilterChange, ClosesTheView)
{
    seed();
    ASSERT_TRUE(open.execute());
    ASSERT_FALSE(view.rows().isEmpty());
    GetParam().change(view);
    EXPECT_FALSE(view.isOpen());
    EXPECT_TRUE(view.rows().isEmpty());
    EXPECT_EQ(view.StatusBar2.value(), QString());
    EXPECT_TRUE(open.isEnabled());
    EXPECT_FALSE(close.isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Controls, LocalLogFilterChange,
                         ::testing::Values(ChangeCase{"number", [](LocalLogView &v) { v.SpinFilter.edit(1234); }},
                                           ChangeCase{"from", [](LocalLogView &v) { v.DTP1.edit(QDate(2026, 12, 1)); }},
                                           ChangeCase{"to", [](LocalLogView &v) { v.DTP2.edit(QDate(2026, 12, 31)); }}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(LocalLogViewTest, FilterEditsWhileClosedLeaveTheActionsAlone)
{
    // Database mode disables ActionOpen; the hidden page's controls must not enable it.
    open.setEnabled(false);
    view.SpinFilter.edit(3);
    view.DTP1.edit(QDate(2026, 1, 1));
    EXPECT_FALSE(open.isEnabled());
    EXPECT_FALSE(close.isEnabled());
}

TEST_F(LocalLogViewTest, AnUnreadableTableIsReportedAndTheViewStaysClosed)
{
    seed();
    table.failure = S("Setting.DBF: файл не найден");
    EXPECT_TRUE(open.execute());
    EXPECT_EQ(reported, std::vector<QString>{S("Setting.DBF: файл не найден")});
    EXPECT_FALSE(view.isOpen());
    EXPECT_TRUE(open.isEnabled());
    EXPECT_FALSE(close.isEnabled());
    EXPECT_EQ(view.StatusBar2.value(), QString());
    EXPECT_TRUE(pages.empty());
}

TEST_F(LocalLogViewTest, TheTableIsReadAgainAtEveryOpening)
{
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(view.StatusBar2.value(), S(" Записей: 0"));
    ASSERT_TRUE(close.execute());
    seed();
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(view.StatusBar2.value(), S(" Записей: 2"));
}

// --- the grid ---

TEST(LocalLogGrid, HasTheTwentySixColumnsWithTheirTitles)
{
    QObject root;
    Action open{S("ActionOpen"), &root};
    Action close{S("ActionClose"), &root};
    MemoryLocalTable table;
    LocalLogView view{table, open, close, QDate(2026, 12, 8), [](const QString &) {}};
    LocalLogTableModel model(view);
    ASSERT_EQ(model.columnCount(), 26);
    const char *titles[] = {"Номер",       "Дата зап.", "Время зап.",  "Версия",    "Адрес",     "Время вкл.",
                            "Счет. корр.", "Дата",      "Время",       "Статус",    "Сброс",     "ДДМ A",
                            "ДДМ B",       "ДДМ C",     "Летн. время", "Коррекция", "Пароль",    "Индикатор",
                            "T1 (тек.)",   "T2 (тек.)", "T3 (тек.)",   "T1 (1-ое)", "T2 (1-ое)", "T3 (1-ое)",
                            "Расч. день",  "Расч. час"};
    for (int c = 0; c < 26; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), S(titles[c])) << c;
    EXPECT_EQ(model.resetColumn(), 10);
}

class LocalLogGridCells : public LocalLogViewTest {
protected:
    int column(const char16_t *name) const
    {
        for (int c = 0; c < static_cast<int>(kSettingViewColumns.size()); ++c)
            if (kSettingViewColumns[static_cast<size_t>(c)].name == std::u16string_view(name))
                return c;
        return -1;
    }
};

TEST_F(LocalLogGridCells, SumerCorrectIsCalculatedForEveryRow)
{
    seed();
    view.DTP1.edit(QDate(2026, 12, 7));
    ASSERT_TRUE(open.execute());
    const int sumer = column(kSumerCorrect);
    ASSERT_EQ(sumer, 14);
    ASSERT_EQ(view.rows().size(), 3);
    EXPECT_EQ(LocalLogCellText(view.rows()[0], sumer), S("да"));
    EXPECT_EQ(LocalLogCellText(view.rows()[1], sumer), QString()); // recorded without the clock
    EXPECT_FALSE(LocalLogCell(view.rows()[1], sumer).isValid());
    EXPECT_EQ(LocalLogCellText(view.rows()[2], sumer), S("нет"));
}

TEST_F(LocalLogGridCells, TheModelFollowsTheViewAndAllowsNoEditing)
{
    LocalLogTableModel model(view);
    seed();
    EXPECT_EQ(model.rowCount(), 0); // empty until opened
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(model.rowCount(), 2);
    const QModelIndex number = model.index(0, column(u"C_NUMBER"));
    EXPECT_EQ(model.data(number).toString(), S("1234"));
    EXPECT_FALSE(model.flags(number) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(number, 5));
    ASSERT_TRUE(close.execute());
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(LocalLogGridCells, NumbersAndDatesUseTheLocale)
{
    table.rows = {{{S("c_number"), 131071},
                   {S("date_rec"), QDate(2026, 12, 8)},
                   {S("t_1_c"), 1073741.824},
                   {S("t_2_c"), 0.00025},
                   {S("reset"), true},
                   {S("c_date"), QDate(2026, 3, 9)},
                   {S("c_time"), S("07:05")},
                   {S("indicator"), 5}},
                  {{S("c_number"), 2}, {S("date_rec"), QDate(2026, 12, 8)}, {S("reset"), false}}};
    ASSERT_TRUE(open.execute());
    LocalLogTableModel model(view);
    auto text = [&](int row, const char16_t *name) { return model.data(model.index(row, column(name))).toString(); };
    {
        const LocaleScope ru(QLocale(QLocale::Russian, QLocale::Russia));
        EXPECT_EQ(text(0, u"C_NUMBER"), S("131071"));
        EXPECT_EQ(text(0, u"T_1_C"), S("1073741,824"));
        EXPECT_EQ(text(0, u"T_2_C"), S("0,00025"));
        EXPECT_EQ(text(0, u"DATE_REC"), QLocale().toString(QDate(2026, 12, 8), QLocale::ShortFormat));
        EXPECT_EQ(text(0, u"C_TIME"), S("07:05"));
        EXPECT_EQ(text(0, u"INDICATOR"), S("5"));
        EXPECT_EQ(text(1, u"T_1_C"), QString());
        EXPECT_EQ(text(1, u"C_DATE"), QString());
    }
    {
        const LocaleScope c(QLocale::c());
        EXPECT_EQ(text(0, u"T_1_C"), S("1073741.824"));
    }
    const int reset = column(u"RESET");
    EXPECT_EQ(model.data(model.index(0, reset), Qt::CheckStateRole), QVariant(Qt::Checked));
    EXPECT_EQ(model.data(model.index(1, reset), Qt::CheckStateRole), QVariant(Qt::Unchecked));
    EXPECT_EQ(text(0, u"RESET"), QString());
}

} // namespace
} // namespace ordan::test
