#pragma once

// The station's settings key in memory, for the tests and the fuzz targets alike.

#include "app/settings_store.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

namespace ordan::test {

// The station's key in memory; `exists` says whether the key is there at all.
class MemorySettings final : public SettingsStore {
public:
    bool openKey(bool create) override
    {
        if (!exists && create && !failOpen)
            exists = true;
        return exists && !failOpen;
    }
    bool contains(const QString &name) const override { return values.contains(name); }
    std::optional<int> intValue(const QString &name) const override
    {
        if (!values.contains(name))
            return std::nullopt;
        bool ok = false;
        const int v = values.value(name).toInt(&ok);
        return ok ? std::optional<int>(v) : std::nullopt;
    }
    void setIntValue(const QString &name, int value) override { values.insert(name, value); }
    std::optional<QString> stringValue(const QString &name) const override
    {
        if (!values.contains(name))
            return std::nullopt;
        return values.value(name).toString();
    }
    void setStringValue(const QString &name, const QString &value) override { values.insert(name, value); }
    void closeKey() override {}

    bool exists = false;
    bool failOpen = false;
    QMap<QString, QVariant> values;
};

} // namespace ordan::test
