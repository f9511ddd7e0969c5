#include "schedule/schedule_exchange.h"

#include "core/bytes.h"
#include "link/frame.h"
#include "link/reply_judge.h"
#include "meter/password.h"
#include "schedule/holidays.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;
using enum FunctionCode;

namespace {

void AppendByte(QByteArray &out, int b) { out.append(static_cast<char>(b & 0xFF)); }

} // namespace

QByteArray AccessPasswordRequest(const QString &passwordText) { return PasswordFrameBody(passwordText); }

EncodedRequest ZoneTableRequest(bool singleTariff, const ZoneTable &zones)
{
    if (singleTariff)
        return FrameBody(WriteZoneTable);
    QByteArray payload;
    for (int z = 0; z < kZoneCount; ++z) {
        const std::optional<quint8> tariff = EncodeTariff(zones[z].tariff);
        if (!tariff)
            return Fail(u"Ошибка в тарифном расписании. Тариф зоны "_s + QString::number(z) + u" («"_s +
                        zones[z].tariff +
                        u"») нельзя записать в счётчик: тариф должен быть целым числом от 0 до 255."_s);
        const QTime start = ZoneStartOf(zones[z].start);
        AppendByte(payload, *tariff);
        AppendByte(payload, BcdEncode(start.hour()));
        AppendByte(payload, BcdEncode(start.minute()));
    }
    return FrameBody(WriteZoneTable, payload);
}

QByteArray MaskRequest(const MaskTable &masks)
{
    QByteArray payload;
    for (DayTypeMask m : masks)
        AppendByte(payload, m);
    return FrameBody(WriteDayTypeMasks, payload);
}

QByteArray HolidayTableStartRequest() { return FrameBody(WriteHolidays); }

EncodedRequest HolidayRequest(int slot, const HolidayEntry &h)
{
    if (slot < 0 || slot >= kMaxListEntries || !IsValidHoliday(h))
        return Fail(u"Ошибка в списке праздников. Праздник № "_s + QString::number(slot + 1) +
                    u" нельзя записать в счётчик."_s);
    QByteArray payload;
    AppendByte(payload, slot);
    AppendByte(payload, BcdEncode(h.day));
    AppendByte(payload, BcdEncode(h.month));
    return FrameBody(WriteHolidays, payload);
}

QByteArray TransferTableStartRequest() { return FrameBody(WriteTransfers); }

EncodedRequest TransferRequest(int slot, const TransferEntry &t)
{
    if (slot < 0 || slot >= kMaxListEntries || !IsValidTransfer(t))
        return Fail(u"Ошибка в списке переносов. Перенос № "_s + QString::number(slot + 1) +
                    u" нельзя записать в счётчик."_s);
    QByteArray payload;
    AppendByte(payload, slot);
    AppendByte(payload, BcdEncode(t.date.day()));
    AppendByte(payload, BcdEncode(t.date.month()));
    AppendByte(payload, BcdEncode(t.date.year() - 2000));
    AppendByte(payload, t.dayType);
    return FrameBody(WriteTransfers, payload);
}

QList<QByteArray> ScheduleReadSequence(int meterVersion)
{
    QList<QByteArray> out{FrameBody(ReadZoneTable)};
    if (!HasExtendedSchedule(meterVersion))
        return out;
    out.append(FrameBody(ReadDayTypeMasks));
    for (int slot = 0; slot < kMaxListEntries; ++slot)
        out.append(FrameBody(ReadHoliday, QByteArray(1, static_cast<char>(slot))));
    for (int slot = 0; slot < kMaxListEntries; ++slot)
        out.append(FrameBody(ReadTransfer, QByteArray(1, static_cast<char>(slot))));
    return out;
}

EncodedRequests ScheduleWriteSequence(const TariffSchedule &s, int meterVersion, const QString &passwordText)
{
    QList<QByteArray> out{AccessPasswordRequest(passwordText)};
    const EncodedRequest zones = ZoneTableRequest(s.singleTariff, s.zones);
    if (!zones)
        return zones.failure();
    out.append(*zones);
    if (s.singleTariff || !HasExtendedSchedule(meterVersion))
        return out;
    if (s.holidays.size() > kMaxListEntries || s.transfers.size() > kMaxListEntries)
        return Fail(u"Ошибка в тарифном расписании. В списке больше 16 записей."_s);
    out.append(MaskRequest(s.masks));
    out.append(HolidayTableStartRequest());
    for (int i = 0; i < s.holidays.size(); ++i) {
        const EncodedRequest r = HolidayRequest(i, s.holidays[i]);
        if (!r)
            return r.failure();
        out.append(*r);
    }
    out.append(TransferTableStartRequest());
    for (int i = 0; i < s.transfers.size(); ++i) {
        const EncodedRequest r = TransferRequest(i, s.transfers[i]);
        if (!r)
            return r.failure();
        out.append(*r);
    }
    return out;
}

ZoneTableReply DecodeZoneTable(QByteArrayView reply)
{
    ZoneTableReply out;
    out.singleTariff = IsReplyForm(reply, ReadZoneTable, ReplyForm::Short);
    if (!IsReplyForm(reply, ReadZoneTable))
        return out;
    out.hasZones = true;
    for (int z = 0; z < kZoneCount; ++z) {
        out.tariffs[z] = QString::number(ByteAt(reply, 2 + 3 * z));
        const int hour = BcdDecode(ByteAt(reply, 3 + 3 * z));
        const int minute = BcdDecode(ByteAt(reply, 4 + 3 * z));
        if (hour <= 23 && minute <= 59)
            out.starts[z] = QTime(hour, minute);
    }
    return out;
}

MaskTable DecodeMasks(QByteArrayView reply)
{
    MaskTable out{};
    if (!IsReplyForm(reply, ReadDayTypeMasks))
        return out;
    for (int z = 0; z < kZoneCount; ++z)
        out[z] = ByteAt(reply, 2 + z);
    return out;
}

std::optional<HolidayEntry> DecodeHoliday(QByteArrayView reply)
{
    if (!IsReplyForm(reply, ReadHoliday))
        return std::nullopt;
    const HolidayEntry h{BcdDecode(ByteAt(reply, 3)), BcdDecode(ByteAt(reply, 4))};
    // Only the month is checked: a day its month cannot have is listed as the meter holds it,
    // so the operator sees it and can correct it (the write refuses it until then).
    if (h.month < 1 || h.month > 12)
        return std::nullopt;
    return h;
}

std::optional<TransferEntry> DecodeTransfer(QByteArrayView reply)
{
    if (!IsReplyForm(reply, ReadTransfer))
        return std::nullopt;
    const TransferEntry t{
        QDate(2000 + BcdDecode(ByteAt(reply, 5)), BcdDecode(ByteAt(reply, 4)), BcdDecode(ByteAt(reply, 3))),
        ByteAt(reply, 6)};
    if (!IsValidTransfer(t))
        return std::nullopt;
    return t;
}

QString InvalidZoneTimeText(int zone) { return u"Некорректный тариф, зона "_s + QString::number(zone); }

} // namespace ordan
