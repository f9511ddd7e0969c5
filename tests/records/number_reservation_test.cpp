// Numbers held by "+" on a line of stations sharing one database (PostgreSQL or SQLite).
#include "production_db_fixture.h"
#include "records/number_reservation.h"

#include <latch>
#include <set>
#include <thread>

#if defined(ORDAN_TEST_POSTGRESQL) // named after the server, as the other cases here
#define NumberReservationTest PostgreSqlNumberReservationTest
#else
#define NumberReservationTest SqliteNumberReservationTest
#endif

namespace ordan {
namespace {

using namespace test;
using namespace std::chrono_literals;

class NumberReservationTest : public ProductionDbTest {
public:
    using ProductionDbTest::record;
    using ProductionDbTest::registerMeter;
    OdbcSqlSession &station() { return *db_; }
    int electro(int n) { return count(u"SELECT electro_id FROM electrometer WHERE number = ?"_s, {n}); }
    int reserve(SqlSession &db, const StationIdentity &s = Station)
    {
        return ReserveNextNumber(db, s).valueOr({-1}).number;
    }
    void age(std::chrono::milliseconds by) // every hold, by the server's clock
    {
        run(u"UPDATE number_reservation SET reserved_at = ?"_s, {ReadServerTime(*data_).value().addMSecs(-by.count())});
    }
};
using T = NumberReservationTest;
const auto ByName = [](const auto &info) { return std::string(info.param.name); };

TEST_F(NumberReservationTest, FiveStationsAtOneInstantGetFiveNumbers)
{
    for (int n = 2001; n <= 2010; ++n)
        registerMeter(n);
    run(u"INSERT INTO plant(plant_id,type_id,computer_id) VALUES(32,3,10),(33,3,10),(34,3,10)"_s);
    for (int round = 0; round < 3; ++round) { // the later rounds release the earlier holds too
        std::vector<int> got(5);
        std::latch start(5);
        std::vector<std::jthread> line;
        for (int i = 0; i < 5; ++i)
            line.emplace_back([&, i] {
                OdbcSqlSession own(u"Electrometer"_s, u"Line"_s + QString::number(i));
                start.arrive_and_wait();
                got[i] = ReserveNextNumber(own, StationIdentity{10, 20, 30 + i}).valueOr({}).number;
            });
        line.clear(); // joins them
        EXPECT_EQ(std::set<int>(got.begin(), got.end()), (std::set<int>{2001, 2002, 2003, 2004, 2005}));
    }
}

struct ReleaseCase {
    const char *name;
    void (*event)(T &); // after this station took 2001
    int otherGets;
    bool stillHeld; // 2001 by this station, afterwards
};
void PrintTo(const ReleaseCase &c, std::ostream *os) { *os << c.name; }
class ReleaseTest : public T, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ReleaseTest, OtherStationIsOfferedTheNumberOnlyOnceReleased)
{
    registerMeter(2001);
    registerMeter(2002);
    ASSERT_EQ(reserve(*db_), 2001);
    GetParam().event(*this);
    EXPECT_EQ(reserve(*data_, OtherStation), GetParam().otherGets);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM number_reservation WHERE number = 2001 AND plant_id = 30"_s),
              GetParam().stillHeld ? 1 : 0);
}

ORDAN_INSTANTIATE(
    ReleaseTest,
    ::testing::Values(
        ReleaseCase{"StillHeld", [](T &) {}, 2002, true},
        ReleaseCase{"Recorded", [](T &t) { t.record(t.electro(2001)); }, 2002, false},
        ReleaseCase{"AnotherRecorded", [](T &t) { t.record(t.registerMeter(1)); }, 2002, true},
        ReleaseCase{"ProposedAnother", [](T &t) { t.registerMeter(1500), t.reserve(t.station()); }, 2001, false},
        ReleaseCase{"StationEnded", [](T &t) { (void)ReleaseReservation(t.station(), Station); }, 2001, false},
        ReleaseCase{"WithinTheBound", [](T &t) { t.age(kReservationLifetime - 60s); }, 2002, true},
        ReleaseCase{"PastTheBound", [](T &t) { t.age(kReservationLifetime + 1s); }, 2001, false},
        ReleaseCase{"StationGone", [](T &t) { t.station().close(), t.age(kReservationLifetime + 1s); }, 2001, false}),
    ByName);

struct RangeCase {
    const char *name;
    std::vector<int> registered;
    int proposed;
    bool skipped;
};
void PrintTo(const RangeCase &c, std::ostream *os) { *os << c.name; }
class RangeTest : public T, public ::testing::WithParamInterface<RangeCase> {};

// Beside 2001, programmed, and 2002, held by the other station.
TEST_P(RangeTest, ProposesOnlyNumbersTheMeterHolds)
{
    for (int n : GetParam().registered)
        registerMeter(n);
    record(registerMeter(2001), {}, OtherStation);
    registerMeter(2002);
    ASSERT_EQ(reserve(*data_, OtherStation), 2002);
    const NumberProposal p = ReserveNextNumber(*db_, Station).value();
    EXPECT_EQ(p.number, GetParam().proposed);
    EXPECT_EQ(p.skippedOutOfRange, GetParam().skipped);
    const QString none = u"Нет свободного номера прибора: все описанные в БД приборы запрограммированы или заняты "
                         "другими установками."_s;
    EXPECT_EQ(NoNumberText(p),
              p.number ? u""_s
                       : none + (p.skippedOutOfRange ? u" Номера вне диапазона 1..131071 пропущены."_s : u""_s));
}

ORDAN_INSTANTIATE(RangeTest,
                  ::testing::Values(RangeCase{"AboveTheRangeSkipped", {140000, 3001}, 3001, true},
                                    RangeCase{"BothBoundsIncluded", {131071, 131072, 0}, 131071, true},
                                    RangeCase{"OnlyOutOfRangeLeft", {140000, 131072, 0, -5}, 0, true},
                                    RangeCase{"EveryMeterProgrammedOrHeld", {}, 0, false}),
                  ByName);

using V = NumberWriteCheck::Verdict;

TEST_F(NumberReservationTest, WriteOfANumberTakenElsewhereIsRefused)
{
    record(registerMeter(1999), {}, OtherStation); // before the proposal: not counted
    registerMeter(2001);
    const int since = ReserveNextNumber(*db_, Station).value().operationWatermark;
    const auto verdict = [&](int number = 2001) {
        return CheckNumberForWrite(*db_, Station, number, since).value().verdict;
    };
    EXPECT_EQ(verdict(1999), V::Writable);
    EXPECT_EQ(verdict(), V::Writable);
    age(kReservationLifetime + 1s);
    ASSERT_EQ(reserve(*data_, OtherStation), 2001); // took the expired hold over
    EXPECT_EQ(verdict(), V::HeldElsewhere);
    age(kReservationLifetime + 1s);
    EXPECT_EQ(verdict(), V::Writable);
    record(electro(2001));
    EXPECT_EQ(verdict(), V::Writable);
    record(electro(2001), {}, OtherStation);
    EXPECT_EQ(verdict(), V::ProgrammedElsewhere);
    EXPECT_EQ(
        NumberWriteRefusalText(2001, V::ProgrammedElsewhere),
        u"Прибор с номером 2001 уже запрограммирован на другой установке. Запись отменена, выберите другой номер."_s);
    EXPECT_EQ(NumberWriteRefusalText(2001, V::HeldElsewhere),
              u"Номер 2001 занят другой установкой. Запись отменена, выберите другой номер."_s);
}

} // namespace
} // namespace ordan
