#include "sim/meter_state.h"

namespace ordan {

namespace {

constexpr qint64 kMsPerHour = 3'600'000;
constexpr qint64 kOperatingUnitMs = 30'000;
// Running time is applied in steps of at most this much, so that tariff changes and the
// billing moment are met within a minute even after a long jump of virtual time.
constexpr qint64 kRunStepMs = 60'000;

qint64 MsOf(const QDateTime &naive) { return MeterEpoch().msecsTo(QDateTime(naive.date(), naive.time(), Qt::UTC)); }

} // namespace

QDateTime MeterEpoch() { return QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC); }

QDateTime MeterState::clock() const { return MeterEpoch().addMSecs(clockMs); }

void MeterState::setClock(const QDateTime &naive) { clockMs = MsOf(naive); }

MeterState SampleMeterState(const QDateTime &clock, quint8 versionMajor, quint8 versionMinor)
{
    MeterState s;
    s.versionMajor = versionMajor;
    s.versionMinor = versionMinor;
    s.serialNumber = 77881;
    s.setClock(clock);
    s.ddmNumbers = {100201, 100202, 100203};
    const auto stamp = static_cast<quint32>((s.clockMs / 1000) - 30 * 86400);
    s.ddmTimes = {stamp, stamp + 60, stamp + 120};
    s.operatingTime = 17520 * 120; // two years switched on
    s.correctionCount = 3;
    s.currentEnergy = {4'812'345, 2'406'170, 1'203'085};
    s.billingEnergy = {4'700'000, 2'350'000, 1'175'000};

    const MeterHoliday holidays[] = {{1, 1}, {2, 1}, {7, 1}, {23, 2}, {8, 3}, {1, 5}, {9, 5}, {12, 6}, {4, 11}};
    for (size_t i = 0; i < std::size(holidays); ++i)
        s.holidays[i] = holidays[i];
    const auto yy = static_cast<quint8>(clock.date().year() % 100);
    s.transfers[0] = MeterTransfer{3, 1, yy, 6};
    s.transfers[1] = MeterTransfer{10, 5, yy, 8};

    // Annual journal: the latest occurrence of each month up to the clock's month.
    const QDate today = clock.date();
    for (int m = 0; m < 12; ++m) {
        const int year = m + 1 <= today.month() ? today.year() : today.year() - 1;
        const int days = QDate(year, m + 1, 1).daysInMonth();
        AnnualMonth month;
        month.year = static_cast<quint8>(year % 100);
        month.energy = {static_cast<quint64>(400'000 + 10'000 * m), static_cast<quint64>(200'000 + 5'000 * m),
                        static_cast<quint64>(100'000 + 2'500 * m)};
        month.operatingTime = static_cast<quint32>(days * 24 * 120 - m);
        s.annual[static_cast<size_t>(m)] = month;
    }

    // Consumption journal: a record every three hours back from the clock on pages 0..199,
    // every tenth page empty, pages 200..249 empty.
    int records = 0;
    for (int page = 0; page < 200; ++page)
        if (page % 10 != 9)
            ++records;
    int record = 0;
    for (int page = 0; page < 200; ++page) {
        if (page % 10 == 9)
            continue;
        const QDateTime at = clock.addSecs(-3 * 3600 * static_cast<qint64>(records - record));
        ConsumptionPage p;
        p.record = static_cast<quint8>(record);
        p.minute = static_cast<quint8>(at.time().minute());
        p.hour = static_cast<quint8>(at.time().hour());
        p.day = static_cast<quint8>(at.date().day());
        p.month = static_cast<quint8>(at.date().month());
        p.energy = {static_cast<quint64>(4'000'000 + 4000 * record), static_cast<quint64>(2'000'000 + 2000 * record),
                    static_cast<quint64>(1'000'000 + 1000 * record)};
        p.status = record % 7 == 3 ? 0x0812 : 0;
        p.operatingTime = static_cast<quint32>(2'000'000 + 360 * record);
        s.consumption[static_cast<size_t>(page)] = p;
        ++record;
    }
    return s;
}

MeterState FreshMeterState(const MeterState &previous)
{
    MeterState fresh = SampleMeterState(previous.clock(), previous.versionMajor, previous.versionMinor);
    fresh.serialNumber = 0;
    fresh.busAddress = previous.busAddress;
    fresh.password = previous.password;
    return fresh;
}

SimulatedMeter::SimulatedMeter(std::function<qint64()> nowMs)
    : SimulatedMeter(std::move(nowMs), SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30))))
{}

SimulatedMeter::SimulatedMeter(std::function<qint64()> nowMs, MeterState state)
    : nowMs_(std::move(nowMs)), state_(std::move(state))
{
    lastSyncMs_ = nowMs_ ? nowMs_() : 0;
}

void SimulatedMeter::replace(MeterState state)
{
    sync();
    state_ = std::move(state);
    authorised_ = false;
}

void SimulatedMeter::sync()
{
    if (!nowMs_)
        return;
    const qint64 now = nowMs_();
    const qint64 elapsed = now - lastSyncMs_;
    lastSyncMs_ = now;
    for (qint64 done = 0; done < elapsed;) {
        const qint64 step = qMin(kRunStepMs, elapsed - done);
        runFor(step);
        done += step;
    }
}

void SimulatedMeter::runFor(qint64 ms)
{
    const quint8 tariff = tariffNow();
    const qint64 from = state_.clockMs;
    state_.clockMs += ms;
    freezeBillingDayIfCrossed(from, state_.clockMs);

    operatingRemainderMs_ += ms;
    state_.operatingTime = (state_.operatingTime + static_cast<quint32>(operatingRemainderMs_ / kOperatingUnitMs)) &
                           kMeterOperatingTimeMask;
    operatingRemainderMs_ %= kOperatingUnitMs;

    energyRemainder_ += ms * static_cast<qint64>(state_.energyPerHour);
    auto &counter = state_.currentEnergy[tariff - 1];
    counter = (counter + static_cast<quint64>(energyRemainder_ / kMsPerHour)) & kMeterEnergyMask;
    energyRemainder_ %= kMsPerHour;
}

// The meter freezes its counters at the billing day and hour of each month; a month too
// short for the day freezes on its last day.
void SimulatedMeter::freezeBillingDayIfCrossed(qint64 fromMs, qint64 toMs)
{
    const QDateTime epoch = MeterEpoch();
    const QDate months[] = {epoch.addMSecs(fromMs).date(), epoch.addMSecs(toMs).date()};
    for (const QDate &d : months) {
        const QDate first(d.year(), d.month(), 1);
        const int day = qBound(1, static_cast<int>(state_.billingDay), first.daysInMonth());
        const qint64 moment = MsOf(QDateTime(QDate(d.year(), d.month(), day), QTime(state_.billingHour % 24, 0)));
        if (fromMs < moment && moment <= toMs) {
            state_.billingEnergy = state_.currentEnergy;
            return;
        }
    }
}

quint8 SimulatedMeter::tariffNow() const
{
    if (state_.singleTariff)
        return 1;
    const QDateTime now = state_.clock();
    const int minuteOfDay = now.time().hour() * 60 + now.time().minute();

    int dayType = now.date().dayOfWeek();
    if (state_.hasExtendedSchedule()) {
        for (const auto &h : state_.holidays)
            if (h && h->day == now.date().day() && h->month == now.date().month())
                dayType = 8;
        for (const auto &t : state_.transfers)
            if (t && QDate(2000 + t->year, t->month, t->day) == now.date())
                dayType = t->dayType;
    }

    // The zone in force is the applicable one that started last; before the first start of
    // the day the last zone of the day before goes on.
    const auto startOf = [&](int z) {
        const MeterZone &zone = state_.zones[static_cast<size_t>(z)];
        return zone.hour * 60 + zone.minute;
    };
    int best = -1;
    int latest = -1;
    for (int z = 0; z < 6; ++z) {
        if (state_.hasExtendedSchedule() && !(state_.dayTypeMasks[static_cast<size_t>(z)] & (1u << (dayType - 1))))
            continue;
        if (latest < 0 || startOf(z) >= startOf(latest))
            latest = z;
        if (startOf(z) <= minuteOfDay && (best < 0 || startOf(z) >= startOf(best)))
            best = z;
    }
    if (best < 0)
        best = latest;
    if (best < 0)
        return 1;
    const quint8 tariff = state_.zones[static_cast<size_t>(best)].tariff;
    return tariff >= 1 && tariff <= 3 ? tariff : 1;
}

std::optional<QByteArray> SimulatedMeter::Answer(QByteArrayView request)
{
    if (request.isEmpty())
        return std::nullopt;
    sync();
    return reply(request);
}

} // namespace ordan
