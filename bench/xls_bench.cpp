// The workbook writer on the largest journal the export writes: 251 rows of 8 columns.
#include "xls/xls_book.h"

#include <benchmark/benchmark.h>

namespace {

ordan::XlsBook Journal()
{
    ordan::XlsBook book = ordan::BlankXlsBook();
    for (int r = 0; r < 251; ++r)
        for (int c = 0; c < 8; ++c)
            book.sheets[0].cells[{r, c}] = c == 2 ? ordan::XlsValue(QStringLiteral("08.12.26 10:%1").arg(r % 60))
                                                  : ordan::XlsValue(r * 0.00025 + c);
    return book;
}

void BM_BuildJournalFile(benchmark::State &state)
{
    const ordan::XlsBook book = Journal();
    for (auto _ : state)
        benchmark::DoNotOptimize(ordan::BuildXlsFile(book));
}
BENCHMARK(BM_BuildJournalFile);

void BM_ParseJournalFile(benchmark::State &state)
{
    const QByteArray file = ordan::BuildXlsFile(Journal());
    for (auto _ : state)
        benchmark::DoNotOptimize(ordan::ParseXlsFile(file));
}
BENCHMARK(BM_ParseJournalFile);

} // namespace

BENCHMARK_MAIN();
