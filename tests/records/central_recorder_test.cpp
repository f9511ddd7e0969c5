// The database workflows of the main window on a real server (PostgreSQL or SQLite).
#include "central_test_db.h"

#include "meter/meter_panel.h"
#include "schedule/schedule_model.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

using test::kPerson;
using test::kPlant;

const QString Stopped = u"Приложение остановлено"_s;
const QString RecordCaption = u"Ошибка записи в БД"_s;

class CentralRecorderTest : public test::CentralStationTest {
protected:
    // The station has identified itself and the meter 1001 is on the bench.
    void benchReady()
    {
        startStation();
        central().FormActivate();
        ASSERT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
        meter = db.registerMeter(1001);
        params().SpinEdit_Number.set(1001);
        params().LabeledVersion.set(u"10.3"_s);
        params().EditOff.set(u"123456"_s);
        params().LabeledNCorrect.set(u"7"_s);
        params().StatusWord = 0x0601;
    }

    int latestOperation() { return db.count(u"SELECT MAX(operation_id) FROM operation"_s); }

    int meter = 0;
};

using ORDAN_CENTRAL_SUITE(CentralRecorderTest) = CentralRecorderTest;
#define CENTRAL_TEST(name) TEST_F(ORDAN_CENTRAL_SUITE(CentralRecorderTest), name)

struct DriftCase {
    const char *name;
    QString shown; // LabeledDelta, Russian locale
    bool success;
    std::optional<double> stored;
};

void PrintTo(const DriftCase &c, std::ostream *os) { *os << c.name; }

class ORDAN_CENTRAL_SUITE(CentralDriftTest)
    : public CentralRecorderTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(ORDAN_CENTRAL_SUITE(CentralDriftTest), SuccessFollowsTheShownDrift)
{
    const DriftCase &c = GetParam();
    benchReady();
    params().LabeledDelta.set(c.shown);
    station().recordProgramming();
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
    const int op = latestOperation();
    ASSERT_NE(op, 0);
    const SqlRows o = db.run(u"SELECT * FROM operation WHERE operation_id = ?"_s, {op});
    EXPECT_EQ(o.value(0, u"success").toInt(), c.success ? 1 : 0);
    EXPECT_EQ(o.value(0, u"type_id").toInt(), 3);
    EXPECT_EQ(o.value(0, u"electro_id").toInt(), meter);
    EXPECT_EQ(o.value(0, u"plant_id").toInt(), kPlant);
    EXPECT_EQ(o.value(0, u"person_id").toInt(), kPerson);
    // The settings row is written whatever the verdict.
    const SqlRows k = db.run(u"SELECT secperday FROM set_ordan_klv WHERE operation_id = ?"_s, {op});
    ASSERT_EQ(k.rows.size(), 1u);
    if (c.stored)
        EXPECT_DOUBLE_EQ(k.scalar().toDouble(), *c.stored);
    else
        EXPECT_TRUE(k.scalar().isNull());
}

ORDAN_CENTRAL_INSTANTIATE(Drift, ORDAN_CENTRAL_SUITE(CentralDriftTest),
                          ::testing::Values(DriftCase{"ExactlyPlusOne", u"1,00"_s, true, 1.0},
                                            DriftCase{"ExactlyMinusThree", u"-3,00"_s, true, -3.0},
                                            DriftCase{"JustAbovePlusOne", u"1,01"_s, false, 1.01},
                                            DriftCase{"JustBelowMinusThree", u"-3,01"_s, false, -3.01},
                                            DriftCase{"Empty", QString(), true, std::nullopt},
                                            DriftCase{"NotANumber", u"1.00"_s, true,
                                                      std::nullopt}, // not the locale's separator
                                            DriftCase{"ExponentForm", u"1,2346e+06"_s, false, 1234600.0}),
                          [](const ::testing::TestParamInfo<DriftCase> &info) { return std::string(info.param.name); });

CENTRAL_TEST(ClockOnlyWriteNullsTheOtherSettings)
{
    benchReady();
    for (BoolField *box : {&params().CheckAddr, &params().CheckShedule, &params().CheckIndi, &params().CheckDDM,
                           &params().CheckPassword})
        box->set(false);
    params().CheckTime.set(true);
    params().CheckStatus.set(true);
    params().DatePicker.set(QDate(2026, 12, 8));
    params().TimePicker.set(QTime(10, 15, 30));
    params().CheckBoxClock.set(true);
    params().SpinNewAddr.set(5);
    station().recordProgramming();
    const int op = latestOperation();
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND address IS NULL AND "
                       "indicator IS NULL AND pass IS NULL AND count_day IS NULL AND count_hour IS NULL AND "
                       "ddm_a IS NULL AND ddm_b IS NULL AND ddm_c IS NULL AND correct IS NULL AND "
                       "t_1_c IS NULL AND t_3_1 IS NULL"_s,
                       {op}),
              1);
    const SqlRows k = db.run(u"SELECT * FROM set_ordan_klv WHERE operation_id = ?"_s, {op});
    ASSERT_EQ(k.rows.size(), 1u);
    EXPECT_EQ(k.value(0, u"reset").toInt(), 1);
    EXPECT_EQ(k.value(0, u"summer").toInt(), 1);
    EXPECT_EQ(k.value(0, u"date_time").toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    EXPECT_EQ(k.value(0, u"version").toString(), u"10.3"_s);
    EXPECT_EQ(k.value(0, u"turn_on").toInt(), 123456);
    EXPECT_EQ(k.value(0, u"status").toInt(), 0x0601);
    EXPECT_EQ(k.value(0, u"ncorrect").toInt(), 7);
}

CENTRAL_TEST(EverySelectedSettingIsRecorded)
{
    benchReady();
    for (BoolField *box : {&params().CheckAddr, &params().CheckShedule, &params().CheckIndi, &params().CheckDDM,
                           &params().CheckPassword, &params().CheckTime})
        box->set(true);
    params().SpinNewAddr.set(42);
    params().CheckBox1.set(true);
    params().CheckBox2.set(false);
    params().CheckBox3.set(true);
    params().CheckBox4.set(true);
    params().LabeledPass1.set(u"4321"_s);
    params().SpinDay.set(25);
    params().SpinHour.set(7);
    params().SpinEditA.set(100201);
    params().SpinEditB.set(2);
    params().SpinEditC.set(3);
    ReadingsGrid now = params().GridValue.value();
    now[1][1] = u"1,00000"_s;
    now[2][1] = u"2,50000"_s;
    now[3][1] = u"0,00025"_s;
    params().GridValue.set(now);
    ReadingsGrid billing = params().GridValue_1.value();
    billing[1][1] = u"100,00000"_s;
    billing[2][1] = u""_s; // not read: it and what follows stay null
    billing[3][1] = u"3,00000"_s;
    params().GridValue_1.set(billing);
    station().recordProgramming();
    const SqlRows k = db.run(u"SELECT * FROM set_ordan_klv WHERE operation_id = ?"_s, {latestOperation()});
    ASSERT_EQ(k.rows.size(), 1u);
    EXPECT_EQ(k.value(0, u"address").toInt(), 42);
    EXPECT_EQ(k.value(0, u"indicator").toInt(), 0b1101);
    EXPECT_EQ(k.value(0, u"pass").toInt(), 4321);
    EXPECT_EQ(k.value(0, u"count_day").toInt(), 25);
    EXPECT_EQ(k.value(0, u"count_hour").toInt(), 7);
    EXPECT_EQ(k.value(0, u"ddm_a").toInt(), 100201);
    EXPECT_EQ(k.value(0, u"ddm_c").toInt(), 3);
    EXPECT_EQ(k.value(0, u"reset").toInt(), 0);
    EXPECT_DOUBLE_EQ(k.value(0, u"t_1_c").toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(k.value(0, u"t_2_c").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(k.value(0, u"t_3_c").toDouble(), 0.00025);
    EXPECT_DOUBLE_EQ(k.value(0, u"t_1_1").toDouble(), 100.0);
    EXPECT_TRUE(k.value(0, u"t_2_1").isNull());
    EXPECT_TRUE(k.value(0, u"t_3_1").isNull());
}

CENTRAL_TEST(FixDbRecordsOnlyWhatWasReadAndLightsTheIndicator)
{
    benchReady();
    for (BoolField *box : {&params().CheckAddr, &params().CheckShedule, &params().CheckIndi, &params().CheckDDM,
                           &params().CheckPassword, &params().CheckTime, &params().CheckStatus})
        box->set(true);
    params().LabeledDelta.set(u"0,25"_s);
    station().setWriteActionsEnabled(true);
    ASSERT_TRUE(station().ActionFixDb.execute());
    EXPECT_EQ(spies->indicatorCalls, 1);
    EXPECT_EQ(station().panel().Shape1.value(), Indicator::Green);
    const int op = latestOperation();
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND reset = 0 AND "
                       "date_time IS NULL AND summer IS NULL AND address IS NULL AND pass IS NULL AND "
                       "indicator IS NULL AND count_day IS NULL AND count_hour IS NULL AND ddm_a IS NULL AND "
                       "ddm_b IS NULL AND ddm_c IS NULL AND correct IS NULL AND version = '10.3' AND "
                       "turn_on = 123456 AND status = 1537 AND ncorrect = 7 AND secperday = 0.25"_s,
                       {op}),
              1);
    EXPECT_EQ(db.count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {op}), 1);
}

CENTRAL_TEST(OpenDefectRefusesTheRecordingButNotFixDb)
{
    benchReady();
    ASSERT_TRUE(RegisterDefect(db.station(), StationIdentity{10, kPerson, kPlant}, meter, u"A7"_s).ok());
    const int before = db.count(u"SELECT COUNT(*) FROM operation"_s);
    station().recordProgramming();
    EXPECT_EQ(lastBox(), RecordCaption + u"|Прибор в ремонте.");
    EXPECT_EQ(rig.op.boxes.back().icon, BoxIcon::Error);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), before);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 0);

    station().setWriteActionsEnabled(true);
    ASSERT_TRUE(station().ActionFixDb.execute());
    EXPECT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 1);
    EXPECT_EQ(spies->indicatorCalls, 1);
}

CENTRAL_TEST(UnregisteredMeterIsRefusedByBoth)
{
    benchReady();
    params().SpinEdit_Number.set(1002);
    station().recordProgramming();
    EXPECT_EQ(lastBox(), RecordCaption + u"|Номер прибора не описан в БД. Установите его.");
    station().setWriteActionsEnabled(true);
    station().ActionFixDb.execute();
    EXPECT_EQ(rig.op.boxes.size(), 2u);
    EXPECT_EQ(lastBox(), RecordCaption + u"|Номер прибора не описан в БД. Установите его.");
    EXPECT_EQ(spies->indicatorCalls, 0);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 0);
}

CENTRAL_TEST(FailedSettingsInsertShowsTheMessageAndLeavesNeitherRow)
{
    benchReady();
    session->replace = [](const QString &s) {
        return s.startsWith(u"INSERT INTO set_ordan_klv"_s) ? test::BreakTable(u"set_ordan_klv"_s)(s) : s;
    };
    station().recordProgramming();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, u"Ошибка БД"_s);
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(u"Ошибка записи в БД: "_s));
    EXPECT_TRUE(rig.op.boxes[0].text.contains(u"no_such_table"_s, Qt::CaseInsensitive))
        << qPrintable(rig.op.boxes[0].text);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 0);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 0);
    session->replace = {};
    station().recordProgramming();
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 1);
}

CENTRAL_TEST(FixDbThatFailsToRecordLeavesTheIndicatorOut)
{
    benchReady();
    for (const QString &table : {u"operation"_s, u"set_ordan_klv"_s}) {
        session->replace = [table](const QString &s) {
            return s.startsWith(u"INSERT INTO "_s + table) ? test::BreakTable(table)(s) : s;
        };
        rig.op.boxes.clear();
        station().setWriteActionsEnabled(true);
        ASSERT_TRUE(station().ActionFixDb.execute());
        ASSERT_EQ(rig.op.boxes.size(), 1u) << qPrintable(table);
        EXPECT_EQ(rig.op.boxes[0].caption, u"Ошибка БД"_s);
        EXPECT_TRUE(rig.op.boxes[0].text.startsWith(u"Ошибка записи в БД: "_s));
        EXPECT_EQ(spies->indicatorCalls, 0) << qPrintable(table);
        EXPECT_NE(station().panel().Shape1.value(), Indicator::Green);
        EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 0);
    }
    session->replace = {};
    ASSERT_TRUE(station().ActionFixDb.execute());
    EXPECT_EQ(spies->indicatorCalls, 1);
    EXPECT_EQ(station().panel().Shape1.value(), Indicator::Green);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 1);
}

CENTRAL_TEST(CheckFailureIsReportedAndNothingRecorded)
{
    benchReady();
    session->replace = test::BreakTable(u"spoilage"_s);
    station().recordProgramming();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 0);
}

CENTRAL_TEST(PlusProposesTheNextUnprogrammedNumber)
{
    startStation();
    central().FormActivate();
    db.registerMeter(1001);
    db.registerMeter(1005);
    db.registerMeter(1010);
    db.registerMeter(1003, 17); // another family
    db.recordElsewhere(db.count(u"SELECT electro_id FROM electrometer WHERE number = 1001"_s));
    const auto plus = [&] {
        params().SpinEdit_Number.setMark(0);
        station().meter().parameters().BitBtn1.execute();
        EXPECT_EQ(params().SpinEdit_Number.mark(), 1) << "the next write programs the number";
        return params().SpinEdit_Number.value();
    };
    EXPECT_EQ(plus(), 1005);
    EXPECT_EQ(params().SpinNewAddr.value(), 5) << "the address follows the number in database mode";
    station().recordProgramming();
    EXPECT_EQ(plus(), 1010);
    station().recordProgramming();
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
    // A number the meter cannot hold is passed over; with nothing left the number stays.
    db.registerMeter(140000);
    params().BitBtn1.execute();
    EXPECT_EQ(params().SpinEdit_Number.value(), 1010);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, NoNumberText(NumberProposal{0, true, 0}));
}

CENTRAL_TEST(AWriteOfANumberProgrammedElsewhereSinceItsProposalIsRefused)
{
    startStation();
    central().FormActivate();
    const int electro = db.registerMeter(1005);
    db.registerMeter(1006);
    params().BitBtn1.execute();
    ASSERT_EQ(params().SpinEdit_Number.value(), 1005);
    const auto clearedToWrite = [&](int number) {
        bool proceed = false;
        station().meter().hooks.prepareSettingsWrite(number, [&](bool go) { proceed = go; });
        return proceed;
    };
    EXPECT_TRUE(clearedToWrite(1005));
    db.recordElsewhere(electro);
    EXPECT_FALSE(clearedToWrite(1005));
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, NumberWriteRefusalText(1005, NumberWriteCheck::Verdict::ProgrammedElsewhere));
    // A number typed by hand is a meter programmed again: refused only while another holds it.
    EXPECT_TRUE(clearedToWrite(1006));
}

CENTRAL_TEST(PlusFailureIsReportedAndTheNumberStays)
{
    startStation();
    params().SpinEdit_Number.set(77);
    session->replace = test::BreakTable(u"electrometer"_s);
    params().BitBtn1.execute();
    EXPECT_EQ(params().SpinEdit_Number.value(), 77);
    EXPECT_EQ(params().SpinEdit_Number.mark(), 0);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
}

CENTRAL_TEST(LastClockSetComesFromTheLatestRecordedClock)
{
    startStation();
    const int m = db.registerMeter(1001);
    OperationRecord clock;
    clock.date_time = QDateTime(QDate(2026, 11, 28), QTime(9, 0, 0));
    db.recordElsewhere(m, clock);
    db.recordElsewhere(m, {});
    // The answer is kept while its number is shown.
    const auto lookUp = [&](int number) {
        params().SpinEdit_Number.set(number);
        params().LastClockSet = QDateTime();
        station().meter().hooks.lastClockSet(number);
        return params().LastClockSet;
    };
    EXPECT_EQ(lookUp(1001), QDateTime(QDate(2026, 11, 28), QTime(9, 0, 0)));
    EXPECT_FALSE(lookUp(1002).isValid());
    params().SpinEdit_Number.set(1003);
    station().meter().hooks.lastClockSet(1001);
    EXPECT_FALSE(params().LastClockSet.isValid()) << "a late answer for another meter is dropped";
    session->replace = test::BreakTable(u"set_ordan_klv"_s);
    EXPECT_FALSE(lookUp(1001).isValid());
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
}

CENTRAL_TEST(EmptySiblingTableLeavesSingleTariffAndTheDesignValues)
{
    startStation();
    EXPECT_TRUE(station().schedule().CheckOneTarif.value());
    EXPECT_EQ(params().LabeledPass1.value(), u"1"_s);
    EXPECT_FALSE(params().CheckBox1.value());
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
}

CENTRAL_TEST(DefaultsComeFromTheLatestSiblingRows)
{
    const int m = db.registerMeter(1001);
    const auto operation = [&] {
        db.run(u"INSERT INTO operation(type_id,electro_id,plant_id,person_id,success) VALUES(3,?,31,21,1)"_s, {m});
        return db.count(u"SELECT MAX(operation_id) FROM operation"_s);
    };
    const QDate day(2026, 1, 1);
    db.run(u"INSERT INTO set_ordan_tg(operation_id,zone_0,zone_1,zone_2,zone_3,zone_4,zone_5,time_0,time_1,"
           "time_2,pass) VALUES(?,1,2,3,2,NULL,1,?,?,NULL,1111)"_s,
           {operation(), QDateTime(day, QTime(0, 0)), QDateTime(day, QTime(7, 0))});
    db.run(u"INSERT INTO set_ordan_tg(operation_id,indicator) VALUES(?,10)"_s, {operation()});
    startStation();
    const ScheduleModel &s = station().schedule();
    EXPECT_FALSE(s.CheckOneTarif.value());
    EXPECT_EQ(s.ValueListEditor1.value()[0], u"1"_s);
    EXPECT_EQ(s.ValueListEditor1.value()[1], u"2"_s);
    EXPECT_EQ(s.ValueListEditor1.value()[4], QString());
    EXPECT_EQ(s.picker(1).value(), QTime(7, 0));
    EXPECT_EQ(s.picker(2).value(), QTime(0, 0));
    EXPECT_EQ(params().LabeledPass1.value(), u"1111"_s);
    EXPECT_FALSE(params().CheckBox1.value());
    EXPECT_TRUE(params().CheckBox2.value());
    EXPECT_FALSE(params().CheckBox3.value());
    EXPECT_TRUE(params().CheckBox4.value());
}

CENTRAL_TEST(UnreachableDefaultsEndTheStartAfterTheReport)
{
    session->replace = test::BreakTable(u"set_ordan_tg"_s);
    startStation();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    std::optional<bool> loaded;
    central().LoadRecordDefaults([&](bool ok) { loaded = ok; });
    EXPECT_EQ(loaded, false);
}

struct IdentityCase {
    const char *name;
    const char *rows; // run before the activation, one a line
    QString computer;
    QString login;
    QString message; // empty: identified
    StationIdentity ids;
};

void PrintTo(const IdentityCase &c, std::ostream *os) { *os << c.name; }

class ORDAN_CENTRAL_SUITE(CentralIdentityTest)
    : public CentralRecorderTest, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(ORDAN_CENTRAL_SUITE(CentralIdentityTest), ActivationIdentifiesOrStops)
{
    const IdentityCase &c = GetParam();
    for (const QString &statement : QString::fromUtf8(c.rows).split(u'\n', Qt::SkipEmptyParts))
        db.run(statement);
    rig.facts.computer = c.computer;
    rig.facts.login = c.login;
    startStation();
    central().FormActivate();
    EXPECT_EQ(central().identity(), c.ids);
    if (c.message.isEmpty()) {
        EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
        EXPECT_EQ(rig.facts.clockSets.size(), test::ClockSetsPerSync()) << "the clock follows the server";
        EXPECT_FALSE(central().ending());
        return;
    }
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, c.message);
    EXPECT_EQ(rig.op.boxes[0].caption, Stopped);
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Warning);
    EXPECT_TRUE(rig.facts.clockSets.empty());
    EXPECT_TRUE(central().ending());
    EXPECT_EQ(spies->endProgramCalls, 0) << "the program ends once the message is dismissed";
    // Activations while the message is up do nothing.
    const int statements = session->statements;
    central().FormActivate();
    EXPECT_EQ(session->statements, statements);
    rig.op.closeBox();
    EXPECT_EQ(spies->endProgramCalls, 1);
    EXPECT_EQ(rig.op.boxes.size(), 1u);
}

ORDAN_CENTRAL_INSTANTIATE(
    Identity, ORDAN_CENTRAL_SUITE(CentralIdentityTest),
    ::testing::Values(
        IdentityCase{"Complete", "", u"BENCH-1"_s, u"operator"_s, {}, {10, 20, 30}},
        IdentityCase{
            "UnknownComputer", "", u"BENCH-9"_s, u"operator"_s, u"Компьютер \"BENCH-9\" не описан в БД."_s, {0, 0, 0}},
        IdentityCase{
            "UnknownLogin", "", u"BENCH-1"_s, u"sidorov"_s, u"Пользователь \"sidorov\" не описан в БД."_s, {10, 0, 0}},
        IdentityCase{"OperatorNotOperating",
                     "INSERT INTO operator(person_id,login,operating) VALUES(22,'sidorov',0)",
                     u"BENCH-1"_s,
                     u"sidorov"_s,
                     u"Пользователь \"sidorov\" не описан в БД."_s,
                     {10, 0, 0}},
        IdentityCase{"PlantOfAnotherType",
                     "INSERT INTO computer(computer_id,name) VALUES(12,'BENCH-3')\n"
                     "INSERT INTO plant(plant_id,type_id,computer_id) VALUES(32,2,12)",
                     u"BENCH-3"_s,
                     u"operator"_s,
                     u"Установка не описана в БД."_s,
                     {12, 20, 0}},
        IdentityCase{"LongLoginIsReadWhole",
                     "INSERT INTO operator(person_id,login,operating) VALUES(24,'a.very.long.login.name',1)\n"
                     "INSERT INTO operator(person_id,login,operating) VALUES(25,'a.very.long.logi',1)",
                     u"BENCH-1"_s,
                     u"a.very.long.login.name"_s,
                     {},
                     {10, 24, 30}},
        IdentityCase{"SeveralComputersTakeTheFirst",
                     "INSERT INTO computer(computer_id,name) VALUES(12,'BENCH-1')",
                     u"BENCH-1"_s,
                     u"operator"_s,
                     {},
                     {10, 20, 30}},
        IdentityCase{"SeveralOperatorsTakeTheFirst",
                     "INSERT INTO operator(person_id,login,operating) VALUES(27,'operator',1)",
                     u"BENCH-1"_s,
                     u"operator"_s,
                     {},
                     {10, 20, 30}},
        IdentityCase{"SeveralPlantsTakeTheFirst",
                     "INSERT INTO plant(plant_id,type_id,computer_id) VALUES(33,3,10)",
                     u"BENCH-1"_s,
                     u"operator"_s,
                     {},
                     {10, 20, 30}}),
    [](const ::testing::TestParamInfo<IdentityCase> &info) { return std::string(info.param.name); });

CENTRAL_TEST(ClockIsSetFromTheServer)
{
    startStation();
    // The server's session keeps another zone than the station's: the instant is what counts.
    if (test::BackendDialect() == SqlDialect::PostgreSql) {
        ASSERT_TRUE(session->exec(u"SET TIME ZONE 'Asia/Kamchatka'"_s, {}));
    }
    // On the embedded database the server is this computer: its clock is left alone.
    const size_t perSync = ServerIsThisComputer(test::BackendDialect()) ? 0 : 1;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    central().FormActivate();
    ASSERT_EQ(rig.facts.clockSets.size(), perSync);
    if (perSync) {
        EXPECT_GE(rig.facts.clockSets[0], before);
        EXPECT_LE(rig.facts.clockSets[0], QDateTime::currentDateTime().addSecs(2));
        EXPECT_EQ(rig.facts.clockSets[0].timeSpec(), Qt::LocalTime);
    }
    // Every activation does it all again, for instance when the defect window closes.
    central().FormActivate();
    EXPECT_EQ(rig.facts.clockSets.size(), 2 * perSync);
    // And the settings write asks for it before it queues anything.
    std::optional<bool> proceed;
    station().meter().hooks.prepareSettingsWrite(0, [&](bool go) { proceed = go; });
    EXPECT_EQ(proceed, true);
    EXPECT_EQ(rig.facts.clockSets.size(), 3 * perSync);
}

CENTRAL_TEST(DatabaseErrorInIdentificationIsReportedAndRetriedAtTheNextActivation)
{
    startStation();
    central().FormActivate();
    const StationIdentity known = central().identity();
    session->replace = test::BreakTable(u"operator"_s);
    central().FormActivate();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(central().identity(), known) << "the ids keep their values";
    EXPECT_FALSE(central().ending());
    EXPECT_EQ(rig.facts.clockSets.size(), test::ClockSetsPerSync());
    // The report's box hands the activation back when it closes: that one is not a retry,
    // or an unreachable server would bring the box back for ever.
    rig.op.closeBox();
    central().FormActivate();
    EXPECT_EQ(rig.op.boxes.size(), 1u);
    session->replace = {};
    central().FormActivate();
    EXPECT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.facts.clockSets.size(), 2 * test::ClockSetsPerSync());
}

CENTRAL_TEST(ClockErrorIsReportedAndTheClockStays)
{
    if (test::ClockSetsPerSync() == 0)
        GTEST_SKIP() << "the embedded database's clock is this computer's and is not read";
    startStation();
    session->replace = [](const QString &s) {
        return s == ServerTimeStatement(test::BackendDialect()) ? u"SELECT nosuchfunction()"_s : s;
    };
    central().FormActivate();
    EXPECT_EQ(central().identity(), (StationIdentity{10, 20, 30}));
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_TRUE(rig.facts.clockSets.empty());
    std::optional<bool> proceed;
    station().meter().hooks.prepareSettingsWrite(0, [&](bool go) { proceed = go; });
    EXPECT_EQ(proceed, false);
    EXPECT_EQ(rig.op.boxes.size(), 2u) << "the write's clock failure is reported too";
}

CENTRAL_TEST(RecordingAfterAFailedIdentificationIdentifiesFirst)
{
    startStation();
    session->replace = test::BreakTable(u"computer"_s);
    central().FormActivate();
    rig.op.closeBox();
    session->replace = {};
    const int m = db.registerMeter(1001);
    params().SpinEdit_Number.set(1001);
    station().recordProgramming();
    EXPECT_EQ(rig.op.boxes.size(), 1u) << qPrintable(lastBox());
    EXPECT_EQ(
        db.count(u"SELECT COUNT(*) FROM operation WHERE plant_id = 30 AND person_id = 20 AND electro_id = ?"_s, {m}),
        1);
}

CENTRAL_TEST(NormalModeSendsNothing)
{
    startStation(false);
    central().FormActivate();
    station().ActionSpoilage.execute();
    EXPECT_EQ(session->statements, 0);
    EXPECT_TRUE(rig.facts.clockSets.empty());
    EXPECT_TRUE(rig.op.boxes.empty());
    EXPECT_FALSE(station().ActionSpoilage.isEnabled());
}

} // namespace
} // namespace ordan
