// The exchange log with its page at the cap: the cost of one more line once the log has taken
// 1,000, 100,000 and 300,000 lines (the page keeps the newest 1,500, the history behind it
// 100,000, so the last run evicts from both). One iteration adds one line: the time column is
// the cost of a line, and it should not grow with the lines taken.
#include "link/exchange_log.h"
#include "link/exchange_log_page.h"
#include "support/test_support.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <benchmark/benchmark.h>

namespace {

void BM_ExchangeLogLine(benchmark::State &state)
{
    ordan::test::FakeOperator op;
    const QDateTime start(QDate(2026, 12, 9), QTime(9, 0));
    qint64 ms = 0;
    ordan::ExchangeLog log(op, [&] { return start.addMSecs(ms += 7); });
    log.setEngineering(true);
    log.CheckBox_Terminal.set(true);
    ordan::ExchangeLogPage page(log);
    const QByteArray reply = QByteArray::fromHex("0006000102030405a1b2");
    for (qint64 i = 0; i < state.range(0); ++i)
        log.bytesReceived(reply);
    for (auto _ : state)
        log.bytesReceived(reply);
    const int blocks = page.memo()->document()->blockCount();
    state.counters["page_lines"] = blocks;
    state.counters["history_lines"] = static_cast<double>(log.history().size());
    if (blocks > ordan::ExchangeLog::kMaxLines || log.lineCount() > ordan::ExchangeLog::kMaxLines)
        state.SkipWithError("the log or its page holds more than 1,500 lines");
    if (static_cast<qsizetype>(log.history().size()) > ordan::ExchangeLog::kMaxHistoryLines)
        state.SkipWithError("the history holds more than 100,000 lines");
}
BENCHMARK(BM_ExchangeLogLine)->Arg(1000)->Arg(100000)->Arg(300000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
