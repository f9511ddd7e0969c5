// The settings row of a programming, read from the controls; no database.
#include "meter/meter_parameters.h"
#include "records/central_record.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);
const QLocale C(QLocale::C);

struct DecimalCase {
    const char *name;
    QString text;
    const QLocale *locale;
    std::optional<double> value;
};

class CentralShownDecimal : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(CentralShownDecimal, ReadsWhatTheStationShows)
{
    const DecimalCase &c = GetParam();
    const auto value = ShownDecimal(c.text, *c.locale);
    ASSERT_EQ(value.has_value(), c.value.has_value()) << c.name;
    if (value) {
        EXPECT_DOUBLE_EQ(*value, *c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, CentralShownDecimal,
                         ::testing::Values(DecimalCase{"RussianComma", u"0,50"_s, &Russian, 0.5},
                                           DecimalCase{"RussianNegative", u"-3,01"_s, &Russian, -3.01},
                                           DecimalCase{"RussianRejectsPoint", u"0.50"_s, &Russian, std::nullopt},
                                           DecimalCase{"CPoint", u"1.00"_s, &C, 1.0},
                                           DecimalCase{"CRejectsComma", u"1,00"_s, &C, std::nullopt},
                                           DecimalCase{"Exponent", u"1,2346e+06"_s, &Russian, 1234600.0},
                                           DecimalCase{"Reading", u"1203,08625"_s, &Russian, 1203.08625},
                                           DecimalCase{"Empty", QString(), &Russian, std::nullopt},
                                           DecimalCase{"Blank", u"  "_s, &Russian, std::nullopt},
                                           DecimalCase{"Word", u"нет"_s, &Russian, std::nullopt}),
                         [](const ::testing::TestParamInfo<DecimalCase> &info) {
                             return std::string(info.param.name);
                         });

class CentralRecordFromControls : public ::testing::Test {
protected:
    test::LocaleScope scope{Russian};
    Modes modes{3, true, false};
    MeterParameters p{modes};

    void readings(std::array<QString, 6> cells)
    {
        ReadingsGrid now = p.GridValue.value();
        ReadingsGrid billing = p.GridValue_1.value();
        for (int i = 0; i < 3; ++i) {
            now[i + 1][1] = cells[static_cast<size_t>(i)];
            billing[i + 1][1] = cells[static_cast<size_t>(i + 3)];
        }
        p.GridValue.set(now);
        p.GridValue_1.set(billing);
    }
};

TEST_F(CentralRecordFromControls, ReadingsStopAtTheFirstCellThatIsNoNumber)
{
    readings({u"1,00000"_s, u"x"_s, u"3,00000"_s, u"4,00000"_s, u"5,00000"_s, u"6,00000"_s});
    const OperationRecord r = OperationRecordFromControls(p, true);
    EXPECT_EQ(r.t_1_c, 1.0);
    EXPECT_FALSE(r.t_2_c || r.t_3_c || r.t_1_1 || r.t_2_1 || r.t_3_1);

    readings({u"1,00000"_s, u"2,00000"_s, u"3,00000"_s, u"4,00000"_s, u"5,00000"_s, u"6,25000"_s});
    EXPECT_EQ(OperationRecordFromControls(p, false).t_3_1, 6.25);
    // The sum row is not recorded.
    ReadingsGrid now = p.GridValue.value();
    now[4][1] = u"x"_s;
    p.GridValue.set(now);
    EXPECT_EQ(OperationRecordFromControls(p, false).t_3_1, 6.25);
}

TEST_F(CentralRecordFromControls, ReadValuesAreZeroWhenNoNumberAndDriftNullWhenEmpty)
{
    p.EditOff.set(u"12a"_s);
    p.LabeledNCorrect.set(QString());
    p.LabeledDelta.set(QString());
    p.StatusWord = -1; // the status view's "decode the next one" marker
    const OperationRecord r = OperationRecordFromControls(p, true);
    EXPECT_EQ(r.turn_on, 0);
    EXPECT_EQ(r.ncorrect, 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.secperday.has_value());
    EXPECT_FALSE(r.t_1_c.has_value());
}

TEST_F(CentralRecordFromControls, WithoutSettingsNothingSelectedIsTaken)
{
    for (BoolField *box :
         {&p.CheckAddr, &p.CheckShedule, &p.CheckIndi, &p.CheckDDM, &p.CheckPassword, &p.CheckTime, &p.CheckStatus})
        box->set(true);
    p.LabeledDelta.set(u"-0,75"_s);
    const OperationRecord r = OperationRecordFromControls(p, false);
    EXPECT_FALSE(r.reset);
    EXPECT_FALSE(r.address || r.indicator || r.pass || r.count_day || r.count_hour || r.ddm_a || r.date_time ||
                 r.summer);
    EXPECT_EQ(r.secperday, -0.75);
    const OperationRecord all = OperationRecordFromControls(p, true);
    EXPECT_TRUE(all.reset);
    EXPECT_TRUE(all.address && all.indicator && all.pass && all.count_day && all.ddm_c && all.date_time);
}

TEST_F(CentralRecordFromControls, PasswordThatIsNoNumberIsZero)
{
    p.CheckPassword.set(true);
    p.LabeledPass1.set(u"12x"_s);
    EXPECT_EQ(OperationRecordFromControls(p, true).pass, 0);
    p.LabeledPass1.set(u"65535"_s);
    EXPECT_EQ(OperationRecordFromControls(p, true).pass, 65535);
}

TEST(CentralIdentificationText, NamesWhatWasLookedUp)
{
    using M = Identification::Missing;
    EXPECT_EQ(IdentificationStopText(M::Computer, u"BENCH-9"_s, u"x"_s), u"Компьютер \"BENCH-9\" не описан в БД."_s);
    EXPECT_EQ(IdentificationStopText(M::Operator, u"x"_s, u"ivanov"_s), u"Пользователь \"ivanov\" не описан в БД."_s);
    EXPECT_EQ(IdentificationStopText(M::Operator, u"x"_s, QString()), u"Пользователь \"\" не описан в БД."_s);
    EXPECT_EQ(IdentificationStopText(M::Plant, u"x"_s, u"y"_s), u"Установка не описана в БД."_s);
    EXPECT_EQ(IdentificationStopText(M::None, u"x"_s, u"y"_s), QString());
}

} // namespace
} // namespace ordan
