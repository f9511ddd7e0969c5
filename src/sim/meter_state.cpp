#include "sim/meter_state.h"

#include "core/bytes.h"
#include "link/catalogue.h"
#include "link/frame.h"
#include "link/protocol.h"

namespace ordan {

namespace {

constexpr qint64 kMsPerHour = 3'600'000;
constexpr qint64 kOperatingUnitMs = 30'000;
// Running time is applied in steps of at most this much, so that tariff changes and the
// billing moment are met within a minute even after a long jump of virtual time.
constexpr qint64 kRunStepMs = 60'000;
constexpr quint64 kEnergyMask = (quint64(1) << 40) - 1;
constexpr quint32 kOperatingMask = 0xFFFFFF;

using enum MeterError;

// A BCD byte with both digits 0..9, or nothing: the meter refuses malformed digits.
std::optional<int> StrictBcd(quint8 b)
{
    if ((b >> 4) > 9 || (b & 0x0F) > 9)
        return std::nullopt;
    return BcdDecode(b);
}

// The codes a version 9 meter does not know.
bool IsExtendedCode(FunctionCode code)
{
    using enum FunctionCode;
    switch (code) {
    case ReadHoliday:
    case WriteHolidays:
    case ReadTransfer:
    case WriteTransfers:
    case ReadDdmTimes:
    case ReadDayTypeMasks:
    case WriteDayTypeMasks: return true;
    default: return false;
    }
}

void AppendEnergy(QByteArray &out, quint64 count) { AppendLittleEndian(out, count & kEnergyMask, 5); }

qint64 MsOf(const QDateTime &naive) { return MeterEpoch().msecsTo(QDateTime(naive.date(), naive.time(), Qt::UTC)); }

} // namespace

QDateTime MeterEpoch() { return QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC); }

QDateTime MeterState::clock() const { return MeterEpoch().addMSecs(clockMs); }

void MeterState::setClock(const QDateTime &naive) { clockMs = MsOf(naive); }

QByteArray MeterErrorReply(quint8 code, quint8 error)
{
    return MakeFrame(static_cast<quint8>(code + kErrorReplyFlag), QByteArray(1, static_cast<char>(error)));
}

QByteArray MeterErrorReply(quint8 code, MeterError error) { return MeterErrorReply(code, static_cast<quint8>(error)); }

QByteArray MeterAcknowledgement(quint8 code) { return MakeFrame(code, {}); }

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

SimulatedMeter::SimulatedMeter(std::function<qint64()> nowMs)
    : SimulatedMeter(std::move(nowMs), SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30))))
{}

SimulatedMeter::SimulatedMeter(std::function<qint64()> nowMs, MeterState state)
    : nowMs_(std::move(nowMs)), state_(std::move(state))
{
    lastSyncMs_ = nowMs_ ? nowMs_() : 0;
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
    state_.operatingTime =
        (state_.operatingTime + static_cast<quint32>(operatingRemainderMs_ / kOperatingUnitMs)) & kOperatingMask;
    operatingRemainderMs_ %= kOperatingUnitMs;

    energyRemainder_ += ms * static_cast<qint64>(state_.energyPerHour);
    auto &counter = state_.currentEnergy[tariff - 1];
    counter = (counter + static_cast<quint64>(energyRemainder_ / kMsPerHour)) & kEnergyMask;
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

QByteArray SimulatedMeter::reply(QByteArrayView request)
{
    const quint8 code = ByteAt(request, 0);
    const quint8 length = ByteAt(request, 1);
    if (request.size() < 4)
        return MeterErrorReply(code, WrongLength);
    if (!CheckReplyCrc(request))
        return MeterErrorReply(code, WrongCrc);
    if (request.size() != length + 2)
        return MeterErrorReply(code, WrongLength);
    const CommandInfo *info = FindCommand(code);
    if (!info || (IsExtendedCode(info->code) && !state_.hasExtendedSchedule()))
        return MeterErrorReply(code, UnknownFunction);
    if (length != info->requestLength && (info->altRequestLength == 0 || length != info->altRequestLength))
        return MeterErrorReply(code, WrongLength);

    MeterState &s = state_;
    const auto at = [&](qsizetype i) { return ByteAt(request, i); };
    const auto ack = [&] { return MeterAcknowledgement(code); };
    const auto refuse = [&](MeterError error) { return MeterErrorReply(code, error); };
    using enum FunctionCode;

    if (info->code == AccessPassword) {
        const auto password = static_cast<quint16>(at(2) | (at(3) << 8));
        if (authorised_) {
            s.password = password;
            return ack();
        }
        if (password != s.password)
            return refuse(AccessDenied);
        authorised_ = true;
        return ack();
    }

    if (info->isWrite) {
        if (!authorised_)
            return refuse(AccessDenied);
        switch (info->code) {
        case WriteSerialNumber: {
            const quint32 number = at(2) | (at(3) << 8) | (at(4) << 16);
            if (number > 131071)
                return refuse(WrongData);
            s.serialNumber = number;
            return ack();
        }
        case WriteBusAddress: s.busAddress = at(2); return ack();
        case WriteClock: {
            const auto sec = StrictBcd(at(2)), min = StrictBcd(at(3)), hour = StrictBcd(at(4));
            const auto day = StrictBcd(at(6)), month = StrictBcd(at(7)), year = StrictBcd(at(8));
            if (!sec || !min || !hour || !day || !month || !year)
                return refuse(WrongData);
            const QDate date(2000 + *year, *month, *day);
            const QTime time(*hour, *min, *sec);
            if (!date.isValid() || !time.isValid())
                return refuse(WrongData);
            // The weekday byte is not taken: the meter reckons the weekday from the date.
            s.setClock(QDateTime(date, time, Qt::UTC));
            s.summerTimeAuto = (at(9) & 0x80) != 0;
            ++s.correctionCount;
            return ack();
        }
        case ResetStatusFixation:
            s.statusWord &= static_cast<quint16>(~0x0800);
            s.radioStatus &= static_cast<quint8>(~0x80);
            return ack();
        case WriteZoneTable: {
            if (length == 2) {
                s.singleTariff = true;
                return ack();
            }
            std::array<MeterZone, 6> zones;
            for (int z = 0; z < 6; ++z) {
                const quint8 tariff = at(2 + 3 * z);
                const auto hour = StrictBcd(at(3 + 3 * z)), minute = StrictBcd(at(4 + 3 * z));
                if (tariff < 1 || tariff > 3 || !hour || !minute || *hour > 23 || *minute > 59)
                    return refuse(WrongData);
                zones[static_cast<size_t>(z)] = {tariff, static_cast<quint8>(*hour), static_cast<quint8>(*minute)};
            }
            s.zones = zones;
            s.singleTariff = false;
            return ack();
        }
        case WriteDdmNumbers: {
            const auto nowSeconds = static_cast<quint32>(qMax<qint64>(0, s.clockMs / 1000));
            for (int p = 0; p < 3; ++p) {
                const auto number = static_cast<quint32>(LittleEndian(request, 2 + 3 * p, 3));
                auto &kept = s.ddmNumbers[static_cast<size_t>(p)];
                if (number != kept)
                    s.ddmTimes[static_cast<size_t>(p)] = number == 0 ? 0 : nowSeconds;
                kept = number;
            }
            return ack();
        }
        case WriteIndication: s.indicationMask = at(2) & 0x0F; return ack();
        case WriteBillingDay: {
            const auto hour = StrictBcd(at(2)), day = StrictBcd(at(3));
            if (!hour || !day || *hour > 23 || *day < 1 || *day > 31)
                return refuse(WrongData);
            s.billingHour = static_cast<quint8>(*hour);
            s.billingDay = static_cast<quint8>(*day);
            return ack();
        }
        case ResetBillingDay: s.billingEnergy = {0, 0, 0}; return ack();
        case WriteHolidays: {
            if (length == 2) {
                s.holidays.fill(std::nullopt);
                return ack();
            }
            const auto day = StrictBcd(at(3)), month = StrictBcd(at(4));
            if (at(2) > 15 || !day || !month || !QDate(2000, *month, *day).isValid())
                return refuse(WrongData);
            s.holidays[at(2)] = MeterHoliday{static_cast<quint8>(*day), static_cast<quint8>(*month)};
            return ack();
        }
        case WriteTransfers: {
            if (length == 2) {
                s.transfers.fill(std::nullopt);
                return ack();
            }
            const auto day = StrictBcd(at(3)), month = StrictBcd(at(4)), year = StrictBcd(at(5));
            const quint8 type = at(6);
            if (at(2) > 15 || !day || !month || !year || !QDate(2000 + *year, *month, *day).isValid() || type < 1 ||
                type > 8)
                return refuse(WrongData);
            s.transfers[at(2)] =
                MeterTransfer{static_cast<quint8>(*day), static_cast<quint8>(*month), static_cast<quint8>(*year), type};
            return ack();
        }
        case WriteDayTypeMasks:
            for (int z = 0; z < 6; ++z)
                s.dayTypeMasks[static_cast<size_t>(z)] = at(2 + z);
            return ack();
        default: return refuse(UnknownFunction);
        }
    }

    // A read request is a poll: whatever access a password gave ends here.
    authorised_ = false;
    QByteArray p;
    const auto byte = [&](int v) { p.append(static_cast<char>(v & 0xFF)); };
    switch (info->code) {
    case ReadFirmwareVersion:
        byte(BcdEncode(s.versionMinor % 100));
        byte(BcdEncode(s.versionMajor % 100));
        break;
    case ReadSerialNumber: AppendLittleEndian(p, s.serialNumber & 0x1FFFF, 3); break;
    case ReadClock: {
        const QDateTime c = s.clock();
        byte(BcdEncode(c.time().second()));
        byte(BcdEncode(c.time().minute()));
        byte(BcdEncode(c.time().hour()));
        byte(c.date().dayOfWeek());
        byte(BcdEncode(c.date().day()));
        byte(BcdEncode(c.date().month()));
        byte(BcdEncode(c.date().year() % 100));
        byte(s.summerTimeAuto ? 0x80 : 0x00);
        break;
    }
    case ReadStatus: AppendLittleEndian(p, s.statusWord, 2); break;
    case ReadZoneTable:
        if (!s.singleTariff) {
            for (const MeterZone &z : s.zones) {
                byte(z.tariff);
                byte(BcdEncode(z.hour % 100));
                byte(BcdEncode(z.minute % 100));
            }
        }
        break;
    case ReadDdmNumbers:
        for (quint32 n : s.ddmNumbers)
            AppendLittleEndian(p, n & 0xFFFFFF, 3);
        break;
    case ReadRadioStatus: byte(s.radioStatus); break;
    case ReadIndication: byte(s.indicationMask); break;
    case ReadReadings:
        for (quint64 e : s.currentEnergy)
            AppendEnergy(p, e);
        if (s.readingsWithBillingDay.value_or(s.versionMajor >= 10))
            for (quint64 e : s.billingEnergy)
                AppendEnergy(p, e);
        break;
    case ReadOperatingTime:
        AppendLittleEndian(p, s.operatingTime & kOperatingMask, 3);
        byte(s.correctionCount);
        break;
    case ReadAnnualJournal: {
        const quint8 m = at(2);
        if (m > 11)
            return refuse(WrongData);
        byte(m);
        if (const auto &month = s.annual[m]) {
            byte(BcdEncode(month->year % 100));
            for (quint64 e : month->energy)
                AppendEnergy(p, e);
            AppendLittleEndian(p, month->operatingTime & kOperatingMask, 3);
        }
        break;
    }
    case ReadConsumptionJournal: {
        const quint8 page = at(2);
        if (page > 249)
            return refuse(WrongData);
        byte(page);
        if (const auto &rec = s.consumption[page]) {
            byte(rec->record);
            byte(BcdEncode(rec->minute % 100));
            byte(BcdEncode(rec->hour % 100));
            byte(BcdEncode(rec->day % 100));
            byte(BcdEncode(rec->month % 100));
            for (quint64 e : rec->energy)
                AppendEnergy(p, e);
            AppendLittleEndian(p, rec->status, 2);
            AppendLittleEndian(p, rec->operatingTime & kOperatingMask, 3);
        }
        break;
    }
    case ReadBillingDay:
        byte(BcdEncode(s.billingHour % 100));
        byte(BcdEncode(s.billingDay % 100));
        break;
    case ReadHoliday: {
        const quint8 slot = at(2);
        if (slot > 15)
            return refuse(WrongData);
        byte(slot);
        if (const auto &h = s.holidays[slot]) {
            byte(BcdEncode(h->day % 100));
            byte(BcdEncode(h->month % 100));
        }
        break;
    }
    case ReadTransfer: {
        const quint8 slot = at(2);
        if (slot > 15)
            return refuse(WrongData);
        byte(slot);
        if (const auto &t = s.transfers[slot]) {
            byte(BcdEncode(t->day % 100));
            byte(BcdEncode(t->month % 100));
            byte(BcdEncode(t->year % 100));
            byte(t->dayType);
        }
        break;
    }
    case ReadDdmTimes:
        // Each stamp is preceded by its phase number, a byte the station does not read.
        for (int ph = 0; ph < 3; ++ph) {
            byte(ph + 1);
            AppendLittleEndian(p, s.ddmTimes[static_cast<size_t>(ph)], 4);
        }
        break;
    case ReadDayTypeMasks:
        for (quint8 m : s.dayTypeMasks)
            byte(m);
        break;
    default: return refuse(UnknownFunction);
    }
    return MakeFrame(code, p);
}

} // namespace ordan
