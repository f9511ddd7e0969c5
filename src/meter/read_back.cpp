#include "meter/read_back.h"

#include "core/bytes.h"
#include "link/frame.h"
#include "link/protocol.h"
#include "link/reply_judge.h"
#include "meter/meter_clock.h"
#include "meter/password.h"

namespace ordan {

namespace {

QByteArray PayloadOf(const QByteArray &frame) { return frame.mid(2, ByteAt(frame, 1) - 2); }

QString Mismatch(const QString &what, const QString &written, const QString &read)
{
    return QStringLiteral("%1: записано %2, прочитано %3").arg(what, written, read);
}

// An empty zone table is single-tariff operation.
QString ZoneText(const QByteArray &payload)
{
    return payload.isEmpty() ? QStringLiteral("один тариф") : HexBytesWithBlanks(payload).trimmed();
}

QString Numbers(const std::array<int, 3> &n) { return QStringLiteral("%1, %2, %3").arg(n[0]).arg(n[1]).arg(n[2]); }

QString BillingText(const BillingTime &t) { return QStringLiteral("%1, %2").arg(t.day).arg(t.hour); }

} // namespace

WrittenValues WrittenFromFrames(const std::vector<QByteArray> &bodies, const QString &newPasswordText)
{
    using enum FunctionCode;
    WrittenValues w;
    bool accessSeen = false;
    for (const QByteArray &body : bodies) {
        switch (static_cast<FunctionCode>(ByteAt(body, 0))) {
        case AccessPassword:
            if (accessSeen)
                w.newPassword = newPasswordText;
            accessSeen = true;
            break;
        case WriteClock: w.clock = true; break;
        case WriteSerialNumber: w.serialNumber = FactoryNumberAt(body); break;
        case WriteBusAddress: w.address = ByteAt(body, 2); break;
        case WriteZoneTable: w.zoneTable = PayloadOf(body); break;
        case WriteBillingDay: w.billing = BillingTimeAt(body); break;
        case WriteDdmNumbers: w.ddm = DdmNumbersAt(body); break;
        case WriteIndication: w.indicationMask = ByteAt(body, 2); break;
        default: break;
        }
    }
    return w;
}

std::vector<QByteArray> ReadBackRequests(const WrittenValues &w)
{
    using enum FunctionCode;
    std::vector<QByteArray> out{FrameBody(ReadFirmwareVersion)};
    if (w.serialNumber)
        out.push_back(FrameBody(ReadSerialNumber));
    if (w.billing)
        out.push_back(FrameBody(ReadBillingDay));
    if (w.ddm)
        out.push_back(FrameBody(ReadDdmNumbers));
    if (w.indicationMask)
        out.push_back(FrameBody(ReadIndication));
    if (w.zoneTable)
        out.push_back(FrameBody(ReadZoneTable));
    if (w.clock)
        out.push_back(FrameBody(ReadClock));
    // The password cannot be read; the meter taking it for access shows it holds it.
    if (w.newPassword)
        out.push_back(PasswordFrameBody(*w.newPassword));
    return out;
}

QStringList ReadBackDifferences(const WrittenValues &w, const std::map<quint8, QByteArray> &replies,
                                const QDateTime &clockExpected)
{
    using enum FunctionCode;
    QStringList out;
    // A reply that did not come, or is too short for what it carries.
    auto reply = [&](FunctionCode code, const QString &what, ReplyForm form = ReplyForm::Full) -> const QByteArray * {
        const auto it = replies.find(CodeByte(code));
        if (it == replies.end() || !CarriesReply(it->second, code, form)) {
            out << QStringLiteral("%1: не прочитано").arg(what);
            return nullptr;
        }
        return &it->second;
    };
    if (!reply(ReadFirmwareVersion, w.address ? QStringLiteral("Адрес") : QStringLiteral("Версия")))
        return out; // nothing else came from that address either
    if (w.serialNumber) {
        if (const QByteArray *r = reply(ReadSerialNumber, QStringLiteral("Номер"))) {
            const int read = FactoryNumberAt(*r);
            if (read != *w.serialNumber)
                out << Mismatch(QStringLiteral("Номер"), QString::number(*w.serialNumber), QString::number(read));
        }
    }
    if (w.billing) {
        if (const QByteArray *r = reply(ReadBillingDay, QStringLiteral("Расчетный день"))) {
            const BillingTime read = BillingTimeAt(*r);
            if (read != *w.billing)
                out << Mismatch(QStringLiteral("Расчетный день и час"), BillingText(*w.billing), BillingText(read));
        }
    }
    if (w.ddm) {
        if (const QByteArray *r = reply(ReadDdmNumbers, QStringLiteral("Номера ДДМ"))) {
            const std::array<int, 3> read = DdmNumbersAt(*r);
            if (read != *w.ddm)
                out << Mismatch(QStringLiteral("Номера ДДМ"), Numbers(*w.ddm), Numbers(read));
        }
    }
    if (w.indicationMask) {
        if (const QByteArray *r = reply(ReadIndication, QStringLiteral("Индикация"))) {
            const int read = ByteAt(*r, 2) & 0x0F;
            if (read != *w.indicationMask)
                out << Mismatch(QStringLiteral("Индикация"), QString::number(*w.indicationMask), QString::number(read));
        }
    }
    if (w.zoneTable) {
        if (const QByteArray *r = reply(ReadZoneTable, QStringLiteral("Тарифное расписание"), ReplyForm::Short)) {
            const QByteArray read = PayloadOf(*r);
            if (read != *w.zoneTable)
                out << Mismatch(QStringLiteral("Тарифное расписание"), ZoneText(*w.zoneTable), ZoneText(read));
        }
    }
    if (w.clock) {
        if (const QByteArray *r = reply(ReadClock, QStringLiteral("Время"))) {
            const std::optional<MeterClockReading> c = ParseClockReply(*r);
            const QDateTime meter =
                c && c->dateValid() && c->timeValid() ? QDateTime(c->date(), c->time()) : QDateTime();
            const qint64 aheadSec = meter.isValid() ? (NaiveMs(meter) - NaiveMs(clockExpected)) / 1000 : 0;
            if (!meter.isValid() || aheadSec < -kClockBehindLimitSec || aheadSec > kClockAheadLimitSec)
                out << QStringLiteral("Время: расхождение %1 с")
                           .arg(meter.isValid() ? QString::number(aheadSec) : QStringLiteral("?"));
        }
    }
    if (w.newPassword && !replies.contains(CodeByte(AccessPassword)))
        out << QStringLiteral("Пароль: не принят");
    return out;
}

} // namespace ordan
