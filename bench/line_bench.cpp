// A programming line on one production database: 1, 5 and 20 stations in this process, each
// with its own meter-sim on a pseudo-terminal, its own records' thread and database connection
// (the local PostgreSQL server, ORDAN_PG_STATE, as the tests use), programming in a loop for a
// bounded time: "+" for the next number, F12 for the write, its record. Figures: programmings
// a minute, the recording transaction's latency (p50, p99), and, read back from the database,
// numbers programmed twice and programmings lost or recorded twice (all must be 0).
#include "app/serial_station.h"
#include "app/station.h"
#include "core/thread_background.h"
#include "meter/meter_panel.h"
#include "production_test_backend.h"
#include "records/production_db.h"
#include "records/sql_odbc_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

using namespace ordan;
using Clock = std::chrono::steady_clock;

constexpr int kRegisteredMeters = 20000;
// Each line runs this long; ORDAN_LINE_SECONDS shortens it for a quick look.
constexpr int kDefaultSecondsPerLine = 60;
constexpr int kStepMs = 20;
constexpr int kStationsOfLines[] = {1, 5, 20};

// Passes statements on and times each transaction from its begin to its commit. Used on the
// worker's thread only; read once the worker has drained.
class TimedSession final : public SqlSession {
public:
    explicit TimedSession(SqlSession &inner) : inner_(inner) {}
    std::optional<SqlRows> exec(const QString &statement, const QVariantList &params) override
    {
        return inner_.exec(statement, params);
    }
    bool begin() override
    {
        began_ = Clock::now();
        return inner_.begin();
    }
    bool commit() override
    {
        const bool ok = inner_.commit();
        if (ok)
            latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - began_).count());
        return ok;
    }
    bool rollback() override { return inner_.rollback(); }
    std::optional<SqlDialect> dialect() override { return inner_.dialect(); }
    QString lastError() const override { return inner_.lastError(); }

    std::vector<double> latenciesMs;

private:
    SqlSession &inner_;
    Clock::time_point began_;
};

// One station of the line and the loop its operator follows.
class LineStation {
public:
    explicit LineStation(int index) : worker_(QStringLiteral("records-%1").arg(index))
    {
        parts_.facts.computer = QStringLiteral("LINE-%1").arg(index);
        parts_.facts.login = QStringLiteral("op%1").arg(index);
        QFile marker(QDir(parts_.dir.path()).filePath(QStringLiteral("SettingSql.velm")));
        if (!marker.open(QIODevice::WriteOnly))
            return;
        const bool made = worker_.runAndWait([this, index] {
            db_ =
                std::make_unique<OdbcSqlSession>(QStringLiteral("Electrometer"), QStringLiteral("line-%1").arg(index));
            timed_ = std::make_unique<TimedSession>(*db_);
        });
        if (!made || sim_.device().isEmpty())
            return;
        station_ = parts_.start(sim_.device(), nullptr, nullptr, 3, timed_.get(), &worker_);
        station_->FormActivate();
        station_->ActionConnect.execute();
    }
    ~LineStation()
    {
        station_.reset();
        (void)worker_.runAndWait([this] {
            timed_.reset();
            db_.reset();
        });
    }

    bool ready() const { return station_ != nullptr; }

    // One look at the window, as the operator takes it every few milliseconds.
    void step()
    {
        MeterParameters &p = station_->meter().parameters();
        const Indicator light = station_->panel().Shape1.value();
        if (!parts_.op.boxes.empty()) {
            failures.push_back(parts_.op.boxes.front().text);
            parts_.op.boxes.clear();
            while (parts_.op.closeBox()) {
            }
            state_ = State::Idle;
            return;
        }
        switch (state_) {
        case State::Idle:
            if (p.identityRead && p.ActionSetting.isEnabled() && light == Indicator::Hidden) {
                numberBefore_ = p.SpinEdit_Number.value();
                p.BitBtn1.execute();
                state_ = State::Proposed;
            }
            break;
        case State::Proposed:
            if (p.SpinEdit_Number.mark() != 0 && p.SpinEdit_Number.value() != numberBefore_) {
                writing_ = p.SpinEdit_Number.value();
                if (p.ActionSetting.execute())
                    state_ = State::Writing;
            }
            break;
        case State::Writing:
            if (light == Indicator::Green) {
                programmed.push_back(writing_);
                // The programmed meter comes off the bench; the next one, fresh, goes on.
                if (!sim_.command("fresh"))
                    failures.push_back(QStringLiteral("meter-sim took no fresh meter"));
                state_ = State::Shown;
            } else if (light == Indicator::Red) {
                state_ = State::Shown;
            }
            break;
        case State::Shown:
            if (light == Indicator::Hidden)
                state_ = State::Idle;
            break;
        }
    }

    // The transactions' latencies, once the worker has finished what was posted.
    std::vector<double> latencies()
    {
        std::vector<double> out;
        (void)worker_.runAndWait([this, &out] { out = timed_->latenciesMs; });
        return out;
    }

    std::vector<int> programmed;
    std::vector<QString> failures;

private:
    enum class State { Idle, Proposed, Writing, Shown };

    // A fresh meter (no factory number), so that "+" is offered.
    test::MeterSimProcess sim_{{QStringLiteral("--serial"), QStringLiteral("0")}};
    test::SerialStationParts parts_;
    ThreadBackground worker_;
    std::unique_ptr<OdbcSqlSession> db_;
    std::unique_ptr<TimedSession> timed_;
    std::unique_ptr<Station> station_;
    State state_ = State::Idle;
    int numberBefore_ = 0;
    int writing_ = 0;
};

bool Run(OdbcSqlSession &db, const QString &statement, const QVariantList &params = {})
{
    if (db.exec(statement, params))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(statement), qPrintable(db.lastError()));
    return false;
}

// A fresh schema with `stations` workstations and the registered meters 1..kRegisteredMeters.
bool PrepareLine(OdbcSqlSession &db, int stations)
{
    if (const QString error = test::ResetSchema(db); !error.isEmpty()) {
        std::fprintf(stderr, "schema: %s\n", qPrintable(error));
        return false;
    }
    for (int i = 0; i < stations; ++i) {
        if (!Run(db, QStringLiteral("INSERT INTO computer(computer_id,name) VALUES(?,?)"),
                 {100 + i, QStringLiteral("LINE-%1").arg(i)}) ||
            !Run(db, QStringLiteral("INSERT INTO operator(person_id,login,operating) VALUES(?,?,1)"),
                 {200 + i, QStringLiteral("op%1").arg(i)}) ||
            !Run(db, QStringLiteral("INSERT INTO plant(plant_id,type_id,computer_id) VALUES(?,3,?)"),
                 {300 + i, 100 + i}))
            return false;
    }
    return Run(db, QStringLiteral("INSERT INTO electrometer(number,type_id) SELECT n, ? FROM generate_series(1, ?) n"),
               {MeterTypeId, kRegisteredMeters});
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(share * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// True when the line ran and its records are exact.
bool RunLine(OdbcSqlSession &check, int stationCount, int seconds)
{
    if (!PrepareLine(check, stationCount))
        return false;
    std::vector<std::unique_ptr<LineStation>> line;
    for (int i = 0; i < stationCount; ++i) {
        line.push_back(std::make_unique<LineStation>(i));
        if (!line.back()->ready()) {
            std::fprintf(stderr, "station %d did not start\n", i);
            return false;
        }
    }
    QTimer operatorEye;
    QObject::connect(&operatorEye, &QTimer::timeout, [&line] {
        for (auto &station : line)
            station->step();
    });
    operatorEye.start(kStepMs);
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    operatorEye.stop();

    std::map<int, int> seenByStations;
    std::vector<double> latencies;
    size_t failures = 0;
    for (auto &station : line) {
        for (int number : station->programmed)
            ++seenByStations[number];
        const auto own = station->latencies();
        latencies.insert(latencies.end(), own.begin(), own.end());
        failures += station->failures.size();
        for (const QString &text : station->failures)
            std::fprintf(stderr, "  box: %s\n", qPrintable(text));
    }
    line.clear(); // the last records are finished before the database is read

    const auto rows =
        check.exec(QStringLiteral("SELECT e.number, COUNT(*) FROM set_ordan_klv k "
                                  "JOIN operation o ON o.operation_id = k.operation_id "
                                  "JOIN electrometer e ON e.electro_id = o.electro_id GROUP BY e.number"));
    if (!rows) {
        std::fprintf(stderr, "read back: %s\n", qPrintable(check.lastError()));
        return false;
    }
    std::map<int, int> recorded;
    for (const QVariantList &row : rows->rows)
        recorded[row[0].toInt()] = row[1].toInt();
    int duplicates = 0, lost = 0, doubled = 0;
    size_t programmings = 0;
    for (const auto &[number, times] : seenByStations) {
        programmings += static_cast<size_t>(times);
        duplicates += times > 1 ? 1 : 0;
        const int inDb = recorded.count(number) ? recorded[number] : 0;
        lost += inDb < times ? times - inDb : 0;
    }
    for (const auto &[number, times] : recorded) {
        const int seen = seenByStations.count(number) ? seenByStations[number] : 0;
        doubled += times > seen ? times - seen : 0;
    }
    const double perMinute = double(programmings) * 60.0 / seconds;
    std::printf("line of %2d stations: %4zu programmings in %d s, %6.1f a minute, recording p50 %6.1f ms p99 %6.1f ms, "
                "boxes %zu, duplicate numbers %d, lost %d, doubled %d %s\n",
                stationCount, programmings, seconds, perMinute, Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                failures, duplicates, lost, doubled,
                duplicates == 0 && lost == 0 && doubled == 0 && programmings > 0 ? "ok" : "FAILED");
    std::fflush(stdout);
    return duplicates == 0 && lost == 0 && doubled == 0 && programmings > 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    test::SetUpTestEnvironment();
    if (const QString error = test::PrepareBackend(); !error.isEmpty()) {
        std::fprintf(stderr, "PostgreSQL backend unusable: %s\n", qPrintable(error));
        return 1;
    }
    OdbcSqlSession check(QStringLiteral("Electrometer"), QStringLiteral("line-check"));
    const int asked = qEnvironmentVariableIntValue("ORDAN_LINE_SECONDS");
    const int seconds = asked > 0 ? asked : kDefaultSecondsPerLine;
    bool ok = true;
    for (int stations : kStationsOfLines)
        ok = RunLine(check, stations, seconds) && ok;
    return ok ? 0 : 1;
}
