// The station in database mode against the simulated meter and a real server: start,
// identification, a write, and what the database holds afterwards.
#include "central_test_db.h"

#include "app/line_mode.h"
#include "core/thread_background.h"
#include "meter/meter_panel.h"
#include "records/central_record.h"
#include "sim/meter_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

constexpr int kNumber = 1001;

// The simulated meter behind the rig's line: it echoes its own bus address and answers
// requests as the real meter does.
class CentralStationSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString error = db.setUp();
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
        session = std::make_unique<test::InterceptingSession>(db.station());
        rig.line.responder = [this](const QByteArray &bytes, Parity parity) -> std::vector<test::FakeLine::Answer> {
            if (parity == Parity::Mark) {
                if (bytes.size() == 1 && static_cast<quint8>(bytes[0]) == meter.state().busAddress)
                    return {{5, bytes}};
                return {};
            }
            ++requests;
            const auto reply = meter.Answer(bytes);
            if (!reply)
                return {};
            return {{20, *reply}};
        };
        QFile marker(QDir(rig.dir.path()).filePath(u"SettingSql.velm"_s));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        electro = db.registerMeter(kNumber);
    }

    void TearDown() override
    {
        rig.station.reset();
        session.reset();
        db.tearDown();
    }

    static MeterState State()
    {
        MeterState s = SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
        s.serialNumber = kNumber;
        s.energyPerHour = 0;
        s.statusWord = 0x0601;
        return s;
    }

    // Start, the first activation, connect, and the meter shown with its drift.
    void startAndConnect()
    {
        rig.db = session.get();
        Station &s = rig.make();
        s.FormCreate();
        ASSERT_TRUE(s.modes().SqlMode);
        s.FormActivate();
        ASSERT_TRUE(rig.op.boxes.empty()) << qPrintable(rig.op.boxes.front().text);
        ASSERT_EQ(rig.facts.clockSets.size(), test::ClockSetsPerSync());
        // The meter runs 5 s ahead of the server's clock, 10 days after its last setting.
        const QDateTime now = rig.facts.now();
        meter.sync();
        meter.state().setClock(now.addSecs(5));
        OperationRecord earlier;
        earlier.date_time = now.addDays(-10);
        db.recordElsewhere(electro, earlier);

        s.ActionConnect.execute();
        ASSERT_TRUE(s.engine().isConnected());
        ASSERT_TRUE(rig.timers.advanceUntil(
            [&] {
                // A whole poll cycle: the readings and the operating time come last.
                return p().SpinEdit_Number.value() == kNumber && !p().LabeledDelta.value().isEmpty() &&
                       !p().EditOff.value().isEmpty() && !p().GridValue_1.value()[3][1].isEmpty() &&
                       p().StatusWord != 0 && s.ActionSetting().isEnabled();
            },
            60000));
        EXPECT_EQ(p().LastClockSet, now.addDays(-10));
    }

    // A write of the clock and the address; true once it has finished.
    bool write()
    {
        if (!station().ActionSetting().execute())
            return false;
        return rig.timers.advanceUntil([&] { return !station().engine().writePending(WriteKind::Settings); }, 60000);
    }

    Station &station() { return *rig.station; }
    MeterParameters &p() { return station().meter().parameters(); }

    test::CentralDb db;
    std::unique_ptr<test::InterceptingSession> session;
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    test::StationRig rig;
    SimulatedMeter meter{[this] { return rig.timers.now(); }, State()};
    int electro = 0;
    size_t requests = 0;
};

using ORDAN_CENTRAL_SUITE(CentralStationSim) = CentralStationSim;
#define SIM_TEST(name) TEST_F(ORDAN_CENTRAL_SUITE(CentralStationSim), name)

SIM_TEST(WriteIsRecordedAsAnOperationWithItsSettings)
{
    startAndConnect();
    // Up to 5 s in 10 days: the meter's clock is read in whole seconds.
    const auto drift = ShownDecimal(p().LabeledDelta.value());
    ASSERT_TRUE(drift.has_value()) << qPrintable(p().LabeledDelta.value());
    EXPECT_GT(*drift, 0.35);
    EXPECT_LE(*drift, 0.5);
    ASSERT_TRUE(p().CheckAddr.value()) << "database mode writes the address";
    ASSERT_TRUE(write());
    EXPECT_EQ(station().panel().Shape1.value(), Indicator::Green);
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(rig.op.boxes.front().text);
    EXPECT_EQ(rig.facts.clockSets.size(), 2 * test::ClockSetsPerSync()) << "the write follows the server's clock first";

    const SqlRows o = db.run(u"SELECT * FROM operation WHERE plant_id = ?"_s, {test::kPlant});
    ASSERT_EQ(o.rows.size(), 1u);
    EXPECT_EQ(o.value(0, u"type_id").toInt(), 3);
    EXPECT_EQ(o.value(0, u"electro_id").toInt(), electro);
    EXPECT_EQ(o.value(0, u"person_id").toInt(), test::kPerson);
    EXPECT_EQ(o.value(0, u"success").toInt(), 1);
    const int id = o.value(0, u"operation_id").toInt();
    const SqlRows k = db.run(u"SELECT * FROM set_ordan_klv WHERE operation_id = ?"_s, {id});
    ASSERT_EQ(k.rows.size(), 1u);
    EXPECT_EQ(k.value(0, u"version").toString(), u"10.3"_s);
    EXPECT_EQ(k.value(0, u"address").toInt(), kNumber % 100);
    EXPECT_EQ(k.value(0, u"turn_on").toInt(), static_cast<int>(State().operatingTime));
    EXPECT_EQ(k.value(0, u"status").toInt(), 0x0601);
    EXPECT_EQ(k.value(0, u"ncorrect").toInt(), 3);
    EXPECT_EQ(k.value(0, u"reset").toInt(), 0);
    EXPECT_EQ(k.value(0, u"summer").toInt(), 0);
    EXPECT_NEAR(k.value(0, u"secperday").toDouble(), *drift, 0.1);
    EXPECT_NEAR(k.value(0, u"t_1_c").toDouble(), 4'812'345 * 0.00025, 1e-6);
    EXPECT_NEAR(k.value(0, u"t_3_1").toDouble(), 1'175'000 * 0.00025, 1e-6);
    EXPECT_TRUE(k.value(0, u"pass").isNull());
    EXPECT_TRUE(k.value(0, u"indicator").isNull());
    EXPECT_TRUE(k.value(0, u"ddm_a").isNull());
    const QDateTime written = k.value(0, u"date_time").toDateTime();
    EXPECT_LE(qAbs(written.secsTo(rig.facts.now())), 5) << qPrintable(written.toString(Qt::ISODate));
    // The meter took the clock, and the next recording of it finds this setting.
    meter.sync();
    EXPECT_LE(qAbs(meter.state().clock().secsTo(QDateTime(rig.facts.now().date(), rig.facts.now().time(), Qt::UTC))), 2)
        << qPrintable(meter.state().clock().toString(Qt::ISODate));
    MeterParameters &p = station().meter().parameters();
    p.SpinEdit_Number.set(kNumber);
    p.LastClockSet = QDateTime();
    station().meter().hooks.lastClockSet(kNumber);
    EXPECT_EQ(p.LastClockSet, written);
}

SIM_TEST(ConnectionCutBetweenTheInsertsLeavesNothingAndTheStationGoesOn)
{
    startAndConnect();
    bool cut = false;
#if defined(ORDAN_TEST_POSTGRESQL)
    const int pid = [&] {
        const auto rows = db.station().exec(u"SELECT pg_backend_pid()"_s);
        return rows ? rows->scalar().toInt() : 0;
    }();
    ASSERT_NE(pid, 0);
    session->before = [&](const QString &statement) {
        if (cut || !statement.startsWith(u"INSERT INTO set_ordan_klv"_s))
            return;
        cut = true;
        EXPECT_TRUE(db.run(u"SELECT pg_terminate_backend(?)"_s, {pid}).scalar().toBool());
        // The server ends the backend asynchronously; wait (bounded) until it is gone.
        QElapsedTimer waited;
        waited.start();
        while (db.count(u"SELECT COUNT(*) FROM pg_stat_activity WHERE pid = ?"_s, {pid}) != 0 &&
               waited.elapsed() < 5000) {
        }
    };
#else
    // SQLite has no server to lose: the second insert fails instead.
    session->replace = [&](const QString &statement) {
        if (cut || !statement.startsWith(u"INSERT INTO set_ordan_klv"_s))
            return statement;
        cut = true;
        return test::BreakTable(u"set_ordan_klv"_s)(statement);
    };
#endif
    ASSERT_TRUE(write());
    ASSERT_TRUE(cut);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, u"Ошибка БД"_s);
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(u"Ошибка записи в БД: "_s)) << qPrintable(rig.op.boxes[0].text);
    EXPECT_GT(rig.op.boxes[0].text.size(), 20);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation WHERE plant_id = ?"_s, {test::kPlant}), 0);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 1) << "only the earlier station's row";

    // The link keeps polling while the message is up.
    const size_t polled = requests;
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return requests >= polled + 12; }, 60000));
    EXPECT_TRUE(station().engine().isConnected());
    rig.op.closeBox();

    // The server is back (a new connection): the next recording succeeds.
    session->before = {};
    session->replace = {};
    ASSERT_TRUE(rig.timers.advanceUntil(
        [&] { return p().SpinEdit_Number.value() == kNumber && station().ActionSetting().isEnabled(); }, 60000));
    ASSERT_TRUE(write());
    EXPECT_EQ(rig.op.boxes.size(), 1u) << qPrintable(rig.op.boxes.back().text);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation WHERE plant_id = ?"_s, {test::kPlant}), 1);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv k JOIN operation o ON o.operation_id = k.operation_id "
                       "WHERE o.plant_id = ?"_s,
                       {test::kPlant}),
              1);
}

SIM_TEST(FixDbRecordsTheMeterAsItIs)
{
    startAndConnect();
    ASSERT_TRUE(station().ActionFixDb.isEnabled());
    ASSERT_TRUE(station().ActionFixDb.execute());
    EXPECT_EQ(station().panel().Shape1.value(), Indicator::Green);
    EXPECT_TRUE(rig.op.boxes.empty());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv k JOIN operation o ON o.operation_id = k.operation_id "
                       "WHERE o.plant_id = ? AND k.address IS NULL AND k.date_time IS NULL AND k.reset = 0 "
                       "AND k.version = '10.3'"_s,
                       {test::kPlant}),
              1);
}

// The line in database mode, ten meters: the one on the bench is under repair and refused
// before anything is written; each fresh one gets the next number "+" gives. A write the meter
// refuses, a value it does not keep and a meter pulled mid-write are failed meters, recorded
// unsuccessful since each had its number sent; the rest are recorded successful. No number is
// given twice, and a defect registered is counted.
enum class Trouble { None, WriteRefused, LosesDdm, PulledMidWrite };

SIM_TEST(TenMetersOnTheLineAreRecordedByTheirReadBack)
{
    struct BenchMeter {
        Trouble trouble;
        const char *shown;
        int success; // of its operation; -1: none
    };
    const std::vector<BenchMeter> bench = {
        {Trouble::None, "№ 1001 — Отказ: Прибор в ремонте.", -1},
        {Trouble::None, "№ 2001 — Готово", 1},
        {Trouble::WriteRefused, "№ 2002 — Ошибка: ошибка записи", 0},
        {Trouble::None, "№ 2003 — Готово", 1},
        {Trouble::LosesDdm, "№ 2004 — Ошибка: Номера ДДМ: записано 0, 0, 0, прочитано 1, 0, 0", 0},
        {Trouble::None, "№ 2005 — Готово", 1},
        {Trouble::PulledMidWrite, "№ 2006 — Ошибка: ошибка записи", 0},
        {Trouble::None, "№ 2007 — Готово", 1},
        {Trouble::None, "№ 2008 — Готово", 1},
        {Trouble::None, "№ 2009 — Готово", 1},
    };
    startAndConnect();
    db.run(u"INSERT INTO spoilage(type_id,electro_id,person_id,code,operation_id) "
           u"VALUES(1,?,?,'12',(SELECT MAX(operation_id) FROM operation))"_s,
           {electro, test::kOtherPerson});
    for (int n = 2001; n <= 2009; ++n)
        db.registerMeter(n);
    for (BoolField *on : {&p().CheckDDM, &p().CheckDdmRead, &p().CheckIndi, &p().CheckNoIndi})
        on->set(true);
    Trouble trouble = Trouble::None;
    rig.line.responder = [&, answer = rig.line.responder](const QByteArray &bytes, Parity parity) {
        const quint8 code = parity == Parity::Space ? ByteAt(bytes, 0) : 0;
        if (trouble == Trouble::PulledMidWrite && code == CodeByte(FunctionCode::WriteDdmNumbers)) {
            meter.state().busAddress = 99; // taken off: nothing echoes
            return std::vector<test::FakeLine::Answer>{};
        }
        if (trouble == Trouble::WriteRefused && code == CodeByte(FunctionCode::WriteIndication))
            return std::vector<test::FakeLine::Answer>{{20, MeterErrorReply(code, MeterError::MemoryProtected)}};
        auto replies = answer(bytes, parity);
        if (trouble == Trouble::LosesDdm && code == CodeByte(FunctionCode::WriteDdmNumbers))
            meter.state().ddmNumbers[0] += 1;
        return replies;
    };
    LineMode &line = *station().lineMode();
    std::vector<QString> shown;
    QObject::connect(&line, &LineMode::meterFinished, [&] { shown.push_back(line.LineResult.value()); });

    ASSERT_TRUE(station().ActionLineMode.execute());
    for (size_t i = 0; i < bench.size(); ++i) {
        if (i > 0) {
            meter.state().busAddress = 99;
            ASSERT_TRUE(rig.timers.advanceUntil([&] { return line.state() == LineState::WaitingForMeter; }, 60000));
            meter.replace(FreshMeterState(meter.state()));
            meter.state().busAddress = static_cast<quint8>(station().panel().SpinAddr.value());
            trouble = bench[i].trouble;
        }
        ASSERT_TRUE(rig.timers.advanceUntil([&] { return shown.size() == i + 1; }, 60000)) << i;
        EXPECT_EQ(shown[i], QString::fromUtf8(bench[i].shown)) << i;
        // Left on the bench, the meter is not programmed again.
        rig.timers.advance(20000);
        EXPECT_EQ(shown.size(), i + 1) << i;
    }
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(rig.op.boxes.front().text);
    for (size_t i = 0; i < bench.size(); ++i) {
        const int number = i == 0 ? kNumber : 2000 + int(i);
        const QString operations =
            u"SELECT COUNT(*) FROM operation o JOIN electrometer e ON e.electro_id = o.electro_id "
            u"WHERE e.number = ? AND o.plant_id = ?"_s;
        EXPECT_EQ(db.count(operations, {number, test::kPlant}), bench[i].success < 0 ? 0 : 1) << number;
        if (bench[i].success >= 0) {
            EXPECT_EQ(db.count(u"SELECT o.success FROM operation o JOIN electrometer e ON e.electro_id = o.electro_id "
                               u"WHERE e.number = ? AND o.plant_id = ?"_s,
                               {number, test::kPlant}),
                      bench[i].success)
                << number;
        }
    }

    // A defect registered for the last meter counts on the line.
    station().spoilage()->showWindow = [] {};
    station().ActionSpoilage.execute();
    station().spoilage()->LabeledEdit2.edit(u"7"_s);
    station().spoilage()->BitBtn1Click();
    const LineCounters c = line.counters();
    EXPECT_EQ(std::tuple(c.programmed, c.failed, c.refused, c.defects), std::tuple(6, 3, 1, 1));
}

// The station as the program runs it: the statements on a thread of their own, with a short
// lock bound, while another session keeps the records' tables locked for writing.
class CentralStationWaiting : public CentralStationSim {
protected:
    static constexpr std::chrono::milliseconds kLockBound{1500};

    void SetUp() override
    {
        CentralStationSim::SetUp();
        worker = std::make_unique<ThreadBackground>(u"records"_s);
        ASSERT_TRUE(worker->runAndWait([this] {
            waitingSession = std::make_unique<OdbcSqlSession>(u"Electrometer"_s, u"Waiting"_s,
                                                              SessionBounds{kLockBound, std::chrono::seconds(15)});
        }));
        rig.db = waitingSession.get();
        rig.worker = worker.get();
    }
    void TearDown() override
    {
        rig.station.reset();
        EXPECT_TRUE(worker->runAndWait([this] { waitingSession.reset(); }));
        worker.reset();
        CentralStationSim::TearDown();
    }

    // Virtual time runs on, as the station's timers would, while the worker answers in real time.
    bool runUntil(const std::function<bool()> &done, int realMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > realMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            rig.timers.advance(10);
            QThread::msleep(1);
        }
        return true;
    }

    // Another session holds, until it rolls back, what a recording transaction writes first.
    void lockForWriting()
    {
        OdbcSqlSession &other = db.station();
        ASSERT_TRUE(other.begin()) << qPrintable(other.lastError());
        const QString lock = test::BackendDialect() == SqlDialect::PostgreSql
                                 ? u"LOCK TABLE operation IN SHARE MODE"_s
                                 : u"UPDATE operation SET plant_id = plant_id WHERE 1 = 0"_s;
        ASSERT_TRUE(other.exec(lock)) << qPrintable(other.lastError());
    }

    std::unique_ptr<ThreadBackground> worker;
    std::unique_ptr<OdbcSqlSession> waitingSession;
};

using ORDAN_CENTRAL_SUITE(CentralStationWaiting) = CentralStationWaiting;

TEST_F(ORDAN_CENTRAL_SUITE(CentralStationWaiting), ALockHeldLongerThanTheBoundFailsTheRecordWhilePollingGoesOn)
{
    Station &s = rig.make();
    s.FormCreate();
    s.FormActivate();
    ASSERT_TRUE(runUntil([&] { return s.central()->identified(); }));
    meter.sync();
    s.ActionConnect.execute();
    ASSERT_TRUE(runUntil([&] { return p().SpinEdit_Number.value() == kNumber && s.ActionSetting().isEnabled(); }));

    lockForWriting();
    ASSERT_TRUE(s.ActionSetting().execute());
    ASSERT_TRUE(runUntil([&] { return !s.engine().writePending(WriteKind::Settings); }));
    const size_t before = requests;
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(runUntil([&] { return !rig.op.boxes.empty(); }));
    EXPECT_GE(waited.elapsed(), kLockBound.count() / 2);
    // The bound was reached with the link still polling: tens of exchanges in the wait.
    EXPECT_GT(requests - before, 20u);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(u"Ошибка записи в БД: "_s)) << qPrintable(rig.op.boxes[0].text);
    EXPECT_TRUE(rig.op.boxes[0].text.contains(u"lock"_s, Qt::CaseInsensitive)) << qPrintable(rig.op.boxes[0].text);

    ASSERT_TRUE(db.station().rollback());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation WHERE plant_id = ?"_s, {test::kPlant}), 0);
}

} // namespace
} // namespace ordan
