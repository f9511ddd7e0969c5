// The schedule and journal decoders on arbitrary payloads behind a valid frame, the journal
// pages' own handling of those replies, and the texts and export table built from them.
// Checks, besides the sanitizers: what a schedule decoder accepts encodes to a request the
// same decoder reads back unchanged, and every journal number text reads back in the export
// as the count it shows.
//
// Input: byte 0 the locale, then replies, each a selector byte, a length byte and the payload.

#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "fuzz_common.h"
#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journal_export.h"
#include "journals/journal_text.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "link/quiet_host.h"
#include "no_files.h"
#include "schedule/holidays.h"
#include "schedule/schedule_exchange.h"
#include "support/test_support.h"

#include <cmath>

namespace ordan::fuzz {
namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

ZoneTable ZonesOf(const ZoneTableReply &r)
{
    ZoneTable zones = InitialZones();
    for (int z = 0; z < kZoneCount; ++z) {
        zones[z].tariff = r.tariffs[z];
        if (r.starts[z])
            zones[z].start = *r.starts[z];
    }
    return zones;
}

void Schedule(const QByteArray &reply)
{
    const ZoneTableReply zones = DecodeZoneTable(reply);
    if (zones.hasZones) {
        Check(!zones.singleTariff);
        const EncodedRequest first = ZoneTableRequest(false, ZonesOf(zones));
        // A tariff the meter sent is a byte, so it can always be written back.
        Check(first.ok());
        const EncodedRequest second = ZoneTableRequest(false, ZonesOf(DecodeZoneTable(AppendCrc(first.value()))));
        Check(second.ok() && second.value() == first.value());
    }

    const MaskTable masks = DecodeMasks(reply);
    if (ByteAt(reply, 1) == 8)
        Check(DecodeMasks(AppendCrc(MaskRequest(masks))) == masks);

    if (const std::optional<HolidayEntry> h = DecodeHoliday(reply)) {
        // An impossible day is listed as the meter holds it, so the operator sees it; writing
        // it back is refused until it is corrected.
        Check(h->month >= 1 && h->month <= 12);
        const EncodedRequest r = HolidayRequest(ByteAt(reply, 2) % kMaxListEntries, *h);
        Check(r.ok() == IsValidHoliday(*h));
        if (r.ok())
            Check(DecodeHoliday(AppendCrc(r.value())) == h);
        Check(!HolidayDayText(*h).isEmpty());
    }
    if (const std::optional<TransferEntry> t = DecodeTransfer(reply)) {
        Check(IsValidTransfer(*t));
        const EncodedRequest r = TransferRequest(ByteAt(reply, 2) % kMaxListEntries, *t);
        Check(r.ok());
        Check(DecodeTransfer(AppendCrc(r.value())) == t);
    }
}

// An energy text reads back in the export as the count's value to 12 significant digits.
void CheckEnergyText(quint64 count, const QLocale &locale)
{
    const QString text = JournalEnergyText(count, locale);
    const std::optional<double> back = ExportCellNumber(text, locale);
    Check(back.has_value());
    const double exact = static_cast<double>(count & 0xFF'FFFF'FFFFull) * 0.00025;
    Check(std::fabs(*back - exact) <= std::max(1e-5, exact * 1e-11));
}

void Journal(const QByteArray &reply, const QLocale &locale, int year)
{
    if (const auto a = DecodeAnnualJournalRecord(reply)) {
        for (quint64 e : a->energy)
            CheckEnergyText(e, locale);
        Check(JournalOperatingTimeText(a->operatingTime).contains(u':'));
    }
    if (const auto c = DecodeConsumptionJournalRecord(reply)) {
        const ConsumptionRow row = ConsumptionRowTexts(*c, year, locale);
        for (quint64 e : c->energy)
            CheckEnergyText(e, locale);
        Check(row[0] == QString::number(c->page));
    }
}

const QLocale &LocaleOf(quint8 b)
{
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                                      QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::English, QLocale::UnitedStates)};
    return locales[b % 4];
}

} // namespace
} // namespace ordan::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ordan::fuzz::InitQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace ordan;
    using namespace ordan::fuzz;
    Input in(data, size);
    const quint8 setup = in.byte();
    const QLocale &locale = LocaleOf(setup);
    // The journal pages read the year from the workstation's clock and the locale from the default.
    test::LocaleScope scope(locale);
    test::FakeSystemFacts facts;
    facts.base = QDateTime(QDate(2000 + (setup >> 2) % 64, 3, 1), QTime(12, 0));

    VirtualTimers timers;
    test::FakeLine line(timers);
    test::FakeOperator op;
    test::QuietHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine(line, timers, op, host, linkPanel, [&facts] { return facts.now(); });
    AnnualJournal annual(engine);
    ConsumptionJournal consumption(engine, facts);
    qsizetype records = 0;

    for (int n = 0; n < 64 && !in.empty(); ++n) {
        const quint8 selector = in.byte();
        const QByteArray payload = in.bytes(in.byte() % 40);
        static constexpr FunctionCode kCodes[] = {
            FunctionCode::ReadZoneTable, FunctionCode::ReadDayTypeMasks,  FunctionCode::ReadHoliday,
            FunctionCode::ReadTransfer,  FunctionCode::ReadAnnualJournal, FunctionCode::ReadConsumptionJournal};
        const QByteArray reply = MakeFrame(kCodes[selector % 6], payload);
        Schedule(reply);
        Journal(reply, locale, facts.now().date().year());
        annual.decodeReply(reply);
        const qsizetype before = consumption.ListView1.size();
        consumption.decodeReply(reply);
        records += consumption.ListView1.size() - before;
    }

    const QList<QStringList> annualTable = annual.exportTable();
    Check(annualTable.size() == kAnnualRows);
    const QList<QStringList> consumptionTable = consumption.exportTable();
    Check(consumptionTable.size() == records + 1);
    for (const QList<QStringList> *table : {&annualTable, &consumptionTable})
        for (const QStringList &row : *table)
            for (const QString &cell : row)
                ExportCellNumber(cell, locale);

    NoFiles files;
    JournalExport exporter(op, facts, files);
    Check(exporter
              .exportTo(QStringLiteral("/nowhere/journal.xls"), consumptionTable,
                        JournalTitle(QStringLiteral("Журнал потребления "), setup))
              .ok());
    return 0;
}
