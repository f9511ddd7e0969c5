#pragma once

#include <QString>

namespace ordan {

// The main window's title, which also captions the general error report.
inline const QString &WindowTitle()
{
    static const QString title = QStringLiteral("Программирование ОРДАН-04-3ТГ и Велм 732");
    return title;
}

} // namespace ordan
