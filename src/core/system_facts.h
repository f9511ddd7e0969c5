#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

namespace ordan {

// Facts of the workstation and its operating system. Tests use a fake: no test sets the
// real clock or opens a real document.
class SystemFacts {
public:
    virtual ~SystemFacts() = default;

    virtual QString computerName() const = 0;
    virtual QString loginName() const = 0;
    virtual QDateTime now() const = 0;
    virtual bool setClock(const QDateTime &localTime) = 0;
    virtual quint64 totalPhysicalMemory() const = 0;
    virtual quint64 availablePhysicalMemory() const = 0;
    // The shell's "open" of a document, a web address or a mailto: address.
    virtual bool openWithShell(const QUrl &target) = 0;
    // Whether the file `name` is in `folder` (a marker file that switches a mode).
    virtual bool fileExists(const QString &folder, const QString &name) const = 0;
};

} // namespace ordan
