#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace ordan {

class ExchangeLog;

// The page of the exchange log: the "Включен" switch over a read-only text that follows the
// log line by line (never re-rendered whole, so it stays fast at its 1500-line cap).
class ExchangeLogPage final : public QWidget {
    Q_OBJECT
public:
    explicit ExchangeLogPage(ExchangeLog &log, QWidget *parent = nullptr);

    QPlainTextEdit *memo() const { return memo_; }

private:
    QPlainTextEdit *memo_;
};

} // namespace ordan
