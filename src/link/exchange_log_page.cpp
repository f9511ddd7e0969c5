#include "link/exchange_log_page.h"

#include "link/exchange_log.h"
#include "ui/field_binding.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace ordan {

ExchangeLogPage::ExchangeLogPage(ExchangeLog &log, QWidget *parent) : QWidget(parent), log_(log)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    auto *enabled = new QCheckBox(QStringLiteral("Включен"), this);
    Bind(enabled, log.CheckBox_Terminal);
    auto *save = new QPushButton(this);
    Bind(save, log.ActionSaveLog);
    top->addWidget(enabled);
    top->addStretch(1);
    top->addWidget(save);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo_Terminal"));
    memo_->setReadOnly(true);
    memo_->setUndoRedoEnabled(false);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    memo_->setFont(mono);
    layout->addLayout(top);
    layout->addWidget(memo_, 1);

    for (const QString &line : log.lines())
        memo_->appendPlainText(line);
    // The text drops what the log drops: at the line cap one line per line added, and for
    // long lines as many as the log's text bound takes.
    connect(&log, &ExchangeLog::lineAdded, memo_, &QPlainTextEdit::appendPlainText);
    connect(&log, &ExchangeLog::firstLineRemoved, this, &ExchangeLogPage::removeFirstLine);
    connect(&log, &ExchangeLog::cleared, memo_, &QPlainTextEdit::clear);
    connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu *menu = createContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(memo_->viewport()->mapToGlobal(at));
    });
}

QMenu *ExchangeLogPage::createContextMenu()
{
    QMenu *menu = memo_->createStandardContextMenu();
    menu->addSeparator();
    auto *save = new QAction(menu);
    Bind(save, log_.ActionSaveLog);
    menu->addAction(save);
    return menu;
}

void ExchangeLogPage::removeFirstLine()
{
    QTextDocument *doc = memo_->document();
    if (doc->blockCount() <= 1) {
        memo_->clear();
        return;
    }
    QTextCursor cursor(doc->firstBlock());
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

} // namespace ordan
