#pragma once

#include <QWidget>

class QMenu;
class QPlainTextEdit;

namespace ordan {

class ExchangeLog;

// The page of the exchange log: the "Включен" switch and "Сохранить протокол…" over a
// read-only text that follows the log line by line (never re-rendered whole, so it stays fast
// at its cap).
class ExchangeLogPage final : public QWidget {
    Q_OBJECT
public:
    explicit ExchangeLogPage(ExchangeLog &log, QWidget *parent = nullptr);

    QPlainTextEdit *memo() const { return memo_; }
    // The text's context menu: the usual items and "Сохранить протокол…"; the caller owns it.
    QMenu *createContextMenu();

private:
    void removeFirstLine();

    ExchangeLog &log_;
    QPlainTextEdit *memo_;
};

} // namespace ordan
