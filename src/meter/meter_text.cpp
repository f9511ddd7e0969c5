#include "meter/meter_text.h"

#include <cmath>

namespace ordan {

QString LongTimeFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

QString ShortDateText(QDate date, const QLocale &locale) { return locale.toString(date, QLocale::ShortFormat); }

QString LongTimeText(QTime time, const QLocale &locale) { return locale.toString(time, LongTimeFormat(locale)); }

QString ShortDateLongTime(QDate date, QTime time, const QLocale &locale)
{
    return ShortDateText(date, locale) + QLatin1Char(' ') + LongTimeText(time, locale);
}

namespace {

// Digits before the decimal point of |v| (0 for |v| < 1).
int WholeDigits(double v)
{
    v = std::fabs(v);
    return v < 1 ? 0 : static_cast<int>(std::floor(std::log10(v))) + 1;
}

} // namespace

QString FixedPointText(double value, int precision, int digits, const QLocale &locale)
{
    if (!std::isfinite(value))
        return locale.toString(value);
    const QChar point = locale.decimalPoint().isEmpty() ? QLatin1Char('.') : locale.decimalPoint().front();
    int whole = WholeDigits(value);
    if (whole <= precision) {
        const int kept = qMin(digits, precision - whole);
        const double scale = std::pow(10.0, kept);
        double rounded = std::round(value * scale) / scale;
        if (WholeDigits(rounded) <= precision) {
            if (rounded == 0)
                rounded = 0; // no "-0,00"
            QString text = QString::number(rounded, 'f', kept);
            if (digits > kept)
                text += (kept == 0 ? QStringLiteral(".") : QString()) + QString(digits - kept, QLatin1Char('0'));
            text.replace(QLatin1Char('.'), point);
            return text;
        }
    }
    QString text = QString::number(value, 'E', qMax(precision - 1, 0));
    text.replace(QLatin1Char('.'), point);
    return text;
}

} // namespace ordan
