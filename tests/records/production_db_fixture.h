#pragma once

// A fresh production schema on this executable's server (PostgreSQL or SQLite, see
// production_test_backend.h) with two registered stations, and the test's own connection.
#include "production_test_backend.h"
#include "records/production_db.h"
#include "records/sql_odbc_session.h"

#include <gtest/gtest.h>

#include <memory>

// Both servers' executables register their cases with ctest: each names them after its server.
#if defined(ORDAN_TEST_POSTGRESQL)
#define ProductionDbTest PostgreSqlProductionDbTest
#define ORDAN_BACKEND PostgreSql
#else
#define ProductionDbTest SqliteProductionDbTest
#define ORDAN_BACKEND Sqlite
#endif
#define ORDAN_INSTANTIATE_(prefix, suite, ...) INSTANTIATE_TEST_SUITE_P(prefix, suite, __VA_ARGS__)
#define ORDAN_INSTANTIATE(suite, ...) ORDAN_INSTANTIATE_(ORDAN_BACKEND, suite, __VA_ARGS__)

namespace ordan::test {

using namespace Qt::StringLiterals;

inline constexpr int Plant = 30;
inline constexpr int OtherPlant = 31;
inline constexpr int Person = 20;
inline constexpr int OtherPerson = 21;
inline const StationIdentity Station{10, Person, Plant};
inline const StationIdentity OtherStation{11, OtherPerson, OtherPlant};

class ProductionDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString error = PrepareBackend();
        ASSERT_TRUE(error.isEmpty()) << BackendName() << " backend unusable: " << qPrintable(error);
        data_ = std::make_unique<OdbcSqlSession>(u"Electrometer"_s, u"TestData"_s);
        const QString schema = ResetSchema(*data_);
        ASSERT_TRUE(schema.isEmpty()) << qPrintable(schema);
        // Two registered stations, their operators and work places.
        run(u"INSERT INTO computer(computer_id,name) VALUES(10,'BENCH-1'),(11,'BENCH-2')"_s);
        run(u"INSERT INTO operator(person_id,login,operating) VALUES(20,'ivanov',1),(21,'petrov',1)"_s);
        run(u"INSERT INTO plant(plant_id,type_id,computer_id) VALUES(30,3,10),(31,3,11)"_s);
        db_ = std::make_unique<OdbcSqlSession>();
    }

    void TearDown() override
    {
        db_.reset();
        data_.reset();
    }

    // A statement on the test's own second connection.
    SqlRows run(const QString &statement, const QVariantList &params = {})
    {
        auto rows = data_->exec(statement, params);
        if (!rows) {
            ADD_FAILURE() << qPrintable(statement) << ": " << qPrintable(data_->lastError());
            return {};
        }
        return *rows;
    }

    int count(const QString &statement, const QVariantList &params = {})
    {
        return run(statement, params).scalar().toInt();
    }

    int registerMeter(int number, int type = MeterTypeId)
    {
        run(u"INSERT INTO electrometer(number,type_id) VALUES(?,?)"_s, {number, type});
        return count(u"SELECT electro_id FROM electrometer WHERE number = ? AND type_id = ?"_s, {number, type});
    }

    int record(int electroId, const OperationRecord &r = {}, const StationIdentity &station = Station)
    {
        const auto id = RecordOperation(*db_, station, electroId, r);
        EXPECT_TRUE(id.ok()) << qPrintable(id.error());
        return id.ok() ? *id : 0;
    }

    std::unique_ptr<OdbcSqlSession> data_;
    std::unique_ptr<OdbcSqlSession> db_;
};

} // namespace ordan::test
