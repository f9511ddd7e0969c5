#pragma once

#include "app/settings_store.h"
#include "core/modes.h"

#include <array>
#include <optional>

namespace ordan {

inline const QString kSqlMarkerFile = QStringLiteral("SettingSql.velm");

struct StartupSettings {
    Modes modes;
    int portNumber = 1;
    QString portDevice;                    // "PortDevice": a device chosen by its path, empty when none
    std::array<std::optional<int>, 3> ddm; // "DDMA", "DDMB", "DDMC"
};

// Start-up reading of the key and the marker file. A key that cannot be opened leaves every
// default in place.
StartupSettings ReadStartupSettings(SettingsStore &store, bool markerFileExists);

// Written at close, only into a key that exists: the port unless it is 0, and the DDM numbers
// when given (the "Не считывать" switch is ticked). A device chosen by its path (a by-id link,
// a pseudo-terminal) has no number of its own and is kept in "PortDevice"; choosing a numbered
// port again empties it.
void WriteCloseSettings(SettingsStore &store, int portNumber, const std::optional<std::array<int, 3>> &ddm,
                        const QString &portDevice = {});

} // namespace ordan
