#include "meter/readings.h"

#include "core/bytes.h"
#include "link/reply_judge.h"
#include "meter/meter_text.h"

namespace ordan {

QString ReadingText(quint64 count, const QLocale &locale)
{
    // count x 0.00025 = count x 25 hundred-thousandths.
    const quint64 units = count * 25;
    const QString point = locale.decimalPoint().isEmpty() ? QStringLiteral(".") : locale.decimalPoint();
    return QString::number(units / 100000) + point + QStringLiteral("%1").arg(units % 100000, 5, 10, QLatin1Char('0'));
}

namespace {

constexpr quint64 kCounterMask = (quint64{1} << 40) - 1;

ReadingsGrid Filled(ReadingsGrid grid, const quint64 (&counts)[3])
{
    quint64 sum = 0;
    for (int t = 0; t < 3; ++t) {
        grid[static_cast<size_t>(t + 1)][1] = ReadingText(counts[t]);
        sum += counts[t];
    }
    grid[4][1] = ReadingText(sum);
    return grid;
}

ReadingsGrid Blanked(ReadingsGrid grid)
{
    for (size_t row = 1; row <= 4; ++row)
        grid[row][1].clear();
    return grid;
}

} // namespace

bool DecodeReadings(QByteArrayView reply, MeterParameters &p)
{
    using enum FunctionCode;
    if (!CarriesReply(reply, ReadReadings, ReplyForm::Short))
        return false;
    quint64 current[3];
    for (int t = 0; t < 3; ++t)
        current[t] = LittleEndian(reply, 2 + 5 * t, 5) & kCounterMask;
    p.GridValue.set(Filled(p.GridValue.value(), current));

    if (IsReplyForm(reply, ReadReadings) && CarriesReply(reply, ReadReadings)) {
        quint64 billing[3];
        for (int t = 0; t < 3; ++t)
            billing[t] = LittleEndian(reply, 17 + 5 * t, 5) & kCounterMask;
        p.GridValue_1.set(Filled(p.GridValue_1.value(), billing));
    } else {
        p.GridValue_1.set(Blanked(p.GridValue_1.value()));
    }
    return true;
}

} // namespace ordan
