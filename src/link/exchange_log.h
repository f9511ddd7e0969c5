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
//
// Behind the lines the page shows, the log keeps every line since the last emptying (at
// connect) with the time it was added, up to a larger bound, for saving to a file. Both are
// bounded in text as well as in lines: a flood of garbage makes long lines.
class ExchangeLog final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxLines = 1500;
    static constexpr qsizetype kMaxBytes = 1024 * 1024; // UTF-16 text of the page's lines
    static constexpr qsizetype kMaxHistoryLines = 100000;
    static constexpr qsizetype kMaxHistoryBytes = 32 * 1024 * 1024;

    // A line of the history: the line as shown, the time of day it was added, and the length
    // of the time stamp it begins with (none for messages and the plain face).
    struct Entry {
        QString line;
        int msecsOfDay = 0;
        qsizetype stampLength = 0;
    };

    ExchangeLog(Operator &op, std::function<QDateTime()> clock, QObject *parent = nullptr);

    // Fixed once at start from bit 0 of the mode flags; also sets the switch's start state.
    void setEngineering(bool engineering);

    // "Включен": while it is not ticked no line of any kind is added.
    BoolField CheckBox_Terminal;
    // "Сохранить протокол…": the history to a text file; the handler belongs to the owner.
    Action ActionSaveLog;

    void message(const QString &text);
    void addressSent(quint8 address);
    void bytesReceived(const QByteArray &bytes);
    void requestSent(const QByteArray &frame);
    void timeout();
    void clear();

    const std::deque<QString> &lines() const { return lines_; }
    qsizetype lineCount() const { return static_cast<qsizetype>(lines_.size()); }

    const std::deque<Entry> &history() const { return history_; }
    // Lines added since the last emptying that the history no longer holds.
    qint64 historyDropped() const { return historyDropped_; }

Q_SIGNALS:
    void lineAdded(const QString &line);
    // Once for every line that leaves the page's lines, oldest first.
    void firstLineRemoved();
    void cleared();

private:
    void add(QTime time, const QString &line, qsizetype stampLength);
    void changed();

    Operator &operator_;
    std::function<QDateTime()> clock_;
    bool engineering_ = false;
    std::deque<QString> lines_;
    qsizetype bytes_ = 0;
    std::deque<Entry> history_;
    qsizetype historyBytes_ = 0;
    qint64 historyDropped_ = 0;
};

// What the saved file names at its top.
struct ExchangeLogHeader {
    QString port;
    int baud = 0;
    int address = 0;
    QDateTime saved;
};

// The history as a UTF-8 text file: the header, a blank line, then every line with the time
// it was added as "hh:mm:ss.zzz" in front (a line that carries its own stamp gets it in that
// form instead of twice).
QByteArray ExchangeLogFileBytes(const ExchangeLog &log, const ExchangeLogHeader &header);

} // namespace ordan
