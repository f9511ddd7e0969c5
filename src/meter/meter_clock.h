#pragma once

#include "meter/meter_parameters.h"

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QTime>

#include <functional>
#include <optional>

namespace ordan {

// The meter's clock as read with code 4 (and written with code 5: the same layout).
struct MeterClockReading {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int weekday = 0; // 1 = Monday .. 7 = Sunday, as the meter sent it
    int day = 0;
    int month = 0;
    int year = 0; // full year, 2000 + the BCD value
    bool summerTimeAuto = false;

    bool timeValid() const;
    bool dateValid() const;
    QTime time() const { return timeValid() ? QTime(hours, minutes, seconds) : QTime(0, 0); }
    QDate date() const { return QDate(year, month, day); }
};

// Nothing when the reply is too short for the eight clock bytes.
std::optional<MeterClockReading> ParseClockReply(QByteArrayView reply);

// The clock frame payload (code 5): seconds, minutes, hours, weekday, day, month, year, flags.
QByteArray ClockPayload(QDate date, QTime time, bool summerTimeAuto);

// Date-times as the clock reckons them: calendar and wall time, no time zone or summer time.
qint64 NaiveMs(const QDateTime &at);

// Seconds per day the meter's clock has gained since it was last set; nothing in the first
// half day after a setting (or for a setting in the future).
std::optional<double> DriftSample(const QDateTime &meterClock, const QDateTime &now, const QDateTime &lastClockSet);

// The average drift as LabeledDelta shows it: two decimals, five significant digits.
QString DriftText(double secondsPerDay);

using LogLine = std::function<void(const QString &line)>;

// Code 4: shows the clock, checks it, takes a drift sample in database mode. `now` is the PC
// clock at the reply.
bool DecodeClock(QByteArrayView reply, MeterParameters &p, const QDateTime &now, const LogLine &log);

} // namespace ordan
