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
    // Database mode: asks for the date-time a station last set the clock of the meter with this
    // factory number (latest programming operation of the meter type). The answer comes later,
    // into MeterParameters::LastClockSet, while that number is still shown.
    std::function<void(int serialNumber)> lastClockSet;

    // Database mode, first step of a settings write: sets the PC clock from the server and
    // checks that the number about to be programmed (0: none) may be written by this station.
    // `proceed` runs later with true when the write may go on; with false the operator has
    // been told why not.
    std::function<void(int numberToProgram, std::function<void(bool proceed)>)> prepareSettingsWrite;

    // "Работа по одному тарифу" on the schedule page.
    std::function<bool()> oneTariff;

    // The code 9 body (09 14 and the six zones) built from the schedule page; nothing when the
    // schedule cannot be written, after the schedule has told the operator why.
    std::function<std::optional<QByteArray>()> scheduleZonesBody;
};

} // namespace ordan
