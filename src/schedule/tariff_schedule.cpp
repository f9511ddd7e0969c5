#include "schedule/tariff_schedule.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;

ZoneTable InitialZones()
{
    return {{{QTime(0, 0), QStringLiteral("1")},
             {QTime(6, 30), QStringLiteral("2")},
             {QTime(8, 30), QStringLiteral("3")},
             {QTime(11, 30), QStringLiteral("2")},
             {QTime(17, 30), QStringLiteral("3")},
             {QTime(20, 30), QStringLiteral("2")}}};
}

const QStringList &DayTypeTitles()
{
    static const QStringList titles{u"ПН"_s, u"ВТ"_s, u"СР"_s, u"ЧТ"_s, u"ПТ"_s, u"СБ"_s, u"ВС"_s, u"ПР"_s};
    return titles;
}

const QStringList &DayTypeNames()
{
    static const QStringList names{u"понедельник"_s, u"вторник"_s, u"среда"_s,       u"четверг"_s,
                                   u"пятница"_s,     u"суббота"_s, u"воскресенье"_s, u"праздник"_s};
    return names;
}

QString DayTypeName(int dayType)
{
    if (dayType < 1 || dayType > kDayTypeCount)
        return {};
    return DayTypeNames().at(dayType - 1);
}

QTime ZoneStartOf(QTime t)
{
    if (!t.isValid())
        return QTime(0, 0);
    return QTime(t.hour(), t.minute());
}

void PropagateStartTime(ZoneTable &zones, int k, QTime t)
{
    if (k < 0 || k >= kZoneCount)
        return;
    t = ZoneStartOf(t);
    zones[k].start = t;
    const int from = t.msecsSinceStartOfDay() / 60000;
    for (int j = k + 1; j < kZoneCount; ++j) {
        if (zones[j].start > t)
            continue;
        const int minute = from + (j - k);
        if (minute >= 24 * 60)
            continue;
        zones[j].start = QTime(minute / 60, minute % 60);
        zones[j].tariff = zones[k].tariff;
    }
}

Status WriteCheck(bool singleTariff, const ZoneTable &zones, const MaskTable &masks, int meterVersion)
{
    if (!HasExtendedSchedule(meterVersion) || singleTariff) {
        for (int z = 1; z < kZoneCount; ++z)
            if (!(zones[z].start > zones[z - 1].start))
                return Fail(u"Ошибка в тарифном расписании. Время в расписании должно нарастать."_s);
        return {};
    }
    for (int z = 1; z < kZoneCount; ++z)
        if (zones[z].start < zones[z - 1].start)
            return Fail(u"Ошибка в тарифном расписании. Время в расписании не должно убывать."_s);
    for (int z = 0; z < kZoneCount; ++z)
        if (masks[z] == 0)
            return Fail(u"Ошибка в тарифном расписании. Зона "_s + QString::number(z) + u"не определена."_s);
    bool weekday = false;
    for (DayTypeMask m : masks)
        weekday = weekday || (m & kWeekdayBits) != 0;
    if (!weekday)
        return Fail(u"Ошибка в тарифном расписании. Нет данных для дней недели."_s);
    return {};
}

std::optional<quint8> EncodeTariff(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (!ok || v > 255)
        return std::nullopt;
    return static_cast<quint8>(v);
}

} // namespace ordan
