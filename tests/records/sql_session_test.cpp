#include "records/sql_session.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

struct RewriteCase {
    const char *name;
    QString statement;
    QString postgresql;
    QString sqlite;
};

// Names, not bytes, in the listing ctest registers.
void PrintTo(const RewriteCase &c, std::ostream *os) { *os << c.name; }

class RewriteTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteTest, RewritesOnlyTheTwoConstructs)
{
    const RewriteCase &c = GetParam();
    EXPECT_EQ(RewriteForDialect(c.statement, SqlDialect::SqlServer), c.statement);
    EXPECT_EQ(RewriteForDialect(c.statement, SqlDialect::PostgreSql), c.postgresql);
    EXPECT_EQ(RewriteForDialect(c.statement, SqlDialect::Sqlite), c.sqlite);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, RewriteTest,
    ::testing::Values(RewriteCase{"ServerTime", u"SELECT getdate()"_s, u"SELECT LOCALTIMESTAMP"_s,
                                  u"SELECT datetime('now','localtime')"_s},
                      RewriteCase{"Today",
                                  u"SELECT MAX(operation_id) FROM operation WHERE electro_id = ? AND "
                                  "DATEDIFF(DAY,date_operation,getdate()) = 0 AND type_id = 3"_s,
                                  u"SELECT MAX(operation_id) FROM operation WHERE electro_id = ? AND "
                                  "CAST(date_operation AS DATE) = CAST(LOCALTIMESTAMP AS DATE) AND type_id = 3"_s,
                                  u"SELECT MAX(operation_id) FROM operation WHERE electro_id = ? AND "
                                  "date(date_operation) = date(datetime('now','localtime')) AND type_id = 3"_s},
                      RewriteCase{"SpacingAndCase", u"x WHERE datediff( day , a.d , GETDATE ( ) )=0"_s,
                                  u"x WHERE CAST(a.d AS DATE) = CAST(LOCALTIMESTAMP AS DATE)"_s,
                                  u"x WHERE date(a.d) = date(datetime('now','localtime'))"_s},
                      RewriteCase{"NestedArguments", u"DATEDIFF(DAY, COALESCE(a, b), getdate()) = 0"_s,
                                  u"CAST(COALESCE(a, b) AS DATE) = CAST(LOCALTIMESTAMP AS DATE)"_s,
                                  u"date(COALESCE(a, b)) = date(datetime('now','localtime'))"_s},
                      // Only the "same day" form has a meaning the rewrite keeps; anything else is left alone.
                      RewriteCase{"OtherDateDiff", u"DATEDIFF(DAY,a,b) = 1 OR DATEDIFF(HOUR,a,b) = 0"_s,
                                  u"DATEDIFF(DAY,a,b) = 1 OR DATEDIFF(HOUR,a,b) = 0"_s,
                                  u"DATEDIFF(DAY,a,b) = 1 OR DATEDIFF(HOUR,a,b) = 0"_s},
                      RewriteCase{"ZeroFollowedByDigit", u"DATEDIFF(DAY,a,b) = 01"_s, u"DATEDIFF(DAY,a,b) = 01"_s,
                                  u"DATEDIFF(DAY,a,b) = 01"_s},
                      RewriteCase{"LiteralsAndLongerNames", u"SELECT 'getdate()', mygetdate(), getdate_x FROM t"_s,
                                  u"SELECT 'getdate()', mygetdate(), getdate_x FROM t"_s,
                                  u"SELECT 'getdate()', mygetdate(), getdate_x FROM t"_s},
                      RewriteCase{"QuoteInLiteral", u"SELECT 'it''s getdate()' , getdate()"_s,
                                  u"SELECT 'it''s getdate()' , LOCALTIMESTAMP"_s,
                                  u"SELECT 'it''s getdate()' , datetime('now','localtime')"_s},
                      RewriteCase{"Untouched", u"INSERT INTO operation(type_id) VALUES(?)"_s,
                                  u"INSERT INTO operation(type_id) VALUES(?)"_s,
                                  u"INSERT INTO operation(type_id) VALUES(?)"_s}),
    [](const ::testing::TestParamInfo<RewriteCase> &info) { return std::string(info.param.name); });

TEST(DialectTest, FromDbmsName)
{
    EXPECT_EQ(DialectForDbmsName(u"Microsoft SQL Server"_s), SqlDialect::SqlServer);
    EXPECT_EQ(DialectForDbmsName(u"PostgreSQL"_s), SqlDialect::PostgreSql);
    EXPECT_EQ(DialectForDbmsName(u"SQLite"_s), SqlDialect::Sqlite);
    EXPECT_EQ(DialectForDbmsName(QString()), SqlDialect::SqlServer);
}

TEST(SqlRowsTest, ValueByColumnNameIgnoresCase)
{
    SqlRows rows;
    rows.columns = {u"COMPUTER_ID"_s, u"name"_s};
    rows.rows = {{7, u"BENCH-1"_s}, {9, u"BENCH-2"_s}};
    EXPECT_EQ(rows.value(0, u"computer_id").toInt(), 7);
    EXPECT_EQ(rows.value(1, u"NAME").toString(), u"BENCH-2"_s);
    EXPECT_FALSE(rows.value(0, u"plant_id").isValid());
    EXPECT_FALSE(rows.value(2, u"name").isValid());
    EXPECT_EQ(rows.scalar().toInt(), 7);
    EXPECT_FALSE(SqlRows().scalar().isValid());
}

} // namespace
} // namespace ordan
