#pragma once

#include "core/field.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace ordan {

class Operator;

// The exchange log: one line per event on the link, the newest 1500 kept. In the
// engineering face every byte is logged with a time stamp; in the plain face only time-outs
// and messages are, and every change beeps so that the operator hears each failure.
class ExchangeLog final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxLines = 1500;

    ExchangeLog(Operator &op, std::function<QDateTime()> clock, QObject *parent = nullptr);

    // Fixed once at start from bit 0 of the mode flags; also sets the switch's start state.
    void setEngineering(bool engineering);

    // "Включен": while it is not ticked no line of any kind is added.
    BoolField CheckBox_Terminal;

    void message(const QString &text);
    void addressSent(quint8 address);
    void bytesReceived(const QByteArray &bytes);
    void requestSent(const QByteArray &frame);
    void timeout();
    void clear();

    const std::deque<QString> &lines() const { return lines_; }
    qsizetype lineCount() const { return static_cast<qsizetype>(lines_.size()); }

Q_SIGNALS:
    void lineAdded(const QString &line);
    void firstLineRemoved();
    void cleared();

private:
    void add(const QString &line);
    void changed();
    QString stamp(QChar lastSeparator) const;

    Operator &operator_;
    std::function<QDateTime()> clock_;
    bool engineering_ = false;
    std::deque<QString> lines_;
};

} // namespace ordan
