#include "app/registry_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QSettings>

namespace ordan {

RegistrySettings::RegistrySettings() = default;
RegistrySettings::RegistrySettings(const QString &iniFileForTests) : testFile_(iniFileForTests) {}
RegistrySettings::~RegistrySettings() = default;

std::unique_ptr<QSettings> RegistrySettings::makeSettings() const
{
    if (!testFile_.isEmpty())
        return std::make_unique<QSettings>(testFile_, QSettings::IniFormat);
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Ordan-KLV"),
                                       QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                                       QStringLiteral("Ordan-KLV"));
#endif
}

QString RegistrySettings::location() const { return makeSettings()->fileName(); }

bool RegistrySettings::openKey(bool create)
{
    settings_ = makeSettings();
#ifdef Q_OS_WIN
    if (testFile_.isEmpty()) {
        // The registry key exists once any value or the key itself was written.
        QSettings parent(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Velmora"), QSettings::NativeFormat);
        const bool exists = parent.childGroups().contains(QStringLiteral("Ordan-KLV"), Qt::CaseInsensitive);
        if (!exists && create) {
            settings_->setValue(QStringLiteral("."), QString());
            settings_->remove(QStringLiteral("."));
            settings_->sync();
            return settings_->status() == QSettings::NoError;
        }
        return exists;
    }
#endif
    // A settings file stands for the key: it exists when the file does.
    const QString file = settings_->fileName();
    if (QFileInfo::exists(file))
        return true;
    if (!create) {
        settings_.reset();
        return false;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        settings_.reset();
        return false;
    }
    return true;
}

bool RegistrySettings::contains(const QString &name) const { return settings_ && settings_->contains(name); }

std::optional<int> RegistrySettings::intValue(const QString &name) const
{
    if (!contains(name))
        return std::nullopt;
    bool ok = false;
    const int v = settings_->value(name).toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

void RegistrySettings::setIntValue(const QString &name, int value)
{
    if (settings_)
        settings_->setValue(name, value);
}

std::optional<QString> RegistrySettings::stringValue(const QString &name) const
{
    if (!contains(name))
        return std::nullopt;
    return settings_->value(name).toString();
}

void RegistrySettings::setStringValue(const QString &name, const QString &value)
{
    if (settings_)
        settings_->setValue(name, value);
}

void RegistrySettings::closeKey()
{
    if (settings_)
        settings_->sync();
    settings_.reset();
}

} // namespace ordan
