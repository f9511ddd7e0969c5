// The journal models bytes in, values out, and their read sequences on the engine's queue.
#include "core/bytes.h"
#include "journal_fixture.h"
#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journal_text.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Frame;
using test::Hex;

QByteArray Energy(quint64 count)
{
    QByteArray out;
    AppendLittleEndian(out, count, 5);
    return out;
}

QByteArray Time24(quint32 count)
{
    QByteArray out;
    AppendLittleEndian(out, count, 3);
    return out;
}

// An annual reply of length byte 22.
QByteArray AnnualReply(quint8 month, quint8 year, quint64 e1, quint64 e2, quint64 e3, quint32 time)
{
    return Frame(Bytes({0x12, 0x16, month, year}) + Energy(e1) + Energy(e2) + Energy(e3) + Time24(time));
}

QByteArray ConsumptionReply(quint8 page, quint8 record, quint8 minute, quint8 hour, quint8 day, quint8 month,
                            quint16 status = 0, std::array<quint64, 3> energy = {4000, 8000, 2})
{
    QByteArray status2;
    AppendLittleEndian(status2, status, 2);
    return Frame(Bytes({0x13, 0x1C, page, record, minute, hour, day, month}) + Energy(energy[0]) + Energy(energy[1]) +
                 Energy(energy[2]) + status2 + Time24(245));
}

class JournalModels : public ::testing::Test, public test::JournalEngine {
protected:
    JournalModels()
    {
        host.onReplyAccepted = [this](quint8 code) {
            annual.replyAccepted(code);
            consumption.replyAccepted(code);
        };
        engine.log().CheckBox_Terminal.set(true);
    }

    AnnualGrid grid() const { return annual.GridJournal.value(); }
    std::array<QString, 5> row(int r) const { return grid()[static_cast<size_t>(r)]; }

    const test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    AnnualJournal annual{engine};
    ConsumptionJournal consumption{engine, facts};
};

TEST_F(JournalModels, AnnualRecordFillsItsRow)
{
    annual.decodeReply(AnnualReply(0, 0x07, 4000, 0x100000000ull, 1, 120));
    EXPECT_EQ(row(1), (std::array<QString, 5>{u"07 янв."_s, u"1,00000"_s, u"1073741,82400"_s, u"0,00025"_s, u"1:0"_s}));
    EXPECT_EQ(annual.Gauge1.value(), 1);
}

TEST_F(JournalModels, AllTwelveMonthsEndTheGaugeAtTwelve)
{
    annual.BitBtn4Click();
    for (int m = 0; m < 12; ++m) {
        annual.decodeReply(AnnualReply(static_cast<quint8>(m), 0x26, 400000 + m, 0, 0, 7319));
        EXPECT_EQ(annual.Gauge1.value(), m + 1);
    }
    for (int m = 0; m < 12; ++m) {
        EXPECT_EQ(row(m + 1)[0], u"26 "_s + JournalMonthAbbreviations()[m]);
        for (int c = 1; c < 5; ++c)
            EXPECT_FALSE(row(m + 1)[static_cast<size_t>(c)].isEmpty()) << m << " " << c;
        EXPECT_EQ(row(m + 1)[4], u"60:59"_s);
    }
    EXPECT_TRUE(annual.Gauge1.isVisible());
}

TEST_F(JournalModels, ShortAnnualReplyLeavesTheMonthNameAlone)
{
    annual.decodeReply(AnnualReply(5, 0x26, 1, 2, 3, 4));
    ASSERT_EQ(row(6)[0], u"26 июнь"_s);
    annual.decodeReply(Frame(Bytes({0x12, 0x03, 0x05})));
    EXPECT_EQ(row(6), (std::array<QString, 5>{u"июнь"_s, {}, {}, {}, {}}));
    EXPECT_EQ(annual.Gauge1.value(), 6);
}

TEST_F(JournalModels, AnnualMonthTwelveLogsOnlyWhileTheLogIsOn)
{
    const AnnualGrid before = grid();
    annual.decodeReply(AnnualReply(12, 0x26, 1, 2, 3, 4));
    EXPECT_EQ(grid(), before);
    ASSERT_EQ(engine.log().lineCount(), 1);
    EXPECT_EQ(engine.log().lines().back(), u"Некорректный месяц журнала"_s);
    EXPECT_EQ(annual.Gauge1.value(), 12);

    engine.log().CheckBox_Terminal.set(false);
    annual.decodeReply(AnnualReply(200, 0x26, 1, 2, 3, 4));
    EXPECT_EQ(engine.log().lineCount(), 1);
    EXPECT_EQ(grid(), before);

    // A shorter reply with such an index changes nothing and logs nothing.
    engine.log().CheckBox_Terminal.set(true);
    annual.decodeReply(Frame(Bytes({0x12, 0x03, 0x0C})));
    EXPECT_EQ(engine.log().lineCount(), 1);
    EXPECT_EQ(grid(), before);
}

TEST_F(JournalModels, AnnualRowFollowsTheIndexTheReplyCarries)
{
    annual.decodeReply(AnnualReply(9, 0x25, 4000, 4000, 4000, 2));
    EXPECT_EQ(row(10)[0], u"25 окт."_s);
    EXPECT_EQ(row(1)[1], QString());
    EXPECT_EQ(annual.Gauge1.value(), 10);
}

TEST_F(JournalModels, AnnualReplyWithoutPayloadChangesNothing)
{
    // The byte at offset 2 of "12 02 CRC" is the checksum (0x8C); read as a month it would
    // move the gauge to its end.
    annual.decodeReply(AnnualReply(3, 0x26, 1, 2, 3, 4));
    const AnnualGrid before = grid();
    annual.decodeReply(Frame(Bytes({0x12, 0x02})));
    EXPECT_EQ(grid(), before);
    EXPECT_EQ(annual.Gauge1.value(), 4);
}

TEST_F(JournalModels, AnnualReadQueuesTwelveMonthsAndEmptiesTheValues)
{
    ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
    annual.decodeReply(AnnualReply(2, 0x26, 1, 2, 3, 4));
    annual.Gauge1.set(7);
    annual.BitBtn4.execute();
    ASSERT_EQ(engine.commands().size(), 12);
    EXPECT_EQ(Hex(engine.commands().at(0)), u"12 03 00 D1 35"_s);
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(engine.commands().at(m).left(3), Bytes({0x12, 0x03, m}));
    EXPECT_EQ(row(3), (std::array<QString, 5>{u"26 март"_s, {}, {}, {}, {}})) << "column 0 keeps its text";
    EXPECT_EQ(annual.Gauge1.value(), 0);
    EXPECT_TRUE(annual.Gauge1.isVisible());
}

TEST_F(JournalModels, AnnualReadWhileDisconnectedEmptiesValuesAndShowsZero)
{
    annual.decodeReply(AnnualReply(2, 0x26, 1, 2, 3, 4));
    annual.BitBtn4Click();
    EXPECT_TRUE(engine.commands().isEmpty());
    EXPECT_EQ(row(3)[1], QString());
    EXPECT_EQ(annual.Gauge1.value(), 0);
    EXPECT_TRUE(annual.Gauge1.isVisible());
}

TEST_F(JournalModels, GaugesFollowTheCodeOfTheAcceptedReply)
{
    struct Case {
        quint8 code;
        bool gauge1;
        bool gauge2;
    };
    for (const Case &k : {Case{0x12, true, false}, Case{0x13, false, true}, Case{0x0F, false, false},
                          Case{0x12, true, false}, Case{0x00, false, false}}) {
        host.replyAccepted(k.code);
        EXPECT_EQ(annual.Gauge1.isVisible(), k.gauge1) << int(k.code);
        EXPECT_EQ(consumption.Gauge2.isVisible(), k.gauge2) << int(k.code);
    }
}

TEST_F(JournalModels, ConsumptionRecordGivesOneRow)
{
    consumption.decodeReply(ConsumptionReply(7, 3, 0x05, 0x14, 0x07, 0x03, 0x8001));
    ASSERT_EQ(consumption.ListView1.size(), 1);
    EXPECT_EQ(consumption.ListView1.rows()[0], (ConsumptionRow{u"7"_s, u"3"_s, u"07.03 14:05"_s, u"1,00000"_s,
                                                               u"2,00000"_s, u"0,00050"_s, u"32769"_s, u"2:2"_s}));
    EXPECT_EQ(consumption.Gauge2.value(), 7);
}

// Each tariff's count has five bytes: values above 32 bits in every column (the 40-bit
// maximum is rounded to 12 significant digits).
TEST_F(JournalModels, ConsumptionEnergiesUseAllFiveBytes)
{
    const struct {
        std::array<quint64, 3> energy;
        std::array<QString, 3> texts;
    } cases[] = {
        {{0x0100000001ull, 0xFFFFFFFFFFull, 4}, {u"1073741,82425"_s, u"274877906,94400"_s, u"0,00100"_s}},
        {{0xFFFFFFFFFFull, 4, 0x0100000001ull}, {u"274877906,94400"_s, u"0,00100"_s, u"1073741,82425"_s}},
        {{4, 0x0100000001ull, 0xFFFFFFFFFFull}, {u"0,00100"_s, u"1073741,82425"_s, u"274877906,94400"_s}},
    };
    for (const auto &c : cases)
        consumption.decodeReply(ConsumptionReply(1, 1, 0x05, 0x14, 0x07, 0x03, 0, c.energy));
    ASSERT_EQ(consumption.ListView1.size(), 3);
    for (size_t i = 0; i < 3; ++i) {
        const ConsumptionRow &r = consumption.ListView1.rows()[static_cast<qsizetype>(i)];
        EXPECT_EQ((std::array<QString, 3>{r[3], r[4], r[5]}), cases[i].texts) << i;
    }
}

TEST_F(JournalModels, ConsumptionImpossibleStampLeavesOnlyTheTimeEmpty)
{
    consumption.decodeReply(ConsumptionReply(1, 2, 0x05, 0x14, 0x07, 0x13));
    ASSERT_EQ(consumption.ListView1.size(), 1);
    const ConsumptionRow &r = consumption.ListView1.rows()[0];
    EXPECT_EQ(r[2], QString());
    for (size_t c : {0u, 1u, 3u, 4u, 5u, 6u, 7u})
        EXPECT_FALSE(r[c].isEmpty()) << c;
}

TEST_F(JournalModels, TwentyNinthOfFebruaryOnlyInALeapCurrentYear)
{
    facts.base = QDateTime(QDate(2028, 6, 1), QTime(9, 0));
    consumption.decodeReply(ConsumptionReply(0, 0, 0x30, 0x08, 0x29, 0x02));
    facts.base = QDateTime(QDate(2027, 6, 1), QTime(9, 0));
    consumption.decodeReply(ConsumptionReply(1, 1, 0x30, 0x08, 0x29, 0x02));
    ASSERT_EQ(consumption.ListView1.size(), 2);
    EXPECT_EQ(consumption.ListView1.rows()[0][2], u"29.02 08:30"_s);
    EXPECT_EQ(consumption.ListView1.rows()[1][2], QString());
}

TEST_F(JournalModels, PageWithoutRecordMovesOnlyTheGauge)
{
    consumption.decodeReply(Frame(Bytes({0x13, 0x03, 200})));
    EXPECT_EQ(consumption.ListView1.size(), 0);
    EXPECT_EQ(consumption.Gauge2.value(), 200);
    // An index past the last page stops at the maximum.
    consumption.decodeReply(Frame(Bytes({0x13, 0x03, 0xFF})));
    EXPECT_EQ(consumption.Gauge2.value(), 250);
}

TEST_F(JournalModels, ConsumptionReplyWithoutPayloadChangesNothing)
{
    consumption.decodeReply(Frame(Bytes({0x13, 0x03, 20})));
    consumption.decodeReply(Frame(Bytes({0x13, 0x02})));
    EXPECT_EQ(consumption.Gauge2.value(), 20);
    EXPECT_EQ(consumption.ListView1.size(), 0);
}

TEST_F(JournalModels, ConsumptionReadQueuesTwoHundredFiftyPages)
{
    ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
    consumption.BitBtn3.execute();
    ASSERT_EQ(engine.commands().size(), 250);
    EXPECT_EQ(Hex(engine.commands().at(0)), u"13 03 00 80 F5"_s);
    for (int p = 0; p < 250; ++p)
        EXPECT_EQ(engine.commands().at(p).left(3), Bytes({0x13, 0x03, p}));
    EXPECT_TRUE(consumption.Gauge2.isVisible());
    EXPECT_EQ(consumption.Gauge2.value(), 0);
}

TEST_F(JournalModels, ReadingTwiceEmptiesTheListFirst)
{
    int cleared = 0;
    QObject::connect(&consumption.ListView1, &ConsumptionList::rowsCleared, [&cleared] { ++cleared; });
    consumption.BitBtn3Click();
    consumption.decodeReply(ConsumptionReply(0, 0, 0x05, 0x14, 0x07, 0x03));
    consumption.decodeReply(ConsumptionReply(1, 1, 0x05, 0x14, 0x07, 0x03));
    ASSERT_EQ(consumption.ListView1.size(), 2);
    consumption.decodeReply(Frame(Bytes({0x13, 0x03, 90})));
    consumption.BitBtn3Click();
    EXPECT_EQ(consumption.ListView1.size(), 0);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(consumption.Gauge2.value(), 0);
    consumption.decodeReply(ConsumptionReply(4, 9, 0x05, 0x14, 0x07, 0x03));
    ASSERT_EQ(consumption.ListView1.size(), 1);
    EXPECT_EQ(consumption.ListView1.rows()[0][1], u"9"_s);
}

TEST_F(JournalModels, ConsumptionReadWhileDisconnectedEmptiesTheListAndShowsZero)
{
    consumption.decodeReply(ConsumptionReply(0, 0, 0x05, 0x14, 0x07, 0x03));
    consumption.BitBtn3Click();
    EXPECT_TRUE(engine.commands().isEmpty());
    EXPECT_EQ(consumption.ListView1.size(), 0);
    EXPECT_EQ(consumption.Gauge2.value(), 0);
    EXPECT_TRUE(consumption.Gauge2.isVisible());
}

} // namespace
} // namespace ordan
