#pragma once

#include <QLocale>
#include <QString>

namespace ordan {

// "#,###" of bytes / 1024 rounded: thousands separators, no decimals, no digits for 0.
inline QString KilobytesText(quint64 bytes, const QLocale &locale)
{
    const quint64 kb = (bytes + 512) / 1024;
    if (kb == 0)
        return {};
    QLocale l = locale;
    l.setNumberOptions(QLocale::DefaultNumberOptions);
    return l.toString(kb);
}

inline QString TotalMemoryLine(quint64 bytes, const QLocale &locale)
{
    return QStringLiteral("Всего физической памяти: ") + KilobytesText(bytes, locale) + QStringLiteral(" KB");
}

inline QString AvailableMemoryLine(quint64 bytes, const QLocale &locale)
{
    const QString kb = KilobytesText(bytes, locale);
    return QStringLiteral("Доступно физической памяти: ") + (kb.isEmpty() ? QStringLiteral("0") : kb) +
           QStringLiteral(" KB");
}

} // namespace ordan
