#pragma once

// A station in database mode on the test server of this executable (PostgreSQL or SQLite,
// see production_test_backend.h).

#include "app/station.h"
#include "app/station_fixture.h"
#include "production_test_backend.h"
#include "records/central_recorder.h"
#include "records/production_db.h"
#include "records/spoilage_model.h"
#include "records/sql_odbc_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#if defined(ORDAN_TEST_POSTGRESQL)
#define ORDAN_CENTRAL_SUITE(name) PostgreSql##name
#else
#define ORDAN_CENTRAL_SUITE(name) Sqlite##name
#endif
// Expands the suite's name before gtest pastes it.
#define ORDAN_CENTRAL_INSTANTIATE(prefix, suite, ...) INSTANTIATE_TEST_SUITE_P(prefix, suite, __VA_ARGS__)

namespace ordan::test {

// How often one sync sets the workstation's clock: never where the server is this computer.
inline size_t ClockSetsPerSync() { return ServerIsThisComputer(BackendDialect()) ? 0 : 1; }

// Makes one table name unknown to the server in the statements that name it.
std::function<QString(const QString &)> BreakTable(const QString &table);

// What the database workflows ask of the window: to end the program, to light the write
// indicator green.
struct CentralSpies {
    int endProgramCalls = 0;
    int indicatorCalls = 0;
};
std::unique_ptr<CentralSpies> WatchCentral(Station &station);

// The ids of the rows every case starts with.
inline constexpr int kComputer = 10;
inline constexpr int kPerson = 20;
inline constexpr int kPlant = 30;
inline constexpr int kOtherPerson = 21;
inline constexpr int kOtherPlant = 31;

// A fresh schema with this workstation (computer "BENCH-1", login "operator", plant 30) and a
// second one (BENCH-2, "petrov", plant 31); the test's own connection for checking.
class CentralDb {
public:
    // Empty when the backend is usable, else the reason.
    QString setUp();
    void tearDown();

    SqlRows run(const QString &statement, const QVariantList &params = {});
    int count(const QString &statement, const QVariantList &params = {});
    int registerMeter(int number, int type = MeterTypeId);
    // A programming of the meter recorded by another station, directly.
    int recordElsewhere(int electroId, const OperationRecord &r = {});

    OdbcSqlSession &station() { return *db_; }

private:
    std::unique_ptr<OdbcSqlSession> data_;
    std::unique_ptr<OdbcSqlSession> db_;
};

// A database-mode station (marker file in its directory) on virtual time with the tiny meter.
class CentralStationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the station on the test database, watches it and runs FormCreate.
    void startStation(bool sqlMode = true);

    Station &station() { return *rig.station; }
    MeterParameters &params();
    CentralRecorder &central() { return *station().central(); }
    SpoilageModel &spoilage() { return *station().spoilage(); }

    // Boxes shown so far, as "caption|text".
    std::vector<QString> boxes() const;
    QString lastBox() const;

    CentralDb db;
    std::unique_ptr<InterceptingSession> session;
    StationRig rig;
    std::unique_ptr<CentralSpies> spies;
    LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
};

} // namespace ordan::test
