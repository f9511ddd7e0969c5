#include "app/startup_settings.h"

namespace ordan {

namespace {
const QString kDdmNames[3] = {QStringLiteral("DDMA"), QStringLiteral("DDMB"), QStringLiteral("DDMC")};
const QString kPortDevice = QStringLiteral("PortDevice");
} // namespace

StartupSettings ReadStartupSettings(SettingsStore &store, bool markerFileExists)
{
    StartupSettings s;
    if (store.openKey(true)) {
        s.portNumber = store.intValue(QStringLiteral("Port")).value_or(1);
        s.portDevice = store.stringValue(kPortDevice).value_or(QString());
        if (store.contains(QStringLiteral("Master")))
            s.modes.ModeFlags += 1;
        if (store.contains(QStringLiteral("NoUser")))
            s.modes.ModeFlags -= 2;
        s.modes.SqlMode = store.contains(QStringLiteral("Sql"));
        s.modes.passwordRegistryValue = store.contains(QStringLiteral("Password"));
        for (int i = 0; i < 3; ++i)
            s.ddm[i] = store.intValue(kDdmNames[i]);
        store.closeKey();
    }
    if (markerFileExists) {
        s.modes.ModeFlags |= 1;
        s.modes.SqlMode = true;
    }
    return s;
}

void WriteCloseSettings(SettingsStore &store, int portNumber, const std::optional<std::array<int, 3>> &ddm,
                        const QString &portDevice)
{
    if (!store.openKey(false))
        return;
    if (portNumber != 0)
        store.setIntValue(QStringLiteral("Port"), portNumber);
    if (!portDevice.isEmpty() || store.contains(kPortDevice))
        store.setStringValue(kPortDevice, portDevice);
    if (ddm) {
        for (int i = 0; i < 3; ++i)
            store.setIntValue(kDdmNames[i], (*ddm)[i]);
    }
    store.closeKey();
}

} // namespace ordan
