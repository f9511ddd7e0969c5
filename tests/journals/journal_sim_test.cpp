// Both journals read from the simulated meter through the engine on virtual time, exported,
// and read back by xlrd.
#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "journal_fixture.h"
#include "journals/journal_text.h"
#include "journals/journals.h"
#include "journals/xls_export_files.h"
#include "link/engine.h"
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::kXlrdNumber;
using test::TextAt;

bool Queued(const Engine &engine, quint8 code)
{
    for (qsizetype i = 0; i < engine.commands().size(); ++i)
        if (ByteAt(engine.commands().at(i), 0) == code)
            return true;
    return false;
}

struct JournalSimTest : ::testing::Test, test::JournalSimBench {
    Journals journals{engine, op, facts, files, [this] { return static_cast<int>(meter.state().serialNumber); }};
    QTemporaryDir dir;

    JournalSimTest()
    {
        facts.elapsedMs = [this] { return timers.now(); };
        host.onReplyAccepted = [this](quint8 code) { journals.replyAccepted(code); };
    }

    void connect()
    {
        ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
        ASSERT_TRUE(timers.advanceUntil([this] { return engine.sendCount() > 3; }, 5000));
    }

    // The read has run when its requests are gone and the first poll reply after it came.
    bool readDone(quint8 code, const FieldBase &gauge)
    {
        return timers.advanceUntil([&] { return !Queued(engine, code) && !gauge.isVisible(); }, 120000);
    }
};

TEST_F(JournalSimTest, BothJournalsReadExportedAndReadBack)
{
    connect();
    const MeterState &s = meter.state();
    ASSERT_GT(s.serialNumber, 0u);

    journals.annual().BitBtn4.execute();
    ASSERT_TRUE(timers.advanceUntil([this] { return journals.annual().Gauge1.value() == 6; }, 60000));
    EXPECT_TRUE(journals.annual().Gauge1.isVisible());
    ASSERT_TRUE(readDone(0x12, journals.annual().Gauge1));
    EXPECT_EQ(journals.annual().Gauge1.value(), 12);
    const AnnualGrid grid = journals.annual().GridJournal.value();
    for (int m = 0; m < 12; ++m) {
        const AnnualMonth &month = *s.annual[static_cast<size_t>(m)];
        const auto &row = grid[static_cast<size_t>(m + 1)];
        EXPECT_EQ(row[0], HexByte(BcdEncode(month.year)) + u' ' + JournalMonthAbbreviations()[m]);
        for (size_t t = 0; t < 3; ++t)
            EXPECT_EQ(row[t + 1], JournalEnergyText(month.energy[t]));
        EXPECT_EQ(row[4], JournalOperatingTimeText(month.operatingTime));
    }

    journals.consumption().BitBtn3.execute();
    ASSERT_TRUE(readDone(0x13, journals.consumption().Gauge2));
    const auto &rows = journals.consumption().ListView1.rows();
    std::vector<int> pages;
    for (int p = 0; p < 250; ++p)
        if (s.consumption[static_cast<size_t>(p)])
            pages.push_back(p);
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(pages.size()));
    ASSERT_EQ(rows.size(), 180);
    EXPECT_EQ(journals.consumption().Gauge2.value(), 249) << "the last page's index";
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ConsumptionPage &p = *s.consumption[static_cast<size_t>(pages[static_cast<size_t>(i)])];
        EXPECT_EQ(rows[i][0], QString::number(pages[static_cast<size_t>(i)]));
        EXPECT_EQ(rows[i][1], QString::number(p.record));
        EXPECT_EQ(rows[i][2], u"%1.%2 %3:%4"_s.arg(p.day, 2, 10, QLatin1Char('0'))
                                  .arg(p.month, 2, 10, QLatin1Char('0'))
                                  .arg(p.hour, 2, 10, QLatin1Char('0'))
                                  .arg(p.minute, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(rows[i][3], JournalEnergyText(p.energy[0]));
        EXPECT_EQ(rows[i][6], QString::number(p.status));
        EXPECT_EQ(rows[i][7], JournalOperatingTimeText(p.operatingTime));
    }
    EXPECT_EQ(host.records, 0) << "a journal read records nothing";
    EXPECT_TRUE(op.boxes.empty());

    const QString annualFile = dir.filePath(u"annual.xls"_s);
    op.nextSaveFile = annualFile;
    journals.annual().BtnJournal.execute();
    const QString consumptionFile = dir.filePath(u"consumption.xls"_s);
    op.nextSaveFile = consumptionFile;
    journals.consumption().BtnDiary.execute();
    EXPECT_TRUE(op.boxes.empty());
    ASSERT_EQ(facts.opened.size(), 2u);

    const auto annual = test::SheetCells(test::ReadWithXlrd(annualFile));
    const QString number = QString::number(s.serialNumber);
    EXPECT_EQ(TextAt(annual, 0, 0), u"Годовой журнал Счетчик № "_s + number + u", "_s);
    for (int m = 0; m < 12; ++m) {
        const AnnualMonth &month = *s.annual[static_cast<size_t>(m)];
        EXPECT_EQ(TextAt(annual, m + 2, 0), grid[static_cast<size_t>(m + 1)][0]);
        ASSERT_EQ(annual.at({m + 2, 1}).type, kXlrdNumber);
        EXPECT_DOUBLE_EQ(annual.at({m + 2, 1}).value.toDouble(), month.energy[0] * 0.00025);
        EXPECT_EQ(TextAt(annual, m + 2, 4), JournalOperatingTimeText(month.operatingTime));
    }

    const QJsonObject consumptionBook = test::ReadWithXlrd(consumptionFile);
    const auto consumption = test::SheetCells(consumptionBook);
    EXPECT_EQ(TextAt(consumption, 0, 0), u"Журнал потребления Счетчик № "_s + number + u", "_s);
    EXPECT_EQ(consumptionBook.value(u"sheets"_s).toArray().at(0).toObject().value(u"nrows"_s).toInt(), 182);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i) + 2;
        const ConsumptionPage &p = *s.consumption[static_cast<size_t>(pages[static_cast<size_t>(i)])];
        EXPECT_EQ(consumption.at({r, 0}).value.toDouble(), pages[static_cast<size_t>(i)]);
        EXPECT_EQ(TextAt(consumption, r, 2), rows[i][2]);
        EXPECT_DOUBLE_EQ(consumption.at({r, 4}).value.toDouble(), p.energy[1] * 0.00025);
        EXPECT_EQ(consumption.at({r, 6}).value.toDouble(), p.status);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{u"annual.xls"_s, u"consumption.xls"_s}));
}

TEST_F(JournalSimTest, TimeOutStopsTheReadAndKeepsTheRowsSoFar)
{
    connect();
    journals.consumption().BitBtn3.execute();
    ASSERT_TRUE(timers.advanceUntil([this] { return journals.consumption().Gauge2.value() >= 100; }, 60000));
    Faults faults;
    faults.silence = true;
    faults.onlyCode = 0x13;
    faults.exchanges = 1;
    endpoint.setFaults(faults);
    const qsizetype sent = endpoint.requests().size();
    ASSERT_TRUE(timers.advanceUntil([this] { return !Queued(engine, 0x13); }, 60000));
    const qsizetype rows = journals.consumption().ListView1.size();
    const int progress = journals.consumption().Gauge2.value();
    EXPECT_GT(rows, 80);
    EXPECT_LT(rows, 180);
    EXPECT_TRUE(journals.consumption().Gauge2.isVisible()) << "until a reply to another request";
    ASSERT_TRUE(timers.advanceUntil([this] { return !journals.consumption().Gauge2.isVisible(); }, 10000));
    timers.advance(5000);
    EXPECT_EQ(journals.consumption().ListView1.size(), rows);
    EXPECT_EQ(journals.consumption().Gauge2.value(), progress);
    int journalRequests = 0;
    for (size_t i = static_cast<size_t>(sent); i < endpoint.requests().size(); ++i)
        journalRequests += ByteAt(endpoint.requests()[i], 0) == 0x13;
    EXPECT_LE(journalRequests, 2) << "nothing of the read is sent after the time-out";
    EXPECT_TRUE(op.boxes.empty()) << "a journal read shows no box";
}

} // namespace
} // namespace ordan
