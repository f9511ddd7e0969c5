#include "journals/journal_text.h"

#include "core/bytes.h"

#include <QDate>
#include <QTime>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kDecimals = 5;
constexpr int kSignificant = 12;

int DigitCount(quint64 v)
{
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

quint64 PowerOfTen(int n)
{
    quint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

} // namespace

QString JournalEnergyText(quint64 count, const QLocale &locale)
{
    // 40-bit counts only: the product stays far inside 64 bits.
    quint64 scaled = (count & 0xFF'FFFF'FFFFull) * 25;
    const quint64 unit = PowerOfTen(kDecimals);
    const int wholeDigits = scaled / unit == 0 ? 0 : DigitCount(scaled / unit);
    const int dropped = wholeDigits + kDecimals - kSignificant;
    if (dropped > 0) {
        const quint64 step = PowerOfTen(dropped);
        scaled = (scaled + step / 2) / step * step;
    }
    const QString fraction = u"%1"_s.arg(scaled % unit, kDecimals, 10, QLatin1Char('0'));
    return QString::number(scaled / unit) + locale.decimalPoint() + fraction;
}

QString JournalOperatingTimeText(quint32 halfMinutes)
{
    return u"%1:%2"_s.arg(halfMinutes / 120).arg((halfMinutes % 120) / 2);
}

QString JournalTimeSeparator(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < format.size() && format[i] != u'h' && format[i] != u'H')
        ++i;
    while (i < format.size() && (format[i] == u'h' || format[i] == u'H'))
        ++i;
    QString separator;
    for (; i < format.size() && !format[i].isLetter(); ++i)
        if (format[i] != u'\'')
            separator += format[i];
    return separator.isEmpty() ? u":"_s : separator;
}

QString JournalRecordTimeText(quint8 minuteBcd, quint8 hourBcd, quint8 dayBcd, quint8 monthBcd, int year,
                              const QLocale &locale)
{
    const int minute = BcdDecode(minuteBcd);
    const int hour = BcdDecode(hourBcd);
    const int day = BcdDecode(dayBcd);
    const int month = BcdDecode(monthBcd);
    if (!QTime::isValid(hour, minute, 0) || !QDate::isValid(year, month, day))
        return {};
    const auto two = [](int v) { return u"%1"_s.arg(v, 2, 10, QLatin1Char('0')); };
    return two(day) + u'.' + two(month) + u' ' + two(hour) + JournalTimeSeparator(locale) + two(minute);
}

const QStringList &JournalMonthAbbreviations()
{
    static const QStringList names{u"янв."_s, u"фев."_s, u"март"_s,  u"апр."_s, u"май"_s,   u"июнь"_s,
                                   u"июль"_s, u"авг."_s, u"сент."_s, u"окт."_s, u"нояб."_s, u"дек."_s};
    return names;
}

} // namespace ordan
