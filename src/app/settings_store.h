#pragma once

#include <QString>

#include <optional>

namespace ordan {

// The station's key "SOFTWARE\Velmora\Ordan-KLV": the real registry on Windows, Qt's native
// settings file elsewhere.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // True when the key exists afterwards; with create, a missing key is made empty.
    virtual bool openKey(bool create) = 0;
    virtual bool contains(const QString &name) const = 0;
    virtual std::optional<int> intValue(const QString &name) const = 0;
    virtual void setIntValue(const QString &name, int value) = 0;
    virtual std::optional<QString> stringValue(const QString &name) const = 0;
    virtual void setStringValue(const QString &name, const QString &value) = 0;
    virtual void closeKey() = 0;
};

} // namespace ordan
