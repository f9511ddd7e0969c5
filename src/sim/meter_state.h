#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <array>
#include <functional>
#include <optional>

namespace ordan {

// One zone of the meter's day: from hour:minute on, the tariff counts.
struct MeterZone {
    quint8 tariff = 1;
    quint8 hour = 0;
    quint8 minute = 0;
};

struct MeterHoliday {
    quint8 day = 1;
    quint8 month = 1;
};

struct MeterTransfer {
    quint8 day = 1;
    quint8 month = 1;
    quint8 year = 0; // two digits, 2000 + year
    quint8 dayType = 1;
};

struct AnnualMonth {
    quint8 year = 0; // two digits, sent in BCD
    std::array<quint64, 3> energy{};
    quint32 operatingTime = 0; // 30-second units
};

struct ConsumptionPage {
    quint8 record = 0;
    quint8 minute = 0;
    quint8 hour = 0;
    quint8 day = 1;
    quint8 month = 1;
    std::array<quint64, 3> energy{};
    quint16 status = 0;
    quint32 operatingTime = 0;
};

// The meter's counters wrap: energy at 40 bits, operating time at 24.
inline constexpr quint64 kMeterEnergyMask = (quint64(1) << 40) - 1;
inline constexpr quint32 kMeterOperatingTimeMask = 0xFFFFFF;

// Everything the simulated meter knows. Tests read and change it directly; the meter keeps
// it consistent as its clock runs (operating time, energy, billing-day freeze).
struct MeterState {
    quint8 versionMinor = 3;
    quint8 versionMajor = 10;
    quint32 serialNumber = 0; // 17 bits; 0 = not yet given a factory number
    quint8 busAddress = 0;

    // Meter clock as a naive calendar time: milliseconds since 2000-01-01 00:00:00.
    qint64 clockMs = 0;
    bool summerTimeAuto = false;

    quint16 password = 1;
    quint8 indicationMask = 0x0F;
    quint8 billingDay = 1;
    quint8 billingHour = 0;
    std::array<quint32, 3> ddmNumbers{};
    std::array<quint32, 3> ddmTimes{}; // seconds since 2000-01-01, 0 = none
    quint32 operatingTime = 0;         // 30-second units, 24 bits
    quint8 correctionCount = 0;        // clock settings so far
    quint16 statusWord = 0;
    quint8 radioStatus = 0;

    std::array<quint64, 3> currentEnergy{};
    std::array<quint64, 3> billingEnergy{};
    quint32 energyPerHour = 14400; // counts added per hour of running, on the tariff in force

    bool singleTariff = false;
    std::array<MeterZone, 6> zones{{{1, 0, 0}, {2, 6, 30}, {3, 8, 30}, {2, 11, 30}, {3, 17, 30}, {2, 20, 30}}};
    std::array<quint8, 6> dayTypeMasks{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::array<std::optional<MeterHoliday>, 16> holidays{};
    std::array<std::optional<MeterTransfer>, 16> transfers{};

    std::array<std::optional<AnnualMonth>, 12> annual{};
    std::array<std::optional<ConsumptionPage>, 250> consumption{};

    // Readings reply with the billing-day counters (L = 32) or without (L = 17);
    // unset: with them from version 10 on.
    std::optional<bool> readingsWithBillingDay;

    QDateTime clock() const;
    void setClock(const QDateTime &naive);
    bool hasExtendedSchedule() const { return versionMajor >= 10; }
};

// The meter's calendar epoch, 2000-01-01 00:00:00, as a zone-less (UTC) date-time.
QDateTime MeterEpoch();

// A full, self-consistent state: clock at `clock`, a serial number, an annual journal with
// every month filled and a consumption journal with some pages empty.
MeterState SampleMeterState(const QDateTime &clock, quint8 versionMajor = 10, quint8 versionMinor = 3);

// The next meter off the assembly line after `previous`: the sample state at the same clock,
// with no factory number yet; version, bus address and password stay.
MeterState FreshMeterState(const MeterState &previous);

// The meter behind the bus address: answers one request frame with its reply frame.
//
// Access: write requests (2, 3, 5, 7, 9, 11, 14, 35, 36, 39, 41, 47) need a preceding code 20
// with the right password; the access lasts until the next read request. A code 20 while
// access is held sets a new password. Writes are acknowledged with "code 02 CRC".
// Refusals are error replies (code + 128, 03, error, CRC): 1 unknown function (also the
// extended-schedule codes on a version 9 meter), 2 wrong request length, 3 bad CRC,
// 4 data out of range, 6 access denied (wrong password, or a write without access).
class SimulatedMeter {
public:
    // A sample meter (SampleMeterState at 2026-12-08 10:15:30, version 10.3, address 0).
    explicit SimulatedMeter(std::function<qint64()> nowMs);
    SimulatedMeter(std::function<qint64()> nowMs, MeterState state);

    // The complete reply frame, CRC included, or nothing when the meter stays silent.
    std::optional<QByteArray> Answer(QByteArrayView request);

    // Brings clock, operating time and energy up to the time source's now.
    void sync();

    MeterState &state() { return state_; }
    const MeterState &state() const { return state_; }
    bool authorised() const { return authorised_; }

    // The tariff (1..3) in force at the meter's clock.
    quint8 tariffNow() const;

    // Another meter on the bench: `state` from now on, and no access held.
    void replace(MeterState state);

private:
    // meter_requests.cpp: the checks every frame passes, then the handler of its code.
    QByteArray reply(QByteArrayView frame);
    void runFor(qint64 ms);
    void freezeBillingDayIfCrossed(qint64 fromMs, qint64 toMs);

    std::function<qint64()> nowMs_;
    MeterState state_;
    qint64 lastSyncMs_ = 0;
    qint64 operatingRemainderMs_ = 0;
    qint64 energyRemainder_ = 0; // counts x ms/h not yet a whole count
    bool authorised_ = false;
};

// A refusal of `code`; the raw form sends any error byte, as a faulty meter might.
QByteArray MeterErrorReply(quint8 code, MeterError error);
QByteArray MeterErrorReply(quint8 code, quint8 error);
QByteArray MeterAcknowledgement(quint8 code);

} // namespace ordan
