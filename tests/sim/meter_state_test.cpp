#include "core/bytes.h"
#include "link/catalogue.h"
#include "link/frame.h"
#include "link/reply_judge.h"
#include "sim/meter_state.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::FromHex;
using test::Hex;

QString WithCrc(const char *body) { return Hex(AppendCrc(FromHex(QString::fromLatin1(body)))); }

class MeterStateTest : public ::testing::Test {
protected:
    QString Ask(const char *body)
    {
        const auto reply = meter.Answer(AppendCrc(FromHex(QString::fromLatin1(body))));
        return reply ? Hex(*reply) : QStringLiteral("(silence)");
    }
    QString AskRaw(const char *frame)
    {
        const auto reply = meter.Answer(FromHex(QString::fromLatin1(frame)));
        return reply ? Hex(*reply) : QStringLiteral("(silence)");
    }
    void Authorise() { ASSERT_EQ(Ask("14 04 01 00"), WithCrc("14 02")); }

    qint64 now = 0;
    SimulatedMeter meter{[this] { return now; }};
};

TEST_F(MeterStateTest, ReadRepliesByteForByte)
{
    MeterState &s = meter.state();
    s.setClock(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30), Qt::UTC));
    s.summerTimeAuto = true;
    s.statusWord = 0x0812;
    s.radioStatus = 0xC9;
    s.indicationMask = 0x05;
    s.operatingTime = 125;
    s.correctionCount = 7;
    s.billingDay = 25;
    s.billingHour = 7;
    s.ddmNumbers = {1, 2, 70000};
    s.ddmTimes = {90000, 0, 0x01020304};

    const struct {
        const char *request;
        const char *reply;
    } cases[] = {
        {"00 02", "00 04 03 10"},
        {"01 02", "01 05 39 30 01"},
        {"04 02", "04 0A 30 15 10 02 08 12 26 80"},
        {"06 02", "06 04 12 08"},
        {"0A 02", "0A 0B 01 00 00 02 00 00 70 11 01"},
        {"0C 02", "0C 03 C9"},
        {"0D 02", "0D 03 05"},
        {"11 02", "11 06 7D 00 00 07"},
        {"22 02", "22 04 07 25"},
        {"2A 02", "2A 11 01 90 5F 01 00 02 00 00 00 00 03 04 03 02 01"},
        {"2E 02", "2E 08 FF FF FF FF FF FF"},
        {"08 02", "08 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Ask(c.request), WithCrc(c.reply)) << c.request;
}

// The catalogue's reply lengths are the meter's: every read, slot 0 where it takes a slot, is
// answered in the full form or in the code's short one.
TEST_F(MeterStateTest, EveryReadIsAnsweredInACatalogueReplyForm)
{
    for (const CommandInfo &info : CommandCatalogue()) {
        if (info.isWrite || info.code == FunctionCode::AccessPassword)
            continue;
        const QByteArray payload(info.requestLength - 2, '\0');
        const std::optional<QByteArray> reply = meter.Answer(MakeFrame(info.code, payload));
        ASSERT_TRUE(reply) << info.what;
        EXPECT_TRUE(IsReplyForm(*reply, info.code) || IsReplyForm(*reply, info.code, ReplyForm::Short))
            << info.what << ": " << Hex(*reply).toStdString();
    }
}

TEST_F(MeterStateTest, VersionIsTwoBcdBytesMinorFirst)
{
    meter.state().versionMajor = 9;
    meter.state().versionMinor = 5;
    EXPECT_EQ(Ask("00 02"), WithCrc("00 04 05 09"));
    meter.state().versionMajor = 12;
    meter.state().versionMinor = 10;
    EXPECT_EQ(Ask("00 02"), WithCrc("00 04 10 12"));
}

TEST_F(MeterStateTest, SerialNumberZeroIsUnprogrammed)
{
    meter.state().serialNumber = 0;
    EXPECT_EQ(Ask("01 02"), WithCrc("01 05 00 00 00"));
    meter.state().serialNumber = 131071;
    EXPECT_EQ(Ask("01 02"), WithCrc("01 05 FF FF 01"));
}

TEST_F(MeterStateTest, ReadingsCarryBillingDayFromVersionTen)
{
    MeterState &s = meter.state();
    s.currentEnergy = {4000, 8000, 1};
    s.billingEnergy = {0, 0, quint64(1) << 32};
    const QString current = QStringLiteral("A0 0F 00 00 00 40 1F 00 00 00 01 00 00 00 00");
    EXPECT_EQ(Ask("0F 02"), Hex(AppendCrc(FromHex(QStringLiteral("0F 20 ") + current +
                                                  QStringLiteral(" 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01")))));
    s.versionMajor = 9;
    EXPECT_EQ(Ask("0F 02"), Hex(AppendCrc(FromHex(QStringLiteral("0F 11 ") + current))));
    s.readingsWithBillingDay = true;
    EXPECT_EQ(FromHex(Ask("0F 02")).size(), 34);
    s.versionMajor = 10;
    s.readingsWithBillingDay = false;
    EXPECT_EQ(FromHex(Ask("0F 02")).size(), 19);
}

TEST_F(MeterStateTest, ClockRunsOnTheTimeSourceWithTheRightWeekday)
{
    meter.state().setClock(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 50), Qt::UTC));
    now += 15'500;
    // Wednesday 9 December 2026, 00:00:05.
    EXPECT_EQ(Ask("04 02"), WithCrc("04 0A 05 00 00 03 09 12 26 00"));
    now += 4 * 86'400'000LL;
    EXPECT_EQ(Ask("04 02"), WithCrc("04 0A 05 00 00 07 13 12 26 00"));
}

TEST_F(MeterStateTest, OperatingTimeAndEnergyGrowWhileRunning)
{
    MeterState &s = meter.state();
    s.setClock(QDateTime(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC)); // zone 2, tariff 3
    s.operatingTime = 0;
    s.currentEnergy = {0, 0, 0};
    now += 29'999;
    meter.sync();
    EXPECT_EQ(s.operatingTime, 0u);
    now += 1;
    meter.sync();
    EXPECT_EQ(s.operatingTime, 1u);
    now += 3'600'000 - 30'000;
    meter.sync();
    EXPECT_EQ(s.operatingTime, 120u);
    EXPECT_EQ(s.currentEnergy[2], 14400u);
    EXPECT_EQ(s.currentEnergy[0] + s.currentEnergy[1], 0u);
    // Past 11:30 the second tariff counts.
    now += 2 * 3'600'000;
    meter.sync();
    EXPECT_EQ(s.currentEnergy[2], 14400u + 21600u);
    EXPECT_EQ(s.currentEnergy[1], 7200u);
}

TEST_F(MeterStateTest, TariffFollowsZonesDayTypesHolidaysAndTransfers)
{
    MeterState &s = meter.state();
    s.holidays.fill(std::nullopt);
    s.transfers.fill(std::nullopt);
    // Zone 1 (tariff 2 from 06:30) only on holidays; otherwise zone 0 goes on till 08:30.
    s.dayTypeMasks = {0xFF, 0x80, 0xFF, 0xFF, 0xFF, 0xFF};
    s.setClock(QDateTime(QDate(2026, 12, 8), QTime(7, 0), Qt::UTC));
    EXPECT_EQ(meter.tariffNow(), 1);
    s.holidays[3] = MeterHoliday{8, 12};
    EXPECT_EQ(meter.tariffNow(), 2);
    s.holidays[3].reset();
    s.transfers[0] = MeterTransfer{8, 12, 26, 8};
    EXPECT_EQ(meter.tariffNow(), 2);
    s.versionMajor = 9; // no day types: every zone applies
    s.transfers.fill(std::nullopt);
    EXPECT_EQ(meter.tariffNow(), 2);
    s.setClock(QDateTime(QDate(2026, 12, 8), QTime(23, 0), Qt::UTC));
    EXPECT_EQ(meter.tariffNow(), 2);
    s.singleTariff = true;
    EXPECT_EQ(meter.tariffNow(), 1);
}

TEST_F(MeterStateTest, BillingDayCountersFreezeAtTheBillingMoment)
{
    MeterState &s = meter.state();
    s.billingDay = 9;
    s.billingHour = 0;
    s.billingEnergy = {0, 0, 0};
    s.setClock(QDateTime(QDate(2026, 12, 8), QTime(23, 59), Qt::UTC));
    now += 59'000;
    meter.sync();
    EXPECT_EQ(s.billingEnergy, (std::array<quint64, 3>{0, 0, 0}));
    const auto before = s.currentEnergy;
    now += 2'000;
    meter.sync();
    EXPECT_NE(s.billingEnergy, (std::array<quint64, 3>{0, 0, 0}));
    EXPECT_EQ(s.billingEnergy[0], before[0]);
}

TEST_F(MeterStateTest, AnnualJournalHasEveryMonthWithBcdYear)
{
    const QByteArray jan = FromHex(Ask("12 03 00"));
    ASSERT_EQ(jan.size(), 24);
    EXPECT_EQ(ByteAt(jan, 1), 22);
    EXPECT_EQ(ByteAt(jan, 2), 0);
    EXPECT_EQ(ByteAt(jan, 3), 0x26);
    EXPECT_EQ(LittleEndian(jan, 4, 5), 400'000u);
    EXPECT_EQ(LittleEndian(jan, 9, 5), 200'000u);
    EXPECT_EQ(LittleEndian(jan, 14, 5), 100'000u);
    EXPECT_EQ(LittleEndian(jan, 19, 3), 31u * 24 * 120);
    EXPECT_TRUE(CheckReplyCrc(jan));
    for (int m = 0; m < 12; ++m) {
        const QByteArray r = *meter.Answer(AppendCrc(Bytes({0x12, 3, m})));
        EXPECT_EQ(ByteAt(r, 1), 22) << m;
        EXPECT_EQ(ByteAt(r, 2), m);
    }
    meter.state().annual[5].reset();
    EXPECT_EQ(Ask("12 03 05"), WithCrc("12 03 05"));
    EXPECT_EQ(Ask("12 03 0C"), WithCrc("92 03 04"));
}

TEST_F(MeterStateTest, AnnualJournalYearsLeadUpToTheClock)
{
    SimulatedMeter march([] { return 0; }, SampleMeterState(QDateTime(QDate(2026, 3, 15), QTime(12, 0), Qt::UTC)));
    EXPECT_EQ(ByteAt(*march.Answer(AppendCrc(Bytes({0x12, 3, 2}))), 3), 0x26);
    EXPECT_EQ(ByteAt(*march.Answer(AppendCrc(Bytes({0x12, 3, 3}))), 3), 0x25);
}

TEST_F(MeterStateTest, ConsumptionJournalPagesWithAndWithoutRecords)
{
    ConsumptionPage p;
    p.record = 3;
    p.minute = 5;
    p.hour = 14;
    p.day = 7;
    p.month = 3;
    p.energy = {4000, 8000, 1};
    p.status = 0x8001;
    p.operatingTime = 120;
    meter.state().consumption[7] = p;
    EXPECT_EQ(Ask("13 03 07"), WithCrc("13 1C 07 03 05 14 07 03 A0 0F 00 00 00 40 1F 00 00 00 01 00 00 00 00 "
                                       "01 80 78 00 00"));
    EXPECT_EQ(Ask("13 03 09"), WithCrc("13 03 09"));
    EXPECT_EQ(Ask("13 03 C8"), WithCrc("13 03 C8"));
    EXPECT_EQ(Ask("13 03 F9"), WithCrc("13 03 F9"));
    EXPECT_EQ(Ask("13 03 FA"), WithCrc("93 03 04"));

    int filled = 0;
    for (int page = 0; page < 250; ++page) {
        const QByteArray r = *meter.Answer(AppendCrc(Bytes({0x13, 3, page})));
        ASSERT_TRUE(ByteAt(r, 1) == 28 || ByteAt(r, 1) == 3) << page;
        EXPECT_EQ(ByteAt(r, 2), page);
        filled += ByteAt(r, 1) == 28;
    }
    EXPECT_EQ(filled, 180);
}

TEST_F(MeterStateTest, HolidaysAndTransfersFilledAndEmpty)
{
    MeterState &s = meter.state();
    s.holidays[0] = MeterHoliday{1, 1};
    s.holidays[15].reset();
    s.transfers[0] = MeterTransfer{7, 3, 10, 6};
    s.transfers[15].reset();
    EXPECT_EQ(Ask("26 03 00"), WithCrc("26 05 00 01 01"));
    EXPECT_EQ(Ask("26 03 0F"), WithCrc("26 03 0F"));
    EXPECT_EQ(Ask("26 03 10"), WithCrc("A6 03 04"));
    EXPECT_EQ(Ask("28 03 00"), WithCrc("28 07 00 07 03 10 06"));
    EXPECT_EQ(Ask("28 03 0F"), WithCrc("28 03 0F"));
}

TEST_F(MeterStateTest, JournalReadsPastTheLastMonthOrPageAreRefused)
{
    MeterState &s = meter.state();
    s.annual[11].reset();
    s.consumption[249].reset();
    EXPECT_EQ(Ask("12 03 0B"), WithCrc("12 03 0B")); // the last month, empty
    EXPECT_EQ(Ask("12 03 0C"), WithCrc("92 03 04"));
    EXPECT_EQ(Ask("13 03 F9"), WithCrc("13 03 F9")); // the last page, empty
    EXPECT_EQ(Ask("13 03 FA"), WithCrc("93 03 04"));
}

TEST_F(MeterStateTest, ErrorRepliesAndTheirCrc)
{
    EXPECT_EQ(Ask("10 02"), WithCrc("90 03 01"));          // code 16 is no function of the meter
    EXPECT_EQ(Ask("80 02"), WithCrc("00 03 01"));          // nor is anything from 128 up
    EXPECT_EQ(AskRaw("00 02 80 70"), WithCrc("80 03 03")); // CRC damaged
    EXPECT_EQ(AskRaw("00 02"), WithCrc("80 03 02"));       // too short to be a frame
    EXPECT_EQ(Ask("00 02 00"), WithCrc("80 03 02"));       // more bytes than L counts
    EXPECT_EQ(Ask("00 03 00"), WithCrc("80 03 02"));       // a length the code does not have
    EXPECT_EQ(Ask("12 02"), WithCrc("92 03 02"));
    EXPECT_EQ(Ask("09 05 01 02 03"), WithCrc("89 03 02"));
    EXPECT_EQ(Ask("14 04 02 00"), WithCrc("94 03 06")); // wrong password
    // The refusal of a wrong password is exactly the station's worked example.
    EXPECT_EQ(Ask("14 04 07 00"), QStringLiteral("94 03 06 B0 DE"));
    EXPECT_EQ(meter.Answer(QByteArray()), std::nullopt);
}

TEST_F(MeterStateTest, ErrorRepliesPassTheStationsJudgement)
{
    const QByteArray request = AppendCrc(FromHex(QStringLiteral("14 04 07 00")));
    const Judgement j = JudgeReply(*meter.Answer(request), request);
    EXPECT_EQ(j.verdict, Verdict::ErrorReply);
    EXPECT_EQ(j.errorCode, 6);
}

TEST_F(MeterStateTest, ExtendedCodesAreUnknownToVersionNine)
{
    meter.state().versionMajor = 9;
    Authorise();
    const char *requests[] = {"2A 02", "2E 02", "2F 08 FF FF FF FF FF FF", "26 03 00", "27 02", "28 03 00", "29 02"};
    for (const char *r : requests) {
        const QByteArray reply = FromHex(Ask(r));
        EXPECT_EQ(ByteAt(reply, 0), (FromHex(QString::fromLatin1(r))[0] & 0xFF) + 128) << r;
        EXPECT_EQ(ByteAt(reply, 2), 1) << r;
    }
    meter.state().versionMajor = 10;
    EXPECT_EQ(ByteAt(FromHex(Ask("2E 02")), 1), 8);
}

TEST_F(MeterStateTest, WritesNeedThePasswordUntilTheNextRead)
{
    const QString denied = WithCrc("85 03 06");
    EXPECT_EQ(Ask("05 0A 09 05 07 01 09 03 26 80"), denied);
    EXPECT_FALSE(meter.authorised());
    Authorise();
    EXPECT_TRUE(meter.authorised());
    EXPECT_EQ(Ask("05 0A 09 05 07 01 09 03 26 80"), WithCrc("05 02"));
    EXPECT_EQ(Ask("07 02"), WithCrc("07 02"));
    EXPECT_EQ(Ask("00 02"), WithCrc("00 04 03 10"));
    EXPECT_FALSE(meter.authorised());
    EXPECT_EQ(Ask("07 02"), WithCrc("87 03 06"));
}

TEST_F(MeterStateTest, EveryWriteCodeIsRefusedWithoutAccess)
{
    const char *writes[] = {"02 05 01 00 00", "03 03 05",    "05 0A 00 00 00 01 01 01 26 00",
                            "07 02",          "09 02",       "0B 0B 01 00 00 02 00 00 03 00 00",
                            "0E 03 01",       "23 04 00 01", "24 02",
                            "27 02",          "29 02",       "2F 08 01 01 01 01 01 01"};
    const MeterState before = meter.state();
    for (const char *w : writes) {
        const QByteArray reply = FromHex(Ask(w));
        EXPECT_EQ(ByteAt(reply, 1), 3) << w;
        EXPECT_EQ(ByteAt(reply, 2), 6) << w;
    }
    EXPECT_EQ(meter.state().busAddress, before.busAddress);
    EXPECT_EQ(meter.state().serialNumber, before.serialNumber);
}

TEST_F(MeterStateTest, PasswordWhileAuthorisedBecomesTheNewPassword)
{
    Authorise();
    EXPECT_EQ(Ask("14 04 39 30"), WithCrc("14 02")); // 12345
    EXPECT_EQ(meter.state().password, 12345);
    EXPECT_EQ(Ask("00 02"), WithCrc("00 04 03 10"));
    EXPECT_EQ(Ask("14 04 01 00"), WithCrc("94 03 06"));
    EXPECT_EQ(Ask("14 04 39 30"), WithCrc("14 02"));
    EXPECT_EQ(Ask("24 02"), WithCrc("24 02"));
}

TEST_F(MeterStateTest, WritesChangeWhatIsReadBack)
{
    Authorise();
    EXPECT_EQ(Ask("02 05 39 30 01"), WithCrc("02 02"));
    EXPECT_EQ(Ask("0E 03 F6"), WithCrc("0E 02"));
    EXPECT_EQ(Ask("23 04 07 25"), WithCrc("23 02"));
    EXPECT_EQ(Ask("09 02"), WithCrc("09 02"));
    EXPECT_EQ(Ask("2F 08 01 02 04 08 10 E0"), WithCrc("2F 02"));
    EXPECT_EQ(Ask("27 02"), WithCrc("27 02"));
    EXPECT_EQ(Ask("27 05 03 25 12"), WithCrc("27 02"));
    EXPECT_EQ(Ask("29 02"), WithCrc("29 02"));
    EXPECT_EQ(Ask("29 07 00 07 03 10 06"), WithCrc("29 02"));

    EXPECT_EQ(Ask("01 02"), WithCrc("01 05 39 30 01"));
    EXPECT_EQ(Ask("0D 02"), WithCrc("0D 03 06"));
    EXPECT_EQ(Ask("22 02"), WithCrc("22 04 07 25"));
    EXPECT_EQ(Ask("08 02"), WithCrc("08 02"));
    EXPECT_EQ(Ask("2E 02"), WithCrc("2E 08 01 02 04 08 10 E0"));
    EXPECT_EQ(Ask("26 03 00"), WithCrc("26 03 00"));
    EXPECT_EQ(Ask("26 03 03"), WithCrc("26 05 03 25 12"));
    EXPECT_EQ(Ask("28 03 00"), WithCrc("28 07 00 07 03 10 06"));
    EXPECT_EQ(Ask("28 03 01"), WithCrc("28 03 01"));

    Authorise();
    EXPECT_EQ(Ask("09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"), WithCrc("09 02"));
    EXPECT_EQ(Ask("08 02"), WithCrc("08 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"));
}

TEST_F(MeterStateTest, ClockWriteSetsTheClockAndCountsCorrections)
{
    meter.state().correctionCount = 255;
    Authorise();
    // The weekday byte is wrong on purpose: the meter reckons its own.
    EXPECT_EQ(Ask("05 0A 09 05 07 05 09 03 26 80"), WithCrc("05 02"));
    EXPECT_EQ(meter.state().correctionCount, 0);
    now += 1000;
    EXPECT_EQ(Ask("04 02"), WithCrc("04 0A 10 05 07 01 09 03 26 80"));
    EXPECT_EQ(ByteAt(FromHex(Ask("11 02")), 5), 0);
}

TEST_F(MeterStateTest, WritesWithImpossibleDataAreRefused)
{
    const char *bad[] = {
        "05 0A 60 00 00 01 01 01 26 00",                               // 60 seconds
        "05 0A 00 00 24 01 01 01 26 00",                               // hour 24
        "05 0A 00 00 00 01 30 02 26 00",                               // 30 February
        "05 0A 0A 00 00 01 01 01 26 00",                               // not a BCD digit
        "02 05 00 00 02",                                              // serial number beyond 17 bits
        "09 14 04 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30", // tariff 4
        "09 14 01 25 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30", // 25 o'clock
        "23 04 24 01",
        "23 04 00 00",
        "27 05 10 01 01",
        "27 05 00 30 02",
        "29 07 00 07 03 10 09",
        "29 07 10 07 03 10 06",
    };
    for (const char *b : bad) {
        Authorise();
        const QByteArray reply = FromHex(Ask(b));
        EXPECT_EQ(ByteAt(reply, 1), 3) << b;
        EXPECT_EQ(ByteAt(reply, 2), 4) << b;
        EXPECT_EQ(Ask("00 02").left(2), QStringLiteral("00"));
    }
}

TEST_F(MeterStateTest, AddressWriteChangesTheBusAddress)
{
    Authorise();
    EXPECT_EQ(Ask("03 03 07"), WithCrc("03 02"));
    EXPECT_EQ(meter.state().busAddress, 7);
}

TEST_F(MeterStateTest, BillingDayResetZeroesTheFrozenCounters)
{
    meter.state().billingEnergy = {5, 6, 7};
    Authorise();
    EXPECT_EQ(Ask("24 02"), WithCrc("24 02"));
    EXPECT_EQ(meter.state().billingEnergy, (std::array<quint64, 3>{0, 0, 0}));
    EXPECT_NE(meter.state().currentEnergy[0], 0u);
}

TEST_F(MeterStateTest, StatusFixationResetClearsBothFlags)
{
    meter.state().statusWord = 0x0812;
    meter.state().radioStatus = 0xC9;
    Authorise();
    EXPECT_EQ(Ask("07 02"), WithCrc("07 02"));
    EXPECT_EQ(meter.state().statusWord, 0x0012);
    EXPECT_EQ(meter.state().radioStatus, 0x49);
}

TEST_F(MeterStateTest, DdmWriteStampsChangedNumbers)
{
    MeterState &s = meter.state();
    s.setClock(QDateTime(QDate(2000, 1, 2), QTime(1, 0), Qt::UTC));
    s.ddmNumbers = {5, 6, 7};
    s.ddmTimes = {11, 12, 13};
    Authorise();
    EXPECT_EQ(Ask("0B 0B 05 00 00 09 00 00 00 00 00"), WithCrc("0B 02"));
    EXPECT_EQ(s.ddmNumbers, (std::array<quint32, 3>{5, 9, 0}));
    EXPECT_EQ(s.ddmTimes, (std::array<quint32, 3>{11, 90000, 0}));
}

} // namespace
} // namespace ordan
