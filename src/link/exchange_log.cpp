#include "link/exchange_log.h"

#include "core/bytes.h"
#include "core/operator.h"

namespace ordan {

ExchangeLog::ExchangeLog(Operator &op, std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent), CheckBox_Terminal(QStringLiteral("CheckBox_Terminal"), this, true), operator_(op),
      clock_(std::move(clock))
{
}

void ExchangeLog::setEngineering(bool engineering)
{
    engineering_ = engineering;
    CheckBox_Terminal.set(!engineering);
}

QString ExchangeLog::stamp(QChar lastSeparator) const
{
    const QTime t = clock_().time();
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(lastSeparator)
        .arg(t.msec(), 3, 10, QLatin1Char('0'));
}

void ExchangeLog::message(const QString &text)
{
    if (CheckBox_Terminal.value())
        add(text);
}

void ExchangeLog::addressSent(quint8 address)
{
    if (CheckBox_Terminal.value() && engineering_)
        add(stamp(QLatin1Char('.')) + QStringLiteral(" Send ") + HexByte(address));
}

void ExchangeLog::bytesReceived(const QByteArray &bytes)
{
    if (CheckBox_Terminal.value() && engineering_)
        add(stamp(QLatin1Char('.')) + QStringLiteral(" Received: ") + HexBytesWithBlanks(bytes));
}

void ExchangeLog::requestSent(const QByteArray &frame)
{
    if (CheckBox_Terminal.value() && engineering_)
        add(stamp(QLatin1Char('.')) + QStringLiteral(" Send ") + HexBytesWithBlanks(frame));
}

void ExchangeLog::timeout()
{
    if (!CheckBox_Terminal.value())
        return;
    // The time-out line alone has a colon before the milliseconds.
    add(engineering_ ? stamp(QLatin1Char(':')) + QStringLiteral(" Timeout.") : QStringLiteral("Timeout."));
}

void ExchangeLog::clear()
{
    lines_.clear();
    Q_EMIT cleared();
    changed();
}

void ExchangeLog::add(const QString &line)
{
    lines_.push_back(line);
    Q_EMIT lineAdded(line);
    changed();
}

void ExchangeLog::changed()
{
    if (lineCount() > kMaxLines) {
        lines_.pop_front();
        Q_EMIT firstLineRemoved();
    }
    if (!engineering_)
        operator_.beep();
}

} // namespace ordan
