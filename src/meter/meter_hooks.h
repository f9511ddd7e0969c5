#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace ordan {

// What the meter parameters need from other subsystems. Every hook may stay empty: the
// subsystem then behaves as if the database held nothing and the schedule were one tariff.
struct MeterHooks {
    // Database mode: the date-time a station last set the clock of the meter with this factory
    // number (latest programming operation of the meter type); invalid when there is none.
    std::function<QDateTime(int serialNumber)> lastClockSet;

    // Database mode, first step of a settings write: set the PC clock from the server.
    // Returns the database's error text on failure (then nothing is written); shows no box.
    std::function<Status()> syncClockFromServer;

    // "Работа по одному тарифу" on the schedule page.
    std::function<bool()> oneTariff;

    // The code 9 body (09 14 and the six zones) built from the schedule page; nothing when the
    // schedule cannot be written, after the schedule has told the operator why.
    std::function<std::optional<QByteArray>()> scheduleZonesBody;
};

} // namespace ordan
