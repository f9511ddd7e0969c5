#pragma once

#include "core/bytes.h"
#include "link/frame.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ordan {

// A password field read as a number: nothing when the text is not an integer.
inline std::optional<int> PasswordNumber(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// Code 20 with the password of a field, the access frame every write sequence starts with:
// low byte, high byte; text that is not a number is 0.
inline QByteArray PasswordFrameBody(const QString &text)
{
    const int n = PasswordNumber(text).value_or(0);
    return FrameBody(FunctionCode::AccessPassword, Bytes({(n % 256) & 0xFF, (n / 256) & 0xFF}));
}

} // namespace ordan
