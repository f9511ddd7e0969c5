#include "meter/meter_clock.h"

#include "core/bytes.h"
#include "link/reply_judge.h"
#include "meter/meter_text.h"

namespace ordan {

bool MeterClockReading::timeValid() const
{
    return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 59;
}

bool MeterClockReading::dateValid() const { return QDate::isValid(year, month, day); }

std::optional<MeterClockReading> ParseClockReply(QByteArrayView reply)
{
    if (!CarriesReply(reply, FunctionCode::ReadClock))
        return std::nullopt;
    MeterClockReading r;
    r.seconds = BcdDecode(ByteAt(reply, 2));
    r.minutes = BcdDecode(ByteAt(reply, 3));
    r.hours = BcdDecode(ByteAt(reply, 4));
    r.weekday = ByteAt(reply, 5);
    r.day = BcdDecode(ByteAt(reply, 6));
    r.month = BcdDecode(ByteAt(reply, 7));
    r.year = 2000 + BcdDecode(ByteAt(reply, 8));
    r.summerTimeAuto = (ByteAt(reply, 9) & 0x80) != 0;
    return r;
}

QByteArray ClockPayload(QDate date, QTime time, bool summerTimeAuto)
{
    return Bytes({BcdEncode(time.second()), BcdEncode(time.minute()), BcdEncode(time.hour()), date.dayOfWeek(),
                  BcdEncode(date.day()), BcdEncode(date.month()), BcdEncode(date.year() - 2000),
                  summerTimeAuto ? 0x80 : 0x00});
}

qint64 NaiveMs(const QDateTime &at) { return at.date().toJulianDay() * 86400000 + at.time().msecsSinceStartOfDay(); }

std::optional<double> DriftSample(const QDateTime &meterClock, const QDateTime &now, const QDateTime &lastClockSet)
{
    if (!lastClockSet.isValid() || !now.isValid())
        return std::nullopt;
    const qint64 elapsedMs = NaiveMs(now) - NaiveMs(lastClockSet);
    if (elapsedMs <= 86400000 / 2)
        return std::nullopt;
    return static_cast<double>(NaiveMs(meterClock) - NaiveMs(now)) / static_cast<double>(elapsedMs) * 86400.0;
}

QString DriftText(double secondsPerDay) { return FixedPointText(secondsPerDay, 5, 2); }

bool DecodeClock(QByteArrayView reply, MeterParameters &p, const QDateTime &now, const LogLine &log)
{
    const std::optional<MeterClockReading> clock = ParseClockReply(reply);
    if (!clock)
        return false;
    auto logLine = [&log](const QString &line) {
        if (log)
            log(line);
    };

    p.LabeledDelta.set({});
    QString timeText;
    if (clock->timeValid()) {
        timeText = LongTimeText(clock->time());
        p.LabeledCurTime.set(timeText);
    } else {
        logLine(QStringLiteral("Получено ошибочное время"));
    }

    if (clock->dateValid()) {
        p.LabeledCurTime.set(ShortDateText(clock->date()) + QLatin1Char(' ') + timeText);
        if (p.modes().SqlMode && p.LastClockSet.isValid()) {
            const QDateTime meter(clock->date(), clock->time(), Qt::UTC);
            if (const std::optional<double> sample = DriftSample(meter, now, p.LastClockSet)) {
                p.DriftSum += *sample;
                p.DriftCount += 1;
                p.LabeledDelta.set(DriftText(p.DriftSum / p.DriftCount));
            }
        }
        // The weekday is only checked against a real date.
        if (clock->date().dayOfWeek() != clock->weekday)
            logLine(QStringLiteral("Предупреждение: Получен ошибочный день недели"));
    } else {
        logLine(QStringLiteral("Получена ошибочная дата"));
    }

    p.CheckSummer.set(clock->summerTimeAuto);
    return true;
}

} // namespace ordan
