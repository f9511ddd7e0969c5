#include "schedule/schedule_exchange.h"

#include "core/bytes.h"
#include "link/frame.h"
#include "schedule/holidays.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::FromHex;
using test::Hex;

QString Frame(const QByteArray &body) { return Hex(AppendCrc(body)); }

std::vector<QString> Codes(const QList<QByteArray> &bodies)
{
    std::vector<QString> out;
    for (const QByteArray &b : bodies)
        out.push_back(Hex(b.left(2)));
    return out;
}

TariffSchedule MultiTariff()
{
    TariffSchedule s;
    s.singleTariff = false;
    return s;
}

TEST(ScheduleFramesTest, ExamplesByteForByte)
{
    EXPECT_EQ(Frame(ScheduleReadSequence(10).front()), u"08 02 87 B1"_s);
    EXPECT_EQ(Frame(ZoneTableRequest(false, InitialZones()).value()),
              u"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30 5D 67"_s);
    EXPECT_EQ(Frame(ZoneTableRequest(true, InitialZones()).value()), u"09 02 86 21"_s);
    EXPECT_EQ(Frame(MaskRequest(TariffSchedule{}.masks)), u"2F 08 FF FF FF FF FF FF 8A 1C"_s);
    EXPECT_EQ(Frame(ScheduleReadSequence(10)[2]), u"26 03 00 90 FB"_s);
    EXPECT_EQ(Frame(HolidayRequest(0, {1, 1}).value()), u"27 05 00 01 01 D0 9B"_s);
    EXPECT_EQ(Frame(TransferRequest(0, {QDate(2010, 3, 7), 6}).value()), u"29 07 00 07 03 10 06 DE C3"_s);
}

TEST(ScheduleFramesTest, AccessPassword)
{
    const struct {
        QString text;
        QString body;
    } cases[] = {
        {u"1"_s, u"14 04 01 00"_s},     {u"0"_s, u"14 04 00 00"_s},     {u"65535"_s, u"14 04 FF FF"_s},
        {u"4660"_s, u"14 04 34 12"_s},  {u"abc"_s, u"14 04 00 00"_s},   {u""_s, u"14 04 00 00"_s},
        {u"65536"_s, u"14 04 00 00"_s}, {u"70000"_s, u"14 04 70 11"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Hex(AccessPasswordRequest(c.text)), c.body) << c.text.toStdString();
}

TEST(ScheduleFramesTest, ReadSequenceByVersion)
{
    for (int v : {0, 5, 9}) {
        const QList<QByteArray> seq = ScheduleReadSequence(v);
        ASSERT_EQ(seq.size(), 1) << v;
        EXPECT_EQ(Hex(seq[0]), u"08 02"_s);
    }
    const QList<QByteArray> seq = ScheduleReadSequence(10);
    ASSERT_EQ(seq.size(), 34);
    EXPECT_EQ(Hex(seq[1]), u"2E 02"_s);
    for (int slot = 0; slot < 16; ++slot) {
        EXPECT_EQ(Hex(seq[2 + slot]), Hex(Bytes({0x26, 0x03, slot})));
        EXPECT_EQ(Hex(seq[18 + slot]), Hex(Bytes({0x28, 0x03, slot})));
    }
}

TEST(ScheduleFramesTest, WriteSequenceByVersionAndMode)
{
    const struct {
        const char *what;
        bool single;
        int version;
        std::vector<QString> bodies;
    } cases[] = {
        {"v9", false, 9, {u"14 04 01 00"_s, u"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"_s}},
        {"v0", false, 0, {u"14 04 01 00"_s, u"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30"_s}},
        {"single v10", true, 10, {u"14 04 01 00"_s, u"09 02"_s}},
        {"single v9", true, 9, {u"14 04 01 00"_s, u"09 02"_s}},
    };
    for (const auto &c : cases) {
        TariffSchedule s;
        s.singleTariff = c.single;
        const EncodedRequests r = ScheduleWriteSequence(s, c.version, u"1"_s);
        ASSERT_TRUE(r.ok()) << c.what;
        std::vector<QString> bodies;
        for (const QByteArray &b : r.value())
            bodies.push_back(Hex(b));
        EXPECT_EQ(bodies, c.bodies) << c.what;
    }
}

TEST(ScheduleFramesTest, WriteWithEmptyListsStillStartsBothTables)
{
    TariffSchedule s = MultiTariff();
    s.holidays.clear();
    const EncodedRequests r = ScheduleWriteSequence(s, 10, u"7"_s);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.value().size(), 5);
    EXPECT_EQ(Hex(r.value()[0]), u"14 04 07 00"_s);
    EXPECT_EQ(Hex(r.value()[2]), u"2F 08 FF FF FF FF FF FF"_s);
    EXPECT_EQ(Hex(r.value()[3]), u"27 02"_s);
    EXPECT_EQ(Hex(r.value()[4]), u"29 02"_s);
}

TEST(ScheduleFramesTest, WriteOfSixteenAndSixteenIs37Requests)
{
    TariffSchedule s = MultiTariff();
    s.holidays.clear();
    for (int i = 0; i < 16; ++i) {
        s.holidays.append({i + 10, (i % 12) + 1});
        s.transfers.append({QDate(2027, 1, 1).addDays(i * 40), (i % 8) + 1});
    }
    s.masks = {0x01, 0x02, 0x7F, 0x80, 0xFF, 0x55};
    const EncodedRequests r = ScheduleWriteSequence(s, 10, u"513"_s);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.value().size(), 37);
    std::vector<QString> expected{u"14 04"_s, u"09 14"_s, u"2F 08"_s, u"27 02"_s};
    for (int i = 0; i < 16; ++i)
        expected.push_back(u"27 05"_s);
    expected.push_back(u"29 02"_s);
    for (int i = 0; i < 16; ++i)
        expected.push_back(u"29 07"_s);
    EXPECT_EQ(Codes(r.value()), expected);
    EXPECT_EQ(Hex(r.value()[0]), u"14 04 01 02"_s);
    EXPECT_EQ(Hex(r.value()[2]), u"2F 08 01 02 7F 80 FF 55"_s);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Hex(r.value()[4 + i]), Hex(Bytes({0x27, 0x05, i, BcdEncode(i + 10), BcdEncode((i % 12) + 1)})));
        const QDate d = QDate(2027, 1, 1).addDays(i * 40);
        EXPECT_EQ(Hex(r.value()[21 + i]), Hex(Bytes({0x29, 0x07, i, BcdEncode(d.day()), BcdEncode(d.month()),
                                                     BcdEncode(d.year() - 2000), (i % 8) + 1})));
    }
}

TEST(ScheduleFramesTest, TariffThatCannotBeEncodedRefusesTheWhole)
{
    for (const QString &bad : {u"300"_s, u""_s, u"-1"_s, u"1,5"_s, u"два"_s}) {
        TariffSchedule s = MultiTariff();
        s.zones[3].tariff = bad;
        for (int v : {9, 10}) {
            const EncodedRequests r = ScheduleWriteSequence(s, v, u"1"_s);
            EXPECT_FALSE(r.ok()) << bad.toStdString();
            EXPECT_TRUE(r.error().contains(u"зоны 3"_s)) << r.error().toStdString();
        }
        // Single tariff sends no zones, so nothing needs encoding.
        s.singleTariff = true;
        EXPECT_TRUE(ScheduleWriteSequence(s, 10, u"1"_s).ok());
    }
    // Values a meter may report, 0..255, are written as they are.
    TariffSchedule s = MultiTariff();
    s.zones[0].tariff = u"0"_s;
    s.zones[5].tariff = u"255"_s;
    const EncodedRequest z = ZoneTableRequest(s);
    ASSERT_TRUE(z.ok());
    EXPECT_EQ(ByteAt(z.value(), 2), 0);
    EXPECT_EQ(ByteAt(z.value(), 17), 255);
}

TEST(ScheduleFramesTest, EntriesTheMeterCannotHoldRefuseTheWhole)
{
    TariffSchedule s = MultiTariff();
    s.transfers.append({QDate(2100, 1, 1), 1});
    EXPECT_FALSE(ScheduleWriteSequence(s, 10, u"1"_s).ok());
    s.transfers = {{QDate(2030, 1, 1), 9}};
    EXPECT_FALSE(ScheduleWriteSequence(s, 10, u"1"_s).ok());
    s.transfers.clear();
    s.holidays.append({30, 2});
    EXPECT_FALSE(ScheduleWriteSequence(s, 10, u"1"_s).ok());
    s.holidays = DefaultHolidays();
    while (s.holidays.size() < 17)
        s.holidays.append({1, 1});
    EXPECT_FALSE(ScheduleWriteSequence(s, 10, u"1"_s).ok());
    // Version 9 does not send the lists, so they do not matter there.
    EXPECT_TRUE(ScheduleWriteSequence(s, 9, u"1"_s).ok());
}

TEST(ScheduleDecodeTest, ZoneTable)
{
    const ZoneTableReply one = DecodeZoneTable(AppendCrc(Bytes({0x08, 0x02})));
    EXPECT_TRUE(one.singleTariff);
    EXPECT_FALSE(one.hasZones);

    const ZoneTableReply full =
        DecodeZoneTable(FromHex(u"08 14 01 00 00 02 06 30 03 25 30 02 11 30 FF 17 59 02 23 5A 00 00"_s));
    EXPECT_FALSE(full.singleTariff);
    ASSERT_TRUE(full.hasZones);
    EXPECT_EQ(full.tariffs[0], u"1"_s);
    EXPECT_EQ(full.tariffs[4], u"255"_s);
    EXPECT_EQ(full.starts[0], QTime(0, 0));
    EXPECT_EQ(full.starts[1], QTime(6, 30));
    EXPECT_FALSE(full.starts[2].has_value()); // hour 0x25
    EXPECT_EQ(full.starts[4], QTime(17, 59));
    EXPECT_FALSE(full.starts[5].has_value()); // minute 0x5A decodes to 60

    const ZoneTableReply odd = DecodeZoneTable(AppendCrc(Bytes({0x08, 0x05, 1, 2, 3})));
    EXPECT_FALSE(odd.singleTariff);
    EXPECT_FALSE(odd.hasZones);
}

TEST(ScheduleDecodeTest, Masks)
{
    EXPECT_EQ(DecodeMasks(AppendCrc(Bytes({0x2E, 0x08, 1, 2, 4, 8, 0x10, 0x80}))), (MaskTable{1, 2, 4, 8, 0x10, 0x80}));
    EXPECT_EQ(DecodeMasks(AppendCrc(Bytes({0x2E, 0x07, 1, 2, 4, 8, 0x10}))), MaskTable{});
}

TEST(ScheduleDecodeTest, Holidays)
{
    EXPECT_EQ(DecodeHoliday(AppendCrc(Bytes({0x26, 0x05, 0x09, 0x23, 0x02}))), (HolidayEntry{23, 2}));
    EXPECT_EQ(DecodeHoliday(AppendCrc(Bytes({0x26, 0x05, 0x00, 0x29, 0x02}))), (HolidayEntry{29, 2}));
    // Only the month decides: a day the month cannot have is listed as the meter holds it,
    // and the write refuses it until the operator corrects it.
    const struct {
        QByteArray reply;
        HolidayEntry held;
    } impossibleDays[] = {
        {AppendCrc(Bytes({0x26, 0x05, 0x00, 0x00, 0x01})), {0, 1}},   // day 0
        {AppendCrc(Bytes({0x26, 0x05, 0x00, 0x31, 0x04})), {31, 4}},  // 31 April
        {AppendCrc(Bytes({0x26, 0x05, 0x00, 0x30, 0x02})), {30, 2}},  // 30 February
        {AppendCrc(Bytes({0x26, 0x05, 0x00, 0xFF, 0x01})), {165, 1}}, // day 165
        {AppendCrc(Bytes({0x26, 0x05, 0x00, 0x32, 0x12})), {32, 12}}, // 32 December
    };
    for (const auto &c : impossibleDays) {
        EXPECT_EQ(DecodeHoliday(c.reply), c.held) << Hex(c.reply).toStdString();
        EXPECT_FALSE(HolidayRequest(0, c.held).ok()) << Hex(c.reply).toStdString();
    }
    const QByteArray empty[] = {
        AppendCrc(Bytes({0x26, 0x03, 0x00})),
        AppendCrc(Bytes({0x26, 0x02})),
        AppendCrc(Bytes({0x26, 0x05, 0x00, 0x01, 0x13})), // month 13
        AppendCrc(Bytes({0x26, 0x05, 0x00, 0x01, 0x00})), // month 0
        AppendCrc(Bytes({0x26, 0x05, 0x00, 0x31, 0x00})), // month 0 with a day no month has
        AppendCrc(Bytes({0x26, 0x05, 0x00, 0x01, 0xA1})), // month 101
        AppendCrc(Bytes({0x26, 0x06, 0x00, 0x01, 0x01, 0x00})),
    };
    for (const QByteArray &r : empty)
        EXPECT_FALSE(DecodeHoliday(r).has_value()) << Hex(r).toStdString();
}

TEST(ScheduleDecodeTest, Transfers)
{
    EXPECT_EQ(DecodeTransfer(AppendCrc(Bytes({0x28, 0x07, 0x00, 0x07, 0x03, 0x10, 0x06}))),
              (TransferEntry{QDate(2010, 3, 7), 6}));
    EXPECT_EQ(DecodeTransfer(AppendCrc(Bytes({0x28, 0x07, 0x03, 0x25, 0x05, 0x07, 0x08}))),
              (TransferEntry{QDate(2007, 5, 25), 8}));
    const QByteArray empty[] = {
        AppendCrc(Bytes({0x28, 0x03, 0x00})),
        AppendCrc(Bytes({0x28, 0x07, 0x00, 0x30, 0x02, 0x10, 0x01})), // 30 February
        AppendCrc(Bytes({0x28, 0x07, 0x00, 0x29, 0x02, 0x11, 0x01})), // 29 February 2011
        AppendCrc(Bytes({0x28, 0x07, 0x00, 0x01, 0x01, 0x10, 0x00})), // day type 0
        AppendCrc(Bytes({0x28, 0x07, 0x00, 0x01, 0x01, 0x10, 0x09})), // day type 9
        AppendCrc(Bytes({0x28, 0x07, 0x00, 0x01, 0x01, 0xFF, 0x01})), // year 2165
    };
    for (const QByteArray &r : empty)
        EXPECT_FALSE(DecodeTransfer(r).has_value()) << Hex(r).toStdString();
    EXPECT_EQ(DecodeTransfer(AppendCrc(Bytes({0x28, 0x07, 0x00, 0x29, 0x02, 0x12, 0x01}))),
              (TransferEntry{QDate(2012, 2, 29), 1}));
}

TEST(ScheduleDecodeTest, TransferIn2007RoundTrips)
{
    const TransferEntry t{QDate(2007, 11, 3), 1};
    const EncodedRequest w = TransferRequest(4, t);
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(ByteAt(w.value(), 5), 0x07);
    QByteArray reply = w.value();
    reply[0] = 0x28; // the read reply carries the same layout
    EXPECT_EQ(DecodeTransfer(AppendCrc(reply)), t);
}

TEST(ScheduleDecodeTest, LogLineText)
{
    EXPECT_EQ(InvalidZoneTimeText(0), u"Некорректный тариф, зона 0"_s);
    EXPECT_EQ(InvalidZoneTimeText(5), u"Некорректный тариф, зона 5"_s);
}

} // namespace
} // namespace ordan
