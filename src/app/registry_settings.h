#pragma once

#include "app/settings_store.h"

#include <QString>

#include <memory>

class QSettings;

namespace ordan {

// On Windows the key lives under HKEY_CURRENT_USER on the NT platform (HKEY_LOCAL_MACHINE
// otherwise); elsewhere in the user's native settings file Velmora/Ordan-KLV. Tests pass a
// file path of their own.
class RegistrySettings final : public SettingsStore {
public:
    RegistrySettings();
    explicit RegistrySettings(const QString &iniFileForTests);
    ~RegistrySettings() override;

    bool openKey(bool create) override;
    bool contains(const QString &name) const override;
    std::optional<int> intValue(const QString &name) const override;
    void setIntValue(const QString &name, int value) override;
    std::optional<QString> stringValue(const QString &name) const override;
    void setStringValue(const QString &name, const QString &value) override;
    void closeKey() override;

    QString location() const;

private:
    std::unique_ptr<QSettings> makeSettings() const;

    QString testFile_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace ordan
