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

namespace {

// One entry of the holiday or transfer table: its slot, then its bytes. A slot past the table
// or an entry the meter cannot hold refuses the request with `refusal`.
EncodedRequest SlotRequest(FunctionCode code, int slot, bool valid, QByteArrayView entry, const QString &refusal)
{
    if (slot < 0 || slot >= kMaxListEntries || !valid)
        return Fail(refusal);
    QByteArray payload;
    AppendByte(payload, slot);
    payload.append(entry);
    return FrameBody(code, payload);
}

// A table written as the meter takes it: the start request that empties it, then one request
// per entry; nothing is appended when an entry cannot be encoded.
template <typename Entry, typename Encode>
Status AppendTableWrite(QList<QByteArray> &out, FunctionCode code, const QList<Entry> &entries, Encode encode)
{
    QList<QByteArray> table{FrameBody(code)};
    for (int i = 0; i < entries.size(); ++i) {
        const EncodedRequest r = encode(i, entries[i]);
        if (!r)
            return r.failure();
        table.append(*r);
    }
    out.append(table);
    return {};
}

void AppendSlotReads(QList<QByteArray> &out, FunctionCode code)
{
    for (int slot = 0; slot < kMaxListEntries; ++slot)
        out.append(FrameBody(code, QByteArray(1, static_cast<char>(slot))));
}

} // namespace

QByteArray HolidayTableStartRequest() { return FrameBody(WriteHolidays); }

EncodedRequest HolidayRequest(int slot, const HolidayEntry &h)
{
    return SlotRequest(WriteHolidays, slot, IsValidHoliday(h), Bytes({BcdEncode(h.day), BcdEncode(h.month)}),
                       u"Ошибка в списке праздников. Праздник № "_s + QString::number(slot + 1) +
                           u" нельзя записать в счётчик."_s);
}

QByteArray TransferTableStartRequest() { return FrameBody(WriteTransfers); }

EncodedRequest TransferRequest(int slot, const TransferEntry &t)
{
    const QByteArray entry =
        Bytes({BcdEncode(t.date.day()), BcdEncode(t.date.month()), BcdEncode(t.date.year() - 2000), t.dayType});
    return SlotRequest(WriteTransfers, slot, IsValidTransfer(t), entry,
                       u"Ошибка в списке переносов. Перенос № "_s + QString::number(slot + 1) +
                           u" нельзя записать в счётчик."_s);
}

QList<QByteArray> ScheduleReadSequence(int meterVersion)
{
    QList<QByteArray> out{FrameBody(ReadZoneTable)};
    if (!HasExtendedSchedule(meterVersion))
        return out;
    out.append(FrameBody(ReadDayTypeMasks));
    AppendSlotReads(out, ReadHoliday);
    AppendSlotReads(out, ReadTransfer);
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
    if (const Status holidays = AppendTableWrite(out, WriteHolidays, s.holidays, HolidayRequest); !holidays)
        return holidays.failure();
    if (const Status transfers = AppendTableWrite(out, WriteTransfers, s.transfers, TransferRequest); !transfers)
        return transfers.failure();
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
