#include "link/exchange_log.h"

#include "core/bytes.h"
#include "core/operator.h"

namespace ordan {

namespace {

constexpr qsizetype kStampLength = 13; // "hh:nn:ss.zzz "

QString Stamp(QTime t, QChar lastSeparator)
{
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(lastSeparator)
        .arg(t.msec(), 3, 10, QLatin1Char('0'));
}

qsizetype TextBytes(const QString &line) { return line.size() * static_cast<qsizetype>(sizeof(QChar)); }

} // namespace

ExchangeLog::ExchangeLog(Operator &op, std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent), CheckBox_Terminal(QStringLiteral("CheckBox_Terminal"), this, true),
      ActionSaveLog(QStringLiteral("ActionSaveLog"), this, QStringLiteral("Сохранить протокол…")), operator_(op),
      clock_(std::move(clock))
{}

void ExchangeLog::setEngineering(bool engineering)
{
    engineering_ = engineering;
    CheckBox_Terminal.set(!engineering);
}

void ExchangeLog::message(const QString &text)
{
    if (CheckBox_Terminal.value())
        add(clock_().time(), text, 0);
}

void ExchangeLog::addressSent(quint8 address)
{
    if (!CheckBox_Terminal.value() || !engineering_)
        return;
    const QTime t = clock_().time();
    add(t, Stamp(t, QLatin1Char('.')) + QStringLiteral(" Send ") + HexByte(address), kStampLength);
}

void ExchangeLog::bytesReceived(const QByteArray &bytes)
{
    if (!CheckBox_Terminal.value() || !engineering_)
        return;
    const QTime t = clock_().time();
    add(t, Stamp(t, QLatin1Char('.')) + QStringLiteral(" Received: ") + HexBytesWithBlanks(bytes), kStampLength);
}

void ExchangeLog::requestSent(const QByteArray &frame)
{
    if (!CheckBox_Terminal.value() || !engineering_)
        return;
    const QTime t = clock_().time();
    add(t, Stamp(t, QLatin1Char('.')) + QStringLiteral(" Send ") + HexBytesWithBlanks(frame), kStampLength);
}

void ExchangeLog::timeout()
{
    if (!CheckBox_Terminal.value())
        return;
    const QTime t = clock_().time();
    // The time-out line alone has a colon before the milliseconds.
    if (engineering_)
        add(t, Stamp(t, QLatin1Char(':')) + QStringLiteral(" Timeout."), kStampLength);
    else
        add(t, QStringLiteral("Timeout."), 0);
}

void ExchangeLog::clear()
{
    lines_.clear();
    bytes_ = 0;
    history_.clear();
    historyBytes_ = 0;
    historyDropped_ = 0;
    Q_EMIT cleared();
    changed();
}

void ExchangeLog::add(QTime time, const QString &line, qsizetype stampLength)
{
    lines_.push_back(line);
    bytes_ += TextBytes(line);
    history_.push_back({line, time.msecsSinceStartOfDay(), stampLength});
    historyBytes_ += TextBytes(line);
    while (history_.size() > 1 &&
           (static_cast<qsizetype>(history_.size()) > kMaxHistoryLines || historyBytes_ > kMaxHistoryBytes)) {
        historyBytes_ -= TextBytes(history_.front().line);
        history_.pop_front();
        ++historyDropped_;
    }
    Q_EMIT lineAdded(line);
    changed();
}

void ExchangeLog::changed()
{
    // One line out per line in at the line cap; a long line may push out several. The newest
    // line stays whatever its length.
    while (lineCount() > kMaxLines || (lineCount() > 1 && bytes_ > kMaxBytes)) {
        bytes_ -= TextBytes(lines_.front());
        lines_.pop_front();
        Q_EMIT firstLineRemoved();
    }
    if (!engineering_)
        operator_.beep();
}

QByteArray ExchangeLogFileBytes(const ExchangeLog &log, const ExchangeLogHeader &header)
{
    QString text;
    text += QStringLiteral("Порт: ") + header.port + u'\n';
    text += QStringLiteral("Скорость: ") + QString::number(header.baud) + u'\n';
    text += QStringLiteral("Адрес: ") + QString::number(header.address) + u'\n';
    text += QStringLiteral("Сохранён: ") + header.saved.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) + u'\n';
    if (log.historyDropped() > 0)
        text += QStringLiteral("Первые строки не сохранены: ") + QString::number(log.historyDropped()) + u'\n';
    text += u'\n';
    QByteArray bytes = text.toUtf8();
    for (const ExchangeLog::Entry &e : log.history()) {
        const QString line = Stamp(QTime::fromMSecsSinceStartOfDay(e.msecsOfDay), QLatin1Char('.')) + u' ' +
                             QStringView(e.line).sliced(e.stampLength) + u'\n';
        bytes += line.toUtf8();
    }
    return bytes;
}

} // namespace ordan
