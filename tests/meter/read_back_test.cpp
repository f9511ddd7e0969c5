// The read-back of a settings write against the simulated meter: what the frames wrote, read
// back with the requests it asks for, matches; a meter that kept one value otherwise shows
// exactly that value as differing.
#include "link/frame.h"
#include "meter/meter_clock.h"
#include "meter/password.h"
#include "meter/read_back.h"
#include "sim/meter_state.h"

#include <gtest/gtest.h>

#include <functional>

namespace ordan {
namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(10, 15, 30));

struct Case {
    const char *name;
    std::function<void(MeterState &)> change; // what the meter holds otherwise after the write
    qint64 pcAheadMs;                         // the clock expected at the clock reply, ahead of the meter
    const char *difference;                   // empty: all match
};

class ReadBack : public ::testing::TestWithParam<Case> {};

TEST_P(ReadBack, OnlyWhatDiffersIsReported)
{
    qint64 nowMs = 0;
    SimulatedMeter meter([&nowMs] { return nowMs; }, SampleMeterState(kNow));
    const std::vector<QByteArray> bodies = {
        PasswordFrameBody(QStringLiteral("1")),
        FrameBody(FunctionCode::WriteClock, ClockPayload(kNow.date(), kNow.time(), false)),
        PasswordFrameBody(QStringLiteral("5")),
        FrameBody(FunctionCode::WriteSerialNumber, QByteArray::fromHex("e90301")), // 66537
        FrameBody(FunctionCode::WriteZoneTable, QByteArray::fromHex("010000020630030830021130031730022030")),
        FrameBody(FunctionCode::WriteBillingDay, QByteArray::fromHex("0725")),
        FrameBody(FunctionCode::WriteDdmNumbers, QByteArray::fromHex("010000020000701101")),
        FrameBody(FunctionCode::WriteIndication, QByteArray::fromHex("05")),
    };
    for (const QByteArray &body : bodies)
        ASSERT_EQ(meter.Answer(AppendCrc(body)).value_or(QByteArray()).at(1), 2) << body.toHex().toStdString();
    const WrittenValues written = WrittenFromFrames(bodies, QStringLiteral("5"));
    ASSERT_EQ(written.serialNumber, 66537);
    GetParam().change(meter.state());

    std::map<quint8, QByteArray> replies;
    for (const QByteArray &request : ReadBackRequests(written))
        if (const std::optional<QByteArray> reply = meter.Answer(AppendCrc(request)); reply && reply->at(0) >= 0)
            replies[static_cast<quint8>(request[0])] = *reply;
    const QStringList found = ReadBackDifferences(written, replies, kNow.addMSecs(GetParam().pcAheadMs));
    if (*GetParam().difference == 0)
        EXPECT_TRUE(found.isEmpty()) << found.join(u'|').toStdString();
    else
        EXPECT_EQ(found.join(u'|').toStdString(), GetParam().difference);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadBack,
    ::testing::Values(
        Case{"AllKept", [](MeterState &) {}, 0, ""},
        // The bound of the clock: three seconds behind the PC, one ahead.
        Case{"ClockThreeBehind", [](MeterState &) {}, 3000, ""},
        Case{"ClockFourBehind", [](MeterState &) {}, 4000, "Время: расхождение -4 с"},
        Case{"ClockTwoAhead", [](MeterState &) {}, -2000, "Время: расхождение 2 с"},
        Case{"Number", [](MeterState &s) { s.serialNumber = 1; }, 0, "Номер: записано 66537, прочитано 1"},
        Case{"Billing", [](MeterState &s) { s.billingHour = 8; }, 0,
             "Расчетный день и час: записано 25, 7, прочитано 25, 8"},
        Case{"Ddm", [](MeterState &s) { s.ddmNumbers[2] = 3; }, 0,
             "Номера ДДМ: записано 1, 2, 70000, прочитано 1, 2, 3"},
        Case{"Indication", [](MeterState &s) { s.indicationMask = 0x0F; }, 0, "Индикация: записано 5, прочитано 15"},
        Case{"Zones", [](MeterState &s) { s.singleTariff = true; }, 0,
             "Тарифное расписание: записано 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30, прочитано один "
             "тариф"},
        // A password the meter does not hold is refused: no acknowledgement to show it took it.
        Case{"Password", [](MeterState &s) { s.password = 9; }, 0, "Пароль: не принят"}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// A reply that never came is named, and nothing read from another address is trusted.
TEST(ReadBackMissing, NoVersionReplyIsTheAddressAlone)
{
    WrittenValues written;
    written.address = 7;
    written.serialNumber = 5;
    EXPECT_EQ(ReadBackDifferences(written, {}, kNow), QStringList{QStringLiteral("Адрес: не прочитано")});
}

} // namespace
} // namespace ordan
