#pragma once

#include "app/settings_store.h"

#include <QDate>

namespace ordan {

// The line's tallies for one shift. A shift is a calendar day of the PC clock: counters kept
// from another day start again at zero.
struct LineCounters {
    QDate shift;
    int programmed = 0;
    int failed = 0;
    int refused = 0;
    int defects = 0;

    bool operator==(const LineCounters &) const = default;
};

// Kept in the station's key so that a restart within the shift goes on counting. A key that
// cannot be opened gives zeros; writing then keeps nothing, which the caller cannot mend.
LineCounters ReadLineCounters(SettingsStore &store, QDate today);
bool WriteLineCounters(SettingsStore &store, const LineCounters &counters);

// Whether the line mode was armed when the station last closed ("LineMode").
bool ReadLineModeSetting(SettingsStore &store);
bool WriteLineModeSetting(SettingsStore &store, bool armed);

} // namespace ordan
