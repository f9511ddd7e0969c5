#pragma once

#include <QString>

namespace ordan {

// Text of the general error report: the error's own text, with a full stop appended when
// its last character sorts after '.'.
inline QString GeneralErrorText(const QString &error)
{
    if (!error.isEmpty() && error.back() > QLatin1Char('.'))
        return error + QLatin1Char('.');
    return error;
}

} // namespace ordan
