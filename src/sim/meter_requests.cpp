// The simulated meter's answer to one request frame: the checks every frame passes, then one
// handler per function code.
#include "sim/meter_state.h"

#include "core/bytes.h"
#include "link/catalogue.h"
#include "link/frame.h"
#include "link/protocol.h"

namespace ordan {

namespace {

using enum MeterError;

// A request frame that passed the checks of CRC, length and access; its handler answers it.
struct MeterRequest {
    QByteArrayView frame;

    quint8 at(qsizetype i) const { return ByteAt(frame, i); }
    quint8 code() const { return at(0); }
    quint8 length() const { return at(1); }
    QByteArray acknowledge() const { return MeterAcknowledgement(code()); }
    QByteArray refuse(MeterError error) const { return MeterErrorReply(code(), error); }
    QByteArray answer(QByteArrayView payload) const { return MakeFrame(code(), payload); }
};

using RequestHandler = QByteArray (*)(MeterState &, const MeterRequest &);

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

void AppendByte(QByteArray &out, int v) { out.append(static_cast<char>(v & 0xFF)); }

void AppendEnergy(QByteArray &out, quint64 count) { AppendLittleEndian(out, count & kMeterEnergyMask, 5); }

// Without access the password must match; with access held it becomes the new password.
QByteArray AnswerAccessPassword(MeterState &s, const MeterRequest &r, bool &authorised)
{
    const auto password = static_cast<quint16>(r.at(2) | (r.at(3) << 8));
    if (authorised) {
        s.password = password;
        return r.acknowledge();
    }
    if (password != s.password)
        return r.refuse(AccessDenied);
    authorised = true;
    return r.acknowledge();
}

// Writes: acknowledged, or refused when the data is out of range.

QByteArray AnswerWriteSerialNumber(MeterState &s, const MeterRequest &r)
{
    const quint32 number = r.at(2) | (r.at(3) << 8) | (r.at(4) << 16);
    if (number > 131071)
        return r.refuse(WrongData);
    s.serialNumber = number;
    return r.acknowledge();
}

QByteArray AnswerWriteBusAddress(MeterState &s, const MeterRequest &r)
{
    s.busAddress = r.at(2);
    return r.acknowledge();
}

QByteArray AnswerWriteClock(MeterState &s, const MeterRequest &r)
{
    const auto sec = StrictBcd(r.at(2)), min = StrictBcd(r.at(3)), hour = StrictBcd(r.at(4));
    const auto day = StrictBcd(r.at(6)), month = StrictBcd(r.at(7)), year = StrictBcd(r.at(8));
    if (!sec || !min || !hour || !day || !month || !year)
        return r.refuse(WrongData);
    const QDate date(2000 + *year, *month, *day);
    const QTime time(*hour, *min, *sec);
    if (!date.isValid() || !time.isValid())
        return r.refuse(WrongData);
    // The weekday byte is not taken: the meter reckons the weekday from the date.
    s.setClock(QDateTime(date, time, Qt::UTC));
    s.summerTimeAuto = (r.at(9) & 0x80) != 0;
    ++s.correctionCount;
    return r.acknowledge();
}

QByteArray AnswerResetStatusFixation(MeterState &s, const MeterRequest &r)
{
    s.statusWord &= static_cast<quint16>(~0x0800);
    s.radioStatus &= static_cast<quint8>(~0x80);
    return r.acknowledge();
}

QByteArray AnswerWriteZoneTable(MeterState &s, const MeterRequest &r)
{
    if (r.length() == 2) {
        s.singleTariff = true;
        return r.acknowledge();
    }
    std::array<MeterZone, 6> zones;
    for (int z = 0; z < 6; ++z) {
        const quint8 tariff = r.at(2 + 3 * z);
        const auto hour = StrictBcd(r.at(3 + 3 * z)), minute = StrictBcd(r.at(4 + 3 * z));
        if (tariff < 1 || tariff > 3 || !hour || !minute || *hour > 23 || *minute > 59)
            return r.refuse(WrongData);
        zones[static_cast<size_t>(z)] = {tariff, static_cast<quint8>(*hour), static_cast<quint8>(*minute)};
    }
    s.zones = zones;
    s.singleTariff = false;
    return r.acknowledge();
}

QByteArray AnswerWriteDdmNumbers(MeterState &s, const MeterRequest &r)
{
    const auto nowSeconds = static_cast<quint32>(qMax<qint64>(0, s.clockMs / 1000));
    for (int p = 0; p < 3; ++p) {
        const auto number = static_cast<quint32>(LittleEndian(r.frame, 2 + 3 * p, 3));
        auto &kept = s.ddmNumbers[static_cast<size_t>(p)];
        if (number != kept)
            s.ddmTimes[static_cast<size_t>(p)] = number == 0 ? 0 : nowSeconds;
        kept = number;
    }
    return r.acknowledge();
}

QByteArray AnswerWriteIndication(MeterState &s, const MeterRequest &r)
{
    s.indicationMask = r.at(2) & 0x0F;
    return r.acknowledge();
}

QByteArray AnswerWriteBillingDay(MeterState &s, const MeterRequest &r)
{
    const auto hour = StrictBcd(r.at(2)), day = StrictBcd(r.at(3));
    if (!hour || !day || *hour > 23 || *day < 1 || *day > 31)
        return r.refuse(WrongData);
    s.billingHour = static_cast<quint8>(*hour);
    s.billingDay = static_cast<quint8>(*day);
    return r.acknowledge();
}

QByteArray AnswerResetBillingDay(MeterState &s, const MeterRequest &r)
{
    s.billingEnergy = {0, 0, 0};
    return r.acknowledge();
}

QByteArray AnswerWriteHolidays(MeterState &s, const MeterRequest &r)
{
    if (r.length() == 2) {
        s.holidays.fill(std::nullopt);
        return r.acknowledge();
    }
    const auto day = StrictBcd(r.at(3)), month = StrictBcd(r.at(4));
    if (r.at(2) > 15 || !day || !month || !QDate(2000, *month, *day).isValid())
        return r.refuse(WrongData);
    s.holidays[r.at(2)] = MeterHoliday{static_cast<quint8>(*day), static_cast<quint8>(*month)};
    return r.acknowledge();
}

QByteArray AnswerWriteTransfers(MeterState &s, const MeterRequest &r)
{
    if (r.length() == 2) {
        s.transfers.fill(std::nullopt);
        return r.acknowledge();
    }
    const auto day = StrictBcd(r.at(3)), month = StrictBcd(r.at(4)), year = StrictBcd(r.at(5));
    const quint8 type = r.at(6);
    if (r.at(2) > 15 || !day || !month || !year || !QDate(2000 + *year, *month, *day).isValid() || type < 1 || type > 8)
        return r.refuse(WrongData);
    s.transfers[r.at(2)] =
        MeterTransfer{static_cast<quint8>(*day), static_cast<quint8>(*month), static_cast<quint8>(*year), type};
    return r.acknowledge();
}

QByteArray AnswerWriteDayTypeMasks(MeterState &s, const MeterRequest &r)
{
    for (int z = 0; z < 6; ++z)
        s.dayTypeMasks[static_cast<size_t>(z)] = r.at(2 + z);
    return r.acknowledge();
}

// Reads: the reply frame with what the meter holds.

QByteArray AnswerReadFirmwareVersion(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendByte(p, BcdEncode(s.versionMinor % 100));
    AppendByte(p, BcdEncode(s.versionMajor % 100));
    return r.answer(p);
}

QByteArray AnswerReadSerialNumber(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendLittleEndian(p, s.serialNumber & 0x1FFFF, 3);
    return r.answer(p);
}

QByteArray AnswerReadClock(MeterState &s, const MeterRequest &r)
{
    const QDateTime c = s.clock();
    QByteArray p;
    AppendByte(p, BcdEncode(c.time().second()));
    AppendByte(p, BcdEncode(c.time().minute()));
    AppendByte(p, BcdEncode(c.time().hour()));
    AppendByte(p, c.date().dayOfWeek());
    AppendByte(p, BcdEncode(c.date().day()));
    AppendByte(p, BcdEncode(c.date().month()));
    AppendByte(p, BcdEncode(c.date().year() % 100));
    AppendByte(p, s.summerTimeAuto ? 0x80 : 0x00);
    return r.answer(p);
}

QByteArray AnswerReadStatus(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendLittleEndian(p, s.statusWord, 2);
    return r.answer(p);
}

QByteArray AnswerReadZoneTable(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    if (!s.singleTariff) {
        for (const MeterZone &z : s.zones) {
            AppendByte(p, z.tariff);
            AppendByte(p, BcdEncode(z.hour % 100));
            AppendByte(p, BcdEncode(z.minute % 100));
        }
    }
    return r.answer(p);
}

QByteArray AnswerReadDdmNumbers(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    for (quint32 n : s.ddmNumbers)
        AppendLittleEndian(p, n & 0xFFFFFF, 3);
    return r.answer(p);
}

QByteArray AnswerReadRadioStatus(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendByte(p, s.radioStatus);
    return r.answer(p);
}

QByteArray AnswerReadIndication(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendByte(p, s.indicationMask);
    return r.answer(p);
}

QByteArray AnswerReadReadings(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    for (quint64 e : s.currentEnergy)
        AppendEnergy(p, e);
    if (s.readingsWithBillingDay.value_or(s.versionMajor >= 10))
        for (quint64 e : s.billingEnergy)
            AppendEnergy(p, e);
    return r.answer(p);
}

QByteArray AnswerReadOperatingTime(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendLittleEndian(p, s.operatingTime & kMeterOperatingTimeMask, 3);
    AppendByte(p, s.correctionCount);
    return r.answer(p);
}

// A read of one slot of a table (journal months and pages, holidays, transfers): the slot
// number, then its entry if it holds one.
template <typename Table, typename AppendEntry>
QByteArray AnswerSlot(const MeterRequest &r, const Table &table, AppendEntry append)
{
    const quint8 slot = r.at(2);
    if (slot >= table.size())
        return r.refuse(WrongData);
    QByteArray p;
    AppendByte(p, slot);
    if (const auto &entry = table[slot])
        append(p, *entry);
    return r.answer(p);
}

QByteArray AnswerReadAnnualJournal(MeterState &s, const MeterRequest &r)
{
    return AnswerSlot(r, s.annual, [](QByteArray &p, const AnnualMonth &month) {
        AppendByte(p, BcdEncode(month.year % 100));
        for (quint64 e : month.energy)
            AppendEnergy(p, e);
        AppendLittleEndian(p, month.operatingTime & kMeterOperatingTimeMask, 3);
    });
}

QByteArray AnswerReadConsumptionJournal(MeterState &s, const MeterRequest &r)
{
    return AnswerSlot(r, s.consumption, [](QByteArray &p, const ConsumptionPage &rec) {
        AppendByte(p, rec.record);
        AppendByte(p, BcdEncode(rec.minute % 100));
        AppendByte(p, BcdEncode(rec.hour % 100));
        AppendByte(p, BcdEncode(rec.day % 100));
        AppendByte(p, BcdEncode(rec.month % 100));
        for (quint64 e : rec.energy)
            AppendEnergy(p, e);
        AppendLittleEndian(p, rec.status, 2);
        AppendLittleEndian(p, rec.operatingTime & kMeterOperatingTimeMask, 3);
    });
}

QByteArray AnswerReadBillingDay(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    AppendByte(p, BcdEncode(s.billingHour % 100));
    AppendByte(p, BcdEncode(s.billingDay % 100));
    return r.answer(p);
}

QByteArray AnswerReadHoliday(MeterState &s, const MeterRequest &r)
{
    return AnswerSlot(r, s.holidays, [](QByteArray &p, const MeterHoliday &h) {
        AppendByte(p, BcdEncode(h.day % 100));
        AppendByte(p, BcdEncode(h.month % 100));
    });
}

QByteArray AnswerReadTransfer(MeterState &s, const MeterRequest &r)
{
    return AnswerSlot(r, s.transfers, [](QByteArray &p, const MeterTransfer &t) {
        AppendByte(p, BcdEncode(t.day % 100));
        AppendByte(p, BcdEncode(t.month % 100));
        AppendByte(p, BcdEncode(t.year % 100));
        AppendByte(p, t.dayType);
    });
}

QByteArray AnswerReadDdmTimes(MeterState &s, const MeterRequest &r)
{
    // Each stamp is preceded by its phase number, a byte the station does not read.
    QByteArray p;
    for (int ph = 0; ph < 3; ++ph) {
        AppendByte(p, ph + 1);
        AppendLittleEndian(p, s.ddmTimes[static_cast<size_t>(ph)], 4);
    }
    return r.answer(p);
}

QByteArray AnswerReadDayTypeMasks(MeterState &s, const MeterRequest &r)
{
    QByteArray p;
    for (quint8 m : s.dayTypeMasks)
        AppendByte(p, m);
    return r.answer(p);
}

// The handler of every read and write code; the access password, which changes the meter's
// access rather than its state, is answered by the dispatcher itself.
RequestHandler HandlerOf(FunctionCode code)
{
    using enum FunctionCode;
    switch (code) {
    case ReadFirmwareVersion: return AnswerReadFirmwareVersion;
    case ReadSerialNumber: return AnswerReadSerialNumber;
    case WriteSerialNumber: return AnswerWriteSerialNumber;
    case WriteBusAddress: return AnswerWriteBusAddress;
    case ReadClock: return AnswerReadClock;
    case WriteClock: return AnswerWriteClock;
    case ReadStatus: return AnswerReadStatus;
    case ResetStatusFixation: return AnswerResetStatusFixation;
    case ReadZoneTable: return AnswerReadZoneTable;
    case WriteZoneTable: return AnswerWriteZoneTable;
    case ReadDdmNumbers: return AnswerReadDdmNumbers;
    case WriteDdmNumbers: return AnswerWriteDdmNumbers;
    case ReadRadioStatus: return AnswerReadRadioStatus;
    case ReadIndication: return AnswerReadIndication;
    case WriteIndication: return AnswerWriteIndication;
    case ReadReadings: return AnswerReadReadings;
    case ReadOperatingTime: return AnswerReadOperatingTime;
    case ReadAnnualJournal: return AnswerReadAnnualJournal;
    case ReadConsumptionJournal: return AnswerReadConsumptionJournal;
    case AccessPassword: return nullptr;
    case ReadBillingDay: return AnswerReadBillingDay;
    case WriteBillingDay: return AnswerWriteBillingDay;
    case ResetBillingDay: return AnswerResetBillingDay;
    case ReadHoliday: return AnswerReadHoliday;
    case WriteHolidays: return AnswerWriteHolidays;
    case ReadTransfer: return AnswerReadTransfer;
    case WriteTransfers: return AnswerWriteTransfers;
    case ReadDdmTimes: return AnswerReadDdmTimes;
    case ReadDayTypeMasks: return AnswerReadDayTypeMasks;
    case WriteDayTypeMasks: return AnswerWriteDayTypeMasks;
    }
    return nullptr;
}

} // namespace

QByteArray MeterErrorReply(quint8 code, quint8 error)
{
    return MakeFrame(static_cast<quint8>(code + kErrorReplyFlag), QByteArray(1, static_cast<char>(error)));
}

QByteArray MeterErrorReply(quint8 code, MeterError error) { return MeterErrorReply(code, static_cast<quint8>(error)); }

QByteArray MeterAcknowledgement(quint8 code) { return MakeFrame(code, {}); }

QByteArray SimulatedMeter::reply(QByteArrayView frame)
{
    const quint8 code = ByteAt(frame, 0);
    const quint8 length = ByteAt(frame, 1);
    if (frame.size() < 4)
        return MeterErrorReply(code, WrongLength);
    if (!CheckReplyCrc(frame))
        return MeterErrorReply(code, WrongCrc);
    if (frame.size() != length + 2)
        return MeterErrorReply(code, WrongLength);
    const CommandInfo *info = FindCommand(code);
    if (!info || (IsExtendedCode(info->code) && !state_.hasExtendedSchedule()))
        return MeterErrorReply(code, UnknownFunction);
    if (length != info->requestLength && (info->altRequestLength == 0 || length != info->altRequestLength))
        return MeterErrorReply(code, WrongLength);

    const MeterRequest request{frame};
    if (info->code == FunctionCode::AccessPassword)
        return AnswerAccessPassword(state_, request, authorised_);
    if (info->isWrite) {
        if (!authorised_)
            return request.refuse(AccessDenied);
    } else {
        // A read request is a poll: whatever access a password gave ends here.
        authorised_ = false;
    }
    const RequestHandler handler = HandlerOf(info->code);
    return handler ? handler(state_, request) : request.refuse(UnknownFunction);
}

} // namespace ordan
