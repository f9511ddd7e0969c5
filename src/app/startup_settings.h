#pragma once

#include "app/modes.h"
#include "app/settings_store.h"

#include <array>
#include <optional>

namespace ordan {

inline const QString kSqlMarkerFile = QStringLiteral("SettingSql.velm");

struct StartupSettings {
    Modes modes;
    int portNumber = 1;
    std::array<std::optional<int>, 3> ddm; // "DDMA", "DDMB", "DDMC"
};

// Start-up reading of the key and the marker file. A key that cannot be opened leaves every
// default in place.
StartupSettings ReadStartupSettings(SettingsStore &store, bool markerFileExists);

// Written at close, only into a key that exists: the port unless it is 0, and the DDM numbers
// when given (the "Не считывать" switch is ticked).
void WriteCloseSettings(SettingsStore &store, int portNumber, const std::optional<std::array<int, 3>> &ddm);

} // namespace ordan
