#include "ui/help_window.h"

#include "core/system_error_text.h"
#include "ui/rtf_reader.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace ordan {

const QString &HelpWindow::HelpFileName()
{
    static const QString name = QStringLiteral("Help_ordan_klv.rtf");
    return name;
}

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TFormHelp"));
    setWindowTitle(QStringLiteral("Справка"));
    setModal(true);
    resize(kOuterSize);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    view_ = new QTextEdit(this);
    view_->setObjectName(QStringLiteral("RichEdit1"));
    view_->setReadOnly(true);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    column->addWidget(view_, 1);
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("Panel1"));
    strip->setFixedHeight(37);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 4, 6, 4);
    row->addStretch(1);
    auto *close = new QPushButton(QStringLiteral("Выход"), strip);
    close->setObjectName(QStringLiteral("Button1"));
    row->addWidget(close);
    column->addWidget(strip);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void HelpWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fitOuterSize();
}

// The window manager tells the frame only once the window is placed.
void HelpWindow::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    fitOuterSize();
}

// 640 x 480 is the size with the frame; the frame's width is known only while shown.
void HelpWindow::fitOuterSize()
{
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize inner = kOuterSize - frame;
    if (isVisible() && size() != inner)
        resize(inner);
}

Status HelpWindow::load(const QString &path)
{
    const auto cannotOpen = [&path](const QString &why) {
        return Fail(QStringLiteral("Не удается открыть файл \"%1\": %2").arg(path, why));
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotOpen(SystemErrorText(file.errorString()));
    // Read at most one byte past the limit: a huge file (or an endless device) is refused
    // before it can take the machine's memory.
    const QByteArray bytes = file.read(kMaxHelpFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return cannotOpen(SystemErrorText(file.errorString()));
    if (bytes.size() > kMaxHelpFileBytes)
        return cannotOpen(QStringLiteral("файл больше 16 МБ, это не файл справки"));
    const Result<QString> html = RtfToHtml(bytes);
    if (!html)
        return Fail(QStringLiteral("Файл \"%1\" ").arg(path) + html.error());
    view_->setHtml(*html);
    return {};
}

} // namespace ordan
