#pragma once

#include "core/system_facts.h"

namespace ordan {

class QtSystemFacts final : public SystemFacts {
public:
    QString computerName() const override;
    QString loginName() const override;
    QDateTime now() const override;
    bool setClock(const QDateTime &localTime) override;
    quint64 totalPhysicalMemory() const override;
    quint64 availablePhysicalMemory() const override;
    bool openWithShell(const QUrl &target) override;
    bool fileExists(const QString &folder, const QString &name) const override;
};

} // namespace ordan
