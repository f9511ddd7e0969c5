#pragma once

#include "core/result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <optional>

namespace ordan {

inline constexpr int kZoneCount = 6;
inline constexpr int kDayTypeCount = 8;
inline constexpr int kHolidayDayType = 8;

// One bit per day type: bit (type - 1), bit 0 Monday .. bit 6 Sunday, bit 7 holiday.
using DayTypeMask = quint8;
inline constexpr DayTypeMask kAllDayTypes = 0xFF;
inline constexpr DayTypeMask kWeekdayBits = 0x7F;

struct TariffZone {
    QTime start; // hour and minute; seconds are always 0
    // As shown: the editor offers "1".."3", a meter reply or a stored record may bring anything.
    QString tariff;
    friend bool operator==(const TariffZone &, const TariffZone &) = default;
};

struct HolidayEntry {
    int day = 1;   // 1..31
    int month = 1; // 1..12
    friend bool operator==(const HolidayEntry &, const HolidayEntry &) = default;
};

struct TransferEntry {
    QDate date;
    int dayType = 1; // 1..8, the day this date is run as
    friend bool operator==(const TransferEntry &, const TransferEntry &) = default;
};

using ZoneTable = std::array<TariffZone, kZoneCount>;
using MaskTable = std::array<DayTypeMask, kZoneCount>;

ZoneTable InitialZones();
QList<HolidayEntry> DefaultHolidays();

struct TariffSchedule {
    bool singleTariff = true;
    ZoneTable zones = InitialZones();
    MaskTable masks{kAllDayTypes, kAllDayTypes, kAllDayTypes, kAllDayTypes, kAllDayTypes, kAllDayTypes};
    QList<HolidayEntry> holidays = DefaultHolidays();
    QList<TransferEntry> transfers;
    friend bool operator==(const TariffSchedule &, const TariffSchedule &) = default;
};

// Column titles of the day-type grid, "ПН" .. "ПР", and the names used in lists.
const QStringList &DayTypeTitles();
const QStringList &DayTypeNames();
// Empty for a type outside 1..8.
QString DayTypeName(int dayType);

// Versions 10 and up know day-type masks, holidays and transfer days.
inline bool HasExtendedSchedule(int meterVersion) { return meterVersion > 9; }

// The operator sets zone k to start at t: each later zone that does not start after t moves
// to t plus its distance from k in minutes, taking zone k's tariff, unless that would pass
// midnight. Earlier zones never change.
void PropagateStartTime(ZoneTable &zones, int k, QTime t);

inline bool HasDayType(DayTypeMask mask, int dayType) { return (mask >> (dayType - 1)) & 1; }
inline DayTypeMask ToggleDayType(DayTypeMask mask, int dayType)
{
    return static_cast<DayTypeMask>(mask ^ (1u << (dayType - 1)));
}

// The check made before a schedule write: the text of the first failure, nothing when the
// schedule may be written.
Status WriteCheck(bool singleTariff, const ZoneTable &zones, const MaskTable &masks, int meterVersion);
inline Status WriteCheck(const TariffSchedule &s, int meterVersion)
{
    return WriteCheck(s.singleTariff, s.zones, s.masks, meterVersion);
}

// The tariff byte of a shown tariff: a whole number 0..255, else nothing.
std::optional<quint8> EncodeTariff(const QString &text);

// A time of day as the zone table keeps it: hour and minute, an invalid time as 00:00.
QTime ZoneStartOf(QTime t);

} // namespace ordan
