#include "link/exchange_log_page.h"

#include "link/exchange_log.h"
#include "ui/field_binding.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace ordan {

ExchangeLogPage::ExchangeLogPage(ExchangeLog &log, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *enabled = new QCheckBox(QStringLiteral("Включен"), this);
    Bind(enabled, log.CheckBox_Terminal);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo_Terminal"));
    memo_->setReadOnly(true);
    memo_->setUndoRedoEnabled(false);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The document drops its first block by itself once the cap is passed.
    memo_->setMaximumBlockCount(static_cast<int>(ExchangeLog::kMaxLines));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    memo_->setFont(mono);
    layout->addWidget(enabled);
    layout->addWidget(memo_, 1);

    for (const QString &line : log.lines())
        memo_->appendPlainText(line);
    connect(&log, &ExchangeLog::lineAdded, memo_, &QPlainTextEdit::appendPlainText);
    connect(&log, &ExchangeLog::cleared, memo_, &QPlainTextEdit::clear);
}

} // namespace ordan
