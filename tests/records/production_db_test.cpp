// The production database statements on a real server: PostgreSQL or SQLite, chosen by the
// executable (see production_test_backend.h); the same cases run on both.
#include "production_db_fixture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

using test::BackendDialect;
using test::InterceptingSession;
using test::OtherPerson;
using test::OtherPlant;
using test::OtherStation;
using test::Person;
using test::Plant;
using test::ProductionDbTest;
using test::Station;

TEST_F(ProductionDbTest, ConnectionOpensOnFirstStatementAndReportsItsDialect)
{
    EXPECT_TRUE(QSqlDatabase::connectionNames().contains(u"Database1"_s));
    EXPECT_FALSE(db_->isOpen());
    ASSERT_TRUE(FindComputer(*db_, u"BENCH-1"_s).ok());
    EXPECT_TRUE(db_->isOpen());
    EXPECT_EQ(db_->dialect(), BackendDialect());
}

TEST_F(ProductionDbTest, UnreachableDataSourceGivesTheDriversError)
{
    OdbcSqlSession nowhere(u"NoSuchDataSource"_s, u"Nowhere"_s);
    const auto found = FindComputer(nowhere, u"BENCH-1"_s);
    ASSERT_FALSE(found.ok());
    EXPECT_FALSE(found.error().isEmpty());
    EXPECT_FALSE(nowhere.dialect().has_value());
}

struct IdentificationCase {
    const char *name;
    const char *extraRows; // statements run before the identification, one a line
    QString computer;
    QString login;
    StationIdentity expected;
    Identification::Missing missing;
};

// Names, not bytes, in the listing ctest registers.
void PrintTo(const IdentificationCase &c, std::ostream *os) { *os << c.name; }

class IdentificationTest : public ProductionDbTest, public ::testing::WithParamInterface<IdentificationCase> {};

TEST_P(IdentificationTest, FollowsTheRules)
{
    const IdentificationCase &c = GetParam();
    for (const QString &statement : QString::fromUtf8(c.extraRows).split(u'\n', Qt::SkipEmptyParts))
        run(statement);
    const auto found = IdentifyWorkstation(*db_, c.computer, c.login);
    ASSERT_TRUE(found.ok()) << qPrintable(found.error());
    EXPECT_EQ(found->missing, c.missing);
    EXPECT_EQ(found->ids.computer_id, c.expected.computer_id);
    EXPECT_EQ(found->ids.person_id, c.expected.person_id);
    EXPECT_EQ(found->ids.plant_id, c.expected.plant_id);
}

using Missing = Identification::Missing;
ORDAN_INSTANTIATE(
    IdentificationTest,
    ::testing::Values(
        IdentificationCase{"Complete", "", u"BENCH-1"_s, u"ivanov"_s, {10, 20, 30}, Missing::None},
        IdentificationCase{"UnknownComputer", "", u"BENCH-9"_s, u"ivanov"_s, {0, 0, 0}, Missing::Computer},
        IdentificationCase{"NameIsMatchedWhole", "", u"BENCH"_s, u"ivanov"_s, {0, 0, 0}, Missing::Computer},
        IdentificationCase{"UnknownLogin", "", u"BENCH-1"_s, u"sidorov"_s, {10, 0, 0}, Missing::Operator},
        IdentificationCase{"OperatorNotOperating",
                           "INSERT INTO operator(person_id,login,operating) VALUES(22,'sidorov',0)",
                           u"BENCH-1"_s,
                           u"sidorov"_s,
                           {10, 0, 0},
                           Missing::Operator},
        IdentificationCase{"OperatorOperatingTwo",
                           "INSERT INTO operator(person_id,login,operating) VALUES(22,'sidorov',2)",
                           u"BENCH-1"_s,
                           u"sidorov"_s,
                           {10, 0, 0},
                           Missing::Operator},
        IdentificationCase{"OnlyTheOperatingRowCounts",
                           "INSERT INTO operator(person_id,login,operating) VALUES(22,'sidorov',0)\n"
                           "INSERT INTO operator(person_id,login,operating) VALUES(23,'sidorov',1)",
                           u"BENCH-1"_s,
                           u"sidorov"_s,
                           {10, 23, 30},
                           Missing::None},
        IdentificationCase{"LongLoginIsReadWhole",
                           "INSERT INTO operator(person_id,login,operating) VALUES(24,'a.very.long.login.name',1)\n"
                           "INSERT INTO operator(person_id,login,operating) VALUES(25,'a.very.long.logi',1)",
                           u"BENCH-1"_s,
                           u"a.very.long.login.name"_s,
                           {10, 24, 30},
                           Missing::None},
        IdentificationCase{"CyrillicNames",
                           "INSERT INTO computer(computer_id,name) VALUES(12,'СТЕНД-3')\n"
                           "INSERT INTO operator(person_id,login,operating) VALUES(26,'Иванов',1)\n"
                           "INSERT INTO plant(plant_id,type_id,computer_id) VALUES(32,3,12)",
                           u"СТЕНД-3"_s,
                           u"Иванов"_s,
                           {12, 26, 32},
                           Missing::None},
        IdentificationCase{"PlantOfAnotherType",
                           "INSERT INTO computer(computer_id,name) VALUES(12,'BENCH-3')\n"
                           "INSERT INTO plant(plant_id,type_id,computer_id) VALUES(32,2,12)",
                           u"BENCH-3"_s,
                           u"ivanov"_s,
                           {12, 20, 0},
                           Missing::Plant},
        IdentificationCase{"SeveralComputersTakeTheFirst",
                           "INSERT INTO computer(computer_id,name) VALUES(12,'BENCH-1')",
                           u"BENCH-1"_s,
                           u"ivanov"_s,
                           {10, 20, 30},
                           Missing::None},
        IdentificationCase{"SeveralOperatorsTakeTheFirst",
                           "INSERT INTO operator(person_id,login,operating) VALUES(27,'ivanov',1)",
                           u"BENCH-1"_s,
                           u"ivanov"_s,
                           {10, 20, 30},
                           Missing::None},
        IdentificationCase{"SeveralPlantsTakeTheFirst",
                           "INSERT INTO plant(plant_id,type_id,computer_id) VALUES(33,3,10)",
                           u"BENCH-1"_s,
                           u"ivanov"_s,
                           {10, 20, 30},
                           Missing::None},
        IdentificationCase{"QuotesAreData",
                           "INSERT INTO operator(person_id,login,operating) VALUES(28,'o''neil;--',1)",
                           u"BENCH-1"_s,
                           u"o'neil;--"_s,
                           {10, 28, 30},
                           Missing::None},
        IdentificationCase{
            "InjectionFindsNothing", "", u"BENCH-1"_s, u"x' OR '1'='1"_s, {10, 0, 0}, Missing::Operator}),
    [](const ::testing::TestParamInfo<IdentificationCase> &info) { return std::string(info.param.name); });

TEST_F(ProductionDbTest, ServerClockIsRead)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    const auto now = ReadServerTime(*db_);
    ASSERT_TRUE(now.ok()) << qPrintable(now.error());
    // The test server runs on this machine, in its time zone.
    EXPECT_GE(*now, before);
    EXPECT_LE(*now, QDateTime::currentDateTime().addSecs(60));
}

// The instant, not the wall time of the session's zone (twelve hours off UTC), with milliseconds.
TEST_F(ProductionDbTest, ServerClockIsTheUtcInstantWithMilliseconds)
{
    if (BackendDialect() == SqlDialect::PostgreSql) {
        EXPECT_TRUE(db_->exec(u"SET TIME ZONE 'Asia/Kamchatka'"_s).has_value());
    }
    int fractions = 0;
    for (int read = 0; read < 3; ++read) {
        const QDateTime now = ReadServerTime(*db_).value();
        EXPECT_LE(std::abs(now.msecsTo(QDateTime::currentDateTimeUtc())), 1000) << qPrintable(now.toString());
        fractions += now.time().msec() != 0 && now.timeSpec() == Qt::UTC;
    }
    EXPECT_GE(fractions, 2);
    EXPECT_EQ(ServerIsThisComputer(BackendDialect()), BackendDialect() == SqlDialect::Sqlite);
}

struct DriftCase {
    const char *name;
    std::optional<double> drift;
    bool success;
};

void PrintTo(const DriftCase &c, std::ostream *os) { *os << c.name; }

class DriftTest : public ProductionDbTest, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(DriftTest, DecidesSuccessAndIsStored)
{
    const DriftCase &c = GetParam();
    const int meter = registerMeter(1001);
    OperationRecord r;
    r.version = u"9.12"_s;
    r.secperday = c.drift;
    const int id = record(meter, r);
    ASSERT_NE(id, 0);
    const SqlRows op =
        run(u"SELECT success, type_id, electro_id, plant_id, person_id FROM operation WHERE operation_id = ?"_s, {id});
    ASSERT_EQ(op.rows.size(), 1u);
    EXPECT_EQ(op.value(0, u"success").toInt(), c.success ? 1 : 0);
    EXPECT_EQ(op.value(0, u"type_id").toInt(), 3);
    EXPECT_EQ(op.value(0, u"electro_id").toInt(), meter);
    EXPECT_EQ(op.value(0, u"plant_id").toInt(), Plant);
    EXPECT_EQ(op.value(0, u"person_id").toInt(), Person);
    // The settings row is written whatever the verdict.
    const SqlRows row = run(u"SELECT secperday FROM set_ordan_klv WHERE operation_id = ?"_s, {id});
    ASSERT_EQ(row.rows.size(), 1u);
    if (c.drift)
        EXPECT_DOUBLE_EQ(row.scalar().toDouble(), *c.drift);
    else
        EXPECT_TRUE(row.scalar().isNull());
}

ORDAN_INSTANTIATE(DriftTest,
                  ::testing::Values(DriftCase{"PlusOne", 1.0, true}, DriftCase{"MinusThree", -3.0, true},
                                    DriftCase{"JustAbovePlusOne", 1.01, false},
                                    DriftCase{"JustBelowMinusThree", -3.01, false}, DriftCase{"Zero", 0.0, true},
                                    DriftCase{"FarAhead", 250.5, false}, DriftCase{"Unknown", std::nullopt, true}),
                  [](const ::testing::TestParamInfo<DriftCase> &info) { return std::string(info.param.name); });

TEST_F(ProductionDbTest, EveryWrittenSettingIsStored)
{
    const int meter = registerMeter(1001);
    OperationRecord r;
    r.version = u"10.3"_s;
    r.turn_on = 123456;
    r.status = 0x8001;
    r.ncorrect = 7;
    r.t_1_c = 1.25;
    r.t_2_c = 2.5;
    r.t_3_c = 0.00025;
    r.t_1_1 = 100.0;
    r.t_2_1 = 200.75;
    r.t_3_1 = 0.0;
    r.address = 5;
    r.indicator = 0b1011;
    r.date_time = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30));
    r.summer = true;
    r.pass = 4321;
    r.reset = true;
    r.count_day = 1;
    r.count_hour = 23;
    r.ddm_a = 16777215;
    r.ddm_b = 2;
    r.ddm_c = 3;
    r.secperday = -0.5;
    const int id = record(meter, r);
    const SqlRows row = run(u"SELECT * FROM set_ordan_klv WHERE operation_id = ?"_s, {id});
    ASSERT_EQ(row.rows.size(), 1u);
    EXPECT_EQ(row.value(0, u"version").toString(), u"10.3"_s);
    EXPECT_EQ(row.value(0, u"turn_on").toInt(), 123456);
    EXPECT_EQ(row.value(0, u"status").toInt(), 0x8001);
    EXPECT_EQ(row.value(0, u"ncorrect").toInt(), 7);
    EXPECT_DOUBLE_EQ(row.value(0, u"t_1_c").toDouble(), 1.25);
    EXPECT_DOUBLE_EQ(row.value(0, u"t_2_c").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(row.value(0, u"t_3_c").toDouble(), 0.00025);
    EXPECT_DOUBLE_EQ(row.value(0, u"t_1_1").toDouble(), 100.0);
    EXPECT_DOUBLE_EQ(row.value(0, u"t_2_1").toDouble(), 200.75);
    EXPECT_FALSE(row.value(0, u"t_3_1").isNull());
    EXPECT_EQ(row.value(0, u"address").toInt(), 5);
    EXPECT_EQ(row.value(0, u"indicator").toInt(), 0b1011);
    EXPECT_EQ(row.value(0, u"date_time").toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    EXPECT_EQ(row.value(0, u"summer").toInt(), 1);
    EXPECT_EQ(row.value(0, u"pass").toInt(), 4321);
    EXPECT_EQ(row.value(0, u"reset").toInt(), 1);
    EXPECT_EQ(row.value(0, u"count_day").toInt(), 1);
    EXPECT_EQ(row.value(0, u"count_hour").toInt(), 23);
    EXPECT_EQ(row.value(0, u"ddm_a").toInt(), 16777215);
    EXPECT_EQ(row.value(0, u"ddm_b").toInt(), 2);
    EXPECT_EQ(row.value(0, u"ddm_c").toInt(), 3);
    EXPECT_DOUBLE_EQ(row.value(0, u"secperday").toDouble(), -0.5);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND correct IS NULL"_s, {id}), 1);
}

// Nulls are checked by the server, not by how a driver renders them.
TEST_F(ProductionDbTest, ClockOnlyWriteLeavesTheOtherSettingsNull)
{
    const int meter = registerMeter(1001);
    OperationRecord r;
    r.version = u"10.3"_s;
    r.date_time = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 0));
    r.summer = false;
    r.reset = true;
    r.t_1_c = 5.0; // readings stop at the first cell that is not a number
    const int id = record(meter, r);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND address IS NULL AND "
                    "indicator IS NULL AND pass IS NULL AND count_day IS NULL AND count_hour IS NULL AND "
                    "ddm_a IS NULL AND ddm_b IS NULL AND ddm_c IS NULL AND correct IS NULL AND "
                    "secperday IS NULL AND t_2_c IS NULL AND t_3_c IS NULL AND t_1_1 IS NULL AND "
                    "t_2_1 IS NULL AND t_3_1 IS NULL"_s,
                    {id}),
              1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND summer = 0 AND reset = 1 "
                    "AND NOT date_time IS NULL AND t_1_c = 5 AND turn_on = 0 AND status = 0 AND ncorrect = 0"_s,
                    {id}),
              1);
}

TEST_F(ProductionDbTest, RecordWithoutSettingsFillsOnlyWhatWasRead)
{
    const int meter = registerMeter(1001);
    OperationRecord r; // what "Зафиксировать в БД" records
    r.version = QString();
    r.turn_on = 99;
    r.secperday = 0.25;
    const int id = record(meter, r);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ? AND reset = 0 AND "
                    "date_time IS NULL AND summer IS NULL AND address IS NULL AND pass IS NULL AND "
                    "version = '' AND turn_on = 99"_s,
                    {id}),
              1);
}

TEST_F(ProductionDbTest, NewOperationIdIsReadBackPerWorkPlace)
{
    const int meter = registerMeter(1001);
    const int first = record(meter);
    const int other = record(meter, {}, OtherStation);
    const int second = record(meter);
    EXPECT_LT(first, other);
    EXPECT_LT(other, second);
    EXPECT_EQ(count(u"SELECT plant_id FROM operation WHERE operation_id = ?"_s, {other}), OtherPlant);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 3);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv k JOIN operation o ON o.operation_id = k.operation_id"_s), 3);
}

// The settings insert or the COMMIT itself fails: the failure comes back with the database's
// text, neither row stays, and the connection is back in autocommit.
TEST_F(ProductionDbTest, FailingSettingsInsertOrCommitLeavesNeitherRow)
{
    const int meter = registerMeter(1001);
    for (const bool atCommit : {false, true}) {
        InterceptingSession failing(*db_);
        if (atCommit)
            failing.commitError = u"commit refused: disk full"_s;
        else
            failing.replace = [](const QString &statement) {
                return statement.startsWith(u"INSERT INTO set_ordan_klv"_s)
                           ? QString(statement).replace(u"set_ordan_klv"_s, u"no_such_table"_s)
                           : statement;
            };
        const auto result = RecordOperation(failing, Station, meter, {});
        ASSERT_FALSE(result.ok()) << atCommit;
        EXPECT_TRUE(result.error().contains(atCommit ? u"commit refused"_s : u"no_such_table"_s, Qt::CaseInsensitive))
            << qPrintable(result.error());
        EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 0);
        EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 0);
    }
    // Later statements take effect on their own.
    EXPECT_NE(record(meter), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 1);
}

TEST_F(ProductionDbTest, OperationForUnknownStationIsRefusedAndRolledBack)
{
    const int meter = registerMeter(1001);
    const auto result = RecordOperation(*db_, StationIdentity{}, meter, {});
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error().isEmpty());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 0);
}

#if defined(ORDAN_TEST_POSTGRESQL)
TEST_F(ProductionDbTest, ConnectionKilledBetweenTheInsertsLeavesNothingAndRecovers)
{
    const int meter = registerMeter(1001);
    const int pid = [&] {
        const auto rows = db_->exec(u"SELECT pg_backend_pid()"_s);
        return rows ? rows->scalar().toInt() : 0;
    }();
    ASSERT_NE(pid, 0);
    InterceptingSession killing(*db_);
    killing.before = [&](const QString &statement) {
        if (statement.startsWith(u"INSERT INTO set_ordan_klv"_s)) {
            EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 0); // not yet committed
            EXPECT_TRUE(run(u"SELECT pg_terminate_backend(?)"_s, {pid}).scalar().toBool());
            // The server ends the backend asynchronously; wait until it is gone.
            QElapsedTimer waited;
            waited.start();
            while (count(u"SELECT COUNT(*) FROM pg_stat_activity WHERE pid = ?"_s, {pid}) != 0 &&
                   waited.elapsed() < 5000) {
            }
        }
    };
    const auto result = RecordOperation(killing, Station, meter, {});
    ASSERT_FALSE(result.ok());
    EXPECT_FALSE(result.error().isEmpty());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 0);
    // The next recording opens a new connection and succeeds.
    const int id = record(meter);
    EXPECT_NE(id, 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM set_ordan_klv WHERE operation_id = ?"_s, {id}), 1);
}

#endif

TEST_F(ProductionDbTest, PlusProposesTheSmallestUnprogrammedNumber)
{
    registerMeter(1001);
    const int m1005 = registerMeter(1005);
    const int m1010 = registerMeter(1010);
    registerMeter(1002, 17); // another family
    record(count(u"SELECT electro_id FROM electrometer WHERE number = 1001"_s));
    EXPECT_EQ(NextUnprogrammedNumber(*db_).value(), 1005);
    record(m1005);
    EXPECT_EQ(NextUnprogrammedNumber(*db_).value(), 1010);
    // A defect operation counts as a programming too: it has type 3.
    ASSERT_TRUE(RegisterDefect(*db_, Station, m1010, u"12"_s).ok());
    EXPECT_EQ(NextUnprogrammedNumber(*db_).value(), 0);
}

TEST_F(ProductionDbTest, LastClockSetIsTheLatestRecordedClock)
{
    const int meter = registerMeter(1001);
    const int other = registerMeter(1002);
    EXPECT_FALSE(LastClockSet(*db_, 1001).value().has_value());
    OperationRecord clock;
    clock.date_time = QDateTime(QDate(2026, 11, 1), QTime(9, 30, 0));
    record(meter, clock);
    clock.date_time = QDateTime(QDate(2026, 12, 1), QTime(10, 0, 5));
    record(meter, clock);
    record(meter, {}); // a recording that did not set the clock
    clock.date_time = QDateTime(QDate(2026, 12, 5), QTime(8, 0, 0));
    record(other, clock);
    const auto last = LastClockSet(*db_, 1001);
    ASSERT_TRUE(last.ok()) << qPrintable(last.error());
    EXPECT_EQ(last.value(), QDateTime(QDate(2026, 12, 1), QTime(10, 0, 5)));
    EXPECT_FALSE(LastClockSet(*db_, 4040).value().has_value());
}

TEST_F(ProductionDbTest, RecordingCheckRefusesUnknownAndRepairedMeters)
{
    const int meter = registerMeter(1001);
    auto check = CheckMeterForRecording(*db_, 1002);
    ASSERT_TRUE(check.ok()) << qPrintable(check.error());
    EXPECT_EQ(check->verdict, RecordingCheck::Verdict::NotRegistered);
    EXPECT_EQ(RecordingRefusalText(check->verdict), u"Номер прибора не описан в БД. Установите его."_s);

    check = CheckMeterForRecording(*db_, 1001);
    EXPECT_EQ(check->verdict, RecordingCheck::Verdict::Recordable);
    EXPECT_EQ(check->electro_id, meter);

    ASSERT_TRUE(RegisterDefect(*db_, Station, meter, u"A7"_s).ok());
    check = CheckMeterForRecording(*db_, 1001);
    EXPECT_EQ(check->verdict, RecordingCheck::Verdict::UnderRepair);
    EXPECT_EQ(RecordingRefusalText(check->verdict), u"Прибор в ремонте."_s);

    run(u"UPDATE spoilage SET date_repair = ?"_s, {QDateTime::currentDateTime()});
    EXPECT_EQ(CheckMeterForRecording(*db_, 1001)->verdict, RecordingCheck::Verdict::Recordable);
    // A meter of another family with the same number is a different meter.
    registerMeter(1003, 17);
    EXPECT_EQ(CheckMeterForRecording(*db_, 1003)->verdict, RecordingCheck::Verdict::NotRegistered);
}

TEST_F(ProductionDbTest, DefectWithoutProgrammingTodayCreatesAnUnsuccessfulOne)
{
    const int meter = registerMeter(1001);
    const auto op = RegisterDefect(*db_, Station, meter, u"  A7 \t"_s);
    ASSERT_TRUE(op.ok()) << qPrintable(op.error());
    const SqlRows o = run(u"SELECT * FROM operation"_s);
    ASSERT_EQ(o.rows.size(), 1u);
    EXPECT_EQ(o.value(0, u"operation_id").toInt(), *op);
    EXPECT_EQ(o.value(0, u"type_id").toInt(), 3);
    EXPECT_EQ(o.value(0, u"success").toInt(), 0);
    EXPECT_EQ(o.value(0, u"plant_id").toInt(), Plant);
    EXPECT_EQ(o.value(0, u"person_id").toInt(), Person);
    const SqlRows s = run(u"SELECT * FROM spoilage"_s);
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.value(0, u"type_id").toInt(), 1);
    EXPECT_EQ(s.value(0, u"electro_id").toInt(), meter);
    EXPECT_EQ(s.value(0, u"person_id").toInt(), Person);
    EXPECT_EQ(s.value(0, u"code").toString(), u"A7"_s);
    EXPECT_EQ(s.value(0, u"operation_id").toInt(), *op);
    EXPECT_TRUE(s.value(0, u"date_repair").isNull());
}

TEST_F(ProductionDbTest, DefectMarksTodaysProgrammingElsewhereUnsuccessful)
{
    const int meter = registerMeter(1001);
    const int earlier = record(meter, {}, OtherStation);
    ASSERT_EQ(count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {earlier}), 1);
    const auto op = RegisterDefect(*db_, Station, meter, u"A7"_s);
    ASSERT_TRUE(op.ok()) << qPrintable(op.error());
    EXPECT_EQ(*op, earlier);
    EXPECT_EQ(count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {earlier}), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 1);
    EXPECT_EQ(count(u"SELECT operation_id FROM spoilage"_s), earlier);
}

TEST_F(ProductionDbTest, DefectIgnoresProgrammingOfAnotherDay)
{
    const int meter = registerMeter(1001);
    const int yesterday = record(meter);
    run(u"UPDATE operation SET date_operation = ? WHERE operation_id = ?"_s,
        {QDateTime::currentDateTime().addDays(-1), yesterday});
    const auto op = RegisterDefect(*db_, Station, meter, u"A7"_s);
    ASSERT_TRUE(op.ok()) << qPrintable(op.error());
    EXPECT_GT(*op, yesterday);
    EXPECT_EQ(count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {yesterday}), 1);
    EXPECT_EQ(count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {*op}), 0);
}

TEST_F(ProductionDbTest, TwoRegistrationsReferToOneOperation)
{
    const int meter = registerMeter(1001);
    const auto first = RegisterDefect(*db_, Station, meter, u"A7"_s);
    const auto second = RegisterDefect(*db_, Station, meter, u"B2"_s);
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(*first, *second);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM spoilage WHERE operation_id = ?"_s, {*first}), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM spoilage WHERE code = 'B2'"_s), 1);
}

TEST_F(ProductionDbTest, BlankDefectCodeIsNotRegistered)
{
    const int meter = registerMeter(1001);
    EXPECT_FALSE(DefectCodeAcceptable(u" \t "_s));
    EXPECT_TRUE(DefectCodeAcceptable(u" 7 "_s));
    EXPECT_FALSE(RegisterDefect(*db_, Station, meter, u"   "_s).ok());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM spoilage"_s), 0);
}

TEST_F(ProductionDbTest, OperatorTextIsStoredVerbatim)
{
    const int meter = registerMeter(1001);
    const QString code = u"x'); DELETE FROM operation; -- \"брак\" ;"_s;
    ASSERT_TRUE(RegisterDefect(*db_, Station, meter, code).ok());
    EXPECT_EQ(run(u"SELECT code FROM spoilage"_s).scalar().toString(), code);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM operation"_s), 1);
    OperationRecord r;
    r.version = u"1'; --"_s;
    const int id = record(meter, r);
    EXPECT_EQ(run(u"SELECT version FROM set_ordan_klv WHERE operation_id = ?"_s, {id}).scalar().toString(), r.version);
}

TEST_F(ProductionDbTest, DefaultsFromAnEmptySiblingTable)
{
    const auto defaults = ReadRecordDefaults(*db_);
    ASSERT_TRUE(defaults.ok()) << qPrintable(defaults.error());
    EXPECT_TRUE(defaults->oneTariff);
    EXPECT_FALSE(defaults->zones.has_value());
    EXPECT_FALSE(defaults->indicator.has_value());
    EXPECT_FALSE(defaults->password.has_value());
}

TEST_F(ProductionDbTest, DefaultsComeFromTheLatestRowThatHasThem)
{
    const int meter = registerMeter(1001);
    const auto operation = [&] {
        run(u"INSERT INTO operation(type_id,electro_id,plant_id,person_id,success) VALUES(3,?,30,20,1)"_s, {meter});
        return count(u"SELECT MAX(operation_id) FROM operation"_s);
    };
    const QDate day(2026, 1, 1);
    const int zones = operation();
    run(u"INSERT INTO set_ordan_tg(operation_id,zone_0,zone_1,zone_2,time_0,time_1,time_2,pass) "
        "VALUES(?,1,2,NULL,?,?,NULL,1111)"_s,
        {zones, QDateTime(day, QTime(7, 0)), QDateTime(day, QTime(23, 30))});
    const int older = operation();
    run(u"INSERT INTO set_ordan_tg(operation_id,indicator) VALUES(?,3)"_s, {older});
    const int display = operation();
    run(u"INSERT INTO set_ordan_tg(operation_id,indicator) VALUES(?,5)"_s, {display});
    const int password = operation();
    run(u"INSERT INTO set_ordan_tg(operation_id,pass) VALUES(?,2222)"_s, {password});
    run(u"INSERT INTO set_ordan_tg(operation_id) VALUES(?)"_s, {operation()});

    const auto defaults = ReadRecordDefaults(*db_);
    ASSERT_TRUE(defaults.ok()) << qPrintable(defaults.error());
    EXPECT_FALSE(defaults->oneTariff);
    ASSERT_TRUE(defaults->zones.has_value());
    const auto &z = *defaults->zones;
    EXPECT_EQ(z[0].tariff, u"1"_s);
    EXPECT_EQ(z[0].start, QTime(7, 0));
    EXPECT_EQ(z[1].tariff, u"2"_s);
    EXPECT_EQ(z[1].start, QTime(23, 30));
    EXPECT_EQ(z[2].tariff, QString());
    EXPECT_EQ(z[2].start, QTime(0, 0));
    EXPECT_EQ(z[5].tariff, QString());
    EXPECT_EQ(defaults->indicator, 5);
    EXPECT_EQ(defaults->password, u"2222"_s);
}

TEST_F(ProductionDbTest, DefaultPasswordOfTheZoneRowWhenNoLaterOne)
{
    const int meter = registerMeter(1001);
    run(u"INSERT INTO operation(type_id,electro_id,plant_id,person_id,success) VALUES(3,?,30,20,1)"_s, {meter});
    const int op = count(u"SELECT MAX(operation_id) FROM operation"_s);
    run(u"INSERT INTO set_ordan_tg(operation_id,zone_0) VALUES(?,0)"_s, {op});
    const auto defaults = ReadRecordDefaults(*db_);
    ASSERT_TRUE(defaults.ok()) << qPrintable(defaults.error());
    EXPECT_FALSE(defaults->oneTariff);
    EXPECT_EQ(defaults->password, QString()); // null pass gives an empty field
    EXPECT_EQ((*defaults->zones)[0].tariff, u"0"_s);
}

} // namespace
} // namespace ordan
