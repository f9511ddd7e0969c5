// Numbers held by "+" on a line of stations sharing one database (PostgreSQL or SQLite).
#include "production_db_fixture.h"
#include "records/number_reservation.h"

#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <set>
#include <thread>
#include <vector>

// Named after the server, as the other cases of these executables.
#if defined(ORDAN_TEST_POSTGRESQL)
#define NumberReservationTest PostgreSqlNumberReservationTest
#else
#define NumberReservationTest SqliteNumberReservationTest
#endif

namespace ordan {
namespace {

using test::OtherStation;
using test::ProductionDbTest;
using test::Station;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class NumberReservationTest : public ProductionDbTest {
public:
    using ProductionDbTest::record;
    using ProductionDbTest::registerMeter;
    OdbcSqlSession &station() { return *db_; }
    int electro(int number) { return count(u"SELECT electro_id FROM electrometer WHERE number = ?"_s, {number}); }
    int reserve(SqlSession &db, const StationIdentity &station = Station)
    {
        const auto proposal = ReserveNextNumber(db, station);
        EXPECT_TRUE(proposal.ok()) << qPrintable(proposal.error());
        return proposal.ok() ? proposal->number : -1;
    }
    // Makes every hold that old, by the server's clock.
    void age(std::chrono::milliseconds age)
    {
        const QDateTime now = ReadServerTime(*data_).value();
        run(u"UPDATE number_reservation SET reserved_at = ?"_s, {now.addMSecs(-age.count())});
    }
};

TEST_F(NumberReservationTest, FiveStationsAtOneInstantGetFiveNumbers)
{
    constexpr int kStations = 5;
    for (int n = 2001; n <= 2010; ++n)
        registerMeter(n);
    for (int i = 2; i < kStations; ++i)
        run(u"INSERT INTO plant(plant_id,type_id,computer_id) VALUES(?,3,10)"_s, {30 + i});
    for (int round = 0; round < 3; ++round) { // the later rounds also release the earlier holds
        std::vector<int> got(kStations, 0);
        std::latch start(kStations);
        std::vector<std::thread> line;
        for (int i = 0; i < kStations; ++i) {
            line.emplace_back([&, i] {
                OdbcSqlSession own(u"Electrometer"_s, u"Line"_s + QString::number(i));
                start.arrive_and_wait();
                got[i] = ReserveNextNumber(own, StationIdentity{10, 20, 30 + i}).valueOr({}).number;
            });
        }
        for (std::thread &t : line)
            t.join();
        EXPECT_EQ(std::set<int>(got.begin(), got.end()), (std::set<int>{2001, 2002, 2003, 2004, 2005}));
    }
}

struct ReleaseCase {
    const char *name;
    void (*event)(NumberReservationTest &); // after this station took 2001
    int otherGets;
    bool stillHeld; // 2001 by this station, afterwards
};

void PrintTo(const ReleaseCase &c, std::ostream *os) { *os << c.name; }

class ReleaseTest : public NumberReservationTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ReleaseTest, OtherStationIsOfferedTheNumberOnlyOnceReleased)
{
    registerMeter(2001);
    registerMeter(2002);
    ASSERT_EQ(reserve(*db_), 2001);
    GetParam().event(*this);
    EXPECT_EQ(reserve(*data_, OtherStation), GetParam().otherGets);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM number_reservation WHERE number = 2001 AND plant_id = ?"_s, {test::Plant}),
              GetParam().stillHeld ? 1 : 0);
}

using T = NumberReservationTest;
ORDAN_INSTANTIATE(
    ReleaseTest,
    ::testing::Values(
        ReleaseCase{"StillHeld", [](T &) {}, 2002, true},
        ReleaseCase{"Recorded", [](T &t) { t.record(t.electro(2001)); }, 2002, false},
        ReleaseCase{"AnotherRecorded", [](T &t) { t.record(t.registerMeter(1)); }, 2002, true},
        ReleaseCase{"ProposedAnother",
                    [](T &t) {
                        t.registerMeter(1500);
                        EXPECT_EQ(t.reserve(t.station()), 1500);
                    },
                    2001, false},
        ReleaseCase{"StationEnded", [](T &t) { EXPECT_TRUE(ReleaseReservation(t.station(), Station).ok()); }, 2001,
                    false},
        ReleaseCase{"WithinTheBound", [](T &t) { t.age(kReservationLifetime - 60s); }, 2002, true},
        ReleaseCase{"PastTheBound", [](T &t) { t.age(kReservationLifetime + 1s); }, 2001, false},
        ReleaseCase{"StationGoneWithinTheBound", [](T &t) { t.station().close(); }, 2002, true},
        ReleaseCase{"StationGone", [](T &t) { t.station().close(), t.age(kReservationLifetime + 1s); }, 2001, false}),
    [](const ::testing::TestParamInfo<ReleaseCase> &info) { return std::string(info.param.name); });

struct RangeCase {
    const char *name;
    std::vector<int> registered, programmed, heldElsewhere;
    int proposed;
    bool skipped;
};

void PrintTo(const RangeCase &c, std::ostream *os) { *os << c.name; }

class RangeTest : public NumberReservationTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeTest, ProposesOnlyNumbersTheMeterHolds)
{
    const RangeCase &c = GetParam();
    for (int n : c.registered)
        registerMeter(n);
    for (int n : c.programmed)
        record(electro(n), {}, OtherStation);
    for (int n : c.heldElsewhere)
        run(u"INSERT INTO number_reservation(number,plant_id,reserved_at) VALUES(?,31,?)"_s,
            {n, ReadServerTime(*data_).value()});
    const auto proposal = ReserveNextNumber(*db_, Station);
    ASSERT_TRUE(proposal.ok()) << qPrintable(proposal.error());
    EXPECT_EQ(proposal->number, c.proposed);
    EXPECT_EQ(proposal->skippedOutOfRange, c.skipped);
    const QString none = u"Нет свободного номера прибора: все описанные в БД приборы запрограммированы или заняты "
                         "другими установками."_s;
    EXPECT_EQ(NoNumberText(*proposal),
              c.proposed ? QString() : none + (c.skipped ? u" Номера вне диапазона 1..131071 пропущены."_s : u""_s));
}

ORDAN_INSTANTIATE(RangeTest,
                  ::testing::Values(RangeCase{"AboveTheRangeSkipped", {140000, 2001}, {}, {}, 2001, true},
                                    RangeCase{"BothBoundsIncluded", {131071, 131072, 0, 1}, {1}, {}, 131071, true},
                                    RangeCase{"OnlyOutOfRangeLeft", {140000, 131072, 0, -5}, {}, {}, 0, true},
                                    RangeCase{"EveryMeterProgrammed", {2001}, {2001}, {}, 0, false},
                                    RangeCase{"EveryMeterHeldElsewhere", {2001}, {}, {2001}, 0, false},
                                    RangeCase{"NoMeterRegistered", {}, {}, {}, 0, false}),
                  [](const ::testing::TestParamInfo<RangeCase> &info) { return std::string(info.param.name); });

struct WriteCase {
    const char *name;
    void (*before)(NumberReservationTest &); // before this station's proposal of 2001
    void (*after)(NumberReservationTest &);
    NumberWriteCheck::Verdict verdict;
    const char16_t *text;
};

void PrintTo(const WriteCase &c, std::ostream *os) { *os << c.name; }

class WriteCheckTest : public NumberReservationTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteCheckTest, RefusesANumberTakenElsewhere)
{
    registerMeter(2001);
    GetParam().before(*this);
    const int since = ReserveNextNumber(*db_, Station).value().operationWatermark;
    GetParam().after(*this);
    const auto check = CheckNumberForWrite(*db_, Station, 2001, since);
    ASSERT_TRUE(check.ok()) << qPrintable(check.error());
    EXPECT_EQ(check->verdict, GetParam().verdict);
    EXPECT_EQ(NumberWriteRefusalText(2001, check->verdict), QString::fromUtf16(GetParam().text));
}

using V = NumberWriteCheck::Verdict;
void Nothing(T &) {}
void ProgrammedElsewhere(T &t) { t.record(t.electro(2001), {}, OtherStation); }
void HeldElsewhere(T &t) { ASSERT_EQ(t.reserve(t.station(), OtherStation), 2001); }
ORDAN_INSTANTIATE(
    WriteCheckTest,
    ::testing::Values(
        WriteCase{"Free", Nothing, Nothing, V::Writable, u""},
        WriteCase{"ProgrammedElsewhereMeanwhile", Nothing, ProgrammedElsewhere, V::ProgrammedElsewhere,
                  u"Прибор с номером 2001 уже запрограммирован на другой установке. Запись отменена, выберите "
                  u"другой номер."},
        WriteCase{"ProgrammedHere", Nothing, [](T &t) { t.record(t.electro(2001)); }, V::Writable, u""},
        WriteCase{"AnotherFamilyProgrammed", Nothing,
                  [](T &t) { t.record(t.registerMeter(2001, 17), {}, OtherStation); }, V::Writable, u""},
        WriteCase{"ProgrammedElsewhereBefore", ProgrammedElsewhere, Nothing, V::Writable, u""},
        WriteCase{"TakenOverElsewhere", Nothing, [](T &t) { t.age(kReservationLifetime + 1s), HeldElsewhere(t); },
                  V::HeldElsewhere, u"Номер 2001 занят другой установкой. Запись отменена, выберите другой номер."},
        WriteCase{"HoldElsewhereExpired", HeldElsewhere, [](T &t) { t.age(kReservationLifetime + 1s); }, V::Writable,
                  u""}),
    [](const ::testing::TestParamInfo<WriteCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace ordan
