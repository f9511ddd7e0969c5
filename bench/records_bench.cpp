// What an operator waits for after a read or a write: the export of a full consumption journal
// (250 rows) to an .xls file, one append to Setting.DBF, and one recording of a programming in
// the production database on the local PostgreSQL server (ORDAN_PG_STATE, as the tests use).
#include "central_test_db.h"
#include "journals/consumption_journal.h"
#include "journals/journal_export.h"
#include "journals/xls_export_files.h"
#include "production_test_backend.h"
#include "records/dbf_table.h"
#include "records/production_db.h"
#include "records/setting_table.h"
#include "support/result_checks.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace ordan;

ExportTable ConsumptionTable()
{
    ExportTable table{ConsumptionCaptions()};
    for (int page = 0; page < kConsumptionPages; ++page) {
        ConsumptionJournalRecord r;
        r.page = static_cast<quint8>(page);
        r.record = static_cast<quint8>(page);
        r.minute = 0x30;
        r.hour = 0x10;
        r.day = 0x08;
        r.month = 0x12;
        r.energy = {quint64(1000000 + page), quint64(2000000 + page), quint64(3000000 + page)};
        r.operatingTime = 86400u + static_cast<quint32>(page);
        const ConsumptionRow row = ConsumptionRowTexts(r, 2026);
        table.append(QStringList(row.begin(), row.end()));
    }
    return table;
}

void BM_ExportConsumptionJournal(benchmark::State &state)
{
    QTemporaryDir dir;
    test::FakeOperator op;
    test::FakeSystemFacts facts;
    XlsExportFiles files;
    JournalExport exporter(op, facts, files);
    const ExportTable table = ConsumptionTable();
    const QString chosen = dir.filePath(QStringLiteral("journal.xls"));
    for (auto _ : state)
        if (!exporter.exportTo(chosen, table, QStringLiteral("Журнал потребления ")))
            state.SkipWithError("the export failed");
    state.counters["limit_ms"] = 50;
}
BENCHMARK(BM_ExportConsumptionJournal)->Unit(benchmark::kMillisecond);

LocalRow SettingRow(int number)
{
    return {{QStringLiteral("c_number"), number},
            {QStringLiteral("version"), QStringLiteral("10.3")},
            {QStringLiteral("turn_on"), 12},
            {QStringLiteral("status"), 18},
            {QStringLiteral("c_date"), QDate(2026, 12, 9)},
            {QStringLiteral("c_time"), QStringLiteral("10:15")},
            {QStringLiteral("summer"), false},
            {QStringLiteral("reset"), true},
            {QStringLiteral("report"), false},
            {QStringLiteral("date_rec"), QDate(2026, 12, 9)},
            {QStringLiteral("time_rec"), QStringLiteral("10:16")},
            {QStringLiteral("ncorrect"), 3}};
}

// Appends to a log that already holds state.range(0) rows.
void BM_SettingTableAppend(benchmark::State &state)
{
    QTemporaryDir dir;
    DbfTable table(dir.filePath(QStringLiteral("Setting.DBF")));
    QString error;
    if (!Succeeded(CreateSettingTable(table.path()), error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int number = 0;
    for (qint64 i = 0; i < state.range(0); ++i) {
        if (!Succeeded(table.append(SettingRow(++number)), error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
    for (auto _ : state)
        if (!Succeeded(table.append(SettingRow(++number)), error))
            state.SkipWithError(qPrintable(error));
    state.counters["limit_ms"] = 5;
}
BENCHMARK(BM_SettingTableAppend)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DatabaseRecording(benchmark::State &state)
{
    test::CentralDb db;
    const QString error = db.setUp();
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const int electroId = db.registerMeter(77881);
    OperationRecord record;
    record.version = QStringLiteral("10.3");
    record.turn_on = 12;
    record.status = 18;
    for (auto _ : state) {
        const auto id = RecordOperation(db.station(), StationIdentity{test::kComputer, test::kPerson, test::kPlant},
                                        electroId, record);
        if (!id)
            state.SkipWithError("the recording failed");
    }
    state.counters["limit_ms"] = 50;
    db.tearDown();
}
BENCHMARK(BM_DatabaseRecording)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
