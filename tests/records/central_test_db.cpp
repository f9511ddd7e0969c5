#include "central_test_db.h"

#include "meter/meter_panel.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace ordan::test {

std::function<QString(const QString &)> BreakTable(const QString &table)
{
    return [table](const QString &statement) {
        QString s = statement;
        return s.replace(table, u"no_such_table"_s);
    };
}

std::unique_ptr<CentralSpies> WatchCentral(Station &station)
{
    auto spies = std::make_unique<CentralSpies>();
    CentralSpies *sp = spies.get();
    QObject::connect(&station, &Station::endProgramRequested, [sp] { ++sp->endProgramCalls; });
    Field<Indicator> &indicator = station.panel().Shape1;
    QObject::connect(&indicator, &FieldBase::valueChanged, [sp, &indicator] {
        if (indicator.value() == Indicator::Green)
            ++sp->indicatorCalls;
    });
    return spies;
}

QString CentralDb::setUp()
{
    const QString error = PrepareBackend();
    if (!error.isEmpty())
        return QString::fromLatin1(BackendName()) + u" backend unusable: " + error;
    data_ = std::make_unique<OdbcSqlSession>(u"Electrometer"_s, u"TestData"_s);
    const QString schema = ResetSchema(*data_);
    if (!schema.isEmpty())
        return schema;
    run(u"INSERT INTO computer(computer_id,name) VALUES(10,'BENCH-1'),(11,'BENCH-2')"_s);
    run(u"INSERT INTO operator(person_id,login,operating) VALUES(20,'operator',1),(21,'petrov',1)"_s);
    run(u"INSERT INTO plant(plant_id,type_id,computer_id) VALUES(30,3,10),(31,3,11)"_s);
    db_ = std::make_unique<OdbcSqlSession>();
    return {};
}

void CentralDb::tearDown()
{
    db_.reset();
    data_.reset();
}

SqlRows CentralDb::run(const QString &statement, const QVariantList &params)
{
    auto rows = data_->exec(statement, params);
    if (!rows) {
        ADD_FAILURE() << qPrintable(statement) << ": " << qPrintable(data_->lastError());
        return {};
    }
    return *rows;
}

int CentralDb::count(const QString &statement, const QVariantList &params)
{
    return run(statement, params).scalar().toInt();
}

int CentralDb::registerMeter(int number, int type)
{
    run(u"INSERT INTO electrometer(number,type_id) VALUES(?,?)"_s, {number, type});
    return count(u"SELECT electro_id FROM electrometer WHERE number = ? AND type_id = ?"_s, {number, type});
}

int CentralDb::recordElsewhere(int electroId, const OperationRecord &r)
{
    const auto id = RecordOperation(*data_, StationIdentity{11, kOtherPerson, kOtherPlant}, electroId, r);
    EXPECT_TRUE(id.ok()) << qPrintable(id.error());
    return id.ok() ? *id : 0;
}

void CentralStationTest::SetUp()
{
    const QString error = db.setUp();
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
    session = std::make_unique<InterceptingSession>(db.station());
}

void CentralStationTest::TearDown()
{
    rig.station.reset();
    spies.reset();
    session.reset();
    db.tearDown();
}

void CentralStationTest::startStation(bool sqlMode)
{
    if (sqlMode) {
        QFile marker(QDir(rig.dir.path()).filePath(u"SettingSql.velm"_s));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    rig.db = session.get();
    rig.make();
    spies = WatchCentral(station());
    station().FormCreate();
}

MeterParameters &CentralStationTest::params() { return station().meter().parameters(); }

std::vector<QString> CentralStationTest::boxes() const
{
    std::vector<QString> out;
    for (const auto &b : rig.op.boxes)
        out.push_back(b.caption + u"|" + b.text);
    return out;
}

QString CentralStationTest::lastBox() const
{
    return rig.op.boxes.empty() ? QString() : rig.op.boxes.back().caption + u"|" + rig.op.boxes.back().text;
}

} // namespace ordan::test
